// The dialogs that choose a cube source and the drill-through window, driven
// as a user would: a generated SQLite file and CSV file, the errors a user
// meets (not a database, a locked file, a table without a usable field), the
// detected CSV settings changed before loading, and the rows behind a
// subtotal checked against SQLite. Each window is grabbed to a PNG.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "common/StrUtils.h"
#include "cube/HyProgress.h"
#include "cube/ScriptedProgress.h"
#include "pivot/HyDB.h"
#include "platform/db/MemDataSet.h"
#include "support/MapItems.h"
#include "support/QtApp.h"
#include "support/TestDatabase.h"
#include "ui/DrillThrough.h"
#include "ui/OpenCsv.h"
#include "ui/OpenTable.h"

namespace hy {
namespace {

void Shoot(QWidget& widget, const std::string& name) {
  widget.show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(widget.grab().save(QString::fromStdString(::testing::TempDir() + name)));
}

std::string WriteFile(const std::string& folder, const std::string& name,
                      const std::string& bytes) {
  const std::string path = (std::filesystem::path(folder) / name).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

class OpenTableTest : public ::testing::Test {
protected:
  void SetUp() override {
    db.Exec(
        "CREATE TABLE sales (Region TEXT, SaleDate DATE, Amount REAL);"
        "INSERT INTO sales VALUES ('North', '2004-01-02', 10), ('South', '2004-02-03', 20),"
        " ('North', '2004-02-04', 5);"
        "CREATE TABLE numbers (Amount REAL, Picture BLOB);"
        "INSERT INTO numbers VALUES (1, NULL);"
        "CREATE VIEW north AS SELECT * FROM sales WHERE Region = 'North';");
  }
  test::TestDatabase db;
};

TEST_F(OpenTableTest, ListsTablesAndViewsWithRowCountsAndChoosesOne) {
  TOpenTableDialog dialog;
  dialog.SetFile(QString::fromStdString(db.File()));
  QTableWidget* tables = dialog.Tables();
  ASSERT_EQ(tables->rowCount(), 3);
  EXPECT_EQ(tables->item(0, 0)->text(), "north");
  EXPECT_EQ(tables->item(0, 1)->text(), "view");
  EXPECT_EQ(tables->item(0, 2)->text(), "2");
  EXPECT_EQ(tables->item(2, 0)->text(), "sales");
  EXPECT_EQ(tables->item(2, 2)->text(), "3");
  EXPECT_FALSE(dialog.Message()->isVisible());
  Shoot(dialog, "open_table.png");

  // A table without a text or date field is refused in the dialog.
  ASSERT_TRUE(dialog.SelectTable("numbers"));
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.Choice());
  EXPECT_TRUE(dialog.Message()->text().contains("has no field a cube can use"));
  Shoot(dialog, "open_table_unusable.png");

  ASSERT_TRUE(dialog.SelectTable("sales"));
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_TRUE(dialog.Choice());
  EXPECT_EQ(dialog.Choice()->kind, TSourceChoice::scTable);
  EXPECT_EQ(dialog.Choice()->tableName, "sales");
  EXPECT_EQ(dialog.Choice()->fileName, db.File());
  EXPECT_EQ(dialog.Choice()->Caption(), "sales (test.db)");

  // The choice opens as the table it names.
  std::unique_ptr<TDataSet> table = OpenSourceChoice(*dialog.Choice(), nullptr);
  table->Open();
  EXPECT_EQ(table->FieldCount(), 3);
}

TEST_F(OpenTableTest, AFileThatIsNoDatabaseOrIsLockedGetsAMessageAndNoChoice) {
  TOpenTableDialog dialog;
  const std::string text =
      WriteFile(db.Folder(), "notes.db", "just some text, not a database at all\n");
  dialog.SetFile(QString::fromStdString(text));
  EXPECT_EQ(dialog.Tables()->rowCount(), 0);
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  EXPECT_TRUE(dialog.Message()->text().contains("is not an SQLite database"))
      << dialog.Message()->text().toStdString();
  Shoot(dialog, "open_table_not_a_database.png");

  dialog.SetFile(QString::fromStdString(db.Folder() + "/missing.db"));
  EXPECT_TRUE(dialog.Message()->text().contains("not found"));

  // Another program holds the file's write lock.
  db.Exec("BEGIN EXCLUSIVE; INSERT INTO sales VALUES ('East', '2004-03-01', 1);");
  dialog.SetFile(QString::fromStdString(db.File()));
  EXPECT_EQ(dialog.Tables()->rowCount(), 0);
  EXPECT_TRUE(dialog.Message()->text().contains("is locked by another program"))
      << dialog.Message()->text().toStdString();
  db.Exec("ROLLBACK;");
  dialog.SetFile(QString::fromStdString(db.File()));
  EXPECT_EQ(dialog.Tables()->rowCount(), 3);
  EXPECT_FALSE(dialog.Message()->isVisible());
}

TEST(OpenCsvTest, ShowsTheDetectedSettingsAndLoadsWhatTheUserConfirmed) {
  test::TestDatabase folder;  // a throwaway folder
  const std::string file = WriteFile(folder.Folder(), "sales.csv",
                                     "Region;Day;Amount;Code\r\n"
                                     "Nord;31.01.2024;1,5;007\r\n"
                                     "S\xFC"
                                     "d;01.02.2024;2,25;012\r\n"
                                     "\"We;st\";15.02.2024;3;100\r\n");
  TOpenCsvDialog dialog;
  dialog.SetFile(QString::fromStdString(file));
  EXPECT_EQ(dialog.SeparatorBox()->currentText(), "Semicolon ;");
  EXPECT_EQ(dialog.EncodingBox()->currentText(), "Windows-1252");
  EXPECT_EQ(dialog.DecimalBox()->currentText(), "Comma ,");
  EXPECT_TRUE(dialog.HeaderBox()->isChecked());
  ASSERT_EQ(dialog.Columns()->rowCount(), 4);
  EXPECT_EQ(dialog.TypeBox(1)->currentText(), "Date");
  EXPECT_EQ(dialog.Columns()->item(1, 2)->text(), "day.month.year");
  EXPECT_EQ(dialog.TypeBox(2)->currentText(), "Float");
  EXPECT_EQ(dialog.TypeBox(3)->currentText(), "Integer");
  ASSERT_EQ(dialog.Preview()->rowCount(), 3);
  EXPECT_EQ(dialog.Preview()->item(1, 0)->text(), QString::fromUtf8("S\xC3\xBC"
                                                                    "d"));
  EXPECT_EQ(dialog.Preview()->item(2, 0)->text(), "We;st");
  Shoot(dialog, "open_csv.png");

  // The codes keep their leading zeros as text.
  dialog.TypeBox(3)->setCurrentIndex(dialog.TypeBox(3)->findText("Text"));
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  ASSERT_TRUE(dialog.Choice());
  const TSourceChoice& choice = *dialog.Choice();
  EXPECT_EQ(choice.kind, TSourceChoice::scCsv);
  EXPECT_EQ(choice.Caption(), "sales.csv");

  std::unique_ptr<TDataSet> data;
  ScriptedProgress progress;
  progress.RunWithProgress([&](TCubeProgress& p) { data = OpenSourceChoice(choice, nullptr, &p); });
  EXPECT_GT(progress.CountOf(ScriptedProgress::Kind::Step), 0);
  auto& rows = dynamic_cast<TMemDataSet&>(*data);
  ASSERT_EQ(rows.RowCount(), 3);
  EXPECT_EQ(rows.ColumnType(3), ftString);
  EXPECT_EQ(rows.Value(0, 3).AsString(), "007");
  EXPECT_DOUBLE_EQ(rows.Value(1, 2).AsDouble(), 2.25);

  // Cancel while reading leaves nothing.
  ScriptedProgress cancelling;
  cancelling.CancelAtCall(3);
  std::unique_ptr<TDataSet> none;
  EXPECT_THROW(cancelling.RunWithProgress(
                   [&](TCubeProgress& p) { none = OpenSourceChoice(choice, nullptr, &p); }),
               EUserCanceled);
  EXPECT_FALSE(none);
}

TEST(OpenCsvTest, ChangingASettingDetectsTheColumnsAgain) {
  test::TestDatabase folder;
  const std::string file = WriteFile(folder.Folder(), "t.tsv", "a\tb\tc\n1\t2\t3\n4\t5\t6\n");
  TOpenCsvDialog dialog;
  dialog.SetFile(QString::fromStdString(file));
  ASSERT_EQ(dialog.Columns()->rowCount(), 3);
  dialog.SeparatorBox()->setCurrentIndex(0);  // comma: one column per line
  EXPECT_EQ(dialog.Columns()->rowCount(), 1);
  dialog.HeaderBox()->setChecked(false);
  EXPECT_EQ(dialog.Preview()->rowCount(), 3);
  EXPECT_EQ(dialog.Columns()->item(0, 0)->text(), "Field1");

  dialog.SetFile(QString::fromStdString(folder.Folder() + "/missing.csv"));
  EXPECT_TRUE(dialog.Message()->text().contains("Cannot open file"));
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
}

class DrillWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string sql = "CREATE TABLE sales (Region TEXT, SaleDate DATE, Amount REAL);BEGIN;";
    for (int i = 0; i < 1500; ++i)
      sql += Format("INSERT INTO sales VALUES ('%s', '2004-%02d-%02d', %d);",
                    i % 5 ? "North" : "South", 1 + i % 12, 1 + i % 28, (i * 37) % 1000);
    db.Exec(sql + "COMMIT;");
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(db.Table("sales", &owner).release());
    test::AddMapItem(cube->DimensionMap(), "Region", "Region", dimDimension);
    test::AddMapItem(cube->DimensionMap(), "Month", "SaleDate", dimDimension)->SetBinType(binMonth);
    test::AddMapItem(cube->DimensionMap(), "Amount", "Amount", dimSum);
    source = new THySource(&owner);
    source->SetDecisionCube(cube);
    cube->SetActive(true);
    source->SetDimensionInfo("(2 0 1 0 -1 'Region' 1 0 1 0 -1 'Month')");
  }

