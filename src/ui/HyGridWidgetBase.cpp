#include "ui/HyGridWidgetBase.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace hy {

namespace {

constexpr int32_t kSizingSlack = 3;  // pixels either side of a line that grab it

}  // namespace

TDrawGridBase::TDrawGridBase(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(false);
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setSingleStep(1);
}

TDrawGridBase::~TDrawGridBase() = default;

// --- TPlainGridGeometry

int32_t TPlainGridGeometry::ColWidths(int32_t col) const {
  return col >= 0 && col < ColCount() ? colWidths_[col] : 0;
}

int32_t TPlainGridGeometry::RowHeights(int32_t row) const {
  return row >= 0 && row < RowCount() ? rowHeights_[row] : 0;
}

void TPlainGridGeometry::SetColWidths(int32_t col, int32_t width) {
  if (col >= 0 && col < ColCount()) colWidths_[col] = std::max(width, 0);
}

void TPlainGridGeometry::SetRowHeights(int32_t row, int32_t height) {
  if (row >= 0 && row < RowCount()) rowHeights_[row] = std::max(height, 0);
}

void TPlainGridGeometry::SetColCount(int32_t count) {
  count = std::max(count, 1);
  colWidths_.resize(count, defaultColWidth_);
  fixedCols_ = std::min(fixedCols_, count - 1);
}

void TPlainGridGeometry::SetRowCount(int32_t count) {
  count = std::max(count, 1);
  rowHeights_.resize(count, defaultRowHeight_);
  fixedRows_ = std::min(fixedRows_, count - 1);
}

void TPlainGridGeometry::SetFixedCols(int32_t count) {
  fixedCols_ = std::clamp(count, 0, ColCount() - 1);
}

void TPlainGridGeometry::SetFixedRows(int32_t count) {
  fixedRows_ = std::clamp(count, 0, RowCount() - 1);
}

void TPlainGridGeometry::SetDefaultColWidth(int32_t width) {
  defaultColWidth_ = std::max(width, 0);
  std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
}

void TPlainGridGeometry::SetDefaultRowHeight(int32_t height) {
  defaultRowHeight_ = std::max(height, 0);
  std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
}

// --- TDrawGridBase

void TDrawGridBase::SetGeometry(TGridGeometry* geometry) {
  geometry_ = geometry ? geometry : &plain_;
  GeometryChanged();
}

void TDrawGridBase::GeometryChanged() {
  // Counts may have shrunk under the top-left and the current cell.
  const int32_t oldLeft = leftCol_, oldTop = topRow_;
  leftCol_ = std::clamp(leftCol_, FixedCols(), std::max(FixedCols(), MaxTopLeft(true)));
  topRow_ = std::clamp(topRow_, FixedRows(), std::max(FixedRows(), MaxTopLeft(false)));
  current_.X = std::clamp(current_.X, FirstCurrent(true), ColCount() - 1);
  current_.Y = std::clamp(current_.Y, FirstCurrent(false), RowCount() - 1);
  UpdateScrollBars();
  InvalidateGrid();
  if (leftCol_ != oldLeft || topRow_ != oldTop) TopLeftChanged();
}

void TDrawGridBase::SetColCount(int32_t count) {
  plain_.SetColCount(count);
  GeometryChanged();
}

void TDrawGridBase::SetRowCount(int32_t count) {
  plain_.SetRowCount(count);
  GeometryChanged();
}

void TDrawGridBase::SetFixedCols(int32_t count) {
  plain_.SetFixedCols(count);
  GeometryChanged();
}

void TDrawGridBase::SetFixedRows(int32_t count) {
  plain_.SetFixedRows(count);
  GeometryChanged();
}

void TDrawGridBase::SetDefaultColWidth(int32_t width) {
  plain_.SetDefaultColWidth(width);
  GeometryChanged();
}

void TDrawGridBase::SetDefaultRowHeight(int32_t height) {
  plain_.SetDefaultRowHeight(height);
  GeometryChanged();
}

void TDrawGridBase::SetColWidths(int32_t col, int32_t width) {
  plain_.SetColWidths(col, width);
  GeometryChanged();
}

void TDrawGridBase::SetRowHeights(int32_t row, int32_t height) {
  plain_.SetRowHeights(row, height);
  GeometryChanged();
}

void TDrawGridBase::SetGridLineWidth(int32_t width) {
  width = std::max(width, 0);
  if (width == gridLineWidth_) return;
  gridLineWidth_ = width;
  UpdateScrollBars();
  InvalidateGrid();
}

void TDrawGridBase::SetOptions(TGridOptions options) {
  options_ = options;
  InvalidateGrid();
}

void TDrawGridBase::SetColor(const QColor& color) {
  color_ = color;
  InvalidateGrid();
}

void TDrawGridBase::SetLineColor(const QColor& color) {
  lineColor_ = color;
  InvalidateGrid();
}

