// The cross-tab model's shape, texts and paint decisions over a real cube.
#include <gtest/gtest.h>

#include "common/StrUtils.h"
#include "pivot/HyGrid.h"
#include "pivot/HyGridTestUtil.h"
#include "pivot/HyGridTexts.h"

namespace hy {
namespace {

using Matrix = std::vector<std::vector<std::string>>;

class HyGridTest : public ::testing::Test, public test::SalesCube {
protected:
  void SetUp() override {
    grid = new TCustomHyGrid(&owner);
    grid->SetTextMeasure(test::FixedWidthMeasure);
    grid->SetDecisionSource(source);
  }

  // Kind and state of a cell in data coordinates.
  TCellKind Kind(int32_t x, int32_t y, TPivotDrawState* state = nullptr) {
    TCellKind kind;
    TPivotDrawState s;
    int32_t value;
    grid->GetCellInfo(x, y, kind, s, value);
    if (state) *state = s;
    return kind;
  }

  TCustomHyGrid* grid = nullptr;
};

TEST_F(HyGridTest, OpenOnBothAxesGivesTheNestedCrossTab) {
  Open();
  EXPECT_TRUE(grid->Populated());
  EXPECT_EQ(grid->RowLevels(), 2);
  EXPECT_EQ(grid->ColLevels(), 1);
  EXPECT_EQ(grid->CaptionRows(), 1);
  EXPECT_EQ(grid->FixedCols(), 3);  // outliner and two label columns
  EXPECT_EQ(grid->FixedRows(), 2);  // caption row and one label row
  const Matrix expected = {
      {"", "", "", "Year", "", ""},
      {"", "Region", "Product", "2020", "2021", "Sum"},
      {"", "East", "A", "10.00", "5.00", "15.00"},
      {"", "", "B", "20.00", "", "20.00"},
      {"", "", "Sum", "30.00", "5.00", "35.00"},
      {"", "West", "A", "7.00", "", "7.00"},
      {"", "", "C", "", "3.00", "3.00"},
      {"", "", "Sum", "7.00", "3.00", "10.00"},
      {"", "Sum", "", "37.00", "8.00", "45.00"},
  };
  EXPECT_EQ(test::GridMatrix(*grid), expected);

  // Widths: outliner, label columns from the map width (10 × "W0"/2), data.
  EXPECT_EQ(grid->ColWidths(0), 16);
  EXPECT_EQ(grid->ColWidths(1), 80);
  EXPECT_EQ(grid->ColWidths(2), 80);
  for (int32_t c = 3; c < 6; ++c) EXPECT_EQ(grid->ColWidths(c), 100) << c;
  for (int32_t r = 0; r < grid->RowCount(); ++r) EXPECT_EQ(grid->RowHeights(r), 20) << r;
}

TEST_F(HyGridTest, CellKindsAndDrawStatesFollowTheShape) {
  Open();
  TPivotDrawState s;
  EXPECT_EQ(Kind(0, 0, &s), ckData);
  EXPECT_EQ(s, TPivotDrawState({dsData}));
  EXPECT_EQ(Kind(2, 0, &s), ckData);  // the row's total column
  EXPECT_EQ(s, TPivotDrawState({dsData, dsSum}));
  EXPECT_EQ(Kind(0, 2, &s), ckData);  // East's subtotal row
  EXPECT_TRUE(s.Has(dsSum));
  EXPECT_EQ(Kind(-2, -1, &s), ckRowCaption);
  EXPECT_TRUE(s.Has(dsCloseAfter));  // Product after it is open
  EXPECT_EQ(Kind(-1, -1, &s), ckRowCaption);
  EXPECT_FALSE(s.Has(dsCloseAfter) || s.Has(dsOpenAfter));  // nothing after it
  EXPECT_EQ(Kind(0, -2, &s), ckColCaption);
  EXPECT_EQ(Kind(-1, -2, &s), ckColPlus);
  EXPECT_TRUE(s.Has(dsCloseAfter));
  EXPECT_EQ(Kind(-3, -1, &s), ckRowPlus);
  EXPECT_TRUE(s.Has(dsCloseAfter));
  EXPECT_EQ(Kind(-3, -2), ckRowIndicator);
  EXPECT_EQ(Kind(-3, 4), ckRowIndicator);
  EXPECT_EQ(Kind(-2, -2), ckNone);
  EXPECT_EQ(Kind(1, -2), ckNone);

  // Labels: value index, group starts, subtotal marks.
  TCellKind kind;
  int32_t value;
  ASSERT_TRUE(grid->GetCellInfo(-2, 3, kind, s, value));  // West
  EXPECT_EQ(kind, ckRowLabel);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(s, TPivotDrawState({dsRowValue, dsGroupStart}));
  ASSERT_TRUE(grid->GetCellInfo(-2, 4, kind, s, value));  // West, continued
  EXPECT_FALSE(s.Has(dsGroupStart));
  ASSERT_TRUE(grid->GetCellInfo(-1, 5, kind, s, value));  // West's "Sum"
  EXPECT_EQ(s, TPivotDrawState({dsRowValue, dsGroupStart, dsSum}));
  EXPECT_EQ(value, -1);
  ASSERT_TRUE(grid->GetCellInfo(-1, 6, kind, s, value));  // blank inside the grand total
  EXPECT_TRUE(s.Has(dsSum));
  EXPECT_FALSE(s.Has(dsGroupStart));
  ASSERT_TRUE(grid->GetCellInfo(2, -1, kind, s, value));
  EXPECT_EQ(kind, ckColLabel);
  EXPECT_EQ(s, TPivotDrawState({dsColValue, dsGroupStart, dsSum}));
}

TEST_F(HyGridTest, ClosedDimensionsAreSummedAndHaveNoLabels) {
  Open("(1 0 1 0 -1 'Region' 1 -1 2 1 -1 'Product' 2 0 1 0 -1 'Year')");
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  EXPECT_EQ(grid->RowLevels(), 1);
  const Matrix expected = {
      {"", "", "Year", "", ""},
      {"", "Region", "2020", "2021", "Sum"},
      {"", "East", "30.00", "5.00", "35.00"},
      {"", "West", "7.00", "3.00", "10.00"},
      {"", "Sum", "37.00", "8.00", "45.00"},
  };
  EXPECT_EQ(test::GridMatrix(*grid), expected);
  TPivotDrawState s;
  EXPECT_EQ(Kind(-1, -1, &s), ckRowCaption);
  EXPECT_TRUE(s.Has(dsOpenAfter));  // the closed Product can be opened from here
  EXPECT_EQ(Kind(-2, -1, &s), ckRowPlus);
  EXPECT_TRUE(s.Has(dsCloseAfter));  // the first row dimension is open
}

TEST_F(HyGridTest, DrilledDimensionRestrictsEveryCell) {
  Open();
  source->SelectValue(1, 0);  // Product A
  EXPECT_EQ(test::Pivot(*source), "Region+ Product=0 | Year+");
  const Matrix expected = {
      {"", "", "Year", "", ""},
      {"", "Region", "2020", "2021", "Sum"},
      {"", "East", "10.00", "5.00", "15.00"},
      {"", "West", "7.00", "", "7.00"},
      {"", "Sum", "17.00", "5.00", "22.00"},
  };
  EXPECT_EQ(test::GridMatrix(*grid), expected);
}

TEST_F(HyGridTest, ColumnAxisShapesGiveOneOrTwoCaptionRows) {
  // Year on the columns but closed: a row for the plus cell above the captions.
  Open("(1 0 1 0 -1 'Region' 1 1 1 1 -1 'Product' 2 -1 2 0 -1 'Year')");
  EXPECT_EQ(grid->ColLevels(), 0);
  EXPECT_EQ(grid->ColListCount(), 1);
  EXPECT_EQ(grid->CaptionRows(), 2);
  EXPECT_EQ(grid->FixedRows(), 2);
  EXPECT_EQ(Kind(-1, -2), ckColPlus);
  EXPECT_EQ(Kind(-1, -1), ckRowCaption);
  const Matrix expected = {
      {"", "", "", ""},       {"", "Region", "Product", ""}, {"", "East", "A", "15.00"},
      {"", "", "B", "20.00"}, {"", "", "Sum", "35.00"},      {"", "West", "A", "7.00"},
      {"", "", "C", "3.00"},  {"", "", "Sum", "10.00"},      {"", "Sum", "", "45.00"},
  };
  EXPECT_EQ(test::GridMatrix(*grid), expected);

  // No column dimensions at all: one caption row, one data column.
  source->MoveDimension(TDimAxis::Cols, TDimAxis::Rows, false, -1, 0);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ Year- | ");
  EXPECT_EQ(grid->ColListCount(), 0);
  EXPECT_EQ(grid->CaptionRows(), 1);
  EXPECT_EQ(grid->FixedRows(), 1);
  EXPECT_EQ(grid->RowCount(), 8);
  EXPECT_EQ(grid->CellText(0, 6), "45.00");
  TPivotDrawState s;
  EXPECT_EQ(Kind(-1, -1, &s), ckRowCaption);
  EXPECT_TRUE(s.Has(dsOpenAfter));  // Year, closed, follows Product
}

TEST_F(HyGridTest, SubtotalsOffHidesTheSubtotalPositions) {
  Open();
  // Inner level: the per-region "Sum" rows go; the grand total stays.
  grid->Dimensions()[1]->SetSubtotals(false);
  std::vector<int32_t> heights;
  for (int32_t r = 0; r < grid->RowCount(); ++r) heights.push_back(grid->RowHeights(r));
  EXPECT_EQ(heights, (std::vector<int32_t>{20, 20, 20, 20, 0, 20, 20, 0, 20}));
  EXPECT_TRUE(grid->Totals());
  // Outer level: its subtotal is the grand total.
  grid->Dimensions()[0]->SetSubtotals(false);
  EXPECT_EQ(grid->RowHeights(8), 0);
  // Columns: Year's total column is hidden by width.
  grid->Dimensions()[2]->SetSubtotals(false);
  EXPECT_EQ(grid->ColWidths(5), 0);
  EXPECT_EQ(grid->ColWidths(4), 100);
  // Hidden cells still answer their texts (the report prints them).
  EXPECT_EQ(grid->CellText(0, 2), "30.00");
}

TEST_F(HyGridTest, FirstVisiblePositionOfAGroupCarriesItsLabel) {
  Open();
  // Show only East's subtotal: rows East/A and East/B hidden.
  grid->SetRowHeights(2, 0);
  grid->SetRowHeights(3, 0);
  TPivotDrawState s;
  EXPECT_EQ(Kind(-2, 2, &s), ckRowLabel);
  EXPECT_TRUE(s.Has(dsGroupStart));
  EXPECT_EQ(grid->CellText(-2, 2), "East");  // carried by the subtotal row
  EXPECT_EQ(grid->CellText(-1, 2), "Sum");
  // A visible row before it in the group takes the label back.
  grid->SetRowHeights(3, 20);
  EXPECT_EQ(grid->CellText(-2, 2), "");
}

TEST_F(HyGridTest, TotalsReadsAnyAndSetsAll) {
  Open();
  EXPECT_TRUE(grid->Totals());
  grid->SetTotals(false);
  EXPECT_FALSE(grid->Totals());
  for (int32_t i = 0; i < grid->Dimensions().Count(); ++i)
    EXPECT_FALSE(grid->Dimensions()[i]->Subtotals()) << i;
  EXPECT_EQ(grid->RowHeights(4), 0);
  EXPECT_EQ(grid->RowHeights(7), 0);
  EXPECT_EQ(grid->RowHeights(8), 0);
  EXPECT_EQ(grid->ColWidths(5), 0);
  grid->Dimensions()[3]->SetSubtotals(true);  // the summary's own setting counts too
  EXPECT_TRUE(grid->Totals());
  grid->SetTotals(true);
  EXPECT_EQ(grid->RowHeights(8), 20);
}

TEST_F(HyGridTest, DisplaySettingsFollowTheCubeAndShapeTheTexts) {
  Open();
  ASSERT_EQ(grid->Dimensions().Count(), 4);                      // three dimensions and the summary
  EXPECT_EQ(grid->Dimensions()[0]->Alignment(), taLeftJustify);  // from the map item
  EXPECT_EQ(grid->Dimensions()[0]->Width(), 80);
  cube->DimensionMap().Items(2)->SetWidth(15);
  cube->Refresh(false);  // new presentation without a rebuild
  EXPECT_EQ(grid->Dimensions()[2]->Width(), 120);
  EXPECT_EQ(grid->DataWidth(), 120);  // the column label is wider than the default
  EXPECT_EQ(grid->ColWidths(3), 120);

  grid->Dimensions()[0]->SetDisplayName("Area");
  EXPECT_EQ(grid->CellText(-2, -1), "Area");
  grid->Dimensions()[2]->SetFormat("0.0");
  EXPECT_EQ(grid->CellText(0, -1), "2020.0");
  grid->Dimensions()[3]->SetFormat("#,##0");
  EXPECT_EQ(grid->CellText(2, 6), "45");
  std::string text;
  TAlignment alignment;
  TPivotDrawState s;
  grid->Dimensions()[3]->SetAlignment(taRightJustify);
  grid->GetCellText(0, 0, text, alignment, s);
  EXPECT_EQ(text, "10");
  EXPECT_EQ(alignment, taRightJustify);
  grid->GetCellText(-1, -2, text, alignment, s);  // a caption is centred
  EXPECT_EQ(alignment, taCenter);
}

TEST_F(HyGridTest, QueriesOutsideTheGridOrWithoutASourceAnswerEmpty) {
  Open();
  TPivotDrawState s;
  std::string text;
  EXPECT_TRUE(grid->CellQuery(-3, -2, s, text));
  EXPECT_TRUE(grid->CellQuery(2, 6, s, text));
  EXPECT_EQ(text, "45.00");
  EXPECT_FALSE(grid->CellQuery(3, 0, s, text));
  EXPECT_FALSE(grid->CellQuery(0, 7, s, text));
  EXPECT_FALSE(grid->CellQuery(-4, 0, s, text));
  EXPECT_FALSE(grid->CellQuery(0, -3, s, text));
  EXPECT_EQ(grid->CellText(3, 0), "[Error]");
  EXPECT_EQ(grid->CellText(-4, -3), "[Error]");

  TValueArray values;
  ASSERT_TRUE(grid->GetValueArray(1, 3, values));  // West / A / 2021
  ASSERT_EQ(values.Count(), 3);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 0);
  EXPECT_EQ(values[2], 1);