  int64_t SqlCount(const std::string& where) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.Handle(), ("SELECT COUNT(*) FROM sales WHERE " + where).c_str(), -1,
                       &stmt, nullptr);
    sqlite3_step(stmt);
    const int64_t n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
  }

  test::TestDatabase db;
  TComponent owner;
  THyCube* cube = nullptr;
  THySource* source = nullptr;
};

TEST_F(DrillWindowTest, ASubtotalListsItsRowsInPagesSortsAndCopies) {
  // The column total of North: every North row, more than one page.
  ASSERT_EQ(source->GetValueText(0, 0), "North");
  const int32_t totalRow = source->RowCount() - 1;
  QPointer<TDrillThroughWindow> window = ShowDrillThrough(nullptr, *source, 0, totalRow);
  ASSERT_TRUE(window);
  const int64_t expected = SqlCount("Region = 'North'");
  ASSERT_EQ(expected, 1200);
  EXPECT_EQ(window->CountLabel()->text(), "1,200 rows, 500 read so far");
  EXPECT_TRUE(window->windowTitle().contains("Region = North"))
      << window->windowTitle().toStdString();
  EXPECT_EQ(window->LoadedRows(), 500);
  Shoot(*window, "drill_through.png");

  // Sorting by Amount covers every row.
  QHeaderView* header = window->View()->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
  EXPECT_EQ(window->LoadedRows(), 1200);
  EXPECT_EQ(window->CountLabel()->text(), "1,200 rows");
  QAbstractItemModel* model = window->View()->model();
  double previous = -1;
  bool ordered = true;
  for (int r = 0; r < model->rowCount(); ++r) {
    const double v = model->index(r, 2).data().toDouble();
    ordered = ordered && v >= previous;
    previous = v;
  }
  EXPECT_TRUE(ordered);

  // Copy: the header and every row, tab-separated; a selection copies itself.
  QStringList lines = window->CopyText().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 1201);
  EXPECT_EQ(lines[0], "Region\tSaleDate\tAmount");
  window->View()->selectRow(3);
  window->CopyToClipboard();
  lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[1].startsWith("North\t2004-"));

  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(window);
}

TEST_F(DrillWindowTest, ADataCellOfAMonthListsThatMonthOnly) {
  // Row 1 is the second month (February) of South on column 1.
  const TCoords coords = source->CellCoords(1, 1);
  ASSERT_EQ(source->GetValueText(0, coords[0]), "South");
  QPointer<TDrillThroughWindow> window = ShowDrillThrough(nullptr, *source, 1, 1);
  ASSERT_TRUE(window);
  const int64_t expected = SqlCount("Region = 'South' AND SaleDate LIKE '2004-02-%'");
  EXPECT_GT(expected, 0);
  EXPECT_EQ(window->LoadedRows(), expected);
  EXPECT_EQ(window->CountLabel()->text(), QString("%1 rows").arg(expected));
  delete window;
}

}  // namespace
}  // namespace hy
