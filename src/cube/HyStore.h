// The store: the non-visual component that turns a dataset and a dimension
// map into an open cube. TCommonDataStore carries the limits, the external
// procedure names and the expression compiler's log; THyCustomStore adds the
// dataset link and the map.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Component.h"
#include "common/Variant.h"
#include "cube/HyCache.h"
#include "cube/HyMap.h"

namespace hy {

class TCubeProgress;
class TDataSet;
class TExprs;

// The expression compiler's messages, kept in memory.
class THyLog {
public:
  int32_t ErrorCount() const { return errorCount_; }
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear();
  // Adds the line "[Error] <text>".
  void Error(const std::string& text);
  void ErrorFmt(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // All lines joined by line breaks.
  std::string Text() const;

private:
  int32_t errorCount_ = 0;
  std::vector<std::string> lines_;
};

class TCommonDataStore : public TComponent {
public:
  // Answers a call of external procedure `pid` (0-based line of Externals)
  // for record `off`; the handler evaluates the arguments it needs.
  using TCallEvent = std::function<Variant(int32_t pid, int32_t off, const TExprs& params)>;

  static constexpr uint32_t kDefaultMaxCells = 2000000000u;
  static constexpr int32_t kMaxDimensionsLimit = 16;

  explicit TCommonDataStore(TComponent* owner = nullptr);
  ~TCommonDataStore() override;

  std::vector<std::string>& Externals() { return externals_; }
  const std::vector<std::string>& Externals() const { return externals_; }
  int32_t MaxSummaries() const { return maxSummaries_; }
  void SetMaxSummaries(int32_t value) { maxSummaries_ = value; }
  int32_t MaxDimensions() const { return maxDimensions_; }
  // More than 16 dimensions cannot be held; larger values store 16.
  void SetMaxDimensions(int32_t value);
  uint32_t MaxCells() const { return maxCells_; }
  // 0 means "no limit of one's own": the default is stored.
  void SetMaxCells(uint32_t value);
  THyLog& Log() { return log_; }
  const TCallEvent& OnCall() const { return onCall_; }
  void SetOnCall(TCallEvent value) { onCall_ = std::move(value); }

  virtual TDataSet* GetDataSet() const = 0;
  // Only while active: rebuild (close and open) or let the views re-read.
  virtual void Refresh(bool rebuild) = 0;

private:
  std::vector<std::string> externals_;
  int32_t maxSummaries_ = 10;
  int32_t maxDimensions_ = 5;
  uint32_t maxCells_ = kDefaultMaxCells;
  THyLog log_;
  TCallEvent onCall_;
};

// How much of a cube exists; a cube is active when it is not dsNoData.
enum TCubeDataState { dsNoData, dsMetaData, dsDimensionData, dsAllData };
enum TErrorAction { eaFail, eaAbort };

class THyCustomStore : public TCommonDataStore {
public:
  using TStoreEvent = std::function<void(THyCustomStore& cube)>;
  using TLowCapacityEvent = std::function<void(TErrorAction& action)>;
  using TGetSQLEvent = std::function<void(std::string& value)>;
  using TRefreshEvent = std::function<void(THyCustomStore& cube, THyMap& map)>;

  explicit THyCustomStore(TComponent* owner = nullptr);
  ~THyCustomStore() override;

  TDataCache& DataCache() { return *dataCache_; }
  const TDataCache& DataCache() const { return *dataCache_; }
  TDataSet* DataSet() const { return dataSet_; }
  // Moves the free notification to the new dataset; does not reopen.
  void SetDataSet(TDataSet* value);
  TCubeDataState DesignState() const { return designState_; }
  // Takes effect at the next open: the state an open reaches.
  void SetDesignState(TCubeDataState value) { designState_ = value; }
  THyMap& DimensionMap() { return *dimensionMap_; }
  const THyMap& DimensionMap() const { return *dimensionMap_; }
  TCubeDataState DataState() const { return dataState_; }
  bool Active() const { return dataState_ != dsNoData; }
  // While loading only remembered; otherwise opens (BeforeOpen, Open,
  // AfterOpen) or closes (BeforeClose, free the cache, AfterClose).
  void SetActive(bool value);
  bool ShowProgressDialog() const { return showProgressDialog_; }
  void SetShowProgressDialog(bool value) { showProgressDialog_ = value; }
  // Whether the record scan and the making of bins overlap on two threads
  // (the default); the result is the same either way.
  bool ParallelLoad() const { return parallelLoad_; }
  void SetParallelLoad(bool value) { parallelLoad_ = value; }

  void SetOnLowCapacity(TLowCapacityEvent e) { onLowCapacity_ = std::move(e); }
  void SetOnGetSQL(TGetSQLEvent e) { onGetSQL_ = std::move(e); }
  void SetAfterOpen(TStoreEvent e) { afterOpen_ = std::move(e); }
  void SetAfterClose(TStoreEvent e) { afterClose_ = std::move(e); }
  void SetBeforeOpen(TStoreEvent e) { beforeOpen_ = std::move(e); }
  void SetBeforeClose(TStoreEvent e) { beforeClose_ = std::move(e); }
  void SetOnRefresh(TRefreshEvent e) { onRefresh_ = std::move(e); }
  const TLowCapacityEvent& OnLowCapacity() const { return onLowCapacity_; }
  const TGetSQLEvent& OnGetSQL() const { return onGetSQL_; }

  TDataSet* GetDataSet() const override { return dataSet_; }
  // Only while active: rebuild (close and open) or let the views re-read.
  void Refresh(bool rebuild) override;
  void Loaded() override;

  // Pass-throughs to the cache.
  void SetCurrentSummary(int32_t index);
  void SetSuppressEmpty(bool value);
  int32_t BuildAxisIndex(const std::vector<int32_t>& axisDims, TAxisEntries& entries,
                         bool subtotals, TCoords& coords) const;
  std::string GetSummaryAsString(const TCoords& coords) const;
  int32_t GetDimensionCount() const;
  int32_t GetSummaryCount() const;
  TDimension* Dimensions(int32_t index) const;
  TAbstractSummary* Summaries(int32_t index) const;

  // The build body: dataset, map, cache, records, values, cells.
  virtual void Open();
  virtual void DoBeforeOpen();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();
  virtual void DoAfterClose();
  virtual void DoRefresh(THyMap& map);
  // Tells the registered views of an event (0 state, 1 summary, 3 refresh).
  virtual void NotifyDataSources(uint8_t event) = 0;
  virtual void StateChanged() {}
  virtual std::string GetDimensionValueCaption(int32_t dimIndex, int32_t valueIndex) const;
  virtual Variant GetSummaryValue(const TCoords& coords) const;

protected:
  void SetDataState(TCubeDataState state);
  void Notification(TComponent* component, TOperation operation) override;

private:
  void Build(TCubeProgress& progress);
  void CloseCache();

  std::unique_ptr<TDataCache> dataCache_;
  TDataSet* dataSet_ = nullptr;
  TCubeDataState designState_ = dsAllData;
  std::unique_ptr<THyMap> dimensionMap_;
  TCubeDataState dataState_ = dsNoData;
  bool streamedActive_ = false;
  bool showProgressDialog_ = true;
  bool parallelLoad_ = true;
  TLowCapacityEvent onLowCapacity_;
  TGetSQLEvent onGetSQL_;
  TStoreEvent afterOpen_, afterClose_, beforeOpen_, beforeClose_;
  TRefreshEvent onRefresh_;
};

}  // namespace hy
