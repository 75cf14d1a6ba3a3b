#include <gtest/gtest.h>

#include <QApplication>

#include <QPushButton>
#include "support/QtApp.h"

#include <cstdio>
#include <filesystem>

#include "app/DemoLayout.h"
#include "app/MainWindow.h"
#include "cube/HyProgress.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "pivot/HyGrid.h"
#include "platform/db/Aliases.h"
#include "platform/db/DemoDatabase.h"
#include "platform/db/Table.h"
#include "support/TestDatabase.h"
#include "ui/HyGridWidget.h"
#include "ui/HyPBar.h"

namespace hy {
namespace {

using test::App;

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    WriteDemoDatabase(folder.Folder() + "/demo");
    SetAlias(kDemoAlias, folder.Folder() + "/demo");
  }
  void TearDown() override { ResetAliases(); }

  test::TestDatabase folder;
};

TEST_F(MainWindowTest, StartsWithTheDemoCubeBuiltInTheProgressDialog) {
  bool askedForDialog = false;
  SetProgressFactory([&](bool showDialog) {
    askedForDialog = showDialog;
    return MakeBuildProgress(showDialog);
  });
  TfrmMain window;
  SetProgressFactory(nullptr);
  EXPECT_TRUE(askedForDialog);
  ASSERT_TRUE(window.HyCube1()->Active());
  EXPECT_EQ(window.HyCube1()->DataState(), dsAllData);
  EXPECT_EQ(window.windowTitle().toStdString(), "KyReport: THyCube export");
  EXPECT_TRUE(window.tblTable1()->Active());
  EXPECT_FALSE(window.tblTable1()->IsLoading());
  const THyMap& map = window.HyCube1()->DimensionMap();
  ASSERT_TRUE(map.Active());
  ASSERT_EQ(map.Count(), 4);
  for (int i = 0; i < map.Count(); ++i) EXPECT_TRUE(map.Items(i)->Active()) << i;
  // The value counts found were written back as the next build's estimate.
  EXPECT_EQ(map.Items(0)->ValueCount(), 54u);
  EXPECT_EQ(map.Items(1)->ValueCount(), 49u);
  EXPECT_EQ(map.Items(2)->ValueCount(), 7u);
  EXPECT_EQ(map.Items(1)->BinFormat(), "mmm, yyyy");
  EXPECT_EQ(window.btnExport()->text().toStdString(), "Report");
  EXPECT_EQ(window.btnExport()->size(), QSize(75, 25));
  EXPECT_EQ(window.FindComponent("tblTable1"), window.tblTable1());
  EXPECT_EQ(window.HyCube1()->DataSet(), window.tblTable1());
  // The source applied its stored pivot state to the built cube.
  THySource* source = window.HySource1();
  ASSERT_TRUE(source->IsActive());
  EXPECT_EQ(source->DecisionCube(), window.HyCube1());
  EXPECT_EQ(source->DimensionInfo(), kDemoDimensionInfo);
  EXPECT_EQ(source->ColCount(), 55);  // 54 customers and the total
  EXPECT_GT(source->RowCount(), 49);

  window.show();
  const char* shot = std::getenv("HY_SCREENSHOT_DIR");
  if (shot) window.grab().save(QString::fromStdString(std::string(shot) + "/main-window.png"));
}

TEST_F(MainWindowTest, TheGridShowsTheDemoPivot) {
  SetProgressFactory([](bool) { return MakeBuildProgress(false); });
  TfrmMain window;
  SetProgressFactory(nullptr);
  TCustomHyGrid* grid = window.HyGrid1Model();
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(window.FindComponent("HyGrid1"), grid);
  EXPECT_EQ(window.Components(0), grid);  // created first
  EXPECT_EQ(grid->DecisionSource(), window.HySource1());
  ASSERT_TRUE(grid->Populated());
  EXPECT_EQ(grid->RowLevels(), 2);
  EXPECT_EQ(grid->ColLevels(), 1);
  EXPECT_EQ(grid->FixedCols(), 3);
  EXPECT_EQ(grid->FixedRows(), 2);
  EXPECT_EQ(grid->ColCount(), 3 + 55);
  EXPECT_EQ(grid->CellText(-2, -1), "SaleDate");
  EXPECT_EQ(grid->CellText(-1, -1), "Payment");
  EXPECT_EQ(grid->CellText(0, -2), "Customer");
  EXPECT_EQ(grid->CellText(-2, 0), "Jan, 2004");
  EXPECT_EQ(grid->CellText(54, -1), "Sum");
  EXPECT_EQ(grid->ColWidths(1), 80);
  EXPECT_EQ(grid->ColWidths(3), 100);

  // The grand total is the table's sum.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder.Folder() + "/demo/orders.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT SUM(ItemsTotal) FROM orders", -1, &stmt, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.2f", sqlite3_column_double(stmt, 0));
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  EXPECT_EQ(grid->CellText(54, grid->RowCount() - grid->FixedRows() - 1), expected);

  window.show();
  if (const char* shot = std::getenv("HY_SCREENSHOT_DIR"))
    window.grab().save(QString::fromStdString(std::string(shot) + "/main-window-grid.png"));
}

TEST_F(MainWindowTest, AFailedStartRaisesAndShowsNothing) {
  std::filesystem::remove(folder.Folder() + "/demo/orders.db");
  EXPECT_THROW(TfrmMain window, EDatabaseError);
}

}  // namespace
}  // namespace hy
