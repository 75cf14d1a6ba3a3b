#include <gtest/gtest.h>

#include "report/KyRDMan.h"

namespace hy {
namespace {

using L = std::vector<std::string>;

L Pages(const std::string& text) {
  L list{"stale"};
  ParsePageRange(text, list);
  return list;
}

TEST(ParsePageRange, ListsRangesAndSinglePagesAscendingOnce) {
  EXPECT_EQ(Pages("1,3,5-12"), (L{"1", "3", "5", "6", "7", "8", "9", "10", "11", "12"}));
  EXPECT_EQ(Pages("3,3,2"), (L{"2", "3"}));
  EXPECT_EQ(Pages("10, 9 8"), (L{"8", "9", "10"}));
  EXPECT_EQ(Pages("2a4"), (L{"2", "4"}));
  EXPECT_EQ(Pages("1-3-5"), (L{"1", "2", "3", "5"}));
  EXPECT_EQ(Pages("3--7"), (L{"3", "4", "5", "6", "7"}));
  EXPECT_EQ(Pages("7"), (L{"7"}));
}

TEST(ParsePageRange, ToleratesMalformedRanges) {
  EXPECT_EQ(Pages("12-10"), (L{"10", "12"}));
  EXPECT_EQ(Pages("12-5"), (L{"5", "12"}));
  EXPECT_EQ(Pages("-4"), (L{"4"}));
  EXPECT_EQ(Pages("-5"), (L{"5"}));
  EXPECT_EQ(Pages("5-"), (L{"5"}));
  EXPECT_EQ(Pages(""), L{});
  EXPECT_EQ(Pages(",-,"), L{});
  EXPECT_EQ(Pages("pages"), L{});
}

TEST(ParsePageRange, HoldsHugeNumbersAtTheLimit) {
  // Neither an overflowing number nor a range of billions of pages.
  const std::string limit = std::to_string(kMaxPageNumber);
  EXPECT_EQ(Pages("99999999999999999999"), (L{limit}));
  const L range = Pages(std::to_string(kMaxPageNumber - 2) + "-4000000000");
  EXPECT_EQ(range,
            (L{std::to_string(kMaxPageNumber - 2), std::to_string(kMaxPageNumber - 1), limit}));
}

TEST(TextHelpers, PadInFrontUpToTheWidthInCharacters) {
  EXPECT_EQ(PadLeft("42", 5), "   42");
  EXPECT_EQ(PadLeft("123456", 3), "123456");
  EXPECT_EQ(PadLeft("", 2), "  ");
  EXPECT_EQ(PadLeft("x", -1), "x");
  EXPECT_EQ(PadZeros("7", 3), "007");
  EXPECT_EQ(PadZeros("1234", 2), "1234");
  // A Cyrillic letter is one character, not two bytes.
  EXPECT_EQ(PadLeft("ж", 3), "  ж");
}

TEST(TextHelpers, HtmlEscapeWritesCompleteEntities) {
  EXPECT_EQ(HtmlEscape("a<b & c>d"), "a&lt;b &amp; c&gt;d");
  EXPECT_EQ(HtmlEscape("say \"it's\""), "say &quot;it&#39;s&quot;");
  EXPECT_EQ(HtmlEscape("x|y"), "x|y");
  EXPECT_EQ(HtmlEscape("© 20° ±1 ¶ Name™"), "&copy; 20&deg; &plusmn;1 &para; Name&trade;");
  // Other non-ASCII text is left for the writer's code page handling.
  EXPECT_EQ(HtmlEscape("Grüße ½ Привет"), "Grüße ½ Привет");
  EXPECT_EQ(HtmlEscape(""), "");
}

}  // namespace
}  // namespace hy
