// The main window over sources of the user's own: SQLite tables and CSV files
// opened through the menus and their dialogs, the cube editor, layouts,
// drill-through, and the window's geometry.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <cmath>
#include <fstream>
#include <functional>

#include "app/MainWindow.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "pivot/HyGrid.h"
#include "platform/db/Aliases.h"
#include "platform/db/DemoDatabase.h"
#include "report/KyRAHyDC.h"
#include "support/QtApp.h"
#include "support/TestDatabase.h"
#include "ui/DrillThrough.h"
#include "ui/HyCubeEditor.h"
#include "ui/HyGridWidget.h"
#include "ui/OpenCsv.h"
#include "ui/OpenTable.h"

namespace hy {
namespace {

// Runs `fn` on the modal dialog of type D as soon as it is up.
template <class D>
void WhenModal(std::function<void(D*)> fn) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, fn] {
    if (auto* d = dynamic_cast<D*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      fn(d);
    }
  });
  timer->start(10);
}

void Shot(QWidget& w, const char* name) {
  if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
    w.grab().save(QString("%1/%2.png").arg(dir, name));
}

double SqlNumber(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  double v = NAN;
  if (sqlite3_step(stmt) == SQLITE_ROW) v = sqlite3_column_double(stmt, 0);
  sqlite3_finalize(stmt);
  return v;
}

class MainWindowSource : public ::testing::Test {
protected:
  void SetUp() override {
    test::App();
    WriteDemoDatabase(demo.Folder() + "/demo");
    SetAlias(kDemoAlias, demo.Folder() + "/demo");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(demo.Folder()));
    db.Exec("CREATE TABLE sales (region TEXT, product TEXT, sold DATE, amount REAL)");
    db.Exec("CREATE TABLE blobs (data BLOB)");
    const char* regions[] = {"North", "South", "East"};
    const char* products[] = {"Tea", "Coffee", "Cocoa", "Juice"};
    std::string csv = "region,product,sold,amount\n";
    db.Exec("BEGIN");
    for (int i = 0; i < 240; ++i) {
      char date[16];
      std::snprintf(date, sizeof date, "2024-%02d-%02d", 1 + i % 12, 1 + i % 28);
      const double amount = 10.25 * (i % 17) + i;
      db.Exec(Format("INSERT INTO sales VALUES ('%s', '%s', '%s', %.2f)", regions[i % 3],
                     products[(i / 3) % 4], date, amount));
      csv +=
          Format("%s,\"%s, fresh\",%s,%.2f\n", regions[i % 3], products[(i / 3) % 4], date, amount);
    }
    db.Exec("COMMIT");
    csvFile = db.Folder() + "/sales.csv";
    std::ofstream(csvFile) << csv;
  }
  void TearDown() override { ResetAliases(); }

  static double GrandTotal(const THySource& s) {
    return s.GetCellValue(s.RowCount() - 1, s.ColCount() - 1).AsDouble();
  }

  test::TestDatabase demo{"x.db"};
  test::TestDatabase db{"shop.db"};
  std::string csvFile;
};

TEST_F(MainWindowSource, OpensATableThroughTheMenuAndItsDialog) {
  TfrmMain window;
  window.show();
  Shot(window, "main-window");
  WhenModal<TOpenTableDialog>([&](TOpenTableDialog* d) {
    d->SetFile(QString::fromStdString(db.File()));
    Shot(*d, "open-table");
    ASSERT_TRUE(d->SelectTable("sales"));
    d->OkButton()->click();
  });
  window.Action("actOpenTable")->trigger();

  ASSERT_TRUE(window.HyCube1()->Active());
  EXPECT_EQ(window.Source().kind, TSourceChoice::scTable);
  EXPECT_EQ(window.Source().tableName, "sales");
  EXPECT_EQ(window.tblTable1(), nullptr);  // the demo table is gone
  EXPECT_EQ(window.FindComponent("HyCube1"), window.HyCube1());
  EXPECT_EQ(window.windowTitle().toStdString(), "KyReport: THyCube export - sales (shop.db)");
  const THyMap& map = window.HyCube1()->DimensionMap();
  ASSERT_NE(map.FindItem("sold"), nullptr);
  EXPECT_EQ(map.FindItem("sold")->BinType(), binMonth);
  EXPECT_NEAR(GrandTotal(*window.HySource1()),
              SqlNumber(db.Handle(), "SELECT SUM(amount) FROM sales"), 1e-6);
  EXPECT_TRUE(window.HyGrid1Model()->Populated());
  EXPECT_EQ(window.RecentEntries().value(0).toStdString(), "table\t" + db.File() + "\tsales");
  Shot(window, "main-window-sales");
}

