#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "report/KyRDMan.h"
#include "report/KyROutput.h"
#include "support/TestDatabase.h"
#include "ui/KyNumEd.h"
#include "ui/KyRFind.h"
#include "ui/KyRLens.h"
#include "ui/KyRPreview.h"
#include "ui/KyRPreviewOutput.h"
#include "ui/KyRView.h"
#include "ui/PreviewTestReport.h"

namespace hy {
namespace {

class KyRPreviewTest : public ::testing::Test {
protected:
  void TearDown() override {
    UseReportOutput();
    SetSetupDialogFunction({});
  }

  // A prepared report of `bars` sheets of `pages` pages.
  std::unique_ptr<test::TPreviewTestReport> Report(int bars, int pages) {
    auto report = std::make_unique<test::TPreviewTestReport>(bars, pages);
    report->Texts[{0, 0}] = {"Total", "Totals", "Grand Total"};
    report->Texts[{2, 0}] = {"Grand Total"};
    report->Texts[{0, 1}] = {"Total"};
    report->Prepare();
    return report;
  }

  // The window on screen, as the user sees it.
  std::unique_ptr<TfrmKyPreview> Open(TKyPrintBaseComponent& report) {
    auto window = std::make_unique<TfrmKyPreview>(&report);
    window->resize(900, 700);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
  }

