#include "ui/HyGridWidget.h"

#include <QAction>
#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

#include "common/ScopeGuard.h"
#include "platform/gdi/Colors.h"

namespace hy {

THyGrid::THyGrid(QWidget* parent, TComponent* owner) : TDrawGridBase(parent) {
  if (owner) {
    model_ = new TCustomHyGrid(owner);
  } else {
    ownModel_ = std::make_unique<TCustomHyGrid>();
    model_ = ownModel_.get();
  }
  Attach();
}

THyGrid::THyGrid(TCustomHyGrid& model, QWidget* parent) : TDrawGridBase(parent), model_(&model) {
  Attach();
}

THyGrid::~THyGrid() {
  if (model_) {
    model_->SetView(nullptr);
    model_->QuickMenu().SetOnPopup(nullptr);
  }
  model_ = nullptr;
  SetGeometry(nullptr);
  ownModel_.reset();
}

void THyGrid::Attach() {
  SetGridLineWidth(0);  // the model's own lines replace the base's
  // Captions, labels and plus cells are reachable from the keyboard.
  SetOptions(goColSizing | goRowSizing | goFixedCurrent);
  model_->SetView(this);
  model_->QuickMenu().SetOnPopup(
      [this](TQuickMenu& menu, void*, int32_t x, int32_t y) { ShowQuickMenu(menu, x, y); });
  SetColor(ToQColor(model_->Color()));
  SetGeometry(model_);
  MoveCurrent(FixedCols(), FixedRows());
  RememberTopLeft();
}

void THyGrid::ModelDestroyed() {
  model_ = nullptr;
  SetGeometry(nullptr);
  ownModel_.release();  // it is being destroyed by whoever owns it
  viewport()->update();
}

void THyGrid::ModelShapeChanged() {
  if (!model_) return;
  SetColor(ToQColor(model_->Color()));
  GeometryChanged();
}

void THyGrid::ModelLayoutChanged() {
  if (!model_) return;
  // The fixed counts of the layout before this one.
  const bool dataCurrent = Col() >= knownFixed_.X && Row() >= knownFixed_.Y;
  {
    // Positions now mean other cells: the old top-left says nothing until
    // the anchors have found their cells again.
    const TValueScope<bool> restoring(restoring_, true);
    ModelShapeChanged();
    const int32_t row = model_->FindAnchor(TDimAxis::Rows, rowAnchor_);
    const int32_t col = model_->FindAnchor(TDimAxis::Cols, colAnchor_);
    SetTopLeft(FixedCols() + std::max(col, 0), FixedRows() + std::max(row, 0));
  }
  // A current data cell goes with the view; a caption or label the keyboard
  // is on stays where it is.
  if (dataCurrent) MoveCurrent(LeftCol(), TopRow());
  RememberTopLeft();
}

void THyGrid::RememberTopLeft() {
  if (!model_) return;
  knownFixed_ = {FixedCols(), FixedRows()};
  // At the top (left) there is nothing to keep: the view stays there.
  rowAnchor_ = TopRow() > FixedRows() ? model_->AnchorAt(TDimAxis::Rows, TopRow() - FixedRows())
                                      : TCustomHyGrid::TAxisAnchor();
  colAnchor_ = LeftCol() > FixedCols() ? model_->AnchorAt(TDimAxis::Cols, LeftCol() - FixedCols())
                                       : TCustomHyGrid::TAxisAnchor();
}

void THyGrid::ModelInvalidate() {
  if (model_) SetColor(ToQColor(model_->Color()));
  InvalidateGrid();
}

void THyGrid::ModelInvalidateCell(int32_t col, int32_t row) { InvalidateCell(col, row); }

void THyGrid::ColWidthsChanged(int32_t col) {
  if (model_) model_->UserColWidthChanged(col, ColWidths(col));
}

void THyGrid::RowHeightsChanged(int32_t row) {
  if (model_) model_->UserRowHeightChanged(row, RowHeights(row));
}

void THyGrid::TopLeftChanged() {
  if (!restoring_) RememberTopLeft();
  if (model_ && model_->OnTopLeftChanged()) model_->OnTopLeftChanged()(*model_);
}

void THyGrid::focusInEvent(QFocusEvent* event) {
  TDrawGridBase::focusInEvent(event);
  InvalidateCell(Col(), Row());
}

void THyGrid::focusOutEvent(QFocusEvent* event) {
  TDrawGridBase::focusOutEvent(event);
  InvalidateCell(Col(), Row());
}

bool THyGrid::DataCellAt(QPoint point, int32_t& x, int32_t& y, TCellZone& zone) const {
  const TGridCoord c = MouseCoord(point);
  if (c.X < 0 || !model_) return false;
  const QRect r = CellRect(c.X, c.Y);
  x = c.X - model_->FixedCols();
  y = c.Y - model_->FixedRows();
  zone = TCustomHyGrid::ZoneOf(point.x() - r.left(), r.width());
  return true;
}

void THyGrid::mousePressEvent(QMouseEvent* event) {
  TDrawGridBase::mousePressEvent(event);
  if (!model_ || Sizing()) return;
  const QPoint p = event->position().toPoint();
  const TGridCoord c = MouseCoord(p);
  if (c.X < 0) return;
  const QRect r = CellRect(c.X, c.Y);
  const int32_t x = c.X - model_->FixedCols(), y = c.Y - model_->FixedRows();
  if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
    model_->MouseDown(x, y, p.x() - r.left(), r.width());
    if (model_->Dragging()) viewport()->setCursor(QCursor(Glyph(glCaption), 7, 7));
  } else if (event->button() == Qt::RightButton) {
    if (model_->Dragging()) return;
    switch (model_->PrepareQuickMenu(x, y)) {
      case TMenuPlace::CellCorner:
        model_->QuickMenu().PopupAt(viewport(), r.left(), r.bottom() + 1);
        break;
      case TMenuPlace::Mouse: model_->QuickMenu().PopupAt(viewport(), p.x(), p.y()); break;
      case TMenuPlace::None: break;
    }
  }
}

