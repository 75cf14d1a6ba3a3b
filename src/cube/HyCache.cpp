// The cell cache: meta data, distinct dimension values, the dense cell index
// and cell reads with lazily computed totals.
#include "cube/HyCache.h"

#include <algorithm>
#include <cstring>

#include "common/Format.h"
#include "common/StrUtils.h"
#include "cube/HyArrays.h"
#include "cube/HyBin.h"
#include "cube/HyExpr.h"
#include "cube/HyMap.h"
#include "cube/HyProgress.h"
#include "cube/HyStore.h"

namespace hy {

namespace {

// Coordinates are 16-bit: a dimension with more values could not be
// addressed and its cells would read as the wrong ones.
constexpr int32_t kMaxDimensionValues = 32767;

// The value array class of a key column's data type, or nullptr.
std::unique_ptr<TBaseArray> MakeValueArray(TFieldType type) {
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString: return std::make_unique<TStringArray>();
    case ftSmallint: return std::make_unique<TSmallIntArray>();
    case ftInteger:
    case ftAutoInc: return std::make_unique<TIntArray>();
    case ftWord:
    case ftBoolean: return std::make_unique<TWordArray>();
    case ftLargeint: return std::make_unique<TInt64Array>();
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: return std::make_unique<TDoubleArray>();
    case ftBCD: return std::make_unique<TCurrencyArray>();
    default: return nullptr;
  }
}

[[noreturn]] void RaiseDimensionType(const std::string& fieldName, const std::string& typeName) {
  throw EHyCache(Format("Field '%s' of type %s cannot be used as a dimension", fieldName.c_str(),
                        typeName.c_str()));
}

// Something per distinct value of a key column, found by the value's bytes
// in a bin record: a dimension has few values and the table many records,
// so each value is converted and searched for once.
class TKeyMemo {
public:
  explicit TKeyMemo(const TBinField& column)
      : offset_(column.Offset()), size_(column.DataSize()), column_(column) {
    slots_.resize(64);
  }

  // Whether two records hold the same key bytes, or both Null.
  bool SameIn(const uint8_t* a, const uint8_t* b) const {
    const bool na = column_.IsNullIn(a), nb = column_.IsNullIn(b);
    if (na || nb) return na == nb;
    return Key(a) == Key(b);
  }

  // The slot of the record's value; `found` tells whether it held one.
  int32_t& Slot(const uint8_t* record, bool& found) {
    if (column_.IsNullIn(record)) {
      found = nullSet_;
      nullSet_ = true;
      return nullValue_;
    }
    const uint64_t key = Key(record);
    const size_t mask = slots_.size() - 1;
    for (size_t pos = Mix(key) & mask;; pos = (pos + 1) & mask) {
      Entry& e = slots_[pos];
      if (e.used && e.key == key) {
        found = true;
        return e.value;
      }
      if (!e.used) {
        if ((count_ + 1) * 2 > slots_.size()) {
          Grow();
          return Slot(record, found);
        }
        ++count_;
        e = {key, 0, true};
        found = false;
        return e.value;
      }
    }
  }

private:
  struct Entry {
    uint64_t key = 0;
    int32_t value = 0;
    bool used = false;
  };

  // The key bytes, loaded by their size (no call for the common sizes).
  uint64_t Key(const uint8_t* record) const {
    const uint8_t* p = record + offset_;
    switch (size_) {
      case 8: return Load<uint64_t>(p);
      case 4: return Load<uint32_t>(p);
      case 2: return Load<uint16_t>(p);
      default: {
        uint64_t key = 0;
        std::memcpy(&key, p, static_cast<size_t>(size_));
        return key;
      }
    }
  }

  // Every key bit reaches the low bits: the keys of dates and other
  // doubles differ in their high bits only.
  static uint64_t Mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
  }

  template <class T>
  static T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }

  void Grow() {
    std::vector<Entry> old(slots_.size() * 2);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Entry& e : old) {
      if (!e.used) continue;
      size_t pos = Mix(e.key) & mask;
      while (slots_[pos].used) pos = (pos + 1) & mask;
      slots_[pos] = e;
    }
  }

  int32_t offset_;
  int32_t size_;
  const TBinField& column_;
  std::vector<Entry> slots_;
  size_t count_ = 0;
  bool nullSet_ = false;
  int32_t nullValue_ = 0;
};

}  // namespace

void CheckDimensionType(const TField& field) {
  if (!MakeValueArray(field.DataType())) RaiseDimensionType(field.FieldName(), field.TypeName());
}

