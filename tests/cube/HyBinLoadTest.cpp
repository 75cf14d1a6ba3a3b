// The bin table's load through plain field reads against the load through
// Variants: a dataset that offers no plain reads must give the same bins.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

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

void FillRows(TMemDataSet& data) {
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
  for (int r = 0; r < 400; ++r) {
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
std::vector<std::string> Bins(TMemDataSet& data, const std::vector<ItemSpec>& items) {
  TestStore store;
  store.SetShowProgressDialog(false);
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

TEST(BinLoad, PlainReadsGiveTheBinsOfVariantReads) {
  TMemDataSet plain;
  FillRows(plain);
  VariantOnlyDataSet variants;
  variants.LoadFromDataSet(plain);
  const std::vector<std::vector<ItemSpec>> maps = {
      {{"Int", dimDimension},
       {"Price", dimDimension},
       {"Sold", dimDimension, binMonth},
       {"Name", dimDimension},
       {"Int", dimSum},
       {"Price", dimSum},
       {"Name", dimCount},
       {"Big", dimMin},
       {"Small", dimMax},
       {"Price", dimAverage}},
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

}  // namespace
}  // namespace hy::test