  // Answers the find dialog that `run` opens.
  static void Find(TKyRPreview& preview, const std::function<void()>& run, const QString& text,
                   int mode, bool global = false) {
    QTimer::singleShot(0, [&preview, text, mode, global] {
      TfrmKyRFind* dialog = preview.FindDialog();
      ASSERT_NE(dialog, nullptr);
      dialog->edTextValue()->setText(text);
      dialog->cbMode()->setCurrentIndex(mode);
      dialog->chkCaseSensitive()->setChecked(true);
      (global ? dialog->rbGlobal() : dialog->rbCurrentPage())->setChecked(true);
      dialog->btnOK()->click();
    });
    run();
  }
};

TEST_F(KyRPreviewTest, CaptionAndSheetTabsFollowTheReport) {
  auto one = Report(1, 2);
  auto window = Open(*one);
  EXPECT_EQ(window->windowTitle(), "Report preview mode / Quarterly sales");
  EXPECT_FALSE(window->tsSheets()->isVisible());
  EXPECT_EQ(window->lblNumPages()->text(), "of 2");
  EXPECT_EQ(window->lblPages()->text(), "page #");
  EXPECT_EQ(window->Button("btnPrint")->toolTip(), "Print on printer");
  EXPECT_EQ(window->Button("btnZoomToWidth")->toolTip(), "fit to page width");

  auto three = Report(3, 2);
  auto sheets = Open(*three);
  QTabBar* tabs = sheets->tsSheets();
  ASSERT_TRUE(tabs->isVisible());
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "Sheet 1");
  EXPECT_EQ(tabs->tabText(2), "Sheet 3");
  sheets->KyRPreview()->SetPageNumber(1);
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
  EXPECT_EQ(sheets->KyRPreview()->BarNumber(), 3);
  EXPECT_EQ(sheets->KyRPreview()->PageNumber(), 1);
  EXPECT_EQ(three->BarIndex(), 2);
  // Changing the sheet from the control moves the tab along.
  sheets->KyRPreview()->SetBarNumber(2);
  EXPECT_EQ(tabs->currentIndex(), 1);
}

TEST_F(KyRPreviewTest, NavigationEnablesWhatLeadsSomewhere) {
  auto report = Report(1, 5);
  auto window = Open(*report);
  QToolButton* first = window->Button("btnFirstPage");
  QToolButton* prev = window->Button("btnPrevPage");
  QToolButton* next = window->Button("btnNextPage");
  QToolButton* last = window->Button("btnLastPage");
  EXPECT_TRUE(first->isEnabled());
  EXPECT_FALSE(prev->isEnabled());
  EXPECT_TRUE(next->isEnabled());
  QTest::keyClick(window.get(), Qt::Key_End);
  EXPECT_EQ(window->KyRPreview()->PageNumber(), 5);
  EXPECT_FALSE(next->isEnabled());
  EXPECT_TRUE(last->isEnabled());
  EXPECT_EQ(window->edNumPage()->text(), "5");
  QTest::keyClick(window.get(), Qt::Key_PageUp);
  EXPECT_EQ(window->KyRPreview()->PageNumber(), 4);
  QTest::mouseClick(first, Qt::LeftButton);
  EXPECT_EQ(window->KyRPreview()->PageNumber(), 1);
  // A typed number moves there; one beyond the report leaves the page.
  window->edNumPage()->setFocus();
  window->edNumPage()->setText("3");
  QTest::keyClick(window->edNumPage(), Qt::Key_Return);
  EXPECT_EQ(window->KyRPreview()->PageNumber(), 3);
  window->edNumPage()->setText("9");
  QTest::keyClick(window->edNumPage(), Qt::Key_Return);
  EXPECT_EQ(window->KyRPreview()->PageNumber(), 3);
  EXPECT_EQ(window->edNumPage()->text(), "3");
  // Keys meant for the window do not reach the page field.
  QTest::keyClick(window->edNumPage(), Qt::Key_Home);
  EXPECT_EQ(window->KyRPreview()->PageNumber(), 1);
}

TEST_F(KyRPreviewTest, ScaleListAndClickZoom) {
  auto report = Report(1, 1);
  auto window = Open(*report);
  TKyRPreview* preview = window->KyRPreview();
  EXPECT_EQ(preview->Zoom(), preview->FitToWidth());
  EXPECT_EQ(window->cbScale()->currentIndex(), TfrmKyPreview::kScaleFitWidth);

  window->cbScale()->activated(2);  // "200%"
  EXPECT_EQ(window->cbScale()->currentText(), "200%");
  EXPECT_EQ(preview->PagePanel()->width(), 2 * 794);
  EXPECT_EQ(preview->PagePanel()->height(), 2 * 1123);
  EXPECT_EQ(window->cbScale()->toolTip(), "Scale: 200%");

  window->Button("btnZoomTo100")->click();
  EXPECT_EQ(preview->Zoom(), 100);
  EXPECT_TRUE(window->Button("btnZoomTo100")->isChecked());
  QTest::mouseClick(window->Button("btnZoomIn"), Qt::LeftButton);
  EXPECT_EQ(preview->ZoomByClick(), zcInc);
  QWidget* page = preview->PaintBox();
  // After each click the clicked point of the page lies in the middle of the view.
  const auto clickAt = [&](QPoint at, Qt::MouseButton button) {
    const double before = preview->Zoom();
    QTest::mouseClick(page, button, {}, at);
    const double f = preview->Zoom() / before;
    return page->mapTo(preview->viewport(), QPoint(int(at.x() * f), int(at.y() * f)));
  };
  const QPoint middle(preview->viewport()->width() / 2, preview->viewport()->height() / 2);
  QPoint clicked = clickAt(QPoint(500, 600), Qt::LeftButton);
  EXPECT_EQ(preview->Zoom(), 150);
  EXPECT_NEAR(clicked.x(), middle.x(), 3);
  EXPECT_NEAR(clicked.y(), middle.y(), 3);
  clicked = clickAt(page->mapFrom(preview->viewport(), middle), Qt::LeftButton);
  EXPECT_EQ(preview->Zoom(), 225);
  EXPECT_NEAR(clicked.x(), middle.x(), 3);
  EXPECT_NEAR(clicked.y(), middle.y(), 3);
  EXPECT_EQ(window->cbScale()->currentIndex(), TfrmKyPreview::kScaleCustom);
  EXPECT_EQ(window->cbScale()->currentText(), "custom");
  EXPECT_FALSE(window->Button("btnZoomTo100")->isChecked());

  // Zoom out: a right click in zoom-in mode, or a left click in zoom-out mode.
  QTest::mouseClick(page, Qt::RightButton, {}, QPoint(10, 10));
  EXPECT_EQ(preview->Zoom(), 150);
  QTest::mouseClick(window->Button("btnZoomOut"), Qt::LeftButton);
  EXPECT_FALSE(window->Button("btnZoomIn")->isChecked());
  EXPECT_EQ(preview->ZoomByClick(), zcDec);
  window->Button("btnZoomTo100")->click();
  QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(preview->Zoom(), 66);
  preview->SetZoom(0);
  EXPECT_EQ(preview->Zoom(), 100);
}

TEST_F(KyRPreviewTest, AHugeZoomIsCappedAndStillPaintsThePage) {
  auto report = Report(1, 1);
  TKyRPreview preview;
  preview.resize(600, 500);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  preview.SetReport(report.get());
  preview.SetZoom(100000);
  EXPECT_EQ(preview.Zoom(), TKyRPreview::kMaxZoom);
  // "Sheet 1, page 1" starts at (60, 40) on the page: at 2000 % its first
  // letter lies around (1200, 800) of the paint box.
  const QImage part = preview.PaintBox()->grab(QRect(1200, 780, 300, 300)).toImage();
  int dark = 0;
  for (int y = 0; y < part.height(); ++y)
    for (int x = 0; x < part.width(); ++x) dark += qGray(part.pixel(x, y)) < 100;
  EXPECT_GT(dark, 500);
}

TEST_F(KyRPreviewTest, ThePageIsCentredWhenItFitsAndStartsAtTenWhenNot) {
  auto report = Report(1, 1);
  TKyRPreview preview;
  preview.resize(1000, 1400);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  preview.SetReport(report.get());
  preview.SetZoom(50);
  const QSize client = preview.contentsRect().size();
  EXPECT_EQ(preview.PagePanel()->x(), (client.width() - 794 / 2 - 25) / 2);
  EXPECT_EQ(preview.PagePanel()->y(), (client.height() - 1123 / 2 - 25) / 2);
  preview.SetZoom(200);
  EXPECT_EQ(preview.PagePanel()->x(), 10);
  EXPECT_EQ(preview.PagePanel()->y(), 10);
  EXPECT_GT(preview.horizontalScrollBar()->maximum(), 0);
}

TEST_F(KyRPreviewTest, EscapeClosesAndAnEmbeddedWindowHasNoCloseButton) {
  auto report = Report(1, 1);
  auto window = Open(*report);
  EXPECT_TRUE(window->Button("btnClose")->isVisible());
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());

