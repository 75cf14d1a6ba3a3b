// The decision source on a real cube over SQLite: the stored state against
// the cube's dimensions, placement, drilling and fixing, the cube's events
// and the cell and header queries.
#include <gtest/gtest.h>

#include "pivot/HyDB.h"
#include "pivot/HyDBTestUtil.h"
#include "support/MapItems.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

using test::Describe;
using test::kDemoState;
using test::LoadState;
using test::RecordingLink;

// Months Jan..Mar 2004; payments Cash, Check, Credit (display order).
constexpr char kOrders[] =
    "CREATE TABLE orders (CustNo INTEGER, SaleDate DATE, PaymentMethod VARCHAR(10),"
    " ItemsTotal REAL);"
    "INSERT INTO orders VALUES"
    " (1001, '2004-01-05', 'Cash', 10), (1001, '2004-01-20', 'Credit', 20),"
    " (1001, '2004-02-03', 'Cash', 5), (1002, '2004-02-14', 'Check', 7.5),"
    " (1002, '2004-03-01', 'Cash', 3), (1003, '2004-03-30', 'Credit', 100);";

// A cube whose open builds nothing: no dimensions, no summaries.
class EmptyCube : public THyCube {
public:
  using THyCube::THyCube;
  void Open() override { SetDataState(dsAllData); }
};

class SourceOnCube : public ::testing::Test {
protected:
  void SetUp() override {
    db.Exec(kOrders);
    table = db.Table("orders", &owner).release();
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(table);
    AddItem("Customer", "CustNo", dimDimension);
    AddItem("SaleDate", "SaleDate", dimDimension)->SetBinType(binMonth);
    AddItem("Payment", "PaymentMethod", dimDimension);
    AddItem("Total", "ItemsTotal", dimSum);
    source = new THySource(&owner);
    test::RecordSourceEvents(*source, log);
  }

  THyMapItem* AddItem(const std::string& name, const std::string& field, TDimFlags type) {
    return test::AddMapItem(cube->DimensionMap(), name, field, type);
  }

  // The source's stored state read with the cube, as a window layout does:
  // the cube opens when loading ends and the source matches the state.
  void LoadWithCube(int32_t dimensionCount, const std::string& state, int32_t currentSummary = 0) {
    cube->BeginLoading();
    cube->SetActive(true);
    source->BeginLoading();
    source->SetDecisionCube(cube);
    source->SetDimensionCount(dimensionCount);
    source->SetSummaryCount(1);
    source->SetCurrentSummary(currentSummary);
    source->SetDimensionInfo(state);
    TComponent::FinishLoading(&owner);
  }

  double Cell(int32_t row, int32_t col) { return source->GetCellValue(row, col).AsDouble(); }
  std::string Rows() const { return Describe(source->AxisList(TDimAxis::Rows)); }
  std::string Cols() const { return Describe(source->AxisList(TDimAxis::Cols)); }
  int Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }

  test::TestDatabase db;
  TComponent owner;
  TTable* table = nullptr;
  THyCube* cube = nullptr;
  THySource* source = nullptr;
  std::vector<std::string> log;
};

TEST_F(SourceOnCube, DemoStateReadActivatedAndWrittenBack) {
  RecordingLink link(log, "link");
  link.SetSource(source);
  log.clear();
  LoadWithCube(3, kDemoState);
  ASSERT_TRUE(source->IsActive());
  EXPECT_EQ(Cols(), "Customer+");
  EXPECT_EQ(Rows(), "SaleDate+ Payment+");
  EXPECT_EQ(source->DimInfo(1).ActiveIndex, 0);
  EXPECT_EQ(source->DimInfo(2).ActiveIndex, 1);
  EXPECT_EQ(source->DimensionInfo(), kDemoState);
  EXPECT_EQ(log, (std::vector<std::string>{"link:StateChanged", "OnStateChange"}));

  // Jan: Cash Credit Sum, Feb: Cash Check Sum, Mar: Cash Credit Sum, total.
  EXPECT_EQ(source->RowCount(), 10);
  EXPECT_EQ(source->ColCount(), 4);
  EXPECT_EQ(source->RowIndex()[0], (std::vector<int16_t>{0, 0, 0, 1, 1, 1, 2, 2, 2, -1}));
  EXPECT_EQ(source->RowIndex()[1], (std::vector<int16_t>{0, 2, -1, 0, 1, -1, 0, 2, -1, -1}));
  EXPECT_DOUBLE_EQ(Cell(0, 0), 10);                   // Jan, Cash, 1001
  EXPECT_DOUBLE_EQ(Cell(2, 0), 30);                   // Jan subtotal, 1001
  EXPECT_DOUBLE_EQ(Cell(4, 1), 7.5);                  // Feb, Check, 1002
  EXPECT_DOUBLE_EQ(Cell(9, 3), 145.5);                // grand total
  EXPECT_TRUE(source->GetCellValue(0, 1).IsEmpty());  // Jan, Cash, 1002: no data
  int32_t sums = -1;
  EXPECT_NE(source->GetCellText(0, 0, &sums), "");
  EXPECT_EQ(sums, 0);
  source->GetCellText(2, 3, &sums);
  EXPECT_EQ(sums, 2);
  source->GetCellText(9, 3, &sums);
  EXPECT_EQ(sums, 3);
}