// ----------------------------------------------------------------- TDimension

TDimension::~TDimension() = default;

int32_t TDimension::GetValueCount() const { return values_ ? values_->TotalCount() : 0; }

int32_t TDimension::ValueIndex(int32_t displayIndex) const {
  if (displayIndex < 0 || displayIndex >= GetValueCount())
    throw EHyCache(Format("Dimension value index out of range: %d", displayIndex));
  return order_.empty() ? displayIndex : order_[displayIndex];
}

Variant TDimension::GetValue(int32_t index) const { return values_->AsVariant(ValueIndex(index)); }

std::string TDimension::GetValueCaption(int32_t index) const {
  const int32_t v = ValueIndex(index);
  if (!lookupText_.empty()) return lookupText_[v];
  const Variant value = values_->AsVariant(v);
  if (value.IsNull()) return "Null";
  if (value.VarType() == varString || !MapItem()) return value.AsString();
  return MapItem()->FormatValue(value);
}

// ------------------------------------------------------------------ summaries

std::string TAbstractSummary::GetAsString(const TCoords& coords) const {
  std::string text;
  const int32_t r = cache_->CellRecord(coords);
  if (r >= 0) GetRecordText(r, text);
  return text;
}

void TSummary::GetRecordText(int32_t recNo, std::string& text) const {
  column_->StringOrNullIn(cache_->BinTable()->Record(recNo), text);
}

Variant TSummary::GetValue(const TCoords& coords) const {
  const int32_t r = cache_->CellRecord(coords);
  if (r < 0) return Variant();
  return GetRecordValue(r);
}

Variant TSummary::GetRecordValue(int32_t recNo) const {
  Variant value;
  column_->ValueOrNullIn(cache_->BinTable()->Record(recNo), value);
  return value;
}

Variant TDerivedSummary::GetRecordValue(int32_t recNo) const {
  Variant value;
  if (const TExpr* expr = MapItem() ? ItemExpression(*MapItem()) : nullptr)
    expr->Evaluate(recNo, value);
  return value;
}

Variant TDerivedSummary::GetValue(const TCoords& coords) const {
  const int32_t r = cache_->CellRecord(coords);
  if (r < 0) return Variant();
  return GetRecordValue(r);
}

void TDerivedSummary::GetRecordText(int32_t recNo, std::string& text) const {
  const Variant value = GetRecordValue(recNo);
  static const std::string kNoFormat;
  const std::string& format = MapItem() ? MapItem()->Format() : kNoFormat;
  switch (value.VarType()) {
    case varInteger:
    case varDouble: text = FormatFloat(format, value.AsDouble()); break;
    case varCurrency: text = FormatCurr(format, value.AsCurrency()); break;
    case varDate: text = FormatDateTime(format, value.AsDate()); break;
    default: text = value.ToText(); break;
  }
}

// ----------------------------------------------------------------- TDataCache

TDataCache::TDataCache(THyCustomStore* store) : store_(store) {}

TDataCache::~TDataCache() { Clear(); }

void TDataCache::SetBinTable(std::unique_ptr<TBinTable> table) {
  // The objects read the old table's columns: they go with it.
  if (binTable_ && table.get() != binTable_.get()) {
    summaries_.clear();
    dimensions_.clear();
    derivedCount_ = 0;
    currentSummary_ = 0;
    cellIndex_.clear();
    cellIndex_.shrink_to_fit();
  }
  binTable_ = std::move(table);
}

void TDataCache::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (!value) Clear();
}

void TDataCache::Clear() {
  cellIndex_.clear();
  cellIndex_.shrink_to_fit();
  multipliers_.clear();
  baseOffset_ = 0;
  pendingCount_ = 0;
  summaries_.clear();
  dimensions_.clear();
  derivedCount_ = 0;
  currentSummary_ = 0;
  binTable_.reset();
}

TDimension* TDataCache::Dimensions(int32_t index) const {
  if (index < 0 || index >= GetDimensionCount())
    throw EListError(Format("List index out of bounds (%d)", index));
  return dimensions_[index].get();
}

TAbstractSummary* TDataCache::Summaries(int32_t index) const {
  if (index < 0 || index >= GetSummaryCount())
    throw EListError(Format("List index out of bounds (%d)", index));
  return summaries_[index].get();
}

void TDataCache::SetCurrentSummary(int32_t index) {
  if (index == currentSummary_) return;
  HyAssert(index >= 0 && index < GetSummaryCount(), "HyCache", "Error in summary selection");
  currentSummary_ = index;
}