  QWidget host;
  host.resize(700, 500);
  auto* embedded = new TfrmKyPreview(report.get(), &host);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  EXPECT_TRUE(embedded->Embedded());
  EXPECT_TRUE(embedded->isVisible());
  EXPECT_EQ(embedded->window(), &host);
  EXPECT_EQ(embedded->geometry(), host.rect());
  EXPECT_FALSE(embedded->Button("btnClose")->isVisible());
  EXPECT_FALSE(embedded->Button("btnClose")->isEnabled());
  host.resize(800, 600);
  EXPECT_EQ(embedded->size(), QSize(800, 600));
}

TEST_F(KyRPreviewTest, CtrlSExportsWithTheFileNameUsedLast) {
  std::vector<std::string> proposed;
  int printed = 0;
  SetPreviewOutput({[&](TKyPrintBaseComponent&) { return ++printed, true; },
                    [&](TKyPrintBaseComponent&, std::string& fileName) {
                      proposed.push_back(fileName);
                      fileName = "/tmp/sales-" + std::to_string(proposed.size()) + ".pdf";
                      return true;
                    },
                    nullptr});
  auto report = Report(1, 1);
  auto window = Open(*report);
  EXPECT_FALSE(window->Button("btnOpenFromFile")->isEnabled());  // nothing installed to load with
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(proposed, (std::vector<std::string>{"", "/tmp/sales-1.pdf"}));
  EXPECT_EQ(window->FileName(), "/tmp/sales-2.pdf");
  QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(printed, 1);
}