void TDrawGridBase::MoveCurrent(int32_t col, int32_t row) {
  col = std::clamp(col, FirstCurrent(true), ColCount() - 1);
  row = std::clamp(row, FirstCurrent(false), RowCount() - 1);
  if (current_ == TGridCoord{col, row}) return;
  InvalidateCell(current_.X, current_.Y);
  current_ = {col, row};
  InvalidateCell(col, row);
}

void TDrawGridBase::SetTopLeft(int32_t col, int32_t row) {
  col = std::clamp(col, FixedCols(), std::max(FixedCols(), MaxTopLeft(true)));
  row = std::clamp(row, FixedRows(), std::max(FixedRows(), MaxTopLeft(false)));
  if (col == leftCol_ && row == topRow_) return;
  leftCol_ = col;
  topRow_ = row;
  UpdateScrollBars();
  InvalidateGrid();
  TopLeftChanged();
}

void TDrawGridBase::VisibleSpans(bool cols, int32_t first, int32_t limit,
                                 std::vector<Span>& out) const {
  const int32_t fixed = Fixed(cols);
  const int32_t count = Count(cols);
  out.clear();
  int32_t pos = 0;
  auto add = [&](int32_t i) {
    const int32_t size = Size(cols, i);
    out.push_back({i, pos, size});
    if (size > 0) pos += size + gridLineWidth_;
  };
  for (int32_t i = 0; i < fixed && i < count; ++i) add(i);
  for (int32_t i = std::max(first, fixed); i < count && pos < limit; ++i) add(i);
}

int32_t TDrawGridBase::FixedExtent(bool cols) const {
  int32_t extent = 0;
  for (int32_t i = 0; i < Fixed(cols); ++i)
    if (Size(cols, i) > 0) extent += Size(cols, i) + gridLineWidth_;
  return extent;
}

// The first scrolling index from which the rest of the axis fits on screen.
int32_t TDrawGridBase::MaxTopLeft(bool cols) const {
  const int32_t fixed = Fixed(cols);
  const int32_t avail = (cols ? viewport()->width() : viewport()->height()) - FixedExtent(cols);
  int32_t used = 0;
  int32_t i = Count(cols) - 1;
  for (; i >= fixed; --i) {
    const int32_t size = Size(cols, i);
    const int32_t need = size > 0 ? size + gridLineWidth_ : 0;
    if (used + need > avail && size > 0) break;
    used += need;
  }
  return std::min<int32_t>(i + 1, Count(cols) - 1);
}

void TDrawGridBase::UpdateScrollBars() {
  if (updatingBars_) return;
  updatingBars_ = true;
  const int32_t maxLeft = std::max(FixedCols(), MaxTopLeft(true));
  const int32_t maxTop = std::max(FixedRows(), MaxTopLeft(false));
  leftCol_ = std::clamp(leftCol_, FixedCols(), maxLeft);
  topRow_ = std::clamp(topRow_, FixedRows(), maxTop);
  std::vector<Span> spans;
  VisibleSpans(true, leftCol_, viewport()->width(), spans);
  horizontalScrollBar()->setRange(0, maxLeft - FixedCols());
  horizontalScrollBar()->setPageStep(std::max<int32_t>(1, int32_t(spans.size()) - FixedCols() - 1));
  horizontalScrollBar()->setValue(leftCol_ - FixedCols());
  VisibleSpans(false, topRow_, viewport()->height(), spans);
  verticalScrollBar()->setRange(0, maxTop - FixedRows());
  verticalScrollBar()->setPageStep(std::max<int32_t>(1, int32_t(spans.size()) - FixedRows() - 1));
  verticalScrollBar()->setValue(topRow_ - FixedRows());
  updatingBars_ = false;
}

void TDrawGridBase::scrollContentsBy(int, int) {
  if (updatingBars_) return;
  const int32_t col = FixedCols() + horizontalScrollBar()->value();
  const int32_t row = FixedRows() + verticalScrollBar()->value();
  if (col == leftCol_ && row == topRow_) return;
  leftCol_ = col;
  topRow_ = row;
  InvalidateGrid();
  TopLeftChanged();
}

void TDrawGridBase::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

QRect TDrawGridBase::CellRect(int32_t col, int32_t row) const {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return {};
  std::vector<Span> spans;
  QRect r;
  VisibleSpans(true, leftCol_, viewport()->width(), spans);
  bool found = false;
  for (const Span& s : spans)
    if (s.index == col) {
      r.setLeft(s.start);
      r.setWidth(s.size);
      found = true;
    }
  if (!found) return {};
  found = false;
  VisibleSpans(false, topRow_, viewport()->height(), spans);
  for (const Span& s : spans)
    if (s.index == row) {
      r.setTop(s.start);
      r.setHeight(s.size);
      found = true;
    }
  return found ? r : QRect();
}

