#include <gtest/gtest.h>

#include "report/KyRDMan.h"

namespace hy {
namespace {

std::vector<std::string> Pages(const std::string& text) {
  std::vector<std::string> list{"stale"};
  ParsePageRange(text, list);
  return list;
}

using L = std::vector<std::string>;

TEST(ParsePageRange, ListsRangesAndSinglePagesAscendingOnce) {
  EXPECT_EQ(Pages("1,3,5-12"), (L{"1", "3", "5", "6", "7", "8", "9", "10", "11", "12"}));
  EXPECT_EQ(Pages("3,3,2"), (L{"2", "3"}));
  EXPECT_EQ(Pages("10, 9 8"), (L{"8", "9", "10"}));
  EXPECT_EQ(Pages("2a4"), (L{"2", "4"}));
}

TEST(ParsePageRange, ToleratesMalformedRanges) {
  EXPECT_EQ(Pages("12-10"), (L{"10", "12"}));
  EXPECT_EQ(Pages("-4"), (L{"4"}));
  EXPECT_EQ(Pages("5-"), (L{"5"}));
  EXPECT_EQ(Pages(""), L{});
  EXPECT_EQ(Pages(",-,"), L{});
}

}  // namespace
}  // namespace hy
