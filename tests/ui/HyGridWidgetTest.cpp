// The grid base and the cross-tab widget driven by real mouse events.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include "support/QtApp.h"

#include <cstdlib>

#include "pivot/HyGridTestUtil.h"
#include "ui/HyGridWidget.h"
#include "ui/HyGridWidgetBase.h"
#include "ui/HyGridWidgetTestUtil.h"

namespace hy {
namespace {

using test::App;

// A plain grid base that records what it paints and what the user sized.
class RecordingGrid : public TDrawGridBase {
public:
  std::vector<TGridCoord> painted;
  std::vector<int32_t> sizedCols;
  int32_t topLeftChanges = 0;

protected:
  void DrawCell(QPainter& painter, int32_t col, int32_t row, const QRect& rect,
                TGridDrawState state) override {
    painted.push_back({col, row});
    painter.fillRect(rect, (state & gdFixed) ? Qt::gray : Qt::white);
  }
  void ColWidthsChanged(int32_t col) override { sizedCols.push_back(col); }
  void TopLeftChanged() override { ++topLeftChanges; }
};

// Makes the application before any widget member exists.
struct WithApp {
  WithApp() { App(); }
};

class GridBaseTest : public ::testing::Test, private WithApp {
protected:
  void SetUp() override {
    grid.SetColCount(10);
    grid.SetRowCount(20);
    grid.SetFixedCols(1);
    grid.SetFixedRows(1);
    grid.SetGridLineWidth(1);
    grid.SetDefaultColWidth(50);
    grid.SetDefaultRowHeight(20);
    grid.resize(300, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  }
  RecordingGrid grid;
};

TEST_F(GridBaseTest, MapsPointsToCellsAcrossFixedAndScrolledParts) {
  // Each cell is its size plus a one-pixel line.
  EXPECT_EQ(grid.CellRect(0, 0), QRect(0, 0, 50, 20));
  EXPECT_EQ(grid.CellRect(2, 3), QRect(102, 63, 50, 20));
  EXPECT_EQ(grid.MouseCoord({10, 10}), (TGridCoord{0, 0}));
  EXPECT_EQ(grid.MouseCoord({103, 64}), (TGridCoord{2, 3}));
  EXPECT_EQ(grid.MouseCoord({50, 10}), (TGridCoord{-1, -1}));  // on a line

  grid.topLeftChanges = 0;
  grid.SetTopLeft(4, 6);
  EXPECT_EQ(grid.LeftCol(), 4);
  EXPECT_EQ(grid.TopRow(), 6);
  EXPECT_EQ(grid.topLeftChanges, 1);
  EXPECT_EQ(grid.MouseCoord({10, 10}), (TGridCoord{0, 0}));  // fixed cells stay
  EXPECT_EQ(grid.MouseCoord({60, 30}), (TGridCoord{4, 6}));
  EXPECT_TRUE(grid.CellRect(2, 3).isEmpty());  // scrolled away

  // A hidden column takes no room.
  grid.SetTopLeft(1, 1);
  grid.SetColWidths(2, 0);
  EXPECT_EQ(grid.MouseCoord({103, 10}), (TGridCoord{3, 0}));
  EXPECT_EQ(grid.GridExtent(), QSize(9 * 51, 20 * 21));
}

TEST_F(GridBaseTest, PaintsEveryVisibleCellOnceAndTheWholeGridOnRequest) {
  QImage image(grid.GridExtent(), QImage::Format_RGB32);
  QPainter painter(&image);
  grid.painted.clear();
  grid.PaintWhole(painter);
  painter.end();
  EXPECT_EQ(grid.painted.size(), 200u);
  EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::gray));
  EXPECT_EQ(image.pixelColor(60, 30), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(50, 30), grid.LineColor());
}

TEST_F(GridBaseTest, SizingAColumnFromTheFixedRow) {
  grid.SetOptions(grid.Options() | goColSizing);
  QWidget* vp = grid.viewport();
  QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(101, 10));  // right line of column 1
  EXPECT_TRUE(grid.Sizing());
  QTest::mouseMove(vp, QPoint(131, 10));
  QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(131, 10));
  EXPECT_FALSE(grid.Sizing());
  EXPECT_EQ(grid.ColWidths(1), 80);
  EXPECT_EQ(grid.sizedCols, std::vector<int32_t>{1});
  // Below the fixed rows the line does not size.
  QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(160, 50));
  EXPECT_FALSE(grid.Sizing());
  EXPECT_EQ(grid.Col(), 2);  // a click on a scrolling cell makes it current
  EXPECT_EQ(grid.Row(), 2);
}

