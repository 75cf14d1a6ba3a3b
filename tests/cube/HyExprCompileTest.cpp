// Compiling derived summaries while a real map over a SQLite table resolves.
#include <gtest/gtest.h>

#include "cube/HyCommon.h"
#include "cube/HyExprParse.h"
#include "cube/HyStore.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

class PlainStore : public THyCustomStore {
public:
  void Refresh(bool) override {}
  void NotifyDataSources(uint8_t) override {}
};

class FakeSummary : public TCommonDimItem {
public:
  std::vector<Variant> values;
  Variant GetRecordValue(int32_t recNo) const override { return values.at(recNo); }
};

class ExprCompileTest : public ::testing::Test {
protected:
  void SetUp() override {
    db.Exec(
        "CREATE TABLE sales (Region VARCHAR(10), Amount REAL, Qty INTEGER);"
        "INSERT INTO sales VALUES ('North', 10.5, 1), ('South', 20.0, 2);");
    table = db.Table("sales");
    store.SetDataSet(table.get());
    table->Open();
  }

  THyMapItem& Add(const std::string& name, const std::string& field, TDimFlags type,
                  TActiveFlags flag = diAsNeeded) {
    THyMapItem* item = map().Add();
    item->SetName(name);
    item->SetDimensionType(type);
    item->SetFieldName(field);
    item->SetActiveFlag(flag);
    return *item;
  }
  THyMapItem& Derived(const std::string& name, const std::string& text,
                      TActiveFlags flag = diAsNeeded) {
    THyMapItem& item = Add(name, "", dimDerived, flag);
    item.SetSumExpr(text);
    return item;
  }

  THyMap& map() { return store.DimensionMap(); }

  std::string OpenError() {
    try {
      map().SetActive(true);
    } catch (const EHyMapError& e) {
      EXPECT_FALSE(map().Active());
      return e.Message();
    }
    return "";
  }

  test::TestDatabase db;
  std::unique_ptr<TTable> table;
  PlainStore store;
};

TEST_F(ExprCompileTest, CompiledTreesEvaluateThroughTheLinkedSummaries) {
  Add("Region", "Region", dimDimension);
  THyMapItem& total = Add("Total", "Amount", dimSum);
  THyMapItem& half = Derived("Half", "Total / 2");
  THyMapItem& quarter = Derived("Quarter", "Half / 2 + Total div 4");
  ASSERT_EQ(OpenError(), "");
  EXPECT_EQ(store.Log().ErrorCount(), 0);
  EXPECT_TRUE(half.Active());
  EXPECT_TRUE(quarter.Active());
  ASSERT_NE(ItemExpression(half), nullptr);
  EXPECT_TRUE(ItemExpression(quarter)->IsAvailable());
  EXPECT_NE(dynamic_cast<TDimSymbol*>(total.Symbol()), nullptr);

  FakeSummary totals, halves;
  totals.values = {Variant(10.5), Variant::Null()};
  totals.SetMapItem(&total);
  EXPECT_DOUBLE_EQ(ItemExpression(half)->Value(0).AsDouble(), 5.25);
  EXPECT_TRUE(ItemExpression(half)->Value(1).IsNull());
  halves.values = {Variant(5.25)};
  halves.SetMapItem(&half);
  EXPECT_DOUBLE_EQ(ItemExpression(quarter)->Value(0).AsDouble(), 2.625 + 2);

  // Closing drops trees and symbols; a reopen compiles afresh.
  map().SetActive(false);
  EXPECT_EQ(half.Expression(), nullptr);
  EXPECT_EQ(total.Symbol(), nullptr);
  ASSERT_EQ(OpenError(), "");
  EXPECT_NE(ItemExpression(half), nullptr);
}

TEST_F(ExprCompileTest, ErrorsOfEveryItemAreLoggedAndFailTheOpen) {
  Add("Region", "Region", dimDimension);
  Add("Total", "Amount", dimSum);
  THyMapItem& good = Derived("Good", "Total * 2");
  Derived("Bad", "sqrt(Total)");
  Derived("Worse", "Total +\r\n Region");
  const std::string message = OpenError();
  EXPECT_EQ(message,
            "[Error] Bad[0]: Undeclared identifier 'sqrt'\n"
            "[Error] Worse[1]: 'Region' is a dimension, not a summary");
  EXPECT_EQ(message, store.Log().Text());
  EXPECT_EQ(good.Expression(), nullptr);  // nothing half-compiled stays behind
  // The log is cleared by the next compile.
  map().Items(3)->SetSumExpr("Sqrt(Total)");
  map().Items(4)->SetSumExpr("Total - 1");
  EXPECT_EQ(OpenError(), "");
  EXPECT_EQ(store.Log().Lines().size(), 0u);
}