TGridCoord TDrawGridBase::MouseCoord(QPoint point) const {
  TGridCoord c;
  std::vector<Span> spans;
  VisibleSpans(true, leftCol_, viewport()->width(), spans);
  for (const Span& s : spans)
    if (s.size > 0 && point.x() >= s.start && point.x() < s.start + s.size) c.X = s.index;
  VisibleSpans(false, topRow_, viewport()->height(), spans);
  for (const Span& s : spans)
    if (s.size > 0 && point.y() >= s.start && point.y() < s.start + s.size) c.Y = s.index;
  if (c.X < 0 || c.Y < 0) return {};
  return c;
}

bool TDrawGridBase::MouseToCell(QPoint point, int32_t& col, int32_t& row) const {
  const TGridCoord c = MouseCoord(point);
  col = c.X;
  row = c.Y;
  return c.X >= 0;
}

void TDrawGridBase::InvalidateCell(int32_t col, int32_t row) {
  const QRect r = CellRect(col, row);
  if (!r.isEmpty()) viewport()->update(r.adjusted(-1, -1, 1, 1));
}

void TDrawGridBase::InvalidateGrid() { viewport()->update(); }

int64_t TDrawGridBase::Extent(bool cols) const {
  int64_t extent = 0;
  for (int32_t i = 0, n = Count(cols); i < n; ++i)
    if (const int32_t size = Size(cols, i); size > 0) extent += size + gridLineWidth_;
  return extent;
}

QSize TDrawGridBase::GridExtent() const {
  // 64 bits: a big grid is wider than an int can say.
  const int64_t width = Extent(true), height = Extent(false);
  return {static_cast<int>(std::min<int64_t>(width, INT_MAX)),
          static_cast<int>(std::min<int64_t>(height, INT_MAX))};
}

QSize TDrawGridBase::sizeHint() const {
  const QSize e = GridExtent();
  const int32_t f = 2 * frameWidth();
  return {std::min(e.width() + f, 640), std::min(e.height() + f, 480)};
}

void TDrawGridBase::PaintWhole(QPainter& painter) {
  const QSize e = GridExtent();
  // A picture of the grid, not of its state on screen: no current cell.
  Paint(painter, FixedCols(), FixedRows(), QRect(QPoint(0, 0), e), e, false);
}

void TDrawGridBase::PaintAfterCells(QPainter&, const QRect&) {}

void TDrawGridBase::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  Paint(painter, leftCol_, topRow_, event->rect(), viewport()->size(), true);
}

void TDrawGridBase::Paint(QPainter& painter, int32_t leftCol, int32_t topRow, const QRect& area,
                          QSize limit, bool showCurrent) {
  std::vector<Span> cols, rows;
  VisibleSpans(true, leftCol, limit.width(), cols);
  VisibleSpans(false, topRow, limit.height(), rows);
  painter.fillRect(area, color_);

  int32_t right = 0, bottom = 0;
  for (const Span& c : cols)
    if (c.size > 0) right = c.start + c.size;
  for (const Span& r : rows)
    if (r.size > 0) bottom = r.start + r.size;

  for (const Span& r : rows) {
    if (r.size <= 0 || r.start > area.bottom() || r.start + r.size <= area.top()) continue;
    for (const Span& c : cols) {
      if (c.size <= 0 || c.start > area.right() || c.start + c.size <= area.left()) continue;
      const QRect rect(c.start, r.start, c.size, r.size);
      TGridDrawState state = 0;
      const bool fixed = c.index < FixedCols() || r.index < FixedRows();
      if (fixed) state |= gdFixed;
      // A fixed cell is current only when the keyboard took it there.
      if (showCurrent && c.index == current_.X && r.index == current_.Y) {
        state |= gdSelected;
        if (hasFocus()) state |= gdFocused;
      }
      painter.save();
      painter.setClipRect(rect);
      DrawCell(painter, c.index, r.index, rect, state);
      painter.restore();
    }
  }

  if (gridLineWidth_ > 0) {
    const bool anyVert = options_ & (goFixedVertLine | goVertLine);
    const bool anyHorz = options_ & (goFixedHorzLine | goHorzLine);
    for (const Span& c : cols) {
      if (c.size <= 0 || !anyVert) continue;
      const bool fixed = c.index < FixedCols();
      if (!(options_ & (fixed ? goFixedVertLine : goVertLine))) continue;
      painter.fillRect(QRect(c.start + c.size, 0, gridLineWidth_, bottom + gridLineWidth_),
                       lineColor_);
    }
    for (const Span& r : rows) {
      if (r.size <= 0 || !anyHorz) continue;
      const bool fixed = r.index < FixedRows();
      if (!(options_ & (fixed ? goFixedHorzLine : goHorzLine))) continue;
      painter.fillRect(QRect(0, r.start + r.size, right + gridLineWidth_, gridLineWidth_),
                       lineColor_);
    }
  }
  PaintAfterCells(painter, QRect(0, 0, right, bottom));
}

