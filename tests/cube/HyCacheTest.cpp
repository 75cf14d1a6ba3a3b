#include <gtest/gtest.h>

#include "cube/CubeTestSupport.h"
#include "cube/HyMap.h"

namespace hy {
namespace {

using test::Date;
using test::MemCube;

// Region (a, b) × Kind (1, 2, 3) with one sum; rows leave (a, 3) empty.
class TwoDimCube : public ::testing::Test {
protected:
  void SetUp() override {
    cube.Column("Region", ftString, 10);
    cube.Column("Kind", ftInteger);
    cube.Column("Qty", ftInteger);
    cube.Row({"b", 1, 100});
    cube.Row({"a", 1, 1});
    cube.Row({"a", 2, 2});
    cube.Row({"b", 2, 200});
    cube.Row({"b", 3, 300});
    cube.Row({"a", 2, 20});
    cube.Item("Region", dimDimension);
    cube.Item("Kind", dimDimension);
    cube.Item("Qty", dimSum);
    cube.Open();
  }
  int64_t Sum(int16_t region, int16_t kind) {
    const Variant v = cube.Cache().GetSummaryValue({region, kind});
    return v.IsEmpty() ? -999 : v.AsInt64();
  }
  MemCube cube;
};

TEST_F(TwoDimCube, DetailSubtotalAndGrandTotalCells) {
  TDataCache& cache = cube.Cache();
  EXPECT_EQ(cache.SlotCount(), 3 * 4);
  EXPECT_EQ(cache.PendingCount(), 12 - 6);
  EXPECT_EQ(Sum(0, 0), 1);
  EXPECT_EQ(Sum(0, 1), 22);
  EXPECT_EQ(Sum(0, 2), -999);  // no data: an unassigned value, empty text
  EXPECT_EQ(cache.GetSummaryAsString({0, 2}), "");
  EXPECT_TRUE(cache.IsEmptyCell({0, 2}));
  EXPECT_EQ(Sum(1, 2), 300);
  EXPECT_EQ(Sum(-1, 0), 101);
  EXPECT_EQ(Sum(-1, 1), 222);
  EXPECT_EQ(Sum(-1, 2), 300);
  EXPECT_EQ(Sum(0, -1), 23);
  EXPECT_EQ(Sum(1, -1), 600);
  EXPECT_EQ(Sum(-1, -1), 623);
  EXPECT_EQ(cache.GetSummaryAsString({-1, -1}), "623");
  EXPECT_EQ(cache.PendingCount(), 0);
}

TEST_F(TwoDimCube, TotalsShareASingleRecordAndAggregateOnlyOnce) {
  TDataCache& cache = cube.Cache();
  const int32_t before = cube.Bins().RecordCount();
  // Kind 3 has data only for region b: the total shares b's record.
  EXPECT_EQ(cache.CellRecord({-1, 2}), cache.CellRecord({1, 2}));
  EXPECT_EQ(cube.Bins().RecordCount(), before);
  // The grand total touches every subtotal of its first open dimension once.
  const int32_t grand = cache.CellRecord({-1, -1});
  const int32_t after = cube.Bins().RecordCount();
  EXPECT_EQ(after, before + 3);  // a total, b total, grand total
  EXPECT_EQ(cache.CellRecord({-1, -1}), grand);
  EXPECT_EQ(cache.CellRecord({0, -1}), after - 3);
  EXPECT_EQ(cube.Bins().RecordCount(), after);
}

TEST_F(TwoDimCube, AxisWithSubtotalsHasNineEntriesEachSubtotalAfterItsGroup) {
  TAxisEntries entries;
  TCoords coords{-1, -1};
  const int32_t n = cube.Cache().BuildAxisIndex({0, 1}, entries, true, coords);
  ASSERT_EQ(n, 9);
  const std::vector<int16_t> outer{0, 0, 0, 0, 1, 1, 1, 1, -1};
  const std::vector<int16_t> inner{0, 1, 2, -1, 0, 1, 2, -1, -1};
  EXPECT_EQ(std::vector<int16_t>(entries[0].begin(), entries[0].begin() + n), outer);
  EXPECT_EQ(std::vector<int16_t>(entries[1].begin(), entries[1].begin() + n), inner);

  // Without subtotals: the six detail paths.
  EXPECT_EQ(cube.Cache().BuildAxisIndex({0, 1}, entries, false, coords), 6);
  EXPECT_EQ(std::vector<int16_t>(entries[1].begin(), entries[1].begin() + 6),
            (std::vector<int16_t>{0, 1, 2, 0, 1, 2}));
  // No dimension on the axis: one grand-total entry.
  EXPECT_EQ(cube.Cache().BuildAxisIndex({}, entries, true, coords), 1);
}

TEST_F(TwoDimCube, SuppressEmptyDropsCombinationsWithoutData) {
  TDataCache& cache = cube.Cache();
  cache.SetSuppressEmpty(true);
  TAxisEntries entries;
  TCoords coords{-1, -1};
  const int32_t n = cache.BuildAxisIndex({0, 1}, entries, true, coords);
  ASSERT_EQ(n, 8);  // (a, 3) is gone
  EXPECT_EQ(std::vector<int16_t>(entries[1].begin(), entries[1].begin() + n),
            (std::vector<int16_t>{0, 1, -1, 0, 1, 2, -1, -1}));
  EXPECT_EQ(coords, (TCoords{-1, -1}));  // scratch coordinates are restored

  // A row axis under a fixed column value: only kinds with data for a.
  coords = {0, -1};
  EXPECT_EQ(cache.BuildAxisIndex({1}, entries, false, coords), 2);
  EXPECT_EQ(entries[0][0], 0);
  EXPECT_EQ(entries[0][1], 1);

  // Nothing at all qualifies: no entries, not a phantom one.
  MemCube sparse;
  sparse.Column("X", ftInteger);
  sparse.Column("Y", ftInteger);
  sparse.Column("Z", ftInteger);
  sparse.Column("Qty", ftInteger);
  sparse.Row({1, 1, 1, 5});
  sparse.Row({2, 2, 2, 6});
  sparse.Item("X", dimDimension);
  sparse.Item("Y", dimDimension);
  sparse.Item("Z", dimDimension);
  sparse.Item("Qty", dimSum);
  sparse.Open();
  sparse.Cache().SetSuppressEmpty(true);
  TCoords fixed{0, 1, -1};  // X = 1 and Y = 2: no data under any Z
  EXPECT_EQ(sparse.Cache().BuildAxisIndex({2}, entries, false, fixed), 0);
  EXPECT_EQ(sparse.Cache().BuildAxisIndex({2}, entries, true, fixed), 1);
  EXPECT_EQ(entries[0][0], -1);

  cache.SetSuppressEmpty(false);
  coords = {0, -1};
  EXPECT_EQ(cache.BuildAxisIndex({1}, entries, false, coords), 3);
}

TEST_F(TwoDimCube, CurrentSummarySelectionIsChecked) {
  TDataCache& cache = cube.Cache();
  cache.SetCurrentSummary(0);
  try {
    cache.SetCurrentSummary(1);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Unit(), "HyCache");
    EXPECT_NE(e.Message().find("Error in summary selection"), std::string::npos);
  }
  EXPECT_EQ(cache.CurrentSummary(), 0);
}

TEST(CellCache, OneDimensionOfTwoValues) {
  MemCube cube;
  cube.Column("Region", ftString, 10);
  cube.Column("Amount", ftFloat);
  cube.Row({"a", 1.5});
  cube.Row({"b", 2.0});
  cube.Row({"a", 1.0});
  cube.Item("Region", dimDimension);
  cube.Item("Amount", dimSum);
  cube.Item("Amount", dimAverage);
  cube.Open();
  TDataCache& cache = cube.Cache();
  EXPECT_EQ(cache.SlotCount(), 3);  // [all, a, b]
  EXPECT_EQ(cache.PendingCount(), 1);
  EXPECT_EQ(cache.GetSummaryAsString({-1}), "4.50");
  cache.SetCurrentSummary(1);
  // The average of the total is the total sum over the total count.
  EXPECT_NEAR(cache.GetSummaryValue({-1}).AsDouble(), 1.5, 1e-12);
  EXPECT_EQ(cache.GetSummaryAsString({0}), "1.25");
  EXPECT_EQ(cache.GetSummaryAsString({-1}), "1.50");
}

TEST(CellCache, TotalsOverOnlyNullValuesReadAsNull) {
  MemCube cube;
  cube.Column("Kind", ftInteger);
  cube.Column("Amount", ftFloat);
  cube.Row({1, Variant::Null()});
  cube.Row({2, Variant::Null()});
  cube.Item("Kind", dimDimension);
  cube.Item("Amount", dimAverage);
  cube.Item("Amount", dimSum);
  cube.Item("Amount", dimMin);
  cube.Open();
  TDataCache& cache = cube.Cache();
  for (int s = 0; s < 3; ++s) {
    cache.SetCurrentSummary(s);
    EXPECT_TRUE(cache.GetSummaryValue({-1}).IsNull()) << s;
    EXPECT_EQ(cache.GetSummaryAsString({-1}), "<NULL>") << s;
    EXPECT_FALSE(cache.IsEmptyCell({-1}));
  }
}

TEST(CellCache, NullValueComesFirstWithCaptionNull) {
  MemCube cube;
  cube.Column("Sold", ftDate);
  cube.Column("Qty", ftInteger);
  cube.Row({Date(2004, 5, 1), 1});
  cube.Row({Variant::Null(), 2});
  cube.Row({Date(2003, 1, 1), 4});
  cube.Item("Sold", dimDimension).SetFormat("yyyy-mm-dd");
  cube.Item("Qty", dimSum);
  cube.Open();
  const TDimension& dim = *cube.Cache().Dimensions(0);
  ASSERT_EQ(dim.GetValueCount(), 3);
  EXPECT_EQ(dim.GetValueCaption(0), "Null");
  EXPECT_TRUE(dim.GetValue(0).IsNull());
  EXPECT_EQ(dim.GetValueCaption(1), "2003-01-01");
  EXPECT_EQ(dim.GetValueCaption(2), "2004-05-01");
  EXPECT_EQ(cube.Cache().GetSummaryAsString({0}), "2");
}

TEST(CellCache, LookupCaptionsSortTheDimensionAndMissingKeysComeFirst) {
  TMemDataSet customers;  // outlives the cube that refers to it
  MemCube cube;
  cube.Column("CustNo", ftInteger);
  cube.Column("Qty", ftInteger);
  for (int no : {10, 20, 30, 40}) cube.Row({no, no});
  customers.AddColumn("No", ftInteger);
  customers.AddColumn("Company", ftString, 20);
  customers.AppendRow({30, "Alpha"});
  customers.AppendRow({10, "zeta"});
  customers.AppendRow({20, "Zeta"});
  customers.AppendRow({99, "Unused"});
  THyMapItem& item = cube.Item("CustNo", dimDimension);
  item.SetKind(dkLookup);
  item.SetLookupDataSet(&customers);
  item.SetKeyFields("No");
  item.SetLookupResultField("Company");
  cube.Item("Qty", dimSum);
  cube.Open();

  const TDimension& dim = *cube.Cache().Dimensions(0);
  ASSERT_EQ(dim.GetValueCount(), 4);
  // Byte-wise order: "" < "Alpha" < "Zeta" < "zeta".
  const char* captions[] = {"", "Alpha", "Zeta", "zeta"};
  const int values[] = {40, 30, 20, 10};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dim.GetValueCaption(i), captions[i]) << i;
    EXPECT_EQ(dim.GetValue(i).AsInteger(), values[i]) << i;
    // Cells follow the display order too.
    EXPECT_EQ(cube.Cache().GetSummaryValue({static_cast<int16_t>(i)}).AsInt64(), values[i]) << i;
  }
  EXPECT_FALSE(customers.ControlsDisabled());
}