TEST_F(KyRPreviewTest, SaveAndOpenGoThroughTheReportsOutput) {
  test::TestDatabase folder;  // a throwaway folder
  const std::string file = folder.Folder() + "/sales.krp";
  std::vector<TKySetupRequest> requests;
  SetSetupDialogFunction([&](const TKySetupRequest& request, TKySetupChoice& choice) {
    requests.push_back(request);
    choice.ExportTypeIndex = 0;  // the prepared report file
    choice.FileName = file;
    return true;
  });
  auto report = Report(2, 3);
  auto window = Open(*report);
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(std::filesystem::exists(file));
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].ExportMode);
  EXPECT_EQ(requests[0].FileName, "");
  EXPECT_EQ(requests[1].FileName, file);  // the name used last

  // Another report in the same window: open the saved one over it.
  auto other = Report(1, 1);
  auto second = Open(*other);
  second->KyRPreview()->SetZoom(300);
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->nameFilters().first().startsWith("KyReport generated (*.krp)"));
    dialog->selectFile(QString::fromStdString(file));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  QTest::keyClick(second.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(second->FileName(), file);
  EXPECT_EQ(other->BarCount(), 2);
  EXPECT_EQ(other->PageCount(), 3);
  EXPECT_EQ(second->tsSheets()->count(), 2);
  EXPECT_EQ(second->lblNumPages()->text(), "of 3");
  EXPECT_EQ(second->KyRPreview()->PageNumber(), 1);
  EXPECT_EQ(second->KyRPreview()->Zoom(), 300);  // the scale chosen stays
  EXPECT_EQ(second->cbScale()->currentIndex(), TfrmKyPreview::kScaleCustom);
}

TEST_F(KyRPreviewTest, FindModesMarkTheMatchesOfThePage) {
  auto report = Report(1, 3);
  auto window = Open(*report);
  TKyRPreview* preview = window->KyRPreview();
  const auto marks = [&](int mode) {
    Find(
        *preview, [&] { window->FindText(); }, "Total", mode);
    return preview->Highlights().size();
  };
  EXPECT_EQ(marks(0), 2u);  // Total, Totals
  EXPECT_EQ(marks(1), 1u);  // Total
  EXPECT_EQ(marks(2), 3u);  // Total, Totals, Grand Total
  EXPECT_EQ(window->lblStatus()->text(), "Find Text: 3");
  // The marks lie under the text: the page shows yellow where they are.
  const QImage image = preview->PaintBox()->grab().toImage();
  const TRect r = preview->Highlights()[1].Rect;
  const double s = preview->Zoom() / 100.0;
  const QColor at = image.pixelColor(int((r.Left + 2) * s), int((r.Top + 2) * s));
  EXPECT_GT(at.red(), 200);
  EXPECT_GT(at.green(), 150);
  EXPECT_LT(at.blue(), 80);
  // The dialog keeps its mode, and the Global scope can be chosen.
  EXPECT_EQ(preview->FindDialog()->cbMode()->currentIndex(), 2);
  EXPECT_TRUE(preview->FindDialog()->rbGlobal()->isEnabled());
  EXPECT_EQ(preview->FindDialog()->windowTitle(), "Find Text");
}

