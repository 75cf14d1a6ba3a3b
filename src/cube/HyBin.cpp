// The bin table: columns and layout, the load with insert-or-merge, record
// order and aggregate records.
#include "cube/HyBin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <system_error>
#include <thread>
#include <typeinfo>

#include "common/StrUtils.h"
#include "cube/HyBinPipeline.h"
#include "cube/HyCache.h"
#include "cube/HyCollate.h"
#include "cube/HyMap.h"
#include "cube/HyProgress.h"
#include "platform/sys/LargeMemory.h"

namespace hy {

// ------------------------------------------------------------------ TPagedMem

namespace {

// Pages are checked against the memory budget by block, once the table
// holds more than this many: asking the allocator for its statistics on
// every 4 KB page would cost more than the records themselves.
constexpr int32_t kPagesPerBudgetCheck = 256;
// The first block's pages; each block doubles until it is one huge page.
constexpr int32_t kFirstBlockPages = 16;
constexpr int32_t kMaxBlockPages = static_cast<int32_t>(sys::kHugePageSize / TPagedMem::kPageSize);

void SetFreeBytes(uint8_t* page, int32_t free) { std::memcpy(page + 8, &free, sizeof free); }

// `bytes` zeroed bytes: from one huge page up mapped from the system,
// smaller blocks from the C library.
uint8_t* AllocateZeroed(size_t bytes) {
  if (bytes >= sys::kHugePageSize) {
    uint8_t* block = sys::MapZeroed(bytes);
    if (!block) throw ELowCapacityError(kLowCapacityMessage);
    AddMappedBytes(static_cast<int64_t>(sys::MappedSize(bytes)));
    return block;
  }
  void* p = std::calloc(1, bytes);
  if (!p) throw ELowCapacityError(kLowCapacityMessage);
  return static_cast<uint8_t*>(p);
}

void FreeZeroed(uint8_t* p, size_t bytes) {
  if (!p) return;
  if (bytes >= sys::kHugePageSize) {
    sys::Unmap(p, bytes);
    AddMappedBytes(-static_cast<int64_t>(sys::MappedSize(bytes)));
  } else {
    std::free(p);
  }
}

}  // namespace

static_assert(sizeof(uint8_t*) + sizeof(int32_t) == TPagedMem::kHeaderSize);

TLargeBlock::TLargeBlock(size_t bytes)
    : data_(AllocateZeroed(bytes ? bytes : 1)), bytes_(bytes ? bytes : 1) {}

TLargeBlock::~TLargeBlock() { FreeZeroed(data_, bytes_); }

TLargeBlock& TLargeBlock::operator=(TLargeBlock&& other) noexcept {
  if (this != &other) {
    FreeZeroed(data_, bytes_);
    data_ = other.data_;
    bytes_ = other.bytes_;
    other.data_ = nullptr;
    other.bytes_ = 0;
  }
  return *this;
}

TPagedMem::~TPagedMem() {
  for (const auto& [block, bytes] : blocks_) FreeZeroed(block, bytes);
}

void TPagedMem::Swap(TPagedMem& other) {
  std::swap(current_, other.current_);
  std::swap(currentFree_, other.currentFree_);
  std::swap(pageCount_, other.pageCount_);
  std::swap(blocks_, other.blocks_);
  std::swap(pagesLeft_, other.pagesLeft_);
}

uint8_t* TPagedMem::NewPage() {
  uint8_t* page;
  if (pagesLeft_ > 0) {
    page = current_ + kPageSize;
    --pagesLeft_;
  } else {
    const int32_t pages =
        std::min(kMaxBlockPages, kFirstBlockPages << std::min<size_t>(blocks_.size(), 16));
    const size_t bytes = static_cast<size_t>(pages) * kPageSize;
    if (pageCount_ >= kPagesPerBudgetCheck) CheckMemoryBudget(static_cast<int64_t>(bytes));
    blocks_.reserve(blocks_.size() + 1);
    page = AllocateZeroed(bytes);
    blocks_.emplace_back(page, bytes);
    pagesLeft_ = pages - 1;
  }
  if (current_) SetFreeBytes(current_, currentFree_);
  std::memcpy(page, &current_, sizeof current_);
  current_ = page;
  currentFree_ = kPageSize - kHeaderSize;
  SetFreeBytes(page, currentFree_);
  ++pageCount_;
  return page;
}

uint8_t* TPagedMem::AllocateSlow(int32_t n) {
  if (n <= 0 || n > kPageSize - kHeaderSize)
    throw EHyError(Format("Cannot allocate a record of %d bytes", n));
  NewPage();
  return Allocate(n);
}

// ----------------------------------------------------------------- TBinFields

namespace {

// The column class of a dataset field type, or nullptr when it has none.
// Sums of integer fields get 64 bits: a 16- or 32-bit sum overflows after
// a few thousand rows.
std::unique_ptr<TBinField> MakeColumn(TBinTable* table, TDimensionItem& item, TFieldType type,
                                      bool forSum) {
  switch (type) {
    case ftString:
    case ftFixedChar:
      if (forSum) return nullptr;
      return std::make_unique<TStringBin>(table, &item, ftString);
    case ftWideString:
      if (forSum) return nullptr;
      return std::make_unique<TWideStrBin>(table, &item, ftString);
    case ftSmallint:
      if (forSum) return std::make_unique<TLargeIntBin>(table, &item, ftLargeint);
      return std::make_unique<TSmallIntBin>(table, &item, ftSmallint);
    case ftWord:
      if (forSum) return std::make_unique<TLargeIntBin>(table, &item, ftLargeint);
      return std::make_unique<TWordBin>(table, &item, ftWord);
    case ftInteger:
    case ftAutoInc:
      if (forSum) return std::make_unique<TLargeIntBin>(table, &item, ftLargeint);
      return std::make_unique<TIntegerBin>(table, &item, type);
    case ftLargeint: return std::make_unique<TLargeIntBin>(table, &item, ftLargeint);
    case ftBoolean:
      if (forSum) return nullptr;
      return std::make_unique<TBooleanBin>(table, &item, ftBoolean);
    case ftFloat:
    case ftCurrency: return std::make_unique<TFloatBin>(table, &item, type);
    case ftBCD:
    case ftFMTBcd: return std::make_unique<TCurrencyBin>(table, &item, type);
    case ftDate:
    case ftTime:
    case ftDateTime: return std::make_unique<TDateTimeBin>(table, &item, type);
    case ftTimeStamp: return std::make_unique<TSQLTimeStampBin>(table, &item, ftDateTime);
    default: return nullptr;
  }
}

bool IsPlainSummary(TDimFlags type) {
  return type == dimSum || type == dimCount || type == dimAverage || type == dimMin ||
         type == dimMax;
}

TBinRole RoleOf(TDimFlags type) {
  switch (type) {
    case dimDimension: return brKey;
    case dimSum: return brSum;
    case dimCount: return brCount;
    case dimAverage: return brSum;
    case dimMin: return brMin;
    case dimMax: return brMax;
    default: return brNone;
  }
}

}  // namespace

TBinFields::TBinFields(TBinTable* table) : table_(table) {
  THyMap& map = table->Map();
  for (int i = 0; i < map.Count(); ++i) {
    THyMapItem& item = *map.Items(i);
    if (item.Active() && item.DimensionType() == dimDimension) AddColumn(item, brKey);
  }
  keyCount_ = Count();
  for (int i = 0; i < map.Count(); ++i) {
    THyMapItem& item = *map.Items(i);
    if (item.Active() && IsPlainSummary(item.DimensionType()))
      AddColumn(item, RoleOf(item.DimensionType()));
  }
}

TBinFields::~TBinFields() = default;

TBinField* TBinFields::Append(std::unique_ptr<TBinField> field, TBinRole role) {
  field->role_ = role;
  field->nullBit_ = nextNullBit_++;
  items_.push_back(std::move(field));
  return items_.back().get();
}

void TBinFields::AddColumn(TDimensionItem& item, TBinRole role) {
  TField* field = item.Field();
  const TFieldType type = field ? field->DataType() : ftUnknown;
  // A dimension's values need a value array as well: refuse it here, by
  // name, before any column class is looked for.
  if (role == brKey && field) CheckDimensionType(*field);
  if (item.DimensionType() == dimCount) {
    Append(std::make_unique<TCountBin>(table_, &item, ftInteger), brCount);
    return;
  }
  std::unique_ptr<TBinField> column = MakeColumn(table_, item, type, role == brSum);
  if (!column) {
    throw EHyError(Format("Field Data Type '%s' - unsupported",
                          field ? field->TypeName() : FieldTypeName(type)));
  }
  if (item.DimensionType() != dimAverage) {
    Append(std::move(column), role);
    return;
  }
  column->hidden_ = true;
  TBinField* sum = Append(std::move(column), brSum);
  Append(std::make_unique<TAvgBin>(table_, &item, ftInteger, sum), brSum);
}

// ------------------------------------------------------------------ TBinIndex

bool TBinIndex::FindItem(int32_t& index, const void* key) const {
  const auto* k = static_cast<const uint8_t*>(key);
  int32_t lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int32_t mid = static_cast<int32_t>(static_cast<uint32_t>(lo + hi) >> 1);
    const int32_t c = table_->CompareKeys(static_cast<const uint8_t*>(Items(mid)), k);
    if (c >= 0) {
      hi = mid - 1;
      if (c == 0) found = true;
    } else {
      lo = mid + 1;
    }
  }
  index = lo;
  return found;
}