TEST_F(MainWindowSource, OpensACsvFileThroughTheMenuAndItsDialog) {
  TfrmMain window;
  WhenModal<TOpenCsvDialog>([&](TOpenCsvDialog* d) {
    d->SetFile(QString::fromStdString(csvFile));
    EXPECT_EQ(d->Settings().separator, ',');
    d->OkButton()->click();
  });
  window.Action("actOpenCsv")->trigger();
  ASSERT_EQ(window.Source().kind, TSourceChoice::scCsv);
  EXPECT_EQ(window.Source().fileName, csvFile);
  ASSERT_TRUE(window.HyCube1()->Active());
  EXPECT_NEAR(GrandTotal(*window.HySource1()),
              SqlNumber(db.Handle(), "SELECT SUM(amount) FROM sales"), 1e-6);
  ASSERT_NE(window.HyCube1()->DimensionMap().FindItem("product"), nullptr);
  // The products kept their embedded separators.
  const int32_t dim = window.HyCube1()->DimensionMap().IndexOf(
      window.HyCube1()->DimensionMap().FindItem("product"));
  EXPECT_EQ(window.HySource1()->GetValueText(dim, 0), "Cocoa, fresh");

  // The recent list opens it again.
  window.OpenTable(db.File(), "sales");
  QMenu* recent = window.findChild<QMenu*>("mnuRecent");
  emit recent->aboutToShow();
  ASSERT_GE(recent->actions().size(), 2);
  recent->actions().value(1)->trigger();
  EXPECT_EQ(window.Source().kind, TSourceChoice::scCsv);
}

TEST_F(MainWindowSource, AFailedOpenLeavesTheCubeAsItWas) {
  TfrmMain window;
  std::vector<std::string> errors;
  window.SetOnError([&](const std::string& m) { errors.push_back(m); });
  THyCube* cube = window.HyCube1();
  const std::string pivot = window.HySource1()->DimensionInfo();
  const int32_t cols = window.HySource1()->ColCount();
  EXPECT_THROW(window.OpenTable(db.File(), "nothing"), Exception);
  EXPECT_THROW(window.OpenTable(db.File(), "blobs"), EHyMapError);
  EXPECT_THROW(window.OpenTable(db.Folder() + "/none.db", "sales"), Exception);
  const std::string notDb = db.Folder() + "/text.db";
  std::ofstream(notDb) << "this is not a database\n";
  EXPECT_THROW(window.OpenTable(notDb, "sales"), Exception);
  const std::string badCsv = db.Folder() + "/bad.csv";
  std::ofstream(badCsv) << "a,b\n1,2\n3\n";
  TCsvSettings settings;
  EXPECT_THROW(window.OpenCsv(badCsv, settings), Exception);
  EXPECT_EQ(window.HyCube1(), cube);
  EXPECT_TRUE(cube->Active());
  EXPECT_NE(window.tblTable1(), nullptr);
  EXPECT_EQ(window.HySource1()->DimensionInfo(), pivot);
  EXPECT_EQ(window.HySource1()->ColCount(), cols);
  EXPECT_EQ(window.windowTitle().toStdString(), "KyReport: THyCube export");
  EXPECT_EQ(window.HyCube1()->Sources().size(), 1u);
}

