// The report expression language against real tables: names, NULL, types,
// LIKE and IN, the function library, parse messages and result texts.
#include <gtest/gtest.h>

#include <cmath>

#include "common/Format.h"
#include "report/KyRParsTestSupport.h"

namespace hy {
namespace {

class KyRPars : public ::testing::Test {
protected:
  void SetUp() override { FormatSettings() = TFormatSettings::EnglishUS(); }
  // Moves the sales table to its n-th row (from 1).
  void Row(int n) {
    t.Sales().First();
    for (int i = 1; i < n; ++i) t.Sales().Next();
  }
  bool Holds(const std::string& text) { return KyRConditionHolds(t.Calc(text)); }
  std::string Text(const std::string& text, const std::string& format = "") {
    return Evaluate(t.Context(), text, format).ToText();
  }

  test::ReportTables t;
};

TEST_F(KyRPars, LiteralsOperatorsAndComments) {
  EXPECT_EQ(t.Calc("1 + 2 * 3").AsInteger(), 7);
  EXPECT_EQ(t.Calc("(1 + 2) * 3").AsInteger(), 9);
  EXPECT_EQ(t.Calc("7 / 2").AsDouble(), 3.5);
  EXPECT_EQ(t.Calc("10 - 2 - 3").AsInteger(), 5);  // left to right
  EXPECT_EQ(t.Calc("-2 * -3").AsInteger(), 6);
  EXPECT_EQ(t.Calc("1.25").AsDouble(), 1.25);
  EXPECT_EQ(t.Calc("3.").VarType(), varDouble);
  EXPECT_EQ(t.Error("1 + .5"), "Invalid expression character: '.'");
  EXPECT_EQ(t.Calc("'it''s' + ' ok'").ToText(), "it's ok");
  EXPECT_EQ(t.Calc("1 /* one */ + /**/ 2 /* end */").AsInteger(), 3);
  EXPECT_EQ(t.Calc("\t1\n+\r2").AsInteger(), 3);
  EXPECT_TRUE(Holds("not FALSE and (true Or False)"));
  EXPECT_TRUE(Holds("1 < 2 AND 2 <= 2 AND 3 > 2 AND 3 >= 3 AND 1 <> 2 AND 'a' = 'a'"));
  EXPECT_FALSE(Holds("'a' = 'A'")) << "comparisons are case-sensitive";
}

TEST_F(KyRPars, FieldsResolveThroughTheDatasetsAndReadAtEvaluation) {
  EXPECT_EQ(t.Calc("Amount").AsDouble(), 10.5);
  EXPECT_EQ(t.Calc("sales.AMOUNT").AsDouble(), 10.5) << "caption, any case";
  EXPECT_EQ(t.Calc("SalesTable.Qty").AsInteger(), 3) << "component name";
  EXPECT_EQ(t.Calc("Regions.Label").ToText(), "North side");
  EXPECT_EQ(t.Calc("[Regions.Code]").ToText(), "N") << "a bracketed name splits the same way";
  EXPECT_EQ(t.Error("Label"), "Field 'Label' not found")
      << "bare names are fields of the first dataset";
  EXPECT_EQ(t.Error("Regions.Amount"), "Field 'Regions.Amount' not found");
  EXPECT_EQ(t.Error("Note"), "Field 'Note' cannot be used in an expression");

  // A parsed tree reads the current row each time it is evaluated.
  const auto tree = ParseKyRExpression("Amount * 2", t.Context());
  EXPECT_EQ(EvaluateKyRNode(*tree).AsDouble(), 21.0);
  Row(3);
  EXPECT_EQ(EvaluateKyRNode(*tree).AsDouble(), 40.0);
}

TEST_F(KyRPars, VariablesAnswerNamesThatAreNoFields) {
  t.SetVariable("Limit", Variant(int32_t{10}));
  t.SetVariable("Amount", Variant(int32_t{999}));  // a field of that name wins
  t.SetVariable("Start", Variant(int32_t{38000}), ftDate);
  EXPECT_TRUE(Holds("Amount > limit"));
  EXPECT_EQ(t.Calc("Amount").AsDouble(), 10.5);
  EXPECT_EQ(t.Calc("Start").VarType(), varDate) << "a date variable's number is a date";
  EXPECT_EQ(Text("Start"), "1/14/2004");

  TKyRExprContext noLookup(&t.Manager(), nullptr);
  EXPECT_THROW(CalculateKyRExpression("Limit", noLookup), EDatabaseError);
  TKyRExprContext empty;
  EXPECT_EQ(CalculateKyRExpression("2 + 2", empty).AsInteger(), 4);
  EXPECT_THROW(CalculateKyRExpression("Amount", empty), EDatabaseError);
}

TEST_F(KyRPars, NullOnlyWithEqualityAndItsRules) {
  EXPECT_FALSE(Holds("Amount = NULL"));
  EXPECT_TRUE(Holds("Amount <> NULL"));
  EXPECT_TRUE(Holds("NULL <> Amount"));
  Row(2);
  EXPECT_TRUE(Holds("Amount = NULL"));
  EXPECT_TRUE(Holds("Amount IS NULL"));
  EXPECT_FALSE(Holds("Amount is not null"));
  EXPECT_FALSE(Holds("Amount > 5")) << "ordering with a Null operand is false";
  EXPECT_FALSE(Holds("Amount <= 5"));
  EXPECT_TRUE(t.Calc("Amount + 1").IsNull());
  EXPECT_TRUE(Holds("Amount = Qty")) << "Null equals Null";
  EXPECT_TRUE(Holds("NOT Paid")) << "a Null condition is false";
  for (const char* bad : {"Amount > NULL", "NULL < 1", "Region LIKE NULL", "NULL >= NULL"})
    EXPECT_EQ(t.Error(bad), "NULL only allowed with '=' and '<>'") << bad;
}

TEST_F(KyRPars, TypeRules) {
  for (const char* bad : {"Amount = 'abc'", "'a' * 2", "Region + 1", "-'a'", "Paid > 1", "Sold * 2",
                          "Paid + Paid", "'1' - 1", "NOT Sold", "NOT 'maybe'", "Qty LIKE '3'"})
    EXPECT_EQ(t.Error(bad), "Type mismatch in expression") << bad;
  EXPECT_TRUE(Holds("Paid = True"));
  EXPECT_TRUE(Holds("Sold > 37000 AND Sold - 1 < Sold")) << "dates with numbers";
  EXPECT_EQ(t.Calc("Sold + 1").VarType(), varDate);
  EXPECT_EQ(t.Calc("Sold - Sold").AsInteger(), 0);
  EXPECT_EQ(t.Calc("Price * Qty").VarType(), varCurrency);
  EXPECT_TRUE(Holds("NOT 0 AND 'TRUE'"));
  // Text compared with a date field is read as a date while parsing.
  EXPECT_TRUE(Holds("Sold = '2004-01-03'"));
  EXPECT_TRUE(Holds("'1/2/2004' < Sold"));
  EXPECT_TRUE(Holds("Sold IN ('2003-12-31', '2004-01-03')"));
  EXPECT_EQ(t.Error("Sold = 'soon'"), "Constant is not correct type DateTime");
  EXPECT_EQ(t.Error("Sold IN ('2004-01-03', 'later')"), "Constant is not correct type DateTime");
  // Errors of the values themselves come out as database errors too.
  EXPECT_THROW(t.Calc("1 / 0"), EDatabaseError);
  EXPECT_THROW(t.Calc("STRTOINT('x')"), EDatabaseError);
}

TEST_F(KyRPars, LikeTruthTable) {
  struct Case {
    const char* text;
    const char* pattern;
    bool holds;
  } cases[] = {
      {"abc", "abc", true},
      {"abc", "a%", true},
      {"abc", "A%", false},
      {"abc", "%c", true},
      {"abc", "%b%", true},
      {"abc", "_bc", true},
      {"abc", "a_", false},
      {"abc", "a__", true},
      {"", "%", true},
      {"", "_", false},
      {"abc", "", false},
      {"", "", true},
      {"a.c", "a.c", true},
      {"abc", "a.c", false},
      {"a*c", "a*c", true},
      {"abcabc", "a%c%c", true},
      {"aab", "%ab", true},
      {"abab", "%a_", true},
      {"Süd", "S_d", true},
      {"Süd", "S%", true},
      {"a%c", "a\\%c", false},
      {"mississippi", "%iss%ppi", true},
      {"mississippi", "%iss%ppx", false},
  };
  for (const Case& c : cases) {
    const std::string expr = std::string("'") + c.text + "' LIKE '" + c.pattern + "'";
    EXPECT_EQ(Holds(expr), c.holds) << expr;
    EXPECT_EQ(Holds(std::string("'") + c.text + "' NOT LIKE '" + c.pattern + "'"), !c.holds)
        << expr;
  }
  EXPECT_TRUE(Holds("Region LIKE 'N%th'"));
  Row(2);
  EXPECT_FALSE(Holds("Region LIKE '%'")) << "Null matches no pattern";
  EXPECT_FALSE(Holds("'x' LIKE Region"));
  // A long text with many wildcards stays quick.
  EXPECT_FALSE(Holds("'" + std::string(5000, 'a') + "' LIKE '" + std::string(200, '%') + "b'"));
}

TEST_F(KyRPars, InTruthTable) {
  EXPECT_TRUE(Holds("3 IN (1, 2, 3)"));
  EXPECT_FALSE(Holds("4 IN (1, 2, 3)"));
  EXPECT_TRUE(Holds("4 NOT IN (1, 2, 3)"));
  EXPECT_TRUE(Holds("Region IN ('South', 'North')"));
  EXPECT_FALSE(Holds("Region IN ('north')"));
  EXPECT_TRUE(Holds("Amount IN (10, 10.5)")) << "numbers compare numerically";
  EXPECT_TRUE(Holds("Qty IN (1 + 2)")) << "items are terms";
  EXPECT_EQ(t.Error("Amount IN ('x', 10.5)"), "Type mismatch in expression");
  EXPECT_EQ(t.Error("Region IN ()"), "IN predicate list may not be empty");
  Row(2);
  EXPECT_FALSE(Holds("Region IN ('North', 'South')"));
  EXPECT_TRUE(Holds("Region IN ('North', NULL)")) << "by the '=' rule";
  EXPECT_TRUE(Holds("Region NOT IN ('North')"));
}

TEST_F(KyRPars, ParseMessagesNameTheOffendingToken) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"(1", "')' expected but end of expression found"},
      {"(1 2", "')' expected but 2 found"},
      {"(Amount 'x'", "')' expected but 'x' found"},
      {"UPPER('a' 'b')", "')' or ',' expected but 'b' found"},
      {"SUM(1; 2)", "Invalid expression character: ';'"},
      {"MAX(1, 2", "')' or ',' expected but end of expression found"},
      {"Qty IN 3", "'(' expected but 3 found"},
      {"Qty IN (1 2)", "')' or ',' expected but 2 found"},
      {"1 +", "Expression expected but end of expression found"},
      {"1 + )", "Expression expected but ')' found"},
      {"*", "Expression expected but '*' found"},
      {"1 = AND", "Expression expected but AND found"},
      {"", "Expression expected but end of expression found"},
      {"COUNT(*, 1)", "')' expected but ',' found"},
      {"Qty IS 5", "NULL expected but 5 found"},
      {"Qty NOT 5", "LIKE or IN expected but 5 found"},
      {"1 2", "Expression incorrectly terminated"},
      {"(1))", "Expression incorrectly terminated"},
      {"'abc", "Unterminated string constant"},
      {"'it''s", "Unterminated string constant"},
      {"[Amount", "Unterminated field name"},
      {"1 /* open", "Unterminated comment"},
      {"1 # 2", "Invalid expression character: '#'"},
      {"Amount != 1", "Invalid expression character: '!'"},
      {"SUM(Amount) + Amount", "Operation cannot mix aggregate value with record-varying value"},
      {"MAX(Qty) > Qty", "Operation cannot mix aggregate value with record-varying value"},
      {"SUBSTRING('a', 1)", "Function SUBSTRING needs 3 arguments, not 2"},
      {"GETDATE(1)", "Function GETDATE needs 0 arguments, not 1"},
      {"sum()", "Function SUM needs at least 1 argument, not 0"},
      {"NOSUCH(1)", "Unknown function 'NOSUCH'"},
      {"Missing", "Field 'Missing' not found"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.Error(c.text), c.message) << c.text;
  EXPECT_EQ(t.Error(std::string(400, '9')), "Constant out of range");
  EXPECT_EQ(t.Calc("2147483648").VarType(), varInt64);
  EXPECT_EQ(t.Calc("SUM(Amount, 1) + 1").AsDouble(), 12.5) << "an aggregate with constants mixes";
}