int32_t TDrawGridBase::SizingIndexAt(QPoint point, bool cols) const {
  if (!(options_ & (cols ? goColSizing : goRowSizing))) return -1;
  // Columns are sized from the fixed rows, rows from the fixed columns.
  if ((cols ? point.y() : point.x()) >= FixedExtent(!cols)) return -1;
  std::vector<Span> spans;
  VisibleSpans(cols, cols ? leftCol_ : topRow_, cols ? viewport()->width() : viewport()->height(),
               spans);
  const int32_t p = cols ? point.x() : point.y();
  int32_t found = -1;
  for (const Span& s : spans) {
    if (s.size <= 0) continue;
    const int32_t edge = s.start + s.size;
    if (p >= edge - kSizingSlack && p <= edge + kSizingSlack) found = s.index;
  }
  return found;
}

void TDrawGridBase::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    for (bool cols : {true, false}) {
      const int32_t index = SizingIndexAt(p, cols);
      if (index < 0) continue;
      sizing_ = cols ? kSizingCol : kSizingRow;
      sizingIndex_ = index;
      sizingOrigin_ = (cols ? p.x() : p.y()) - Size(cols, index);
      return;
    }
    const TGridCoord c = MouseCoord(p);
    // Only the keyboard takes the current cell onto fixed cells.
    if (c.X >= FixedCols() && c.Y >= FixedRows()) MoveCurrent(c.X, c.Y);
  }
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
}

void TDrawGridBase::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (sizing_ == kSizingCol) {
    geometry_->SetColWidths(sizingIndex_, p.x() - sizingOrigin_);
    GeometryChanged();
    return;
  }
  if (sizing_ == kSizingRow) {
    geometry_->SetRowHeights(sizingIndex_, p.y() - sizingOrigin_);
    GeometryChanged();
    return;
  }
  if (event->buttons() == Qt::NoButton) {
    if (SizingIndexAt(p, true) >= 0) viewport()->setCursor(Qt::SplitHCursor);
    else if (SizingIndexAt(p, false) >= 0) viewport()->setCursor(Qt::SplitVCursor);
    else viewport()->unsetCursor();
  }
}

void TDrawGridBase::mouseReleaseEvent(QMouseEvent* event) {
  if (sizing_ == kNotSizing || event->button() != Qt::LeftButton) return;
  const SizingKind kind = sizing_;
  mouseMoveEvent(event);
  sizing_ = kNotSizing;
  if (kind == kSizingCol) ColWidthsChanged(sizingIndex_);
  else RowHeightsChanged(sizingIndex_);
}

void TDrawGridBase::ScrollInView(int32_t col, int32_t row) {
  int32_t left = leftCol_, top = topRow_;
  if (col < left) left = col;
  if (row < top) top = row;
  auto lastVisible = [this](bool cols, int32_t first) {
    std::vector<Span> spans;
    const int32_t limit = cols ? viewport()->width() : viewport()->height();
    VisibleSpans(cols, first, limit, spans);
    int32_t last = first;
    for (const Span& s : spans)
      if (s.start + s.size <= limit) last = s.index;
    return last;
  };
  while (col > lastVisible(true, left) && left < col) ++left;
  while (row > lastVisible(false, top) && top < row) ++top;
  SetTopLeft(left, top);
}

void TDrawGridBase::keyPressEvent(QKeyEvent* event) {
  int32_t col = current_.X, row = current_.Y;
  std::vector<Span> spans;
  VisibleSpans(false, topRow_, viewport()->height(), spans);
  const int32_t page = std::max<int32_t>(1, int32_t(spans.size()) - FixedRows() - 1);
  switch (event->key()) {
    case Qt::Key_Left: --col; break;
    case Qt::Key_Right: ++col; break;
    case Qt::Key_Up: --row; break;
    case Qt::Key_Down: ++row; break;
    case Qt::Key_PageUp: row -= page; break;
    case Qt::Key_PageDown: row += page; break;
    case Qt::Key_Home:
      col = FixedCols();
      if (event->modifiers() & Qt::ControlModifier) row = FixedRows();
      break;
    case Qt::Key_End:
      col = ColCount() - 1;
      if (event->modifiers() & Qt::ControlModifier) row = RowCount() - 1;
      break;
    case Qt::Key_Tab:
      if (!(options_ & goTabs)) return QAbstractScrollArea::keyPressEvent(event);
      ++col;
      break;
    default: return QAbstractScrollArea::keyPressEvent(event);
  }
  MoveCurrent(col, row);
  ScrollInView(current_.X, current_.Y);
}

}  // namespace hy
