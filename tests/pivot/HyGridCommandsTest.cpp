// The cross-tab's pivot commands: plus cells and caption quarters, the drop
// targets of a caption drag and what a drop does, the quick menus, resizing.
#include <gtest/gtest.h>

#include "pivot/HyGrid.h"
#include "pivot/HyGridTestUtil.h"

namespace hy {
namespace {

class HyGridCommandsTest : public ::testing::Test, public test::SalesCube {
protected:
  void SetUp() override {
    grid = new TCustomHyGrid(&owner);
    grid->SetTextMeasure(test::FixedWidthMeasure);
    grid->SetDecisionSource(source);
  }

  // Starts a drag on the caption at (x, y) by its middle.
  void StartDrag(int32_t x, int32_t y) {
    grid->MouseDown(x, y, 40, 80);
    ASSERT_TRUE(grid->Dragging());
  }

  // The target for the mouse at (x, y) in `zone`, as "X,Y swap|insert", or
  // "keep" when the stored target stays.
  std::string Target(int32_t x, int32_t y, TCellZone zone) {
    TGridCoord cell;
    bool swap = false;
    if (!grid->ComputeDropTarget(true, x, y, zone, cell, swap)) return "keep";
    return std::to_string(cell.X) + "," + std::to_string(cell.Y) + (swap ? " swap" : " insert");
  }

  void Drag(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY, TCellZone zone) {
    StartDrag(fromX, fromY);
    grid->DragMove(true, toX, toY, zone);
    grid->DragEnd(true, toX, toY, zone);
    EXPECT_FALSE(grid->Dragging());
  }

  std::vector<std::string> Menu(int32_t x, int32_t y, TMenuPlace* place = nullptr) {
    const TMenuPlace p = grid->PrepareQuickMenu(x, y);
    if (place) *place = p;
    return p == TMenuPlace::None ? std::vector<std::string>{} : grid->QuickMenu().Captions();
  }

  void Choose(const std::string& caption) {
    const TQuickMenuItem* item = grid->QuickMenu().FindEntry(caption);
    ASSERT_NE(item, nullptr) << caption;
    grid->QuickMenu().EntryClicked(*item);
  }

