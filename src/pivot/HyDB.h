// The decision source: the pivot state between a cube and the controls that
// show it. It keeps which dimensions lie on the rows and on the columns, in
// which order, which are open, closed or drilled to one value, and which
// summary is shown; it computes the axis indexes from that state, answers the
// controls' cell and header questions, applies their pivot requests and tells
// every linked control about changes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Component.h"
#include "common/Exceptions.h"
#include "common/Variant.h"
#include "cube/HyArrays.h"
#include "cube/HyCache.h"
#include "pivot/HyDBCube.h"

namespace hy {

class THySource;

// Stored pivot state text that cannot be read; the state stays as it was.
HY_DECLARE_EXCEPTION(EPivotStateError, Exception);

enum class TDimState : uint8_t { Closed = 0, Open = 1, Drilled = 2, Fixed = 3, Unplaced = 4 };
// 2 is never used.
enum class TDimAxis : uint8_t { Rows = 0, Cols = 1, NoAxis = 3 };

// Events from the cube and the source to the linked controls.
enum class TDecisionDataEvent : uint8_t {
  StateChanged = 0,
  SummaryChanged = 1,
  PivotChanged = 2,
  NewDimensions = 3,
  SourceChanged = 4,
};

enum TDecisionControlType { xtCheck, xtRadio, xtRadioEx };

// One value index per cube dimension, -1 for all values; kept in the order
// the entries are added.
class TValueArray : public TSmallIntArray {
public:
  TValueArray() {
    SetSortOrder(saUnsorted);
    SetDuplicates(dpAccept);
  }
};

// The pivot state of one cube dimension.
struct TDimInfo {
  TDimState State = TDimState::Unplaced;
  int32_t Value = -1;        // the selected value for Drilled and Fixed
  int32_t Position = 0;      // index in its axis list
  int32_t ActiveIndex = -1;  // rank among the open items of its axis list
  TDimAxis Axis = TDimAxis::NoAxis;
  std::string Name;      // the key for restoring against a changed cube
  int32_t DimIndex = 0;  // index in the cube and in Infos
};

// The dimensions of one axis, in axis order; the items live in Infos.
class TDimInfoList {
public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // EListError outside 0..Count-1.
  TDimInfo* Items(int32_t index) const;
  TDimInfo* operator[](int32_t index) const { return Items(index); }
  // The number of Open items.
  int32_t ActiveCount() const { return activeCount_; }
  // List position of the n-th Open item, or -1.
  int32_t PositionOfActive(int32_t n) const;
  const std::vector<TDimInfo*>& List() const { return items_; }

  void Clear();
  void Insert(int32_t index, TDimInfo* item);
  void Remove(int32_t index);
  // Positions from the list order; ranks of the open items.
  void Renumber();
  // The items of `axis` in Infos ordered by Position (ties by dimension),
  // renumbered.
  void Rebuild(std::vector<TDimInfo>& infos, TDimAxis axis);

private:
  std::vector<TDimInfo*> items_;
  int32_t activeCount_ = 0;
};

// One TDimInfo per cube dimension, indexed by dimension index.
class TDimInfoArray {
public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  void SetCount(int32_t count) { items_.assign(count < 0 ? 0 : count, TDimInfo{}); }
  // EArrayError "Out of Bounds" outside 0..Count-1.
  TDimInfo& operator[](int32_t index);
  const TDimInfo& operator[](int32_t index) const;
  std::vector<TDimInfo>& Items() { return items_; }
  const std::vector<TDimInfo>& Items() const { return items_; }

private:
  std::vector<TDimInfo> items_;
};

class TPivotState {
public:
  TPivotState() = default;
  TPivotState(const TPivotState&) = delete;
  TPivotState& operator=(const TPivotState&) = delete;

  int32_t DimensionCount = 0;
  int32_t SummaryCount = 0;
  int32_t CurrentSummary = 0;
  bool RowSubtotals = true;
  bool ColSubtotals = true;
  bool SparseRows = false;
  bool SparseCols = false;
  TDimInfoList RowList;
  TDimInfoList ColList;
  TDimInfoArray Infos;