TEST_F(SourceOnCube, HeadersGroupsAndValueArrays) {
  LoadWithCube(3, kDemoState);
  bool isSum = false, isStart = false;
  EXPECT_EQ(source->GetHeaderValue(TDimAxis::Rows, 0, 3, isSum, isStart), 1);
  EXPECT_TRUE(isStart);
  EXPECT_EQ(source->GetHeaderValue(TDimAxis::Rows, 1, 5, isSum, isStart), -1);
  EXPECT_TRUE(isSum);
  EXPECT_EQ(source->GetHeaderValue(TDimAxis::Cols, 0, 3, isSum, isStart), -1);
  EXPECT_TRUE(isSum);
  EXPECT_THROW(source->GetHeaderValue(TDimAxis::Rows, 0, 10, isSum, isStart), EArrayError);
  int32_t first = 0, last = 0;
  source->GetGroupRange(TDimAxis::Rows, 0, 4, first, last);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(last, 5);
  source->GetGroupRange(TDimAxis::Rows, 0, 9, first, last);
  EXPECT_EQ(first, 9);
  EXPECT_EQ(last, 9);

  TValueArray values;
  source->GetValueArray(1, 4, values);  // 1002, Feb, Check
  ASSERT_EQ(values.Count(), 3);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 1);
  EXPECT_EQ(values[2], 1);
  source->GetValueArray(-1, 4, values);  // a row label: no column
  EXPECT_EQ(values[0], -1);
  EXPECT_EQ(values[2], 1);

  EXPECT_EQ(source->GetValueText(2, 1), "Check");
  EXPECT_EQ(source->GetValueVariant(0, 2).AsInteger(), 1003);
  EXPECT_EQ(source->GetValueText(2, 3), "");
  cube->DimensionMap().Items(0)->SetCaption("Cust");
  EXPECT_EQ(source->GetDimensionCaption(0), "Cust");
  ASSERT_NE(source->GetSummary(0), nullptr);
  EXPECT_EQ(source->GetSummary(1), nullptr);
  EXPECT_EQ(source->GetNeighbourFlags(1), 1);
}

TEST_F(SourceOnCube, StoredNamesTheCubeLacksAreDroppedAndNewOnesPlaced) {
  // No open column survives: the first new dimension opens on the columns,
  // the next joins the rows and opens there, being the first open row.
  LoadWithCube(3, "(2 0 1 0 -1 'Region' 1 -1 2 0 -1 'Payment' 1 0 1 1 -1 'Gone')");
  EXPECT_EQ(Cols(), "Customer+");
  EXPECT_EQ(Rows(), "Payment- SaleDate+");
  EXPECT_EQ(source->DimensionInfo(),
            "(2 0 1 0 -1 'Customer' 1 0 1 1 -1 'SaleDate' 1 -1 2 0 -1 'Payment')");
}

TEST_F(SourceOnCube, NewRowDimensionsOpenOnlyWhenNoRowIsOpen) {
  LoadWithCube(2, "(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'Old')");
  EXPECT_EQ(Cols(), "Customer+");
  EXPECT_EQ(Rows(), "SaleDate+ Payment-");
  source->SetDimensionInfo("(1 0 1 0 -1 'Payment' 2 0 1 0 -1 'Customer')");
  EXPECT_EQ(Rows(), "Payment+ SaleDate-");
  EXPECT_EQ(source->RowCount(), 4);  // three payments and the total
}

TEST_F(SourceOnCube, StateReadAfterTheCubeOpenedIsMatchedWhenLoadingEnds) {
  cube->SetActive(true);
  source->BeginLoading();
  source->SetDecisionCube(cube);  // placed afresh for now
  source->SetDimensionCount(3);
  source->SetDimensionInfo("(1 0 1 0 -1 'Customer' 2 0 1 0 -1 'SaleDate' 1 -1 2 1 -1 'Payment')");
  source->Loaded();
  EXPECT_EQ(Rows(), "Customer+ Payment-");
  EXPECT_EQ(Cols(), "SaleDate+");
  EXPECT_EQ(source->RowCount(), 4);
  EXPECT_EQ(source->ColCount(), 4);
  EXPECT_DOUBLE_EQ(Cell(0, 0), 30);  // 1001 in January
}

