#include <gtest/gtest.h>

#include <QPushButton>

#include "app/MainWindow.h"
#include "pivot/HyGrid.h"
#include "platform/db/Aliases.h"
#include "platform/db/DemoDatabase.h"
#include "report/KyRAHyDC.h"
#include "report/KyRAutoText.h"
#include "support/QtApp.h"
#include "support/ScriptedProcess.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

class MainWindowReport : public ::testing::Test {
protected:
  void SetUp() override {
    test::App();
    WriteDemoDatabase(folder.Folder() + "/demo");
    SetAlias(kDemoAlias, folder.Folder() + "/demo");
  }
  void TearDown() override { ResetAliases(); }

  test::TestDatabase folder;
};

TEST_F(MainWindowReport, TheReportComponentCarriesItsStoredProperties) {
  TfrmMain window;
  TKyPrintHyCube* report = window.KyPrintHyCube1();
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->Name(), "KyPrintHyCube1");
  EXPECT_EQ(window.Components(window.ComponentCount() - 1), report);  // created last
  EXPECT_FALSE(report->IsLoading());
  EXPECT_EQ(report->DecisionGrid(), window.HyGrid1Model());
  EXPECT_TRUE(report->Style().FixedCols());
  EXPECT_TRUE(report->Style().FixedRows());
  EXPECT_EQ(report->Style().RowStyle(), rsNormal);
  EXPECT_EQ(report->Style().OddColor(), clWhite);
  EXPECT_EQ(report->MacroChar(), '%');
  EXPECT_FALSE(report->WordWrap());
  EXPECT_EQ(report->Header(), (std::vector<std::string>{"%A%L%DT%FB", " "}));
  EXPECT_EQ(report->Footer(), (std::vector<std::string>{"%A%Rpage #%PN/Sheet%BN"}));
  EXPECT_EQ(report->HeaderFont(), TFont("MS Sans Serif", -11, 0, clWindowText));
  EXPECT_EQ(report->FooterFont().Charset(), DEFAULT_CHARSET);
  EXPECT_EQ(report->PrinterSetting().PaperSizeWidth(), 793);
  EXPECT_EQ(report->PrinterSetting().PaperSizeHeight(), 1122);
  EXPECT_EQ(report->PrinterSetting().Margins().Left, 0);
  EXPECT_EQ(report->PrinterSetting().Margins().Bottom, 0);
  EXPECT_FALSE(report->PrinterSetting().Collate());
  EXPECT_EQ(report->HighLights().Count(), 0);
  EXPECT_EQ(report->GapHorizontal(), 2);
  EXPECT_EQ(report->GapVertical(), 2);
  EXPECT_EQ(report->GridLine().Color(), clBtnShadow);
  EXPECT_FALSE(report->AutoFit());
}

TEST_F(MainWindowReport, TheReportButtonPreparesTheGridsPagesAndPreviewsThem) {
  TfrmMain window;
  TKyPrintHyCube* report = window.KyPrintHyCube1();
  test::TScriptedProcess process;
  report->SetProcess(&process);
  int previews = 0;
  report->SetOnPreview([&](TKyPrintBaseComponent& sender) {
    ++previews;
    EXPECT_TRUE(sender.Prepared());
  });
  window.btnExport()->click();
  EXPECT_EQ(previews, 1);
  ASSERT_GT(report->BarCount(), 1);
  // The first page starts with the grid's caption row under the header.
  bool caption = false;
  for (const TKyRPageText& t : PageTexts(report->FindPage(0, 0)->Picture()))
    caption = caption || t.Text == window.HyGrid1Model()->CellText(0, -2);
  EXPECT_TRUE(caption);
  EXPECT_EQ(process.Runs, 1);
}

}  // namespace
}  // namespace hy
