#include <gtest/gtest.h>

#include "common/Format.h"
#include "cube/HyStore.h"
#include "support/MapItems.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

// A store that records what the map asks of it.
class RecordingStore : public THyCustomStore {
public:
  using THyCustomStore::THyCustomStore;
  void Refresh(bool rebuild) override { refreshes.push_back(rebuild); }
  void NotifyDataSources(uint8_t) override {}
  std::vector<bool> refreshes;
};

class HyMapTest : public ::testing::Test {
protected:
  void SetUp() override {
    db.Exec(
        "CREATE TABLE sales (Region VARCHAR(10), Sold DATETIME, Qty INTEGER, Amount REAL, "
        "Price CURRENCY, Paid BOOLEAN);"
        "INSERT INTO sales VALUES ('North', '2004-01-03', 1, 10.5, 3.25, 1),"
        " ('South', '2004-02-28 10:00:00', 2, 20.0, 4.5, 0);"
        "CREATE TABLE vacant (Region VARCHAR(10), Amount REAL);"
        "CREATE TABLE regions (Code VARCHAR(10), Label VARCHAR(30));");
    table = db.Table("sales");
    store.SetDataSet(table.get());
  }

  THyMapItem& Add(const std::string& name, const std::string& field, TDimFlags type,
                  uint32_t values = 0) {
    THyMapItem* item = test::AddMapItem(map(), name, field, type);
    item->SetValueCount(values);
    return *item;
  }

  THyMap& map() { return store.DimensionMap(); }

  std::string ActivationError() {
    try {
      table->Open();
      map().SetActive(true);
    } catch (const Exception& e) {
      EXPECT_FALSE(map().Active());
      return e.Message();
    }
    return "";
  }

  test::TestDatabase db;
  std::unique_ptr<TTable> table;
  RecordingStore store;
};

TEST_F(HyMapTest, RequiresDimensionsAndSummaries) {
  Add("Amount", "Amount", dimSum);
  EXPECT_EQ(ActivationError(), "No dimension fields are defined. ");
  map().Clear();
  Add("Region", "Region", dimDimension);
  EXPECT_EQ(ActivationError(), "No summaries are defined. ");
}

TEST_F(HyMapTest, MissingOrClosedDataSetIsAnAssertion) {
  Add("Region", "Region", dimDimension);
  Add("Amount", "Amount", dimSum);
  try {
    map().SetActive(true);  // table still closed
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Unit(), "HyMap");
    EXPECT_NE(e.Message().find("DataSet not Active***"), std::string::npos);
  }
  store.SetDataSet(nullptr);
  EXPECT_THROW(map().SetActive(true), EAssertionFailed);
}

TEST_F(HyMapTest, UnknownValueCountIsEstimatedAtFifty) {
  store.SetMaxCells(1000);
  Add("Amount", "Amount", dimSum);
  Add("Region", "Region", dimDimension);  // 1 × 50 × 1 fits
  Add("Qty", "Qty", dimDimension);        // 50 × 50 × 1 does not
  EXPECT_EQ(ActivationError(), "");
  EXPECT_TRUE(map().Items(1)->Active());
  EXPECT_FALSE(map().Items(2)->Active());

  // A known value count replaces the estimate: 50 × 20 = 1000 fits exactly.
  map().SetActive(false);
  map().Items(2)->SetValueCount(20);
  EXPECT_EQ(ActivationError(), "");
  EXPECT_TRUE(map().Items(2)->Active());
}

TEST_F(HyMapTest, PreviouslyActiveItemsWinTheRoom) {
  store.SetMaxCells(100);
  Add("Amount", "Amount", dimSum);
  Add("Region", "Region", dimDimension, 60);
  Add("Qty", "Qty", dimDimension, 60);
  ASSERT_EQ(ActivationError(), "");
  EXPECT_TRUE(map().Items(1)->Active());
  EXPECT_FALSE(map().Items(2)->Active());

  // Next build: Qty was the active one (say, the user forced it once).
  map().SetActive(false);
  map().Items(1)->SetActive(false);
  map().Items(2)->SetActive(true);
  ASSERT_EQ(ActivationError(), "");
  EXPECT_FALSE(map().Items(1)->Active());
  EXPECT_TRUE(map().Items(2)->Active());

  // diActive goes before everything; diInactive is never tried.
  map().SetActive(false);
  map().Items(1)->SetActiveFlag(diActive);
  map().Items(2)->SetActiveFlag(diInactive);
  map().Items(2)->SetValueCount(1);
  ASSERT_EQ(ActivationError(), "");
  EXPECT_TRUE(map().Items(1)->Active());
  EXPECT_FALSE(map().Items(2)->Active());
}

