// Thousands of mutated expressions: each one evaluates or raises the
// database error, on every row (Nulls included); nothing crashes or hangs.
#include <gtest/gtest.h>

#include <random>

#include "report/KyRParsTestSupport.h"

namespace hy {
namespace {

const char* const kSeeds[] = {
    "Amount > 10 AND Region LIKE 'N%'",
    "IIF(Qty IN (1, 2, 3), UPPER(Region), SUBSTRING(Region, 2, 3))",
    "Sales.Amount * 2 - Qty / 3 >= POWER(2, 3) OR NOT Paid",
    "Sold > '2004-01-01' AND YEAR(Sold) = 2004 AND Regions.Code IS NOT NULL",
    "SUM(1, 2.5, 3) + AVG(4, 5) - COUNT(*) + MAX('a', 'b') + MIN(1, 2)",
    "ARCSIN(0.5) + ARCCOS(-0.5) + LOG(100) + SQR(3) + LN(EXP(1)) + ROUND(2.5) + DIV(7, 2)",
    "TRIM('  x ') + CHR(65) + INTTOSTR(ORD('A')) + FLOATTOSTR(1.5) + DATETOSTR(GETDATE())",
    "Region NOT IN ('South', NULL) /* comment */ AND [Amount] <> NULL",
    "STRTOINT('12') + STRTOFLOAT('1.5') + FRAC(2.25) + INT(-2.5) + ABS(-1) + Price * Qty",
    "-(-(Amount)) = Amount AND 'it''s' + 'x' LIKE '%_s%'",
};

const char* const kPieces[] = {
    "(",
    ")",
    ",",
    "'",
    "''",
    "[",
    "]",
    "/*",
    "*/",
    "=",
    "<>",
    ">=",
    "<",
    "+",
    "-",
    "*",
    "/",
    " AND ",
    " OR ",
    " NOT ",
    " LIKE ",
    " IN ",
    " IS NULL",
    " IS NOT ",
    "NULL",
    "True",
    "Amount",
    "Region",
    "Sold",
    "Note",
    "Regions.Label",
    "Sales.",
    "COUNT(*)",
    "IIF(",
    "SUBSTRING(",
    "POWER(",
    "99999999999999999999999",
    "0",
    "0.0",
    "1e5",
    "%",
    "_",
    "\xC3\xBC",
    "\xFF",
    "\t",
    "#",
    ";",
    "!",
};

std::string Mutate(std::string s, std::mt19937& rng) {
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  const int steps = 1 + static_cast<int>(pick(4));
  for (int i = 0; i < steps; ++i) {
    const size_t at = s.empty() ? 0 : pick(s.size() + 1);
    switch (pick(7)) {
      case 0:  // insert a piece of the language
        s.insert(at, kPieces[pick(std::size(kPieces))]);
        break;
      case 1:  // delete a run
        if (!s.empty()) s.erase(std::min(at, s.size() - 1), 1 + pick(6));
        break;
      case 2:  // replace a byte with any byte
        if (!s.empty()) s[std::min(at, s.size() - 1)] = static_cast<char>(pick(256));
        break;
      case 3:  // duplicate a run
        if (!s.empty()) {
          const size_t from = pick(s.size());
          s.insert(at, s.substr(from, 1 + pick(12)));
        }
        break;
      case 4:  // truncate
        s.resize(at);
        break;
      case 5: {  // nest deeply, sometimes past the limit
        const size_t n = 1 + pick(400);
        s = std::string(n, '(') + s + std::string(n, ')');
        break;
      }
      default:  // splice in another seed
        s.insert(at, kSeeds[pick(std::size(kSeeds))]);
        break;
    }
  }
  return s;
}

TEST(KyRParsFuzz, MutatedExpressionsEvaluateOrRaiseTheDatabaseError) {
  test::ReportTables t;
  t.SetVariable("Limit", Variant(int32_t{5}));
  std::mt19937 rng(20041231);
  int evaluated = 0, refused = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string text = Mutate(kSeeds[i % std::size(kSeeds)], rng);
    t.Sales().First();
    for (int row = 0; row < 3; ++row, t.Sales().Next()) {
      try {
        Evaluate(t.Context(), text, row == 1 ? "0.00" : "");
        ++evaluated;
      } catch (const EDatabaseError& e) {
        ++refused;
        ASSERT_FALSE(e.Message().empty()) << text;
      } catch (const std::exception& e) {
        FAIL() << "not a database error: " << e.what() << "\nexpression: " << text;
      }
    }
  }
  // The corpus must exercise both outcomes, or the test proves little.
  EXPECT_GT(evaluated, 300);
  EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace hy