// ------------------------------------------------------------------ TBinTable

TBinTable::TBinTable(THyMap& map) : map_(map), fields_(this), index_(this) {
  ComputeLayout();
  scratchBuffer_.assign(recordSize_, 0);
  scratch_ = scratchBuffer_.data();
}

TBinTable::~TBinTable() = default;

void TBinTable::ComputeLayout() {
  if (fields_.Count() > 32) throw EHyError("BinTable support up to 32 fields");
  int32_t counts[4] = {0, 0, 0, 0};  // columns of width 1, 2, 4, 8
  auto group = [](int32_t size) {
    return size == 1 ? 0 : size == 2 ? 1 : size == 4 ? 2 : size == 8 ? 3 : -1;
  };
  for (int32_t i = 0; i < fields_.Count(); ++i) {
    const TBinField& f = *fields_[i];
    const int32_t g = group(f.DataSize());
    if (g < 0)
      throw EHyError(
          Format("Invalid %s.DataSize:%s", f.ClassName(), std::to_string(f.DataSize()).c_str()));
    ++counts[g];
  }
  int32_t bases[4];
  bases[0] = 4;                                // bytes
  bases[1] = (4 + counts[0] + 1) >> 1;         // 2-byte units
  bases[2] = (bases[1] + counts[1] + 1) >> 1;  // 4-byte units
  bases[3] = (bases[2] + counts[2] + 1) >> 1;  // 8-byte units
  recordSize_ = 16 * ((bases[3] + counts[3] + 1) >> 1);

  int32_t ranks[4] = {0, 0, 0, 0};
  nullTemplate_ = 0xFFFFFFFFu;
  for (int32_t i = 0; i < fields_.Count(); ++i) {
    TBinField& f = *fields_[i];
    const int32_t g = group(f.DataSize());
    f.slot_ = bases[g] + ranks[g]++;
    f.offset_ = f.slot_ * f.DataSize();
    if (dynamic_cast<TCountBin*>(&f)) nullTemplate_ &= ~(1u << f.NullBit());
  }
}