TEST_F(HyMapTest, ForcedDimensionsBeforeAnySummaryStillMeetTheFinalCheck) {
  store.SetMaxCells(100);
  // Tried first, while no summary is active: Cells × n × 0 always fits.
  Add("Region", "Region", dimDimension, 200).SetActiveFlag(diActive);
  Add("Amount", "Amount", dimSum).SetActiveFlag(diActive);
  EXPECT_EQ(ActivationError(), "Not enough room available to load a summary. ");

  map().SetActive(false);
  map().Items(0)->SetValueCount(90);
  EXPECT_EQ(ActivationError(), "");
  map().SetActive(false);
  Add("Price", "Price", dimSum).SetActiveFlag(diActive);
  EXPECT_EQ(ActivationError(), "");  // 90 × 2 > 100: the second sum stays out
  EXPECT_FALSE(map().Items(2)->Active());
}

TEST_F(HyMapTest, LimitMessages) {
  Add("Amount", "Amount", dimSum);
  Add("Region", "Region", dimDimension, 2);
  Add("Qty", "Qty", dimDimension, 2);
  store.SetMaxDimensions(1);
  EXPECT_EQ(ActivationError(), "The maximum allowed dimensions of 1 has been exceeded.");
  store.SetMaxDimensions(5);
  Add("Price", "Price", dimSum);
  store.SetMaxSummaries(1);
  EXPECT_EQ(ActivationError(), "The maximum allowed summaries of 1 has been exceeded.");
  store.SetMaxSummaries(10);

  map().Clear();
  Add("Amount", "Amount", dimSum);
  Add("Region", "Region", dimDimension).SetActiveFlag(diInactive);
  EXPECT_EQ(ActivationError(), "Not enough space available to load a dimension. ");
}

TEST_F(HyMapTest, HugeValueCountsDoNotWrapAroundAndFit) {
  Add("Amount", "Amount", dimSum);
  Add("Region", "Region", dimDimension, 65536);
  Add("Qty", "Qty", dimDimension, 65536);
  // 65536 × 65536 is 2^32: in 32-bit arithmetic it wraps to 0 and would fit.
  ASSERT_EQ(ActivationError(), "");
  EXPECT_TRUE(map().Items(1)->Active());
  EXPECT_FALSE(map().Items(2)->Active());

  map().SetActive(false);
  map().Clear();
  Add("Region", "Region", dimDimension, 4000000000u).SetActiveFlag(diActive);
  Add("Qty", "Qty", dimDimension, 4000000000u).SetActiveFlag(diActive);
  Add("Amount", "Amount", dimSum).SetActiveFlag(diActive);
  EXPECT_EQ(ActivationError(), "Not enough room available to load a summary. ");
}

TEST_F(HyMapTest, EmptyDataSetIsAWarning) {
  table->Close();
  auto empty = db.Table("vacant");
  store.SetDataSet(empty.get());
  Add("Region", "Region", dimDimension);
  Add("Amount", "Amount", dimSum);
  empty->Open();
  try {
    map().SetActive(true);
    FAIL();
  } catch (const EHyMapWarn& e) {
    EXPECT_EQ(e.Message(), "Cannot build the Decision Cube with an empty data set");
  }
  store.SetDataSet(table.get());
}

TEST_F(HyMapTest, ResolveFixesDateGroupingAndMissingFields) {
  THyMapItem& region = Add("Region", "Region", dimDimension);
  region.SetBinType(binMonth);
  THyMapItem& sold = Add("Sold", "Sold", dimDimension);
  sold.SetBinType(binMonth);
  THyMapItem& ghost = Add("Ghost", "NoSuchField", dimDimension);
  Add("Amount", "Amount", dimSum);
  ASSERT_EQ(ActivationError(), "");
  EXPECT_EQ(region.BinType(), binNone);  // a text field cannot be grouped by month
  EXPECT_EQ(region.BinFormat(), "");
  EXPECT_EQ(sold.BinType(), binMonth);
  EXPECT_EQ(sold.BinFormat(), "mmm, yyyy");
  int y, m, d;
  DecodeDate(sold.StartDate(), y, m, d);  // calendar year of today
  EXPECT_EQ(m * 100 + d, 101);
  EXPECT_FALSE(ghost.Active());
  EXPECT_EQ(ghost.Field(), nullptr);

  EXPECT_THROW(region.SetName("Other"), EHyMapError);
  try {
    region.SetName("Other");
  } catch (const EHyMapError& e) {
    EXPECT_EQ(e.Message(), "DataStore in Active State");
  }
  map().SetActive(false);
  EXPECT_EQ(sold.Field(), nullptr);
  region.SetName("Other");
  EXPECT_EQ(region.Name(), "Other");
}