class HyGridWidgetTest : public ::testing::Test, public test::SalesCube, public test::GridDriver {
protected:
  void SetUp() override {
    App();
    widget = std::make_unique<THyGrid>();
    model = widget->Model();
    model->SetTextMeasure(test::FixedWidthMeasure);
    model->SetDecisionSource(source);
    Open();
    widget->resize(700, 360);
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.get()));
  }
  void TearDown() override { widget.reset(); }
};

TEST_F(HyGridWidgetTest, TheBaseMirrorsTheModelsShape) {
  EXPECT_EQ(widget->ColCount(), 6);
  EXPECT_EQ(widget->RowCount(), 9);
  EXPECT_EQ(widget->FixedCols(), 3);
  EXPECT_EQ(widget->FixedRows(), 2);
  EXPECT_EQ(widget->ColWidths(0), 16);
  EXPECT_EQ(widget->ColWidths(1), 80);
  EXPECT_EQ(widget->ColWidths(3), 100);
  model->Dimensions()[1]->SetSubtotals(false);
  EXPECT_EQ(widget->RowHeights(4), 0);
  cube->SetActive(false);
  EXPECT_EQ(widget->ColCount(), 1);
  EXPECT_EQ(widget->FixedCols(), 0);
}

TEST_F(HyGridWidgetTest, PlusCellAndCaptionQuarterOpenAndClose) {
  Click(At(-2, -1, 0.9));  // Region's right quarter: close what follows
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  EXPECT_EQ(widget->FixedCols(), 2);
  Click(At(-1, -1, 0.9));  // and open it again
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
  Click(At(-1, -2, 0.95));  // the column plus cell's glyph box
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year-");
  EXPECT_EQ(widget->FixedRows(), 2);  // two caption rows now
  Click(At(-1, -2, 0.95));
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
  Click(At(-3, -1));  // the row plus cell
  EXPECT_EQ(test::Pivot(*source), "Region- Product- | Year+");
}

TEST_F(HyGridWidgetTest, DraggingARowCaptionToTheColumns) {
  DragTo(At(-2, -1), At(0, -2, 0.9));  // Region after Year
  EXPECT_EQ(test::Pivot(*source), "Product+ | Year+ Region+");
  EXPECT_EQ(model->ColLevels(), 2);
  EXPECT_EQ(widget->FixedRows(), 3);
  EXPECT_EQ(model->CellText(0, -3), "Year");
  EXPECT_EQ(model->CellText(1, -3), "Region");
}

TEST_F(HyGridWidgetTest, DraggingOntoACaptionSwaps) {
  QTest::mousePress(widget->viewport(), Qt::LeftButton, Qt::NoModifier, At(-1, -1));
  QTest::mouseMove(widget->viewport(), At(0, -2));
  EXPECT_EQ(model->DropMarkAt(0, -2), TDropMark::Swap);
  if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
    widget->viewport()->grab().save(QString::fromStdString(std::string(dir) + "/grid-swap.png"));
  QTest::mouseRelease(widget->viewport(), Qt::LeftButton, Qt::NoModifier, At(0, -2));
  EXPECT_EQ(test::Pivot(*source), "Region+ Year+ | Product+");
  EXPECT_EQ(model->CellText(-1, -1), "Year");
}

TEST_F(HyGridWidgetTest, DragFeedbackIsPaintedOnTheTarget) {
  QWidget* vp = widget->viewport();
  const QPoint from = At(-2, -1), to = At(0, -2, 0.1);
  QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(vp, to);
  EXPECT_EQ(model->DropMarkAt(0, -2), TDropMark::InsertBefore);
  const QRect r = widget->CellRect(3, 0);
  QImage shot = widget->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(r.left(), r.center().y()), QColor(255, 0, 0));  // the red line
  if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
    shot.save(QString::fromStdString(std::string(dir) + "/grid-drag.png"));
  QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, to);
  EXPECT_EQ(test::Pivot(*source), "Product+ | Region+ Year+");

  // Escape lets go without a move.
  QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, At(-1, -1));
  QTest::mouseMove(vp, At(0, -3, 0.1));
  QTest::keyClick(widget.get(), Qt::Key_Escape);
  EXPECT_FALSE(model->Dragging());
  QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, At(0, -3, 0.1));
  EXPECT_EQ(test::Pivot(*source), "Product+ | Region+ Year+");
}

