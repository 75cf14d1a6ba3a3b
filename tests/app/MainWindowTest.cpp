#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <filesystem>

#include "app/MainWindow.h"
#include "cube/HyStore.h"
#include "platform/db/Aliases.h"
#include "platform/db/DemoDatabase.h"
#include "platform/db/Table.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

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

TEST_F(MainWindowTest, StartsWithTheDemoTableAndResolvedMap) {
  TfrmMain window;
  EXPECT_EQ(window.windowTitle().toStdString(), "KyReport: THyCube export");
  EXPECT_TRUE(window.tblTable1()->Active());
  EXPECT_FALSE(window.tblTable1()->IsLoading());
  const THyMap& map = window.HyCube1()->DimensionMap();
  ASSERT_TRUE(map.Active());
  ASSERT_EQ(map.Count(), 4);
  for (int i = 0; i < map.Count(); ++i) EXPECT_TRUE(map.Items(i)->Active()) << i;
  EXPECT_EQ(map.Items(1)->BinFormat(), "mmm, yyyy");
  EXPECT_EQ(window.btnExport()->text().toStdString(), "Report");
  EXPECT_EQ(window.btnExport()->geometry(), QRect(224, 24, 75, 25));
  EXPECT_EQ(window.FindComponent("tblTable1"), window.tblTable1());
  EXPECT_EQ(window.HyCube1()->DataSet(), window.tblTable1());

  window.show();
  const char* shot = std::getenv("HY_SCREENSHOT_DIR");
  if (shot) window.grab().save(QString::fromStdString(std::string(shot) + "/main-window.png"));
}

TEST_F(MainWindowTest, AFailedStartRaisesAndShowsNothing) {
  std::filesystem::remove(folder.Folder() + "/demo/orders.db");
  EXPECT_THROW(TfrmMain window, EDatabaseError);
}

}  // namespace
}  // namespace hy