TEST(CellCache, TimeStampCaptionsAreDateTimesLikeDateTimeOnes) {
  MemCube cube;
  cube.Column("Stamp", ftTimeStamp);
  cube.Column("When", ftDateTime);
  cube.Column("Qty", ftInteger);
  const Variant at = Variant::Date(EncodeDate(2004, 1, 3) + EncodeTime(10, 0, 0, 0));
  cube.Row({at, at, 1});
  THyMapItem& stamp = cube.Item("Stamp", dimDimension);
  cube.Item("When", dimDimension);
  cube.Item("Qty", dimSum);
  cube.Open();
  const std::string dateTime = cube.Cache().Dimensions(1)->GetValueCaption(0);
  EXPECT_EQ(dateTime, "1/3/2004 10:00:00 AM");
  EXPECT_EQ(cube.Cache().Dimensions(0)->GetValueCaption(0), dateTime);
  cube.store.SetActive(false);
  stamp.SetFormat("yyyy-mm-dd hh:nn");
  cube.Open();
  EXPECT_EQ(cube.Cache().Dimensions(0)->GetValueCaption(0), "2004-01-03 10:00");
}

TEST(CellCache, DimensionWithoutValueArrayIsRefusedOnOpen) {
  MemCube cube;
  cube.Column("Big", ftFMTBcd);
  cube.Column("Qty", ftInteger);
  cube.Row({1.5, 1});
  cube.Item("Big", dimDimension);
  cube.Item("Qty", dimSum);
  try {
    cube.Open();
    FAIL();
  } catch (const EHyCache& e) {
    EXPECT_EQ(e.Message(), "Field 'Big' of type FMTBcd cannot be used as a dimension");
  }
  EXPECT_FALSE(cube.store.Active());
  EXPECT_EQ(cube.Cache().GetDimensionCount(), 0);

  cube.data.Close();  // the cube leaves its dataset open
  cube.Column("Picture", ftBlob);
  cube.store.DimensionMap().Items(0)->SetFieldName("Picture");
  EXPECT_EQ(cube.OpenError(), "Field 'Picture' of type Blob cannot be used as a dimension");
}

