// THySource: what the controls ask of the pivot: cells, headers, groups,
// value captions and the cube's dimension and summary objects.
#include <algorithm>

#include "pivot/HyDB.h"

namespace hy {

namespace {

// Index[level][pos], or -1 where the index has no such entry.
int16_t Entry(const TAxisEntries& index, int32_t level, int32_t pos) {
  if (level < 0 || pos < 0 || level >= static_cast<int32_t>(index.size())) return -1;
  const std::vector<int16_t>& entries = index[level];
  return pos < static_cast<int32_t>(entries.size()) ? entries[pos] : int16_t{-1};
}

[[noreturn]] void OutOfBounds() { throw EArrayError("Out of Bounds"); }

// The made-up shape of an axis without data: 2, 3, 4, 3, 2 values by list
// position, so a layout can be judged before the cube is open. n[l] is the
// number of positions under one value of level l (n[levels] = 1).
std::vector<int64_t> PreviewSizes(const TDimInfoList& list, bool subtotals) {
  static constexpr int32_t kCounts[5] = {2, 3, 4, 3, 2};
  const int32_t levels = list.ActiveCount();
  std::vector<int64_t> n(levels + 1, 1);
  for (int32_t l = levels - 1; l >= 0; --l) {
    const int32_t at = std::clamp(list.PositionOfActive(l), 0, 4);
    n[l] = kCounts[at] * n[l + 1] + (subtotals ? 1 : 0);
  }
  return n;
}

}  // namespace

const TAxisEntries& THySource::Index(TDimAxis axis) const {
  return axis == TDimAxis::Cols ? colIndex_ : rowIndex_;
}

int32_t THySource::AxisCount(TDimAxis axis) const {
  if (!HasDimensionData()) {
    const bool subtotals = axis == TDimAxis::Cols ? state_.ColSubtotals : state_.RowSubtotals;
    return static_cast<int32_t>(PreviewSizes(state_.List(axis), subtotals)[0]);
  }
  return axis == TDimAxis::Cols ? colCount_ : rowCount_;
}

TCoords THySource::CellCoords(int32_t row, int32_t col, int32_t* sumLevels) const {
  TCoords coords;
  CellCoordsInto(row, col, coords, sumLevels);
  return coords;
}

void THySource::CellCoordsInto(int32_t row, int32_t col, TCoords& coords,
                               int32_t* sumLevels) const {
  coords.assign(state_.Infos.Count(), -1);
  int32_t sums = 0;
  for (const TDimInfo& info : state_.Infos.Items()) {
    int16_t v = -1;
    switch (info.State) {
      case TDimState::Open:
        if (info.Axis == TDimAxis::Rows) v = Entry(rowIndex_, info.ActiveIndex, row);
        if (info.Axis == TDimAxis::Cols) v = Entry(colIndex_, info.ActiveIndex, col);
        if (v < 0) ++sums;
        break;
      case TDimState::Drilled:
      case TDimState::Fixed: v = static_cast<int16_t>(info.Value); break;
      default: break;
    }
    coords[info.DimIndex] = v;
  }
  if (sumLevels) *sumLevels = sums;
}

std::string THySource::GetCellText(int32_t row, int32_t col, int32_t* sumLevels) const {
  if (sumLevels) *sumLevels = 0;
  if (dataState_ != dsAllData || !decisionCube_ || state_.SummaryCount <= 0) return std::string();
  if (row < 0 || row >= rowCount_ || col < 0 || col >= colCount_) return std::string();
  return decisionCube_->GetSummaryAsString(CellCoords(row, col, sumLevels));
}

Variant THySource::GetCellValue(int32_t row, int32_t col, int32_t* sumLevels) const {
  if (sumLevels) *sumLevels = 0;
  if (dataState_ != dsAllData || !decisionCube_ || state_.SummaryCount <= 0)
    return Variant(std::string());
  if (row < 0 || row >= rowCount_ || col < 0 || col >= colCount_) return Variant(std::string());
  return decisionCube_->GetSummaryValue(CellCoords(row, col, sumLevels));
}

int16_t THySource::GetHeaderValue(TDimAxis axis, int32_t level, int32_t pos, bool& isSum,
                                  bool& isGroupStart) const {
  if (!HasDimensionData()) return PreviewHeaderValue(axis, level, pos, isSum, isGroupStart);
  const TAxisEntries& index = Index(axis);
  if (level < 0 || level >= static_cast<int32_t>(index.size()) || pos < 0 || pos >= AxisCount(axis))
    OutOfBounds();
  const int16_t v = index[level][pos];
  isSum = v < 0;
  isGroupStart = pos == 0 || v != index[level][pos - 1];
  return v;
}

int16_t THySource::PreviewHeaderValue(TDimAxis axis, int32_t level, int32_t pos, bool& isSum,
                                      bool& isGroupStart) const {
  const TDimInfoList& list = state_.List(axis);
  if (level < 0 || level >= list.ActiveCount() || pos < 0) OutOfBounds();
  const bool subtotals = axis == TDimAxis::Cols ? state_.ColSubtotals : state_.RowSubtotals;
  const std::vector<int64_t> n = PreviewSizes(list, subtotals);
  int64_t p = pos;
  for (int32_t i = 0; i <= level; ++i) {
    p %= n[i];
    if (subtotals && p == n[i] - 1) {
      isSum = true;
      isGroupStart = i == level;
      return -1;
    }
  }
  isSum = false;
  isGroupStart = p % n[level + 1] == 0;
  return static_cast<int16_t>(p / n[level + 1]);
}

void THySource::GetGroupRange(TDimAxis axis, int32_t level, int32_t pos, int32_t& first,
                              int32_t& last) const {
  const int32_t count = AxisCount(axis);
  bool isSum = false, isStart = false;
  first = 0;
  for (int32_t p = pos; p >= 0; --p) {
    GetHeaderValue(axis, level, p, isSum, isStart);
    if (isStart) {
      first = p;
      break;
    }
  }
  last = count - 1;
  for (int32_t p = pos + 1; p < count; ++p) {
    GetHeaderValue(axis, level, p, isSum, isStart);
    if (isStart) {
      last = p - 1;
      break;
    }
  }
}

bool THySource::GetValueArray(int32_t col, int32_t row, TValueArray& values) const {
  values.Clear();
  for (const TDimInfo& info : state_.Infos.Items()) {
    int16_t v = -1;
    if (info.State == TDimState::Drilled || info.State == TDimState::Fixed) {
      v = static_cast<int16_t>(info.Value);
    } else if (info.State == TDimState::Open && info.Axis == TDimAxis::Rows) {
      v = Entry(rowIndex_, info.ActiveIndex, row);
    } else if (info.State == TDimState::Open && info.Axis == TDimAxis::Cols) {
      v = Entry(colIndex_, info.ActiveIndex, col);
    }
    values.AddItem(v);
  }
  return true;
}

int32_t THySource::GetNeighbourFlags(int32_t dimIndex) const {
  const TDimInfo& info = state_.Infos[dimIndex];
  if (info.Axis != TDimAxis::Rows && info.Axis != TDimAxis::Cols) return 0;
  const TDimInfoList& list = state_.List(info.Axis);
  for (int32_t i = info.Position + 1; i < list.Count(); ++i) {
    const TDimState s = list[i]->State;
    if (s == TDimState::Drilled || s == TDimState::Fixed || s == TDimState::Unplaced) continue;
    return s == TDimState::Open ? 1 : 4;
  }
  return 0;
}

std::string THySource::GetValueText(int32_t dimIndex, int32_t valueIndex) const {
  const TDimension* dim = HasDimensionData() ? GetDimension(dimIndex) : nullptr;
  if (!dim || valueIndex < 0 || valueIndex >= dim->GetValueCount()) return std::string();
  return decisionCube_->GetDimensionValueCaption(dimIndex, valueIndex);
}

Variant THySource::GetValueVariant(int32_t dimIndex, int32_t valueIndex) const {
  const TDimension* dim = HasDimensionData() ? GetDimension(dimIndex) : nullptr;
  if (!dim || valueIndex < 0 || valueIndex >= dim->GetValueCount()) return Variant();
  return dim->GetValue(valueIndex);
}

std::string THySource::GetDimensionCaption(int32_t dimIndex) const {
  const TDimension* dim = GetDimension(dimIndex);
  return dim ? dim->GetCaption() : std::string();
}

std::string THySource::GetSummaryCaption(int32_t index) const {
  const TAbstractSummary* summary = GetSummary(index);
  return summary ? summary->GetCaption() : std::string();
}

TDimension* THySource::GetDimension(int32_t dimIndex) const {
  if (!IsActive() || !decisionCube_ || dimIndex < 0 ||
      dimIndex >= decisionCube_->GetDimensionCount())
    return nullptr;
  return decisionCube_->Dimensions(dimIndex);
}

TAbstractSummary* THySource::GetSummary(int32_t index) const {
  if (!IsActive() || !decisionCube_ || index < 0 || index >= decisionCube_->GetSummaryCount())
    return nullptr;
  return decisionCube_->Summaries(index);
}

}  // namespace hy
