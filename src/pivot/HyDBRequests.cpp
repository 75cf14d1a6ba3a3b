// THySource: the pivot requests of the controls. Each change runs between
// BeginUpdate and EndUpdate(PivotChanged), so it pivots and notifies once
// unless the caller brackets several requests.
#include <algorithm>

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"

namespace hy {

namespace {

void CheckAxis(TDimAxis axis) {
  if (axis != TDimAxis::Rows && axis != TDimAxis::Cols)
    throw EListError(Format("Invalid axis %d", static_cast<int>(axis)));
}

[[noreturn]] void NoItem(int32_t pos) {
  throw EListError(Format("List index out of bounds (%d)", pos));
}

}  // namespace

int32_t THySource::ListPosition(TDimAxis axis, int32_t pos, bool byActive) const {
  CheckAxis(axis);
  const TDimInfoList& list = state_.List(axis);
  if (byActive) return list.PositionOfActive(pos);
  return pos >= 0 && pos < list.Count() ? pos : -1;
}

TDimInfo* THySource::ItemAt(TDimAxis axis, int32_t pos, bool byActive) {
  const int32_t at = ListPosition(axis, pos, byActive);
  if (at < 0) NoItem(pos);
  return state_.List(axis)[at];
}

namespace {

// Where a scan "after pos" starts: a list position, -1 for the beginning.
int32_t ScanStart(const TDimInfoList& list, int32_t pos, bool byActive) {
  if (!byActive || pos < 0) return pos;
  const int32_t at = list.PositionOfActive(pos);
  // Past the open items: after the last of them.
  return at >= 0 ? at : list.PositionOfActive(list.ActiveCount() - 1);
}

}  // namespace

void THySource::OpenNext(TDimAxis axis, int32_t pos, bool byActive) {
  CheckAxis(axis);
  const TDimInfoList& list = state_.List(axis);
  for (int32_t i = std::max(ScanStart(list, pos, byActive) + 1, 0); i < list.Count(); ++i) {
    if (list[i]->State != TDimState::Closed) continue;
    TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
    list[i]->State = TDimState::Open;
    return;
  }
}

void THySource::CloseAfter(TDimAxis axis, int32_t pos, bool byActive) {
  CheckAxis(axis);
  const TDimInfoList& list = state_.List(axis);
  // The list keeps its order through each rebuild; only states change.
  for (int32_t i = std::max(ScanStart(list, pos, byActive) + 1, 0); i < list.Count(); ++i) {
    if (list[i]->State != TDimState::Open) continue;
    TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
    list[i]->State = TDimState::Closed;
  }
}

void THySource::ToggleDimension(TDimAxis axis, int32_t pos, bool byActive) {
  TDimInfo* item = ItemAt(axis, pos, byActive);
  if (item->State == TDimState::Fixed) return;
  TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
  if (item->State == TDimState::Open) {
    item->State = TDimState::Closed;
  } else {
    item->State = TDimState::Open;
    item->Value = -1;
  }
}

void THySource::SelectValue(int32_t dimIndex, int32_t valueIndex) {
  TDimInfo& info = state_.Infos[dimIndex];
  const TDimension* dim = HasDimensionData() ? GetDimension(dimIndex) : nullptr;
  const int32_t count = dim ? dim->GetValueCount() : 0;
  HyAssert(valueIndex >= 0 && valueIndex < count, "HyDB", "Illegal value selected");
  if (info.State == TDimState::Fixed) return;
  TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
  info.Value = valueIndex;
  info.State = TDimState::Drilled;
}

void THySource::SelectValueAt(TDimAxis axis, int32_t pos, bool byActive, int32_t valueIndex) {
  SelectValue(ItemAt(axis, pos, byActive)->DimIndex, valueIndex);
}

void THySource::MoveDimension(TDimAxis fromAxis, TDimAxis toAxis, bool byActive, int32_t toPos,
                              int32_t fromPos) {
  if (fromAxis == toAxis && fromPos == toPos) return;
  CheckAxis(toAxis);
  TDimInfo* item = ItemAt(fromAxis, fromPos, byActive);
  TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
  state_.List(fromAxis).Remove(item->Position);
  item->Axis = toAxis;
  TDimInfoList& target = state_.List(toAxis);
  int32_t at = target.Count();
  if (toPos >= 0) {
    if (byActive) {
      const int32_t open = target.PositionOfActive(toPos);
      if (open >= 0) at = open;
    } else {
      at = std::min(toPos, target.Count());
    }
  }
  target.Insert(at, item);
}

void THySource::SwapDimensions(TDimAxis axisA, TDimAxis axisB, bool byActive, int32_t posB,
                               int32_t posA) {
  if (axisA == axisB && posA == posB) return;
  TDimInfo* a = ItemAt(axisA, posA, byActive);
  TDimInfo* b = ItemAt(axisB, posB, byActive);
  if (a == b) return;
  const int32_t listA = a->Position;
  const int32_t listB = b->Position;
  TUpdateScope update(*this, TDecisionDataEvent::PivotChanged);
  a->Axis = axisB;
  a->Position = listB;
  b->Axis = axisA;
  b->Position = listA;
}

}  // namespace hy