void TDataCache::SetSuppressEmpty(bool value) { flags_ = value ? (flags_ | 1) : (flags_ & ~1); }

std::string TDataCache::GetSummaryAsString(const TCoords& coords) const {
  return Summaries(currentSummary_)->GetAsString(coords);
}

Variant TDataCache::GetSummaryValue(const TCoords& coords) const {
  return Summaries(currentSummary_)->GetValue(coords);
}

bool TDataCache::IsEmptyCell(const TCoords& coords) const { return CellRecord(coords) == -1; }

// ------------------------------------------------------------------ meta data

void TDataCache::CreateMetaData() {
  HyAssert(binTable_ != nullptr, "HyCache", "No bin table");
  summaries_.clear();
  dimensions_.clear();
  derivedCount_ = 0;
  currentSummary_ = 0;

  const TBinFields& fields = binTable_->Fields();
  for (int32_t k = 0; k < fields.KeyCount(); ++k) {
    TBinField* column = fields[k];
    auto dimension = std::make_unique<TDimension>();
    dimension->values_ = MakeValueArray(column->DataType());
    if (!dimension->values_) RaiseDimensionType(column->FieldName(), column->TypeName());
    dimension->SetMapItem(column->MapItem());
    dimensions_.push_back(std::move(dimension));
  }
  for (int32_t i = fields.KeyCount(); i < fields.Count(); ++i) {
    TBinField* column = fields[i];
    if (column->Hidden()) continue;
    auto summary = std::make_unique<TSummary>(column);
    summary->cache_ = this;
    summary->summaryIndex_ = GetSummaryCount();
    summary->SetMapItem(column->MapItem());
    summaries_.push_back(std::move(summary));
  }
  THyMap& map = binTable_->Map();
  for (int i = 0; i < map.Count(); ++i) {
    THyMapItem* item = map.Items(i);
    if (!item->Active() || item->DimensionType() != dimDerived) continue;
    auto summary = std::make_unique<TDerivedSummary>();
    summary->cache_ = this;
    summary->summaryIndex_ = GetSummaryCount();
    summary->SetMapItem(item);
    summaries_.push_back(std::move(summary));
    ++derivedCount_;
  }
}

void TDataCache::CompressDimensions(TCubeProgress& progress) {
  const int32_t records = binTable_->RecordCount();
  // More values than that are refused below; the arrays grow if need be.
  for (auto& dimension : dimensions_)
    dimension->values_->SetCapacity(std::min(records, kMaxDimensionValues + 1));
  progress.ProgressStage("Compress Dimensions...", records);
  const TBinFields& fields = binTable_->Fields();
  std::vector<TKeyMemo> seen;
  for (int32_t k = 0; k < GetDimensionCount(); ++k) seen.emplace_back(*fields[k]);
  const uint8_t* previous = nullptr;
  for (int32_t r = 0; r < records; ++r) {
    const uint8_t* record = binTable_->GoToRecord(r);
    for (int32_t k = 0; k < GetDimensionCount(); ++k) {
      // A key equal to the previous record's (records come in key order) or
      // with the bytes of one added before is already among the values.
      if (previous && seen[k].SameIn(previous, record)) continue;
      bool found;
      seen[k].Slot(record, found);
      if (!found) dimensions_[k]->values_->Add(fields[k]->ValueOrNull());
    }
    previous = record;
    progress.ProgressStep();
  }
  for (auto& dimension : dimensions_) {
    const int32_t count = dimension->values_->TotalCount();
    if (count > kMaxDimensionValues) {
      throw EHyCache(Format("Dimension '%s' has %d values; at most %d can be shown",
                            dimension->GetCaption().empty()
                                ? dimension->MapItem()->FieldName().c_str()
                                : dimension->GetCaption().c_str(),
                            count, kMaxDimensionValues));
    }
    dimension->values_->SetCapacity(count);
    dimension->recordScratch_.assign(count, nullptr);
  }
}

// ----------------------------------------------------------------- cell index

