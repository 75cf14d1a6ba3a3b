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
#include "cube/HyMap.h"

namespace hy {

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

class THyCustomStore : public TCommonDataStore {
public:
  explicit THyCustomStore(TComponent* owner = nullptr);
  ~THyCustomStore() override;

  TDataSet* DataSet() const { return dataSet_; }
  // Moves the free notification to the new dataset; does not reopen.
  void SetDataSet(TDataSet* value);
  THyMap& DimensionMap() { return *dimensionMap_; }
  const THyMap& DimensionMap() const { return *dimensionMap_; }

  TDataSet* GetDataSet() const override { return dataSet_; }
  void Refresh(bool rebuild) override;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  TDataSet* dataSet_ = nullptr;
  std::unique_ptr<THyMap> dimensionMap_;
};

}  // namespace hy
