// What each cell of the cross-tab is, what it says, and how it is painted.
#include <algorithm>

#include "pivot/HyGrid.h"
#include "pivot/HyGridTexts.h"

namespace hy {

namespace {

bool IsSubtotalAt(const TAxisEntries& index, int32_t pos) {
  for (const std::vector<int16_t>& level : index)
    if (pos >= 0 && pos < static_cast<int32_t>(level.size()) && level[pos] < 0) return true;
  return false;
}

// The plus cell's look: the first dimension of the axis that is open or
// closed decides between opening and closing.
void PlusState(const TDimInfoList& list, TPivotDrawState& state) {
  for (const TDimInfo* info : list.List()) {
    if (info->State == TDimState::Closed) {
      state.Include(dsOpenAfter);
      return;
    }
    if (info->State == TDimState::Open) {
      state.Include(dsCloseAfter);
      return;
    }
  }
}

}  // namespace

bool TCustomHyGrid::InGrid(int32_t x, int32_t y) const {
  return x >= -fixedCols_ && x < ColCount() - fixedCols_ && y >= -fixedRows_ &&
         y < RowCount() - fixedRows_;
}

bool TCustomHyGrid::PositionHidden(TDimAxis axis, int32_t pos) const {
  return axis == TDimAxis::Rows ? RowHeights(fixedRows_ + pos) == 0
                                : ColWidths(fixedCols_ + pos) == 0;
}

// A label starts a group where its value changes, and also where every
// position before it in the group is hidden: the first visible one carries
// the group's label.
bool TCustomHyGrid::LabelGroupStart(TDimAxis axis, int32_t level, int32_t pos,
                                    bool isGroupStart) const {
  if (isGroupStart) return true;
  int32_t first = pos, last = pos;
  DecisionSource()->GetGroupRange(axis, level, pos, first, last);
  if (first >= pos) return false;
  for (int32_t p = first; p < pos; ++p)
    if (!PositionHidden(axis, p)) return false;
  return true;
}

bool TCustomHyGrid::GetCellInfo(int32_t x, int32_t y, TCellKind& kind, TPivotDrawState& state,
                                int32_t& valueIndex) const {
  kind = ckNone;
  state = {};
  valueIndex = -1;
  const THySource* source = DecisionSource();
  if (!source || !populated_ || !IsActiveSource() || !InGrid(x, y)) return false;
  const int32_t rl = rowLevels_, cl = colLevels_;
  const bool outliner = outlinerCols_ > 0;

  auto captionState = [&](TDimAxis axis, int32_t level) {
    if (!outliner) return;
    const int32_t dim = DimAtLevel(axis, level);
    if (dim < 0) return;
    const int32_t flags = source->GetNeighbourFlags(dim);
    if (flags & 1) state.Include(dsCloseAfter);
    else if (flags & 4) state.Include(dsOpenAfter);
  };
  auto labelState = [&](TDimAxis axis, int32_t level, int32_t pos) {
    bool isSum = false, groupStart = false;
    valueIndex = source->GetHeaderValue(axis, level, pos, isSum, groupStart);
    if (isSum) state.Include(dsSum);
    if (LabelGroupStart(axis, level, pos, groupStart)) state.Include(dsGroupStart);
  };

  if (x >= 0 && y >= 0) {
    kind = ckData;
    state.Include(dsData);
    if (IsSubtotalAt(source->RowIndex(), y) || IsSubtotalAt(source->ColIndex(), x))
      state.Include(dsSum);
  } else if (y == -1 && x >= -rl && x < 0) {
    kind = ckRowCaption;
    state.Include(dsRowCaption);
    captionState(TDimAxis::Rows, rl + x);
  } else if (y == -(cl + 1) && x >= 0 && x < cl) {
    kind = ckColCaption;
    state.Include(dsColCaption);
    captionState(TDimAxis::Cols, x);
  } else if (y >= 0 && x >= -rl && x < 0) {
    kind = ckRowLabel;
    state.Include(dsRowValue);
    labelState(TDimAxis::Rows, rl + x, y);
  } else if (x >= 0 && y >= -cl && y < 0) {
    kind = ckColLabel;
    state.Include(dsColValue);
    labelState(TDimAxis::Cols, cl + y, x);
  } else if (outliner && colListCount_ >= 1 && x == -1 && y == (cl > 0 ? -(cl + 1) : -2)) {
    kind = ckColPlus;
    state.Include(dsColPlus);
    PlusState(source->AxisList(TDimAxis::Cols), state);
  } else if (outliner && x == -(rl + 1) && rowListCount_ > 0 && y == -1) {
    kind = ckRowPlus;
    state.Include(dsRowPlus);
    PlusState(source->AxisList(TDimAxis::Rows), state);
  } else if (outliner && x == -(rl + 1)) {
    kind = ckRowIndicator;
    state.Include(dsRowIndicator);
  } else {
    state.Include(dsNone);
  }
  return true;
}

std::string TCustomHyGrid::DimensionTitle(int32_t dimIndex) const {
  const THySource* source = DecisionSource();
  if (!source || dimIndex < 0 || dimIndex >= source->DimensionCount()) return {};
  std::string caption = source->GetDimensionCaption(dimIndex);
  // A map item without a caption is known by its name.
  if (caption.empty()) caption = source->DimInfo(dimIndex).Name;
  return caption;
}

std::string TCustomHyGrid::SummaryTitle(int32_t index) const {
  const THySource* source = DecisionSource();
  if (!source) return {};
  std::string caption = source->GetSummaryCaption(index);
  if (caption.empty())
    if (const TAbstractSummary* summary = source->GetSummary(index))
      if (summary->MapItem()) caption = summary->MapItem()->Name();
  return caption;
}

std::string TCustomHyGrid::CaptionText(int32_t dimIndex) const {
  const TDisplayDim* dd = DisplayDimOf(dimIndex);
  if (dd && !dd->DisplayName().empty()) return dd->DisplayName();
  return DimensionTitle(dimIndex);
}

std::string TCustomHyGrid::ValueText(int32_t dimIndex, int32_t valueIndex) const {
  const THySource* source = DecisionSource();
  const TDisplayDim* dd = DisplayDimOf(dimIndex);
  if (dd && !dd->Format().empty())
    return FormatDisplayValue(source->GetValueVariant(dimIndex, valueIndex), dd->Format());
  return source->GetValueText(dimIndex, valueIndex);
}

void TCustomHyGrid::GetCellText(int32_t y, int32_t x, std::string& text, TAlignment& alignment,
                                TPivotDrawState& state) const {
  text.clear();
  alignment = taCenter;
  TCellKind kind;
  int32_t valueIndex;
  if (!GetCellInfo(x, y, kind, state, valueIndex)) return;
  switch (kind) {
    case ckRowCaption: text = CaptionText(DimAtLevel(TDimAxis::Rows, rowLevels_ + x)); break;
    case ckColCaption: text = CaptionText(DimAtLevel(TDimAxis::Cols, x)); break;
    case ckRowLabel:
    case ckColLabel: {
      const int32_t dim = kind == ckRowLabel ? DimAtLevel(TDimAxis::Rows, rowLevels_ + x)
                                             : DimAtLevel(TDimAxis::Cols, colLevels_ + y);
      if (const TDisplayDim* dd = DisplayDimOf(dim)) alignment = dd->Alignment();
      if (!state.Has(dsGroupStart)) break;
      text = state.Has(dsSum) ? "Sum" : ValueText(dim, valueIndex);
      break;
    }
    case ckData: {
      static const std::string kNoFormat;
      const TDisplayDim* dd = SummaryDisplayDim();
      if (dd) alignment = dd->Alignment();
      text.assign(texts_->DataText(*DecisionSource(), x, y, dd ? dd->Format() : kNoFormat));
      break;
    }
    default: break;
  }
}

bool TCustomHyGrid::CellQuery(int32_t x, int32_t y, TPivotDrawState& state,
                              std::string& text) const {
  state = {};
  text.clear();
  if (!InGrid(x, y)) return false;
  TAlignment alignment;
  GetCellText(y, x, text, alignment, state);
  return true;
}

std::string TCustomHyGrid::CellText(int32_t x, int32_t y) const {
  TPivotDrawState state;
  std::string text;
  if (!CellQuery(x, y, state, text)) return "[Error]";
  return text;
}

bool TCustomHyGrid::GetValueArray(int32_t x, int32_t y, TValueArray& values) const {
  const THySource* source = DecisionSource();
  if (!source) return false;
  return source->GetValueArray(x, y, values);
}

TCustomHyGrid::TAxisAnchor TCustomHyGrid::AnchorAt(TDimAxis axis, int32_t pos) const {
  TAxisAnchor anchor;
  const THySource* source = DecisionSource();
  if (!populated_ || !IsActiveSource()) return anchor;
  const TAxisEntries& index = axis == TDimAxis::Rows ? source->RowIndex() : source->ColIndex();
  for (int32_t level = 0; level < static_cast<int32_t>(index.size()); ++level) {
    const std::vector<int16_t>& entries = index[level];
    if (pos < 0 || pos >= static_cast<int32_t>(entries.size())) return {};
    anchor.push_back({DimAtLevel(axis, level), entries[pos]});
  }
  return anchor;
}

int32_t TCustomHyGrid::FindAnchor(TDimAxis axis, const TAxisAnchor& anchor) const {
  const THySource* source = DecisionSource();
  if (anchor.empty() || !populated_ || !IsActiveSource()) return -1;
  const TAxisEntries& index = axis == TDimAxis::Rows ? source->RowIndex() : source->ColIndex();
  const int32_t levels = static_cast<int32_t>(index.size());
  // (level now, value) of every anchor dimension still open on the axis.
  std::vector<std::pair<int32_t, int16_t>> wanted;
  for (const TAnchorValue& a : anchor)
    for (int32_t level = 0; level < levels; ++level)
      if (DimAtLevel(axis, level) == a.Dim) wanted.emplace_back(level, a.Value);
  if (wanted.empty()) return -1;
  const int32_t count = static_cast<int32_t>(index[0].size());
  for (int32_t pos = 0; pos < count; ++pos) {
    bool match = true;
    for (const auto& [level, value] : wanted) match = match && index[level][pos] == value;
    if (match) return pos;
  }
  return -1;
}

// --- painting

TCellPaint TCustomHyGrid::CellPaint(int32_t col, int32_t row, TGridDrawState gridState) {
  TCellPaint p;
  p.Color = color_;
  p.Font = font_;
  p.X = col - fixedCols_;
  p.Y = row - fixedRows_;
  if (IsLoading() || !populated_ || !IsActiveSource()) return p;
  if (ColWidths(col) == 0 || RowHeights(row) == 0) return p;
  p.Draw = true;

  GetCellText(p.Y, p.X, p.Text, p.Alignment, p.State);
  int32_t valueIndex;
  GetCellInfo(p.X, p.Y, p.Kind, p.State, valueIndex);
  const TPivotDrawState& s = p.State;
  const bool fixed = (gridState & gdFixed) != 0;
  const bool gridLines = HasOption(cgGridLines);
  p.Raised = fixed && gridLines &&
             (s.Has(dsRowCaption) || s.Has(dsColCaption) || s.Has(dsRowIndicator) ||
              s.Has(dsRowPlus) || s.Has(dsColPlus) || s.Has(dsNone));

  if (gridState & gdFocused) {
    p.Font = dataFont_;
    p.Font.SetColor(clHighlightText);
    p.Color = clHighlight;
  } else if (fixed) {
    if (s.Has(dsRowIndicator) || s.Has(dsColPlus) || s.Has(dsNone)) {
      // the control's font and colour, already set
    } else if (s.Has(dsRowCaption) || s.Has(dsColCaption)) {
      p.Font = captionFont_;
      p.Color = captionColor_;
    } else if (s.Has(dsRowValue) || s.Has(dsColValue)) {
      p.Font = labelFont_;
      p.Color = labelColor_;
      const int32_t dim = s.Has(dsRowValue) ? DimAtLevel(TDimAxis::Rows, rowLevels_ + p.X)
                                            : DimAtLevel(TDimAxis::Cols, colLevels_ + p.Y);
      if (const TDisplayDim* dd = DisplayDimOf(dim)) {
        if (dd->Color() != clNone) p.Color = dd->Color();
        p.Alignment = dd->Alignment();
      }
      if (s.Has(dsSum)) {
        p.Font = labelSumFont_;
        if (labelSumColor_ != clNone) p.Color = labelSumColor_;
      }
    }
  } else {
    p.Font = dataFont_;
    p.Color = dataColor_;
    const TDisplayDim* dd = SummaryDisplayDim();
    if (dd) p.Alignment = dd->Alignment();
    if (s.Has(dsSum)) {
      if (dataSumColor_ != clNone) p.Color = dataSumColor_;
    } else if (dd && dd->Color() != clNone) {
      p.Color = dd->Color();
    }
  }
  p.Margin = p.Raised ? 1 : 2;

  if (onDrawCell_) {
    onDrawCell_(*this, p.X, p.Y, p.Text, p.Font, p.Color, gridState, p.State);
    if (!defaultDrawing_) {
      p.DefaultDrawing = false;
      return p;
    }
  }

  if ((s.Has(dsOpenAfter) && (s.Has(dsRowCaption) || s.Has(dsColCaption))) || s.Has(dsCloseAfter))
    p.GlyphRoom = kGlyphSize;
  if (s.Has(dsOpenAfter)) p.RightGlyph = glDOpen;
  else if (s.Has(dsCloseAfter)) p.RightGlyph = glDClose;
  if (s.Has(dsCloseBefore)) p.LeftGlyph = glDClose;
  else if (s.Has(dsOpenBefore)) p.LeftGlyph = glDOpen;
  p.PlusBox = p.Raised && s.Has(dsColPlus) && ColWidths(col) > kPlusBoxWidth;

  // The edges that make a group's labels read as one merged cell.
  if (gridLines && gridLineWidth_ >= 1 &&
      (p.Kind == ckRowLabel || p.Kind == ckColLabel || p.Kind == ckData)) {
    const bool startOrSum = s.Has(dsGroupStart) || s.Has(dsSum);
    const bool lastCol = col == ColCount() - 1;
    const bool lastRow = row == RowCount() - 1;
    p.LeftEdge = !(p.Kind == ckRowLabel && p.X == -rowLevels_) &&
                 !(p.Kind == ckColLabel && !s.Has(dsGroupStart));
    p.TopEdge = p.Kind != ckRowLabel || startOrSum;
    p.RightEdge = lastCol || startOrSum;
    p.BottomEdge = lastRow || startOrSum;
    p.LineColor = gridLineColor_;
    p.LineWidth = gridLineWidth_;
  }
  p.Drop = DropMarkAt(p.X, p.Y);
  return p;
}

int32_t TCustomHyGrid::TextLeft(const TCellPaint& paint, int32_t left, int32_t right,
                                int32_t textWidth) {
  right -= paint.GlyphRoom;
  TAlignment alignment = paint.Alignment;
  // Text that does not fit shows its beginning.
  if (textWidth > right - left) alignment = taLeftJustify;
  switch (alignment) {
    case taRightJustify: return right - 3 - textWidth;
    case taCenter: return left + (right - left - textWidth) / 2;
    default: return left + paint.Margin;
  }
}

}  // namespace hy