void TDataCache::BuildCellIndex() {
  cellIndex_.clear();
  cellIndex_.shrink_to_fit();
  const int32_t dims = GetDimensionCount();
  std::vector<int32_t> counts(dims);
  multipliers_.assign(dims, 0);
  int64_t slots = 1;
  for (int32_t d = dims - 1; d >= 0; --d) {
    counts[d] = dimensions_[d]->GetValueCount();
    multipliers_[d] = slots;
    slots *= counts[d] + 1;
    // Beyond 32-bit record slots no budget holds the index anyway.
    if (slots > INT32_MAX) throw ELowCapacityError(kLowCapacityMessage);
  }
  baseOffset_ = 0;
  for (int64_t m : multipliers_) baseOffset_ += m;
  CheckMemoryBudget(slots * static_cast<int64_t>(sizeof(int32_t)));
  // A slot with the total (0) in some dimension is computed when first read
  // (-2); those come in runs: of multipliers_[d] slots, one run every
  // (counts[d] + 1) of them. Every other slot holds its record or none (-1).
  cellIndex_.assign(static_cast<size_t>(slots), -1);
  int64_t detail = 1;
  for (int32_t d = 0; d < dims; ++d) {
    detail *= counts[d];
    const int64_t run = multipliers_[d], period = run * (counts[d] + 1);
    for (int64_t start = 0; start < slots; start += period)
      std::fill_n(cellIndex_.begin() + start, run, -2);
  }
  pendingCount_ = slots - detail;

  const TBinFields& fields = binTable_->Fields();
  const int32_t records = binTable_->RecordCount();
  std::vector<int32_t> keyPos(dims, 0);
  std::vector<TKeyMemo> positions;
  for (int32_t d = 0; d < dims; ++d) positions.emplace_back(*fields[d]);
  auto locate = [&](int32_t d) {
    bool found;
    int32_t& position = positions[d].Slot(binTable_->Current(), found);
    if (!found) {
      int32_t index;
      if (!dimensions_[d]->values_->Find(fields[d]->ValueOrNull(), index))
        throw EHyCache("Algorithm Error");
      position = index + 1;
    }
    keyPos[d] = position;
  };

  // Records come in key order, so their slots ascend; a slot that does not
  // would be a record lost.
  const uint8_t* previous = nullptr;
  int64_t previousSlot = -1;
  int32_t r = 0;
  for (; r < records; ++r) {
    const uint8_t* record = binTable_->GoToRecord(r);
    int64_t s = 0;
    for (int32_t d = 0; d < dims; ++d) {
      if (!previous || !positions[d].SameIn(previous, record)) locate(d);
      s += multipliers_[d] * keyPos[d];
    }
    if (s <= previousSlot) break;
    cellIndex_[static_cast<size_t>(s)] = r;
    previousSlot = s;
    previous = record;
  }
  // Every record must have found its slot; one left over would be data lost.
  if (r != records) throw EHyCache("Algorithm Error");
}

int64_t TDataCache::SlotOf(const TCoords& coords) const {
  HyAssert(!cellIndex_.empty(), "HyCache", "Cell index not built");
  const int32_t dims = GetDimensionCount();
  HyAssert(static_cast<int32_t>(coords.size()) == dims, "HyCache", "Coordinate count");
  int64_t slot = baseOffset_;
  for (int32_t d = 0; d < dims; ++d) {
    const int32_t c = coords[d];
    if (c == -1) {
      slot -= multipliers_[d];
      continue;
    }
    slot += multipliers_[d] * dimensions_[d]->ValueIndex(c);
  }
  return slot;
}

int32_t TDataCache::CellRecord(const TCoords& coords) const {
  const int64_t slot = SlotOf(coords);
  if (cellIndex_[slot] == -2) ComputeTotal(coords, 0, slot);
  return cellIndex_[slot];
}

void TDataCache::ComputeTotal(const TCoords& coords, int32_t startDim, int64_t slot) const {
  const int32_t dims = GetDimensionCount();
  int32_t d = startDim;
  while (d < dims && coords[d] != -1) ++d;
  HyAssert(d < dims, "HyCache", "Total without an open dimension");
  TDimension& dimension = *dimensions_[d];
  const int64_t step = multipliers_[d];
  const int32_t values = dimension.GetValueCount();
  int32_t n = 0, single = -1;
  int64_t p = slot;
  for (int32_t k = 0; k < values; ++k) {
    p += step;
    if (cellIndex_[p] == -2) ComputeTotal(coords, d + 1, p);
    const int32_t child = cellIndex_[p];
    if (child >= 0) {
      dimension.recordScratch_[n++] = binTable_->Record(child);
      single = child;
    }
  }
  if (n == 0) cellIndex_[slot] = -1;
  else if (n == 1) cellIndex_[slot] = single;
  else cellIndex_[slot] = binTable_->AddAggregate(dimension.recordScratch_.data(), n);
  --pendingCount_;
}

}  // namespace hy