uint8_t* TBinTable::GoToRecord(int32_t recNo) {
  current_ = static_cast<uint8_t*>(index_.Items(recNo));
  return current_;
}

int32_t TBinTable::CompareKeys(const uint8_t* a, const uint8_t* b) const {
  for (int32_t k = 0; k < fields_.KeyCount(); ++k) {
    const TBinField& f = *fields_[k];
    const bool na = f.IsNullIn(a), nb = f.IsNullIn(b);
    int32_t c;
    if (na || nb) c = na == nb ? 0 : (na ? -1 : 1);
    else c = f.CompareValues(a, b);
    if (c != 0) return c;
  }
  return 0;
}

uint32_t TBinTable::Intern(std::string_view text) {
  auto it = stringIds_.find(text);
  if (it != stringIds_.end()) return it->second;
  const auto id = static_cast<uint32_t>(strings_.size());
  strings_.emplace_back(text);
  stringIds_.emplace(std::string_view(strings_.back()), id);
  return id;
}

void TBinTable::MergeInto(uint8_t* into, const uint8_t* from) const {
  for (int32_t i = fields_.KeyCount(); i < fields_.Count(); ++i) {
    const TBinField& f = *fields_[i];
    if (f.IsNullIn(from)) continue;
    if (f.IsNullIn(into)) {
      std::memcpy(f.Data(into), f.Data(from), f.DataSize());
      f.SetNullIn(into, false);
    } else {
      f.Combine(into, from);
    }
  }
}

int32_t TBinTable::AddAggregate(const uint8_t* const* records, int32_t count) {
  uint8_t* record = memory_.Allocate(recordSize_);
  SetNullMask(record, nullTemplate_);
  current_ = record;
  for (int32_t i = fields_.KeyCount(); i < fields_.Count(); ++i)
    fields_[i]->Aggregate(records, count);
  index_.Insert(index_.Count(), record);
  return index_.Count() - 1;
}

// ----------------------------------------------------------------------- load

// The bins found so far, hashed by their key bytes (null mask bits of the
// key columns and the key columns' bytes). Strings are interned, so equal
// keys have equal bytes. Rows come a batch at a time: the batch's hashes
// are computed first, so the hash slot (and then the bin) a row will probe
// is fetched from memory a few rows ahead; with many bins the table is far
// larger than the caches. Merging needs no virtual call for the common
// summaries (float and integer sums, counts).
class TBinTable::TLoadBins {
public:
  explicit TLoadBins(TBinTable& table) : table_(table) {
    for (int32_t k = 0; k < table.fields_.KeyCount(); ++k) {
      const TBinField& f = *table.fields_[k];
      keys_.push_back({f.Offset(), f.DataSize()});
      keyBits_ |= 1u << f.NullBit();
    }
    for (int32_t i = table.fields_.KeyCount(); i < table.fields_.Count(); ++i) {
      const TBinField& f = *table.fields_[i];
      merges_.push_back({f.Offset(), f.DataSize(), 1u << f.NullBit(), MergeOf(f), &f});
    }
    Resize(1024);
  }

  std::vector<uint8_t*>& Records() { return records_; }

  // Each of `count` packed rows becomes a new bin or merges into the bin
  // with its key; `hashes` holds each row's Hash().
  void AddBatch(const uint8_t* rows, const uint64_t* hashes, int32_t count) {
    const size_t size = static_cast<size_t>(table_.recordSize_);
    constexpr int32_t kSlotAhead = 16, kBinAhead = 8;
    for (int32_t i = 0; i < count && i < kSlotAhead; ++i)
      __builtin_prefetch(&slots_[hashes[i] & mask_]);
    for (int32_t i = 0; i < count; ++i) {
      if (i + kSlotAhead < count) __builtin_prefetch(&slots_[hashes[i + kSlotAhead] & mask_]);
      if (i + kBinAhead < count) {
        const Slot& ahead = slots_[hashes[i + kBinAhead] & mask_];
        if (ahead.record) __builtin_prefetch(ahead.record);
      }
      InsertOrMerge(rows + i * size, hashes[i]);
    }
  }

  uint64_t Hash(const uint8_t* record) const {
    uint64_t h = (NullMask(record) & keyBits_) * 0x9E3779B97F4A7C15ull;
    for (const Key& k : keys_) {
      uint64_t v = 0;
      std::memcpy(&v, record + k.offset, k.size);
      h = (h ^ v) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 32;
    }
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
  }