  TDimInfoList& List(TDimAxis axis);
  const TDimInfoList& List(TDimAxis axis) const;
  // Both axis lists from Infos.
  void RebuildLists();
  // Counts, Infos, current summary and sparse flags; subtotals on; lists
  // rebuilt.
  void Assign(const TPivotState& source);
};

// The stored text of a pivot state: per dimension, in dimension order,
// "AxisCode ActiveIndex StateCode Position Value 'Name'" in parentheses.
std::string WritePivotStateText(const TDimInfoArray& infos);
// Reads `text`; `expectedCount` records exactly, or any whole number of
// records when it is negative. Raises EPivotStateError naming the fault.
TDimInfoArray ReadPivotStateText(std::string_view text, int32_t expectedCount);

// A control's connection to a decision source.
class TDecisionDataLink {
public:
  TDecisionDataLink() = default;
  virtual ~TDecisionDataLink();
  TDecisionDataLink(const TDecisionDataLink&) = delete;
  TDecisionDataLink& operator=(const TDecisionDataLink&) = delete;

  THySource* Source() const { return source_; }
  // Leaves the old source, joins the new one, then DataEvent(SourceChanged).
  void SetSource(THySource* source);
  bool Busy() const { return busy_; }
  void SetBusy(bool value) { busy_ = value; }

  virtual void DataEvent(TDecisionDataEvent event);

private:
  friend class THySource;
  THySource* source_ = nullptr;
  bool busy_ = false;
};

class THySource : public TComponent, public TCubeClient {
public:
  using TNotifyEvent = std::function<void(THySource& sender)>;

  explicit THySource(TComponent* owner = nullptr);
  ~THySource() override;

  // --- published
  THyCube* DecisionCube() const { return decisionCube_; }
  // Leaves the old cube (becoming inactive) and registers with the new one.
  void SetDecisionCube(THyCube* cube);
  TDecisionControlType ControlType() const { return controlType_; }
  void SetControlType(TDecisionControlType value) { controlType_ = value; }
  bool SparseRows() const { return state_.SparseRows; }
  bool SparseCols() const { return state_.SparseCols; }
  // Only a change on an active source pivots; nothing otherwise.
  void SetSparseRows(bool value);
  void SetSparseCols(bool value);
  void SetOnStateChange(TNotifyEvent e) { onStateChange_ = std::move(e); }
  void SetOnNewDimensions(TNotifyEvent e) { onNewDimensions_ = std::move(e); }
  void SetOnLayoutChange(TNotifyEvent e) { onLayoutChange_ = std::move(e); }
  void SetOnSummaryChange(TNotifyEvent e) { onSummaryChange_ = std::move(e); }
  void SetOnBeforePivot(TNotifyEvent e) { onBeforePivot_ = std::move(e); }
  void SetOnAfterPivot(TNotifyEvent e) { onAfterPivot_ = std::move(e); }

  // --- stored state. While loading the setters fill the loaded state, and
  // SetDimensionInfo (which comes last) makes it current. Outside loading
  // SetDimensionInfo applies a state of any dimension count: matched by name
  // against the cube, pivoted and announced as PivotChanged.
  int32_t DimensionCount() const { return state_.DimensionCount; }
  int32_t SummaryCount() const { return state_.SummaryCount; }
  int32_t CurrentSummary() const { return state_.CurrentSummary; }
  void SetDimensionCount(int32_t value);
  void SetSummaryCount(int32_t value);
  // Ignored unless a cube is set and the index is one of its summaries.
  void SetCurrentSummary(int32_t index);
  std::string DimensionInfo() const { return WritePivotStateText(state_.Infos); }
  void SetDimensionInfo(std::string_view text);
  void Loaded() override;

  // --- state and indexes
  bool IsActive() const { return dataState_ != dsNoData; }
  TCubeDataState DataState() const { return dataState_; }
  const TPivotState& State() const { return state_; }
  const TDimInfoList& AxisList(TDimAxis axis) const { return state_.List(axis); }
  // EArrayError "Out of Bounds" for a bad index.
  const TDimInfo& DimInfo(int32_t dimIndex) const { return state_.Infos[dimIndex]; }
  int32_t RowCount() const { return rowCount_; }
  int32_t ColCount() const { return colCount_; }
  // [level][position] value indexes, -1 at subtotal positions; RowCount
  // (ColCount) positions per level, no level without an open dimension.
  const TAxisEntries& RowIndex() const { return rowIndex_; }
  const TAxisEntries& ColIndex() const { return colIndex_; }
  int32_t UpdateCount() const { return updateCount_; }