TEST(CellCache, DimensionsBeyondSixteenBitCoordinatesAreRefused) {
  MemCube cube;
  cube.Column("Id", ftInteger);
  cube.Column("Qty", ftInteger);
  for (int i = 0; i < 32768; ++i) cube.Row({i, 1});
  cube.Item("Id", dimDimension, "Id");
  cube.Item("Qty", dimSum);
  EXPECT_EQ(cube.OpenError(), "Dimension 'Id' has 32768 values; at most 32767 can be shown");
}

TEST(CellCache, IndexBeyondTheMemoryBudgetIsRefusedBeforeAllocating) {
  MemCube cube;
  cube.Column("A", ftInteger);
  cube.Column("B", ftInteger);
  cube.Column("C", ftInteger);
  cube.Column("Qty", ftInteger);
  // 200 values per dimension: 201^3 slots, 32 MB of cell index.
  for (int i = 0; i < 200; ++i) cube.Row({i, i, i, 1});
  cube.Item("A", dimDimension);
  cube.Item("B", dimDimension);
  cube.Item("C", dimDimension);
  cube.Item("Qty", dimSum);
  const int64_t previous = SetTestMemoryBudget(ProcessAllocatedBytes() + 16 * 1024 * 1024);
  const std::string error = cube.OpenError();
  SetTestMemoryBudget(previous);
  EXPECT_EQ(error, kLowCapacityMessage);
  EXPECT_FALSE(cube.store.Active());
  EXPECT_EQ(cube.Cache().SlotCount(), 0);
  // With room the same cube opens.
  EXPECT_EQ(cube.OpenError(), "");
  EXPECT_EQ(cube.Cache().SlotCount(), 201 * 201 * 201);
  EXPECT_EQ(cube.Cache().GetSummaryValue({-1, -1, -1}).AsInt64(), 200);
}

TEST(CellCache, DerivedSummaryEvaluatesPerCellAndFormatsByType) {
  MemCube cube;
  cube.Column("Region", ftString, 10);
  cube.Column("Qty", ftInteger);
  cube.Row({"a", 3});
  cube.Row({"b", 4});
  cube.Item("Region", dimDimension);
  cube.Item("Qty", dimSum, "Total");
  THyMapItem& half = cube.Item("", dimDerived, "Half");
  half.SetSumExpr("Total / 2");
  half.SetFormat("0.0");
  cube.Open();
  TDataCache& cache = cube.Cache();
  ASSERT_EQ(cache.GetSummaryCount(), 2);
  EXPECT_EQ(cache.DerivedCount(), 1);
  cache.SetCurrentSummary(1);
  EXPECT_EQ(cache.GetSummaryAsString({0}), "1.5");
  EXPECT_EQ(cache.GetSummaryAsString({-1}), "3.5");
  EXPECT_DOUBLE_EQ(cache.GetSummaryValue({1}).AsDouble(), 2.0);
}

}  // namespace
}  // namespace hy