  // The hash slots are not needed after the load.
  void Finish() {
    slotBlock_ = TLargeBlock();
    slots_ = nullptr;
  }

private:
  struct Key {
    int32_t offset;
    int32_t size;
  };
  struct Slot {
    uint64_t hash = 0;
    uint8_t* record = nullptr;  // nullptr: empty
  };
  enum TMergeKind : uint8_t { mkSumDouble, mkSumInt64, mkSumInt32, mkColumn };
  struct Merge {
    int32_t offset;
    int32_t size;
    uint32_t bit;
    TMergeKind kind;
    const TBinField* field;
  };

  static TMergeKind MergeOf(const TBinField& f) {
    const std::type_info& cls = typeid(f);
    if (f.Role() != brSum && f.Role() != brCount) return mkColumn;
    if (cls == typeid(TFloatBin)) return mkSumDouble;
    if (cls == typeid(TLargeIntBin)) return mkSumInt64;
    if (cls == typeid(TCountBin) || cls == typeid(TAvgBin)) return mkSumInt32;
    return mkColumn;
  }

  template <class T>
  static void AddInPlace(uint8_t* into, const uint8_t* from) {
    T a, b;
    std::memcpy(&a, into, sizeof a);
    std::memcpy(&b, from, sizeof b);
    a = CheckedSum(a, b);
    std::memcpy(into, &a, sizeof a);
  }

  // TBinTable::MergeInto for the load's bins.
  void MergeRow(uint8_t* into, const uint8_t* from) const {
    const uint32_t fromNulls = NullMask(from);
    uint32_t intoNulls = NullMask(into);
    for (const Merge& m : merges_) {
      if (fromNulls & m.bit) continue;
      if (intoNulls & m.bit) {
        std::memcpy(into + m.offset, from + m.offset, static_cast<size_t>(m.size));
        intoNulls &= ~m.bit;
        continue;
      }
      switch (m.kind) {
        case mkSumDouble: AddInPlace<double>(into + m.offset, from + m.offset); break;
        case mkSumInt64: AddInPlace<int64_t>(into + m.offset, from + m.offset); break;
        case mkSumInt32: AddInPlace<int32_t>(into + m.offset, from + m.offset); break;
        case mkColumn: m.field->Combine(into, from); break;
      }
    }
    SetNullMask(into, intoNulls);
  }

  void InsertOrMerge(const uint8_t* row, uint64_t h) {
    const size_t mask = mask_;
    for (size_t pos = h & mask;; pos = (pos + 1) & mask) {
      Slot& slot = slots_[pos];
      if (!slot.record) {
        uint8_t* record = table_.memory_.Allocate(table_.recordSize_);
        std::memcpy(record, row, table_.recordSize_);
        records_.push_back(record);
        slot = {h, record};
        // Three quarters full at most: the slots are 16 bytes on fresh
        // pages, and zeroing pages costs more than the longer probe runs.
        if (records_.size() * 4 > (mask_ + 1) * 3) Grow();
        return;
      }
      if (slot.hash == h && Equal(slot.record, row)) {
        MergeRow(slot.record, row);
        return;
      }
    }
  }

  bool Equal(const uint8_t* a, const uint8_t* b) const {
    if ((NullMask(a) ^ NullMask(b)) & keyBits_) return false;
    for (const Key& k : keys_) {
      uint64_t x = 0, y = 0;
      std::memcpy(&x, a + k.offset, static_cast<size_t>(k.size));
      std::memcpy(&y, b + k.offset, static_cast<size_t>(k.size));
      if (x != y) return false;
    }
    return true;
  }

  // A zeroed slot array of `count` (a power of two) slots.
  void Resize(size_t count) {
    slotBlock_ = TLargeBlock(count * sizeof(Slot));
    slots_ = reinterpret_cast<Slot*>(slotBlock_.Data());
    mask_ = count - 1;
  }

  void Grow() {
    TLargeBlock old = std::move(slotBlock_);
    const auto* oldSlots = reinterpret_cast<const Slot*>(old.Data());
    const size_t oldCount = mask_ + 1;
    Resize(oldCount * 2);
    for (size_t i = 0; i < oldCount; ++i) {
      const Slot& slot = oldSlots[i];
      if (!slot.record) continue;
      size_t pos = slot.hash & mask_;
      while (slots_[pos].record) pos = (pos + 1) & mask_;
      slots_[pos] = slot;
    }
  }

  TBinTable& table_;
  std::vector<Key> keys_;
  std::vector<Merge> merges_;
  uint32_t keyBits_ = 0;
  TLargeBlock slotBlock_;
  Slot* slots_ = nullptr;  // zero bytes are an empty slot
  size_t mask_ = 0;
  std::vector<uint8_t*> records_;  // in order of appearance
};

namespace {

bool IsGrouped(TBinType type) {
  return type == binYear || type == binQuarter || type == binMonth || type == binWeek ||
         type == binCustom;
}

bool IsNaN(const Variant& v) {
  const TVarType t = v.VarType();
  return (t == varDouble || t == varSingle || t == varDate) && std::isnan(v.AsDouble());
}

}  // namespace