  // --- updates and pivot requests. Positions count every item of the axis
  // list, or only its open items when byActive is set.
  void BeginUpdate() { ++updateCount_; }
  // The outermost call rebuilds, pivots once and tells the links `event`.
  void EndUpdate(TDecisionDataEvent event);
  void OpenNext(TDimAxis axis, int32_t pos, bool byActive);
  void CloseAfter(TDimAxis axis, int32_t pos, bool byActive);
  void ToggleDimension(TDimAxis axis, int32_t pos, bool byActive);
  // Assertion "Illegal value selected" for a value the dimension lacks.
  void SelectValue(int32_t dimIndex, int32_t valueIndex);
  void SelectValueAt(TDimAxis axis, int32_t pos, bool byActive, int32_t valueIndex);
  // Inserts at toPos of the target list after removal from the source list;
  // -1 (or, by active, a position past the last open item) appends.
  void MoveDimension(TDimAxis fromAxis, TDimAxis toAxis, bool byActive, int32_t toPos,
                     int32_t fromPos);
  void SwapDimensions(TDimAxis axisA, TDimAxis axisB, bool byActive, int32_t posB, int32_t posA);

  // --- queries; an inactive source answers empty values.
  std::string GetCellText(int32_t row, int32_t col, int32_t* sumLevels = nullptr) const;
  Variant GetCellValue(int32_t row, int32_t col, int32_t* sumLevels = nullptr) const;
  // The coordinate vector of a data cell (one entry per dimension).
  TCoords CellCoords(int32_t row, int32_t col, int32_t* sumLevels = nullptr) const;
  // The same into `coords`, which keeps its memory from call to call.
  void CellCoordsInto(int32_t row, int32_t col, TCoords& coords,
                      int32_t* sumLevels = nullptr) const;
  int16_t GetHeaderValue(TDimAxis axis, int32_t level, int32_t pos, bool& isSum,
                         bool& isGroupStart) const;
  void GetGroupRange(TDimAxis axis, int32_t level, int32_t pos, int32_t& first,
                     int32_t& last) const;
  bool GetValueArray(int32_t col, int32_t row, TValueArray& values) const;
  // 1: the next visible item after this one is open; 4: it exists and is
  // closed; 0: there is none.
  int32_t GetNeighbourFlags(int32_t dimIndex) const;
  std::string GetValueText(int32_t dimIndex, int32_t valueIndex) const;
  Variant GetValueVariant(int32_t dimIndex, int32_t valueIndex) const;
  std::string GetDimensionCaption(int32_t dimIndex) const;
  std::string GetSummaryCaption(int32_t index) const;
  TDimension* GetDimension(int32_t dimIndex) const;
  TAbstractSummary* GetSummary(int32_t index) const;

  // --- links
  const std::vector<TDecisionDataLink*>& Links() const { return links_; }
  void AddLink(TDecisionDataLink* link);
  void RemoveLink(TDecisionDataLink* link);

  // --- the cube's side
  void SetCubeReference(THyCube* cube) override { decisionCube_ = cube; }
  void CubeReferenceChanged() override;
  void CubeChanged(uint8_t event) override;

private:
  void SetDataState(TCubeDataState state);
  // Matches the state against the cube's dimensions by name and places the
  // dimensions it does not know.
  void Synchronise();
  void Pivot();
  void BuildAxis(TDimAxis axis, const std::vector<int32_t>& active);
  void NotifyLinks(TDecisionDataEvent event);
  void FireEvent(const TNotifyEvent& e) {
    if (e) e(*this);
  }
  // List position of `pos` (counting open items when byActive), or -1.
  int32_t ListPosition(TDimAxis axis, int32_t pos, bool byActive) const;
  // The item at that position; EListError when there is none.
  TDimInfo* ItemAt(TDimAxis axis, int32_t pos, bool byActive);
  const TAxisEntries& Index(TDimAxis axis) const;
  int32_t AxisCount(TDimAxis axis) const;
  int16_t PreviewHeaderValue(TDimAxis axis, int32_t level, int32_t pos, bool& isSum,
                             bool& isGroupStart) const;
  bool HasDimensionData() const { return dataState_ == dsDimensionData || dataState_ == dsAllData; }

  int32_t updateCount_ = 0;
  TCubeDataState dataState_ = dsNoData;
  bool inCubeNotify_ = false;
  THyCube* decisionCube_ = nullptr;
  TDecisionControlType controlType_ = xtCheck;
  std::vector<TDecisionDataLink*> links_;
  TPivotState loadedState_;
  bool loadedPending_ = false;  // loaded settings not yet made current
  bool stateUnsynced_ = false;  // current state replaced since the last match
  TPivotState state_;
  TAxisEntries rowIndex_;
  TAxisEntries colIndex_;
  int32_t rowCount_ = 1;
  int32_t colCount_ = 1;
  TNotifyEvent onBeforePivot_, onAfterPivot_, onStateChange_, onNewDimensions_, onLayoutChange_,
      onSummaryChange_;
};

}  // namespace hy