TEST_F(HyGridWidgetTest, DrillingThroughTheQuickMenu) {
  Click(At(-2, 3), Qt::RightButton);  // the West label
  QMenu* menu = widget->PopupMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  QStringList texts;
  for (QAction* a : menu->actions()) texts << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(texts, (QStringList{"Display Data and Subtotals", "Display Data Only",
                                "Display Subtotals Only", "-", "Drill in to this value"}));
  EXPECT_TRUE(menu->actions()[0]->isChecked());
  // The menu pops up at the cell's lower-left corner.
  const QRect cell = widget->CellRect(1, 5);
  EXPECT_EQ(menu->pos(), widget->viewport()->mapToGlobal(QPoint(cell.left(), cell.bottom() + 1)));
  QAction* drill = MenuAction("Drill in to this value");
  ASSERT_NE(drill, nullptr);
  drill->trigger();
  EXPECT_EQ(test::Pivot(*source), "Region=1 Product+ | Year+");
  EXPECT_EQ(model->RowLevels(), 1);
  EXPECT_EQ(model->CellText(-1, 0), "A");  // West's products only
  EXPECT_EQ(model->CellText(-1, 1), "C");
}

TEST_F(HyGridWidgetTest, MenuEntriesToggleDimensionsAndGroups) {
  Click(At(-3, 2), Qt::RightButton);  // the outliner column: the general menu
  QAction* year = MenuAction("Year");
  ASSERT_NE(year, nullptr);
  EXPECT_TRUE(year->isChecked());
  year->trigger();
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year-");

  Click(At(-2, 0), Qt::RightButton);
  QAction* only = MenuAction("Display Subtotals Only");
  ASSERT_NE(only, nullptr);
  only->trigger();
  EXPECT_EQ(widget->RowHeights(2), 0);  // the base follows the model
  EXPECT_EQ(widget->RowHeights(3), 0);
  EXPECT_EQ(model->CellText(-2, 2), "East");
}

TEST_F(HyGridWidgetTest, RightClickOnDataExaminesTheCell) {
  std::vector<int16_t> seen;
  model->SetOnDecisionExamineCell(
      [&](TCustomHyGrid&, int32_t x, int32_t y, int32_t, const TValueArray& values) {
        seen = {static_cast<int16_t>(x), static_cast<int16_t>(y)};
        for (int32_t i = 0; i < values.Count(); ++i) seen.push_back(values[i]);
      });
  Click(At(1, 3), Qt::RightButton);
  EXPECT_EQ(seen, (std::vector<int16_t>{1, 3, 1, 0, 1}));
  EXPECT_EQ(widget->PopupMenu(), nullptr);
}

TEST_F(HyGridWidgetTest, SizingADataColumnSizesThemAll) {
  const QRect r = widget->CellRect(3, 0);  // Year's caption cell, a fixed row
  QWidget* vp = widget->viewport();
  const QPoint line(r.right() + 1, r.center().y());
  QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, line);
  QTest::mouseMove(vp, line + QPoint(-30, 0));
  QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, line + QPoint(-30, 0));
  for (int32_t c = 3; c < 6; ++c) {
    EXPECT_EQ(model->ColWidths(c), 70) << c;
    EXPECT_EQ(widget->ColWidths(c), 70) << c;
  }
  EXPECT_EQ(model->DefaultColWidth(), 70);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");  // no drag started
}

TEST_F(HyGridWidgetTest, PaintsCellsInTheirColours) {
  const QImage image = widget->RenderImage();
  EXPECT_EQ(image.size(), QSize(16 + 80 + 80 + 3 * 100 + 1, 9 * 20 + 1));
  auto at = [&](int32_t col, int32_t row, int dx, int dy) {
    QRect r(0, 0, 0, 0);
    for (int32_t c = 0; c < col; ++c) r.translate(model->ColWidths(c), 0);
    for (int32_t w = 0; w < row; ++w) r.translate(0, model->RowHeights(w));
    return image.pixelColor(r.left() + dx, r.top() + dy);
  };
  EXPECT_EQ(at(1, 1, 40, 2), QColor(0, 0, 128));       // a row caption
  EXPECT_EQ(at(3, 2, 60, 15), QColor(255, 255, 225));  // a data cell
  EXPECT_EQ(at(3, 2, 0, 10), QColor(0, 0, 0));         // its left line
  EXPECT_EQ(at(2, 4, 60, 15), QColor(128, 128, 128));  // a "Sum" label
  EXPECT_EQ(at(1, 3, 40, 0), QColor(192, 192, 192));   // no line inside East's group
  EXPECT_EQ(at(1, 2, 40, 0), QColor(0, 0, 0));         // but above it
  if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
    image.save(QString::fromStdString(std::string(dir) + "/grid-widget.png"));
}

