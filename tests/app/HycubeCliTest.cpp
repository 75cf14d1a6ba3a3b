// The command-line tool as a user runs it: exit status, stdout and stderr.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/DemoCliSuite.h"
#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

using test::CliResult;
using test::Hycube;

class HycubeCli : public test::DemoCliSuite {
protected:
  static void SetUpTestSuite() {
    SetUpDemo("sales.db");
    folder_->Exec(
        "CREATE TABLE sales (Region VARCHAR(10), Sold DATETIME, Amount REAL, Note BLOB);"
        "INSERT INTO sales VALUES ('North', '2004-01-03', 10.5, NULL), ('South', '2004-02-28', 20, NULL);"
        "CREATE TABLE empty (Region VARCHAR(10), Amount REAL);"
        "CREATE TABLE regions (Code VARCHAR(10), Label VARCHAR(20));");
  }

  static std::string Source() { return "--db " + folder_->File() + " --table sales "; }
};

TEST_F(HycubeCli, DemoMapOverTheDemoTable) {
  const CliResult run = Hycube("map " + Demo());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Customer\tCustNo\tactive\n"
            "SaleDate\tSaleDate\tactive\n"
            "Payment\tPaymentMethod\tactive\n"
            "Total\tSum(ItemsTotal)\tactive\n");
  // The same through the alias, as the program names its table.
  const CliResult alias = Hycube("map --alias DBDEMOS --table orders.db");
  if (std::filesystem::exists(std::filesystem::path(HYCUBE_PATH).parent_path() /
                              "dbdemos/orders.db")) {
    EXPECT_EQ(alias.out, run.out) << alias.err;
  }
}

TEST_F(HycubeCli, ItemsFromFlags) {
  const CliResult run =
      Hycube("map " + Source() +
             "--dim Area=Region,values=2 --dim Month=Sold,bin=month,start=2004-04-01 "
             "--dim Ghost=Nothing --avg Mean=Amount,format=#,##0.00,caption=Avg "
             "--count N=Amount,flag=inactive");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Area\tRegion\tactive\n"
            "Month\tSold\tactive\n"
            "Ghost\tNothing\tinactive (no such field)\n"
            "Mean\tAvg(Amount)\tactive\n"
            "N\tCount(Amount)\tinactive\n");
}

TEST_F(HycubeCli, EveryMapMessageReachesTheUser) {
  struct Case {
    std::string args;
    std::string message;
  };
  const std::string dim = "--dim Area=Region ", sum = "--sum Total=Amount ";
  const Case cases[] = {
      {sum, "No dimension fields are defined. "},
      {dim, "No summaries are defined. "},
      {"--dim Area=Region,values=200,flag=active --sum Total=Amount,flag=active --max-cells 100",
       "Not enough room available to load a summary. "},
      {"--dim Area=Region,flag=inactive " + sum,
       "Not enough space available to load a dimension. "},
      {dim + "--dim Month=Sold " + sum + "--max-dims 1",
       "The maximum allowed dimensions of 1 has been exceeded."},
      {dim + sum + "--max Top=Amount --max-sums 1",
       "The maximum allowed summaries of 1 has been exceeded."},
      {dim + "--dim Month=Sold,bin=set " + sum, "binSet not implemented"},
      {"--dim Area=Region,lookup=regions:Key:Label " + sum, "Area: Lookup Key \"Key\" not found"},
      {"--dim Area=Region,lookup=regions:Code:Text " + sum,
       "Area: Lookup Result \"Text\" not Found"},
      {dim + "--sum Total=Amount,lookup=regions:Code:Label",
       "Amount: DimensionType dimDimension required"},
  };
  for (const Case& c : cases) {
    const CliResult run = Hycube("map " + Source() + c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.err, c.message + "\n") << c.args;
    EXPECT_EQ(run.out, "") << c.args;
  }
  const CliResult empty =
      Hycube("map --db " + folder_->File() + " --table empty --dim A=Region --sum S=Amount");
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(empty.err, "Cannot build the Decision Cube with an empty data set\n");
}

TEST_F(HycubeCli, CubePrintsEverySlotWithTotals) {
  const std::string map =
      "--dim Area=Region --dim Month=Sold,bin=month --sum Total=Amount --count N=Amount";
  const CliResult run = Hycube("cube " + Source() + map);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Area\tMonth\tTotal\tN\n"
            "*\t*\t30.50\t2\n"
            "*\tJan, 2004\t10.50\t1\n"
            "*\tFeb, 2004\t20.00\t1\n"
            "North\t*\t10.50\t1\n"
            "North\tJan, 2004\t10.50\t1\n"
            "South\t*\t20.00\t1\n"
            "South\tFeb, 2004\t20.00\t1\n");
  const CliResult empty = Hycube("cube " + Source() + map + " --empty");
  ASSERT_EQ(empty.status, 0) << empty.err;
  EXPECT_NE(empty.out.find("North\tFeb, 2004\t\t\n"), std::string::npos) << empty.out;
  EXPECT_NE(empty.out.find("South\tJan, 2004\t\t\n"), std::string::npos) << empty.out;

  const CliResult quiet = Hycube("cube " + Source() + map + " --read-all");
  EXPECT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.out, "");
  const CliResult progress = Hycube("cube " + Source() + map + " --quiet --progress");
  EXPECT_EQ(progress.status, 0);
  EXPECT_NE(progress.err.find("Scanning data set values..."), std::string::npos) << progress.err;

  const CliResult blob = Hycube("cube " + Source() + "--dim N=Note --sum T=Amount");
  EXPECT_EQ(blob.status, 2);
  EXPECT_NE(blob.err.find("Note"), std::string::npos) << blob.err;
  EXPECT_NE(blob.err.find("Blob"), std::string::npos) << blob.err;
}