namespace {

// How a plain field value (TFieldData) goes into a column without a Variant;
// fkNone: only through the Variant.
enum TFastKind : uint8_t {
  fkNone,
  fkInt16,
  fkUInt16,
  fkInt32,
  fkInt64,
  fkDouble,
  fkDate,
  fkString,
  fkCount
};

TFastKind FastKindOf(const TBinField& column, const TField& field, bool customBins) {
  const TFieldType type = field.DataType();
  const bool integer = type == ftInteger || type == ftAutoInc || type == ftSmallint ||
                       type == ftWord || type == ftLargeint;
  const bool date = type == ftDate || type == ftTime || type == ftDateTime || type == ftTimeStamp;
  const bool text =
      type == ftString || type == ftFixedChar || type == ftWideString || type == ftMemo;
  const std::type_info& cls = typeid(column);
  if (cls == typeid(TCountBin))
    return integer || date || text || type == ftFloat ? fkCount : fkNone;
  if (integer) {
    if (cls == typeid(TSmallIntBin)) return fkInt16;
    if (cls == typeid(TWordBin)) return fkUInt16;
    if (cls == typeid(TIntegerBin)) return fkInt32;
    if (cls == typeid(TLargeIntBin)) return fkInt64;
    return fkNone;
  }
  if (type == ftFloat && cls == typeid(TFloatBin)) return fkDouble;
  if (date && (cls == typeid(TDateTimeBin) || cls == typeid(TSQLTimeStampBin)))
    return customBins ? fkNone : fkDate;
  if (text && (cls == typeid(TStringBin) || cls == typeid(TWideStrBin))) return fkString;
  return fkNone;
}

// Grouped dates: the group of a date, remembered, since a table holds far
// fewer distinct dates than rows. Only for the built-in groupings, which
// depend on the date alone.
class TGroupCache {
public:
  double Group(const TDimensionItem& item, double date) {
    uint64_t bits;
    std::memcpy(&bits, &date, sizeof bits);
    Entry& e = entries_[(bits ^ (bits >> 29) ^ (bits >> 41)) & (kSize - 1)];
    if (e.bits != bits) {
      Variant value = Variant::Date(date);
      item.TransformValue(value);
      e = {bits, value.AsDate()};
    }
    return e.group;
  }

private:
  static constexpr size_t kSize = 4096;
  struct Entry {
    uint64_t bits = 0x7FF8000000000001ull;  // a NaN, never looked up
    double group = 0;
  };
  std::vector<Entry> entries_ = std::vector<Entry>(kSize);
};

// The pool ids of a text column's recent texts, found by a few bytes of
// the text: a column holds few distinct texts, and the pool's own lookup
// hashes every byte. A wrong guess is caught by comparing the texts.
class TInternMemo {
public:
  uint32_t Id(TBinTable& table, std::string_view text) {
    uint32_t& id = ids_[Slot(text)];
    if (id != kNone && table.StringAt(id) == text) return id;
    id = table.Intern(text);
    return id;
  }

private:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr size_t kSize = 256;

  static size_t Slot(std::string_view text) {
    const size_t n = text.size();
    if (n == 0) return 0;
    const auto byte = [&](size_t i) {
      return static_cast<uint64_t>(static_cast<unsigned char>(text[i]));
    };
    const uint64_t h =
        (n | byte(0) << 8 | byte(n / 2) << 16 | byte(n - 1) << 24) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 56) & (kSize - 1);
  }

  std::vector<uint32_t> ids_ = std::vector<uint32_t>(kSize, kNone);
};

}  // namespace