TEST_F(KyRPars, TextAndNumberFunctions) {
  EXPECT_EQ(t.Calc("LOG(100)").AsDouble(), 2.0);
  EXPECT_EQ(t.Calc("SQR(3)").AsInteger(), 9);
  EXPECT_EQ(t.Calc("SQR(3)").VarType(), varInteger);
  EXPECT_EQ(t.Calc("SUBSTRING('abcdef', 2, 3)").ToText(), "bcd");
  EXPECT_EQ(t.Calc("SUBSTRING('abcdef', 5, 10)").ToText(), "ef");
  EXPECT_EQ(t.Calc("SUBSTRING('abcdef', 9, 1)").ToText(), "");
  EXPECT_EQ(t.Calc("SUBSTRING('Süden', 2, 2)").ToText(), "üd") << "characters, not bytes";
  EXPECT_EQ(t.Calc("upper('süd') + lower('ÄB')").ToText(), "SÜDäb");
  EXPECT_EQ(t.Calc("'[' + TRIM('  a b ') + '|' + TRIMLEFT('  a ') + '|' + TRIMRIGHT(' a  ') + ']'")
                .ToText(),
            "[a b|a | a]");
  EXPECT_EQ(t.Calc("SUM(1, 2, 3.5)").AsDouble(), 6.5);
  EXPECT_EQ(t.Calc("AVG(1, 2, 3, 4)").AsDouble(), 2.5);
  EXPECT_EQ(t.Calc("COUNT(1, 'a', NULL)").AsInteger(), 3);
  EXPECT_EQ(t.Calc("COUNT(*)").AsInteger(), 1);
  EXPECT_EQ(t.Calc("MIN(3, 1.5, 2)").AsDouble(), 1.5);
  EXPECT_EQ(t.Calc("MAX('pear', 'apple')").ToText(), "pear");
  EXPECT_TRUE(t.Calc("MAX(1, NULL)").IsNull());
  EXPECT_EQ(t.Error("MAX(1, 'a')"), "Type mismatch in expression");
  EXPECT_EQ(t.Calc("ABS(-3)").AsInteger(), 3);
  EXPECT_EQ(t.Calc("ABS(Price - 5)").AsDouble(), 2.75);
  EXPECT_EQ(t.Calc("INT(-2.7)").AsInteger(), -2);
  EXPECT_NEAR(t.Calc("FRAC(-2.75)").AsDouble(), -0.75, 1e-12);
  EXPECT_EQ(t.Calc("ROUND(2.5)").AsInteger(), 2);
  EXPECT_EQ(t.Calc("ROUND(3.5)").AsInteger(), 4);
  EXPECT_EQ(t.Calc("ROUND(-2.5)").AsInteger(), -2);
  EXPECT_EQ(t.Calc("DIV(7, 2)").AsInteger(), 3);
  EXPECT_EQ(t.Calc("DIV(-7, 2)").AsInteger(), -3);
  EXPECT_THROW(t.Calc("DIV(1, 0)"), EDatabaseError);
  EXPECT_EQ(t.Calc("POWER(2, 10)").AsDouble(), 1024);
  EXPECT_EQ(t.Calc("POWER(0, 5)").AsDouble(), 0);
  EXPECT_EQ(t.Calc("POWER(0, 0)").AsDouble(), 1);
  EXPECT_EQ(t.Calc("POWER(2, -2)").AsDouble(), 0.25);
  EXPECT_EQ(t.Calc("POWER(-2, 3)").AsDouble(), -8);
  EXPECT_NEAR(t.Calc("POWER(2, 0.5)").AsDouble(), std::sqrt(2.0), 1e-15);
  EXPECT_EQ(t.Error("POWER(-8, 0.5)"), "Invalid argument -8, 0.5 to function POWER");
  EXPECT_THROW(t.Calc("POWER(2, 99999999999)"), EDatabaseError) << "overflow, and quickly";
  EXPECT_THROW(t.Calc("POWER(0, -1)"), EDatabaseError);
  EXPECT_EQ(t.Calc("RANDOM(1)").AsInteger(), 0);
  for (int i = 0; i < 50; ++i) {
    const int r = t.Calc("RANDOM(3)").AsInteger();
    EXPECT_TRUE(r >= 0 && r < 3) << r;
  }
  EXPECT_EQ(t.Error("RANDOM(0)"), "Invalid argument 0 to function RANDOM");
  EXPECT_EQ(t.Calc("ORD('A')").AsInteger(), 65);
  EXPECT_EQ(t.Calc("ORD('ü')").AsInteger(), 0xFC);
  EXPECT_EQ(t.Calc("CHR(65) + CHR(252)").ToText(), "Aü");
  EXPECT_THROW(t.Calc("CHR(0)"), EDatabaseError);
  EXPECT_THROW(t.Calc("CHR(55296)"), EDatabaseError);
  EXPECT_THROW(t.Calc("ORD('')"), EDatabaseError);
  EXPECT_EQ(t.Calc("STRTOINT(' 12 ') + 1").AsInteger(), 13);
  EXPECT_EQ(t.Calc("STRTOFLOAT('2.5') * 2").AsDouble(), 5.0);
  EXPECT_EQ(t.Calc("INTTOSTR(42) + FLOATTOSTR(2.5)").ToText(), "422.5");
  EXPECT_EQ(t.Error("UPPER(1) + SQRT('4')"), "Type mismatch in expression");
  EXPECT_EQ(t.Calc("UPPER(Amount)").ToText(), "10.5") << "text functions take any value's text";
  Row(2);
  EXPECT_TRUE(t.Calc("UPPER(Region)").IsNull());
  EXPECT_TRUE(t.Calc("SQRT(Amount)").IsNull());
}

