#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <filesystem>

#include "export/KyRExportTypes.h"
#include "platform/printer/RecordingPrinter.h"
#include "report/KyROutput.h"
#include "report/OutputTestReport.h"
#include "ui/KyNumEd.h"
#include "ui/KyRPESet.h"

namespace hy {
namespace {

int TypeIndex(const std::string& extension) {
  const auto& types = KyRExportTypes();
  for (size_t i = 0; i < types.size(); ++i)
    if (types[i].Extension == extension) return int(i) + 1;
  return -1;
}

struct SetupFixture : ::testing::Test {
  SetupFixture() {
    printer.SetPrinterNames({"Office", "Plotter", "Label"});
    printer.SetPrinterIndex(0);
  }
  TRecordingPrinter printer;
};

TEST_F(SetupFixture, PrintModeShowsThePrinterPanelWithItsTexts) {
  TfrmPrintSetup dialog(&printer);
  dialog.SetExportMode(false);
  dialog.Localize();
  dialog.show();
  EXPECT_EQ(dialog.size(), QSize(376, 258));
  EXPECT_EQ(dialog.windowTitle(), "Print setup dialog");
  EXPECT_TRUE(dialog.PnlPrinter()->isVisible());
  EXPECT_FALSE(dialog.PnlExport()->isVisible());
  EXPECT_EQ(dialog.PnlPrinter()->geometry(), QRect(8, 8, 273, 85));
  EXPECT_EQ(dialog.EdCopy()->geometry(), QRect(64, 38, 40, 21));
  EXPECT_EQ(dialog.GbPageRange()->geometry(), QRect(8, 100, 273, 153));
  EXPECT_EQ(dialog.BtnOk()->geometry(), QRect(300, 16, 70, 25));
  EXPECT_EQ(dialog.BtnPrinter()->text(), "Property...");
  EXPECT_EQ(dialog.RbEven()->text(), "even only");
  EXPECT_EQ(dialog.GbPageRange()->title(), " Page range ");
  EXPECT_EQ(dialog.LblPrompt()->text(),
            "Enter page numbers and/or page ranges separated by commas. \nFor example, 1,3,5-12.");
  EXPECT_EQ(dialog.CbPrinterName()->count(), 3);
  EXPECT_EQ(dialog.CbPrinterName()->currentText(), "Office");
  EXPECT_EQ(dialog.EdCopy()->text(), "1");
  EXPECT_TRUE(dialog.RbAll()->isChecked());
  dialog.grab().save(QDir::temp().filePath("setup-print.png"));

  dialog.SelectPrinter("Label", 1);
  EXPECT_EQ(dialog.CbPrinterName()->currentIndex(), 2);
  dialog.SelectPrinter("", 1);
  EXPECT_EQ(dialog.CbPrinterName()->currentIndex(), 1);
  dialog.SelectPrinter("Gone", -1);
  EXPECT_EQ(dialog.CbPrinterName()->currentIndex(), 0);  // the current printer
}

TEST_F(SetupFixture, ExportTypeSwitchesTheExtension) {
  TfrmPrintSetup dialog(&printer);
  dialog.SetExportMode(true);
  dialog.Localize();
  dialog.FillExportTypes();
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Export setup dialog");
  EXPECT_TRUE(dialog.PnlExport()->isVisible());
  EXPECT_FALSE(dialog.PnlPrinter()->isVisible());
  EXPECT_EQ(dialog.CbExportType()->count(), 1 + int(KyRExportTypes().size()));
  EXPECT_EQ(dialog.CbExportType()->itemText(0), "KyReport generated");
  EXPECT_EQ(dialog.EdFileName()->text(), "REPORT.KRP");
  EXPECT_FALSE(dialog.CbExportType()->itemIcon(TypeIndex("TXT")).isNull());
  // Types whose writer is not there yet are listed but cannot be chosen.
  auto* model = qobject_cast<QStandardItemModel*>(dialog.CbExportType()->model());
  for (int i = 1; i < dialog.CbExportType()->count(); ++i)
    EXPECT_EQ(model->item(i)->isEnabled(), KyRExportTypes()[size_t(i - 1)].Available()) << i;

  dialog.CbExportType()->setCurrentIndex(TypeIndex("TXT"));
  dialog.ExportTypeChanged();
  EXPECT_EQ(dialog.EdFileName()->text(), "REPORT.TXT");
  dialog.grab().save(QDir::temp().filePath("setup-export.png"));

  dialog.EdFileName()->setText("C:\\out\\sales");
  dialog.CbExportType()->setCurrentIndex(TypeIndex("XLS"));
  dialog.ExportTypeChanged();
  EXPECT_EQ(dialog.EdFileName()->text(), "C:\\out\\sales.XLS");
  dialog.CbExportType()->setCurrentIndex(0);
  dialog.ExportTypeChanged();
  EXPECT_EQ(dialog.EdFileName()->text(), "C:\\out\\sales.KRP");
  EXPECT_EQ(ChangeFileExt("/tmp/v1.2/report", "TXT"), "/tmp/v1.2/report.TXT");
}

TEST_F(SetupFixture, TheFileButtonOffersTheTypesFilterAndTakesTheChosenName) {
  TfrmPrintSetup dialog(&printer);
  dialog.SetExportMode(true);
  dialog.Localize();
  dialog.FillExportTypes();
  std::vector<std::string> asked;
  std::string answer = "/home/u/chosen.csv";
  dialog.SetSaveDialogFunction(
      [&](const std::string& t, const std::string& f, const std::string& e, const std::string& n) {
        asked = {t, f, e, n};
        return answer;
      });
  dialog.CbExportType()->setCurrentIndex(TypeIndex("CSV"));
  dialog.ExportTypeChanged();
  QTest::mouseClick(dialog.PnlFileName(), Qt::LeftButton);
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[0], "Input a file name for save of then page");
  EXPECT_EQ(asked[1], LoadString(0, KyRExportTypes()[size_t(TypeIndex("CSV") - 1)].FilterId) +
                          "|*.CSV|All files (*.*)|*.*");
  EXPECT_EQ(asked[2], "CSV");
  EXPECT_EQ(asked[3], "REPORT.CSV");
  EXPECT_EQ(dialog.EdFileName()->text(), "/home/u/chosen.csv");

