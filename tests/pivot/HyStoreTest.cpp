// The store's open/close state machine, its events and its recovery, on a
// real cube over SQLite.
#include <gtest/gtest.h>

#include "cube/HyProgress.h"
#include "cube/ScriptedProgress.h"
#include "pivot/HyDBCube.h"
#include "support/MapItems.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

// A registered view that records what the cube tells it.
class RecordingClient : public TCubeClient {
public:
  explicit RecordingClient(std::vector<std::string>& log) : log_(log) {}
  void SetCubeReference(THyCube* cube) override { cube_ = cube; }
  void CubeReferenceChanged() override { log_.push_back(cube_ ? "attached" : "detached"); }
  void CubeChanged(uint8_t event) override {
    log_.push_back("event " + std::to_string(event) + " state " +
                   std::to_string(cube_ ? cube_->DataState() : -1));
  }
  THyCube* cube_ = nullptr;

private:
  std::vector<std::string>& log_;
};

class HyStoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    db.Exec(
        "CREATE TABLE sales (Region VARCHAR(10), Qty INTEGER, Amount REAL, Note BLOB);"
        "INSERT INTO sales VALUES ('North', 1, 10.5, NULL), ('South', 2, 20, NULL),"
        " ('North', 3, 1, NULL);"
        "CREATE TABLE vacant (Region VARCHAR(10), Amount REAL);"
        "CREATE TABLE broken (Region VARCHAR(10), Qty INTEGER);"
        "INSERT INTO broken VALUES ('North', 1), ('South', 'many');");
    table = db.Table("sales", &owner).release();  // owned by `owner`
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(table);
    cube->SetBeforeOpen([this](THyCustomStore&) { log.push_back("BeforeOpen"); });
    cube->SetAfterOpen([this](THyCustomStore&) { log.push_back("AfterOpen"); });
    cube->SetBeforeClose([this](THyCustomStore&) { log.push_back("BeforeClose"); });
    cube->SetAfterClose([this](THyCustomStore&) { log.push_back("AfterClose"); });
    AddItem("Region", "Region", dimDimension);
    AddItem("Amount", "Amount", dimSum);
  }
  void TearDown() override { SetProgressFactory(nullptr); }

  THyMapItem* AddItem(const std::string& name, const std::string& field, TDimFlags type) {
    return test::AddMapItem(cube->DimensionMap(), name, field, type);
  }

  std::string OpenError() {
    try {
      cube->SetActive(true);
    } catch (const std::exception& e) {
      EXPECT_FALSE(cube->Active());
      EXPECT_FALSE(cube->DimensionMap().Active());
      EXPECT_FALSE(cube->DataCache().Active());
      EXPECT_FALSE(table->ControlsDisabled());
      return e.what();
    }
    return "";
  }

  test::TestDatabase db;
  TComponent owner;
  TTable* table = nullptr;
  THyCube* cube = nullptr;
  std::vector<std::string> log;
};

TEST_F(HyStoreTest, LimitsReadBackAsStored) {
  cube->SetMaxCells(0);
  EXPECT_EQ(cube->MaxCells(), 2000000000u);
  cube->SetMaxCells(5);
  EXPECT_EQ(cube->MaxCells(), 5u);
  cube->SetMaxDimensions(20);
  EXPECT_EQ(cube->MaxDimensions(), 16);
  cube->SetMaxDimensions(3);
  EXPECT_EQ(cube->MaxDimensions(), 3);
  EXPECT_EQ(cube->MaxSummaries(), 10);
}

TEST_F(HyStoreTest, OpenAndCloseInOrder) {
  RecordingClient client(log);
  cube->AddDataSource(&client);
  ASSERT_EQ(OpenError(), "");
  EXPECT_EQ(cube->DataState(), dsAllData);
  EXPECT_TRUE(table->Active());
  cube->SetActive(false);
  EXPECT_FALSE(table->Active() == false);  // the cube never closes its dataset
  EXPECT_EQ(log, (std::vector<std::string>{"attached", "BeforeOpen", "event 0 state 3", "AfterOpen",
                                           "event 0 state 0", "BeforeClose", "AfterClose"}));
  cube->RemoveDataSource(&client);
  EXPECT_EQ(log.back(), "detached");
}