TEST_F(ExprCompileTest, ExternalsAreNumberedByLine) {
  store.Externals() = {"Twice", "", " Scale "};
  Add("Region", "Region", dimDimension);
  THyMapItem& total = Add("Total", "Amount", dimSum);
  THyMapItem& scaled = Derived("Scaled", "Scale(Total, 3) + Twice(1)");
  ASSERT_EQ(OpenError(), "");
  FakeSummary totals;
  totals.values = {Variant(4)};
  totals.SetMapItem(&total);
  store.SetOnCall([](int32_t pid, int32_t off, const TExprs& params) {
    if (pid == 0) return VarMul(params.Evaluate(0, off), Variant(2));
    EXPECT_EQ(pid, 2);
    return VarMul(params.Evaluate(0, off), params.Evaluate(1, off));
  });
  EXPECT_EQ(ItemExpression(scaled)->Value(0).AsInteger(), 14);
}

TEST_F(ExprCompileTest, RedeclaredNames) {
  store.Externals() = {"Twice", "Twice", "Total"};
  Add("Region", "Region", dimDimension);
  Add("Total", "Amount", dimSum);
  Derived("Half", "Total / 2");
  EXPECT_EQ(OpenError(),
            "[Error] Twice[0]: Identifier redeclared: 'Twice'\n"
            "[Error] Total[0]: Identifier redeclared: 'Total'");
  // Names are case-sensitive: "total" is another name.
  store.Externals() = {"total"};
  EXPECT_EQ(OpenError(), "");
}

TEST_F(ExprCompileTest, CircularReferencesAreRejected) {
  Add("Region", "Region", dimDimension);
  Add("Total", "Amount", dimSum);
  Derived("A", "Total + B");
  Derived("B", "1 +\r\n A * 2");
  Derived("C", "C");
  Derived("D", "A + Total");  // depends on the cycle but is not on it
  EXPECT_EQ(OpenError(),
            "[Error] A[0]: Circular reference through 'B'\n"
            "[Error] B[1]: Circular reference through 'A'\n"
            "[Error] C[0]: Circular reference through 'C'");
}

TEST_F(ExprCompileTest, CapacityPlanActivatesWhatADerivedSummaryRefersTo) {
  store.SetMaxCells(10);
  THyMapItem& region = Add("Region", "Region", dimDimension, diActive);
  region.SetValueCount(10);
  THyMapItem& other = Add("Other", "Qty", dimSum);
  THyMapItem& total = Add("Total", "Amount", dimSum);
  THyMapItem& half = Derived("Half", "Total / 2", diActive);
  // Forced first, the derived summary pulls Total in ahead of Other; it does
  // not fit itself (10 x 2 > 10), and Other no longer fits either.
  ASSERT_EQ(OpenError(), "");
  EXPECT_TRUE(region.Active());
  EXPECT_TRUE(total.Active());
  EXPECT_FALSE(other.Active());
  EXPECT_FALSE(half.Active());
  EXPECT_TRUE(ItemExpression(half)->IsAvailable());  // what it refers to is active
  map().SetActive(false);

  // With room, the derived summary is active and counts as no summary.
  store.SetMaxCells(20);
  ASSERT_EQ(OpenError(), "");
  EXPECT_TRUE(total.Active());
  EXPECT_TRUE(half.Active());
  EXPECT_TRUE(other.Active());
  map().SetActive(false);

  // A derived summary over an item without a field cannot be active.
  table->Close();  // an open dataset would reject the name at once
  total.SetFieldName("NoSuchField");
  table->Open();
  ASSERT_EQ(OpenError(), "");
  EXPECT_FALSE(total.Active());
  EXPECT_FALSE(half.Active());
  EXPECT_FALSE(ItemExpression(half)->IsAvailable());
  EXPECT_TRUE(other.Active());
}

}  // namespace
}  // namespace hy
