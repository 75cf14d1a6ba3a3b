// Oracle: for a generated table, every data cell of the pivot equals
// SQLite's SUM over exactly the rows the cell stands for, and every axis has
// exactly the positions the data calls for, through a series of pivots
// (subtotals on both axes, drilled and fixed values, closed dimensions,
// sparse rows, a Null dimension value).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/DateUtils.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"
#include "support/MapItems.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

// Dimensions in cube order and the SQL expression each one groups by.
const char* const kDimExpr[] = {"Region", "substr(SaleDate, 1, 7)", "Kind"};

class PivotOracle : public ::testing::Test {
protected:
  void SetUp() override {
    std::mt19937 random(20040101);
    const char* const regions[] = {"North", "South", "East", "West"};
    std::string sql =
        "CREATE TABLE sales (Region VARCHAR(10), SaleDate DATE, Kind INTEGER, Amount REAL);"
        "BEGIN;";
    for (int i = 0; i < 400; ++i) {
      // A few Null regions; eight months from November 2003; sparse kinds.
      const int r = static_cast<int>(random() % 41);
      const std::string region = r == 40 ? "NULL" : Format("'%s'", regions[r % 4]);
      int year = 0, month = 0, day = 0;
      DecodeDate(EncodeDate(2003, 11, 1) + static_cast<double>(random() % 242), year, month, day);
      const int kind = 1 + static_cast<int>(random() % 5) * static_cast<int>(random() % 2);
      const double amount = static_cast<double>(random() % 100000) / 100.0;
      sql += Format("INSERT INTO sales VALUES (%s, '%04d-%02d-%02d', %d, %.2f);", region.c_str(),
                    year, month, day, kind, amount);
    }
    sql += "INSERT INTO sales VALUES (NULL, '2004-02-29', 7, 0.1);COMMIT;";
    db.Exec(sql);

    table = db.Table("sales", &owner).release();
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(table);
    AddItem("Region", "Region", dimDimension);
    AddItem("Month", "SaleDate", dimDimension)->SetBinType(binMonth);
    AddItem("Kind", "Kind", dimDimension);
    AddItem("Amount", "Amount", dimSum);
    source = new THySource(&owner);
    source->SetDecisionCube(cube);
    cube->SetActive(true);
    ASSERT_TRUE(source->IsActive());
  }

  THyMapItem* AddItem(const std::string& name, const std::string& field, TDimFlags type) {
    return test::AddMapItem(cube->DimensionMap(), name, field, type);
  }

  // The SQL condition for value `v` of dimension `dim`, from the value the
  // source shows for it.
  std::string Condition(int32_t dim, int32_t v) const {
    const Variant value = source->GetValueVariant(dim, v);
    if (value.IsNull()) return Format("%s IS NULL", kDimExpr[dim]);
    if (dim == 1) {
      int year = 0, month = 0, day = 0;
      DecodeDate(value.AsDate(), year, month, day);
      EXPECT_EQ(day, 1);
      return Format("%s = '%04d-%02d'", kDimExpr[dim], year, month);
    }
    if (dim == 2) return Format("Kind = %d", value.AsInteger());
    return Format("Region = '%s'", value.AsString().c_str());
  }

  // Conditions of the drilled (and, for cells, fixed) dimensions.
  std::string Restrictions(bool withFixed) const {
    std::string where = "1";
    for (int32_t d = 0; d < source->DimensionCount(); ++d) {
      const TDimInfo& info = source->DimInfo(d);
      if (info.State == TDimState::Drilled || (withFixed && info.State == TDimState::Fixed))
        where += " AND " + Condition(d, info.Value);
    }
    return where;
  }

  // The conditions of one axis position, read from the headers.
  std::string AxisConditions(TDimAxis axis, int32_t pos) const {
    std::string where;
    const TDimInfoList& list = source->AxisList(axis);
    for (int32_t level = 0; level < list.ActiveCount(); ++level) {
      bool isSum = false, isStart = false;
      const int16_t v = source->GetHeaderValue(axis, level, pos, isSum, isStart);
      if (v >= 0) where += " AND " + Condition(list[list.PositionOfActive(level)]->DimIndex, v);
    }
    return where;
  }

