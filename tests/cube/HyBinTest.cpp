#include <gtest/gtest.h>

#include <cmath>

#include "cube/CubeTestSupport.h"
#include "cube/HyMap.h"
#include "cube/ScriptedProgress.h"

namespace hy {
namespace {

using test::Date;
using test::MemCube;

// Every record's key order is strictly ascending: the cell index relies on it.
// The index's record search finds each record where it is.
void ExpectStrictlyOrdered(TBinTable& bins) {
  for (int32_t r = 0; r < bins.RecordCount(); ++r) {
    if (r > 0) {
      EXPECT_LT(bins.CompareKeys(bins.Record(r - 1), bins.Record(r)), 0) << "record " << r;
    }
    int32_t at = -1;
    EXPECT_TRUE(bins.Index().FindItem(at, bins.Record(r))) << "record " << r;
    EXPECT_EQ(at, r);
  }
}

TEST(BinTable, EqualKeysMergeIntoOneRecordPerSummaryRole) {
  MemCube cube;
  cube.Column("Region", ftString, 10);
  cube.Column("Amount", ftFloat);
  for (auto [region, amount] : std::initializer_list<std::pair<const char*, double>>{
           {"b", 2.0}, {"a", 1.5}, {"a", 3.0}, {"b", -1.0}, {"a", 0.25}})
    cube.Row({region, amount});
  cube.Item("Region", dimDimension);
  cube.Item("Amount", dimSum);
  cube.Item("Amount", dimCount);
  cube.Item("Amount", dimMin);
  cube.Item("Amount", dimMax);
  cube.Item("Amount", dimAverage);
  cube.Open();

  TBinTable& bins = cube.Bins();
  // Region, Sum, Count, Min, Max, hidden Sum, Avg.
  ASSERT_EQ(bins.Fields().Count(), 7);
  EXPECT_EQ(bins.KeyCount(), 1);
  EXPECT_TRUE(bins.Fields()[5]->Hidden());
  EXPECT_EQ(bins.Fields()[6]->ClassName(), std::string("TAvgBin"));
  ASSERT_EQ(bins.RecordCount(), 2);
  EXPECT_EQ(cube.Value(0, 0).AsString(), "a");
  EXPECT_EQ(cube.Value(0, 1).AsDouble(), 4.75);
  EXPECT_EQ(cube.Value(0, 2).AsInteger(), 3);
  EXPECT_EQ(cube.Value(0, 3).AsDouble(), 0.25);
  EXPECT_EQ(cube.Value(0, 4).AsDouble(), 3.0);
  EXPECT_NEAR(cube.Value(0, 6).AsDouble(), 4.75 / 3, 1e-12);
  EXPECT_EQ(cube.Text(0, 6), "1.58");
  EXPECT_EQ(cube.Value(1, 0).AsString(), "b");
  EXPECT_EQ(cube.Value(1, 1).AsDouble(), 1.0);
  EXPECT_EQ(cube.Value(1, 3).AsDouble(), -1.0);
  EXPECT_EQ(cube.Value(1, 4).AsDouble(), 2.0);
  EXPECT_EQ(cube.Text(1, 1), "1.00");
  // Loading is over: the index is an append-only list now.
  EXPECT_EQ(bins.Index().SortOrder(), saUnsorted);
}

TEST(BinTable, NullKeysFormTheirOwnBinFirstAndStringsFollowTheValueOrder) {
  MemCube cube;
  cube.Column("Name", ftString, 10);
  cube.Column("Qty", ftInteger);
  cube.Row({"b", 1});
  cube.Row({Variant::Null(), 2});
  cube.Row({"B", 4});
  cube.Row({"A", 8});
  cube.Row({"a", 16});
  cube.Row({Variant::Null(), 32});
  cube.Item("Name", dimDimension);
  cube.Item("Qty", dimSum);
  cube.Open();

  TBinTable& bins = cube.Bins();
  ASSERT_EQ(bins.RecordCount(), 5);
  EXPECT_TRUE(cube.Value(0, 0).IsNull());
  EXPECT_EQ(cube.Value(0, 1).AsInteger(), 34);
  // Locale-aware order, lower case before upper case of the same letter.
  const char* expected[] = {"a", "A", "b", "B"};
  for (int r = 1; r < 5; ++r) EXPECT_EQ(cube.Value(r, 0).AsString(), expected[r - 1]) << r;
  ExpectStrictlyOrdered(bins);
  // The dimension's value array agrees record by record.
  const TDimension& dim = *cube.Cache().Dimensions(0);
  ASSERT_EQ(dim.GetValueCount(), 5);
  for (int r = 0; r < 5; ++r) EXPECT_TRUE(dim.GetValue(r).SameAs(cube.Value(r, 0))) << r;
}

TEST(BinTable, SummariesNullInEveryRowStayNull) {
  MemCube cube;
  cube.Column("Kind", ftInteger);
  cube.Column("Amount", ftFloat);
  cube.Row({1, Variant::Null()});
  cube.Row({1, Variant::Null()});
  cube.Row({2, 5.0});
  cube.Item("Kind", dimDimension);
  cube.Item("Amount", dimSum);
  cube.Item("Amount", dimCount);
  cube.Item("Amount", dimAverage);
  cube.Item("Amount", dimMax);
  cube.Open();

  ASSERT_EQ(cube.Bins().RecordCount(), 2);
  for (int column : {1, 2, 4, 5}) {
    EXPECT_TRUE(cube.Value(0, column).IsNull()) << column;
    EXPECT_EQ(cube.Text(0, column), "<NULL>") << column;
  }
  EXPECT_EQ(cube.Text(1, 2), "1");
  EXPECT_EQ(cube.Text(1, 4), "5.00");
}

TEST(BinTable, AddAggregateAddsSumsAndCountsAndCombinesExtremes) {
  MemCube cube;
  cube.Column("Kind", ftInteger);
  cube.Column("Amount", ftFloat);
  cube.Column("Price", ftBCD);
  cube.Column("Sold", ftDate);
  for (auto row : std::initializer_list<std::initializer_list<Variant>>{
           {1, 2.5, Currency::FromRaw(12500), Date(2004, 3, 1)},
           {1, 1.0, Variant::Null(), Date(2004, 1, 9)},
           {2, Variant::Null(), Currency::FromRaw(10000), Variant::Null()},
           {3, 4.0, Currency::FromRaw(-5000), Date(2005, 2, 2)},
           {4, Variant::Null(), Variant::Null(), Variant::Null()},
           {5, Variant::Null(), Variant::Null(), Variant::Null()}})
    cube.data.AppendRow(row);
  cube.Item("Kind", dimDimension);
  cube.Item("Amount", dimSum);      // 1
  cube.Item("Amount", dimCount);    // 2
  cube.Item("Price", dimMin);       // 3
  cube.Item("Sold", dimMax);        // 4
  cube.Item("Amount", dimAverage);  // 5 hidden, 6
  cube.Item("Price", dimSum);       // 7
  cube.Open();

  TBinTable& bins = cube.Bins();
  ASSERT_EQ(bins.RecordCount(), 5);
  const uint8_t* first3[] = {bins.Record(0), bins.Record(1), bins.Record(2)};
  const int32_t agg = bins.AddAggregate(first3, 3);
  EXPECT_EQ(agg, 5);
  EXPECT_EQ(bins.RecordCount(), 6);
  EXPECT_TRUE(cube.Value(agg, 0).IsNull());  // no key values in an aggregate
  EXPECT_EQ(cube.Value(agg, 1).AsDouble(), 7.5);
  EXPECT_EQ(cube.Value(agg, 2).AsInteger(), 3);
  EXPECT_EQ(cube.Value(agg, 3).AsCurrency().raw, -5000);
  EXPECT_EQ(cube.Value(agg, 4).AsDate(), EncodeDate(2005, 2, 2));
  EXPECT_EQ(cube.Value(agg, 6).AsDouble(), 2.5);
  EXPECT_EQ(cube.Value(agg, 7).AsCurrency().raw, 17500);
  EXPECT_EQ(cube.Text(agg, 7), "1.75");

  // An aggregate of aggregates is exact: sums and counts add up again.
  const uint8_t* again[] = {bins.Record(agg), bins.Record(3)};
  const int32_t all = bins.AddAggregate(again, 2);
  EXPECT_EQ(cube.Value(all, 2).AsInteger(), 3);
  EXPECT_EQ(cube.Value(all, 6).AsDouble(), 2.5);

  // Over records without any value: every summary stays Null, and the
  // average is Null instead of a division by zero.
  const uint8_t* empty[] = {bins.Record(3), bins.Record(4)};
  const int32_t none = bins.AddAggregate(empty, 2);
  for (int column : {1, 2, 3, 4, 6, 7}) {
    EXPECT_TRUE(cube.Value(none, column).IsNull()) << column;
    EXPECT_EQ(cube.Text(none, column), "<NULL>") << column;
  }
}

TEST(BinTable, StringAndBooleanSummariesCannotBeAggregated) {
  MemCube cube;
  cube.Column("Kind", ftInteger);
  cube.Column("Name", ftString, 10);
  cube.Row({1, "x"});
  cube.Row({1, "a"});
  cube.Row({2, "m"});
  cube.Item("Kind", dimDimension);
  cube.Item("Name", dimMin);
  cube.Open();
  // Within a bin the minimum of strings works...
  EXPECT_EQ(cube.Value(0, 1).AsString(), "a");
  // ...a total over bins does not.
  const uint8_t* both[] = {cube.Bins().Record(0), cube.Bins().Record(1)};
  try {
    cube.Bins().AddAggregate(both, 2);
    FAIL();
  } catch (const EHyError& e) {
    EXPECT_EQ(e.Message(), "Field Data Type 'String' - unsupported");
  }
}

TEST(BinTable, RecordLayoutPacksColumnsByWidth) {
  MemCube cube;
  cube.Column("Name", ftString, 10);
  cube.Column("Small", ftSmallint);
  cube.Column("Amount", ftFloat);
  cube.Item("Name", dimDimension);   // 4 bytes
  cube.Item("Small", dimDimension);  // 2 bytes
  cube.Item("Amount", dimSum);       // 8 bytes
  cube.Item("Amount", dimCount);     // 4 bytes
  cube.Row({"x", Variant::Smallint(3), 1.0});
  cube.Open();
  const TBinTable& bins = cube.Bins();
  // 2-byte base (4+0+1)>>1 = 2, 4-byte base (2+1+1)>>1 = 2, 8-byte base
  // (2+2+1)>>1 = 2, record 16*((2+1+1)>>1) = 32 bytes.
  EXPECT_EQ(bins.RecordSize(), 32);
  const TBinFields& f = bins.Fields();
  EXPECT_EQ(f[0]->Slot(), 2);
  EXPECT_EQ(f[0]->Offset(), 8);
  EXPECT_EQ(f[1]->Slot(), 2);
  EXPECT_EQ(f[1]->Offset(), 4);
  EXPECT_EQ(f[2]->Slot(), 2);
  EXPECT_EQ(f[2]->Offset(), 16);
  EXPECT_EQ(f[3]->Slot(), 3);
  EXPECT_EQ(f[3]->Offset(), 12);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f[i]->NullBit(), i);
  // All bits set except the count column's.
  EXPECT_EQ(bins.NullTemplate(), 0xFFFFFFF7u);
  EXPECT_EQ(f[0]->Role(), brKey);
  EXPECT_EQ(f[2]->Role(), brSum);
  EXPECT_EQ(f[3]->Role(), brCount);
}

TEST(BinTable, RefusesMoreThan32ColumnsAndUnsupportedTypes) {
  MemCube cube;
  cube.store.SetMaxSummaries(20);
  cube.Column("Kind", ftInteger);
  cube.Column("Amount", ftFloat);
  cube.Column("Picture", ftBlob);
  cube.Row({1, 1.0, "raw"});
  for (int i = 0; i < 5; ++i) cube.Item("Kind", dimDimension).SetValueCount(1);
  for (int i = 0; i < 14; ++i) cube.Item("Amount", dimAverage);  // 28 columns
  EXPECT_EQ(cube.OpenError(), "BinTable support up to 32 fields");

  cube.store.DimensionMap().Clear();
  for (int i = 0; i < 5; ++i) cube.Item("Kind", dimDimension).SetValueCount(1);
  for (int i = 0; i < 13; ++i) cube.Item("Amount", dimAverage);  // 26 + 1 = 32 fit
  cube.Item("Amount", dimSum);
  EXPECT_EQ(cube.OpenError(), "");
  EXPECT_EQ(cube.Bins().Fields().Count(), 32);
  cube.store.SetActive(false);

  cube.store.DimensionMap().Clear();
  cube.Item("Kind", dimDimension);
  cube.Item("Picture", dimMax);
  EXPECT_EQ(cube.OpenError(), "Field Data Type 'Blob' - unsupported");
  // A count of any field counts its values.
  cube.store.DimensionMap().Clear();
  cube.Item("Kind", dimDimension);
  cube.Item("Picture", dimCount);
  EXPECT_EQ(cube.OpenError(), "");
  EXPECT_EQ(cube.Value(0, 1).AsInteger(), 1);
}

TEST(BinTable, MonthBinsGroupDatesOfOneMonth) {
  MemCube cube;
  cube.Column("Sold", ftDate);
  cube.Column("Qty", ftInteger);
  cube.Row({Date(2004, 1, 28), 1});
  cube.Row({Date(2004, 2, 1), 10});
  cube.Row({Date(2004, 1, 3), 100});
  cube.Item("Sold", dimDimension).SetBinType(binMonth);
  cube.Item("Qty", dimSum);
  cube.Open();
  ASSERT_EQ(cube.Bins().RecordCount(), 2);
  EXPECT_EQ(cube.Value(0, 0).AsDate(), EncodeDate(2004, 1, 1));
  EXPECT_EQ(cube.Value(0, 1).AsInteger(), 101);
  EXPECT_EQ(cube.Value(1, 0).AsDate(), EncodeDate(2004, 2, 1));
  EXPECT_EQ(cube.Cache().Dimensions(0)->GetValueCaption(0), "Jan, 2004");
}

TEST(BinTable, IntegerSumsDoNotWrapAround) {
  MemCube cube;
  cube.Column("Kind", ftInteger);
  cube.Column("Qty", ftInteger);
  cube.Column("Small", ftSmallint);
  for (int i = 0; i < 3; ++i) cube.Row({1, 2000000000, Variant::Smallint(30000)});
  cube.Item("Kind", dimDimension);
  cube.Item("Qty", dimSum);
  cube.Item("Small", dimSum);
  cube.Item("Small", dimMax);
  cube.Open();
  EXPECT_EQ(cube.Value(0, 1).AsInt64(), 6000000000);
  EXPECT_EQ(cube.Text(0, 2), "90000");
  EXPECT_EQ(cube.Value(0, 3).VarType(), varSmallint);
}

TEST(BinTable, ZeroAndNegativeZeroAreOneKey) {
  MemCube cube;
  cube.Column("Rate", ftFloat);
  cube.Column("Qty", ftInteger);
  cube.Row({0.0, 1});
  cube.Row({-0.0, 2});
  cube.Row({1.0, 4});
  cube.Item("Rate", dimDimension);
  cube.Item("Qty", dimSum);
  cube.Open();
  // The value array holds 0 once, so the bins must too, or the cell index
  // would lose a record.
  ASSERT_EQ(cube.Bins().RecordCount(), 2);
  EXPECT_EQ(cube.Value(0, 1).AsInteger(), 3);
  EXPECT_EQ(cube.Cache().Dimensions(0)->GetValueCount(), 2);
}

TEST(BinTable, ManyCombinationsComeOutSortedAndComplete) {
  MemCube cube;
  cube.Column("A", ftInteger);
  cube.Column("B", ftString, 8);
  cube.Column("Qty", ftInteger);
  // 3000 distinct keys in scrambled order, each seen twice.
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 3000; ++i) {
      const int k = (i * 7919) % 3000;
      cube.Row({k % 50 == 0 ? Variant::Null() : Variant(k / 30),
                Variant("s" + std::to_string(k % 30)), 1});
    }
  }
  cube.Item("A", dimDimension);
  cube.Item("B", dimDimension);
  cube.Item("Qty", dimSum);
  cube.Open();
  TBinTable& bins = cube.Bins();
  ExpectStrictlyOrdered(bins);
  int64_t total = 0;
  for (int32_t r = 0; r < bins.RecordCount(); ++r) total += cube.Value(r, 2).AsInt64();
  EXPECT_EQ(total, 6000);
  // 2940 keys with a value in A; the 60 keys with a Null A have 3 B values.
  EXPECT_EQ(bins.RecordCount(), 2943);
}