TEST_F(KyRPreviewTest, GlobalSearchAndF3StepThroughEverySheet) {
  auto report = Report(2, 3);
  auto window = Open(*report);
  TKyRPreview* preview = window->KyRPreview();
  Find(
      *preview, [&] { QTest::mouseClick(window->Button("btnFindText"), Qt::LeftButton); },
      "Grand Total", 1, true);
  // Page 1 and page 3 of sheet 1.
  ASSERT_EQ(preview->Hits().size(), 2u);
  EXPECT_EQ(window->lblStatus()->text(), "Find Text: 2");
  EXPECT_EQ(preview->HitIndex(), 0);
  EXPECT_EQ(preview->PageNumber(), 1);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_EQ(preview->PageNumber(), 3);
  EXPECT_EQ(preview->Highlights().size(), 1u);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_EQ(preview->PageNumber(), 1);
  QTest::keyClick(window.get(), Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(preview->PageNumber(), 3);
  EXPECT_EQ(window->edNumPage()->text(), "3");

  // "Total" also stands on page 1 of sheet 2: F3 switches the sheet and its tab.
  window->KyRPreview()->SetPageNumber(2);
  Find(
      *preview, [&] { window->FindText(); }, "Total", 0, true);
  ASSERT_EQ(preview->Hits().size(), 3u);  // Total, Totals on sheet 1; Total on sheet 2
  EXPECT_EQ(preview->BarNumber(), 2);     // the first hit from page 2 of sheet 1 on
  EXPECT_EQ(preview->PageNumber(), 1);
  EXPECT_EQ(window->tsSheets()->currentIndex(), 1);
  QTest::keyClick(window.get(), Qt::Key_F3);
  EXPECT_EQ(preview->BarNumber(), 1);
  EXPECT_EQ(window->tsSheets()->currentIndex(), 0);
}

TEST_F(KyRPreviewTest, TheWindowKeepsItsPlaceWhenActivatedAgain) {
  auto report = Report(1, 5);
  auto window = Open(*report);
  TKyRPreview* preview = window->KyRPreview();
  preview->SetPageNumber(4);
  window->cbScale()->activated(3);  // 150%
  Find(
      *preview, [&] { window->FindText(); }, "Row 1", 0);
  const size_t marks = preview->Highlights().size();
  EXPECT_GT(marks, 0u);
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(window.get(), &activate);
  window->hide();
  window->show();
  EXPECT_EQ(preview->PageNumber(), 4);
  EXPECT_EQ(preview->Zoom(), 150);
  EXPECT_EQ(preview->Highlights().size(), marks);
}

TEST_F(KyRPreviewTest, TheLensFollowsTheMouse) {
  auto report = Report(1, 1);
  auto window = Open(*report);
  TKyRPreview* preview = window->KyRPreview();
  window->Button("btnZoomTo100")->click();
  QTest::mouseClick(window->Button("btnLens"), Qt::LeftButton);
  TfrmKyRLens* lens = window->Lens();
  ASSERT_NE(lens, nullptr);
  EXPECT_TRUE(lens->isVisible());
  EXPECT_EQ(lens->windowTitle(), "Lens form");
  EXPECT_EQ(lens->lblScale()->text(), "Scale: 200%");
  QWidget* page = preview->PaintBox();
  QTest::mouseMove(page, QPoint(150, 120));
  const QRectF first = lens->Source();
  EXPECT_NEAR(first.center().x(), 150, 1);
  EXPECT_NEAR(first.center().y(), 120, 1);
  EXPECT_NEAR(first.width(), lens->pbLens()->width() / 2.0, 1);
  QTest::mouseMove(page, QPoint(400, 350));
  EXPECT_NEAR(lens->Source().center().x(), 400, 1);
  EXPECT_NEAR(lens->Source().center().y(), 350, 1);
  // Four times: a smaller part of the page.
  lens->tbScale()->setValue(4);
  QTest::mouseMove(page, QPoint(300, 300));
  EXPECT_NEAR(lens->Source().width(), lens->pbLens()->width() / 4.0, 1);
  EXPECT_FALSE(lens->LensImage().isNull());
  // Near the edge the part stays on the page.
  QTest::mouseMove(page, QPoint(1, 1));
  EXPECT_EQ(lens->Source().topLeft(), QPointF(0, 0));
  lens->hide();
  EXPECT_FALSE(window->Button("btnLens")->isChecked());
}

TEST_F(KyRPreviewTest, TextsFollowTheReportsLanguage) {
  auto report = Report(2, 1);
  TKyRLanguage german;
  german.SetLanguageID(lnGerman);
  report->SetLanguage(german);
  auto window = Open(*report);
  const auto de = [](int k) { return QString::fromStdString(LoadString(lnGerman, k)); };
  ASSERT_NE(de(kStrPreviewCaption), "Report preview mode");
  EXPECT_EQ(window->windowTitle(), de(kStrPreviewCaption) + " / Quarterly sales");
  EXPECT_EQ(window->lblPages()->text(), de(kStrPageNo));
  EXPECT_EQ(window->Button("btnPrint")->toolTip(), de(1801));
  EXPECT_EQ(window->cbScale()->itemText(TfrmKyPreview::kScaleFitWidth), de(1807));
  EXPECT_EQ(window->tsSheets()->tabText(1), de(kStrSheet) + " 2");
  QString caption;
  QTimer::singleShot(0, [&] {
    caption = window->KyRPreview()->FindDialog()->windowTitle();
    window->KyRPreview()->FindDialog()->reject();
  });
  EXPECT_FALSE(window->KyRPreview()->FindText());
  EXPECT_EQ(caption, de(kStrFindFirst));
}

TEST_F(KyRPreviewTest, CtrlAShowsTheAboutBox) {
  auto report = Report(1, 1);
  auto window = Open(*report);
  QString text;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    text = box->windowTitle() + "|" + box->text();
    box->accept();
  });
  QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(text.startsWith("About HyCube Report|")) << text.toStdString();
  EXPECT_TRUE(text.contains("HyCube Report"));
}