// Lengths of the runs of exactly `ink` along a line of the image.
std::vector<int> InkRuns(const QImage& image, bool vertical, int at, int from, QColor ink) {
  std::vector<int> runs;
  int run = 0;
  const int end = vertical ? image.height() : image.width();
  for (int i = from; i < end; ++i) {
    const QColor c = vertical ? image.pixelColor(at, i) : image.pixelColor(i, at);
    if (c == ink) {
      ++run;
    } else if (run) {
      runs.push_back(run);
      run = 0;
    }
  }
  if (run) runs.push_back(run);
  return runs;
}

// The sales grid's data area, drawn `scale` device pixels to a grid pixel
// with texts in blue: every black line, across and down, is as thick as
// the scale rounded.
void ExpectEvenGridLines(const QImage& image, double scale, const std::string& name) {
  if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
    image.save(QString::fromStdString(std::string(dir) + "/" + name + "-" +
                                      std::to_string(int(scale * 100)) + ".png"));
  // Down a data column left of its text, and along a data row under it.
  const int fixedWidth = int((16 + 80 + 80) * scale), fixedHeight = int(2 * 20 * scale);
  const std::vector<int> horizontal =
      InkRuns(image, true, int((16 + 80 + 80 + 5) * scale), fixedHeight, Qt::black);
  const std::vector<int> vertical =
      InkRuns(image, false, int((2 * 20 + 18) * scale), fixedWidth, Qt::black);
  ASSERT_EQ(horizontal.size(), 8u) << scale;  // 7 data rows and the bottom edge
  ASSERT_EQ(vertical.size(), 4u) << scale;    // 3 data columns and the right edge
  const int width = std::max(1, int(std::lround(scale)));
  for (int run : horizontal) EXPECT_EQ(run, width) << "horizontal line at scale " << scale;
  for (int run : vertical) EXPECT_EQ(run, width) << "vertical line at scale " << scale;
}

void BlueTexts(TCustomHyGrid& model) {
  for (TFont* font : {&model.CaptionFont(), &model.DataFont(), &model.LabelFont(),
                      &model.LabelSumFont(), &model.Font()})
    font->SetColor(0xFF0000);
}

TEST_F(HyGridWidgetTest, GridLinesHaveOneWidthAtAFractionalScale) {
  BlueTexts(*model);
  for (double scale : {1.0, 1.25, 1.5, 1.75, 2.0})
    ExpectEvenGridLines(widget->RenderImage(scale), scale, "grid-scale");
}

// Run again by CTest under QT_SCALE_FACTOR 1.25 and 1.5.
TEST_F(HyGridWidgetTest, GridLinesOnScreenHaveOneWidth) {
  BlueTexts(*model);
  // The whole window: the viewport sits inside the frame, at a fractional
  // device position under a fractional scale.
  const QPixmap shot = widget->grab();
  const double scale = shot.devicePixelRatio();
  const QPoint origin = widget->viewport()->mapTo(widget.get(), QPoint(0, 0)) * scale;
  ExpectEvenGridLines(
      shot.toImage().copy(QRect(origin, shot.size() - QSize(origin.x(), origin.y()))), scale,
      "grid-screen");
}

// A grid too small to show the whole cross-tab.
class SmallGridWidgetTest : public HyGridWidgetTest {
protected:
  void SetUp() override {
    HyGridWidgetTest::SetUp();
    widget->resize(330, 110);
    QCoreApplication::processEvents();
  }
  void Shoot(const char* name) {
    if (const char* dir = std::getenv("HY_SCREENSHOT_DIR"))
      widget->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
  }
  // The label of the first data row on screen, at a row label level.
  std::string TopRowLabel(int32_t x) const {
    return model->CellText(x, widget->TopRow() - model->FixedRows());
  }
};

