// The scrolling grid the cross-tab draws on: ColCount × RowCount cells with
// fixed leading rows and columns that never scroll, a width per column and a
// height per row (0 hides it), a paint callback per cell, mouse-to-cell
// mapping, a current cell, and column and row sizing by dragging the lines
// of the fixed cells. Scrolling moves whole cells, as the classic desktop
// grids do. Counts and sizes are read from a TGridGeometry (the model shown);
// without one the grid shows its own plain geometry.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>

#include <cstdint>
#include <vector>

#include "pivot/HyGridTypes.h"

namespace hy {

// Options of the grid base (a set of bits).
enum TGridOption : uint32_t {
  goFixedVertLine = 1,
  goFixedHorzLine = 2,
  goVertLine = 4,
  goHorzLine = 8,
  goRangeSelect = 16,
  goRowSizing = 32,
  goColSizing = 64,
  goTabs = 128,
  goFixedCurrent = 256,  // the keyboard may make a fixed cell current
};
using TGridOptions = uint32_t;

// Counts and sizes held by the grid itself, for a grid without a model.
class TPlainGridGeometry : public TGridGeometry {
public:
  int32_t ColCount() const override { return static_cast<int32_t>(colWidths_.size()); }
  int32_t RowCount() const override { return static_cast<int32_t>(rowHeights_.size()); }
  int32_t FixedCols() const override { return fixedCols_; }
  int32_t FixedRows() const override { return fixedRows_; }
  int32_t ColWidths(int32_t col) const override;
  int32_t RowHeights(int32_t row) const override;
  void SetColWidths(int32_t col, int32_t width) override;
  void SetRowHeights(int32_t row, int32_t height) override;

  // New columns and rows take the default size; at least one of each stays.
  void SetColCount(int32_t count);
  void SetRowCount(int32_t count);
  // Clamped below the count, as the desktop grid requires a scrolling cell.
  void SetFixedCols(int32_t count);
  void SetFixedRows(int32_t count);
  int32_t DefaultColWidth() const { return defaultColWidth_; }
  int32_t DefaultRowHeight() const { return defaultRowHeight_; }
  // Resets every column (row) to the new default.
  void SetDefaultColWidth(int32_t width);
  void SetDefaultRowHeight(int32_t height);

private:
  std::vector<int32_t> colWidths_{64};
  std::vector<int32_t> rowHeights_{24};
  int32_t fixedCols_ = 0;
  int32_t fixedRows_ = 0;
  int32_t defaultColWidth_ = 64;
  int32_t defaultRowHeight_ = 24;
};

class TDrawGridBase : public QAbstractScrollArea {
public:
  explicit TDrawGridBase(QWidget* parent = nullptr);
  ~TDrawGridBase() override;

  // The cells shown; null goes back to the grid's own plain geometry. The
  // geometry must outlive its use here.
  void SetGeometry(TGridGeometry* geometry);
  const TGridGeometry& Geometry() const { return *geometry_; }
  // The geometry changed: the grid re-reads it, keeps the top-left and the
  // current cell inside it, and repaints.
  void GeometryChanged();

  int32_t ColCount() const { return geometry_->ColCount(); }
  int32_t RowCount() const { return geometry_->RowCount(); }
  int32_t FixedCols() const { return geometry_->FixedCols(); }
  int32_t FixedRows() const { return geometry_->FixedRows(); }
  int32_t ColWidths(int32_t col) const { return geometry_->ColWidths(col); }
  int32_t RowHeights(int32_t row) const { return geometry_->RowHeights(row); }

  // The grid's own plain geometry (what a grid without a model shows).
  void SetColCount(int32_t count);
  void SetRowCount(int32_t count);
  void SetFixedCols(int32_t count);
  void SetFixedRows(int32_t count);
  int32_t DefaultColWidth() const { return plain_.DefaultColWidth(); }
  int32_t DefaultRowHeight() const { return plain_.DefaultRowHeight(); }
  void SetDefaultColWidth(int32_t width);
  void SetDefaultRowHeight(int32_t height);
  void SetColWidths(int32_t col, int32_t width);
  void SetRowHeights(int32_t row, int32_t height);

