// Oracle tests: the bin table and every cell of an opened cube against the
// aggregates SQLite computes with GROUP BY over the same rows.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/StrUtils.h"
#include "cube/CubeTestSupport.h"
#include "cube/HyMap.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

constexpr int kDims = 3;  // Region, Sold by month, Kind
// Summaries in cube order and the SQL that computes each over a group. A
// count over no values is Null in the cube, as it is in each bin.
const char* const kSummarySql[] = {"SUM(Amount)", "NULLIF(COUNT(Amount), 0)",
                                   "AVG(Amount)", "MIN(Amount)",
                                   "MAX(Amount)", "SUM(Qty)",
                                   "MAX(Qty)"};
constexpr int kSummaries = 7;
const char* const kDimSql[kDims] = {"Region", "substr(Sold, 1, 7)", "Kind"};

using Row = std::vector<Variant>;

class CubeOracle : public ::testing::Test {
protected:
  void SetUp() override {
    db.Exec(
        "CREATE TABLE t (Region VARCHAR(10), Sold DATE, Kind INTEGER, Amount REAL, Qty INTEGER)");
    std::mt19937 random(20040103);
    auto pick = [&](int n) { return static_cast<int>(random() % n); };
    auto maybeNull = [&](const std::string& sql) {
      return pick(10) == 0 ? std::string("NULL") : sql;
    };
    const char* regions[] = {"north", "North", "south", "East", "west", "Ost"};
    std::string sql = "BEGIN;";
    for (int i = 0; i < 4000; ++i) {
      const int month = pick(14);  // November 2003 .. December 2004
      const int year = month < 2 ? 2003 : 2004;
      const int m = month < 2 ? 11 + month : month - 1;
      sql += Format("INSERT INTO t VALUES (%s, %s, %s, %s, %s);",
                    maybeNull(Format("'%s'", regions[pick(6)])).c_str(),
                    maybeNull(Format("'%04d-%02d-%02d'", year, m, 1 + pick(28))).c_str(),
                    maybeNull(std::to_string(1 + pick(4))).c_str(),
                    // Quarters add up exactly in any order.
                    maybeNull(Format("%.2f", (pick(1000) - 200) * 0.25)).c_str(),
                    maybeNull(std::to_string(pick(60) - 5)).c_str());
    }
    // Rows whose summaries are all Null, in a group of their own.
    sql +=
        "INSERT INTO t VALUES ('Nowhere', '2004-06-06', 9, NULL, NULL);"
        "INSERT INTO t VALUES ('Nowhere', '2004-06-07', 9, NULL, NULL);"
        "COMMIT;";
    db.Exec(sql);

    table = db.Table("t");
    store.SetDataSet(table.get());
    store.SetShowProgressDialog(false);
    auto item = [&](const char* field, TDimFlags type) -> THyMapItem& {
      THyMapItem* it = store.DimensionMap().Add();
      it->SetName(Format("%s%d", field, store.DimensionMap().Count()));
      it->SetDimensionType(type);
      it->SetFieldName(field);
      return *it;
    };
    item("Region", dimDimension);
    item("Sold", dimDimension).SetBinType(binMonth);
    item("Kind", dimDimension);
    item("Amount", dimSum);
    item("Amount", dimCount);
    item("Amount", dimAverage);
    item("Amount", dimMin);
    item("Amount", dimMax);
    item("Qty", dimSum);
    item("Qty", dimMax);
    store.SetActive(true);
  }

