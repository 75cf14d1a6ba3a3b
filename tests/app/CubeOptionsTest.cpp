#include <gtest/gtest.h>

#include "app/cli/CubeOptions.h"
#include "common/Exceptions.h"

namespace hy::cli {
namespace {

TEST(CubeOptions, ItemsKeepCommasWhereTheyBelong) {
  const CubeOptions o = ParseCubeOptions(
      {"--sum", "Total=ItemsTotal,format=#,##0.00,caption=Sum, all", "--derived",
       "Half=Max(Total, 2) / 2", "--dim", "Month=SaleDate,bin=month,start=2004-04-01,values=49",
       "--max-cells", "1000", "--max-dims", "3", "--max-sums", "2", "leftover"});
  ASSERT_EQ(o.items.size(), 3u);
  EXPECT_EQ(o.items[0].kind, "sum");
  EXPECT_EQ(o.items[0].field, "ItemsTotal");
  EXPECT_EQ(*o.items[0].format, "#,##0.00");
  EXPECT_EQ(*o.items[0].caption, "Sum, all");
  EXPECT_EQ(o.items[1].field, "Max(Total, 2) / 2");
  EXPECT_EQ(o.items[2].bin, "month");
  EXPECT_EQ(o.items[2].start, "2004-04-01");
  EXPECT_EQ(*o.items[2].values, 49u);
  EXPECT_EQ(*o.maxCells, 1000u);
  EXPECT_EQ(*o.maxDims, 3);
  EXPECT_EQ(*o.maxSums, 2);
  EXPECT_EQ(o.rest, Args{"leftover"});
}

TEST(CubeOptions, MalformedFlagsAreRefused) {
  const Args bad[] = {
      {"--dim"},                   // no value
      {"--dim", "NoField"},        // no "="
      {"--dim", "=Field"},         // no name
      {"--sum", "S=F,bin=month"},  // grouping only for dimensions
      {"--dim", "D=F,values=-1"},
      {"--max-cells", "many"},
      {"--db", "x.db"},       // no table
      {"--table", "orders"},  // no database
      {"--db", "x.db", "--alias", "A", "--table", "t"},
      // Limits are plain decimal counts.
      {"--max-dims", "-1"},
      {"--max-sums", "-5"},
      {"--max-dims", "0x10"},
      {"--max-cells", "$FF"},
      {"--max-cells", " 100"},
      {"--max-sums", "3 "},
      {"--max-dims", "+3"},
      {"--max-dims", "2147483648"},
      {"--max-cells", "4294967296"},
      {"--dim", "D=F,values=1e3"},
      // Names head tab-separated columns.
      {"--dim", "A\tB=F"},
      {"--sum", "Line\nTwo=F"},
      {"--derived", "A\rB=1"},
  };
  for (const Args& args : bad) EXPECT_THROW(ParseCubeOptions(args), Exception) << args[0];
}

TEST(CubeOptions, LimitsTakeTheirWholeRange) {
  const CubeOptions o = ParseCubeOptions(
      {"--max-cells", "4294967295", "--max-dims", "0", "--max-sums", "2147483647"});
  EXPECT_EQ(*o.maxCells, 4294967295u);
  EXPECT_EQ(*o.maxDims, 0);
  EXPECT_EQ(*o.maxSums, 2147483647);
  try {
    ParseCubeOptions({"--max-dims", "-1"});
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "--max-dims: '-1' is not a whole number from 0 to 2147483647");
  }
}

}  // namespace
}  // namespace hy::cli
