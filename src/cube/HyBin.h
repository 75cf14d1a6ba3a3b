// The bin table: the cube's in-memory fact store. One packed record per
// distinct combination of dimension values (a bin), holding the aggregates
// of every summary over the source rows that fell into it. Records are
// ordered by their dimension values exactly as the dimension value arrays
// order them (Nulls first), so the cell index is built in one linear pass;
// the cache later appends aggregate records for subtotals and totals.
//
// Record layout (in memory only): bytes 0..3 hold the null mask (bit i set:
// column i holds no value), then 1-, 2-, 4- and 8-byte columns in that
// order, each group aligned to its width within the record, padded to a
// multiple of 16. Records start 12 bytes into 4096-byte pages, so values are
// read and written with memcpy, never through typed pointers.
//
// Strings are interned in the table: a string column holds a 32-bit id into
// the table's pool, so equal strings have equal bytes and records can be
// hashed and merged by their key bytes while loading.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/Variant.h"
#include "cube/HyArrays.h"
#include "cube/HyCommon.h"
#include "platform/db/DataSet.h"

namespace hy {

class TBinTable;
class TCubeProgress;
class TDimensionItem;
class THyMap;

// What a column does with the values of one bin.
enum TBinRole : uint8_t { brNone = 0, brKey = 1, brSum = 2, brMax = 3, brMin = 4, brCount = 5 };

// ---------------------------------------------------------------------------
// TPagedMem: records carved from 4096-byte pages, freed all at once.
// Pages are cut from blocks that grow with the table; large blocks ask the
// system for huge pages, so a big load does not fault in every 4 KB page.

class TPagedMem {
public:
  static constexpr int32_t kPageSize = 4096;
  // Link to the previous page (8 bytes) and the page's free bytes (4); the
  // next free address is the page's end minus its free bytes.
  static constexpr int32_t kHeaderSize = 12;

  TPagedMem() = default;
  ~TPagedMem();
  TPagedMem(const TPagedMem&) = delete;
  TPagedMem& operator=(const TPagedMem&) = delete;

  // `n` zeroed bytes; a new page is taken when the current one has fewer
  // than `n` free. Raises EHyError for a request larger than a page holds.
  uint8_t* Allocate(int32_t n) {
    if (current_ && n > 0 && n <= currentFree_) {
      uint8_t* address = current_ + kPageSize - currentFree_;
      currentFree_ -= n;
      return address;
    }
    return AllocateSlow(n);
  }
  int32_t PageCount() const { return pageCount_; }
  void Swap(TPagedMem& other);

private:
  uint8_t* AllocateSlow(int32_t n);
  uint8_t* NewPage();

  uint8_t* current_ = nullptr;
  int32_t currentFree_ = 0;  // the current page's free bytes (its header lags)
  int32_t pageCount_ = 0;
  // Blocks pages are cut from (address, bytes); the last one's unused pages
  // follow `current_`.
  std::vector<std::pair<uint8_t*, size_t>> blocks_;
  int32_t pagesLeft_ = 0;
};

// Zeroed memory for the load's large scratch arrays, in huge pages when
// the system offers them. Frees itself.
class TLargeBlock {
public:
  TLargeBlock() = default;
  explicit TLargeBlock(size_t bytes);
  ~TLargeBlock();
  TLargeBlock(TLargeBlock&& other) noexcept : data_(other.data_), bytes_(other.bytes_) {
    other.data_ = nullptr;
  }
  TLargeBlock& operator=(TLargeBlock&& other) noexcept;
  TLargeBlock(const TLargeBlock&) = delete;
  TLargeBlock& operator=(const TLargeBlock&) = delete;
  uint8_t* Data() const { return data_; }

private:
  uint8_t* data_ = nullptr;
  size_t bytes_ = 0;
};

// ---------------------------------------------------------------------------
// TBinField and its classes

class TBinField {
public:
  TBinField(TBinTable* table, TDimensionItem* mapItem, TFieldType dataType);
  virtual ~TBinField();
  TBinField(const TBinField&) = delete;
  TBinField& operator=(const TBinField&) = delete;