TEST_F(SmallGridWidgetTest, APivotAtTheTopLeftStaysThere) {
  Shoot("pivot-before");
  DragTo(At(0, -2), At(-1, -1, 0.9));  // Year to the rows, after Product
  Shoot("pivot-after");
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ Year+ | ");
  EXPECT_EQ(widget->FixedRows(), 1);
  // The first data row and the captions are on screen.
  EXPECT_EQ(widget->TopRow(), widget->FixedRows());
  EXPECT_EQ(widget->LeftCol(), widget->FixedCols());
  EXPECT_FALSE(widget->CellRect(widget->FixedCols(), widget->FixedRows()).isEmpty());
  EXPECT_EQ(model->CellText(-3, 0), "East");

  Click(At(-1, -1, 0.9));  // Year's caption: nothing after it; the plus cell closes all
  Click(At(-4, -1));
  EXPECT_EQ(test::Pivot(*source), "Region- Product- Year- | ");
  EXPECT_EQ(widget->TopRow(), widget->FixedRows());
  EXPECT_EQ(widget->LeftCol(), widget->FixedCols());
}

TEST_F(SmallGridWidgetTest, AScrolledViewKeepsItsFirstRowAcrossAPivot) {
  widget->SetTopRow(model->FixedRows() + 3);  // West, A
  ASSERT_EQ(TopRowLabel(-2), "West");
  Shoot("scrolled-before");
  widget->MoveCurrent(model->FixedCols() + 1, model->FixedRows() + 4);
  Click(At(-2, -1, 0.9));  // Region's right quarter closes Product
  Shoot("scrolled-after");
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  EXPECT_EQ(TopRowLabel(-1), "West");
  // The current cell went with the view.
  EXPECT_EQ(widget->Row(), widget->TopRow());
  EXPECT_EQ(widget->Col(), widget->LeftCol());
  // And back: West's first row again.
  Click(At(-1, -1, 0.9));
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
  EXPECT_EQ(TopRowLabel(-2), "West");
  EXPECT_EQ(TopRowLabel(-1), "A");

  // A pivot that removes the row dimensions goes to the top.
  widget->SetTopRow(model->FixedRows() + 3);
  DragTo(At(-2, -1), At(0, -2, 0.9));  // Region to the columns
  DragTo(At(-1, -1), At(1, -3, 0.9));  // and Product
  EXPECT_EQ(test::Pivot(*source), " | Year+ Region+ Product+");
  EXPECT_EQ(widget->TopRow(), widget->FixedRows());
}

TEST_F(SmallGridWidgetTest, TheKeyboardOpensMenusAndGlyphs) {
  widget->setFocus();
  // From the first data cell, Left and Up reach the labels and captions.
  widget->MoveCurrent(model->FixedCols(), model->FixedRows());
  QTest::keyClick(widget.get(), Qt::Key_Left);
  QTest::keyClick(widget.get(), Qt::Key_Up);
  EXPECT_EQ(widget->Col(), model->FixedCols() - 1);
  EXPECT_EQ(widget->Row(), model->FixedRows() - 1);  // Product's caption

  QTest::keyClick(widget.get(), Qt::Key_Menu);
  ASSERT_NE(widget->PopupMenu(), nullptr);
  EXPECT_TRUE(widget->PopupMenu()->isVisible());
  ASSERT_NE(MenuAction("Display Data Only"), nullptr);
  widget->PopupMenu()->close();

  QTest::keyClick(widget.get(), Qt::Key_Left);  // Region's caption, whose minus closes Product
  QTest::keyClick(widget.get(), Qt::Key_Return);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product- | Year+");
  QTest::keyClick(widget.get(), Qt::Key_Return);  // its plus opens it again
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");

  // Shift+F10 on a label offers the drill; on a data cell the general menu.
  widget->MoveCurrent(model->FixedCols() - 2, model->FixedRows() + 3);
  QTest::keyClick(widget.get(), Qt::Key_F10, Qt::ShiftModifier);
  ASSERT_NE(MenuAction("Drill in to this value"), nullptr);
  widget->PopupMenu()->close();
  widget->MoveCurrent(model->FixedCols() + 1, model->FixedRows() + 1);
  QTest::keyClick(widget.get(), Qt::Key_Menu);
  ASSERT_NE(MenuAction("Subtotals on/off"), nullptr);
  EXPECT_TRUE(widget->PopupMenu()->isVisible());
  widget->PopupMenu()->close();
  // Enter on a cell without a glyph changes nothing.
  QTest::keyClick(widget.get(), Qt::Key_Return);
  EXPECT_EQ(test::Pivot(*source), "Region+ Product+ | Year+");
}

}  // namespace
}  // namespace hy