TEST(BinTable, WideKeysOfEveryKindSortAsTheValueArrays) {
  MemCube cube;
  cube.Column("F", ftFloat);
  cube.Column("L", ftLargeint);
  cube.Column("D", ftDateTime);
  cube.Column("S", ftSmallint);
  cube.Column("W", ftWord);
  cube.Column("B", ftBoolean);
  cube.Column("Qty", ftInteger);
  uint32_t x = 12345;
  auto next = [&] { return x = x * 1103515245u + 12345u, (x >> 16) % 7; };
  auto orNull = [&](Variant v) { return next() == 0 ? Variant::Null() : v; };
  for (int i = 0; i < 2000; ++i) {
    cube.Row({orNull(static_cast<double>(next()) - 3.5),
              orNull(Variant(static_cast<int64_t>(next()) - (int64_t{1} << 40))),
              orNull(Variant::Date(EncodeDate(2004, 1, 1) + next() * 0.25)),
              orNull(Variant::Smallint(static_cast<int16_t>(next()) - 3)),
              orNull(static_cast<int32_t>(next()) * 9000), orNull(next() % 2 == 0), 1});
  }
  for (const char* field : {"F", "L", "D", "S", "W", "B"})
    cube.Item(field, dimDimension).SetValueCount(7);
  cube.store.SetMaxDimensions(6);
  cube.Item("Qty", dimSum);
  cube.Open();  // the cell index is built in one pass over the records
  TBinTable& bins = cube.Bins();
  ExpectStrictlyOrdered(bins);
  int64_t total = 0;
  for (int32_t r = 0; r < bins.RecordCount(); ++r) total += cube.Value(r, 6).AsInt64();
  EXPECT_EQ(total, 2000);
  TCoords all(6, -1);
  EXPECT_EQ(cube.Cache().GetSummaryValue(all).AsInt64(), 2000);
}