TEST_F(SourceOnCube, FreshCubePlacement) {
  source->SetDecisionCube(cube);
  EXPECT_FALSE(source->IsActive());
  cube->SetActive(true);
  EXPECT_EQ(Cols(), "Customer+");
  EXPECT_EQ(Rows(), "SaleDate+ Payment-");
  EXPECT_EQ(source->RowCount(), 4);
  EXPECT_EQ(source->ColCount(), 4);
  EXPECT_EQ(source->DimensionInfo(),
            "(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 -1 2 1 -1 'Payment')");

  // Attaching to a cube that is already open places the same way.
  THySource late;
  late.SetDecisionCube(cube);
  EXPECT_EQ(late.DimensionInfo(), source->DimensionInfo());
  EXPECT_EQ(cube->Sources().size(), 2u);
}

TEST_F(SourceOnCube, DrilledRestrictsTheAxesFixedDoesNot) {
  LoadWithCube(3, kDemoState);
  log.clear();
  source->SelectValue(2, 0);  // Payment = Cash
  EXPECT_EQ(Rows(), "SaleDate+ Payment=0");
  EXPECT_EQ(Count("OnLayoutChange"), 1);
  EXPECT_EQ(source->RowCount(), 4);  // every month has a cash sale
  EXPECT_EQ(source->ColCount(), 3);  // 1003 never paid cash
  EXPECT_DOUBLE_EQ(Cell(3, 2), 18);
  source->SelectValueAt(TDimAxis::Rows, 1, false, 1);  // Check
  EXPECT_EQ(source->RowCount(), 2);
  EXPECT_EQ(source->ColCount(), 2);
  EXPECT_DOUBLE_EQ(Cell(0, 0), 7.5);

  // Fixed on Check: the cells are restricted, the axes are not.
  source->SetDimensionInfo("(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 -1 4 1 1 'Payment')");
  EXPECT_EQ(source->RowCount(), 4);
  EXPECT_EQ(source->ColCount(), 4);
  EXPECT_TRUE(source->GetCellValue(0, 0).IsEmpty());
  EXPECT_DOUBLE_EQ(Cell(3, 3), 7.5);
  log.clear();
  source->SelectValue(2, 0);
  source->ToggleDimension(TDimAxis::Rows, 1, false);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Rows(), "SaleDate+ Payment#1");

  // A value the dimension lacks is refused and nothing changes.
  source->SetDimensionInfo(kDemoState);
  log.clear();
  EXPECT_THROW(source->SelectValue(2, 3), EAssertionFailed);
  EXPECT_THROW(source->SelectValue(2, -1), EAssertionFailed);
  EXPECT_EQ(source->DimensionInfo(), kDemoState);
  EXPECT_TRUE(log.empty());
}

TEST_F(SourceOnCube, StoredDrillOutsideTheValuesFallsBackToTheTotal) {
  LoadWithCube(3, "(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 -1 3 1 9 'Payment')");
  EXPECT_EQ(Rows(), "SaleDate+ Payment-");
  EXPECT_DOUBLE_EQ(Cell(3, 3), 145.5);
}

// Drilled or fixed on a value the cube does not have: the item is Closed,
// whichever way the state arrives, and says so when written back.
TEST_F(SourceOnCube, ValuesTheCubeLacksCloseTheItemOnEveryPath) {
  const std::string bad[] = {
      "(2 0 1 0 -1 'Customer' 1 -1 3 0 99 'SaleDate' 1 0 1 1 -1 'Payment')",
      "(2 0 1 0 -1 'Customer' 1 -1 4 0 3 'SaleDate' 1 0 1 1 -1 'Payment')",
      "(2 0 1 0 -1 'Customer' 1 -1 3 0 -1 'SaleDate' 1 0 1 1 -1 'Payment')",
      "(2 0 1 0 -1 'Customer' 1 -1 4 0 -1 'SaleDate' 1 0 1 1 -1 'Payment')",
  };
  const std::string closed = "(2 0 1 0 -1 'Customer' 1 -1 2 0 -1 'SaleDate' 1 0 1 1 -1 'Payment')";
  for (const std::string& state : bad) {
    SCOPED_TRACE(state);
    // Set before the cube opens, as hycube does.
    source->SetDecisionCube(cube);
    source->SetDimensionInfo(state);
    cube->SetActive(true);
    EXPECT_EQ(source->DimInfo(1).State, TDimState::Closed);
    EXPECT_EQ(source->DimensionInfo(), closed);
    EXPECT_EQ(Rows(), "SaleDate- Payment+");
    EXPECT_DOUBLE_EQ(Cell(0, 0), 15);  // Cash of customer 1001 over every month
    // Set on the open cube.
    source->SetDimensionInfo(state);
    EXPECT_EQ(source->DimensionInfo(), closed);
    cube->SetActive(false);
  }
}