  // The cube closes: back to the empty 1 × 1 grid.
  cube->SetActive(false);
  EXPECT_FALSE(grid->Populated());
  EXPECT_EQ(grid->ColCount(), 1);
  EXPECT_EQ(grid->RowCount(), 1);
  EXPECT_EQ(grid->FixedCols(), 0);
  EXPECT_EQ(grid->CellText(0, 0), "");
  TCellKind kind;
  int32_t value;
  EXPECT_FALSE(grid->GetCellInfo(0, 0, kind, s, value));

  TCustomHyGrid lonely;
  EXPECT_EQ(lonely.CellText(0, 0), "");
  EXPECT_FALSE(lonely.GetValueArray(0, 0, values));
}

TEST_F(HyGridTest, FreeingTheSourceEmptiesTheGrid) {
  Open();
  ASSERT_TRUE(grid->Populated());
  delete source;
  source = nullptr;
  EXPECT_EQ(grid->DecisionSource(), nullptr);
  EXPECT_FALSE(grid->Populated());
  EXPECT_EQ(grid->CellText(0, 0), "");
}

TEST_F(HyGridTest, PaintFollowsTheCellKinds) {
  Open();
  grid->SetDataSumColor(clYellow);
  grid->Dimensions()[0]->SetColor(clAqua);
  // Data cell, focused data cell, subtotal data cell.
  TCellPaint p = grid->CellPaint(3, 2, 0);
  EXPECT_TRUE(p.Draw);
  EXPECT_EQ(p.Color, clInfoBk);
  EXPECT_FALSE(p.Raised);
  EXPECT_EQ(p.Margin, 2);
  EXPECT_TRUE(p.LeftEdge && p.TopEdge);
  EXPECT_FALSE(p.RightEdge || p.BottomEdge);
  EXPECT_EQ(grid->CellPaint(3, 2, gdSelected | gdFocused).Color, clHighlight);
  EXPECT_EQ(grid->CellPaint(5, 2, 0).Color, clYellow);
  // The last data column and row draw their own right and bottom lines.
  p = grid->CellPaint(4, 8, 0);
  EXPECT_TRUE(p.BottomEdge);
  // Captions are raised buttons with the caption colours.
  p = grid->CellPaint(1, 1, gdFixed);
  EXPECT_TRUE(p.Raised);
  EXPECT_EQ(p.Margin, 1);
  EXPECT_EQ(p.Color, clActiveCaption);
  EXPECT_EQ(p.Font.Color(), clCaptionText);
  EXPECT_EQ(p.RightGlyph, glDClose);
  EXPECT_EQ(p.GlyphRoom, 15);
  EXPECT_FALSE(p.LeftEdge || p.TopEdge);
  // Labels: the dimension's colour, the sum colours for "Sum".
  p = grid->CellPaint(1, 3, gdFixed);  // "" continuing East
  EXPECT_EQ(p.Color, clAqua);
  EXPECT_FALSE(p.LeftEdge);            // outermost label column
  EXPECT_FALSE(p.TopEdge);             // continues its group: reads as one cell with East
  p = grid->CellPaint(2, 4, gdFixed);  // East's "Sum"
  EXPECT_EQ(p.Color, clInactiveCaption);
  EXPECT_TRUE(p.LeftEdge && p.TopEdge);
  // Column plus cell: a button with the glyph box.
  p = grid->CellPaint(2, 0, gdFixed);
  EXPECT_TRUE(p.PlusBox);
  EXPECT_EQ(p.RightGlyph, glDClose);
  // Without grid lines nothing is raised and no line is drawn.
  grid->SetOptions(cgOutliner | cgPivotable);
  p = grid->CellPaint(1, 1, gdFixed);
  EXPECT_FALSE(p.Raised);
  EXPECT_FALSE(grid->CellPaint(3, 2, 0).LeftEdge);
}

TEST_F(HyGridTest, DrawCellHandlerMayReplaceTextFontAndColour) {
  Open();
  TPivotDrawState seen;
  grid->SetOnDecisionDrawCell([&](TCustomHyGrid&, int32_t x, int32_t y, std::string& text,
                                  TFont& font, TColor& color, TGridDrawState,
                                  TPivotDrawState state) {
    if (x != 2 || y != 6) return;
    seen = state;
    text = "total!";
    color = clRed;
    font.SetStyle(fsBold);
  });
  TCellPaint p = grid->CellPaint(5, 8, 0);
  EXPECT_EQ(seen, TPivotDrawState({dsData, dsSum}));
  EXPECT_EQ(p.Text, "total!");
  EXPECT_EQ(p.Color, clRed);
  EXPECT_TRUE(p.Font.HasStyle(fsBold));
  EXPECT_TRUE(p.DefaultDrawing);
  EXPECT_EQ(grid->CellText(2, 6), "45.00");  // what the report reads is unchanged
  grid->SetDefaultDrawing(false);
  p = grid->CellPaint(5, 8, 0);
  EXPECT_FALSE(p.DefaultDrawing);
  EXPECT_EQ(p.Color, clRed);
}

TEST_F(HyGridTest, OutlinerOffDropsTheColumnAndTheGlyphs) {
  Open();
  grid->SetOptions(cgGridLines | cgPivotable);
  EXPECT_EQ(grid->FixedCols(), 2);
  EXPECT_EQ(grid->ColWidths(0), 80);
  TPivotDrawState s;
  EXPECT_EQ(Kind(-2, -1, &s), ckRowCaption);
  EXPECT_FALSE(s.Has(dsCloseAfter));
  EXPECT_EQ(Kind(-1, -2), ckNone);  // no plus cell
  EXPECT_EQ(grid->CellPaint(1, 1, gdFixed).GlyphRoom, 0);
  // The right quarter of a caption still opens the next closed dimension.
  source->ToggleDimension(TDimAxis::Rows, 1, false);
  ASSERT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  grid->MouseDown(-1, -1, 70, 80);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
}

TEST_F(HyGridTest, WideTextIsDrawnFromTheLeft) {
  TCellPaint p;
  p.Alignment = taRightJustify;
  p.Margin = 2;
  EXPECT_EQ(TCustomHyGrid::TextLeft(p, 100, 180, 30), 147);  // ends 3 pixels before the edge
  p.Alignment = taCenter;
  EXPECT_EQ(TCustomHyGrid::TextLeft(p, 100, 180, 30), 125);
  p.GlyphRoom = 15;
  EXPECT_EQ(TCustomHyGrid::TextLeft(p, 100, 180, 30), 117);
  for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
    p.Alignment = a;
    EXPECT_EQ(TCustomHyGrid::TextLeft(p, 100, 180, 90), 102) << a;
  }
}