TEST_F(KyRPars, MathematicalFunctionsAndTheirDomains) {
  const double pi = std::acos(-1.0);
  EXPECT_NEAR(t.Calc("ARCCOS(-0.5)").AsDouble(), 2.0943951, 1e-7) << "upper half for negative x";
  EXPECT_NEAR(t.Calc("ARCCOS(0)").AsDouble(), pi / 2, 1e-15);
  EXPECT_NEAR(t.Calc("ARCCOS(-1)").AsDouble(), pi, 1e-15);
  EXPECT_NEAR(t.Calc("ARCSIN(1)").AsDouble(), pi / 2, 1e-15);
  EXPECT_NEAR(t.Calc("ARCSIN(-1)").AsDouble(), -pi / 2, 1e-15);
  EXPECT_NEAR(t.Calc("ARCSIN(0.5)").AsDouble(), pi / 6, 1e-15);
  EXPECT_EQ(t.Error("ARCSIN(1.5)"), "Invalid argument 1.5 to function ARCSIN");
  EXPECT_EQ(t.Error("ARCCOS(-1.0001)"), "Invalid argument -1.0001 to function ARCCOS");
  EXPECT_NEAR(t.Calc("ARCTAN(1)").AsDouble(), pi / 4, 1e-15);
  EXPECT_NEAR(t.Calc("TAN(ARCTAN(2))").AsDouble(), 2, 1e-12);
  EXPECT_NEAR(t.Calc("SIN(0) + COS(0) + EXP(0) + LN(1) + SQRT(16)").AsDouble(), 6, 1e-15);
  EXPECT_EQ(t.Error("LN(0)"), "Invalid argument 0 to function LN");
  EXPECT_EQ(t.Error("LOG(-1)"), "Invalid argument -1 to function LOG");
  EXPECT_EQ(t.Error("SQRT(-1)"), "Invalid argument -1 to function SQRT");
  EXPECT_EQ(t.Error("EXP(1000)"), "Invalid argument 1000 to function EXP");
}