TEST_F(MainWindowSource, TheCubeEditorRegroupsADimensionAndKeepsThePivot) {
  TfrmMain window;
  window.OpenTable(db.File(), "sales");
  THySource& source = *window.HySource1();
  const THyMap& before = window.HyCube1()->DimensionMap();
  const int sold = before.IndexOf(before.FindItem("sold"));
  // Pivot first: "sold" alone on the columns.
  source.MoveDimension(source.DimInfo(sold).Axis, TDimAxis::Cols, false, 0,
                       source.DimInfo(sold).Position);
  const std::string pivot = source.DimensionInfo();
  EXPECT_EQ(source.DimInfo(sold).Axis, TDimAxis::Cols);

  // The quick menu offers the editor once ShowCubeEditor is set.
  window.HyGrid1Model()->SetShowCubeEditor(true);
  ASSERT_EQ(window.HyGrid1Model()->PrepareGeneralMenu(), TMenuPlace::Mouse);
  const TQuickMenuItem* entry =
      window.HyGrid1Model()->QuickMenu().FindEntry("Decision Cube Editor..");
  ASSERT_NE(entry, nullptr);
  bool shown = false;
  WhenModal<THyCubeEditor>([&](THyCubeEditor* editor) {
    shown = true;
    editor->SelectItem(sold);
    EXPECT_EQ(editor->Grouping()->currentText(), "Month");
    EXPECT_EQ(editor->DisplayName()->text(), "sold");
    editor->Grouping()->setCurrentIndex(2);  // Quarter
    editor->Tabs()->setCurrentIndex(0);
    Shot(*editor, "cube-editor");
    editor->Tabs()->setCurrentIndex(1);
    EXPECT_NE(editor->EstimateLabel()->text().indexOf("cells"), -1);
    Shot(*editor, "cube-editor-memory");
    editor->accept();
  });
  window.HyGrid1Model()->QuickMenu().EntryClicked(*entry);
  ASSERT_TRUE(shown);
  const THyMap& after = window.HyCube1()->DimensionMap();
  EXPECT_EQ(after.FindItem("sold")->BinType(), binQuarter);
  EXPECT_EQ(window.HySource1()->GetDimension(sold)->GetValueCount(), 4);  // four quarters of 2024
  EXPECT_EQ(source.DimInfo(sold).Axis, TDimAxis::Cols);
  EXPECT_EQ(source.DimensionInfo(), pivot);
  EXPECT_NEAR(GrandTotal(source), SqlNumber(db.Handle(), "SELECT SUM(amount) FROM sales"), 1e-6);

  // Cancel changes nothing; the Cube menu opens the editor without the flag.
  window.HyGrid1Model()->SetShowCubeEditor(false);
  THyCube* cube = window.HyCube1();
  WhenModal<THyCubeEditor>([&](THyCubeEditor* editor) {
    editor->Grouping()->setCurrentIndex(1);
    editor->reject();
  });
  window.Action("actCubeEditor")->trigger();
  EXPECT_EQ(window.HyCube1(), cube);
  EXPECT_EQ(window.HyCube1()->DimensionMap().FindItem("sold")->BinType(), binQuarter);
}