void TBinTable::LoadFromDataSet(TCubeProgress& progress, bool parallel) {
  progress.ProgressStatus("Scanning data set values...");
  index_.Clear();
  index_.SetSortOrder(saAscending);
  TDataSet* dataSet = map_.DataSet();
  if (!dataSet) throw EHyError("DataSet not assigned");
  TControlsDisabled disabled(*dataSet);

  struct Source {
    TBinField* column;
    TField* field;
    const TDimensionItem* item;
    bool transform;
    bool key;
    TFastKind fast;
    int32_t offset;
    uint32_t bit;
    std::unique_ptr<TGroupCache> groups;
    std::unique_ptr<TInternMemo> texts;
  };
  std::vector<Source> sources;
  for (int32_t i = 0; i < fields_.Count(); ++i) {
    TBinField* column = fields_[i];
    if (column->Hidden()) continue;
    TDimensionItem* item = column->MapItem();
    TField* field = item ? item->Field() : nullptr;
    if (!field) throw EHyError(Format("%s: field not resolved", column->FieldName().c_str()));
    const bool transform = IsGrouped(item->BinType());
    const TFastKind fast = FastKindOf(*column, *field, item->BinType() == binCustom);
    sources.push_back({column, field, item, transform, i < fields_.KeyCount(), fast,
                       column->Offset(), 1u << column->NullBit(),
                       fast == fkDate && transform ? std::make_unique<TGroupCache>() : nullptr,
                       fast == fkString ? std::make_unique<TInternMemo>() : nullptr});
  }

  TLoadBins bins(*this);
  Variant value;
  TFieldData data;
  int64_t counter = 0;
  uint8_t* row = nullptr;  // the row being read, in its batch
  // The plain value into the scratch record; false when it must take the
  // Variant path (no plain read, another kind, a value out of the column's
  // range or a NaN), which then decides, and raises, exactly as always.
  auto storeFast = [&](Source& source) {
    if (source.fast == fkNone || !source.field->GetData(data)) return false;
    uint8_t* into = row + source.offset;
    if (data.kind == TFieldData::fdNull) {
      SetNullMask(row, NullMask(row) | source.bit);
      return true;
    }
    switch (source.fast) {
      case fkCount: {
        const int32_t one = 1;
        std::memcpy(into, &one, sizeof one);
        break;
      }
      case fkInt16:
      case fkUInt16:
      case fkInt32:
      case fkInt64: {
        if (data.kind != TFieldData::fdInt) return false;
        const int64_t v = data.i;
        if (source.fast == fkInt16) {
          if (v < INT16_MIN || v > INT16_MAX) return false;
          const auto n = static_cast<int16_t>(v);
          std::memcpy(into, &n, sizeof n);
        } else if (source.fast == fkUInt16) {
          if (v < 0 || v > UINT16_MAX) return false;
          const auto n = static_cast<uint16_t>(v);
          std::memcpy(into, &n, sizeof n);
        } else if (source.fast == fkInt32) {
          if (v < INT32_MIN || v > INT32_MAX) return false;
          const auto n = static_cast<int32_t>(v);
          std::memcpy(into, &n, sizeof n);
        } else {
          std::memcpy(into, &v, sizeof v);
        }
        break;
      }
      case fkDouble:
      case fkDate: {
        if (data.kind != TFieldData::fdDouble || std::isnan(data.d)) return false;
        double d = data.d;
        if (source.groups) d = source.groups->Group(*source.item, d);
        if (source.key && std::isnan(d)) return false;
        std::memcpy(into, &d, sizeof d);
        break;
      }
      case fkString: {
        if (data.kind != TFieldData::fdText) return false;
        const uint32_t id = source.texts->Id(*this, data.text);
        std::memcpy(into, &id, sizeof id);
        break;
      }
      case fkNone: return false;
    }
    SetNullMask(row, NullMask(row) & ~source.bit);
    return true;
  };

  // Rows are read into batches; a batch becomes bins on the worker while
  // the next one is read, or right away without one. The reader also
  // hashes each row's key, into the batch's buffer after the rows: from an
  // in-memory dataset the worker bounds the load while the reader waits.
  const size_t size = static_cast<size_t>(recordSize_);
  const size_t hashesAt = kLoadBatchRows * size;  // a multiple of 4096
  const size_t batchBytes = hashesAt + kLoadBatchRows * sizeof(uint64_t);
  const auto hashesOf = [hashesAt](const uint8_t* rows) {
    return reinterpret_cast<const uint64_t*>(rows + hashesAt);
  };
  std::vector<uint8_t> ownBatch;
  std::unique_ptr<TBatchPipeline> pipeline;  // goes before `bins` on every exit
  // The worker must not compare strings: the reader adds to the pool
  // meanwhile. Only a minimum or maximum of a text field would.
  for (int32_t i = fields_.KeyCount(); i < fields_.Count(); ++i)
    if (dynamic_cast<const TStringBin*>(fields_[i])) parallel = false;
  if (parallel && std::thread::hardware_concurrency() >= 2) {
    try {
      pipeline = std::make_unique<TBatchPipeline>(
          batchBytes, kLoadBatches, [&bins, &hashesOf](const uint8_t* rows, int32_t count) {
            bins.AddBatch(rows, hashesOf(rows), count);
          });
    } catch (const std::system_error&) {
      // No thread to be had (a process limit): the load runs on this one.
    }
  }
  if (!pipeline) ownBatch.resize(batchBytes);
  uint8_t* batch = nullptr;
  int32_t filled = 0;
  const auto handOver = [&] {
    if (filled == 0) return;
    if (pipeline) pipeline->Submit(filled);
    else bins.AddBatch(batch, hashesOf(batch), filled);
    batch = nullptr;
    filled = 0;
  };
  for (dataSet->First(); !dataSet->Eof(); dataSet->Next()) {
    if (!batch) batch = pipeline ? pipeline->Free() : ownBatch.data();
    row = batch + filled * size;
    std::memset(row, 0, size);
    SetNullMask(row, nullTemplate_);
    current_ = row;
    for (Source& source : sources) {
      if (storeFast(source)) continue;
      value = source.field->Value();
      if (!value.IsNull()) {
        if (source.transform) source.item->TransformValue(value);
        // NaN has no place in a value order: such a key is no value.
        if (source.key && IsNaN(value)) value = Variant::Null();
      }
      source.column->SetValueOrNull(value);
    }
    reinterpret_cast<uint64_t*>(batch + hashesAt)[filled] = bins.Hash(row);
    if (++filled == kLoadBatchRows) handOver();
    if (++counter % 4096 == 0) progress.ProgressCount(counter);
  }
  handOver();
  if (pipeline) pipeline->Finish();
  current_ = nullptr;
  bins.Finish();
  FinishLoad(bins.Records());
  index_.SetSortOrder(saUnsorted);
  current_ = nullptr;
}

// One key column in the final sort.
struct TBinTable::TKeyColumn {
  enum Kind : uint8_t { kInt16, kUInt16, kInt32, kInt64, kDouble, kBool, kString };
  int32_t offset;
  uint32_t bit;
  Kind kind;
};