  virtual const char* ClassName() const { return "TBinField"; }
  // Text of `record`'s value (which must not be Null). The base class has
  // none: EHyError "Accsess Error: "<class>.AsString"". Reading through a
  // record, not the table's current one, lets several threads read while
  // nothing changes the table.
  virtual void TextIn(const uint8_t* record, std::string& text) const;
  virtual void ValueIn(const uint8_t* record, Variant& value) const = 0;
  // The same for the current record.
  void GetAsString(std::string& text) const { TextIn(Current(), text); }
  void GetValue(Variant& value) const { ValueIn(Current(), value); }
  virtual int32_t DataSize() const = 0;
  // Stores a non-Null value into the current record (null bit untouched).
  virtual void SetValue(const Variant& value) = 0;
  // The current record's value against `other`'s: Nulls first, then the
  // class's comparison.
  virtual int32_t Compare(const uint8_t* other) const;
  // The current record's column := the aggregate of records[0..count-1].
  // String and Boolean columns raise "Field Data Type '%s' - unsupported".
  virtual void Aggregate(const uint8_t* const* records, int32_t count);
  // Marks the current record's column Null (its bytes are zeroed, so equal
  // keys have equal bytes).
  virtual void SetNull();

  bool IsNull() const { return IsNullIn(Current()); }
  void GetValueOrNull(Variant& value) const { ValueOrNullIn(Current(), value); }
  void ValueOrNullIn(const uint8_t* record, Variant& value) const;
  Variant ValueOrNull() const {
    Variant v;
    GetValueOrNull(v);
    return v;
  }
  // "<NULL>" for a Null value.
  void GetStringOrNull(std::string& text) const { StringOrNullIn(Current(), text); }
  void StringOrNullIn(const uint8_t* record, std::string& text) const;
  std::string StringOrNull() const {
    std::string s;
    GetStringOrNull(s);
    return s;
  }
  void SetValueOrNull(const Variant& value);
  // The standard name of the item's dataset field type.
  std::string TypeName() const;

  TFieldType DataType() const { return dataType_; }
  TDimensionItem* MapItem() const { return mapItem_; }
  bool Hidden() const { return hidden_; }
  const std::string& FieldName() const { return fieldName_; }
  int32_t NullBit() const { return nullBit_; }
  TBinRole Role() const { return role_; }
  int32_t Slot() const { return slot_; }
  int32_t SourceSize() const { return sourceSize_; }
  TBinTable* Table() const { return table_; }
  // Byte offset of the column in a record (Slot × DataSize).
  int32_t Offset() const { return slot_ * DataSize(); }

  bool IsNullIn(const uint8_t* record) const;
  // Same null state and same bytes: the same value (strings are interned).
  bool SameValueIn(const uint8_t* a, const uint8_t* b) const;
  // Class comparison of two non-Null values.
  virtual int32_t CompareValues(const uint8_t* a, const uint8_t* b) const = 0;
  // Folds `from`'s non-Null value into `into`'s by the column's role; the
  // merge of equal keys while loading and aggregation share it.
  void Combine(uint8_t* into, const uint8_t* from) const;

protected:
  friend class TBinFields;
  friend class TBinTable;

  // into := into + from (both non-Null). Not every class can add.
  virtual void AddValues(uint8_t* into, const uint8_t* from) const;
  virtual bool CanAggregate() const { return true; }
  [[noreturn]] void Unsupported() const;

  uint8_t* Current() const;
  uint8_t* Data(uint8_t* record) const { return record + offset_; }
  const uint8_t* Data(const uint8_t* record) const { return record + offset_; }
  void SetNullIn(uint8_t* record, bool null) const;

  TFieldType dataType_;
  TDimensionItem* mapItem_;
  bool hidden_ = false;
  std::string fieldName_;
  int32_t nullBit_ = 0;
  TBinRole role_ = brNone;
  int32_t slot_ = 0;
  int32_t sourceSize_ = 0;
  TBinTable* table_;
  int32_t offset_ = 0;
};

// a + b of a sum or count column. Integers raise EIntOverflow instead of
// wrapping around; a float sum of finite values beyond the range raises
// EOverflow instead of becoming infinite.
template <class T>
T CheckedSum(T a, T b) {
  if constexpr (std::is_floating_point_v<T>) {
    const T sum = a + b;
    if (std::isinf(sum) && std::isfinite(a) && std::isfinite(b))
      throw EOverflow("Floating point overflow");
    return sum;
  } else {
    T sum;
    if (__builtin_add_overflow(a, b, &sum)) throw EIntOverflow("Integer overflow");
    return sum;
  }
}

// A column of one fixed-size number type.
template <class T>
class TNumberBin : public TBinField {
public:
  using TBinField::TBinField;
  int32_t DataSize() const override { return static_cast<int32_t>(sizeof(T)); }
  int32_t CompareValues(const uint8_t* a, const uint8_t* b) const override;