TEST_F(HycubeCli, DerivedSummariesStandBesideThePlainOnes) {
  const CliResult run = Hycube(
      "cube " + Source() + "--dim Area=Region --sum Total=Amount --derived \"Twice=Total * 2\"");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Area\tTotal\tTwice\n"
            "*\t30.50\t61\n"
            "North\t10.50\t21\n"
            "South\t20.00\t40\n");
  const CliResult bad =
      Hycube("cube " + Source() + "--dim Area=Region --sum Total=Amount --derived \"Bad=Total +\"");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err.rfind("[Error] Bad[", 0), 0u) << bad.err;
}

TEST_F(HycubeCli, LookupCubesFinishAndPrintEverything) {
  test::TestDatabase db("lk.db");
  db.Exec(
      "CREATE TABLE t (C INTEGER, A REAL);"
      "INSERT INTO t VALUES (1, 10), (2, 20), (1, 5);"
      "CREATE TABLE lk (Code INTEGER, Name VARCHAR(10));"
      "INSERT INTO lk VALUES (1, 'One'), (2, 'Two');");
  const std::string args =
      "--db " + db.File() + " --table t --dim X=C,lookup=lk:Code:Name --sum S=A";
  const CliResult run = Hycube("cube " + args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "X\tS\n*\t35.00\nOne\t15.00\nTwo\t20.00\n");
  const CliResult quiet = Hycube("cube " + args + " --quiet");
  EXPECT_EQ(quiet.status, 0) << quiet.err;
  const CliResult pivot = Hycube("pivot " + args + " --layout \"(1 0 1 0 -1 'X')\"");
  EXPECT_EQ(pivot.status, 0) << pivot.err;
  EXPECT_NE(pivot.out.find("One"), std::string::npos) << pivot.out;
}

TEST_F(HycubeCli, MisspelledFieldsAreReportedNotSilentlyDropped) {
  const CliResult run =
      Hycube("cube " + Source() + "--dim Area=Region --dim Month=Sld --sum Total=Amount");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "Area\tTotal");
  EXPECT_EQ(run.err, "hycube: warning: Month: there is no field 'Sld', the item is left out\n");
  const CliResult clean = Hycube("cube " + Source() + "--dim Area=Region --sum Total=Amount");
  EXPECT_EQ(clean.err, "");
}

TEST_F(HycubeCli, DeepAndLongExpressionsNeitherCrashNorHang) {
  const std::string deep = std::string(16000, '(') + "Total" + std::string(16000, ')');
  const CliResult nested = Hycube(
      "map " + Source() + "--dim Area=Region --sum Total=Amount --derived \"D=" + deep + "\"");
  EXPECT_EQ(nested.status, 2);
  EXPECT_EQ(nested.err, "[Error] D[0]: Expression nested deeper than 256 levels\n");
  std::string chain = "Total";
  for (int i = 1; i < 40000; ++i) chain += "+1";
  const CliResult longChain = Hycube(
      "cube " + Source() + "--dim Area=Region --sum Total=Amount --derived \"L=" + chain + "\"");
  ASSERT_EQ(longChain.status, 0) << longChain.err;
  EXPECT_NE(longChain.out.find("North\t10.50\t40009.5\n"), std::string::npos) << longChain.out;
}

TEST_F(HycubeCli, BadInvocationsExplainThemselves) {
  const CliResult noArgs = Hycube("");
  EXPECT_EQ(noArgs.status, 2);
  EXPECT_NE(noArgs.err.find("usage: hycube"), std::string::npos);
  const CliResult unknown = Hycube("frobnicate");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
  const CliResult help = Hycube("map --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--max-cells"), std::string::npos);
  const CliResult missingFile = Hycube("map --db /nonexistent/x.db --table t");
  EXPECT_EQ(missingFile.status, 2);
  EXPECT_FALSE(missingFile.err.empty());
  EXPECT_FALSE(std::filesystem::exists("/nonexistent/x.db"));
  const CliResult badCount =
      Hycube("map " + Source() + "--dim A=Region,values=lots --sum S=Amount");
  EXPECT_EQ(badCount.status, 2);
  EXPECT_NE(badCount.err.find("'lots' is not a whole number"), std::string::npos);
  const CliResult stray = Hycube("map " + Source() + "extra");
  EXPECT_EQ(stray.status, 2);
  EXPECT_NE(stray.err.find("unknown argument 'extra'"), std::string::npos);
  const CliResult demoUsage = Hycube("demo-db");
  EXPECT_EQ(demoUsage.status, 2);
}

}  // namespace
}  // namespace hy