// The sort works on packed keys, not on the records: every key column
// becomes a bit field, most significant first, of a presence bit (0 for
// Null, so Nulls come first; only in a column that has Nulls) and its value
// mapped so that unsigned order is the order of the dimension value array,
// less the column's smallest value and in as many bits as its range needs.
// Comparing the packed words compares the records; sorting them touches no
// record, and the narrower the keys, the fewer words each entry moves.
class TBinTable::TSortKeys {
public:
  TSortKeys(const std::vector<TKeyColumn>& keys, const std::vector<uint32_t>& rank,
            const std::vector<uint8_t*>& records)
      : keys_(keys), rank_(rank), ranges_(keys.size()) {
    // One pass over the records, each read once for all its key columns.
    for (const uint8_t* record : records) {
      const uint32_t nulls = NullMask(record);
      for (size_t c = 0; c < keys.size(); ++c) {
        Range& r = ranges_[c];
        if (nulls & keys[c].bit) {
          r.nulls = true;
          continue;
        }
        const uint64_t v = Bits(keys[c], record + keys[c].offset);
        r.min = std::min(r.min, v);
        r.max = std::max(r.max, v);
      }
    }
    int32_t bits = 0;
    for (Range& r : ranges_) {
      r.width = r.min < r.max ? 64 - __builtin_clzll(r.max - r.min) : 0;
      bits += (r.nulls ? 1 : 0) + r.width;
    }
    words_ = std::max(1, (bits + 63) / 64);
  }

  int32_t Words() const { return words_; }

  void Encode(const uint8_t* record, uint64_t* out) const {
    std::fill(out, out + words_, 0);
    int32_t at = 0;
    const uint32_t mask = NullMask(record);
    for (size_t c = 0; c < keys_.size(); ++c) {
      const TKeyColumn& k = keys_[c];
      const Range& r = ranges_[c];
      const bool present = !(mask & k.bit);
      if (r.nulls) Put(out, at, present ? 1 : 0, 1);
      if (r.width > 0) Put(out, at, present ? Bits(k, record + k.offset) - r.min : 0, r.width);
    }
  }

private:
  uint64_t Bits(const TKeyColumn& k, const uint8_t* p) const {
    switch (k.kind) {
      case TKeyColumn::kInt16: return static_cast<uint16_t>(Load<int16_t>(p)) ^ 0x8000u;
      case TKeyColumn::kUInt16: return Load<uint16_t>(p);
      case TKeyColumn::kInt32: return static_cast<uint32_t>(Load<int32_t>(p)) ^ 0x80000000u;
      case TKeyColumn::kInt64: return static_cast<uint64_t>(Load<int64_t>(p)) ^ (1ull << 63);
      case TKeyColumn::kBool: return Load<int16_t>(p) != 0;
      case TKeyColumn::kString: return rank_[Load<uint32_t>(p)];
      case TKeyColumn::kDouble: {
        double v = Load<double>(p);
        if (v == 0) v = 0;  // -0 is 0 in the value array
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return (bits >> 63) ? ~bits : (bits | (1ull << 63));
      }
    }
    return 0;
  }

  // Appends the low `width` bits of `value` at bit `at` (most significant first).
  static void Put(uint64_t* out, int32_t& at, uint64_t value, int32_t width) {
    const int32_t word = at >> 6, used = at & 63, room = 64 - used;
    if (width <= room) {
      out[word] |= value << (room - width);
    } else {
      out[word] |= value >> (width - room);
      out[word + 1] |= value << (64 - (width - room));
    }
    at += width;
  }

  template <class T>
  static T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }

  struct Range {
    uint64_t min = UINT64_MAX, max = 0;
    int32_t width = 0;
    bool nulls = false;
  };

  const std::vector<TKeyColumn>& keys_;
  const std::vector<uint32_t>& rank_;
  std::vector<Range> ranges_;
  int32_t words_ = 1;
};

namespace {

// Sorts `n` entries of W key words and a record pointer in place. Sorting
// the entries themselves, not an index to them, keeps the sort's memory
// access sequential.
// Large sorts are split around a sampled middle key into two parts sorted
// on two threads; the split needs no memory, unlike a merge of halves.
template <size_t W>
void SortEntries(uint64_t* packed, size_t n) {
  struct Entry {
    uint64_t word[W + 1];  // keys, then the record pointer
  };
  static_assert(sizeof(Entry) == (W + 1) * sizeof(uint64_t));
  auto* entries = reinterpret_cast<Entry*>(packed);
  const auto less = [](const Entry& a, const Entry& b) {
    for (size_t w = 0; w < W; ++w)
      if (a.word[w] != b.word[w]) return a.word[w] < b.word[w];
    return false;
  };
  constexpr size_t kParallelSortFrom = 65536;
  if (n >= kParallelSortFrom && std::thread::hardware_concurrency() >= 2) {
    constexpr size_t kSamples = 255;
    std::vector<Entry> sample(kSamples);
    for (size_t i = 0; i < kSamples; ++i) sample[i] = entries[i * (n / kSamples)];
    std::nth_element(sample.begin(), sample.begin() + kSamples / 2, sample.end(), less);
    const Entry pivot = sample[kSamples / 2];
    Entry* middle =
        std::partition(entries, entries + n, [&](const Entry& e) { return less(e, pivot); });
    std::thread other;
    try {
      other = std::thread([&] { std::sort(middle, entries + n, less); });
    } catch (const std::system_error&) {
      std::sort(middle, entries + n, less);  // no thread to be had
    }
    std::sort(entries, middle, less);
    if (other.joinable()) other.join();
    return;
  }
  std::sort(entries, entries + n, less);
}

}  // namespace

