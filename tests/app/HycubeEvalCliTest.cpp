// `hycube eval` as a user runs it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

using test::CliResult;
using test::Hycube;

class HycubeEval : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    db_ = new test::TestDatabase("shop.db");
    db_->Exec(
        "CREATE TABLE sales (Region VARCHAR(10), Sold DATE, Amount REAL, Note BLOB);"
        "INSERT INTO sales VALUES ('North', '2004-01-03', 10.5, NULL), ('South', '2004-02-28', 20, NULL);"
        "CREATE TABLE empty (Region VARCHAR(10));");
  }
  static void TearDownTestSuite() { delete db_; }
  static std::string Table(const std::string& name) {
    return " --db " + db_->File() + " --table " + name;
  }

  static test::TestDatabase* db_;
};

test::TestDatabase* HycubeEval::db_ = nullptr;

TEST_F(HycubeEval, PrintsTheValueOfAnExpression) {
  struct Case {
    const char* args;
    const char* out;
  } cases[] = {
      {"eval '1 + 2 * 3'", "7\n"},
      {"eval '1 / 4'", "0.25\n"},
      {"eval '2 > 1'", "True\n"},
      {"eval \"'a' LIKE 'b%'\"", "False\n"},
      {"eval \"SUBSTRING('abcdef', 2, 3)\"", "bcd\n"},
      {"eval 'NULL'", "\n"},
      {"eval 'ROUND(ARCCOS(-0.5) * 1000)'", "2094\n"},
  };
  for (const Case& c : cases) {
    const CliResult run = Hycube(c.args);
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, c.out) << c.args;
  }
}

TEST_F(HycubeEval, FieldsComeFromTheFirstRecord) {
  CliResult run = Hycube("eval \"Region + ': ' + FLOATTOSTR(Amount * 2)\"" + Table("sales"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "North: 21\n");
  run = Hycube("eval 'sales.Sold + 1'" + Table("sales"));
  EXPECT_EQ(run.out, "1/4/2004\n") << run.err;
  run = Hycube("eval 'Region IS NULL'" + Table("empty"));
  EXPECT_EQ(run.out, "True\n") << "an empty table has no current record: " << run.err;
  run = Hycube("eval 'Note'" + Table("sales"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "Field 'Note' cannot be used in an expression\n");
  run = Hycube("eval 'Region'");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "Field 'Region' not found\n") << "no table, no fields";
}

TEST_F(HycubeEval, VariablesTakeTheTypeTheirTextReadsAs) {
  CliResult run = Hycube("eval 'Limit * 2 + Rate' --var Limit=5 --var Rate=0.5");
  EXPECT_EQ(run.out, "10.5\n") << run.err;
  run = Hycube("eval \"Name + '!'\" --var 'Name=big box'");
  EXPECT_EQ(run.out, "big box!\n") << run.err;
  run = Hycube("eval 'YEAR(Day) + IIF(Flag, 1, 0)' --var Day=2004-03-01 --var flag=true");
  EXPECT_EQ(run.out, "2005\n") << run.err;
  run = Hycube("eval 'X' --var X=1 --var X=2");
  EXPECT_EQ(run.out, "2\n") << "a later definition wins: " << run.err;
  run = Hycube("eval 'Amount > Limit'" + Table("sales") + " --var Limit=10");
  EXPECT_EQ(run.out, "True\n") << run.err;
}

TEST_F(HycubeEval, ErrorsGoToStderrWithStatusTwo) {
  struct Case {
    const char* args;
    const char* err;
  } cases[] = {
      {"eval 'Amount > NULL' --var Amount=1", "NULL only allowed with '=' and '<>'\n"},
      {"eval '(1 + 2'", "')' expected but end of expression found\n"},
      {"eval \"'a' + 1\"", "Type mismatch in expression\n"},
      {"eval 'ARCSIN(2)'", "Invalid argument 2 to function ARCSIN\n"},
  };
  for (const Case& c : cases) {
    const CliResult run = Hycube(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.out, "") << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  for (const char* usage :
       {"eval", "eval 1 2", "eval 1 --var X", "eval 1 --frob", "eval 1 --dim A=B"}) {
    const CliResult run = Hycube(usage);
    EXPECT_EQ(run.status, 2) << usage;
    EXPECT_EQ(run.out, "") << usage;
    EXPECT_NE(run.err.find("hycube eval: "), std::string::npos) << usage << ": " << run.err;
  }
  const CliResult help = Hycube("eval --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--var NAME=VALUE"), std::string::npos);
}

TEST_F(HycubeEval, NumbersDoNotFollowTheMachineLocale) {
  const char* old = std::getenv("LC_ALL");
  const std::string saved = old ? old : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  const CliResult run = Hycube("eval '1 / 4 + 1000'" + Table("sales") + " --var D=2004-12-24");
  const CliResult date = Hycube("eval 'D'  --var D=2004-12-24");
  if (old) setenv("LC_ALL", saved.c_str(), 1);
  else unsetenv("LC_ALL");
  EXPECT_EQ(run.out, "1000.25\n") << run.err;
  EXPECT_EQ(date.out, "12/24/2004\n") << date.err;
}

}  // namespace
}  // namespace hy
