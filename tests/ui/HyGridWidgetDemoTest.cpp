// The cross-tab widget over the demo table, pivoted as a user pivots it:
// after every pivot the first data row and column and their captions are
// on screen.
#include <gtest/gtest.h>

#include <QTest>

#include <cstdlib>
#include <string>

#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "pivot/HyDBTestUtil.h"
#include "platform/db/DemoDatabase.h"
#include "platform/db/Table.h"
#include "support/MapItems.h"
#include "support/QtApp.h"
#include "support/TestDatabase.h"
#include "ui/HyGridWidget.h"
#include "ui/HyGridWidgetTestUtil.h"

namespace hy {
namespace {

class HyGridWidgetDemoTest : public ::testing::Test, public test::GridDriver {
protected:
  void SetUp() override {
    test::App();
    WriteDemoDatabase(folder.Folder() + "/demo");
    table = new TTable(&owner);
    table->SetDatabaseName(folder.Folder() + "/demo");
    table->SetTableName(kDemoTableFile);
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(table);
    test::AddMapItem(cube->DimensionMap(), "Customer", "CustNo", dimDimension);
    test::AddMapItem(cube->DimensionMap(), "SaleDate", "SaleDate", dimDimension)
        ->SetBinType(binMonth);
    test::AddMapItem(cube->DimensionMap(), "Payment", "PaymentMethod", dimDimension);
    test::AddMapItem(cube->DimensionMap(), "Total", "ItemsTotal", dimSum);
    source = new THySource(&owner);
    source->SetDecisionCube(cube);
    source->SetDimensionInfo("(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 1 1 1 -1 'Payment')");
    widget = std::make_unique<THyGrid>();
    model = widget->Model();
    model->SetDecisionSource(source);
    cube->SetActive(true);
    widget->resize(688, 382);  // the demo window's grid
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.get()));
  }
  void TearDown() override { widget.reset(); }

  void Shoot(const std::string& name) {
    if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
      widget->grab().save(QString::fromStdString(std::string(dir) + "/demo-" + name + ".png"));
  }
  // The view is at its top-left and shows every caption and the labels of
  // the first data cell.
  void ExpectFirstCellsShown(const std::string& step) {
    SCOPED_TRACE(step + ": " + test::Describe(source->AxisList(TDimAxis::Rows)) + " | " +
                 test::Describe(source->AxisList(TDimAxis::Cols)));
    Shoot(step);
    EXPECT_EQ(widget->TopRow(), model->FixedRows());
    EXPECT_EQ(widget->LeftCol(), model->FixedCols());
    EXPECT_FALSE(widget->CellRect(model->FixedCols(), model->FixedRows()).isEmpty());
    for (int32_t x = -model->RowLevels(); x < 0; ++x) {
      EXPECT_FALSE(widget->CellRect(x + model->FixedCols(), model->FixedRows() - 1).isEmpty());
      EXPECT_NE(model->CellText(x, -1), "") << "row caption " << x;
      EXPECT_NE(model->CellText(x, 0), "") << "first row label " << x;
    }
    for (int32_t y = -model->ColLevels(); y < 0; ++y) {
      EXPECT_NE(model->CellText(0, y), "") << "first column label " << y;
      EXPECT_NE(model->CellText(y + model->ColLevels(), -model->ColLevels() - 1), "")
          << "column caption " << y;
    }
  }

  test::TestDatabase folder{"unused.db"};
  TComponent owner;
  TTable* table = nullptr;
  THyCube* cube = nullptr;
  THySource* source = nullptr;
};

TEST_F(HyGridWidgetDemoTest, EveryPivotShowsTheFirstDataCellWithItsLabels) {
  ExpectFirstCellsShown("start");
  Click(At(-2, -1, 0.95));  // SaleDate's minus glyph closes Payment
  ASSERT_EQ(model->RowLevels(), 1);
  ExpectFirstCellsShown("payment-closed");
  Click(At(-1, -1, 0.95));  // its plus opens it again
  ASSERT_EQ(model->RowLevels(), 2);
  ExpectFirstCellsShown("payment-opened");

  DragTo(At(-1, -1), At(0, -2, 0.9));  // Payment to the columns, after Customer
  ASSERT_EQ(model->ColLevels(), 2);
  ExpectFirstCellsShown("payment-across");
  DragTo(At(1, -3), At(-1, -1, 0.9));  // and back to the rows
  ASSERT_EQ(model->RowLevels(), 2);
  ExpectFirstCellsShown("payment-back");

  Click(At(-2, 0), Qt::RightButton);
  QAction* drill = MenuAction("Drill in to this value");
  ASSERT_NE(drill, nullptr);
  drill->trigger();
  ASSERT_EQ(model->RowLevels(), 1);
  ExpectFirstCellsShown("drilled");

  DragTo(At(0, -2), At(-1, -1, 0.9));  // Customer to the rows: every dimension there
  ASSERT_EQ(model->ColLevels(), 0);
  ExpectFirstCellsShown("all-rows");
}

}  // namespace
}  // namespace hy