  dialog.CbExportType()->setCurrentIndex(0);
  EXPECT_EQ(dialog.SaveDialogFilter(), "KyReport generated (*.krp)|*.KRP|All files (*.*)|*.*");
  answer.clear();  // Cancel keeps the name
  QTest::mouseClick(dialog.PnlFileName(), Qt::LeftButton);
  EXPECT_EQ(dialog.EdFileName()->text(), "/home/u/chosen.csv");
}

TEST_F(SetupFixture, CancelAfterPropertyPutsThePrinterBackOkKeepsIt) {
  auto chooseLabel = [](TPlatformPrinter& p, QWidget*) {
    p.SetPrinterIndex(2);
    return true;
  };
  {
    TfrmPrintSetup dialog(&printer);
    dialog.SetPrinterSetupFunction(chooseLabel);
    dialog.Localize();
    QTest::mouseClick(dialog.BtnPrinter(), Qt::LeftButton);
    EXPECT_EQ(dialog.CbPrinterName()->currentText(), "Label");
    EXPECT_EQ(printer.DeviceName(), "Label");
    QTest::mouseClick(dialog.BtnCancel(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  EXPECT_EQ(printer.PrinterIndex(), 0);
  {
    TfrmPrintSetup dialog(&printer);
    dialog.SetPrinterSetupFunction(chooseLabel);
    QTest::mouseClick(dialog.BtnPrinter(), Qt::LeftButton);
    QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
  EXPECT_EQ(printer.PrinterIndex(), 2);
}

TEST_F(SetupFixture, TheControlsMakeTheChoiceAndABadCopyCountKeepsTheDialogOpen) {
  TfrmPrintSetup dialog(&printer);
  dialog.Localize();
  dialog.show();
  QTest::mouseClick(dialog.EdPages(), Qt::LeftButton);
  EXPECT_TRUE(dialog.RbRange()->isChecked());  // clicking the pages field chooses "pages"
  dialog.EdPages()->setText("2-3");
  dialog.EdCopy()->setText("3");
  dialog.CbCollate()->setChecked(true);
  dialog.CbPrinterName()->setCurrentIndex(1);
  TKySetupChoice c = dialog.Choice();
  EXPECT_EQ(c.Range, prRange);
  EXPECT_EQ(c.PagesText, "2-3");
  EXPECT_EQ(c.Copies, 3);
  EXPECT_TRUE(c.Collate);
  EXPECT_EQ(c.PrinterIndex, 1);
  dialog.RbOdd()->setChecked(true);
  EXPECT_EQ(dialog.Choice().Range, prOdd);

  std::vector<std::string> messages;
  dialog.EdCopy()->SetOnRangeError([&](const std::string& m) { messages.push_back(m); });
  dialog.EdCopy()->setText("");
  EXPECT_EQ(dialog.Choice().Copies, 0);
  QTest::mouseClick(dialog.BtnOk(), Qt::LeftButton);
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "Value 0.00 out of range 1.00..999,999,999.00");
}

TEST_F(SetupFixture, PrintWithDialogRunsTheInstalledDialog) {
  test::TOutputTestReport report;
  report.SetPrinter(&printer);
  printer.SetResolution(24, 24);
  InstallSetupDialog();
  QTimer::singleShot(0, [] {
    auto* dialog = dynamic_cast<TfrmPrintSetup*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Print setup dialog");
    dialog->EdCopy()->setText("2");
    dialog->RbEven()->setChecked(true);
    QTest::mouseClick(dialog->BtnOk(), Qt::LeftButton);
  });
  TKyPrintResult result;
  ASSERT_TRUE(PrintWithDialog(report, &result));
  SetSetupDialogFunction(nullptr);
  EXPECT_EQ(result.Sheets, 2);  // page 2 of three, twice
  EXPECT_EQ(report.PrinterSetting().Copies(), 2);
}

}  // namespace
}  // namespace hy