// Every data cell against the source's own, unremembered answer.
void ExpectDataTextsFromTheSource(const TCustomHyGrid& grid, const THySource& source,
                                  const std::string& format) {
  for (int32_t y = 0; y < source.RowCount(); ++y)
    for (int32_t x = 0; x < source.ColCount(); ++x) {
      const std::string expected = format.empty()
                                       ? source.GetCellText(y, x)
                                       : FormatDisplayValue(source.GetCellValue(y, x), format);
      ASSERT_EQ(grid.CellText(x, y), expected) << x << "," << y;
    }
}

TEST_F(HyGridTest, RememberedTextsFollowPivotsSummariesFormatsAndRebuilds) {
  AddItem("Orders", "Amount", dimCount);
  Open();
  source->SetSummaryCount(2);
  ExpectDataTextsFromTheSource(*grid, *source, "");
  // Read twice: the second pass reads what the first remembered.
  ExpectDataTextsFromTheSource(*grid, *source, "");

  source->SetCurrentSummary(1);
  ASSERT_EQ(grid->CellText(0, 0), "1");
  ExpectDataTextsFromTheSource(*grid, *source, "");
  source->SetCurrentSummary(0);
  ExpectDataTextsFromTheSource(*grid, *source, "");

  source->MoveDimension(TDimAxis::Rows, TDimAxis::Cols, true, 0, 1);  // Product across
  ExpectDataTextsFromTheSource(*grid, *source, "");
  source->ToggleDimension(TDimAxis::Rows, 0, true);  // Region closed
  ExpectDataTextsFromTheSource(*grid, *source, "");

  TDisplayDim* summary = grid->SummaryDisplayDim();
  ASSERT_NE(summary, nullptr);
  summary->SetFormat("#,##0.0");
  EXPECT_EQ(grid->CellText(grid->ColCount() - grid->FixedCols() - 1, 0), "45.0");
  ExpectDataTextsFromTheSource(*grid, *source, "#,##0.0");
  summary->SetFormat("");
  ExpectDataTextsFromTheSource(*grid, *source, "");

  // A rebuilt cube over changed rows shows the new values.
  cube->SetActive(false);
  db.Exec("UPDATE sales SET Amount = Amount * 2");
  cube->SetActive(true);
  ExpectDataTextsFromTheSource(*grid, *source, "");
  EXPECT_EQ(grid->CellText(grid->ColCount() - grid->FixedCols() - 1,
                           grid->RowCount() - grid->FixedRows() - 1),
            "90.00");
}