// Float keys closer than the key comparison's tolerance are one value, as
// the dimension value array has them: each takes the first (smallest) value
// of its run, so that the sort by exact bits brings their bins together.
// Only values near zero can be that close without being equal.
void TBinTable::MergeNearFloatKeys(std::vector<uint8_t*>& records) const {
  constexpr double kNearZero = 1e-80;
  for (int32_t k = 0; k < fields_.KeyCount(); ++k) {
    const auto* column = dynamic_cast<const TFloatBin*>(fields_[k]);
    if (!column) continue;
    std::vector<double> near;
    bool tiny = false;
    for (const uint8_t* record : records) {
      if (column->IsNullIn(record)) continue;
      const double v = column->Get(record);
      if (std::fabs(v) > kNearZero) continue;
      near.push_back(v == 0 ? 0.0 : v);
      tiny = tiny || v != 0;
    }
    if (!tiny) continue;
    std::sort(near.begin(), near.end());
    near.erase(std::unique(near.begin(), near.end()), near.end());
    std::vector<double> first(near.size());
    for (size_t i = 0; i < near.size(); ++i) {
      const bool sameRun = i > 0 && near[i] - first[i - 1] <= kFloatKeyTolerance;
      first[i] = sameRun ? first[i - 1] : near[i];
    }
    for (uint8_t* record : records) {
      if (column->IsNullIn(record)) continue;
      const double v = column->Get(record);
      if (std::fabs(v) > kNearZero) continue;
      const size_t at = static_cast<size_t>(
          std::lower_bound(near.begin(), near.end(), v == 0 ? 0.0 : v) - near.begin());
      column->Put(record, first[at]);
    }
  }
}

void TBinTable::FinishLoad(std::vector<uint8_t*>& records) {
  std::vector<TKeyColumn> keys;
  bool strings = false;
  for (int32_t k = 0; k < fields_.KeyCount(); ++k) {
    const TBinField* f = fields_[k];
    TKeyColumn::Kind kind;
    if (dynamic_cast<const TStringBin*>(f)) kind = TKeyColumn::kString, strings = true;
    else if (dynamic_cast<const TBooleanBin*>(f)) kind = TKeyColumn::kBool;
    else if (dynamic_cast<const TFloatBin*>(f) || dynamic_cast<const TDateTimeBin*>(f))
      kind = TKeyColumn::kDouble;
    else if (f->DataSize() == 8) kind = TKeyColumn::kInt64;
    else if (dynamic_cast<const TWordBin*>(f)) kind = TKeyColumn::kUInt16;
    else if (f->DataSize() == 2) kind = TKeyColumn::kInt16;
    else kind = TKeyColumn::kInt32;
    keys.push_back({f->Offset(), 1u << f->NullBit(), kind});
  }

  // Strings take their rank among the distinct strings: one sort of the
  // strings instead of a text comparison per record comparison. Strings
  // that compare equal share a rank.
  std::vector<uint32_t> rank;
  if (strings && !strings_.empty()) rank = CollationRanks(strings_);

  MergeNearFloatKeys(records);
  const TSortKeys packer(keys, rank, records);
  const size_t n = records.size();
  const size_t words = static_cast<size_t>(packer.Words());
  // Keys and record pointer side by side.
  const size_t stride = words + 1;
  TLargeBlock packedBlock(n * stride * sizeof(uint64_t));
  auto* packed = reinterpret_cast<uint64_t*>(packedBlock.Data());
  for (size_t i = 0; i < n; ++i) {
    uint64_t* entry = &packed[i * stride];
    packer.Encode(records[i], entry);
    entry[words] = reinterpret_cast<uintptr_t>(records[i]);
  }
  auto less = [&](size_t a, size_t b) {
    const uint64_t* x = &packed[a * stride];
    const uint64_t* y = &packed[b * stride];
    for (size_t w = 0; w < words; ++w)
      if (x[w] != y[w]) return x[w] < y[w];
    return false;
  };
  // Sorted in place for up to three words; with many key columns through
  // an index (empty when the entries themselves are in order).
  std::vector<uint32_t> order;
  switch (words) {
    case 1: SortEntries<1>(packed, n); break;
    case 2: SortEntries<2>(packed, n); break;
    case 3: SortEntries<3>(packed, n); break;
    default:
      order.resize(n);
      std::iota(order.begin(), order.end(), 0u);
      std::sort(order.begin(), order.end(), less);
      break;
  }

  // The records move to fresh pages in sorted order: every later pass (the
  // dimension values, the cell index, cell reads) then walks memory
  // sequentially. Keys with different bytes may still be one value (0 and
  // -0, strings that compare equal): the value arrays hold them once, so
  // must the bins.
  TPagedMem sorted;
  size_t kept = 0;
  size_t last = 0;
  const auto recordAt = [&](size_t i) {
    const size_t e = order.empty() ? i : order[i];
    return reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(packed[e * stride + words]));
  };
  // In key order the records are scattered over the load's pages: each
  // would be a cache miss without asking for it well ahead.
  constexpr size_t kAhead = 16;
  for (size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) __builtin_prefetch(recordAt(i + kAhead));
    const size_t e = order.empty() ? i : order[i];
    const uint8_t* record = recordAt(i);
    if (kept > 0 && !less(last, e)) {
      MergeInto(records[kept - 1], record);
    } else {
      uint8_t* copy = sorted.Allocate(recordSize_);
      std::memcpy(copy, record, recordSize_);
      records[kept++] = copy;
      last = e;
    }
  }
  records.resize(kept);
  memory_.Swap(sorted);  // the load's pages go now

  index_.SetCapacity(static_cast<int32_t>(kept));
  for (uint8_t* record : records) index_.Insert(index_.Count(), record);
}

}  // namespace hy
