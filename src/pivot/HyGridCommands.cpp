// The pivot commands of the cross-tab: clicks on plus cells and captions,
// dragging a caption to another place, the quick menu, and resizing.
#include <algorithm>

#include "common/ScopeGuard.h"
#include "pivot/HyGrid.h"

namespace hy {

namespace {

// Opens or closes an axis as its plus cell says.
void PlusCommand(THySource& source, TDimAxis axis, const TPivotDrawState& state) {
  if (state.Has(dsOpenAfter)) {
    source.OpenNext(axis, -1, true);
  } else if (state.Has(dsCloseAfter)) {
    // One pivot for the lot, not one per closed dimension.
    const TUpdateScope update(source, TDecisionDataEvent::PivotChanged);
    source.CloseAfter(axis, -1, true);
  }
}

}  // namespace

TCellZone TCustomHyGrid::ZoneOf(int32_t offset, int32_t width) {
  const int32_t quarter = width / 4;
  if (offset < quarter) return TCellZone::LeftQuarter;
  if (offset >= width - quarter) return TCellZone::RightQuarter;
  return TCellZone::Middle;
}

void TCustomHyGrid::MouseDown(int32_t x, int32_t y, int32_t offset, int32_t width) {
  THySource* source = DecisionSource();
  if (!source || !populated_ || !IsActiveSource()) return;
  TCellKind kind;
  TPivotDrawState state;
  int32_t valueIndex;
  if (!GetCellInfo(x, y, kind, state, valueIndex)) return;
  switch (kind) {
    case ckColPlus:
      if (offset >= width - kPlusBoxWidth) PlusCommand(*source, TDimAxis::Cols, state);
      return;
    case ckRowPlus: PlusCommand(*source, TDimAxis::Rows, state); return;
    case ckRowCaption:
    case ckColCaption: {
      const TCellZone zone = ZoneOf(offset, width);
      const TDimAxis axis = kind == ckRowCaption ? TDimAxis::Rows : TDimAxis::Cols;
      const int32_t level = kind == ckRowCaption ? rowLevels_ + x : x;
      if (zone == TCellZone::Middle) {
        if (!HasOption(cgPivotable)) return;
        dragging_ = 1;
        dragCell_ = {x, y};
        dropCell_ = {x, y};
        dropSwap_ = true;
        InvalidateCell(x, y);
      } else if (zone == TCellZone::RightQuarter) {
        const bool nextOpen = (source->GetNeighbourFlags(DimAtLevel(axis, level)) & 1) != 0;
        if (HasOption(cgOutliner) && nextOpen) {
          const TUpdateScope update(*source, TDecisionDataEvent::PivotChanged);
          source->CloseAfter(axis, level, true);
        } else {
          source->OpenNext(axis, level, true);
        }
      }
      return;
    }
    default: return;
  }
}

bool TCustomHyGrid::GlyphCommand(int32_t x, int32_t y) {
  TCellKind kind;
  TPivotDrawState state;
  int32_t valueIndex;
  if (!GetCellInfo(x, y, kind, state, valueIndex)) return false;
  const bool plusOrCaption =
      kind == ckRowPlus || kind == ckColPlus || kind == ckRowCaption || kind == ckColCaption;
  if (!plusOrCaption || !(state.Has(dsOpenAfter) || state.Has(dsCloseAfter))) return false;
  // The glyph sits in the cell's right end: a click there.
  const int32_t width = std::max(ColWidths(x + fixedCols_), kPlusBoxWidth);
  MouseDown(x, y, width - 1, width);
  return true;
}

bool TCustomHyGrid::ComputeDropTarget(bool inCell, int32_t x, int32_t y, TCellZone zone,
                                      TGridCoord& cell, bool& swap) const {
  const int32_t rl = rowLevels_, cl = colLevels_;
  if (!inCell || !InGrid(x, y)) return false;
  if (outlinerCols_ && x == -(rl + 1)) return false;
  // The corner over the outermost row label: a place to let go without effect.
  if (x == -rl && y == -(cl + 1) && rl > 0 && cl > 0 && zone == TCellZone::LeftQuarter) {
    cell = {x, y};
    swap = false;
    return true;
  }
  if (rl == 0 && y >= -1) {
    cell = {0, -1};
    swap = false;
    return true;
  }
  if (y == -1 && x >= 0 && cl == 0 && !(x == 0 && zone == TCellZone::LeftQuarter)) {
    cell = {1, -1};
    swap = false;
    return true;
  }
  swap = zone == TCellZone::Middle;
  const int32_t step = zone == TCellZone::RightQuarter ? 1 : 0;
  if (cl > 0 && (y == -(cl + 1) || y < dragCell_.Y)) {
    cell = {x + step, -(cl + 1)};
    if (cell.X < 0 || cell.X > cl) {
      cell.X = std::clamp(cell.X, 0, cl);
      swap = false;
    }
    if (cell.X >= cl) swap = false;  // no caption there to swap with
  } else {
    cell = {x + step, -1};
    if (cell.X >= 0) {
      cell.X = 0;
      swap = false;
    }
    if (cell.X < -rl) {
      cell.X = -rl;
      swap = false;
    }
  }
  // Inserting right before or after itself changes nothing.
  if (!swap && cell.Y == dragCell_.Y && (cell.X == dragCell_.X || cell.X == dragCell_.X + 1))
    return false;
  return true;
}

void TCustomHyGrid::DragMove(bool inCell, int32_t x, int32_t y, TCellZone zone) {
  if (!dragging_) return;
  TGridCoord cell;
  bool swap = false;
  if (!ComputeDropTarget(inCell, x, y, zone, cell, swap)) return;
  if (cell == dropCell_ && swap == dropSwap_) return;
  // The marks may sit on a neighbour of the target: repaint around both.
  auto invalidateAround = [this](const TGridCoord& c) {
    for (int32_t dx = -1; dx <= 1; ++dx) InvalidateCell(c.X + dx, c.Y);
    InvalidateCell(c.X, c.Y - 1);
  };
  invalidateAround(dropCell_);
  dropCell_ = cell;
  dropSwap_ = swap;
  invalidateAround(dropCell_);
}

void TCustomHyGrid::CancelDrag() {
  if (!dragging_) return;
  dragging_ = 0;
  Invalidate();
}

void TCustomHyGrid::DragEnd(bool inCell, int32_t x, int32_t y, TCellZone zone) {
  if (!dragging_) return;
  DragMove(inCell, x, y, zone);
  dragging_ = 0;
  Invalidate();
  if (HasOption(cgPivotable)) DropOn(dropCell_, dropSwap_);
}

void TCustomHyGrid::DropOn(const TGridCoord& target, bool swap) {
  THySource* source = DecisionSource();
  if (!source || !IsActiveSource()) return;
  const int32_t rl = rowLevels_, cl = colLevels_;
  const bool fromRows = dragCell_.Y == -1 && dragCell_.X < 0;
  const TDimAxis fromAxis = fromRows ? TDimAxis::Rows : TDimAxis::Cols;
  const int32_t fromLevel = fromRows ? rl + dragCell_.X : dragCell_.X;
  if (target == dragCell_) return;

  const bool onRowCaption = target.Y == -1 && target.X < 0 && target.X >= -rl;
  const bool onColCaption = target.Y == -(cl + 1) && target.X >= 0 && target.X < cl;
  if (swap) {
    if (!onRowCaption && !onColCaption) return;
    const TDimAxis toAxis = onRowCaption ? TDimAxis::Rows : TDimAxis::Cols;
    const int32_t toLevel = onRowCaption ? rl + target.X : target.X;
    source->SwapDimensions(fromAxis, toAxis, true, toLevel, fromLevel);
    return;
  }
  TDimAxis toAxis;
  int32_t toLevel;
  if (target.Y == -1 && target.X <= 0 && (rl > 0 || target.X == 0)) {
    toAxis = TDimAxis::Rows;
    toLevel = rl + target.X;
  } else if (cl > 0 && target.Y == -(cl + 1) && target.X >= 0 && target.X <= cl) {
    toAxis = TDimAxis::Cols;
    toLevel = target.X;
  } else if (cl == 0 && target.Y == -1 && target.X == 1) {
    toAxis = TDimAxis::Cols;
    toLevel = 0;
  } else {
    return;  // the corner
  }
  // The level counts the open dimensions before the dragged one is taken
  // out; behind it on its own axis everything moves up by one.
  if (toAxis == fromAxis && toLevel > fromLevel) --toLevel;
  if (toAxis == fromAxis && toLevel == fromLevel) return;
  source->MoveDimension(fromAxis, toAxis, true, toLevel, fromLevel);
}

TDropMark TCustomHyGrid::DropMarkAt(int32_t x, int32_t y) const {
  if (!dragging_) return TDropMark::None;
  const TGridCoord t = dropCell_;
  const int32_t rl = rowLevels_, cl = colLevels_;
  if (dropSwap_) return t == TGridCoord{x, y} ? TDropMark::Swap : TDropMark::None;
  if (cl > 0 && t.Y == -(cl + 1)) {                    // the column-caption row
    if (t.X == -rl && rl > 0) return TDropMark::None;  // the corner
    if (t.X < cl) return t == TGridCoord{x, y} ? TDropMark::InsertBefore : TDropMark::None;
    return TGridCoord{cl - 1, t.Y} == TGridCoord{x, y} ? TDropMark::InsertAfter : TDropMark::None;
  }
  if (t.Y == -1 && t.X == 1 && cl == 0) {
    // To the column axis, which has no open dimension: its first place.
    return TGridCoord{0, -captionRows_} == TGridCoord{x, y} ? TDropMark::InsertBefore
                                                            : TDropMark::None;
  }
  if (t.Y == -1) {
    if (rl == 0)
      return TGridCoord{0, -1} == TGridCoord{x, y} ? TDropMark::InsertTop : TDropMark::None;
    if (t.X < 0) return t == TGridCoord{x, y} ? TDropMark::InsertBefore : TDropMark::None;
    return TGridCoord{-1, -1} == TGridCoord{x, y} ? TDropMark::InsertAfter : TDropMark::None;
  }
  return TDropMark::None;
}

// --- quick menu

void TCustomHyGrid::FillDimensionEntries() {
  const THySource* source = DecisionSource();
  if (!IsActiveSource() || !HasOption(cgPivotable)) return;
  TQuickMenu& menu = *quickMenu_;
  menu.AddEntry("-", 2, TQuickMenu::kSeparatorCode);
  for (int32_t i = 0; i < source->DimensionCount(); ++i) {
    const bool open = source->DimInfo(i).State == TDimState::Open;
    menu.AddEntry(DimensionTitle(i), open ? 0 : 2, TQuickMenu::kDimensionCode + i);
  }
  for (int32_t j = 0; j < source->SummaryCount(); ++j) {
    const bool current = j == source->CurrentSummary();
    menu.AddEntry(SummaryTitle(j), current ? 1 : 2, TQuickMenu::kSummaryCode + j);
  }
}

bool TCustomHyGrid::ChooseDimensionOrSummary(int32_t code) {
  THySource* source = DecisionSource();
  if (!source || !IsActiveSource()) return false;
  if (code >= TQuickMenu::kSummaryCode) {
    source->SetCurrentSummary(code - TQuickMenu::kSummaryCode);
    return true;
  }
  if (code >= TQuickMenu::kDimensionCode) {
    const int32_t dim = code - TQuickMenu::kDimensionCode;
    if (dim >= source->DimensionCount()) return true;
    const TDimInfo& info = source->DimInfo(dim);
    if (info.Axis == TDimAxis::NoAxis) return true;
    source->ToggleDimension(info.Axis, info.Position, false);
    return true;
  }
  return false;
}

int32_t TCustomHyGrid::GroupLook(TDimAxis axis, int32_t first, int32_t last) const {
  const bool firstShown = !PositionHidden(axis, first);
  const bool lastShown = !PositionHidden(axis, last);
  if (firstShown && lastShown) return 0;
  if (firstShown) return 1;
  if (lastShown) return 2;
  return -1;
}

void TCustomHyGrid::SetGroupSizes(TDimAxis axis, int32_t first, int32_t last, int32_t look) {
  const bool rows = axis == TDimAxis::Rows;
  std::vector<int32_t>& sizes = rows ? rowHeights_ : colWidths_;
  const int32_t offset = rows ? fixedRows_ : fixedCols_;
  const int32_t normal = rows ? defaultRowHeight_ : dataWidth_;
  for (int32_t p = first; p <= last; ++p) {
    const int32_t i = offset + p;
    if (i < 0 || i >= static_cast<int32_t>(sizes.size())) continue;
    const bool subtotal = p == last;
    switch (look) {
      case 0: sizes[i] = normal; break;
      case 1: sizes[i] = subtotal ? 0 : normal; break;
      case 2: sizes[i] = subtotal ? normal : 0; break;
      default: break;
    }
  }
  ShapeChanged();
  Invalidate();
}

TMenuPlace TCustomHyGrid::PrepareQuickMenu(int32_t x, int32_t y) {
  THySource* source = DecisionSource();
  TCellKind kind;
  TPivotDrawState state;
  int32_t valueIndex;
  if (!source || !GetCellInfo(x, y, kind, state, valueIndex)) return TMenuPlace::None;
  TQuickMenu& menu = *quickMenu_;

  if (kind == ckData) {
    if (onExamineCell_) {
      TValueArray values;
      GetValueArray(x, y, values);
      onExamineCell_(*this, x, y, source->CurrentSummary(), values);
    }
    return TMenuPlace::None;
  }

  menu.Clear();
  menu.SetValueIndex(-1);
  if (kind == ckRowCaption || kind == ckColCaption) {
    const TDimAxis axis = kind == ckRowCaption ? TDimAxis::Rows : TDimAxis::Cols;
    const int32_t level = kind == ckRowCaption ? rowLevels_ + x : x;
    menu.SetAxis(static_cast<uint8_t>(axis));
    menu.SetLevel(level);
    menu.SetPos(-1);
    menu.SetGroupStart(false);
    const TDisplayDim* dd = DisplayDimOf(DimAtLevel(axis, level));
    const bool subtotals = dd ? dd->Subtotals() : true;
    menu.AddEntry(kMenuDataAndSubtotals, subtotals ? 1 : 2, 0);
    menu.AddEntry(kMenuDataOnly, subtotals ? 2 : 1, 1);
    FillDimensionEntries();
    menu.SetOnChoose([this](TQuickMenu& m) { ChooseCaptionEntry(m); });
    return TMenuPlace::CellCorner;
  }

  if (kind == ckRowLabel || kind == ckColLabel) {
    const bool rows = kind == ckRowLabel;
    const TDimAxis axis = rows ? TDimAxis::Rows : TDimAxis::Cols;
    const int32_t level = rows ? rowLevels_ + x : colLevels_ + y;
    const int32_t pos = rows ? y : x;
    const int32_t levels = rows ? rowLevels_ : colLevels_;
    menu.SetAxis(static_cast<uint8_t>(axis));
    menu.SetLevel(level);
    menu.SetPos(pos);
    menu.SetGroupStart(state.Has(dsGroupStart));
    if (level < levels - 1) {
      int32_t first = pos, last = pos;
      source->GetGroupRange(axis, level, pos, first, last);
      const int32_t look = GroupLook(axis, first, last);
      menu.AddEntry(kMenuDataAndSubtotals, look == 0 ? 1 : 2, 0);
      menu.AddEntry(kMenuDataOnly, look == 1 ? 1 : 2, 1);
      menu.AddEntry(kMenuSubtotalsOnly, look == 2 ? 1 : 2, 2);
      menu.AddEntry("-", 2, TQuickMenu::kSeparatorCode);
    }
    // A subtotal has no single value to drill into.
    if (!state.Has(dsSum)) menu.AddEntry(kMenuDrillIn, 2, 3);
    if (menu.Count() > 0 && menu.Items(menu.Count() - 1).IsSeparator()) menu.RemoveLast();
    if (menu.Count() == 0) return TMenuPlace::None;
    menu.SetOnChoose([this](TQuickMenu& m) { ChooseLabelEntry(m); });
    return TMenuPlace::CellCorner;
  }

  return PrepareGeneralMenu();
}

TMenuPlace TCustomHyGrid::PrepareGeneralMenu() {
  if (!DecisionSource()) return TMenuPlace::None;
  TQuickMenu& menu = *quickMenu_;
  menu.Clear();
  menu.SetValueIndex(-1);
  menu.SetAxis(0);
  menu.SetLevel(-1);
  menu.SetPos(-1);
  menu.SetGroupStart(false);
  menu.AddEntry(kMenuSubtotalsOnOff, Totals() ? 0 : 2, 0);
  if (showCubeEditor_) menu.AddEntry(kMenuCubeEditor, 2, 1);
  FillDimensionEntries();
  menu.SetOnChoose([this](TQuickMenu& m) { ChooseGeneralEntry(m); });
  return TMenuPlace::Mouse;
}

void TCustomHyGrid::ChooseCaptionEntry(TQuickMenu& menu) {
  const int32_t code = menu.SelectedCode();
  if (ChooseDimensionOrSummary(code)) return;
  const TDimAxis axis = static_cast<TDimAxis>(menu.Axis());
  TDisplayDim* dd = DisplayDimOf(DimAtLevel(axis, menu.Level()));
  if (!dd) return;
  if (code == 0) dd->SetSubtotals(true);
  else if (code == 1) dd->SetSubtotals(false);
}

void TCustomHyGrid::ChooseLabelEntry(TQuickMenu& menu) {
  THySource* source = DecisionSource();
  if (!source || !IsActiveSource()) return;
  const int32_t code = menu.SelectedCode();
  const TDimAxis axis = static_cast<TDimAxis>(menu.Axis());
  const int32_t level = menu.Level(), pos = menu.Pos();
  if (code >= 0 && code <= 2) {
    int32_t first = pos, last = pos;
    source->GetGroupRange(axis, level, pos, first, last);
    SetGroupSizes(axis, first, last, code);
  } else if (code == 3) {
    bool isSum = false, groupStart = false;
    const int32_t value = source->GetHeaderValue(axis, level, pos, isSum, groupStart);
    menu.SetValueIndex(value);
    const int32_t dim = DimAtLevel(axis, level);
    if (value >= 0 && dim >= 0) source->SelectValue(dim, value);
  }
}

void TCustomHyGrid::ChooseGeneralEntry(TQuickMenu& menu) {
  const int32_t code = menu.SelectedCode();
  if (ChooseDimensionOrSummary(code)) return;
  if (code == 0) SetTotals(!Totals());
  else if (code == 1 && onCubeEditor_) onCubeEditor_(*this);
}

// --- resizing

void TCustomHyGrid::UserColWidthChanged(int32_t col, int32_t width) {
  if (inLayout_ || col < 0 || col >= ColCount()) return;
  width = std::max(width, 0);
  if (col < fixedCols_) {
    colWidths_[col] = width;
    ShapeChanged();
    return;
  }
  // One width for every data column; hidden ones stay hidden.
  for (int32_t c = fixedCols_; c < ColCount(); ++c)
    if (colWidths_[c] > 0 || c == col) colWidths_[c] = width;
  defaultColWidth_ = width;
  dataWidth_ = width;
  ShapeChanged();
  Invalidate();
}

void TCustomHyGrid::UserRowHeightChanged(int32_t row, int32_t height) {
  if (inLayout_ || row < 0 || row >= RowCount()) return;
  height = std::max(height, 0);
  for (int32_t r = 0; r < RowCount(); ++r)
    if (rowHeights_[r] > 0 || r == row) rowHeights_[r] = height;
  defaultRowHeight_ = height;
  ShapeChanged();
  Invalidate();
}

}  // namespace hy
