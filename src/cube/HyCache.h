// The cell cache: everything the pivot and the grid ask of an open cube.
// Dimensions with their distinct values in display order, summaries, and a
// dense index with one slot per combination of (each dimension's values plus
// one all-values slot per dimension). Detail slots are filled in one pass at
// build time; total slots are computed from their children on first read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "common/Variant.h"
#include "cube/HyCommon.h"

namespace hy {

class TBaseArray;
class TBinField;
class TBinTable;
class TCubeProgress;
class THyCustomStore;

HY_DECLARE_EXCEPTION(EHyCache, Exception);
HY_DECLARE_EXCEPTION(ECacheError, Exception);

class TField;

// Raises EHyCache naming the field and its type when no value array class
// holds dimension values of that type (FMT BCD, blobs, memos, ...).
void CheckDimensionType(const TField& field);

// One element per dimension in cube order: a display-order value index, or
// -1 for all values of that dimension.
using TCoords = std::vector<int16_t>;

// Header paths of one axis: Entries[level][entry], -1 marks a subtotal.
using TAxisEntries = std::vector<std::vector<int16_t>>;

class TDimension : public TCommonDimItem {
public:
  ~TDimension() override;
  // Distinct values; a Null value counts as one, shown first.
  int32_t GetValueCount() const;
  // The value at a display position.
  Variant GetValue(int32_t index) const;
  // The caption at a display position: lookup text, "Null", or the map
  // item's FormatValue of the value.
  std::string GetValueCaption(int32_t index) const;
  // Display position -> value index (differs only for lookup dimensions).
  int32_t ValueIndex(int32_t displayIndex) const;
  const TBaseArray& Values() const { return *values_; }
  bool IsLookup() const { return !order_.empty() || !lookupText_.empty(); }

private:
  friend class TDataCache;
  std::unique_ptr<TBaseArray> values_;
  std::vector<const uint8_t*> recordScratch_;
  std::vector<int16_t> order_;
  std::vector<std::string> lookupText_;
};

class TAbstractSummary : public TCommonDimItem {
public:
  int32_t SummaryIndex() const { return summaryIndex_; }
  // "" for a cell without data; otherwise the text of its record.
  std::string GetAsString(const TCoords& coords) const;
  // The text of a record already found (the grid finds it once per cell).
  virtual void GetRecordText(int32_t recNo, std::string& text) const = 0;
  virtual Variant GetValue(const TCoords& coords) const = 0;
  // True when records' texts and values may be read from several threads
  // at once while nothing changes the cube.
  virtual bool ReadsConcurrently() const { return false; }

protected:
  friend class TDataCache;
  class TDataCache* cache_ = nullptr;
  int32_t summaryIndex_ = 0;
};

// A plain summary: reads one column of the bin table.
class TSummary : public TAbstractSummary {
public:
  explicit TSummary(TBinField* column) : column_(column) {}
  TBinField* Column() const { return column_; }
  // "<NULL>" for a Null aggregate.
  void GetRecordText(int32_t recNo, std::string& text) const override;
  // Null for a Null aggregate, Empty for a cell without data.
  Variant GetValue(const TCoords& coords) const override;
  Variant GetRecordValue(int32_t recNo) const override;
  // Reads through the record, not the bin table's current one.
  bool ReadsConcurrently() const override { return true; }

private:
  TBinField* column_;
};

// A derived summary: its map item's expression, evaluated for the cell's
// record; the text follows the item's Format by the result's type.
class TDerivedSummary : public TAbstractSummary {
public:
  void GetRecordText(int32_t recNo, std::string& text) const override;
  Variant GetValue(const TCoords& coords) const override;
  Variant GetRecordValue(int32_t recNo) const override;
};

class TDataCache {
public:
  explicit TDataCache(THyCustomStore* store);
  ~TDataCache();
  TDataCache(const TDataCache&) = delete;
  TDataCache& operator=(const TDataCache&) = delete;

  THyCustomStore* Store() const { return store_; }
  TBinTable* BinTable() const { return binTable_.get(); }
  void SetBinTable(std::unique_ptr<TBinTable> table);

  bool Active() const { return active_; }
  // True only records the state; False frees cells, dimensions, summaries
  // and the bin table.
  void SetActive(bool value);

  int32_t GetDimensionCount() const { return static_cast<int32_t>(dimensions_.size()); }
  int32_t GetSummaryCount() const { return static_cast<int32_t>(summaries_.size()); }
  TDimension* Dimensions(int32_t index) const;
  TAbstractSummary* Summaries(int32_t index) const;

  int32_t CurrentSummary() const { return currentSummary_; }
  // Assertion "Error in summary selection" for an index out of range.
  void SetCurrentSummary(int32_t index);
  bool SuppressEmpty() const { return (flags_ & 1) != 0; }
  void SetSuppressEmpty(bool value);

  std::string GetSummaryAsString(const TCoords& coords) const;
  Variant GetSummaryValue(const TCoords& coords) const;
  bool IsEmptyCell(const TCoords& coords) const;

  // Enumerates the header paths of one axis (open dimensions outermost
  // first); `coords` holds a coordinate for every dimension and is used as
  // scratch. Answers the number of entries (1 with no axis dimension).
  int32_t BuildAxisIndex(const std::vector<int32_t>& axisDims, TAxisEntries& entries,
                         bool subtotals, TCoords& coords) const;

  // Build steps, called by the store in this order.
  void CreateMetaData();
  void CompressDimensions(TCubeProgress& progress);
  void SortLookupDimensions(TCubeProgress& progress);
  void BuildCellIndex();

  // The record number a cell reads (-1: no data), computing a pending total.
  int32_t CellRecord(const TCoords& coords) const;
  // The slot of a cell in the index, linear in each coordinate, and the
  // record a slot holds (-1: no data; -2: a total not computed yet, which
  // CellRecord computes).
  int64_t SlotOf(const TCoords& coords) const;
  int32_t SlotRecord(int64_t slot) const { return cellIndex_[static_cast<size_t>(slot)]; }
  int64_t SlotCount() const { return static_cast<int64_t>(cellIndex_.size()); }
  int32_t PendingCount() const { return pendingCount_; }

  int32_t DerivedCount() const { return derivedCount_; }

private:
  void Clear();
  void ComputeTotal(const TCoords& coords, int32_t startDim, int64_t slot) const;

  THyCustomStore* store_;
  std::unique_ptr<TBinTable> binTable_;
  int32_t currentSummary_ = 0;
  std::vector<std::unique_ptr<TDimension>> dimensions_;
  std::vector<std::unique_ptr<TAbstractSummary>> summaries_;
  int32_t derivedCount_ = 0;
  bool active_ = false;
  uint8_t flags_ = 0;
  int64_t baseOffset_ = 0;
  mutable int32_t pendingCount_ = 0;
  // Totals are filled in lazily by const reads.
  mutable std::vector<int32_t> cellIndex_;
  std::vector<int64_t> multipliers_;
};

}  // namespace hy
