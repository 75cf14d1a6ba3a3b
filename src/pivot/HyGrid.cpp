// The grid model's settings, its display settings, the link to the source,
// synchronisation and layout.
#include "pivot/HyGrid.h"

#include <algorithm>

#include "pivot/HyGridTexts.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/GuiApp.h"

namespace hy {

// --- TDisplayDim

int32_t TDisplayDim::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

void TDisplayDim::Changed(TDisplayDimChange kind) {
  if (collection_) collection_->ItemChanged(*this, kind);
}

void TDisplayDim::SetDisplayName(const std::string& value) {
  if (value == displayName_) return;
  displayName_ = value;
  Changed(TDisplayDimChange::DisplayName);
}

void TDisplayDim::SetFieldName(const std::string& value) {
  if (value == fieldName_) return;
  fieldName_ = value;
  Changed(TDisplayDimChange::FieldName);
}

void TDisplayDim::SetFormat(const std::string& value) {
  if (value == format_) return;
  format_ = value;
  Changed(TDisplayDimChange::Format);
}

void TDisplayDim::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Changed(TDisplayDimChange::Alignment);
}

void TDisplayDim::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed(TDisplayDimChange::Color);
}

void TDisplayDim::SetSubtotals(bool value) {
  if (value == subtotals_) return;
  subtotals_ = value;
  Changed(TDisplayDimChange::Subtotals);
}

void TDisplayDim::SetWidth(int32_t value) {
  if (value == width_) return;
  width_ = value;
  Changed(TDisplayDimChange::Width);
}

// --- TDisplayDims

TDisplayDim* TDisplayDims::Items(int32_t index) const {
  return index >= 0 && index < Count() ? items_[index].get() : nullptr;
}

TDisplayDim& TDisplayDims::Add() {
  items_.push_back(std::make_unique<TDisplayDim>(this));
  return *items_.back();
}

void TDisplayDims::Clear() { items_.clear(); }

int32_t TDisplayDims::IndexOf(const TDisplayDim* item) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (items_[i].get() == item) return i;
  return -1;
}

void TDisplayDims::ItemChanged(TDisplayDim&, TDisplayDimChange kind) {
  if (updating_ || !grid_ || grid_->IsLoading()) return;
  grid_->DisplayDimChanged(kind);
}

// --- THyGridDataLink

void THyGridDataLink::DataEvent(TDecisionDataEvent event) {
  if (Busy() || !grid_) return;
  SetBusy(true);
  const auto idle = ScopeExit([this] { SetBusy(false); });
  grid_->DataEvent(event);
}

// --- TCustomHyGrid

TCustomHyGrid::TCustomHyGrid(TComponent* owner)
    : TComponent(owner),
      link_(this),
      quickMenu_(new TQuickMenu(this)),
      dimensions_(this),
      texts_(std::make_unique<TCellTextCache>()) {
  captionFont_.SetColor(clCaptionText);
  for (TFont* f : {&captionFont_, &dataFont_, &labelFont_, &labelSumFont_, &font_})
    f->SetOnChange([this] { Invalidate(); });
  dimensions_.SetUpdating(false);
}

TCustomHyGrid::~TCustomHyGrid() {
  Destroying();
  if (view_) view_->ModelDestroyed();
  view_ = nullptr;
  if (watchedSource_) watchedSource_->RemoveFreeNotification(this);
  watchedSource_ = nullptr;
  link_.SetSource(nullptr);
  DestroyComponents();
}

int32_t TCustomHyGrid::ColWidths(int32_t col) const {
  return col >= 0 && col < ColCount() ? colWidths_[col] : 0;
}

int32_t TCustomHyGrid::RowHeights(int32_t row) const {
  return row >= 0 && row < RowCount() ? rowHeights_[row] : 0;
}

void TCustomHyGrid::SetColWidths(int32_t col, int32_t width) {
  if (col < 0 || col >= ColCount()) return;
  colWidths_[col] = std::max(width, 0);
  ShapeChanged();
}

void TCustomHyGrid::SetRowHeights(int32_t row, int32_t height) {
  if (row < 0 || row >= RowCount()) return;
  rowHeights_[row] = std::max(height, 0);
  ShapeChanged();
}

void TCustomHyGrid::SetDecisionSource(THySource* source) {
  if (source == link_.Source() && source == watchedSource_) return;
  if (watchedSource_) watchedSource_->RemoveFreeNotification(this);
  watchedSource_ = source;
  texts_->Clear();
  if (source) source->FreeNotification(this);
  link_.SetSource(source);
}

void TCustomHyGrid::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == watchedSource_) {
    watchedSource_ = nullptr;
    link_.SetSource(nullptr);
  }
}

