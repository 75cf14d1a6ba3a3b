// THySource: cube registration, the data state, matching the pivot state
// against the cube, the pivot itself and the notifications.
#include <algorithm>

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"

namespace hy {

THySource::THySource(TComponent* owner) : TComponent(owner) {}

THySource::~THySource() {
  Destroying();
  onStateChange_ = nullptr;
  SetDecisionCube(nullptr);
  for (TDecisionDataLink* link : links_) link->source_ = nullptr;
  links_.clear();
}

void THySource::SetDecisionCube(THyCube* cube) {
  if (cube == decisionCube_) return;
  if (decisionCube_) decisionCube_->RemoveDataSource(this);
  // A cube that did not know this source leaves the reference to us.
  if (decisionCube_) {
    decisionCube_ = nullptr;
    CubeReferenceChanged();
  }
  if (cube) cube->AddDataSource(this);
}

void THySource::CubeReferenceChanged() {
  SetDataState(decisionCube_ ? decisionCube_->DataState() : dsNoData);
}

void THySource::CubeChanged(uint8_t event) {
  if (inCubeNotify_) return;
  TValueScope<bool> busy(inCubeNotify_, true);
  if (event == 0) {
    SetDataState(decisionCube_ ? decisionCube_->DataState() : dsNoData);
  } else if (event <= static_cast<uint8_t>(TDecisionDataEvent::SourceChanged)) {
    NotifyLinks(static_cast<TDecisionDataEvent>(event));
  }
}

void THySource::SetDataState(TCubeDataState state) {
  if (state == dataState_) return;
  dataState_ = state;
  if (state != dsNoData) {
    Synchronise();
    state_.RebuildLists();
  }
  // Also on dsNoData: the axes of a closed cube must not outlive it.
  Pivot();
  NotifyLinks(TDecisionDataEvent::StateChanged);
  if (!IsDestroying()) FireEvent(onStateChange_);
}

void THySource::Synchronise() {
  THyCube* cube = decisionCube_;
  const int32_t count = cube->GetDimensionCount();
  state_.DimensionCount = count;
  state_.SummaryCount = cube->GetSummaryCount();
  if (state_.CurrentSummary < 0 || state_.SummaryCount <= state_.CurrentSummary)
    state_.CurrentSummary = 0;

  state_.RowList.Clear();
  state_.ColList.Clear();
  std::vector<TDimInfo> previous = std::move(state_.Infos.Items());
  std::vector<TDimInfo>& infos = state_.Infos.Items();
  infos.assign(count, TDimInfo{});
  for (int32_t d = 0; d < count; ++d) {
    TDimension* dim = cube->Dimensions(d);
    infos[d].DimIndex = d;
    infos[d].Name = dim && dim->MapItem() ? dim->MapItem()->Name() : std::string();
  }

  // Slots per axis, DimensionCount wide; a stored position that is out of
  // range or taken moves to the next free slot behind it.
  std::vector<TDimInfo*> rows(count, nullptr), cols(count, nullptr);
  auto put = [](std::vector<TDimInfo*>& slots, TDimInfo* info, int32_t from) {
    size_t at = static_cast<size_t>(std::max(from, 0));
    while (at < slots.size() && slots[at]) ++at;
    if (at >= slots.size()) slots.resize(at + 1, nullptr);
    slots[at] = info;
  };

  bool hasOpenCol = false;
  for (TDimInfo& info : infos) {
    auto old = std::find_if(previous.begin(), previous.end(),
                            [&](const TDimInfo& p) { return p.Name == info.Name; });
    if (info.Name.empty() || old == previous.end()) continue;
    info.Axis = old->Axis;
    info.State = old->State;
    info.Value = old->Value;
    info.Position = old->Position;
    // A value the cube does not have (beyond its values, or "all values"
    // where one value is meant) cannot be shown: the item is Closed.
    if ((info.State == TDimState::Drilled || info.State == TDimState::Fixed) &&
        HasDimensionData()) {
      TDimension* dim = cube->Dimensions(info.DimIndex);
      if (!dim || info.Value < 0 || info.Value >= dim->GetValueCount()) {
        info.State = TDimState::Closed;
        info.Value = -1;
      }
    }
    if (info.Axis == TDimAxis::Rows) put(rows, &info, info.Position);
    if (info.Axis == TDimAxis::Cols) put(cols, &info, info.Position);
    if (info.Axis == TDimAxis::Cols && info.State == TDimState::Open) hasOpenCol = true;
  }

  for (TDimInfo& info : infos) {
    if (info.Axis == TDimAxis::Rows || info.Axis == TDimAxis::Cols) continue;
    if (hasOpenCol) {
      info.Axis = TDimAxis::Rows;
      put(rows, &info, 0);
    } else {
      info.Axis = TDimAxis::Cols;
      info.State = TDimState::Open;
      put(cols, &info, 0);
      hasOpenCol = true;
    }
  }

  auto compact = [](std::vector<TDimInfo*>& slots) {
    slots.erase(std::remove(slots.begin(), slots.end(), nullptr), slots.end());
  };
  compact(rows);
  compact(cols);

  bool first = true;
  for (TDimInfo* info : rows) {
    if (info->State == TDimState::Open) {
      first = false;
    } else if (info->State == TDimState::Unplaced) {
      info->State = first ? TDimState::Open : TDimState::Closed;
      first = false;
    }
  }
  for (size_t i = 0; i < rows.size(); ++i) rows[i]->Position = static_cast<int32_t>(i);
  for (size_t i = 0; i < cols.size(); ++i) cols[i]->Position = static_cast<int32_t>(i);
  state_.RowSubtotals = true;
  state_.ColSubtotals = true;
  stateUnsynced_ = false;
}

void THySource::Pivot() {
  rowIndex_.clear();
  colIndex_.clear();
  rowCount_ = 1;
  colCount_ = 1;
  if (!IsActive() || !decisionCube_ || state_.DimensionCount <= 0 || state_.SummaryCount <= 0)
    return;
  if (state_.CurrentSummary < 0 || state_.CurrentSummary >= state_.SummaryCount)
    state_.CurrentSummary = 0;
  decisionCube_->SetCurrentSummary(state_.CurrentSummary);

  if (dataState_ == dsMetaData) {
    if (state_.ColList.ActiveCount() > 0) colCount_ = state_.ColList.ActiveCount();
    return;
  }
  if (!HasDimensionData()) return;

  std::vector<int32_t> rowActive(state_.RowList.ActiveCount(), -1);
  std::vector<int32_t> colActive(state_.ColList.ActiveCount(), -1);
  for (const TDimInfo& info : state_.Infos.Items()) {
    if (info.State != TDimState::Open) continue;
    if (info.Axis == TDimAxis::Rows) {
      HyAssert(info.ActiveIndex >= 0 && info.ActiveIndex < static_cast<int32_t>(rowActive.size()),
               "HyDB", "Error is active rows");
      rowActive[info.ActiveIndex] = info.DimIndex;
    } else if (info.Axis == TDimAxis::Cols) {
      HyAssert(info.ActiveIndex >= 0 && info.ActiveIndex < static_cast<int32_t>(colActive.size()),
               "HyDB", "Error is active cols");
      colActive[info.ActiveIndex] = info.DimIndex;
    }
  }
  HyAssert(std::find(rowActive.begin(), rowActive.end(), -1) == rowActive.end(), "HyDB",
           "Error is active rows");
  HyAssert(std::find(colActive.begin(), colActive.end(), -1) == colActive.end(), "HyDB",
           "Error is active cols");

  BuildAxis(TDimAxis::Rows, rowActive);
  BuildAxis(TDimAxis::Cols, colActive);
}

void THySource::BuildAxis(TDimAxis axis, const std::vector<int32_t>& active) {
  const bool rows = axis == TDimAxis::Rows;
  const bool sparse = rows ? state_.SparseRows : state_.SparseCols;
  decisionCube_->SetSuppressEmpty(dataState_ == dsAllData && !sparse);
  TCoords selector(state_.DimensionCount, -1);
  for (const TDimInfo& info : state_.Infos.Items()) {
    if (info.State == TDimState::Drilled)
      selector[info.DimIndex] = static_cast<int16_t>(info.Value);
  }
  TAxisEntries& entries = rows ? rowIndex_ : colIndex_;
  const int32_t count = decisionCube_->BuildAxisIndex(
      active, entries, rows ? state_.RowSubtotals : state_.ColSubtotals, selector);
  if (active.empty()) entries.clear();
  // The cube sizes the index for every combination; keep what is used.
  for (std::vector<int16_t>& level : entries) level.resize(count);
  (rows ? rowCount_ : colCount_) = count;
}

void THySource::EndUpdate(TDecisionDataEvent event) {
  state_.RebuildLists();
  if (state_.CurrentSummary >= state_.SummaryCount) state_.CurrentSummary = 0;
  if (updateCount_ >= 2) {
    --updateCount_;
    return;
  }
  {
    // A failed pivot must not leave the source deaf to later requests.
    auto outermost = ScopeExit([this] { updateCount_ = 0; });
    if (onBeforePivot_) {
      onBeforePivot_(*this);
      state_.RebuildLists();
    }
    Pivot();
  }
  NotifyLinks(event);
  FireEvent(onAfterPivot_);
}

void THySource::NotifyLinks(TDecisionDataEvent event) {
  if (updateCount_ > 0) return;
  // A link may leave while being told.
  const std::vector<TDecisionDataLink*> order = links_;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if (std::find(links_.begin(), links_.end(), *it) != links_.end()) (*it)->DataEvent(event);
  }
  switch (event) {
    case TDecisionDataEvent::SummaryChanged: FireEvent(onSummaryChange_); break;
    case TDecisionDataEvent::PivotChanged: FireEvent(onLayoutChange_); break;
    case TDecisionDataEvent::NewDimensions: FireEvent(onNewDimensions_); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------
// Stored properties

void THySource::SetDimensionCount(int32_t value) {
  if (!IsLoading()) return;  // follows the cube otherwise
  if (value < 0) throw EPivotStateError(Format("Invalid pivot state: dimension count %d", value));
  loadedState_.DimensionCount = value;
  loadedPending_ = true;
}

void THySource::SetSummaryCount(int32_t value) {
  if (!IsLoading()) return;
  if (value < 0) throw EPivotStateError(Format("Invalid pivot state: summary count %d", value));
  loadedState_.SummaryCount = value;
  loadedPending_ = true;
}

void THySource::SetCurrentSummary(int32_t index) {
  if (IsLoading()) {
    loadedState_.CurrentSummary = index < 0 ? 0 : index;
    loadedPending_ = true;
    return;
  }
  if (!decisionCube_ || index < 0 || index >= decisionCube_->GetSummaryCount()) return;
  state_.CurrentSummary = index;
  decisionCube_->SetCurrentSummary(index);
}

void THySource::SetSparseRows(bool value) {
  if (IsLoading()) {
    loadedState_.SparseRows = value;
    loadedPending_ = true;
    return;
  }
  if (value == state_.SparseRows || !IsActive()) return;
  TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
  state_.SparseRows = value;
}

void THySource::SetSparseCols(bool value) {
  if (IsLoading()) {
    loadedState_.SparseCols = value;
    loadedPending_ = true;
    return;
  }
  if (value == state_.SparseCols || !IsActive()) return;
  TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
  state_.SparseCols = value;
}

void THySource::SetDimensionInfo(std::string_view text) {
  if (IsLoading()) {
    // Parsed completely before anything is replaced.
    TDimInfoArray infos = ReadPivotStateText(text, loadedState_.DimensionCount);
    loadedState_.Infos = std::move(infos);
    state_.Assign(loadedState_);
    loadedState_.Infos.SetCount(0);
    loadedPending_ = false;
    stateUnsynced_ = true;
    return;
  }
  TDimInfoArray infos = ReadPivotStateText(text, -1);
  TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
  state_.RowList.Clear();
  state_.ColList.Clear();
  state_.Infos = std::move(infos);
  state_.DimensionCount = state_.Infos.Count();
  stateUnsynced_ = true;
  if (IsActive() && decisionCube_) Synchronise();
}

void THySource::Loaded() {
  TComponent::Loaded();
  if (loadedPending_) {
    // Settings without a stored DimensionInfo still count.
    state_.CurrentSummary = loadedState_.CurrentSummary;
    state_.SparseRows = loadedState_.SparseRows;
    state_.SparseCols = loadedState_.SparseCols;
    loadedPending_ = false;
  }
  state_.RowSubtotals = true;
  state_.ColSubtotals = true;
  // The cube opened before the stored state arrived: match it now.
  if (stateUnsynced_ && IsActive() && decisionCube_) {
    TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
    Synchronise();
  }
}

// ---------------------------------------------------------------------------
// Links

void THySource::AddLink(TDecisionDataLink* link) {
  if (!link) return;
  if (link->source_ && link->source_ != this) link->source_->RemoveLink(link);
  if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
  link->source_ = this;
}

void THySource::RemoveLink(TDecisionDataLink* link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) return;
  links_.erase(it);
  link->source_ = nullptr;
}

TDecisionDataLink::~TDecisionDataLink() {
  if (source_) source_->RemoveLink(this);
}

void TDecisionDataLink::SetSource(THySource* source) {
  if (source == source_) return;
  if (source_) source_->RemoveLink(this);
  if (source) source->AddLink(this);
  source_ = source;
  DataEvent(TDecisionDataEvent::SourceChanged);
}

void TDecisionDataLink::DataEvent(TDecisionDataEvent) {}

}  // namespace hy