TEST_F(KyRPars, DateFunctions) {
  Row(3);  // 2004-02-28 13:45:10
  EXPECT_EQ(t.Calc("YEAR(Sold) * 10000 + MONTH(Sold) * 100 + DAY(Sold)").AsInteger(), 20040228);
  EXPECT_EQ(t.Calc("HOUR(Sold) * 10000 + MINUTE(Sold) * 100 + SECOND(Sold)").AsInteger(), 134510);
  EXPECT_EQ(Text("DATE(Sold)"), "2/28/2004");
  EXPECT_TRUE(Holds("TIME(Sold) < 1 AND HOUR(TIME(Sold)) = 13 AND DATE(Sold) + TIME(Sold) = Sold"));
  EXPECT_EQ(Text("DATETOSTR(Sold)"), "2/28/2004");
  EXPECT_TRUE(Holds("STRTODATE('2/28/2004') = DATE(Sold)"));
  EXPECT_EQ(t.Error("STRTODATE('28.02.2004')"), "'28.02.2004' is not a valid date");
  EXPECT_EQ(t.Error("YEAR('2004')"), "Type mismatch in expression");
  const double now = Now();
  const double got = t.Calc("GETDATE()").AsDouble();
  EXPECT_NEAR(got, now, 1.0 / 86400);
  EXPECT_THROW(t.Calc("YEAR(99999999)"), EDatabaseError) << "no calendar date";
}

