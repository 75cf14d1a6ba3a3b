// THyGrid: the cross-tab grid on screen. It shows a TCustomHyGrid model on
// the scrolling grid base: paints every cell as the model describes it,
// turns mouse clicks, drags and right clicks into the model's pivot
// commands, and shows the model's quick menu.
#pragma once

#include <QPixmap>

#include <memory>

#include "pivot/HyGrid.h"
#include "ui/HyGridWidgetBase.h"

class QMenu;

namespace hy {

class THyGrid : public TDrawGridBase, public THyGridView {
public:
  // The model is a component of `owner` (so it joins the owner's loading and
  // is found by name), or the widget's own when `owner` is null.
  explicit THyGrid(QWidget* parent = nullptr, TComponent* owner = nullptr);
  // Shows an existing model without owning it.
  THyGrid(TCustomHyGrid& model, QWidget* parent);
  ~THyGrid() override;

  // Null once an owner freed the model before the widget.
  TCustomHyGrid* Model() const { return model_; }

  // The quick menu on screen while it is up (for the tests and the owner).
  QMenu* PopupMenu() const { return popup_; }

  // A glyph image of the grid (15 × 15), drawn by the program.
  static const QPixmap& Glyph(TGridGlyph glyph);

  // The whole grid, unscrolled, as an image of its full size; `scale` is
  // the device pixels per grid pixel (a fractional screen scale).
  QImage RenderImage(double scale = 1.0);
  // Size of that image in grid pixels, from the geometry alone (exact, where
  // RenderSize stops at INT_MAX).
  int64_t RenderExtent(bool cols) const;
  QSize RenderSize() const;

  // THyGridView
  void ModelShapeChanged() override;
  void ModelLayoutChanged() override;
  void ModelInvalidate() override;
  void ModelInvalidateCell(int32_t col, int32_t row) override;
  void ModelDestroyed() override;

protected:
  void DrawCell(QPainter& painter, int32_t col, int32_t row, const QRect& rect,
                TGridDrawState state) override;
  void PaintAfterCells(QPainter& painter, const QRect& cellArea) override;
  void ColWidthsChanged(int32_t col) override;
  void RowHeightsChanged(int32_t row) override;
  void TopLeftChanged() override;

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  void Attach();
  // Keeps what the top-left shows, to find it again after a pivot.
  void RememberTopLeft();
  void ShowQuickMenu(TQuickMenu& menu, int32_t x, int32_t y);
  // The quick menu of the current cell, for the keyboard.
  void ShowCellMenu();
  // The cell under a viewport point in data coordinates, with the zone of
  // its width the point is in.
  bool DataCellAt(QPoint point, int32_t& x, int32_t& y, TCellZone& zone) const;

  TCustomHyGrid* model_ = nullptr;
  std::unique_ptr<TCustomHyGrid> ownModel_;
  bool restoring_ = false;
  TGridCoord knownFixed_{0, 0};
  TCustomHyGrid::TAxisAnchor rowAnchor_;
  TCustomHyGrid::TAxisAnchor colAnchor_;
  QMenu* popup_ = nullptr;
};

// A QFont for a font description, hinted for the screen.
QFont ScreenFont(const TFont& font);

}  // namespace hy
