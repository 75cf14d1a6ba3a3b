// `hycube --csv` and `hycube drill`, run as a user runs them: a CSV file as
// the source of every command, and the rows behind grid cells checked
// against the cells' own numbers and against SQLite.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class HycubeCsv : public ::testing::Test {
protected:
  void SetUp() override {
    file = db.Folder() + "/sales.csv";
    std::ofstream(file, std::ios::binary) << "Region,Sold,Amount,Note\r\n"
                                             "North,2024-01-05,10.5,plain\r\n"
                                             "South,2024-01-20,2,\"with, comma\"\r\n"
                                             "North,2024-02-03,7.25,\"two\r\nlines\"\r\n"
                                             "North,2024-02-28,1,x\r\n"
                                             "South,2024-03-01,4,y\r\n";
  }
  // Region on the columns, the months on the rows.
  std::string Layout() const { return "--layout \"(2 0 1 0 -1 'Region' 1 0 1 0 -1 'Sold')\""; }

  test::TestDatabase db;  // a throwaway folder
  std::string file;
};

TEST_F(HycubeCsv, EveryCommandTakesACsvFileWithAProposedMap) {
  test::CliResult map = test::Hycube("map --csv " + file);
  ASSERT_EQ(map.status, 0) << map.err;
  EXPECT_EQ(map.out,
            "Region\tRegion\tactive\nSold\tSold\tactive\nSum of Amount\tSum(Amount)\tactive\n"
            "Note\tNote\tactive\n");

  test::CliResult pivot = test::Hycube("pivot --csv " + file + " " + Layout() +
                                       " --sum Total=Amount"
                                       " --dim Region=Region --dim Sold=Sold,bin=month");
  ASSERT_EQ(pivot.status, 0) << pivot.err;
  const std::vector<std::string> lines = Lines(pivot.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_NE(lines.back().find("24.75"), std::string::npos) << pivot.out;  // the grand total

  test::CliResult eval = test::Hycube("eval \"sales.Amount * 2\" --csv " + file);
  ASSERT_EQ(eval.status, 0) << eval.err;
  EXPECT_EQ(eval.out, "21\n");

  test::CliResult cube =
      test::Hycube("cube --csv " + file + " --dim Region=Region --sum Total=Amount");
  ASSERT_EQ(cube.status, 0) << cube.err;
  EXPECT_NE(cube.out.find("North\t18.75"), std::string::npos) << cube.out;
}

TEST_F(HycubeCsv, DrillPrintsTheRowsOfDataCellsSubtotalsAndTheTotal) {
  const std::string base = "drill --csv " + file + " " + Layout() +
                           " --dim Region=Region --dim Sold=Sold,bin=month --sum Total=Amount";
  // February of North: two rows, one with a line break kept inside quotes.
  test::CliResult cell = test::Hycube(base + " --cell 0,1");
  ASSERT_EQ(cell.status, 0) << cell.err;
  EXPECT_EQ(cell.out,
            "Region,Sold,Amount,Note\n"
            "North,2024-02-03,7.25,\"two\r\nlines\"\n"
            "North,2024-02-28,1,x\n");
  // North's column total (last row) and the grand total (last column too).
  test::CliResult north = test::Hycube(base + " --cell 0,3 --count-rows");
  EXPECT_EQ(north.out, "3\n") << north.err;
  test::CliResult all = test::Hycube(base + " --cell 2,3 --count-rows");
  EXPECT_EQ(all.out, "5\n") << all.err;

  // Without totals the coordinates count the shown cells only: 1,1 is now
  // South's February, which has no row.
  test::CliResult hidden = test::Hycube(base + " --no-totals --cell 1,1 --count-rows");
  EXPECT_EQ(hidden.out, "0\n") << hidden.err;
  test::CliResult beyond = test::Hycube(base + " --no-totals --cell 2,0");
  EXPECT_EQ(beyond.status, 2);
  EXPECT_NE(beyond.err.find("the grid has 2 data columns; 2 is not one of them"), std::string::npos)
      << beyond.err;
}

TEST_F(HycubeCsv, BadInputIsRefusedWithAClearMessage) {
  const std::string bad = db.Folder() + "/bad.csv";
  std::ofstream(bad) << "a,b\n1,2\n3\n";
  test::CliResult r = test::Hycube("map --csv " + bad);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("bad.csv: line 3: 1 fields where 2 are expected"), std::string::npos)
      << r.err;

  r = test::Hycube("map --csv " + file + " --db x.db --table t");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--csv excludes --db"), std::string::npos) << r.err;

  r = test::Hycube("drill --csv " + file);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--cell X,Y is missing"), std::string::npos) << r.err;

  r = test::Hycube("drill --csv " + file + " --cell '1;2'");
  EXPECT_NE(r.err.find("expected X,Y"), std::string::npos) << r.err;
  EXPECT_EQ(r.status, 2);

  r = test::Hycube("drill --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--cell X,Y"), std::string::npos);
  EXPECT_NE(r.out.find("--csv FILE"), std::string::npos);
}

TEST(HycubeDrill, ASubtotalOfAnSqliteTableMatchesSqlitesOwnCount) {
  test::TestDatabase db;
  std::string sql = "CREATE TABLE t (Kind TEXT, Day DATE, Qty INTEGER);BEGIN;";
  for (int i = 0; i < 200; ++i)
    sql += "INSERT INTO t VALUES ('" + std::string(i % 3 ? "a" : "b") + "', '2004-" +
           (i % 4 < 2 ? "03" : "04") + "-1" + std::to_string(i % 10) + "', " + std::to_string(i) +
           ");";
  db.Exec(sql + "COMMIT;");
  const std::string base = "drill --db " + db.File() +
                           " --table t --dim Kind=Kind --dim Day=Day,bin=quarter --sum Qty=Qty"
                           " --layout \"(2 0 1 0 -1 'Kind' 1 0 1 0 -1 'Day')\"";
  // Row 0: the second quarter (every date is in March or April: two quarters).
  test::CliResult first = test::Hycube(base + " --cell 2,0");
  ASSERT_EQ(first.status, 0) << first.err;
  const std::vector<std::string> lines = Lines(first.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Kind,Day,Qty");
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db.Handle(), "SELECT COUNT(*), SUM(Qty) FROM t WHERE Day < '2004-04-01'", -1,
                     &stmt, nullptr);
  sqlite3_step(stmt);
  const int64_t count = sqlite3_column_int64(stmt, 0);
  const int64_t sum = sqlite3_column_int64(stmt, 1);
  sqlite3_finalize(stmt);
  ASSERT_EQ(static_cast<int64_t>(lines.size()) - 1, count);
  int64_t listed = 0;
  for (size_t i = 1; i < lines.size(); ++i)
    listed += std::stoll(lines[i].substr(lines[i].rfind(',') + 1));
  EXPECT_EQ(listed, sum);
}

}  // namespace
}  // namespace hy