// The sort packs each key column into as many bits as its range needs:
// extreme values use the full width and push later columns across word
// boundaries; a column without Nulls has no presence bit, one with Nulls
// does.
TEST(BinTable, KeysOfFullRangeAndNarrowRangeSortAcrossWordBoundaries) {
  MemCube cube;
  cube.Column("L", ftLargeint);
  cube.Column("F", ftFloat);
  cube.Column("I", ftInteger);
  cube.Column("Qty", ftInteger);
  const int64_t longs[] = {INT64_MIN, -1, 0, 1, INT64_MAX};
  const double floats[] = {-1.7e308, -2.5, -0.0, 1e-50, 3.25, 1.7e308};
  int rows = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 6; ++j)
        for (int k = 0; k < 3; ++k, ++rows)
          cube.Row({Variant(longs[(i * 3 + pass) % 5]), floats[(j * 5 + k) % 6],
                    k == 2 ? Variant::Null() : Variant(int32_t{1000000 + k}), 1});
  // The narrow column first, so that both wide ones straddle two words.
  cube.Item("I", dimDimension).SetValueCount(3);
  cube.Item("L", dimDimension).SetValueCount(5);
  cube.Item("F", dimDimension).SetValueCount(6);
  cube.Item("Qty", dimSum);
  cube.Open();
  TBinTable& bins = cube.Bins();
  ExpectStrictlyOrdered(bins);
  EXPECT_EQ(bins.RecordCount(), 5 * 6 * 3);
  int64_t total = 0;
  for (int32_t r = 0; r < bins.RecordCount(); ++r) total += cube.Value(r, 3).AsInt64();
  EXPECT_EQ(total, rows);
  // Key columns in the items' order: I, L, F.
  EXPECT_TRUE(cube.Value(0, 0).IsNull());  // Nulls first
  EXPECT_EQ(cube.Value(0, 1).AsInt64(), INT64_MIN);
  EXPECT_EQ(cube.Value(bins.RecordCount() - 1, 2).AsDouble(), 1.7e308);
}

