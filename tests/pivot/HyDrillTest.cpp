// Drill-through against an oracle: the rows listed for every cell of a pivot
// (data cells, subtotals, the grand total) are exactly the rows SQLite's own
// COUNT and SUM select for that cell, for an SQLite table and for the same
// rows in memory, with dates grouped by month, quarter, a shifted year and
// week, Null keys, and keys that would break SQL if pasted into it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "common/Currency.h"
#include "common/DateUtils.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"
#include "pivot/HyDrill.h"
#include "platform/db/MemDataSet.h"
#include "support/MapItems.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

// The day of SaleDate however it is stored (ISO text or a day number).
const char kDay[] =
    "date(CASE WHEN typeof(SaleDate) = 'text' THEN SaleDate ELSE SaleDate + 2415018.5 END)";

struct Totals {
  int64_t count = 0;
  double sum = 0;
};

class DrillOracle : public ::testing::Test {
protected:
  void SetUp() override {
    std::mt19937 random(7);
    const char* const regions[] = {"North", "South", "O'Brien; DROP TABLE sales", "West"};
    std::string sql =
        "CREATE TABLE sales (Region VARCHAR(30), SaleDate DATETIME, Amount REAL);BEGIN;";
    for (int i = 0; i < 300; ++i) {
      const int r = static_cast<int>(random() % 21);
      const std::string region =
          r == 20 ? "NULL" : "'" + StringReplaceAll(regions[r % 4], "'", "''") + "'";
      // Seventeen months from November 2003, times of day included; every
      // tenth date stored as a day number, as some files do.
      const double day = EncodeDate(2003, 11, 1) + static_cast<double>(random() % 520);
      const double time = static_cast<double>(random() % 1440) / 1440.0;
      std::string date;
      if (i % 10 == 0) {
        date = Format("%.10f", day + time);
      } else {
        int y, m, d, h, n, s, ms;
        DecodeDateTime(day + time + 1e-7, y, m, d, h, n, s, ms);
        date = Format("'%04d-%02d-%02d %02d:%02d:00'", y, m, d, h, n);
      }
      sql += Format("INSERT INTO sales VALUES (%s, %s, %.2f);", region.c_str(), date.c_str(),
                    static_cast<double>(random() % 100000) / 100.0);
    }
    // The last moment of a month and the first of the next.
    sql +=
        "INSERT INTO sales VALUES ('North', '2004-01-31 23:59:59', 1.5);"
        "INSERT INTO sales VALUES ('North', '2004-02-01 00:00:00', 2.5);COMMIT;";
    db.Exec(sql);
  }

  // A cube over `dataSet`: Region, SaleDate grouped by `bin`, sum of Amount.
  void Build(TDataSet* dataSet, TBinType bin, TDateTime start = 0) {
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(dataSet);
    test::AddMapItem(cube->DimensionMap(), "Region", "Region", dimDimension);
    THyMapItem* date = test::AddMapItem(cube->DimensionMap(), "Date", "SaleDate", dimDimension);
    date->SetBinType(bin);
    if (start != 0) date->SetStartDate(start);
    test::AddMapItem(cube->DimensionMap(), "Amount", "Amount", dimSum);
    source = new THySource(&owner);
    source->SetDecisionCube(cube);
    cube->SetActive(true);
    ASSERT_TRUE(source->IsActive());
  }

