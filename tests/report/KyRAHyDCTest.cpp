#include <gtest/gtest.h>

#include <algorithm>

#include "pivot/HyGridTestUtil.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/GuiApp.h"
#include "report/KyRAHyDC.h"
#include "report/KyRAutoText.h"

namespace hy {
namespace {

struct CubeReport : ::testing::Test {
  CubeReport() {
    EnsureGuiApplication();
    grid = new TCustomHyGrid(&sales.owner);
    grid->SetDecisionSource(sales.source);
    report = new TKyPrintHyCube(&sales.owner);
    report->SetDecisionGrid(grid);
  }
  std::vector<std::string> AllTexts() {
    std::vector<std::string> out;
    for (const auto& page : report->Pages())
      for (const TKyRPageText& t : PageTexts(page->Picture())) out.push_back(t.Text);
    return out;
  }
  int Lines() {
    int n = 0;
    for (const auto& page : report->Pages())
      EnumerateMetafile(page->Picture(),
                        [&](const TEmfRecord& r) { n += r.Type == emf::EMR_LINETO; });
    return n;
  }

  test::SalesCube sales;
  TCustomHyGrid* grid = nullptr;
  TKyPrintHyCube* report = nullptr;
};

TEST_F(CubeReport, EveryGridCellIsPrintedRowByRowInItsColumn) {
  sales.Open();
  report->SetHeader({});
  report->SetFooter({});
  report->Prepare();
  ASSERT_EQ(report->Pages().size(), 1u);
  // Texts of the page grouped into rows by their top, left to right.
  std::map<int32_t, std::vector<std::pair<int32_t, std::string>>> rows;
  for (const TKyRPageText& t : PageTexts(report->Pages()[0]->Picture()))
    rows[t.Y].push_back({t.X, t.Text});
  std::vector<std::vector<std::string>> printed;
  for (auto& [y, cells] : rows) {
    std::sort(cells.begin(), cells.end());
    std::vector<std::string> texts;
    for (auto& c : cells) texts.push_back(c.second);
    printed.push_back(texts);
  }
  std::vector<std::vector<std::string>> expected;
  for (const auto& row : test::GridMatrix(*grid)) {
    std::vector<std::string> texts;
    for (const std::string& t : row)
      if (!t.empty()) texts.push_back(t);
    if (!texts.empty()) expected.push_back(texts);
  }
  EXPECT_EQ(printed, expected);
}

TEST_F(CubeReport, AlignmentFollowsTheDisplaySettingsAndCaptionsAreCentred) {
  sales.Open();
  grid->SummaryDisplayDim()->SetAlignment(taRightJustify);
  grid->DisplayDimOf(0)->SetAlignment(taLeftJustify);  // Region, on the rows
  const int32_t fc = grid->FixedCols(), fr = grid->FixedRows();
  EXPECT_EQ(report->GetCellAlignment(fc, fr), taRightJustify);  // data
  int32_t regionCol = -1, captionRow = -1;
  for (int32_t c = 0; c < fc; ++c)
    if (grid->CellText(c - fc, 0) == "East") regionCol = c;
  ASSERT_GE(regionCol, 0);
  EXPECT_EQ(report->GetCellAlignment(regionCol, fr), taLeftJustify);
  for (int32_t r = 0; r < fr; ++r)
    if (grid->CellText(regionCol - fc, r - fr) == "Region") captionRow = r;
  ASSERT_GE(captionRow, 0);
  EXPECT_EQ(report->GetCellAlignment(regionCol, captionRow), taCenter);
  EXPECT_EQ(&report->GetCellFont(fc, fr), &grid->DataFont());
  EXPECT_EQ(&report->GetCellFont(0, fr), &grid->LabelFont());
}

TEST_F(CubeReport, SubtotalsSwitchedOffStayOffPaper) {
  sales.Open();
  report->Prepare();
  std::vector<std::string> texts = AllTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Sum"), texts.end());
  grid->SetTotals(false);
  report->Prepare();
  texts = AllTexts();
  EXPECT_EQ(std::find(texts.begin(), texts.end(), "Sum"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "East"), texts.end());
}

TEST_F(CubeReport, GridLinesFollowTheGridOption) {
  sales.Open();
  report->Prepare();
  const int withLines = Lines();
  grid->SetOptions(grid->Options() & ~cgGridLines);
  report->SetHeader({"plain"});  // the demo's header draws a line of its own
  report->Prepare();
  EXPECT_GT(withLines, 10);
  EXPECT_EQ(Lines(), 0);
}

TEST_F(CubeReport, AnInactiveSourceGivesOneEmptyCell) {
  report->SetHeader({});
  report->SetFooter({});
  report->Prepare();
  ASSERT_EQ(report->Pages().size(), 1u);
  EXPECT_EQ(report->GetColCount(), 1);
  EXPECT_EQ(report->GetRowCount(), 1);
  for (const std::string& t : AllTexts())
    EXPECT_EQ(t.find_first_not_of(' '), std::string::npos) << t;
}

TEST_F(CubeReport, RemovingTheGridClearsTheReferenceAndAReportThenFails) {
  delete grid;
  EXPECT_EQ(report->DecisionGrid(), nullptr);
  try {
    report->Prepare();
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Property DecisionGrid wasn't specified.");
  }
  EXPECT_TRUE(report->Pages().empty());
}

}  // namespace
}  // namespace hy