  T Get(const uint8_t* record) const {
    T v;
    std::memcpy(&v, Data(record), sizeof v);
    return v;
  }
  void Put(uint8_t* record, T v) const { std::memcpy(Data(record), &v, sizeof v); }

protected:
  // CheckedSum.
  void AddValues(uint8_t* into, const uint8_t* from) const override;
};

extern template class TNumberBin<int16_t>;
extern template class TNumberBin<uint16_t>;
extern template class TNumberBin<int32_t>;
extern template class TNumberBin<int64_t>;
extern template class TNumberBin<double>;
extern template class TNumberBin<uint32_t>;

// String, fixed char: an interned string id in a 4-byte slot.
class TStringBin : public TNumberBin<uint32_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TStringBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
  // The locale's collation, as the value arrays.
  int32_t CompareValues(const uint8_t* a, const uint8_t* b) const override;

protected:
  void AddValues(uint8_t*, const uint8_t*) const override { Unsupported(); }
  bool CanAggregate() const override { return false; }
};

// Wide string (recorded as string).
class TWideStrBin : public TStringBin {
public:
  using TStringBin::TStringBin;
  const char* ClassName() const override { return "TWideStrBin"; }
};

class TSmallIntBin : public TNumberBin<int16_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TSmallIntBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
};

class TWordBin : public TNumberBin<uint16_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TWordBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
};

// Integer, auto-increment.
class TIntegerBin : public TNumberBin<int32_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TIntegerBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
};

// Large integer; also the sum of any integer field, which would overflow
// narrower slots.
class TLargeIntBin : public TNumberBin<int64_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TLargeIntBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
};

// 0 or -1 in two bytes; False before True.
class TBooleanBin : public TNumberBin<int16_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TBooleanBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
  int32_t CompareValues(const uint8_t* a, const uint8_t* b) const override;

protected:
  void AddValues(uint8_t*, const uint8_t*) const override { Unsupported(); }
  bool CanAggregate() const override { return false; }
};

// Float keys closer than this compare equal.
inline constexpr double kFloatKeyTolerance = 1e-100;

// Float, currency field: a double; values within 1e-100 compare equal.
class TFloatBin : public TNumberBin<double> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TFloatBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
  int32_t CompareValues(const uint8_t* a, const uint8_t* b) const override;
};

// BCD, FMT BCD: fixed-point currency (its raw 64-bit value).
class TCurrencyBin : public TNumberBin<int64_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TCurrencyBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;

protected:
  void AddValues(uint8_t* into, const uint8_t* from) const override;
};

// Date, time, date-time.
class TDateTimeBin : public TNumberBin<double> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TDateTimeBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
};

// Timestamp (recorded as date-time).
class TSQLTimeStampBin : public TDateTimeBin {
public:
  using TDateTimeBin::TDateTimeBin;
  const char* ClassName() const override { return "TSQLTimeStampBin"; }
};

// Count summary: every non-Null source value counts 1 (recorded as integer).
class TCountBin : public TNumberBin<int32_t> {
public:
  using TNumberBin::TNumberBin;
  const char* ClassName() const override { return "TCountBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
};

// Average summary: its own slot counts, the hidden sum column before it
// sums; the value is their quotient (Null over no values).
class TAvgBin : public TCountBin {
public:
  TAvgBin(TBinTable* table, TDimensionItem* mapItem, TFieldType dataType, TBinField* sumField)
      : TCountBin(table, mapItem, dataType), sumField_(sumField) {}
  const char* ClassName() const override { return "TAvgBin"; }
  void TextIn(const uint8_t* record, std::string& text) const override;
  void ValueIn(const uint8_t* record, Variant& value) const override;
  void SetValue(const Variant& value) override;
  TBinField* SumField() const { return sumField_; }

private:
  TBinField* sumField_;
};

// ---------------------------------------------------------------------------
// TBinFields: key columns first, then summary columns.

class TBinFields {
public:
  explicit TBinFields(TBinTable* table);
  ~TBinFields();
  TBinFields(const TBinFields&) = delete;
  TBinFields& operator=(const TBinFields&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TBinField* Items(int32_t index) const { return items_[index].get(); }
  TBinField* operator[](int32_t index) const { return Items(index); }
  int32_t KeyCount() const { return keyCount_; }
  int32_t NextNullBit() const { return nextNullBit_; }

private:
  friend class TBinTable;
  // Adds the column(s) of one map item; raises for a type without a class.
  void AddColumn(TDimensionItem& item, TBinRole role);
  TBinField* Append(std::unique_ptr<TBinField> field, TBinRole role);

  TBinTable* table_;
  std::vector<std::unique_ptr<TBinField>> items_;
  int32_t keyCount_ = 0;
  int32_t nextNullBit_ = 0;
};

// ---------------------------------------------------------------------------
// TBinIndex: the record pointers; a record's position is its number.

class TBinIndex : public TPointerArray {
public:
  explicit TBinIndex(TBinTable* table) : table_(table) {}
  // Position of a record with `key`'s key values, or where it would go
  // (record order: key columns in order, Nulls first).
  bool FindItem(int32_t& index, const void* key) const override;

private:
  TBinTable* table_;
};

// ---------------------------------------------------------------------------
// TBinTable

class TBinTable {
public:
  // Makes the columns of the map's active items and the layout. Raises
  // EHyError for an unsupported field type, more than 32 columns or an
  // invalid column width.
  explicit TBinTable(THyMap& map);
  ~TBinTable();
  TBinTable(const TBinTable&) = delete;
  TBinTable& operator=(const TBinTable&) = delete;

