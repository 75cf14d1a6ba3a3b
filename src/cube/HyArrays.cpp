// TBaseArray (storage, growth, blanks) and TCustomArray.
#include "cube/HyArrays.h"

#include <cstdlib>
#include <cstring>

#include "common/StrUtils.h"

namespace hy {

namespace {

constexpr const char* kUnsortedBlankMessage = "Unsorted arrays don't support blank values";

}  // namespace

TBaseArray::TBaseArray(int32_t elementSize, int32_t initialCapacity) : elementSize_(elementSize) {
  SetCapacity(initialCapacity);
}

TBaseArray::~TBaseArray() { std::free(memory_); }

void TBaseArray::RangeError(int32_t index) {
  throw EArrayError(Format("Array index out of range : %d", index));
}

void TBaseArray::Assign(const TBaseArray& source) {
  throw EConvertError(Format("Cannot assign a %s to a %s", source.ClassName(), ClassName()));
}

void TBaseArray::Exchange(int32_t, int32_t) {}

void TBaseArray::ItemNotify(int32_t, TListNotification) {}

void TBaseArray::Sort() {}

void TBaseArray::SetCapacity(int32_t n) {
  if (n < count_ || n >= kMaxArrayCapacity) RangeError(n);
  if (n == capacity_) return;
  const size_t oldBytes = static_cast<size_t>(capacity_) * elementSize_;
  const size_t newBytes = static_cast<size_t>(n) * elementSize_;
  if (n == 0) {
    std::free(memory_);
    memory_ = nullptr;
    capacity_ = 0;
    return;
  }
  // Shrinking never needs the budget: a Clear must work when memory is short.
  if (n > capacity_) CheckMemoryBudget(static_cast<int64_t>(newBytes));
  auto* block = static_cast<char*>(std::realloc(memory_, newBytes));
  if (!block) throw ELowCapacityError(kLowCapacityMessage);
  if (newBytes > oldBytes) std::memset(block + oldBytes, 0, newBytes - oldBytes);
  memory_ = block;
  capacity_ = n;
}

void TBaseArray::SetCount(int32_t n) {
  if (n < 0 || n >= kMaxArrayCapacity) RangeError(n);
  if (n > capacity_) SetCapacity(n);
  if (n <= count_) {
    for (int32_t i = count_ - 1; i >= n; --i) Delete(i);
  } else {
    std::memset(memory_ + static_cast<size_t>(count_) * elementSize_, 0,
                static_cast<size_t>(n - count_) * elementSize_);
    count_ = n;
  }
}

void TBaseArray::Delete(int32_t index) {
  CheckStoredIndex(index);
  ItemNotify(index, lnDeleted);
  --count_;
  char* slot = memory_ + static_cast<size_t>(index) * elementSize_;
  std::memmove(slot, slot + elementSize_, static_cast<size_t>(count_ - index) * elementSize_);
  // The vacated slot must not keep a second copy of a moved element.
  std::memset(memory_ + static_cast<size_t>(count_) * elementSize_, 0, elementSize_);
}

void TBaseArray::Clear() {
  SetCount(0);
  SetCapacity(0);
  blankCount_ = 0;
}

void TBaseArray::Grow() {
  int32_t delta;
  if (capacity_ >= 65) delta = capacity_ / 4;
  else if (capacity_ >= 9) delta = 16;
  else delta = 4;
  int32_t next = capacity_ + delta;
  // Near the limit take what is left rather than fail early.
  if (next >= kMaxArrayCapacity && capacity_ < kMaxArrayCapacity - 1) next = kMaxArrayCapacity - 1;
  SetCapacity(next);
}

void TBaseArray::MakeRoom(int32_t index) {
  if (count_ == capacity_) Grow();
  char* slot = memory_ + static_cast<size_t>(index) * elementSize_;
  std::memmove(slot + elementSize_, slot, static_cast<size_t>(count_ - index) * elementSize_);
  std::memset(slot, 0, elementSize_);
  ++count_;
}

int32_t TBaseArray::AddBlank() {
  // Checked first, so that a refused blank leaves the array as it was.
  if (sortOrder_ == saUnsorted) throw EArrayError(kUnsortedBlankMessage);
  switch (duplicates_) {
    case dpIgnore: blankCount_ = 1; break;
    case dpAccept: ++blankCount_; break;
    case dpError:
      if (blankCount_ > 0) throw EArrayError("Duplicate item in array");
      ++blankCount_;
      break;
  }
  return sortOrder_ == saAscending ? 0 : count_;
}

int32_t TBaseArray::StoredIndex(int32_t logicalIndex) const {
  if (logicalIndex < 0 || logicalIndex >= TotalCount()) RangeError(logicalIndex);
  switch (sortOrder_) {
    case saAscending: return logicalIndex < blankCount_ ? -1 : logicalIndex - blankCount_;
    case saDescending: return logicalIndex < count_ ? logicalIndex : -1;
    case saUnsorted: break;
  }
  if (blankCount_ > 0) throw EArrayError(kUnsortedBlankMessage);
  return logicalIndex;
}

TBaseArray::Storage TBaseArray::DetachStorage() {
  Storage s{memory_, capacity_, count_, blankCount_};
  memory_ = nullptr;
  capacity_ = count_ = blankCount_ = 0;
  return s;
}

void TBaseArray::AttachStorage(const Storage& s) {
  std::free(memory_);
  memory_ = s.memory;
  capacity_ = s.capacity;
  count_ = s.count;
  blankCount_ = s.blankCount;
}

// ---------------------------------------------------------------------------

const char* UnsupportedTypeName(uint16_t varType) {
  switch (varType) {
    case 0x0000: return "Empty";
    case 0x0001: return "Null";
    case 0x0008: return "OleStr";
    case 0x0009: return "Dispatch";
    case 0x000A: return "Error";
    case 0x000C: return "Variant";
    case 0x0011: return "Byte";
    case 0x0FFF: return "TypeMask";
    case 0x2000: return "Array";
    case 0x4000: return "ByRef";
    default: return "Unknown";
  }
}

namespace {

std::unique_ptr<TBaseArray> MakeArrayFor(int32_t initialCapacity, TVarType varType) {
  switch (varType) {
    case varSmallint: return std::make_unique<TSmallIntArray>(initialCapacity);
    case varInteger: return std::make_unique<TIntArray>(initialCapacity);
    case varSingle: return std::make_unique<TSingleArray>(initialCapacity);
    case varDouble:
    case varDate: return std::make_unique<TDoubleArray>(initialCapacity);
    case varCurrency: return std::make_unique<TCurrencyArray>(initialCapacity);
    case varBoolean: return std::make_unique<TWordArray>(initialCapacity);
    case varString: return std::make_unique<TStringArray>(initialCapacity);
    default: break;
  }
  throw EUnsupportedTypeError(Format("Unsupported data type : %s", UnsupportedTypeName(varType)));
}

}  // namespace

TCustomArray::TCustomArray(int32_t initialCapacity, TVarType varType)
    : varType_(varType), items_(MakeArrayFor(initialCapacity, varType)) {}

void TCustomArray::Clear() {
  items_->Clear();
  extraCount_ = 0;
}

void TCustomArray::Assign(const TCustomArray& source, bool descending, bool ignoreDuplicates) {
  if (descending) items_->SetSortOrder(saDescending);
  if (ignoreDuplicates) items_->SetDuplicates(dpIgnore);
  items_->Assign(*source.items_);
}

}  // namespace hy