TEST_F(SourceOnCube, CurrentSummaryOutOfRangeIsReset) {
  LoadWithCube(3, kDemoState, 3);
  EXPECT_EQ(source->CurrentSummary(), 0);
  EXPECT_DOUBLE_EQ(Cell(9, 3), 145.5);
}

TEST_F(SourceOnCube, SummaryChoiceComesBackAsSummaryChanged) {
  AddItem("Orders", "ItemsTotal", dimCount);
  RecordingLink link(log, "link");
  link.SetSource(source);
  LoadWithCube(3, kDemoState);
  ASSERT_EQ(source->SummaryCount(), 2);
  log.clear();
  source->SetCurrentSummary(1);
  EXPECT_EQ(log, (std::vector<std::string>{"link:SummaryChanged", "OnSummaryChange"}));
  EXPECT_EQ(source->CurrentSummary(), 1);
  EXPECT_EQ(source->GetCellValue(9, 3).AsInteger(), 6);
  log.clear();
  source->SetCurrentSummary(2);  // no such summary: ignored
  source->SetCurrentSummary(1);  // unchanged: the cube stays quiet
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(source->CurrentSummary(), 1);
}

TEST_F(SourceOnCube, SparseRowsKeepEmptyCombinations) {
  LoadWithCube(3, kDemoState);
  log.clear();
  source->SetSparseRows(false);  // unchanged: nothing
  EXPECT_TRUE(log.empty());
  source->SetSparseRows(true);
  EXPECT_EQ(Count("OnLayoutChange"), 1);
  EXPECT_EQ(source->RowCount(), 13);  // 3 × (3 payments + sum) + total
  EXPECT_EQ(source->ColCount(), 4);
  EXPECT_EQ(source->GetCellText(1, 0), "");  // Jan, Check, 1001
  source->SetSparseCols(true);
  EXPECT_EQ(source->ColCount(), 4);
}

TEST_F(SourceOnCube, CubeEventsReachLinksAndHandlers) {
  RecordingLink link(log, "link");
  link.SetSource(source);
  LoadWithCube(3, kDemoState);
  log.clear();
  cube->Refresh(false);
  EXPECT_EQ(log, (std::vector<std::string>{"link:NewDimensions", "OnNewDimensions"}));
  log.clear();
  cube->SetActive(false);
  EXPECT_EQ(log, (std::vector<std::string>{"link:StateChanged", "OnStateChange"}));
  EXPECT_FALSE(source->IsActive());
  EXPECT_EQ(source->RowCount(), 1);
  EXPECT_TRUE(source->RowIndex().empty());
  EXPECT_EQ(source->DimensionInfo(), kDemoState);  // kept for the next open
  cube->SetActive(true);
  EXPECT_EQ(source->DimensionInfo(), kDemoState);
  EXPECT_EQ(source->RowCount(), 10);
}

TEST_F(SourceOnCube, LeavingAndLosingTheCube) {
  LoadWithCube(3, kDemoState);
  source->SetDecisionCube(nullptr);
  EXPECT_FALSE(source->IsActive());
  EXPECT_TRUE(cube->Sources().empty());
  source->SetDecisionCube(cube);
  EXPECT_TRUE(source->IsActive());
  EXPECT_EQ(source->DimensionInfo(), kDemoState);
  log.clear();
  delete cube;
  cube = nullptr;
  EXPECT_EQ(source->DecisionCube(), nullptr);
  EXPECT_FALSE(source->IsActive());
  EXPECT_EQ(log, (std::vector<std::string>{"OnStateChange"}));
}

TEST(SourceOnEmptyCube, NoSummariesGiveOneByOne) {
  TComponent owner;
  auto* cube = new EmptyCube(&owner);
  auto* source = new THySource(&owner);
  LoadState(*source, 3, kDemoState);
  source->SetDecisionCube(cube);
  cube->SetActive(true);
  ASSERT_TRUE(source->IsActive());
  EXPECT_EQ(source->DimensionCount(), 0);
  EXPECT_EQ(source->SummaryCount(), 0);
  EXPECT_EQ(source->RowCount(), 1);
  EXPECT_EQ(source->ColCount(), 1);
  EXPECT_TRUE(source->RowIndex().empty());
  EXPECT_TRUE(source->ColIndex().empty());
  EXPECT_EQ(source->GetCellText(0, 0), "");
  EXPECT_EQ(source->DimensionInfo(), "()");
}

}  // namespace
}  // namespace hy