  TCustomHyGrid* grid = nullptr;
  const TCellZone L = TCellZone::LeftQuarter, M = TCellZone::Middle, R = TCellZone::RightQuarter;
};

TEST_F(HyGridCommandsTest, PlusCellsOpenAndCloseAWholeAxis) {
  Open();
  int32_t pivots = 0;
  source->SetOnAfterPivot([&](THySource&) { ++pivots; });
  grid->MouseDown(-3, -1, 5, 16);  // row plus: anywhere
  EXPECT_EQ(test::Pivot(*source), "Region- Product- | Year+");
  EXPECT_EQ(pivots, 1);  // one pivot for both dimensions
  EXPECT_EQ(grid->RowLevels(), 0);
  grid->MouseDown(-1, -1, 5, 16);  // the row plus moved with the outliner column
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");

  // Column plus: only its 16-pixel glyph box reacts.
  grid->MouseDown(-1, -2, 20, 80);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  grid->MouseDown(-1, -2, 70, 80);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year-");
  EXPECT_EQ(grid->CaptionRows(), 2);
  grid->MouseDown(-1, -2, 70, 80);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
}

TEST_F(HyGridCommandsTest, CaptionRightQuarterOpensOrClosesWhatFollows) {
  Open();
  grid->MouseDown(-2, -1, 70, 80);  // Region: Product after it is open
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  grid->MouseDown(-1, -1, 70, 80);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
  grid->MouseDown(-2, -1, 5, 80);  // left quarter: nothing
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
  EXPECT_FALSE(grid->Dragging());
  grid->SetOptions(cgGridLines | cgOutliner);  // not pivotable: no drag
  grid->MouseDown(-2, -1, 40, 80);
  EXPECT_FALSE(grid->Dragging());
}

TEST_F(HyGridCommandsTest, DropTargetsFollowTheRules) {
  Open();  // RL = 2, CL = 1: row captions at (-2,-1), (-1,-1); Year at (0,-2)
  StartDrag(-2, -1);
  EXPECT_EQ(grid->DropCell(), (TGridCoord{-2, -1}));
  // 1. The outliner column changes nothing.
  EXPECT_EQ(Target(-3, 2, M), "keep");
  // 2. The corner's left quarter: a place that does nothing.
  EXPECT_EQ(Target(-2, -2, L), "-2,-2 insert");
  // 5. On or above the column-caption row: the column axis.
  EXPECT_EQ(Target(0, -2, M), "0,-2 swap");
  EXPECT_EQ(Target(0, -2, L), "0,-2 insert");
  EXPECT_EQ(Target(0, -2, R), "1,-2 insert");
  EXPECT_EQ(Target(2, -2, M), "1,-2 insert");   // clamped past the last caption
  EXPECT_EQ(Target(-1, -2, M), "0,-2 insert");  // clamped to the first
  EXPECT_EQ(Target(1, -2, M), "1,-2 insert");   // no caption there to swap with
  // On its own row or below: the row axis, data columns meaning "after the last".
  EXPECT_EQ(Target(1, -1, M), "0,-1 insert");
  EXPECT_EQ(Target(1, 3, M), "0,-1 insert");
  EXPECT_EQ(Target(-1, 3, M), "-1,-1 swap");
  EXPECT_EQ(Target(-1, 3, R), "0,-1 insert");
  // 6. Right before or after itself: the target stays.
  EXPECT_EQ(Target(-2, 2, L), "keep");
  EXPECT_EQ(Target(-1, 2, L), "keep");
  EXPECT_EQ(Target(-2, 2, R), "keep");
  EXPECT_EQ(Target(-2, 2, M), "-2,-1 swap");  // its own place: swap with itself
}

TEST_F(HyGridCommandsTest, DropTargetsWithoutOpenDimensionsOnAnAxis) {
  // No open column dimension: the row-caption row over data means "to columns".
  Open("(1 0 1 0 -1 'Region' 1 1 1 1 -1 'Product' 2 -1 2 0 -1 'Year')");
  StartDrag(-2, -1);
  EXPECT_EQ(Target(0, -1, M), "1,-1 insert");
  EXPECT_EQ(Target(0, -1, L), "0,-1 insert");  // left quarter of the first data column
  EXPECT_EQ(Target(0, 3, M), "0,-1 insert");
  grid->CancelDrag();
  grid->DragEnd(true, 0, -1, M);  // nothing to end
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year-");
  // The first open place of the columns (the closed Year shows no caption).
  Drag(-1, -1, 0, -1, M);
  EXPECT_EQ(test::Pivot(*source), "Region+ | Year- Product+");
  EXPECT_EQ(grid->CellText(0, -2), "Product");

  // No open row dimension: on or below the row-caption row means "to rows".
  source->MoveDimension(TDimAxis::Rows, TDimAxis::Cols, false, -1, 0);
  ASSERT_EQ(test::Pivot(*source), " | Year- Product+ Region+");
  ASSERT_EQ(grid->RowLevels(), 0);
  StartDrag(1, -3);  // Region, the second open column dimension
  EXPECT_EQ(Target(0, 0, M), "0,-1 insert");
  EXPECT_EQ(Target(1, -1, R), "0,-1 insert");
  grid->DragEnd(true, 0, 0, M);
  EXPECT_EQ(test::Pivot(*source), "Region+ | Year- Product+");
}

TEST_F(HyGridCommandsTest, DropsMoveAndSwapDimensions) {
  Open();
  // Row caption to the column-caption row, after Year.
  Drag(-2, -1, 0, -2, R);
  EXPECT_EQ(test::Pivot(*source), "Product+ | Year+ Region+");
  EXPECT_EQ(grid->ColLevels(), 2);
  // Swap: the column caption Region onto the row caption Product.
  Drag(1, -3, -1, -1, M);
  EXPECT_EQ(test::Pivot(*source), "Region+ | Year+ Product+");
  // Column caption before the other one.
  Drag(1, -3, 0, -3, L);
  EXPECT_EQ(test::Pivot(*source), "Region+ | Product+ Year+");
  // Column caption down into the body: to the rows, after the last.
  Drag(0, -3, 0, 2, M);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
  // The corner drop does nothing.
  Drag(-1, -1, -2, -2, L);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
}

TEST_F(HyGridCommandsTest, ReorderingOnOneAxisLandsWhereDropped) {
  Open("(1 0 1 0 -1 'Region' 1 1 1 1 -1 'Product' 1 2 1 2 -1 'Year')");
  ASSERT_EQ(grid->RowLevels(), 3);
  // Region (level 0) between Product and Year: the insert mark at Year.
  Drag(-3, -1, -1, -1, L);
  EXPECT_EQ(test::Pivot(*source), "Product+ Region+ Year+ | ");
  // Year (level 2) to the front.
  Drag(-1, -1, -3, -1, L);
  EXPECT_EQ(test::Pivot(*source), "Year+ Product+ Region+ | ");
  // Year to the end: after the last row caption.
  Drag(-3, -1, -1, -1, R);
  EXPECT_EQ(test::Pivot(*source), "Product+ Region+ Year+ | ");
}

TEST_F(HyGridCommandsTest, DropMarksShowWhereTheCaptionWouldGo) {
  Open();
  EXPECT_EQ(grid->DropMarkAt(0, -2), TDropMark::None);  // not dragging
  StartDrag(-2, -1);
  grid->DragMove(true, 0, -2, M);
  EXPECT_EQ(grid->DropMarkAt(0, -2), TDropMark::Swap);
  EXPECT_EQ(grid->CellPaint(3, 0, gdFixed).Drop, TDropMark::Swap);
  grid->DragMove(true, 0, -2, L);
  EXPECT_EQ(grid->DropMarkAt(0, -2), TDropMark::InsertBefore);
  grid->DragMove(true, 0, -2, R);  // past the last column caption
  EXPECT_EQ(grid->DropMarkAt(0, -2), TDropMark::InsertAfter);
  grid->DragMove(true, 2, 3, M);  // after the last row caption
  EXPECT_EQ(grid->DropMarkAt(-1, -1), TDropMark::InsertAfter);
  EXPECT_EQ(grid->DropMarkAt(0, -2), TDropMark::None);
}

TEST_F(HyGridCommandsTest, CaptionMenuOffersDisplayDimensionsAndSummaries) {
  Open();
  TMenuPlace place;
  EXPECT_EQ(Menu(-1, -1, &place),
            (std::vector<std::string>{"Display Data and Subtotals", "Display Data Only", "-",
                                      "Region", "Product", "Year", "Amount"}));
  EXPECT_EQ(place, TMenuPlace::CellCorner);
  const TQuickMenu& menu = grid->QuickMenu();
  EXPECT_TRUE(menu.Items(0).Checked());
  EXPECT_FALSE(menu.Items(1).Checked());
  EXPECT_TRUE(menu.Items(3).Checked());  // open
  EXPECT_EQ(menu.Items(4).Code(), 101);
  EXPECT_EQ(menu.Items(6).Code(), 200);
  EXPECT_TRUE(menu.Items(6).RadioItem());
  EXPECT_EQ(menu.Axis(), 0);
  EXPECT_EQ(menu.Level(), 1);

  Choose("Display Data Only");
  EXPECT_FALSE(grid->Dimensions()[1]->Subtotals());
  EXPECT_EQ(grid->RowHeights(4), 0);
  Menu(-1, -1);
  EXPECT_TRUE(grid->QuickMenu().Items(1).Checked());
  Choose("-");  // the separator does nothing
  EXPECT_FALSE(grid->Dimensions()[1]->Subtotals());
  Choose("Year");  // toggles the dimension
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year-");

  // Not pivotable: only the display entries.
  grid->SetOptions(cgGridLines | cgOutliner);
  Menu(0, -2);  // no column caption now: a general cell
  EXPECT_EQ(Menu(-2, -1),
            (std::vector<std::string>{"Display Data and Subtotals", "Display Data Only"}));
}

TEST_F(HyGridCommandsTest, LabelMenusDependOnTheLevel) {
  Open();
  // An outer label: the three display entries, then the drill entry.
  EXPECT_EQ(Menu(-2, 0),
            (std::vector<std::string>{"Display Data and Subtotals", "Display Data Only",
                                      "Display Subtotals Only", "-", "Drill in to this value"}));
  EXPECT_TRUE(grid->QuickMenu().Items(0).Checked());
  EXPECT_EQ(grid->QuickMenu().Level(), 0);
  EXPECT_EQ(grid->QuickMenu().Pos(), 0);
  EXPECT_TRUE(grid->QuickMenu().GroupStart());
  // The innermost level: only the drill entry.
  EXPECT_EQ(Menu(-1, 1), std::vector<std::string>{"Drill in to this value"});
  // An innermost "Sum" has nothing to offer.
  EXPECT_EQ(Menu(-1, 2), std::vector<std::string>{});
  // A column label of the only column level.
  EXPECT_EQ(Menu(1, -1), std::vector<std::string>{"Drill in to this value"});
}

TEST_F(HyGridCommandsTest, LabelDisplayEntriesSizeTheGroup) {
  Open();
  Menu(-2, 1);  // the blank label continuing East (row East / B)
  Choose("Display Subtotals Only");
  EXPECT_EQ(grid->RowHeights(2), 0);
  EXPECT_EQ(grid->RowHeights(3), 0);
  EXPECT_EQ(grid->RowHeights(4), 20);
  EXPECT_EQ(grid->CellText(-2, 2), "East");
  Menu(-2, 2);
  EXPECT_TRUE(grid->QuickMenu().Items(2).Checked());
  Choose("Display Data Only");
  EXPECT_EQ(grid->RowHeights(2), 20);
  EXPECT_EQ(grid->RowHeights(4), 0);
  Menu(-2, 0);
  EXPECT_TRUE(grid->QuickMenu().Items(1).Checked());
  Choose("Display Data and Subtotals");
  for (int32_t r = 2; r <= 4; ++r) EXPECT_EQ(grid->RowHeights(r), 20) << r;
  EXPECT_EQ(grid->RowHeights(5), 20);  // West untouched
}

TEST_F(HyGridCommandsTest, DrillInRestrictsToTheLabelsValue) {
  Open();
  Menu(-1, 4);  // West / C
  Choose("Drill in to this value");
  EXPECT_EQ(grid->QuickMenu().ValueIndex(), 2);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product=2 | Year+");
  // Only product C: East and the year 2020 have no data left.
  const std::vector<std::vector<std::string>> expected = {
      {"", "", "Year", ""},
      {"", "Region", "2021", "Sum"},
      {"", "West", "3.00", "3.00"},
      {"", "Sum", "3.00", "3.00"},
  };
  EXPECT_EQ(test::GridMatrix(*grid), expected);
  Menu(0, -1);  // 2021
  Choose("Drill in to this value");
  EXPECT_EQ(test::Pivot(*source), "Region+ Product=2 | Year=1");
}

TEST_F(HyGridCommandsTest, GeneralMenuAndDataCells) {
  Open();
  grid->SetShowCubeEditor(true);
  TMenuPlace place;
  EXPECT_EQ(Menu(-3, 2, &place),
            (std::vector<std::string>{"Subtotals on/off", "Decision Cube Editor..", "-", "Region",
                                      "Product", "Year", "Amount"}));
  EXPECT_EQ(place, TMenuPlace::Mouse);
  EXPECT_TRUE(grid->QuickMenu().Items(0).Checked());
  Choose("Subtotals on/off");
  EXPECT_FALSE(grid->Totals());
  Choose("Decision Cube Editor..");  // opens nothing
  Choose("Amount");
  EXPECT_EQ(source->CurrentSummary(), 0);

  // A data cell examines its values instead of showing a menu.
  std::vector<int16_t> seen;
  int32_t summary = -1;
  grid->SetOnDecisionExamineCell(
      [&](TCustomHyGrid&, int32_t, int32_t, int32_t s, const TValueArray& values) {
        summary = s;
        for (int32_t i = 0; i < values.Count(); ++i) seen.push_back(values[i]);
      });
  EXPECT_EQ(Menu(2, 0, &place), std::vector<std::string>{});
  EXPECT_EQ(place, TMenuPlace::None);
  EXPECT_EQ(summary, 0);
  EXPECT_EQ(seen, (std::vector<int16_t>{0, 0, -1}));
}

TEST_F(HyGridCommandsTest, ResizingSetsEveryDataColumnAndEveryRow) {
  Open();
  grid->Dimensions()[2]->SetSubtotals(false);  // the total column is hidden
  grid->UserColWidthChanged(4, 60);
  EXPECT_EQ(grid->ColWidths(3), 60);
  EXPECT_EQ(grid->ColWidths(4), 60);
  EXPECT_EQ(grid->ColWidths(5), 0);  // stays hidden
  EXPECT_EQ(grid->DefaultColWidth(), 60);
  EXPECT_EQ(grid->ColWidths(1), 80);  // labels keep theirs
  grid->UserColWidthChanged(1, 50);   // a label column alone
  EXPECT_EQ(grid->ColWidths(1), 50);
  EXPECT_EQ(grid->ColWidths(3), 60);
  grid->UserRowHeightChanged(3, 30);
  for (int32_t r = 0; r < grid->RowCount(); ++r) EXPECT_EQ(grid->RowHeights(r), 30) << r;
  EXPECT_EQ(grid->DefaultRowHeight(), 30);
}

TEST_F(HyGridCommandsTest, QuickMenuKeepsOnlyTheLatestEntries) {
  TQuickMenu menu;
  int32_t chosen = -2;
  menu.SetOnChoose([&](TQuickMenu& m) { chosen = m.SelectedCode(); });
  menu.AddEntry("One", 2, 0);
  menu.AddEntry("-", 2, -1);
  const TQuickMenuItem& two = menu.AddEntry("Two", 0, 7);
  menu.EntryClicked(two);
  EXPECT_EQ(chosen, 7);
  menu.EntryClickedAt(1);  // the separator: recorded, not chosen
  EXPECT_EQ(menu.SelectedCode(), -1);
  EXPECT_EQ(chosen, 7);
  menu.Clear();
  menu.AddEntry("Three", 2, 3);
  EXPECT_EQ(menu.Captions(), std::vector<std::string>{"Three"});
  menu.EntryClickedAt(5);  // no such entry
  EXPECT_EQ(menu.SelectedCode(), -1);
  menu.EntryClickedAt(0);
  EXPECT_EQ(chosen, 3);
}

TEST_F(HyGridCommandsTest, GlyphCommandActsOnlyWhereAGlyphIs) {
  Open();
  EXPECT_FALSE(grid->GlyphCommand(0, 0));    // a data cell
  EXPECT_FALSE(grid->GlyphCommand(-1, -1));  // Product: nothing after it on the rows
  EXPECT_FALSE(grid->GlyphCommand(-2, 0));   // a label
  EXPECT_TRUE(grid->GlyphCommand(-2, -1));   // Region's minus closes Product
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  EXPECT_TRUE(grid->GlyphCommand(-1, -1));  // and its plus opens it
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
  EXPECT_TRUE(grid->GlyphCommand(-1, -2));  // the column plus cell closes Year
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year-");
}

TEST_F(HyGridCommandsTest, AnchorsFindTheirCellAfterAPivot) {
  Open();
  // West, C: value 1 of Region, 2 of Product.
  const TCustomHyGrid::TAxisAnchor westC = grid->AnchorAt(TDimAxis::Rows, 4);
  ASSERT_EQ(westC.size(), 2u);
  EXPECT_EQ(grid->CellText(-2, 3), "West");
  EXPECT_EQ(grid->FindAnchor(TDimAxis::Rows, westC), 4);
  // Product moved in front: the same pair lies elsewhere.
  source->MoveDimension(TDimAxis::Rows, TDimAxis::Rows, true, 0, 1);
  const int32_t pos = grid->FindAnchor(TDimAxis::Rows, westC);
  ASSERT_GE(pos, 0);
  EXPECT_EQ(grid->CellText(-1, pos), "West");
  EXPECT_EQ(grid->AnchorAt(TDimAxis::Rows, pos).size(), 2u);
  // Product closed: West's first row is what remains of it.
  source->ToggleDimension(TDimAxis::Rows, 0, true);
  EXPECT_EQ(grid->CellText(-1, grid->FindAnchor(TDimAxis::Rows, westC)), "West");
  // Nothing of the anchor on the columns, and no anchor at all.
  EXPECT_EQ(grid->FindAnchor(TDimAxis::Cols, westC), -1);
  EXPECT_EQ(grid->FindAnchor(TDimAxis::Rows, {}), -1);
}

}  // namespace
}  // namespace hy
