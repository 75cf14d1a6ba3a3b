// `hycube pivot` as a user runs it, checked against the demo table itself.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImageReader>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/DemoCliSuite.h"
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

class HyGridCli : public test::DemoCliSuite {};

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
  EXPECT_EQ(csv.back()[3],
            Money(SqlValue(DemoFile(), "SELECT SUM(ItemsTotal) FROM orders WHERE CustNo = 1221")));
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
  const CliResult run =
      Hycube("pivot " + Demo() +
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
  const CliResult run = Hycube(
      "pivot " + Demo() +
      "--layout \"(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 -1 2 1 -1 'Payment')\" --png " +
      png);
  ASSERT_EQ(run.status, 0) << run.err;
  const Csv csv = ParseCsv(run.out);
  QImageReader reader(QString::fromStdString(png));
  const QSize size = reader.size();
  // Outliner 16, one label column 80, 55 data columns of 100, one pixel of edge.
  EXPECT_EQ(size.width(), 16 + 80 + 55 * 100 + 1);
  EXPECT_EQ(size.height(), static_cast<int>(csv.size()) * 20 + 1);
  EXPECT_FALSE(std::filesystem::exists(png + ".tmp"));

  // A file that cannot be written fails cleanly, before the CSV is printed.
  const CliResult fail =
      Hycube("pivot " + Demo() + "--png " + folder_->Folder() + "/missing/dir/p.png");
  EXPECT_EQ(fail.status, 2);
  EXPECT_NE(fail.err.find("Cannot write the image file"), std::string::npos) << fail.err;
  EXPECT_EQ(fail.out, "");
  const CliResult folder = Hycube("pivot " + Demo() + "--png " + folder_->Folder());
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("it is a folder"), std::string::npos) << folder.err;
  EXPECT_EQ(folder.out, "");
}

// Files in `folder` whose names end in ".tmp".
std::vector<std::string> TempFiles(const std::filesystem::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".tmp") found.push_back(entry.path().filename().string());
  return found;
}

TEST_F(HyGridCli, RefusesAPictureAboveThePixelLimitBeforePrinting) {
  const std::filesystem::path dir = folder_->Folder() + "/limit";
  std::filesystem::create_directories(dir);
  const std::string png = (dir / "big.png").string();
  const CliResult run = Hycube("pivot " + Demo() + "--png " + png + " --png-max 100000");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("The picture of the grid would be 5677 x 7261 pixels"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("limit of 100000 pixels"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(std::filesystem::exists(png));
  EXPECT_EQ(TempFiles(dir), std::vector<std::string>{});

  for (const char* bad : {"0", "-5", "0x100", " 100", "600000000"}) {
    const CliResult refused =
        Hycube("pivot " + Demo() + "--png " + png + " --png-max '" + bad + "'");
    EXPECT_EQ(refused.status, 2) << bad;
    EXPECT_NE(refused.err.find("is not a pixel count"), std::string::npos) << refused.err;
  }
  const CliResult enough = Hycube("pivot " + Demo() + "--png " + png + " --png-max 500000000");
  EXPECT_EQ(enough.status, 0) << enough.err;
  EXPECT_TRUE(std::filesystem::exists(png));
}

TEST_F(HyGridCli, HiddenSubtotalsAreNotPrinted) {
  const CliResult run = Hycube("pivot " + Demo() + "--no-totals");
  ASSERT_EQ(run.status, 0) << run.err;
  const Csv csv = ParseCsv(run.out);
  ASSERT_GT(csv.size(), 2u);
  // 54 customers, no total column; no subtotal row or grand total.
  EXPECT_EQ(csv[0].size(), 3u + 54u);
  for (size_t r = 0; r < csv.size(); ++r)
    for (const std::string& field : csv[r]) EXPECT_NE(field, "Sum") << "row " << r;
  // Each (month, payment) pair once: the rows the grid shows.
  const CliResult all = Hycube("pivot " + Demo());
  size_t shownWithTotals = 0;
  for (const auto& row : ParseCsv(all.out)) shownWithTotals += row[1] != "Sum" && row[2] != "Sum";
  EXPECT_EQ(csv.size(), shownWithTotals);
}

TEST_F(HyGridCli, PicturesWrittenAtOnceAndInterruptedLeaveNoTemporaryFile) {
  const std::filesystem::path dir = folder_->Folder() + "/race";
  std::filesystem::create_directories(dir);
  const std::string png = (dir / "same.png").string();
  // Two runs into one target: both pictures are whole, the last one stays.
  const std::string command =
      std::string(HYCUBE_PATH) + " pivot " + Demo() + "--png " + png + " >/dev/null";
  FILE* a = popen(command.c_str(), "r");
  FILE* b = popen(command.c_str(), "r");
  ASSERT_TRUE(a && b);
  const int statusA = pclose(a), statusB = pclose(b);
  EXPECT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
  EXPECT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);
  QImageReader::setAllocationLimit(1024);  // megabytes: the whole demo grid
  QImageReader reader(QString::fromStdString(png));
  EXPECT_TRUE(reader.canRead());
  EXPECT_FALSE(reader.read().isNull()) << reader.errorString().toStdString();
  EXPECT_EQ(TempFiles(dir), std::vector<std::string>{});

  // Stopped while it works: the temporary file goes with it.
  std::filesystem::remove(png);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const std::string run =
        std::string(HYCUBE_PATH) + " pivot " + Demo() + "--png " + png + " >/dev/null 2>&1";
    execl("/bin/sh", "sh", "-c", ("exec " + run).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  bool sawTemp = false;
  for (int i = 0; i < 20000 && !sawTemp; ++i) {
    sawTemp = !TempFiles(dir).empty();
    if (!sawTemp) usleep(200);
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(sawTemp);
  EXPECT_EQ(TempFiles(dir), std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(png));
}

}  // namespace
}  // namespace hy
