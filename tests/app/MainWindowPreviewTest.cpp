#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include "app/MainWindow.h"
#include "platform/db/Aliases.h"
#include "platform/db/DemoDatabase.h"
#include "report/KyRAHyDC.h"
#include "support/QtApp.h"
#include "support/ScriptedProcess.h"
#include "support/TestDatabase.h"
#include "ui/KyRFind.h"
#include "ui/KyRFindSearch.h"
#include "ui/KyRLens.h"
#include "ui/KyRPreview.h"
#include "ui/KyRView.h"

namespace hy {
namespace {

class MainWindowPreview : public ::testing::Test {
protected:
  void SetUp() override {
    test::App();
    WriteDemoDatabase(folder.Folder() + "/demo");
    SetAlias(kDemoAlias, folder.Folder() + "/demo");
    SetPreviewFunction({});
  }
  void TearDown() override {
    ResetAliases();
    SetPreviewFunction({});
  }

  // Clicks Report and runs `inside` on the preview window once it is up;
  // the window is closed afterwards.
  void WithPreview(TfrmMain& window, const std::function<void(TfrmKyPreview&)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      TfrmKyPreview* preview = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = dynamic_cast<TfrmKyPreview*>(w); p && p->isVisible()) preview = p;
      ASSERT_NE(preview, nullptr);
      QTest::qWait(50);  // the window takes its maximized size
      ran = true;
      EXPECT_TRUE(preview->isModal());
      inside(*preview);
      preview->close();
    });
    window.btnExport()->click();
    EXPECT_TRUE(ran);
  }

  test::TestDatabase folder;
};

// Saves a picture of the window as the user sees it, once the window has
// laid itself out, named for the screen's scale.
bool SavePicture(QWidget& w, const std::string& name) {
  QApplication::processEvents();
  const std::string dir = PREVIEW_PNG_DIR;
  std::filesystem::create_directories(dir);
  const int scale = int(w.devicePixelRatioF() + 0.5);
  const std::string file =
      dir + "/" + name + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png";
  return w.grab().save(QString::fromStdString(file));
}

TEST_F(MainWindowPreview, TheReportButtonOpensThePreviewOfTheGrid) {
  TfrmMain window;
  TKyPrintHyCube* report = window.KyPrintHyCube1();
  test::TScriptedProcess process;
  report->SetProcess(&process);
  WithPreview(window, [&](TfrmKyPreview& preview) {
    EXPECT_EQ(preview.Report(), report);
    EXPECT_EQ(preview.windowTitle(), "Report preview mode / ");
    ASSERT_GE(report->BarCount(), 2);
    EXPECT_EQ(preview.tsSheets()->count(), report->BarCount());
    EXPECT_EQ(preview.tsSheets()->tabText(1), "Sheet 2");
    EXPECT_EQ(preview.KyRPreview()->Zoom(), preview.KyRPreview()->FitToWidth());
    EXPECT_EQ(preview.lblNumPages()->text(), "of " + QString::number(report->PageCount()));

    // The pictures a user looks at: the whole page, 100 %, found text.
    preview.SelectScale(TfrmKyPreview::kScaleFitPage);
    EXPECT_TRUE(SavePicture(preview, "preview-whole-page"));
    preview.SelectScale(4);
    EXPECT_EQ(preview.KyRPreview()->Zoom(), 100);
    EXPECT_TRUE(SavePicture(preview, "preview-100"));
    preview.KyRPreview()->Find(TKyRFindOptions{"Sum", fmExact, false}, true);
    EXPECT_FALSE(preview.KyRPreview()->Hits().empty());
    EXPECT_FALSE(preview.KyRPreview()->Highlights().empty());
    EXPECT_TRUE(SavePicture(preview, "preview-find"));
    preview.KyRPreview()->SetShowMargins(true);
    preview.KyRPreview()->SetShowGrid(true);
    preview.KyRPreview()->SetZoom(50);
    EXPECT_TRUE(SavePicture(preview, "preview-grid"));

    // The find dialog and the lens.
    QTimer::singleShot(0, [&] {
      TfrmKyRFind* find = preview.KyRPreview()->FindDialog();
      EXPECT_TRUE(SavePicture(*find, "find-dialog"));
      find->reject();
    });
    preview.KyRPreview()->FindText();
    preview.SelectScale(4);
    preview.ShowLens(true);
    QWidget* page = preview.KyRPreview()->PaintBox();
    QTest::mouseMove(page, QPoint(120, 100));
    EXPECT_TRUE(SavePicture(*preview.Lens(), "lens"));
  });
  EXPECT_EQ(process.Runs, 1);
  // The next click prepares the grid as it is then.
  WithPreview(window,
              [&](TfrmKyPreview& preview) { EXPECT_EQ(preview.KyRPreview()->PageNumber(), 1); });
  EXPECT_EQ(process.Runs, 2);
}

}  // namespace
}  // namespace hy
