// The proposed map of a table without a design: which fields become what,
// and that the proposal of a CSV file builds a cube whose total is the
// file's own sum.
#include <gtest/gtest.h>

#include "cube/HyMapProposal.h"
#include "cube/HyStore.h"
#include "platform/db/CsvReader.h"

namespace hy {
namespace {

TEST(MapProposal, TextAndDatesAreDimensionsNumbersSumsTheRestIsLeftOut) {
  TMemDataSet data;
  data.AddColumn("Id", ftAutoInc);
  data.AddColumn("Region", ftString, 20);
  data.AddColumn("Sold", ftDateTime);
  data.AddColumn("Amount", ftCurrency);
  data.AddColumn("Qty", ftInteger);
  data.AddColumn("Notes", ftMemo);
  data.AddColumn("Paid", ftBoolean);
  data.Open();
  THyMap map(nullptr);
  ASSERT_EQ(ProposeDimensionMap(data, map), 5);
  EXPECT_EQ(map.Items(0)->FieldName(), "Region");
  EXPECT_TRUE(map.Items(0)->IsDimension());
  EXPECT_EQ(map.Items(1)->FieldName(), "Sold");
  EXPECT_EQ(map.Items(1)->BinType(), binMonth);
  EXPECT_EQ(map.Items(2)->DimensionType(), dimSum);
  EXPECT_EQ(map.Items(2)->FieldName(), "Amount");
  EXPECT_EQ(map.Items(3)->DimensionType(), dimSum);
  EXPECT_EQ(map.Items(4)->FieldName(), "Paid");
  EXPECT_TRUE(map.Items(4)->IsDimension());
}

TEST(MapProposal, WithoutNumbersTheRowsAreCounted) {
  TMemDataSet data;
  data.AddColumn("Region", ftString, 20);
  data.Open();
  THyMap map(nullptr);
  ASSERT_EQ(ProposeDimensionMap(data, map), 2);
  EXPECT_EQ(map.Items(1)->DimensionType(), dimCount);
}

TEST(MapProposal, NoUsableFieldLeavesTheMapAsItWas) {
  TMemDataSet data;
  data.AddColumn("Amount", ftFloat);
  data.AddColumn("Blob", ftBlob);
  data.Open();
  THyMap map(nullptr);
  map.Add()->SetName("kept");
  EXPECT_EQ(ProposeDimensionMap(data, map), 0);
  ASSERT_EQ(map.Count(), 1);
  EXPECT_EQ(map.Items(0)->Name(), "kept");
}

class TestStore : public THyCustomStore {
public:
  void NotifyDataSources(uint8_t) override {}
};

TEST(MapProposal, ACsvFileBuildsACubeWhoseTotalIsItsSum) {
  const std::string text =
      "Region,Sold,Amount\n"
      "North,2024-01-05,10.5\n"
      "South,2024-01-20,2\n"
      "North,2024-02-03,7.25\n"
      ",2024-03-01,1\n";
  std::unique_ptr<TMemDataSet> data = ReadCsv(text, DetectCsv(text, true).settings, "t.csv");
  TestStore store;
  store.SetShowProgressDialog(false);
  store.SetDataSet(data.get());
  data->Open();
  ASSERT_EQ(ProposeDimensionMap(*data, store.DimensionMap()), 3);
  store.SetActive(true);
  ASSERT_EQ(store.GetDimensionCount(), 2);
  EXPECT_EQ(store.Dimensions(1)->GetValueCount(), 3);  // three months
  EXPECT_DOUBLE_EQ(store.GetSummaryValue(TCoords{-1, -1}).AsDouble(), 20.75);
  store.SetActive(false);
}

}  // namespace
}  // namespace hy
