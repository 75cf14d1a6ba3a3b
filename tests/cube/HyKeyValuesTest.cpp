// How key values become dimension values: string keys in the locale's
// collation, float keys within the comparison's tolerance as one value,
// and float sums that leave the double range.
#include <gtest/gtest.h>

#include <QLocale>

#include <cmath>
#include <string>
#include <vector>

#include "common/StrUtils.h"
#include "cube/CubeTestSupport.h"
#include "cube/HyCollate.h"

namespace hy {
namespace {

using test::MemCube;

std::vector<std::string> Captions(MemCube& cube, int32_t dim) {
  std::vector<std::string> out;
  TDimension* d = cube.Cache().Dimensions(dim);
  for (int32_t i = 0; i < d->GetValueCount(); ++i) out.push_back(d->GetValueCaption(i));
  return out;
}

// The locale the tests collate in.
class EnglishCollation : public ::testing::Test {
protected:
  void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

TEST_F(EnglishCollation, StringKeysFollowTheLocalesCollationAndMergeEqualOnes) {
  MemCube cube;
  cube.Column("Word", ftString, 20);
  cube.Column("N", ftInteger);
  // "e" + combining acute is "é" written in two code points: one value.
  const char* rows[] = {"zebra",
                        "\xC3\x89"
                        "clair",
                        "eclair",
                        "apfel",
                        "\xC3\x84pfel",
                        "banana",
                        "\xC3\xA9"
                        "clair",
                        "e\xCC\x81"
                        "clair",
                        "apfel"};
  for (const char* w : rows) cube.Row({w, 1});
  cube.Item("Word", dimDimension);
  cube.Item("N", dimSum);
  cube.Open();

  const std::vector<std::string> expected = {"apfel",
                                             "\xC3\x84pfel",
                                             "banana",
                                             "eclair",
                                             "\xC3\xA9"
                                             "clair",
                                             "\xC3\x89"
                                             "clair",
                                             "zebra"};
  const std::vector<std::string> captions = Captions(cube, 0);
  ASSERT_EQ(captions.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(CollateCompare(captions[i], expected[i]), 0) << i << ": " << captions[i];
  TBinTable& bins = cube.Bins();
  ASSERT_EQ(bins.RecordCount(), 7);
  EXPECT_EQ(cube.Value(0, 1).AsInteger(), 2);  // apfel twice
  EXPECT_EQ(cube.Value(4, 1).AsInteger(), 2);  // both spellings of "éclair"
  for (int32_t r = 1; r < bins.RecordCount(); ++r)
    EXPECT_LT(bins.CompareKeys(bins.Record(r - 1), bins.Record(r)), 0) << r;
}

TEST_F(EnglishCollation, AsciiKeepsItsOrderLettersFirstThenLowerBeforeUpper) {
  const std::vector<std::string> ordered = {"",   "1",  "10", "2",   "a",  "A", "a b",
                                            "ab", "Ab", "AB", "abc", "AC", "b", "B"};
  for (size_t i = 0; i < ordered.size(); ++i)
    for (size_t j = 0; j < ordered.size(); ++j) {
      const int expected = i < j ? -1 : (i > j ? 1 : 0);
      EXPECT_EQ(CollateCompare(ordered[i], ordered[j]), expected)
          << ordered[i] << " / " << ordered[j];
      EXPECT_EQ(AnsiCompareStr(ordered[i], ordered[j]) < 0, expected < 0)
          << ordered[i] << " / " << ordered[j];
    }
}

TEST(FloatKeys, ValuesWithinTheToleranceAreOneValueAndOneBin) {
  MemCube cube;
  cube.Column("X", ftFloat);
  cube.Column("Y", ftString, 4);
  cube.Column("N", ftInteger);
  // Sorted by exact bits the second key would separate these; by the key
  // comparison X is one value, so the bins are (X, "a") and (X, "b").
  cube.Row({2e-200, "a", 1});
  cube.Row({0.0, "b", 10});
  cube.Row({-1e-200, "a", 100});
  cube.Row({1e-200, "b", 1000});
  cube.Row({5.0, "a", 10000});
  cube.Item("X", dimDimension);
  cube.Item("Y", dimDimension);
  cube.Item("N", dimSum);
  cube.Open();

  EXPECT_EQ(cube.Cache().Dimensions(0)->GetValueCount(), 2);
  TBinTable& bins = cube.Bins();
  ASSERT_EQ(bins.RecordCount(), 3);
  EXPECT_EQ(cube.Value(0, 2).AsInteger(), 101);
  EXPECT_EQ(cube.Value(1, 2).AsInteger(), 1010);
  EXPECT_EQ(cube.Value(2, 2).AsInteger(), 10000);
  EXPECT_EQ(cube.Value(2, 0).AsDouble(), 5.0);
  for (int32_t r = 1; r < bins.RecordCount(); ++r)
    EXPECT_LT(bins.CompareKeys(bins.Record(r - 1), bins.Record(r)), 0) << r;
  // Every bin is reachable through its cell.
  EXPECT_EQ(cube.Cache().GetSummaryValue({0, 0}).AsInteger(), 101);
  EXPECT_EQ(cube.Cache().GetSummaryValue({0, -1}).AsInteger(), 1111);
}

TEST(FloatSums, ASumBeyondTheDoubleRangeRaisesInsteadOfInfinity) {
  {
    MemCube cube;  // in one bin, while loading
    cube.Column("K", ftInteger);
    cube.Column("V", ftFloat);
    cube.Row({1, 1.5e308});
    cube.Row({1, 1.5e308});
    cube.Item("K", dimDimension);
    cube.Item("V", dimSum);
    EXPECT_EQ(cube.OpenError(), "Floating point overflow");
  }
  {
    MemCube cube;  // in the total over two bins
    cube.Column("K", ftInteger);
    cube.Column("V", ftFloat);
    cube.Row({1, 1.5e308});
    cube.Row({2, 1.5e308});
    cube.Row({3, -1.0});
    cube.Item("K", dimDimension);
    cube.Item("V", dimSum);
    cube.Open();
    EXPECT_EQ(cube.Cache().GetSummaryValue({0}).AsDouble(), 1.5e308);
    EXPECT_THROW(cube.Cache().GetSummaryValue({-1}), EOverflow);
  }
  {
    MemCube cube;  // an infinity in the data stays what it is
    cube.Column("K", ftInteger);
    cube.Column("V", ftFloat);
    cube.Row({1, HUGE_VAL});
    cube.Row({1, 1.0});
    cube.Item("K", dimDimension);
    cube.Item("V", dimSum);
    cube.Open();
    EXPECT_TRUE(std::isinf(cube.Value(0, 1).AsDouble()));
  }
}

}  // namespace
}  // namespace hy