  // GROUP BY over the dimensions in `grouped` (a bit per dimension); the
  // others are "*". Key -> the summaries.
  void Query(int grouped, std::map<std::string, Row>& groups) {
    std::string select, groupBy;
    for (int d = 0; d < kDims; ++d) {
      select += (grouped >> d) & 1 ? std::string(kDimSql[d]) : std::string("'*'");
      select += ", ";
      if ((grouped >> d) & 1)
        groupBy += (groupBy.empty() ? " GROUP BY " : ", ") + std::string(kDimSql[d]);
    }
    for (int s = 0; s < kSummaries; ++s) select += std::string(s ? ", " : "") + kSummarySql[s];
    const std::string sql = "SELECT " + select + " FROM t" + groupBy;
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.Handle(), sql.c_str(), -1, &statement, nullptr), SQLITE_OK);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::string key;
      for (int d = 0; d < kDims; ++d) key += KeyPart(Column(statement, d)) + "|";
      Row row;
      for (int s = 0; s < kSummaries; ++s) row.push_back(Column(statement, kDims + s));
      groups[key] = row;
    }
    sqlite3_finalize(statement);
  }

  static Variant Column(sqlite3_stmt* statement, int i) {
    switch (sqlite3_column_type(statement, i)) {
      case SQLITE_NULL: return Variant::Null();
      case SQLITE_INTEGER: return Variant(static_cast<int64_t>(sqlite3_column_int64(statement, i)));
      case SQLITE_FLOAT: return Variant(sqlite3_column_double(statement, i));
      default: return Variant(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
    }
  }

  // The text of a key value as both sides write it.
  static std::string KeyPart(const Variant& v) {
    if (v.IsNull()) return "<null>";
    if (v.VarType() == varDate) return FormatDateTime("yyyy-mm", v.AsDate());
    if (v.VarType() == varDouble) return FormatDateTime("yyyy-mm", v.AsDouble());  // a month value
    return v.AsString();
  }

  static void ExpectSame(const Variant& cube, const Variant& sql, const std::string& where) {
    if (sql.IsNull()) {
      EXPECT_TRUE(cube.IsNull()) << where << " cube " << cube.ToText();
      return;
    }
    ASSERT_FALSE(cube.IsNull() || cube.IsEmpty()) << where << " sql " << sql.ToText();
    const double a = cube.AsDouble(), b = sql.AsDouble();
    EXPECT_NEAR(a, b, 1e-9 * std::max(1.0, std::fabs(b))) << where;
  }

  test::TestDatabase db;
  std::unique_ptr<TTable> table;
  test::TestStore store;
};

TEST_F(CubeOracle, EveryBinEqualsItsGroup) {
  std::map<std::string, Row> groups;
  Query(7, groups);
  TBinTable& bins = *store.DataCache().BinTable();
  ASSERT_EQ(bins.RecordCount(), static_cast<int32_t>(groups.size()));
  // Bin columns: 3 keys, Sum, Count, hidden Sum, Avg, Min, Max, Sum, Max.
  const int columns[kSummaries] = {3, 4, 6, 7, 8, 9, 10};
  for (int32_t r = 0; r < bins.RecordCount(); ++r) {
    bins.GoToRecord(r);
    std::string key;
    for (int d = 0; d < kDims; ++d) key += KeyPart(bins.Fields()[d]->ValueOrNull()) + "|";
    auto it = groups.find(key);
    ASSERT_NE(it, groups.end()) << key;
    for (int s = 0; s < kSummaries; ++s) {
      bins.GoToRecord(r);
      ExpectSame(bins.Fields()[columns[s]]->ValueOrNull(), it->second[s],
                 key + " " + kSummarySql[s]);
    }
    if (r > 0) {
      EXPECT_LT(bins.CompareKeys(bins.Record(r - 1), bins.Record(r)), 0) << key;
    }
  }
}

TEST_F(CubeOracle, EveryCellSubtotalAndTotalEqualsItsGroup) {
  std::map<std::string, Row> groups;
  for (int grouped = 0; grouped < (1 << kDims); ++grouped) Query(grouped, groups);
  const TDataCache& cache = store.DataCache();
  ASSERT_EQ(cache.GetDimensionCount(), kDims);
  ASSERT_EQ(cache.GetSummaryCount(), kSummaries);

  std::vector<int32_t> counts(kDims);
  for (int d = 0; d < kDims; ++d) counts[d] = cache.Dimensions(d)->GetValueCount();
  EXPECT_EQ(counts[1], 15);  // 14 months and Null

  size_t cellsWithData = 0;
  TCoords coords(kDims, -1);
  for (;;) {
    std::string key;
    for (int d = 0; d < kDims; ++d)
      key +=
          (coords[d] < 0 ? std::string("*") : KeyPart(cache.Dimensions(d)->GetValue(coords[d]))) +
          "|";
    auto it = groups.find(key);
    if (it == groups.end()) {
      EXPECT_TRUE(cache.IsEmptyCell(coords)) << key;
      for (int s = 0; s < kSummaries; ++s)
        EXPECT_TRUE(cache.Summaries(s)->GetValue(coords).IsEmpty()) << key;
    } else {
      ++cellsWithData;
      for (int s = 0; s < kSummaries; ++s)
        ExpectSame(cache.Summaries(s)->GetValue(coords), it->second[s], key + " " + kSummarySql[s]);
    }
    int d = kDims - 1;
    while (d >= 0 && ++coords[d] >= counts[d]) coords[d--] = -1;
    if (d < 0) break;
  }
  EXPECT_EQ(cellsWithData, groups.size());
  EXPECT_EQ(cache.PendingCount(), 0);
}

}  // namespace
}  // namespace hy