TEST_F(MainWindowSource, ALayoutSavesAndRestoresSourceMapPivotAndReport) {
  TfrmMain window;
  window.OpenTable(db.File(), "sales");
  THySource& source = *window.HySource1();
  const THyMap& map = window.HyCube1()->DimensionMap();
  const int product = map.IndexOf(map.FindItem("product"));
  source.MoveDimension(source.DimInfo(product).Axis, TDimAxis::Cols, false, 0,
                       source.DimInfo(product).Position);
  window.HyCube1()->DimensionMap();
  window.KyPrintHyCube1()->SetHeader({"Sales by product"});
  window.KyPrintHyCube1()->SetAutoFit(true);
  const std::string pivot = source.DimensionInfo();
  const std::string file = db.Folder() + "/sales.cvl";
  window.SaveLayout(file);

  // Elsewhere, then back.
  TfrmMain other;
  std::vector<std::string> errors;
  other.SetOnError([&](const std::string& m) { errors.push_back(m); });
  other.OpenLayout(file);
  EXPECT_EQ(other.Source().tableName, "sales");
  EXPECT_EQ(other.HySource1()->DimensionInfo(), pivot);
  EXPECT_EQ(other.HySource1()->DimInfo(product).Axis, TDimAxis::Cols);
  EXPECT_EQ(other.KyPrintHyCube1()->Header(), std::vector<std::string>{"Sales by product"});
  EXPECT_TRUE(other.KyPrintHyCube1()->AutoFit());
  EXPECT_EQ(other.HyCube1()->DimensionMap().Count(), map.Count());
  EXPECT_NEAR(GrandTotal(*other.HySource1()), GrandTotal(source), 1e-9);

  // A broken layout and one whose source is gone change nothing.
  THyCube* cube = other.HyCube1();
  std::ofstream(db.Folder() + "/broken.cvl") << "cubeview-layout 1\nsource table \"x\"\n";
  EXPECT_THROW(other.OpenLayout(db.Folder() + "/broken.cvl"), ELayoutError);
  TLayout moved = LoadLayoutFile(file);
  moved.source.fileName = db.Folder() + "/moved.db";
  moved.report.header = {"not this"};
  SaveLayoutFile(db.Folder() + "/moved.cvl", moved);
  EXPECT_THROW(other.OpenLayout(db.Folder() + "/moved.cvl"), Exception);
  // Named on the command line, the broken layout is reported, not raised.
  other.OpenFileGuarded(db.Folder() + "/broken.cvl");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("broken.cvl', line 2: 'source' takes 3 values, not 2"),
            std::string::npos)
      << errors[0];
  EXPECT_EQ(other.HyCube1(), cube);
  EXPECT_EQ(other.HySource1()->DimensionInfo(), pivot);
  EXPECT_EQ(other.KyPrintHyCube1()->Header(), std::vector<std::string>{"Sales by product"});
}

TEST_F(MainWindowSource, DoubleClickOnASubtotalDrillsThroughToItsRows) {
  TfrmMain window;
  window.resize(900, 600);
  window.show();
  window.OpenTable(db.File(), "sales");
  THySource& source = *window.HySource1();
  const THyMap& map = window.HyCube1()->DimensionMap();
  const int region = map.IndexOf(map.FindItem("region"));
  const int product = map.IndexOf(map.FindItem("product"));
  const int sold = map.IndexOf(map.FindItem("sold"));
  // Region and product on the rows, the months closed.
  source.SetDimensionInfo("(1 0 1 0 -1 'region' 1 1 1 1 -1 'product' 2 -1 2 0 -1 'sold')");
  ASSERT_EQ(source.DimInfo(region).Axis, TDimAxis::Rows);
  ASSERT_EQ(source.DimInfo(product).Axis, TDimAxis::Rows);
  ASSERT_NE(source.DimInfo(sold).State, TDimState::Open);

  // The first row whose product is a subtotal: one region, every product.
  TCustomHyGrid& grid = *window.HyGrid1Model();
  int32_t y = -1;
  TCoords coords;
  for (int32_t row = 0; row < source.RowCount() && y < 0; ++row) {
    coords = source.CellCoords(row, 0);
    if (coords[region] >= 0 && coords[product] < 0) y = row;
  }
  ASSERT_GE(y, 0);
  const std::string regionName = source.GetValueText(region, coords[region]);
  THyGrid& widget = *window.HyGrid1();
  const QRect cell = widget.CellRect(grid.FixedCols(), grid.FixedRows() + y);
  ASSERT_TRUE(widget.viewport()->rect().contains(cell.center()));
  QTest::mouseDClick(widget.viewport(), Qt::LeftButton, {}, cell.center());
  QApplication::processEvents();

  const auto windows = window.findChildren<TDrillThroughWindow*>();
  ASSERT_EQ(windows.size(), 1);
  TDrillThroughWindow& drill = *windows[0];
  QAbstractItemModel& rows = *drill.View()->model();
  const double count =
      SqlNumber(db.Handle(), "SELECT COUNT(*) FROM sales WHERE region = '" + regionName + "'");
  ASSERT_EQ(rows.rowCount(), static_cast<int>(count));
  int amountColumn = -1;
  for (int c = 0; c < rows.columnCount(); ++c)
    if (rows.headerData(c, Qt::Horizontal).toString() == "amount") amountColumn = c;
  ASSERT_GE(amountColumn, 0);
  double sum = 0;
  for (int r = 0; r < rows.rowCount(); ++r)
    sum += rows.data(rows.index(r, amountColumn)).toDouble();
  EXPECT_NEAR(
      sum,
      SqlNumber(db.Handle(), "SELECT SUM(amount) FROM sales WHERE region = '" + regionName + "'"),
      1e-6);
  EXPECT_NEAR(sum, source.GetCellValue(y, 0).AsDouble(), 1e-6);
  Shot(drill, "drill-through");
  drill.close();
}