// Records are given their texts in blocks of neighbours; reading the cells
// column by column from the far corner meets the blocks out of order, with
// totals added between them, and every text must still be its record's.
TEST_F(HyGridTest, TextsOfManyRecordsReadInScatteredOrderAreTheirOwn) {
  std::string rows;
  for (int i = 0; i < 300; ++i)
    rows += Format("%s('R%d', 'P%d', %d, %d.25)", i ? ", " : "", i % 13, i % 7, 2000 + i % 11, i);
  db.Exec("DELETE FROM sales; INSERT INTO sales VALUES " + rows + ";");
  Open();
  const int32_t cols = source->ColCount(), rowCount = source->RowCount();
  ASSERT_GT(cols * rowCount, 200);
  std::vector<std::string> seen;
  for (int32_t x = cols - 1; x >= 0; --x)
    for (int32_t y = rowCount - 1; y >= 0; --y) seen.push_back(grid->CellText(x, y));
  size_t i = 0;
  for (int32_t x = cols - 1; x >= 0; --x)
    for (int32_t y = rowCount - 1; y >= 0; --y)
      ASSERT_EQ(seen[i++], source->GetCellText(y, x)) << x << "," << y;
  ExpectDataTextsFromTheSource(*grid, *source, "");
}

// A grid wide and tall enough to be filled in several tiles, with enough
// new texts per tile for two threads to make them; read from the far corner
// so that tiles fill out of order and totals are computed between them, in
// both orientations (records in slot order along a row, and down a column)
// and through a display format.
TEST_F(HyGridTest, TextsOfBigGridsFilledTileByTileAreEachCellsOwn) {
  std::string rows;
  for (int i = 0; i < 15000; ++i)
    rows += Format("%s('R%d', 'P%d', %d, %d.25)", i ? ", " : "", i % 3, i % 5, i % 5000, i);
  db.Exec("DELETE FROM sales; INSERT INTO sales VALUES " + rows + ";");
  Open();
  auto readFromTheFarCorner = [&] {
    const int32_t cols = source->ColCount(), rowCount = source->RowCount();
    std::vector<std::string> seen;
    for (int32_t x = cols - 1; x >= 0; x -= 1 + x % 3)
      for (int32_t y = rowCount - 1; y >= 0; --y) seen.push_back(grid->CellText(x, y));
    size_t i = 0;
    for (int32_t x = cols - 1; x >= 0; x -= 1 + x % 3)
      for (int32_t y = rowCount - 1; y >= 0; --y)
        ASSERT_EQ(seen[i++], source->GetCellText(y, x)) << x << "," << y;
  };
  ASSERT_GT(source->ColCount(), 5000);  // two blocks of columns
  readFromTheFarCorner();
  ExpectDataTextsFromTheSource(*grid, *source, "");

  source->MoveDimension(TDimAxis::Cols, TDimAxis::Rows, true, 0, 0);  // Year down, first
  source->MoveDimension(TDimAxis::Rows, TDimAxis::Cols, true, 0, 1);  // Region across
  ASSERT_GT(source->RowCount(), 5000);
  readFromTheFarCorner();
  ExpectDataTextsFromTheSource(*grid, *source, "");

  TDisplayDim* summary = grid->SummaryDisplayDim();
  ASSERT_NE(summary, nullptr);
  summary->SetFormat("#,##0.0");
  ExpectDataTextsFromTheSource(*grid, *source, "#,##0.0");
}

// A total that overflows raises when its own cell is read, every time; the
// other cells of its tile still show their texts. (With empty rows and
// columns shown, the pivot itself computes no totals.)
TEST_F(HyGridTest, ATotalThatOverflowsRaisesOnlyInItsOwnCell) {
  Open();
  source->SetSparseRows(true);
  source->SetSparseCols(true);
  cube->SetActive(false);
  db.Exec("INSERT INTO sales VALUES ('East', 'A', 2022, 1.5e308), ('East', 'A', 2023, 1.5e308);");
  cube->SetActive(true);
  int failing = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (int32_t y = 0; y < source->RowCount(); ++y)
      for (int32_t x = 0; x < source->ColCount(); ++x) {
        std::string expected;
        try {
          expected = source->GetCellText(y, x);
        } catch (const EOverflow&) {
          EXPECT_THROW(grid->CellText(x, y), EOverflow) << x << "," << y;
          failing += pass == 0;
          continue;
        }
        ASSERT_EQ(grid->CellText(x, y), expected) << x << "," << y;
      }
  EXPECT_EQ(failing, 3);  // East/A's, East's and the grand total across the years
}

}  // namespace
}  // namespace hy