TEST_F(KyRPars, IifEvaluatesOnlyTheChosenBranch) {
  EXPECT_EQ(t.Calc("IIF(Amount > 10, 'big', 1 / 0)").ToText(), "big");
  EXPECT_EQ(t.Calc("IIF(Amount > 100, SQRT(-1), 'small')").ToText(), "small");
  EXPECT_THROW(t.Calc("IIF(Amount > 10, 1 / 0, 'small')"), EDatabaseError);
  Row(2);
  EXPECT_EQ(t.Calc("IIF(Amount > 10, 'big', 'none')").ToText(), "none")
      << "a Null condition is false";
}

TEST_F(KyRPars, ResultTexts) {
  EXPECT_EQ(Text("1 = 1"), "True");
  EXPECT_EQ(Text("Amount * 2"), "21");
  EXPECT_EQ(Text("Sold"), "1/3/2004");
  EXPECT_EQ(Text("1 / 3", "0.00"), "0.333333333333333") << "a number format means the general form";
  EXPECT_EQ(Text("Sold", "0"), "37989");
  EXPECT_EQ(Text("Region", "0.00"), "North");
  Row(2);
  EXPECT_EQ(Evaluate(t.Context(), "Region", "").VarType(), varString);
  EXPECT_EQ(Text("Region"), "");
  // Through the data manager, as the report calls it.
  EXPECT_EQ(Evaluate(&t.Manager(), "Regions.Code + 'x'", "", nullptr).ToText(), "Nx");
}

