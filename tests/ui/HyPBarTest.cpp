#include <gtest/gtest.h>

#include <QApplication>

#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include "support/QtApp.h"

#include <string>

#include "ui/HyPBar.h"

namespace hy {
namespace {

using test::App;

class HyPBarTest : public ::testing::Test {
protected:
  void SetUp() override { App(); }
  void TearDown() override { EXPECT_EQ(THyProgressDialog::Instance(), nullptr); }

  // The dialog running the current work; fails the test when there is none.
  static THyProgressDialog& Dialog() {
    THyProgressDialog* dialog = THyProgressDialog::Instance();
    if (!dialog) throw std::runtime_error("no progress dialog");
    return *dialog;
  }

  static std::string Text(const QLabel* label) { return label->text().toStdString(); }
};

TEST_F(HyPBarTest, WorkStartsOnlyOnceTheDialogIsOnScreen) {
  auto progress = MakeBuildProgress(true);
  ASSERT_NE(dynamic_cast<THyDialogProgress*>(progress.get()), nullptr);
  EXPECT_EQ(THyProgressDialog::Instance(), nullptr);  // created by the run, not before
  bool ran = false;
  progress->RunWithProgress([&](TCubeProgress& reportTo) {
    ran = true;
    THyProgressDialog& dialog = Dialog();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isModal());
    EXPECT_TRUE(dialog.Running());
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Building data store...");
    EXPECT_EQ(&reportTo, &dialog);  // the work reports to the dialog
  });
  EXPECT_TRUE(ran);
}

TEST_F(HyPBarTest, CancelClickStopsTheWorkAtItsNextCallAndAnotherRunFollows) {
  auto progress = MakeBuildProgress(true);
  int64_t reached = 0;
  try {
    progress->RunWithProgress([&](TCubeProgress& p) {
      p.ProgressStatus("Scanning data set values...");
      for (int64_t row = 1; row <= 1000000; ++row) {
        reached = row;
        p.ProgressCount(row);
        if (row == 5) Dialog().CancelButton()->click();
      }
    });
    FAIL() << "the work was not cancelled";
  } catch (const EUserCanceled& e) {
    EXPECT_STREQ(e.what(), "User canceled DecisionCube population.");
  }
  EXPECT_EQ(reached, 6);
  EXPECT_EQ(THyProgressDialog::Instance(), nullptr);
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    EXPECT_EQ(dynamic_cast<THyProgressDialog*>(widget), nullptr) << "dialog left behind";
  }

  // A fresh dialog: not cancelled, the work runs to its end.
  int64_t counted = 0;
  EXPECT_NO_THROW(progress->RunWithProgress([&](TCubeProgress& p) {
    EXPECT_FALSE(Dialog().Canceled());
    for (int64_t row = 4096; row <= 40960; row += 4096) p.ProgressCount(counted = row);
  }));
  EXPECT_EQ(counted, 40960);
}