TEST_F(MainWindowSource, TheGridFillsTheWindowAtEverySize) {
  TfrmMain window;
  window.show();
  EXPECT_GE(window.minimumWidth(), 400);
  EXPECT_GE(window.minimumHeight(), 200);
  for (QSize size :
       {QSize(688, 446), QSize(420, 240), QSize(1400, 900), QSize(300, 150), QSize(700, 420)}) {
    window.resize(size);
    QApplication::processEvents();
    const QSize actual = window.size();
    EXPECT_GE(actual.width(), window.minimumWidth());
    const QRect grid = window.HyGrid1()->geometry();
    const QRect bar = window.ToolBar()->geometry();
    const QRect menu = window.MenuBar()->geometry();
    const QRect button(window.btnExport()->mapTo(&window, QPoint(0, 0)),
                       window.btnExport()->size());
    SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
    EXPECT_EQ(menu.top(), 0);
    EXPECT_GT(menu.height(), 0);
    EXPECT_GE(bar.top(), menu.bottom());
    EXPECT_EQ(grid.top(), bar.bottom() + 1);
    EXPECT_EQ(grid.left(), 0);
    EXPECT_EQ(grid.width(), actual.width());
    EXPECT_EQ(grid.bottom(), actual.height() - 1);
    EXPECT_FALSE(button.intersects(grid));
    EXPECT_TRUE(window.btnExport()->isVisible());
    // The column labels are below every bar, so nothing covers them.
    EXPECT_GT(grid.height(), 2 * window.HyGrid1Model()->RowHeights(0));
    if (actual == window.minimumSize()) Shot(window, "main-window-smallest");
  }
  window.resize(688, 446);
  QApplication::processEvents();
  Shot(window, "main-window-688");
  QMenu* file = window.findChild<QMenu*>("mnuFile");
  QStringList texts;
  for (QAction* a : file->actions())
    if (!a->isSeparator()) texts << a->text().remove('&');
  EXPECT_EQ(texts, (QStringList{"Open Table...", "Open CSV...", "Recent", "Open Layout...",
                                "Save Layout...", "Report...", "Exit"}));
  file->popup(window.mapToGlobal(QPoint(0, window.MenuBar()->height())));
  QApplication::processEvents();
  Shot(*file, "file-menu");
  file->hide();
}

TEST_F(MainWindowSource, ReportInTheFileMenuPreviewsLikeTheButton) {
  TfrmMain window;
  int previews = 0;
  window.KyPrintHyCube1()->SetOnPreview([&](TKyPrintBaseComponent& r) {
    ++previews;
    EXPECT_TRUE(r.Prepared());
  });
  window.Action("actReport")->trigger();
  window.btnExport()->click();
  EXPECT_EQ(previews, 2);
}

}  // namespace
}  // namespace hy