  // Reads every row of the map's dataset into bins (with progress; the
  // dataset's controls are enabled again on every exit). With `parallel`
  // (and two cores) a worker thread makes the bins while the rows are read;
  // the result is the same.
  void LoadFromDataSet(TCubeProgress& progress, bool parallel = true);

  // Rows per batch of the load, and batches in flight.
  static constexpr int32_t kLoadBatchRows = 4096;
  static constexpr int32_t kLoadBatches = 3;

  int32_t RecordCount() const { return index_.Count(); }
  // Current := record `recNo`; returns it.
  uint8_t* GoToRecord(int32_t recNo);
  const uint8_t* Record(int32_t recNo) const {
    return static_cast<const uint8_t*>(index_.Items(recNo));
  }
  // Appends a record aggregating `count` records; returns its number.
  int32_t AddAggregate(const uint8_t* const* records, int32_t count);

  // Record order of the current record against `other` (key columns).
  int32_t CompareKeys(const uint8_t* a, const uint8_t* b) const;

  uint8_t* Current() const { return current_; }
  void SetCurrent(uint8_t* record) { current_ = record; }
  uint8_t* Scratch() const { return scratch_; }
  int32_t RecordSize() const { return recordSize_; }
  THyMap& Map() const { return map_; }
  TBinFields& Fields() { return fields_; }
  const TBinFields& Fields() const { return fields_; }
  int32_t KeyCount() const { return fields_.KeyCount(); }
  TBinIndex& Index() { return index_; }
  uint32_t NullTemplate() const { return nullTemplate_; }
  const TPagedMem& Memory() const { return memory_; }

  // The string pool of string columns.
  uint32_t Intern(std::string_view text);
  const std::string& StringAt(uint32_t id) const { return strings_[id]; }
  int32_t StringCount() const { return static_cast<int32_t>(strings_.size()); }

  static uint32_t NullMask(const uint8_t* record) {
    uint32_t mask;
    std::memcpy(&mask, record, sizeof mask);
    return mask;
  }
  static void SetNullMask(uint8_t* record, uint32_t mask) {
    std::memcpy(record, &mask, sizeof mask);
  }

private:
  struct TKeyColumn;
  class TLoadBins;
  class TSortKeys;

  void ComputeLayout();
  // Sorts the bins found by the load into record order, merges bins whose
  // keys compare equal though their bytes differ, and fills the index.
  void FinishLoad(std::vector<uint8_t*>& records);
  void MergeInto(uint8_t* into, const uint8_t* from) const;
  void MergeNearFloatKeys(std::vector<uint8_t*>& records) const;

  uint8_t* current_ = nullptr;
  uint8_t* scratch_ = nullptr;
  int32_t recordSize_ = 0;
  THyMap& map_;
  TBinFields fields_;
  TBinIndex index_;
  uint32_t nullTemplate_ = 0xFFFFFFFFu;
  TPagedMem memory_;
  std::vector<uint8_t> scratchBuffer_;

  std::deque<std::string> strings_;
  std::unordered_map<std::string_view, uint32_t> stringIds_;
};

// Inline: the load and every pass over the bins ask it per record.
inline bool TBinField::IsNullIn(const uint8_t* record) const {
  return (TBinTable::NullMask(record) >> nullBit_) & 1u;
}

}  // namespace hy