TEST_F(KyRPars, DeepNestingIsRefusedWithAClearMessage) {
  const std::string message = "Expression is nested too deeply (more than 200 levels)";
  auto nested = [](int n) { return std::string(n, '(') + "1" + std::string(n, ')'); };
  EXPECT_EQ(t.Calc(nested(kKyRMaxExprDepth)).AsInteger(), 1);
  EXPECT_EQ(t.Error(nested(kKyRMaxExprDepth + 1)), message);
  EXPECT_EQ(t.Error(nested(100000)), message);
  EXPECT_EQ(t.Error(std::string(100000, '-') + "1"), message);
  std::string nots;
  for (int i = 0; i < 50000; ++i) nots += "NOT ";
  EXPECT_EQ(t.Error(nots + "True"), message);
  std::string chain = "1";
  for (int i = 0; i < 50000; ++i) chain += "+1";
  EXPECT_EQ(t.Error(chain), message) << "a long chain would recurse as deep when evaluated";
  std::string calls;
  for (int i = 0; i < 10000; ++i) calls += "ABS(";
  EXPECT_EQ(t.Error(calls + "1" + std::string(10000, ')')), message);
  std::string shortChain = "1";
  for (int i = 0; i < 150; ++i) shortChain += "+1";
  EXPECT_EQ(t.Calc(shortChain).AsInteger(), 151);
}

}  // namespace
}  // namespace hy