TEST_F(HyStoreTest, RefreshRebuildsOrLetsViewsReRead) {
  RecordingClient client(log);
  cube->AddDataSource(&client);
  cube->Refresh(false);  // inactive: nothing
  cube->Refresh(true);
  EXPECT_EQ(log, std::vector<std::string>{"attached"});
  ASSERT_EQ(OpenError(), "");
  log.clear();
  cube->Refresh(false);
  EXPECT_EQ(log, std::vector<std::string>{"event 3 state 3"});
  log.clear();
  cube->Refresh(true);
  EXPECT_EQ(log, (std::vector<std::string>{"event 0 state 0", "BeforeClose", "AfterClose",
                                           "BeforeOpen", "event 0 state 3", "AfterOpen"}));
  cube->RemoveDataSource(&client);
}

TEST_F(HyStoreTest, FailedOpensLeaveTheCubeClosed) {
  cube->SetDataSet(nullptr);
  EXPECT_EQ(OpenError(), "DataSet not assigned*");
  cube->SetDataSet(table);

  AddItem("Note", "Note", dimDimension);
  log.clear();
  const std::string blob = OpenError();
  EXPECT_NE(blob.find("Note"), std::string::npos) << blob;
  EXPECT_NE(blob.find("Blob"), std::string::npos) << blob;
  EXPECT_EQ(log, std::vector<std::string>{"BeforeOpen"});  // no AfterOpen
  cube->DimensionMap().Delete(2);

  for (int i = 0; i < 32; ++i) AddItem("Sum" + std::to_string(i), "Qty", dimSum);
  cube->SetMaxSummaries(40);
  EXPECT_EQ(OpenError(), "BinTable support up to 32 fields");
  while (cube->DimensionMap().Count() > 2) cube->DimensionMap().Delete(2);

  TTable* vacant = db.Table("vacant", &owner).release();
  cube->SetDataSet(vacant);
  EXPECT_EQ(OpenError(), "Cannot build the Decision Cube with an empty data set");

  TTable* broken = db.Table("broken", &owner).release();
  cube->SetDataSet(broken);
  cube->DimensionMap().Items(1)->SetFieldName("Qty");
  const std::string scan = OpenError();  // the second row does not fit its type
  EXPECT_NE(scan.find("Qty"), std::string::npos) << scan;
  cube->SetDataSet(table);

  cube->DimensionMap().Items(1)->SetFieldName("Amount");
  EXPECT_EQ(OpenError(), "");  // and it opens again afterwards
}

TEST_F(HyStoreTest, CancelDuringTheScanStopsTheBuild) {
  // The first progress call of a build is the scan's status line.
  SetProgressFactory([](bool) {
    auto progress = std::make_unique<ScriptedProgress>();
    progress->CancelAtCall(1);
    return progress;
  });
  RecordingClient client(log);
  cube->AddDataSource(&client);
  EXPECT_EQ(OpenError(), "User canceled DecisionCube population.");
  EXPECT_EQ(log, (std::vector<std::string>{"attached", "BeforeOpen"}));  // no data reached the view
  cube->RemoveDataSource(&client);
}

TEST_F(HyStoreTest, LoadingRemembersActiveUntilLoaded) {
  cube->BeginLoading();
  cube->SetActive(true);
  EXPECT_FALSE(cube->Active());
  table->BeginLoading();
  TComponent::FinishLoading(&owner);  // the cube opens the table itself
  EXPECT_TRUE(cube->Active());
  EXPECT_TRUE(table->Active());
}

TEST_F(HyStoreTest, RemovingTheDataSetClosesTheCube) {
  ASSERT_EQ(OpenError(), "");
  delete table;
  EXPECT_FALSE(cube->Active());
  EXPECT_EQ(cube->DataSet(), nullptr);
  EXPECT_FALSE(cube->DimensionMap().Active());
}

}  // namespace
}  // namespace hy