TEST_F(KyRPreviewTest, TheInchGridHasALineEveryInch) {
  auto report = Report(1, 1);  // A4: 794 x 1123 page units, 96 to the inch
  TKyRPreview preview;
  preview.resize(1000, 1300);
  preview.SetReport(report.get());
  preview.SetShowGrid(true);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  const QImage image = preview.PaintBox()->grab().toImage();
  const auto silver = [&](int x, int y) { return image.pixelColor(x, y) == QColor(192, 192, 192); };
  // Lines crossing a blank strip of the page, counted as runs.
  const auto runs = [&](bool across) {
    int count = 0;
    bool in = false;
    const int length = across ? image.width() : image.height();
    for (int i = 2; i < length - 2; ++i) {
      const bool s = across ? silver(i, 20) : silver(30, i);
      count += s && !in;
      in = s;
    }
    return count;
  };
  EXPECT_EQ(runs(true), 8);
  EXPECT_EQ(runs(false), 11);
}

TEST_F(KyRPreviewTest, MarginGuttersUseEachOwnMargin) {
  auto report = std::make_unique<test::TPreviewTestReport>(1, 1);
  TKyRPageMargins margins;
  margins.ByDefault = false;
  margins.Left = 40;
  margins.Right = 80;
  margins.Top = 50;
  margins.Bottom = 150;
  report->PrinterSetting().SetMargins(margins);
  report->Prepare();
  ASSERT_EQ(report->CurrentPage()->BottomMargin(), 150);
  TKyRPreview preview;
  preview.resize(1000, 1300);
  preview.SetReport(report.get());
  preview.SetShowMargins(true);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
  const QImage image = preview.PaintBox()->grab().toImage();
  // A dotted green line across the page within a pixel of page unit `y`.
  const auto greenRow = [&](int y) {
    const int at = int(y * image.height() / 1123.0);
    for (int row = at - 1; row <= at + 1; ++row) {
      int green = 0;
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, row);
        green += c.green() > 100 && c.red() < 60 && c.blue() < 60;
      }
      if (green > 100) return true;
    }
    return false;
  };
  EXPECT_TRUE(greenRow(50));
  EXPECT_TRUE(greenRow(1123 - 150));
  EXPECT_FALSE(greenRow(1123 - 50));
}

}  // namespace
}  // namespace hy