  // SUM(Amount) where `where` holds; false for no rows (NULL).
  bool Sum(const std::string& where, double& sum) const {
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT SUM(Amount) FROM sales WHERE " + where;
    EXPECT_EQ(sqlite3_prepare_v2(db.Handle(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const bool any = sqlite3_column_type(stmt, 0) != SQLITE_NULL;
    sum = sqlite3_column_double(stmt, 0);
    sqlite3_finalize(stmt);
    return any;
  }

  int64_t Scalar(const std::string& sql) const {
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db.Handle(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const int64_t value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
  }

  // Positions of an axis: one per distinct value path of every depth (the
  // deeper paths are details, the shorter ones their subtotals) plus the
  // grand total; with empty combinations kept, every path of the values.
  int32_t ExpectedCount(TDimAxis axis, bool sparse) const {
    const TDimInfoList& list = source->AxisList(axis);
    int64_t count = 1;
    std::string columns;
    int64_t product = 1;
    for (int32_t level = 0; level < list.ActiveCount(); ++level) {
      const int32_t dim = list[list.PositionOfActive(level)]->DimIndex;
      if (sparse) {
        product *= source->GetDimension(dim)->GetValueCount();
        count += product;
        continue;
      }
      columns += std::string(columns.empty() ? "" : ", ") + kDimExpr[dim];
      count += Scalar("SELECT COUNT(*) FROM (SELECT DISTINCT " + columns + " FROM sales WHERE " +
                      Restrictions(false) + ")");
    }
    return static_cast<int32_t>(count);
  }

  void CheckPivot(const char* what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(source->RowCount(), ExpectedCount(TDimAxis::Rows, source->SparseRows()));
    ASSERT_EQ(source->ColCount(), ExpectedCount(TDimAxis::Cols, source->SparseCols()));
    const std::string fixed = Restrictions(true);
    int checked = 0;
    for (int32_t row = 0; row < source->RowCount(); ++row) {
      const std::string rowWhere = AxisConditions(TDimAxis::Rows, row);
      for (int32_t col = 0; col < source->ColCount(); ++col) {
        const std::string where = fixed + rowWhere + AxisConditions(TDimAxis::Cols, col);
        double expected = 0;
        const bool any = Sum(where, expected);
        const Variant value = source->GetCellValue(row, col);
        if (!any) {
          EXPECT_TRUE(value.IsEmpty() || value.IsNull()) << where << " gave " << value.ToText();
          continue;
        }
        ASSERT_FALSE(value.IsEmpty() || value.IsNull()) << where;
        EXPECT_NEAR(value.AsDouble(), expected, 1e-6 * std::max(1.0, std::fabs(expected))) << where;
        ++checked;
      }
    }
    EXPECT_GT(checked, 0);
  }

  test::TestDatabase db;
  TComponent owner;
  TTable* table = nullptr;
  THyCube* cube = nullptr;
  THySource* source = nullptr;
};

TEST_F(PivotOracle, EveryCellEqualsTheSqlAggregateOfItsRows) {
  // Fresh placement: Region on the columns, Month open and Kind closed on
  // the rows.
  ASSERT_EQ(source->DimInfo(0).Axis, TDimAxis::Cols);
  ASSERT_EQ(source->DimInfo(2).State, TDimState::Closed);
  EXPECT_EQ(source->GetValueText(0, 0), "Null");
  CheckPivot("fresh");

  source->ToggleDimension(TDimAxis::Rows, 1, false);
  CheckPivot("month and kind on the rows, subtotals on both axes");

  source->MoveDimension(TDimAxis::Rows, TDimAxis::Cols, false, -1, 1);
  CheckPivot("region and kind on the columns");

  source->SelectValue(2, 2);
  CheckPivot("kind drilled");

  source->ToggleDimension(TDimAxis::Cols, 0, false);
  CheckPivot("region closed: no open column");

  source->ToggleDimension(TDimAxis::Cols, 0, false);
  source->SwapDimensions(TDimAxis::Rows, TDimAxis::Cols, false, 0, 0);
  CheckPivot("month and region swapped");

  source->SetDimensionInfo("(1 0 1 0 -1 'Region' 2 0 1 0 -1 'Month' 2 -1 4 1 1 'Kind')");
  CheckPivot("kind fixed");

  source->SetDimensionInfo("(1 0 1 0 -1 'Region' 2 0 1 0 -1 'Month' 1 1 1 1 -1 'Kind')");
  source->SetSparseRows(true);
  CheckPivot("sparse rows");
  source->SetSparseCols(true);
  source->SelectValue(0, 0);
  CheckPivot("sparse both, region drilled to Null");
}

}  // namespace
}  // namespace hy