void THyGrid::mouseMoveEvent(QMouseEvent* event) {
  TDrawGridBase::mouseMoveEvent(event);
  if (!model_ || !model_->Dragging()) return;
  int32_t x = 0, y = 0;
  TCellZone zone = TCellZone::Middle;
  const bool inCell = DataCellAt(event->position().toPoint(), x, y, zone);
  model_->DragMove(inCell, x, y, zone);
}

void THyGrid::mouseReleaseEvent(QMouseEvent* event) {
  TDrawGridBase::mouseReleaseEvent(event);
  if (!model_ || !model_->Dragging()) return;
  int32_t x = 0, y = 0;
  TCellZone zone = TCellZone::Middle;
  const bool inCell = DataCellAt(event->position().toPoint(), x, y, zone);
  viewport()->unsetCursor();
  model_->DragEnd(inCell, x, y, zone);
}

void THyGrid::keyPressEvent(QKeyEvent* event) {
  // Escape lets go of a dragged caption without moving it.
  if (event->key() == Qt::Key_Escape && model_ && model_->Dragging()) {
    model_->CancelDrag();
    viewport()->unsetCursor();
    return;
  }
  const bool menuKey = event->key() == Qt::Key_Menu ||
                       (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
  if (model_ && !model_->Dragging() && menuKey) {
    ShowCellMenu();
    return;
  }
  if (model_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    model_->GlyphCommand(Col() - FixedCols(), Row() - FixedRows());
    return;
  }
  TDrawGridBase::keyPressEvent(event);
}

void THyGrid::ShowCellMenu() {
  ScrollInView(Col(), Row());
  const QRect r = CellRect(Col(), Row());
  if (r.isEmpty()) return;
  const int32_t x = Col() - FixedCols(), y = Row() - FixedRows();
  // A data cell has no menu of its own: the keyboard gets the general one.
  const TMenuPlace place =
      x >= 0 && y >= 0 ? model_->PrepareGeneralMenu() : model_->PrepareQuickMenu(x, y);
  if (place != TMenuPlace::None) model_->QuickMenu().PopupAt(viewport(), r.left(), r.bottom() + 1);
}

void THyGrid::ShowQuickMenu(TQuickMenu& menu, int32_t x, int32_t y) {
  if (popup_) {
    popup_->close();
    popup_->deleteLater();
  }
  popup_ = new QMenu(this);
  popup_->setAttribute(Qt::WA_DeleteOnClose, false);
  auto* radios = new QActionGroup(popup_);
  radios->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
  for (int32_t i = 0; i < menu.Count(); ++i) {
    const TQuickMenuItem& item = menu.Items(i);
    if (item.IsSeparator()) {
      popup_->addSeparator();
      continue;
    }
    QAction* action = popup_->addAction(QString::fromStdString(item.Caption()));
    action->setCheckable(item.Checked());
    action->setChecked(item.Checked());
    if (item.RadioItem()) radios->addAction(action);
    action->setEnabled(item.Enabled());
    // The index, not the item: the handler may rebuild the menu.
    connect(action, &QAction::triggered, this, [this, i] {
      if (model_) model_->QuickMenu().EntryClickedAt(i);
    });
  }
  popup_->popup(viewport()->mapToGlobal(QPoint(x, y)));
}

}  // namespace hy