  Totals Sql(const std::string& where) const {
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT COUNT(*), TOTAL(Amount) FROM sales WHERE " + where;
    EXPECT_EQ(sqlite3_prepare_v2(db.Handle(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    Totals t{sqlite3_column_int64(stmt, 0), sqlite3_column_double(stmt, 1)};
    sqlite3_finalize(stmt);
    return t;
  }

  static Totals Listed(TDrillRows& rows) {
    Totals t;
    std::vector<std::vector<Variant>> page;
    bool more = true;
    while (more) {
      page.clear();
      more = rows.Fetch(7, page);  // small pages: the paging is part of the test
      for (const auto& row : page) {
        ++t.count;
        if (!row[2].IsNull()) t.sum += row[2].AsDouble();
      }
    }
    return t;
  }

  // Every cell of the pivot with Region on the columns and Date on the rows,
  // against SQLite with `dateKey` the SQL of a date group's label text and
  // `label` the same text of a dimension value.
  void CheckEveryCell(const std::string& dateKey,
                      const std::function<std::string(TDateTime)>& label) {
    source->SetDimensionInfo("(2 0 1 0 -1 'Region' 1 0 1 0 -1 'Date')");
    ASSERT_EQ(source->DimInfo(0).Axis, TDimAxis::Cols);
    int checked = 0;
    for (int32_t row = 0; row < source->RowCount(); ++row) {
      for (int32_t col = 0; col < source->ColCount(); ++col) {
        const TCoords coords = source->CellCoords(row, col);
        std::string where = "1";
        if (coords[0] >= 0) {
          const Variant v = source->GetValueVariant(0, coords[0]);
          where += v.IsNull() ? " AND Region IS NULL"
                              : " AND Region = '" + StringReplaceAll(v.AsString(), "'", "''") + "'";
        }
        if (coords[1] >= 0)
          where += " AND " + dateKey + " = '" +
                   label(source->GetValueVariant(1, coords[1]).AsDate()) + "'";
        const Totals expected = Sql(where);
        const TDrillFilter filter = DrillFilterForCoords(*source, coords);
        std::unique_ptr<TDrillRows> rows = OpenDrillRows(*source, filter);
        EXPECT_EQ(rows->Count(), expected.count) << where;
        const Totals listed = Listed(*rows);
        ASSERT_EQ(listed.count, expected.count) << where << " / " << filter.Describe();
        EXPECT_NEAR(listed.sum, expected.sum, 1e-6 * std::max(1.0, expected.sum)) << where;
        const Variant cell = source->GetCellValue(row, col);
        if (expected.count) {
          EXPECT_NEAR(cell.AsDouble(), expected.sum, 1e-6 * std::max(1.0, expected.sum));
        }
        checked += expected.count > 0;
      }
    }
    EXPECT_GT(checked, 20);
  }

  static std::string StringReplaceAll(std::string s, const std::string& from,
                                      const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
      s.replace(at, from.size(), to);
    return s;
  }

  test::TestDatabase db;
  TComponent owner;
  THyCube* cube = nullptr;
  THySource* source = nullptr;
};

std::string MonthLabel(TDateTime d) {
  int y, m, day;
  DecodeDate(d, y, m, day);
  return Format("%04d-%02d", y, m);
}

TEST_F(DrillOracle, EveryMonthCellOfTheTableListsTheRowsSqlCounts) {
  Build(db.Table("sales", &owner).release(), binMonth);
  CheckEveryCell(std::string("strftime('%Y-%m', ") + kDay + ")", MonthLabel);
}

TEST_F(DrillOracle, TheSameRowsInMemoryListTheSameCells) {
  std::unique_ptr<TTable> table = db.Table("sales");
  auto* memory = new TMemDataSet(&owner);
  memory->LoadFromDataSet(*table);
  Build(memory, binMonth);
  CheckEveryCell(std::string("strftime('%Y-%m', ") + kDay + ")", MonthLabel);
}

TEST_F(DrillOracle, QuartersAndAYearStartingInAprilKeepTheirRanges) {
  Build(db.Table("sales", &owner).release(), binQuarter);
  CheckEveryCell(std::string("strftime('%Y', ") + kDay + ") || '-' || ((CAST(strftime('%m', " +
                     kDay + ") AS INTEGER) + 2) / 3)",
                 [](TDateTime d) {
                   int y, m, day;
                   DecodeDate(d, y, m, day);
                   return Format("%04d-%d", y, (m + 2) / 3);
                 });
}

TEST_F(DrillOracle, AShiftedYearKeepsItsRange) {
  Build(db.Table("sales", &owner).release(), binYear, EncodeDate(2003, 4, 1));
  // A business year from 1 April is named after the calendar year it ends in.
  CheckEveryCell(std::string("CAST(CAST(strftime('%Y', ") + kDay +
                     ") AS INTEGER) + (CAST(strftime('%m', " + kDay +
                     ") AS INTEGER) >= 4) AS TEXT)",
                 [](TDateTime d) {
                   int y, m, day;
                   DecodeDate(d, y, m, day);
                   return Format("%d", y);
                 });
}

TEST_F(DrillOracle, WeeksListWhatTheirCellsSum) {
  Build(db.Table("sales", &owner).release(), binWeek);
  source->SetDimensionInfo("(2 0 1 0 -1 'Region' 1 0 1 0 -1 'Date')");
  int checked = 0;
  for (int32_t row = 0; row < source->RowCount(); ++row) {
    const TCoords coords = source->CellCoords(row, source->ColCount() - 1);
    std::unique_ptr<TDrillRows> rows =
        OpenDrillRows(*source, DrillFilterForCoords(*source, coords));
    const Totals listed = Listed(*rows);
    const Variant cell = source->GetCellValue(row, source->ColCount() - 1);
    ASSERT_GT(listed.count, 0);
    EXPECT_NEAR(listed.sum, cell.AsDouble(), 1e-6 * std::max(1.0, listed.sum));
    ++checked;
  }
  EXPECT_GT(checked, 60);
}

TEST_F(DrillOracle, KeysTravelAsParametersNeverAsSqlText) {
  Build(db.Table("sales", &owner).release(), binMonth);
  int32_t tricky = -1;
  for (int32_t v = 0; v < source->GetDimension(0)->GetValueCount(); ++v)
    if (source->GetValueText(0, v).find("O'Brien") != std::string::npos) tricky = v;
  ASSERT_GE(tricky, 0);
  TCoords coords(2, -1);
  coords[0] = static_cast<int16_t>(tricky);
  const TDrillFilter filter = DrillFilterForCoords(*source, coords);
  const TDrillSql sql = BuildDrillWhere(filter);
  EXPECT_EQ(sql.where.find("Brien"), std::string::npos) << sql.where;
  ASSERT_EQ(sql.params.size(), 1u);
  std::unique_ptr<TDrillRows> rows = OpenDrillRows(*source, filter);
  EXPECT_EQ(rows->Count(), Sql("Region = 'O''Brien; DROP TABLE sales'").count);
  EXPECT_GT(rows->Count(), 0);
}

TEST_F(DrillOracle, RowsOfAVanishedDatasetReportItInsteadOfReadingFreedMemory) {
  std::unique_ptr<TTable> table = db.Table("sales");
  auto memory = std::make_unique<TMemDataSet>();
  memory->LoadFromDataSet(*table);
  std::unique_ptr<TDrillRows> rows = OpenDrillRows(*memory, TDrillFilter{});
  std::vector<std::vector<Variant>> page;
  EXPECT_TRUE(rows->Fetch(10, page));
  EXPECT_EQ(page.size(), 10u);
  memory.reset();
  EXPECT_THROW(rows->Fetch(10, page), EDrillError);
}

TEST(DrillCell, CellsOutsideTheDataAreRefusedWithTheirRange) {
  THySource source;
  EXPECT_THROW(DrillFilterForCell(source, 0, 0), EDrillError);
}

TEST(DrillText, ValuesPrintInAFixedForm) {
  EXPECT_EQ(DrillValueText(Variant::Date(EncodeDate(2004, 3, 9))), "2004-03-09");
  EXPECT_EQ(DrillValueText(Variant::Date(EncodeDate(2004, 3, 9) + EncodeTime(13, 5, 7, 0))),
            "2004-03-09 13:05:07");
  EXPECT_EQ(DrillValueText(Variant(Currency::FromRaw(-12345))), "-1.2345");
  EXPECT_EQ(DrillValueText(Variant(Currency::FromRaw(150000))), "15");
  EXPECT_EQ(DrillValueText(Variant::Null()), "");
  EXPECT_EQ(DrillValueText(Variant(0.1)), "0.1");
}

}  // namespace
}  // namespace hy