void TCustomHyGrid::SetOptions(TDecisionGridOptions options) {
  options &= kDefaultGridOptions;
  if (options == options_) return;
  options_ = options;
  Layout();
  Invalidate();
}

void TCustomHyGrid::SetDefaultColWidth(int32_t width) {
  width = std::max(width, 0);
  if (width == defaultColWidth_) return;
  defaultColWidth_ = width;
  if (!populated_) std::fill(colWidths_.begin(), colWidths_.end(), width);
  Layout();
}

void TCustomHyGrid::SetDefaultRowHeight(int32_t height) {
  height = std::max(height, 0);
  if (height == defaultRowHeight_) return;
  defaultRowHeight_ = height;
  if (!populated_) std::fill(rowHeights_.begin(), rowHeights_.end(), height);
  Layout();
}

void TCustomHyGrid::SetColorField(TColor& field, TColor value) {
  if (field == value) return;
  field = value;
  Invalidate();
}

void TCustomHyGrid::SetGridLineWidth(int32_t width) {
  width = std::max(width, 0);
  if (width == gridLineWidth_) return;
  gridLineWidth_ = width;
  Invalidate();
}

void TCustomHyGrid::SetDefaultDrawing(bool value) {
  if (value == defaultDrawing_) return;
  defaultDrawing_ = value;
  Invalidate();
}

void TCustomHyGrid::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Invalidate();
}

bool TCustomHyGrid::Totals() const {
  for (int32_t i = 0; i < dimensions_.Count(); ++i)
    if (dimensions_[i]->Subtotals()) return true;
  return false;
}

void TCustomHyGrid::SetTotals(bool value) {
  const bool was = dimensions_.Updating();
  {
    const auto quiet = dimensions_.QuietScope();
    for (int32_t i = 0; i < dimensions_.Count(); ++i) dimensions_[i]->SetSubtotals(value);
  }
  if (!was && !IsLoading()) SyncDimensions();
}

bool TCustomHyGrid::IsActiveSource() const {
  const THySource* source = DecisionSource();
  return source && source->IsActive();
}

int32_t TCustomHyGrid::DimAtLevel(TDimAxis axis, int32_t level) const {
  const THySource* source = DecisionSource();
  if (!source) return -1;
  const TDimInfoList& list = source->AxisList(axis);
  const int32_t pos = list.PositionOfActive(level);
  return pos < 0 ? -1 : list[pos]->DimIndex;
}

TDisplayDim* TCustomHyGrid::SummaryDisplayDim() const {
  const THySource* source = DecisionSource();
  if (!source) return nullptr;
  return dimensions_.Items(source->DimensionCount() + source->CurrentSummary());
}

int32_t TCustomHyGrid::MeasureText(const TFont& font, const std::string& text) const {
  if (measure_) return measure_(font, text);
  // Metrics need a graphical application object, even without a window.
  EnsureGuiApplication();
  return TextWidth(font, text);
}

void TCustomHyGrid::Invalidate() {
  if (view_) view_->ModelInvalidate();
}

void TCustomHyGrid::InvalidateCell(int32_t x, int32_t y) {
  if (view_) view_->ModelInvalidateCell(x + fixedCols_, y + fixedRows_);
}

void TCustomHyGrid::ShapeChanged() {
  if (view_) view_->ModelShapeChanged();
}

void TCustomHyGrid::LayoutChanged() {
  if (view_) view_->ModelLayoutChanged();
}

void TCustomHyGrid::DataEvent(TDecisionDataEvent event) {
  if (IsDestroying()) return;
  texts_->Clear();
  switch (event) {
    case TDecisionDataEvent::StateChanged:
    case TDecisionDataEvent::NewDimensions:
    case TDecisionDataEvent::SourceChanged: SyncDimensions(); break;
    case TDecisionDataEvent::SummaryChanged: Invalidate(); break;
    case TDecisionDataEvent::PivotChanged: Layout(); break;
  }
}

void TCustomHyGrid::DisplayDimChanged(TDisplayDimChange kind) {
  texts_->Clear();
  switch (kind) {
    case TDisplayDimChange::DisplayName:
    case TDisplayDimChange::Alignment:
    case TDisplayDimChange::Color:
    case TDisplayDimChange::Width:
      Layout();
      Invalidate();
      break;
    case TDisplayDimChange::Format:
    case TDisplayDimChange::Subtotals: SyncDimensions(); break;
    case TDisplayDimChange::FieldName: break;
  }
}

void TCustomHyGrid::Loaded() {
  TComponent::Loaded();
  SyncDimensions();
}