  // Width of the lines between cells (0: cells touch).
  int32_t GridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int32_t width);
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions options);
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);
  QColor LineColor() const { return lineColor_; }
  void SetLineColor(const QColor& color);

  // The current cell: a scrolling cell, or any cell with goFixedCurrent.
  int32_t Col() const { return current_.X; }
  int32_t Row() const { return current_.Y; }
  void SetCol(int32_t col) { MoveCurrent(col, current_.Y); }
  void SetRow(int32_t row) { MoveCurrent(current_.X, row); }
  void MoveCurrent(int32_t col, int32_t row);

  // The first scrolling column and row on screen.
  int32_t LeftCol() const { return leftCol_; }
  int32_t TopRow() const { return topRow_; }
  void SetLeftCol(int32_t col) { SetTopLeft(col, topRow_); }
  void SetTopRow(int32_t row) { SetTopLeft(leftCol_, row); }
  void SetTopLeft(int32_t col, int32_t row);
  // Scrolls as little as needed to show the cell.
  void ScrollInView(int32_t col, int32_t row);

  // Cell rectangle in viewport coordinates; empty when the cell is not on
  // screen (scrolled away or beyond the viewport).
  QRect CellRect(int32_t col, int32_t row) const;
  // The cell under a viewport point, or {-1, -1} outside every cell.
  TGridCoord MouseCoord(QPoint point) const;
  bool MouseToCell(QPoint point, int32_t& col, int32_t& row) const;

  void InvalidateCell(int32_t col, int32_t row);
  void InvalidateGrid();

  // Size of the whole grid with nothing scrolled, lines included (at most
  // INT_MAX each way; Extent is exact).
  QSize GridExtent() const;
  int64_t Extent(bool cols) const;
  // Paints every cell at its unscrolled position (for images of the grid).
  void PaintWhole(QPainter& painter);

  bool Sizing() const { return sizing_ != kNotSizing; }

protected:
  // Paints one cell; the painter is clipped to the cell.
  virtual void DrawCell(QPainter& painter, int32_t col, int32_t row, const QRect& rect,
                        TGridDrawState state) = 0;
  // After the cells, unclipped, with the area the cells cover.
  virtual void PaintAfterCells(QPainter& painter, const QRect& cellArea);
  // After the user sized a column or a row with the mouse.
  virtual void ColWidthsChanged(int32_t /*col*/) {}
  virtual void RowHeightsChanged(int32_t /*row*/) {}
  virtual void TopLeftChanged() {}

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QSize sizeHint() const override;

private:
  enum SizingKind { kNotSizing, kSizingCol, kSizingRow };
  struct Span {
    int32_t index;
    int32_t start;
    int32_t size;
  };

  int32_t Count(bool cols) const { return cols ? ColCount() : RowCount(); }
  int32_t Fixed(bool cols) const { return cols ? FixedCols() : FixedRows(); }
  int32_t Size(bool cols, int32_t i) const { return cols ? ColWidths(i) : RowHeights(i); }
  int32_t FirstCurrent(bool cols) const { return (options_ & goFixedCurrent) ? 0 : Fixed(cols); }
  // Columns (rows) in screen order with their offsets, as far as `limit`.
  void VisibleSpans(bool cols, int32_t first, int32_t limit, std::vector<Span>& out) const;
  int32_t FixedExtent(bool cols) const;
  int32_t MaxTopLeft(bool cols) const;
  void UpdateScrollBars();
  void Paint(QPainter& painter, int32_t leftCol, int32_t topRow, const QRect& area, QSize limit,
             bool showCurrent);
  // The column (row) whose trailing line lies under the point, for sizing.
  int32_t SizingIndexAt(QPoint point, bool cols) const;

  TPlainGridGeometry plain_;
  TGridGeometry* geometry_ = &plain_;
  int32_t gridLineWidth_ = 1;
  TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;
  QColor color_{192, 192, 192};
  QColor lineColor_{128, 128, 128};
  TGridCoord current_{0, 0};
  int32_t leftCol_ = 0;
  int32_t topRow_ = 0;
  bool updatingBars_ = false;

  SizingKind sizing_ = kNotSizing;
  int32_t sizingIndex_ = -1;
  int32_t sizingOrigin_ = 0;  // mouse position minus the size at the start
};

}  // namespace hy
