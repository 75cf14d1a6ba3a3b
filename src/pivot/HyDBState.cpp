#include <algorithm>

#include "common/StrUtils.h"
#include "pivot/HyDB.h"

namespace hy {

// ---------------------------------------------------------------------------
// TDimInfoList

TDimInfo* TDimInfoList::Items(int32_t index) const {
  if (index < 0 || index >= Count())
    throw EListError(Format("List index out of bounds (%d)", index));
  return items_[index];
}

int32_t TDimInfoList::PositionOfActive(int32_t n) const {
  if (n < 0) return -1;
  for (int32_t i = 0; i < Count(); ++i) {
    if (items_[i]->State == TDimState::Open && n-- == 0) return i;
  }
  return -1;
}

void TDimInfoList::Clear() {
  items_.clear();
  activeCount_ = 0;
}

void TDimInfoList::Insert(int32_t index, TDimInfo* item) {
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  Renumber();
}

void TDimInfoList::Remove(int32_t index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
  Renumber();
}

void TDimInfoList::Renumber() {
  activeCount_ = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    TDimInfo* item = items_[i];
    item->Position = i;
    item->ActiveIndex = item->State == TDimState::Open ? activeCount_++ : -1;
  }
}

void TDimInfoList::Rebuild(std::vector<TDimInfo>& infos, TDimAxis axis) {
  items_.clear();
  for (TDimInfo& info : infos) {
    if (info.Axis == axis) items_.push_back(&info);
  }
  // A stored state may carry gaps or duplicate positions; order still holds.
  std::stable_sort(items_.begin(), items_.end(),
                   [](const TDimInfo* a, const TDimInfo* b) { return a->Position < b->Position; });
  Renumber();
}

// ---------------------------------------------------------------------------
// TDimInfoArray

TDimInfo& TDimInfoArray::operator[](int32_t index) {
  if (index < 0 || index >= Count()) throw EArrayError("Out of Bounds");
  return items_[index];
}

const TDimInfo& TDimInfoArray::operator[](int32_t index) const {
  if (index < 0 || index >= Count()) throw EArrayError("Out of Bounds");
  return items_[index];
}

// ---------------------------------------------------------------------------
// TPivotState

TDimInfoList& TPivotState::List(TDimAxis axis) {
  return axis == TDimAxis::Cols ? ColList : RowList;
}

const TDimInfoList& TPivotState::List(TDimAxis axis) const {
  return axis == TDimAxis::Cols ? ColList : RowList;
}

void TPivotState::RebuildLists() {
  RowList.Rebuild(Infos.Items(), TDimAxis::Rows);
  ColList.Rebuild(Infos.Items(), TDimAxis::Cols);
}

void TPivotState::Assign(const TPivotState& source) {
  // The lists point into Infos: drop them before Infos moves.
  RowList.Clear();
  ColList.Clear();
  DimensionCount = source.DimensionCount;
  SummaryCount = source.SummaryCount;
  CurrentSummary = source.CurrentSummary;
  SparseRows = source.SparseRows;
  SparseCols = source.SparseCols;
  RowSubtotals = true;
  ColSubtotals = true;
  Infos.Items() = source.Infos.Items();
  RebuildLists();
}

}  // namespace hy
