// The bin table's load through plain field reads against the load through
// Variants: a dataset that offers no plain reads must give the same bins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/StrUtils.h"
#include "cube/CubeTestSupport.h"

namespace hy::test {
namespace {

// The same rows, read only through Value().
class VariantOnlyDataSet : public TMemDataSet {
public:
  bool GetFieldData(const TField&, TFieldData&) const override { return false; }
};

struct ItemSpec {
  const char* field;
  TDimFlags type;
  TBinType bins = binNone;
};

void FillRows(TMemDataSet& data, int rows = 400) {
  data.AddColumn("Int", ftInteger);
  data.AddColumn("Small", ftSmallint);
  data.AddColumn("Word", ftWord);
  data.AddColumn("Big", ftLargeint);
  data.AddColumn("Price", ftFloat);
  data.AddColumn("Sold", ftDate);
  data.AddColumn("Stamp", ftDateTime);
  data.AddColumn("Name", ftString, 10);
  std::mt19937 random(20240917);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const double prices[] = {0.0, -0.0, 2.5, -1.25, std::nan(""), 1e300};
  const char* names[] = {"b", "a", "B", "", "\xC3\xA9t\xC3\xA9", "a "};
  for (int r = 0; r < rows; ++r) {
    const int64_t row = data.AppendRow();
    auto set = [&](int column, const Variant& v) {
      if (pick(10) > 0) data.SetValue(row, column, v);  // else Null
    };
    set(0, Variant(pick(5) - 2 + (pick(2) ? INT32_MAX - 3 : 0)));
    set(1, Variant::Smallint(static_cast<int16_t>(pick(4) * 10000 - 15000)));
    set(2, Variant(pick(3) * 30000));
    set(3, Variant(static_cast<int64_t>(pick(4) * 4000000000LL - 6000000000LL)));
    set(4, Variant(prices[pick(6)]));
    set(5, Variant::Date(EncodeDate(2003 + pick(2), 1 + pick(12), 1 + pick(28))));
    set(6, Variant::Date(EncodeDate(2004, 12, 20 + pick(12) % 12) + pick(4) / 4.0));
    set(7, Variant(names[pick(6)]));
  }
}

// Builds a cube of `items` over `data` and returns every bin as text, plus
// the cells' values of the first summary over all dimension values.
std::vector<std::string> Bins(TMemDataSet& data, const std::vector<ItemSpec>& items,
                              bool parallel = true) {
  TestStore store;
  store.SetShowProgressDialog(false);
  store.SetParallelLoad(parallel);
  store.SetDataSet(&data);
  int n = 0;
  for (const ItemSpec& def : items) {
    THyMapItem* item = store.DimensionMap().Add();
    item->SetName(std::string(def.field) + std::to_string(n++));
    item->SetDimensionType(def.type);
    item->SetFieldName(def.field);
    if (def.bins != binNone) item->SetBinType(def.bins);
  }
  store.SetActive(true);
  TBinTable& bins = *store.DataCache().BinTable();
  std::vector<std::string> out;
  for (int32_t r = 0; r < bins.RecordCount(); ++r) {
    bins.GoToRecord(r);
    std::string line;
    for (int32_t c = 0; c < bins.Fields().Count(); ++c) {
      const TBinField& f = *bins.Fields()[c];
      if (f.Hidden()) continue;
      const Variant v = f.ValueOrNull();
      line += std::string(VarTypeName(v.VarType())) + ":" + f.StringOrNull() + "|";
    }
    out.push_back(line);
  }
  return out;
}

// Keys of every kind with a grouped date; sums, a count, extremes, an average.
std::vector<ItemSpec> MixedMap() {
  return {{"Int", dimDimension},  {"Price", dimDimension}, {"Sold", dimDimension, binMonth},
          {"Name", dimDimension}, {"Int", dimSum},         {"Price", dimSum},
          {"Name", dimCount},     {"Big", dimMin},         {"Small", dimMax},
          {"Price", dimAverage}};
}

TEST(BinLoad, PlainReadsGiveTheBinsOfVariantReads) {
  TMemDataSet plain;
  FillRows(plain);
  VariantOnlyDataSet variants;
  variants.LoadFromDataSet(plain);
  const std::vector<std::vector<ItemSpec>> maps = {
      MixedMap(),
      {{"Small", dimDimension},
       {"Word", dimDimension},
       {"Big", dimDimension},
       {"Stamp", dimDimension, binWeek},
       {"Small", dimSum},
       {"Word", dimSum},
       {"Big", dimSum},
       {"Stamp", dimMax},
       {"Sold", dimCount}},
      {{"Sold", dimDimension, binQuarter}, {"Stamp", dimDimension, binYear}, {"Int", dimCount}},
      {{"Stamp", dimDimension}, {"Sold", dimDimension}, {"Price", dimMin}},
  };
  for (size_t m = 0; m < maps.size(); ++m) {
    SCOPED_TRACE("map " + std::to_string(m));
    const std::vector<std::string> expected = Bins(variants, maps[m]);
    const std::vector<std::string> actual = Bins(plain, maps[m]);
    ASSERT_GT(expected.size(), 3u);
    EXPECT_EQ(actual, expected);
  }
}

// The maps of the test above, over many batches of rows: the load on two
// threads gives exactly the bins of the load on one.
TEST(BinLoad, TwoThreadsGiveTheBinsOfOneOnRandomTables) {
  TMemDataSet data;
  FillRows(data, 3 * TBinTable::kLoadBatchRows * TBinTable::kLoadBatches + 123);
  const std::vector<std::vector<ItemSpec>> maps = {
      MixedMap(),
      {{"Small", dimDimension},
       {"Word", dimDimension},
       {"Big", dimDimension},
       {"Stamp", dimDimension},
       {"Small", dimSum},
       {"Big", dimSum},
       {"Sold", dimCount}},
      {{"Name", dimDimension},
       {"Sold", dimDimension, binWeek},
       {"Price", dimMax},
       {"Word", dimAverage}},
      {{"Int", dimDimension}, {"Name", dimMin}, {"Name", dimMax}},  // texts compared while merging
  };
  for (size_t m = 0; m < maps.size(); ++m) {
    SCOPED_TRACE("map " + std::to_string(m));
    const std::vector<std::string> one = Bins(data, maps[m], false);
    ASSERT_GT(one.size(), 5u);
    EXPECT_EQ(Bins(data, maps[m], true), one);
  }
}

// An engine that fails to read one row.
// Texts alike in length and in their first, middle and last bytes, the
// bytes the load's text memo goes by: each keeps a bin of its own, and the
// plain reads give the bins of the Variant reads.
TEST(BinLoad, TextsAlikeInTheirEndsKeepTheirOwnBins) {
  TMemDataSet plain;
  plain.AddColumn("Name", ftString, 10);
  plain.AddColumn("Amount", ftInteger);
  std::mt19937 random(7);
  std::vector<std::string> distinct;
  for (int r = 0; r < 3000; ++r) {
    std::string text = "KamaZ";
    text[1] = static_cast<char>('a' + random() % 26);
    text[3] = static_cast<char>('a' + random() % 26);
    distinct.push_back(text);
    plain.AppendRow({Variant(text), Variant(r)});
  }
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  VariantOnlyDataSet variants;
  variants.LoadFromDataSet(plain);
  const std::vector<ItemSpec> map = {
      {"Name", dimDimension}, {"Amount", dimSum}, {"Name", dimCount}};
  const std::vector<std::string> actual = Bins(plain, map);
  EXPECT_EQ(actual.size(), distinct.size());
  EXPECT_EQ(actual, Bins(variants, map));
}

class BrokenRowDataSet : public TMemDataSet {
public:
  explicit BrokenRowDataSet(int64_t brokenRecNo) : broken_(brokenRecNo) {}
  bool GetFieldData(const TField& field, TFieldData& data) const override {
    if (RecNo() == broken_)
      throw EDatabaseError(Format("row %d cannot be read", static_cast<int>(broken_)));
    return TMemDataSet::GetFieldData(field, data);
  }

private:
  int64_t broken_;
};

// A table of `rows` rows: K = row mod 1000, V = 1.
void Counted(MemCube& cube, int rows) {
  cube.Column("K", ftInteger);
  cube.Column("V", ftFloat);
  for (int r = 0; r < rows; ++r) cube.Row({r % 1000, 1.0});
  cube.Item("K", dimDimension);
  cube.Item("V", dimSum);
}

TEST(BinLoad, CancelAtAChosenBatchStopsBothThreadsAndLeavesTheCubeClosed) {
  for (int batch : {1, 3, 7}) {
    SCOPED_TRACE("batch " + std::to_string(batch));
    MemCube cube;
    Counted(cube, 20 * TBinTable::kLoadBatchRows);
    ScriptedProgress progress;
    progress.CancelAtCount(int64_t{batch} * TBinTable::kLoadBatchRows);
    {
      UseProgress use(progress);
      EXPECT_EQ(cube.OpenError(), kUserCanceledMessage);
    }
    EXPECT_FALSE(cube.store.Active());
    EXPECT_EQ(cube.store.events, std::vector<uint8_t>{});
    // The last count reported is the cancelled one: the scan went no further.
    ASSERT_FALSE(progress.Calls().empty());
    EXPECT_EQ(progress.Calls().back().kind, ScriptedProgress::Kind::Count);
    EXPECT_EQ(progress.Calls().back().n, int64_t{batch} * TBinTable::kLoadBatchRows);
    EXPECT_EQ(progress.CountOf(ScriptedProgress::Kind::Count), batch);
    // Nothing of the cancelled load is left running: the next open works.
    cube.Open();
    EXPECT_EQ(cube.Cache().GetSummaryValue({-1}).AsDouble(), 20.0 * TBinTable::kLoadBatchRows);
  }
}

TEST(BinLoad, ErrorsOfEitherThreadReachTheCallerAndLeaveTheCubeClosed) {
  const int rows = 10 * TBinTable::kLoadBatchRows;
  for (bool parallel : {true, false}) {
    SCOPED_TRACE(parallel ? "two threads" : "one thread");
    {
      // Raised while reading: the engine fails on a row late in the scan.
      BrokenRowDataSet data(rows - 5000);
      data.AddColumn("K", ftInteger);
      data.AddColumn("V", ftFloat);
      for (int r = 0; r < rows; ++r) data.AppendRow({r % 100, 1.0});
      TestStore store;
      store.SetShowProgressDialog(false);
      store.SetParallelLoad(parallel);
      store.SetDataSet(&data);
      for (const char* field : {"K", "V"}) {
        THyMapItem* item = store.DimensionMap().Add();
        item->SetName(field);
        item->SetFieldName(field);
        item->SetDimensionType(*field == 'K' ? dimDimension : dimSum);
      }
      try {
        store.SetActive(true);
        ADD_FAILURE() << "the broken row went unnoticed";
      } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "row 35960 cannot be read");
      }
      EXPECT_FALSE(store.Active());
    }
    {
      // Raised while making bins: a float sum beyond the double range.
      MemCube cube;
      cube.store.SetParallelLoad(parallel);
      cube.Column("K", ftInteger);
      cube.Column("V", ftFloat);
      for (int r = 0; r < rows; ++r)
        cube.Row({r % 7, r == rows / 2 || r == rows / 2 + 7 ? 1.5e308 : 1.0});
      cube.Item("K", dimDimension);
      cube.Item("V", dimSum);
      EXPECT_EQ(cube.OpenError(), "Floating point overflow");
      EXPECT_FALSE(cube.store.Active());
      // The same cube without the overflowing row opens.
      cube.data.SetValue(rows / 2, 1, Variant(1.0));
      cube.Open();
      EXPECT_EQ(cube.Cache().GetSummaryValue({-1}).AsDouble(), 1.5e308 + (rows - 1));
    }
  }
}

}  // namespace
}  // namespace hy::test
