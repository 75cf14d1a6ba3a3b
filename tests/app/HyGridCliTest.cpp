// `hycube pivot` as a user runs it, checked against the demo table itself.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>

#include <QImageReader>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/ParseCsv.h"
#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

using test::CliResult;
using test::Hycube;

using test::Csv;
using test::ParseCsv;

double SqlValue(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  double value = NAN;
  if (sqlite3_step(stmt) == SQLITE_ROW) value = sqlite3_column_double(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return value;
}

std::string Money(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

class HyGridCli : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    folder_ = new test::TestDatabase("unused.db");
    const CliResult demo = Hycube("demo-db " + folder_->Folder() + "/demo");
    ASSERT_EQ(demo.status, 0) << demo.err;
  }
  static void TearDownTestSuite() { delete folder_; }

  static std::string DemoFile() { return folder_->Folder() + "/demo/orders.db"; }
  static std::string Demo() { return "--db " + DemoFile() + " --table orders "; }

  static test::TestDatabase* folder_;
};

test::TestDatabase* HyGridCli::folder_ = nullptr;

TEST_F(HyGridCli, PrintsTheDemoCrossTabWithTheTablesGrandTotal) {
  const CliResult run = Hycube("pivot " + Demo());
  ASSERT_EQ(run.status, 0) << run.err;
  const Csv csv = ParseCsv(run.out);
  ASSERT_GT(csv.size(), 50u);
  const size_t width = csv[0].size();
  ASSERT_EQ(width, 3u + 55u);  // outliner, SaleDate, Payment; 54 customers and the total
  for (const auto& row : csv) ASSERT_EQ(row.size(), width);
  EXPECT_EQ(csv[0][3], "Customer");
  EXPECT_EQ(csv[1][1], "SaleDate");
  EXPECT_EQ(csv[1][2], "Payment");
  EXPECT_EQ(csv[1][3], "1221");
  EXPECT_EQ(csv[1].back(), "Sum");
  EXPECT_EQ(csv[2][1], "Jan, 2004");
  EXPECT_EQ(csv.back()[1], "Sum");  // the grand total row
  EXPECT_EQ(csv.back()[2], "");

  EXPECT_EQ(csv.back().back(), Money(SqlValue(DemoFile(), "SELECT SUM(ItemsTotal) FROM orders")));
  // One customer's column total against the table.
  EXPECT_EQ(csv.back()[3], Money(SqlValue(DemoFile(), "SELECT SUM(ItemsTotal) FROM orders WHERE CustNo = 1221")));
  // Every data row adds up to its total column.
  for (size_t r = 2; r < csv.size(); ++r) {
    double sum = 0;
    for (size_t c = 3; c + 1 < width; ++c)
      if (!csv[r][c].empty()) sum += std::stod(csv[r][c]);
    EXPECT_EQ(Money(sum), csv[r].back()) << "row " << r;
  }
  // Months appear once each, as labels of their first row.
  int months = 0;
  for (size_t r = 2; r + 1 < csv.size(); ++r) months += !csv[r][1].empty();
  EXPECT_EQ(months, 49);
}

TEST_F(HyGridCli, LayoutSummaryAndTotalsFlags) {
  const CliResult run = Hycube("pivot " + Demo() +
                         "--layout \"(0 -1 0 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 2 0 1 0 -1 'Payment')\""
                         " --no-totals");
  ASSERT_EQ(run.status, 0) << run.err;
  const Csv csv = ParseCsv(run.out);
  ASSERT_GE(csv.size(), 3u);
  // Customer unplaced at first is put on the rows, closed: Payment across.
  EXPECT_EQ(csv[0][2], "Payment");
  EXPECT_EQ(csv[1][1], "SaleDate");
  EXPECT_EQ(csv[2][1], "Jan, 2004");

  const CliResult bad = Hycube("pivot " + Demo() + "--summary 3");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("no summary 3"), std::string::npos) << bad.err;
  const CliResult unknown = Hycube("pivot " + Demo() + "--sideways");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown argument '--sideways'"), std::string::npos) << unknown.err;
  const CliResult broken = Hycube("pivot " + Demo() + "--layout \"(1 0\"");
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find("Invalid pivot state"), std::string::npos) << broken.err;
}

TEST_F(HyGridCli, DrawsTheGridIntoAPngOfItsFullSize) {
  const std::string png = folder_->Folder() + "/pivot.png";
  const CliResult run = Hycube("pivot " + Demo() + "--layout \"(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 -1 2 1 -1 'Payment')\" --png " + png);
  ASSERT_EQ(run.status, 0) << run.err;
  const Csv csv = ParseCsv(run.out);
  QImageReader reader(QString::fromStdString(png));
  const QSize size = reader.size();
  // Outliner 16, one label column 80, 55 data columns of 100, one pixel of edge.
  EXPECT_EQ(size.width(), 16 + 80 + 55 * 100 + 1);
  EXPECT_EQ(size.height(), static_cast<int>(csv.size()) * 20 + 1);
  EXPECT_FALSE(std::filesystem::exists(png + ".tmp"));

  // A file that cannot be written fails cleanly.
  const CliResult fail = Hycube("pivot " + Demo() + "--png " + folder_->Folder() + "/missing/dir/p.png");
  EXPECT_EQ(fail.status, 2);
  EXPECT_NE(fail.err.find("Cannot write the image file"), std::string::npos) << fail.err;
}

}  // namespace
}  // namespace hy
