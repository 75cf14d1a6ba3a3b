// The dataset cube's build through the bin table and the cell cache, with
// the build progress: a cancel in the middle of the record scan, and what a
// successful build hands to its views.
#include <gtest/gtest.h>

#include "common/StrUtils.h"
#include "cube/CubeTestSupport.h"
#include "pivot/HyDBCube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

class CountingClient : public TCubeClient {
public:
  void SetCubeReference(THyCube* cube) override { cube_ = cube; }
  void CubeReferenceChanged() override {}
  void CubeChanged(uint8_t event) override {
    events.push_back(event);
    if (event == 0 && cube_ && cube_->Active()) grandTotal = cube_->GetSummaryValue({-1, -1});
  }
  std::vector<uint8_t> events;
  Variant grandTotal;

private:
  THyCube* cube_ = nullptr;
};

class CubeBuild : public ::testing::Test {
protected:
  void SetUp() override {
    std::string sql = "BEGIN; CREATE TABLE orders (Region VARCHAR(10), Kind INTEGER, Qty INTEGER);";
    for (int i = 0; i < 20000; ++i)
      sql += Format("INSERT INTO orders VALUES ('R%d', %d, %d);", i % 7, i % 11, i % 5);
    db.Exec(sql + "COMMIT;");
    table = db.Table("orders");
    cube.SetShowProgressDialog(false);
    cube.SetDataSet(table.get());
    for (const char* field : {"Region", "Kind"}) {
      THyMapItem* item = cube.DimensionMap().Add();
      item->SetName(field);
      item->SetFieldName(field);
    }
    THyMapItem* qty = cube.DimensionMap().Add();
    qty->SetName("Qty");
    qty->SetDimensionType(dimSum);
    qty->SetFieldName("Qty");
    cube.AddDataSource(&client);
  }
  void TearDown() override { cube.RemoveDataSource(&client); }

  test::TestDatabase db;
  std::unique_ptr<TTable> table;
  THyCube cube;
  CountingClient client;
};

TEST_F(CubeBuild, CancelDuringTheScanLeavesTheCubeInactiveAndTheViewsWithoutData) {
  ScriptedProgress progress;
  progress.CancelAtCount(8192);
  {
    test::UseProgress use(progress);
    EXPECT_THROW(cube.SetActive(true), EUserCanceled);
  }
  // The scan stopped at the second report, 8192 rows in.
  EXPECT_EQ(progress.CountOf(ScriptedProgress::Kind::Count), 2);
  EXPECT_EQ(progress.CountOf(ScriptedProgress::Kind::Stage), 0);
  EXPECT_FALSE(cube.Active());
  EXPECT_FALSE(cube.DataCache().Active());
  EXPECT_EQ(cube.DataCache().BinTable(), nullptr);
  EXPECT_EQ(cube.GetDimensionCount(), 0);
  EXPECT_FALSE(table->ControlsDisabled());
  EXPECT_TRUE(client.events.empty());
}

TEST_F(CubeBuild, ABuildRunsItsStagesAndTellsTheViews) {
  ScriptedProgress progress;
  {
    test::UseProgress use(progress);
    cube.SetActive(true);
  }
  EXPECT_EQ(progress.Texts(),
            (std::vector<std::string>{"Scanning data set values...", "Compress Dimensions...",
                                      "Sort Dimensions with lookups..."}));
  // One step per record while compressing, one per dimension while sorting.
  EXPECT_EQ(progress.CountOf(ScriptedProgress::Kind::Step), 77 + 2);
  EXPECT_EQ(client.events, (std::vector<uint8_t>{0}));
  EXPECT_EQ(client.grandTotal.AsInt64(), 20000 * 2);  // i % 5 averages 2
  EXPECT_EQ(cube.DimensionMap().Items(0)->ValueCount(), 7u);
  EXPECT_EQ(cube.DimensionMap().Items(1)->ValueCount(), 11u);
}

}  // namespace
}  // namespace hy