TEST_F(HyPBarTest, PendingEventsRunAtEveryCall) {
  auto progress = MakeBuildProgress(true);
  // A click that waits in the event queue is seen at the next count.
  EXPECT_THROW(progress->RunWithProgress([&](TCubeProgress& p) {
    QMetaObject::invokeMethod(Dialog().CancelButton(), &QPushButton::click, Qt::QueuedConnection);
    p.ProgressCount(1);
    ADD_FAILURE() << "the queued click was not seen";
  }),
               EUserCanceled);

  // Escape while working cancels but keeps the dialog up until the work stops.
  bool visibleAfterEscape = false;
  EXPECT_THROW(progress->RunWithProgress([&](TCubeProgress& p) {
    p.ProgressStage("Compress Dimensions...", 100000);
    QCoreApplication::postEvent(&Dialog(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCoreApplication::processEvents();
    visibleAfterEscape = Dialog().isVisible();
    for (int i = 0; i < 10; ++i) p.ProgressStep();
  }),
               EUserCanceled);
  EXPECT_TRUE(visibleAfterEscape);
}

TEST_F(HyPBarTest, ExceptionOfTheWorkIsRaisedAfterTheDialogIsGone) {
  auto progress = MakeBuildProgress(true);
  try {
    progress->RunWithProgress(
        [](TCubeProgress&) { throw EConvertError("'x' is not a valid integer value"); });
    FAIL() << "nothing raised";
  } catch (const EConvertError& e) {
    EXPECT_EQ(THyProgressDialog::Instance(), nullptr);
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
}

TEST_F(HyPBarTest, OneDialogAtATime) {
  auto progress = MakeBuildProgress(true);
  progress->RunWithProgress([&](TCubeProgress&) {
    THyProgressDialog* outer = &Dialog();
    EXPECT_THROW(THyProgressDialog second, EAssertionFailed);
    EXPECT_EQ(THyProgressDialog::Instance(), outer);
    // A build started inside another reports into the dialog already up.
    MakeBuildProgress(true)->RunWithProgress([&](TCubeProgress& p) {
      EXPECT_EQ(THyProgressDialog::Instance(), outer);
      EXPECT_EQ(&p, outer);
      p.ProgressCount(7);
    });
    EXPECT_EQ(Text(outer->LabCount()), "7");
  });
}

TEST_F(HyPBarTest, TitleBarWithoutButtonsOverTheActiveWindowAndEscapeCancels) {
  QWidget main;
  main.resize(300, 200);
  main.show();
  QApplication::setActiveWindow(&main);
  ASSERT_EQ(QApplication::activeWindow(), &main);
  auto progress = MakeBuildProgress(true);
  EXPECT_THROW(progress->RunWithProgress([&](TCubeProgress& p) {
    THyProgressDialog& dialog = Dialog();
    const Qt::WindowFlags flags = dialog.windowHandle()->flags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                          Qt::WindowContextHelpButtonHint));
    // A dialog of the main window: window managers give such transient
    // dialogs no minimize or maximize button.
    EXPECT_EQ(dialog.windowHandle()->transientParent(), main.windowHandle());
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    QCoreApplication::postEvent(&dialog,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    for (int i = 0; i < 100; ++i) p.ProgressCount(i);
  }),
               EUserCanceled);
}

TEST_F(HyPBarTest, LayoutPlacementAndStages) {
  auto progress = MakeBuildProgress(true);
  const std::string folder = ::testing::TempDir();
  progress->RunWithProgress([&](TCubeProgress& p) {
    THyProgressDialog& dialog = Dialog();
    EXPECT_EQ(dialog.size(), QSize(394, 116));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(dialog.pos(), QPoint((screen.width() - 394) / 2, (screen.height() - 116) / 3));
    EXPECT_EQ(dialog.ProgressBar()->geometry(), QRect(8, 48, 377, 17));
    EXPECT_EQ(dialog.CancelButton()->geometry(), QRect(160, 80, 75, 25));
    EXPECT_EQ(dialog.CancelButton()->text().toStdString(), "&Cancel");
    EXPECT_EQ(dialog.LabCount()->geometry(), QRect(342, 24, 42, 13));
    EXPECT_TRUE(dialog.LabCount()->alignment() & Qt::AlignRight);

    p.ProgressStatus("Scanning data set values...");
    EXPECT_FALSE(dialog.ProgressBar()->isVisible());
    EXPECT_TRUE(dialog.LabStatus()->isVisible());
    EXPECT_EQ(Text(dialog.LabCount()), "0");
    p.ProgressCount(12288);
    EXPECT_EQ(Text(dialog.LabCount()), "12288");
    // The status reads in full and stays clear of the counter.
    EXPECT_EQ(Text(dialog.LabStatus()), "Scanning data set values...");
    EXPECT_EQ(dialog.LabStatus()->x(), 8);
    EXPECT_LE(dialog.LabStatus()->geometry().right(), 342);
    EXPECT_TRUE(dialog.grab().save(QString::fromStdString(folder + "hypbar_status.png")));

    p.ProgressStage("Compress Dimensions...", 2000);
    EXPECT_TRUE(dialog.ProgressBar()->isVisible());
    EXPECT_FALSE(dialog.LabCount()->isVisible());
    EXPECT_EQ(dialog.ProgressBar()->maximum(), 2000);
    EXPECT_EQ(dialog.ProgressBar()->value(), 1);
    for (int i = 0; i < 1000; ++i) p.ProgressStep();
    EXPECT_EQ(dialog.ProgressBar()->value(), 1001);
    const QPixmap shot = dialog.grab();
    EXPECT_EQ(shot.size(), QSize(394, 116) * shot.devicePixelRatio());
    EXPECT_TRUE(shot.save(QString::fromStdString(folder + "hypbar_stage.png")));

    // A long text is cut to the dialog's width, not past it.
    p.ProgressStage(std::string(200, 'W'), 10);
    EXPECT_LE(dialog.LabStatus()->geometry().right(), 394 - 8);
  });
}

TEST_F(HyPBarTest, WithoutTheDialogTheBuildRunsSilentlyUnderTheBusyCursor) {
  auto progress = MakeBuildProgress(false);
  EXPECT_EQ(dynamic_cast<THyDialogProgress*>(progress.get()), nullptr);
  EXPECT_THROW(progress->RunWithProgress([](TCubeProgress& p) {
    EXPECT_EQ(THyProgressDialog::Instance(), nullptr);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    for (int64_t row = 4096; row <= 40960; row += 4096) p.ProgressCount(row);  // never cancels
    throw EConvertError("late failure");
  }),
               EConvertError);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // The factory installed for the window program answers the same choices.
  UseProgressDialogForBuilds();
  EXPECT_NE(dynamic_cast<THyDialogProgress*>(NewBuildProgress(true).get()), nullptr);
  EXPECT_EQ(dynamic_cast<THyDialogProgress*>(NewBuildProgress(false).get()), nullptr);
  SetProgressFactory(nullptr);
}

}  // namespace
}  // namespace hy