TEST_F(HyMapTest, SetterRules) {
  THyMapItem& sum = Add("Amount", "Amount", dimSum);
  try {
    sum.SetKind(dkLookup);
    FAIL();
  } catch (const EHyMapError& e) {
    EXPECT_EQ(e.Message(), "Amount: DimensionType dimDimension required");
  }
  try {
    sum.SetSumExpr("Amount * 2");
    FAIL();
  } catch (const EHyMapError& e) {
    EXPECT_EQ(e.Message(), "Invalid Summary Type");
  }
  try {
    sum.SetBinType(binSet);
    FAIL();
  } catch (const EHyMapError& e) {
    EXPECT_EQ(e.Message(), "binSet not implemented");
  }
  THyMapItem& derived = Add("Twice", "", dimDerived);
  derived.SetSumExpr("  Amount * 2 \t");
  EXPECT_EQ(derived.SumExpr(), "Amount * 2");
  EXPECT_EQ(derived.DisplayName(), "Amount * 2");
  EXPECT_EQ(sum.DisplayName(), "Sum(Amount)");

  THyMapItem& dim = Add("Region", "Region", dimDimension);
  dim.SetKind(dkLookup);
  dim.SetKeyFields("Code");
  dim.SetLookupResultField("Label");
  dim.SetDimensionType(dimDimension);  // resets the lookup
  EXPECT_EQ(dim.Kind(), dkDirect);
  EXPECT_EQ(dim.KeyFields(), "");
  EXPECT_EQ(dim.LookupResultField(), "");

  // With the dataset open a field name is checked at once.
  table->Open();
  EXPECT_THROW(dim.SetFieldName("NoSuchField"), EDatabaseError);
  EXPECT_EQ(dim.FieldName(), "Region");
  THyMapItem& blank = *map().Add();
  EXPECT_EQ(blank.DisplayName(), "THyMapItem");
}

TEST_F(HyMapTest, LookupMessages) {
  THyMapItem& dim = Add("Area", "Region", dimDimension);
  Add("Amount", "Amount", dimSum);
  dim.SetKind(dkLookup);
  EXPECT_EQ(ActivationError(), "Region: Lookup info incomplete");
  auto regions = db.Table("regions");
  dim.SetLookupDataSet(regions.get());
  dim.SetKeyFields("Key");
  dim.SetLookupResultField("Label");
  EXPECT_EQ(ActivationError(), "Area: Lookup Key \"Key\" not found");
  EXPECT_TRUE(regions->Active());  // the lookup dataset is opened by resolving
  dim.SetKeyFields("Code");
  dim.SetLookupResultField("Text");
  EXPECT_EQ(ActivationError(), "Area: Lookup Result \"Text\" not Found");
  dim.SetLookupResultField("Label");
  EXPECT_EQ(ActivationError(), "");
  map().SetActive(false);
  regions.reset();  // free notification clears the reference
  EXPECT_EQ(dim.LookupDataSet(), nullptr);
}

TEST_F(HyMapTest, ChangesAskTheActiveStoreToRefreshOrRebuild) {
  THyMapItem& region = Add("Region", "Region", dimDimension);
  Add("Amount", "Amount", dimSum);
  ASSERT_EQ(ActivationError(), "");
  store.refreshes.clear();
  region.SetCaption("Area");   // presentation only: views re-read
  region.SetBinType(binYear);  // structural: rebuild
  region.SetWidth(12);
  EXPECT_EQ(store.refreshes, (std::vector<bool>{false, true, false}));
  map().BeginUpdate();
  region.SetFormat("x");
  region.SetActiveFlag(diActive);
  map().EndUpdate();
  EXPECT_EQ(store.refreshes.size(), 4u);  // one report for the whole update
  EXPECT_TRUE(store.refreshes.back());
}

TEST_F(HyMapTest, CompileErrorsFailTheOpenWithTheLog) {
  Add("Region", "Region", dimDimension);
  Add("Amount", "Amount", dimSum);
  THyMapItem& derived = Add("Twice", "", dimDerived);
  derived.SetSumExpr("Amount *");
  const std::string message = ActivationError();
  EXPECT_EQ(message, store.Log().Text());
  EXPECT_EQ(message.rfind("[Error] Twice[", 0), 0u);
}

