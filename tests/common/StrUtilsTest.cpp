#include <gtest/gtest.h>

#include <algorithm>

#include "common/StrUtils.h"

namespace hy {
namespace {

TEST(StrUtils, FormatAnyLength) {
  EXPECT_EQ(Format("%s: Lookup info incomplete", "Customer"), "Customer: Lookup info incomplete");
  std::string longText(1000, 'x');
  EXPECT_EQ(Format("[%s]", longText.c_str()), "[" + longText + "]");
  EXPECT_EQ(Format("%d-%05.1f", 7, 2.25), "7-002.2");
}

TEST(StrUtils, CaseAndTrimAndSplit) {
  EXPECT_TRUE(SameText("Total", "tOTAL"));
  EXPECT_FALSE(SameText("Total", "Totals"));
  EXPECT_EQ(UpperCase("abc-Zé"), "ABC-Zé");
  EXPECT_EQ(LowerCase("ABC-Zé"), "abc-zé");
  EXPECT_EQ(Trim(" \t\r\n x y \n"), "x y");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(SplitString("a,,b,", ','), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitString("", ','), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitString("abc", ','), (std::vector<std::string>{"abc"}));
}

TEST(StrUtils, AnsiCompareStrOrdersWordsThenCase) {
  EXPECT_LT(AnsiCompareStr("a", "B"), 0);  // letters alphabetically first
  EXPECT_GT(AnsiCompareStr("B", "a"), 0);
  EXPECT_LT(AnsiCompareStr("a", "A"), 0);  // equal words: lower before upper
  EXPECT_LT(AnsiCompareStr("apple", "Apple"), 0);
  EXPECT_LT(AnsiCompareStr("ab", "AC"), 0);
  EXPECT_LT(AnsiCompareStr("Ab", "ac"), 0);
  EXPECT_GT(AnsiCompareStr("abc", "ab"), 0);
  EXPECT_LT(AnsiCompareStr("ABC", "abcd"), 0);
  EXPECT_EQ(AnsiCompareStr("same", "same"), 0);
  EXPECT_LT(AnsiCompareStr("1", "2"), 0);
  EXPECT_LT(AnsiCompareStr("9", "a"), 0);
  EXPECT_LT(AnsiCompareStr("_", "a"), 0);
  EXPECT_GT(AnsiCompareStr("\xC3\xA9", "z"), 0);             // é after ASCII
  EXPECT_LT(AnsiCompareStr("\xC3\xA9", "\xE2\x82\xAC"), 0);  // é (U+E9) before € (U+20AC)
  EXPECT_EQ(AnsiCompareText("ABC", "abc"), 0);
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);

  std::vector<std::string> words{"beta", "Alpha", "alpha", "Beta", "ALPHA", "al", "b"};
  std::sort(words.begin(), words.end(),
            [](const std::string& x, const std::string& y) { return AnsiCompareStr(x, y) < 0; });
  EXPECT_EQ(words,
            (std::vector<std::string>{"al", "alpha", "Alpha", "ALPHA", "b", "beta", "Beta"}));
}

TEST(StrUtils, AnsiCompareStrIsAntisymmetric) {
  const char* samples[] = {"",  "a", "A", "ab", "aB",       "Ab",       "AB",
                           "b", "_", "1", "10", "\xC3\xA9", "\xC3\x89", "z"};
  for (const char* x : samples)
    for (const char* y : samples) {
      int c1 = AnsiCompareStr(x, y), c2 = AnsiCompareStr(y, x);
      EXPECT_EQ(c1 > 0, c2 < 0) << x << " " << y;
      EXPECT_EQ(c1 == 0, std::string(x) == y) << x << " " << y;
    }
}

}  // namespace
}  // namespace hy