TEST(BinTable, ScanReportsProgressAndAlwaysEnablesControls) {
  MemCube cube;
  cube.Column("Kind", ftInteger);
  cube.Column("Qty", ftInteger);
  for (int i = 0; i < 10000; ++i) cube.Row({i % 3, i});
  cube.Item("Kind", dimDimension);
  cube.Item("Qty", dimSum);

  ScriptedProgress progress;
  test::UseProgress use(progress);
  cube.Open();
  EXPECT_FALSE(cube.data.ControlsDisabled());
  ASSERT_FALSE(progress.Calls().empty());
  EXPECT_EQ(progress.Calls()[0].kind, ScriptedProgress::Kind::Status);
  EXPECT_EQ(progress.Calls()[0].text, "Scanning data set values...");
  std::vector<int64_t> counts;
  for (const auto& call : progress.Calls())
    if (call.kind == ScriptedProgress::Kind::Count) counts.push_back(call.n);
  EXPECT_EQ(counts, (std::vector<int64_t>{4096, 8192}));
  cube.store.SetActive(false);

  ScriptedProgress canceling;
  canceling.CancelAtCount(8192);
  test::UseProgress useCanceling(canceling);
  EXPECT_THROW(cube.Open(), EUserCanceled);
  EXPECT_FALSE(cube.store.Active());
  EXPECT_FALSE(cube.data.ControlsDisabled());
  EXPECT_EQ(canceling.CountOf(ScriptedProgress::Kind::Count), 2);
}

}  // namespace
}  // namespace hy