TEST(DimensionItemTest, DateGroupingWithBusinessYears) {
  THyMapItem item(nullptr);
  auto grouped = [&](int y, int m, int d) {
    Variant v = Variant::Date(EncodeDate(y, m, d) + 0.75);
    item.TransformValue(v);
    EXPECT_EQ(v.VarType(), varDate);
    return FormatDateTime("yyyy-mm-dd", v.AsDate());
  };
  item.SetBinType(binYear);
  item.SetStartDate(EncodeDate(2004, 4, 1));
  EXPECT_EQ(grouped(2005, 3, 31), "2005-01-01");
  EXPECT_EQ(grouped(2005, 4, 1), "2006-01-01");
  item.SetBinType(binMonth);
  EXPECT_EQ(grouped(2005, 3, 31), "2005-03-01");
  EXPECT_EQ(grouped(2005, 5, 17), "2006-05-01");
  item.SetBinType(binQuarter);
  EXPECT_EQ(grouped(2005, 5, 17), "2005-04-01");  // quarters ignore the start
  EXPECT_EQ(grouped(2005, 12, 31), "2005-10-01");

  item.SetStartDate(EncodeDate(2004, 1, 1));  // a 1 January start shifts nothing
  item.SetBinType(binMonth);
  EXPECT_EQ(grouped(2004, 1, 3), grouped(2004, 1, 28));
  EXPECT_EQ(grouped(2004, 1, 28), "2004-01-01");
  item.SetBinType(binWeek);
  EXPECT_EQ(grouped(2005, 1, 1), "2004-12-27");    // ISO week 53 of 2004
  EXPECT_EQ(grouped(2008, 12, 31), "2008-12-29");  // week 1 of 2009: its Monday

  // A shifted week year whose next year has no week 53 must still group.
  item.SetStartDate(EncodeDate(2004, 6, 1));
  EXPECT_EQ(grouped(2004, 12, 31), "2005-12-26");  // week 52 of 2005 stands for 53

  // Only date values are grouped.
  Variant text("2004-01-03");
  item.TransformValue(text);
  EXPECT_EQ(text.AsString(), "2004-01-03");
  Variant null = Variant::Null();
  item.TransformValue(null);
  EXPECT_TRUE(null.IsNull());
}

TEST(DimensionItemTest, CustomGroupingCallsTheHandler) {
  THyMapItem item(nullptr);
  item.SetBinType(binCustom);
  EXPECT_EQ(item.BinFormat(), "dd.mm.yy");
  Variant v = Variant::Date(EncodeDate(2004, 7, 9));
  item.TransformValue(v);  // no handler: unchanged
  EXPECT_EQ(v.AsDate(), EncodeDate(2004, 7, 9));
  item.SetOnTransform([](Variant& value, TDimensionItem&) { value = Variant::Date(1.0); });
  item.TransformValue(v);
  EXPECT_EQ(v.AsDate(), 1.0);
}

TEST(DimensionItemTest, AssignCopiesDesignButNotResolution) {
  THyMapItem a(nullptr), b(nullptr);
  a.SetName("Sold");
  a.SetFieldName("SaleDate");
  a.SetBinType(binWeek);
  a.SetStartDate(EncodeDate(2004, 4, 1));
  a.SetValueCount(52);
  a.SetCaption("Week");
  a.SetBinData(std::make_unique<TBinData>());
  a.BinData()->Strings = {"x"};
  b.Assign(a);
  EXPECT_EQ(b.Name(), "Sold");
  EXPECT_EQ(b.BinFormat(), "ddd dd.mm.yy");
  EXPECT_EQ(b.StartDateText(), "4/1/2004");
  EXPECT_EQ(b.ValueCount(), 52u);
  ASSERT_NE(b.BinData(), nullptr);
  EXPECT_NE(b.BinData(), a.BinData());
  EXPECT_EQ(b.BinData()->Strings, a.BinData()->Strings);
  EXPECT_EQ(b.BinData()->Caption, "Other Values");
}

TEST_F(HyMapTest, ValueCaptions) {
  THyMapItem& region = Add("Region", "Region", dimDimension);
  THyMapItem& sold = Add("Sold", "Sold", dimDimension);
  THyMapItem& amount = Add("Amount", "Amount", dimDimension);
  THyMapItem& price = Add("Price", "Price", dimDimension);
  THyMapItem& paid = Add("Paid", "Paid", dimDimension);
  Add("Qty", "Qty", dimSum);
  ASSERT_EQ(ActivationError(), "");
  EXPECT_EQ(region.FormatValue(Variant("North")), "North");
  EXPECT_EQ(sold.FormatValue(Variant::Date(EncodeDate(2004, 1, 3))), "1/3/2004");
  EXPECT_EQ(amount.FormatValue(Variant(10.5)), "10.5");
  EXPECT_EQ(price.FormatValue(Variant(Currency::FromDouble(3.25))), "$3.25");
  EXPECT_EQ(paid.FormatValue(Variant(true)), "True");
  amount.SetFormat("#,##0.00");
  EXPECT_EQ(amount.FormatValue(Variant(1234.5)), "1,234.50");
  sold.SetFormat("yyyy");
  EXPECT_EQ(sold.FormatValue(Variant::Date(EncodeDate(2004, 1, 3))), "2004");
  map().SetActive(false);
  sold.SetBinType(binMonth);  // the grouping's format wins over Format
  ASSERT_EQ(ActivationError(), "");
  EXPECT_EQ(sold.FormatValue(Variant::Date(EncodeDate(2004, 1, 1))), "Jan, 2004");
}

}  // namespace
}  // namespace hy
