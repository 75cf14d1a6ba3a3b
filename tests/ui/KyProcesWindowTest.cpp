#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "report/KyRDMan.h"
#include "report/PrintKy.h"
#include "ui/KyProcesWindow.h"

namespace hy {
namespace {

struct KyProcesWindowTest : ::testing::Test {
  KyProcesWindowTest() {
    mainWindow = std::make_unique<QWidget>();
    mainWindow->resize(300, 200);
    mainWindow->show();
  }
  bool Show(int32_t max, int32_t min = 0) {
    return process.ShowProcess(lnEnglish, "Sales report", "Preparing...", 100, max, min, "&Cancel");
  }
  static void Shoot(QWidget& w, const char* name) {
    if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
      w.grab().save(QString::fromStdString(std::string(dir) + "/" + name));
  }
  std::unique_ptr<QWidget> mainWindow;
  TKyRWindowProcess process;
};

TEST_F(KyProcesWindowTest, BarOnlyWhenTheRangeIsNotZero) {
  EXPECT_FALSE(process.UpdateProcess("x", 1));
  EXPECT_FALSE(process.HideProcess());
  EXPECT_EQ(process.Window(), nullptr);

  ASSERT_TRUE(Show(0));
  TfrmKyRProcess* w = process.Window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->size(), QSize(442, 87));
  EXPECT_EQ(w->windowTitle(), "Sales report");
  EXPECT_EQ(w->LblStatus()->text(), "Preparing...");
  EXPECT_EQ(w->BtnCancel()->text(), "&Cancel");
  EXPECT_EQ(w->BtnCancel()->geometry(), QRect(355, 55, 75, 25));
  EXPECT_FALSE(w->ProgressBar()->isVisibleTo(w));
  EXPECT_TRUE(w->Animate()->Active());

  ASSERT_TRUE(Show(10));
  w = process.Window();
  EXPECT_TRUE(w->ProgressBar()->isVisibleTo(w));
  EXPECT_EQ(w->ProgressBar()->maximum(), 10);
  ASSERT_TRUE(process.UpdateProcess("Preparing 3 page on the 1st bar...", 3));
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->ProgressBar()->value(), 3);
  EXPECT_EQ(w->LblStatus()->text(), "Preparing 3 page on the 1st bar...");
  w->Animate()->SetFrame(12);
  Shoot(*w, "kyprocess-window.png");

  EXPECT_TRUE(process.HideProcess());
  EXPECT_EQ(process.Window(), nullptr);
  EXPECT_FALSE(process.HideProcess());
}

TEST_F(KyProcesWindowTest, CancelAndEscapeSetTheFlagAndANewShowClearsIt) {
  Show(0);
  process.UpdateProcess("Working", 0);
  EXPECT_FALSE(process.ProcessCancelled());
  QTest::mouseClick(process.Window()->BtnCancel(), Qt::LeftButton);
  EXPECT_TRUE(process.ProcessCancelled());
  // The window stays until the work has noticed and closes it.
  EXPECT_TRUE(process.Window()->isVisible());

  Show(0);
  EXPECT_FALSE(process.ProcessCancelled());
  process.UpdateProcess("Working", 0);
  QTest::keyClick(process.Window(), Qt::Key_Escape);
  EXPECT_TRUE(process.ProcessCancelled());
  EXPECT_TRUE(process.Window()->isVisible());
  process.Window()->close();
  EXPECT_NE(process.Window(), nullptr);
  process.HideProcess();
  EXPECT_FALSE(process.ProcessCancelled());
}

TEST_F(KyProcesWindowTest, OtherWindowsAreDisabledWhileItIsOpen) {
  QWidget alreadyDisabled;
  alreadyDisabled.setEnabled(false);
  alreadyDisabled.show();
  Show(0);
  EXPECT_FALSE(mainWindow->isEnabled());
  EXPECT_TRUE(process.Window()->isEnabled());
  Show(5);  // replacing the window keeps the others disabled
  EXPECT_FALSE(mainWindow->isEnabled());
  process.HideProcess();
  EXPECT_TRUE(mainWindow->isEnabled());
  EXPECT_FALSE(alreadyDisabled.isEnabled());
}

TEST_F(KyProcesWindowTest, RunInProcessRunsTheWorkInsideTheModalWindow) {
  Show(4);
  bool sawCancel = false;
  process.RunInProcess([&] {
    TfrmKyRProcess* w = process.Window();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->Running());
    for (int i = 1; i <= 4 && !process.ProcessCancelled(); ++i) {
      process.UpdateProcess("Page " + std::to_string(i), i);
      if (i == 2) QTest::mouseClick(w->BtnCancel(), Qt::LeftButton);
    }
    sawCancel = process.ProcessCancelled();
    EXPECT_EQ(w->ProgressBar()->value(), 2);
  });
  EXPECT_TRUE(sawCancel);
  ASSERT_NE(process.Window(), nullptr);
  EXPECT_FALSE(process.Window()->isVisible());

  EXPECT_THROW(process.RunInProcess([] { throw std::runtime_error("source gone"); }),
               std::runtime_error);
  EXPECT_FALSE(process.Window()->isVisible());
  process.HideProcess();
  EXPECT_TRUE(mainWindow->isEnabled());
}

// Three pages; the window must be up while each is made.
class TThreePages : public TKyPrintComponent {
public:
  std::vector<bool> WindowShown;
  TKyRWindowProcess* Window = nullptr;
  void BuildReport() override {
    TKyPrintComponent::BuildReport();
    BeginDoc();
    for (int i = 0; i < 3; ++i) {
      NewPage(false);
      WindowShown.push_back(Window->Window() && Window->Window()->isVisible());
    }
    EndDoc();
  }
};

TEST_F(KyProcesWindowTest, ATwoPassPreparationRunsUnderTheWindow) {
  TThreePages report;
  report.Window = &process;
  report.SetProcess(&process);
  report.SetTwoPass(true);
  report.Prepare();
  EXPECT_EQ(report.WindowShown, std::vector<bool>(6, true));
  EXPECT_EQ(report.Pages().size(), 3u);
  EXPECT_TRUE(report.Prepared());
  EXPECT_EQ(process.Window(), nullptr);
  EXPECT_TRUE(mainWindow->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(KyRAnimate, DrawsADifferentPictureForEachFrame) {
  TKyRAnimate animate;
  animate.resize(427, 45);
  animate.SetFrame(0);
  const QImage first = animate.grab().toImage();
  animate.SetFrame(TKyRAnimate::kFrameCount / 2);
  const QImage middle = animate.grab().toImage();
  EXPECT_NE(first, middle);
  EXPECT_FALSE(animate.Active());
  animate.Play();
  EXPECT_TRUE(animate.Active());
  QTest::qWait(TKyRAnimate::kFrameMs * 3);
  EXPECT_NE(animate.Frame(), TKyRAnimate::kFrameCount / 2);
  animate.Stop();
}

}  // namespace
}  // namespace hy