void TCustomHyGrid::SyncDimensions() {
  THySource* source = DecisionSource();
  if (source) {
    const auto quiet = dimensions_.QuietScope();
    const int32_t dims = source->DimensionCount();
    const int32_t sums = source->SummaryCount();
    if (dimensions_.Count() != dims + sums) {
      dimensions_.Clear();
      for (int32_t i = 0; i < dims + sums; ++i) dimensions_.Add();
    }
    // Map widths count characters; half the width of "W0" stands for one.
    int32_t charWidth = -1;
    for (int32_t i = 0; i < dims + sums; ++i) {
      TDisplayDim& dd = *dimensions_[i];
      const bool isDim = i < dims;
      const std::string caption =
          isDim ? source->GetDimensionCaption(i) : source->GetSummaryCaption(i - dims);
      if (source->IsActive() && dd.FieldName() != caption) dd.SetFieldName(caption);
      const TCommonDimItem* object =
          isDim ? static_cast<const TCommonDimItem*>(source->GetDimension(i))
                : source->GetSummary(i - dims);
      if (!object || !object->MapItem()) continue;
      dd.SetAlignment(object->MapItem()->Alignment());
      if (charWidth < 0) charWidth = MeasureText(font_, "W0") / 2;
      dd.SetWidth(object->MapItem()->Width() * charWidth);
    }
  }
  Layout();
}

void TCustomHyGrid::ResetEmpty() {
  fixedCols_ = fixedRows_ = 0;
  colWidths_.assign(1, defaultColWidth_);
  rowHeights_.assign(1, defaultRowHeight_);
  populated_ = false;
  outlinerCols_ = captionRows_ = colLevels_ = rowLevels_ = 0;
  rowListCount_ = colListCount_ = 0;
  dragging_ = 0;
}

void TCustomHyGrid::Layout() {
  if (IsDestroying()) return;
  texts_->Clear();
  const THySource* source = DecisionSource();
  if (!IsActiveSource()) {
    if (populated_) {
      ResetEmpty();
      LayoutChanged();
      Invalidate();
    }
    return;
  }
  const TPivotState& state = source->State();
  colLevels_ = state.ColList.ActiveCount();
  rowLevels_ = state.RowList.ActiveCount();
  colListCount_ = state.ColList.Count();
  rowListCount_ = state.RowList.Count();
  outlinerCols_ = HasOption(cgOutliner) ? 1 : 0;
  captionRows_ = colLevels_ == 0 && colListCount_ > 0 ? 2 : 1;

  const int32_t dataRows = source->RowCount();
  const int32_t dataCols = source->ColCount();
  fixedCols_ = dataRows >= 1 ? rowLevels_ + outlinerCols_ : 0;
  fixedRows_ = dataCols >= 1 ? colLevels_ + captionRows_ : 0;
  populated_ = true;
  dragging_ = 0;

  {
    const TValueScope<bool> sizing(inLayout_, true);
    colWidths_.assign(dataCols + rowLevels_ + outlinerCols_, defaultColWidth_);
    rowHeights_.assign(dataRows + colLevels_ + captionRows_, defaultRowHeight_);
    if (outlinerCols_) colWidths_[0] = kOutlinerWidth;
    for (int32_t level = 0; level < rowLevels_; ++level) {
      const TDisplayDim* dd = DisplayDimOf(DimAtLevel(TDimAxis::Rows, level));
      if (dd) colWidths_[outlinerCols_ + level] = std::max(dd->Width(), 0);
    }
    // A level whose subtotals are off hides the positions where its own
    // subtotal starts; deeper levels are -1 there too but start no group.
    auto hideSubtotals = [&](TDimAxis axis, int32_t levels, int32_t count,
                             std::vector<int32_t>& sizes, int32_t first) {
      for (int32_t level = 0; level < levels; ++level) {
        const TDisplayDim* dd = DisplayDimOf(DimAtLevel(axis, level));
        if (!dd || dd->Subtotals()) continue;
        for (int32_t pos = 0; pos < count; ++pos) {
          bool isSum = false, groupStart = false;
          source->GetHeaderValue(axis, level, pos, isSum, groupStart);
          if (isSum && groupStart) sizes[first + pos] = 0;
        }
      }
    };
    hideSubtotals(TDimAxis::Rows, rowLevels_, dataRows, rowHeights_, fixedRows_);
    dataWidth_ = defaultColWidth_;
    for (int32_t level = 0; level < colLevels_; ++level)
      if (const TDisplayDim* dd = DisplayDimOf(DimAtLevel(TDimAxis::Cols, level)))
        dataWidth_ = std::max(dataWidth_, dd->Width());
    std::fill(colWidths_.begin() + fixedCols_, colWidths_.end(), dataWidth_);
    hideSubtotals(TDimAxis::Cols, colLevels_, dataCols, colWidths_, fixedCols_);
  }
  LayoutChanged();
  Invalidate();
}

}  // namespace hy
