// Growable typed arrays on which the cube keeps dimension values, record
// indexes and index lists. Every array can be kept sorted (ascending or
// descending) under a duplicates policy, holds blank (Null) entries virtually
// without storing them, grows in steps and refuses to grow past the process's
// memory budget.
//
// The element classes are one template, TTypedArray<Traits>; the nine classes
// of the family are its instantiations (TPointerArray adds a compare function
// and an overridable search). Elements live in one raw block that is moved
// with memmove, so every element type must be trivially relocatable: strings
// are held as pointers to shared, reference-counted representations.
//
// Not thread-safe: an array and the strings it shares belong to one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/Currency.h"
#include "common/Exceptions.h"
#include "common/Variant.h"

namespace hy {

HY_DECLARE_EXCEPTION(EArrayError, Exception);
HY_DECLARE_EXCEPTION(ELowCapacityError, Exception);
HY_DECLARE_EXCEPTION(EUnsupportedTypeError, Exception);

enum TSortOrder : uint8_t { saUnsorted = 0, saAscending = 1, saDescending = 2 };
enum TDuplicates : uint8_t { dpIgnore = 0, dpAccept = 1, dpError = 2 };
enum TListNotification : uint8_t { lnAdded = 0, lnExtracted = 1, lnDeleted = 2 };

inline constexpr char kLowCapacityMessage[] =
    "The DecisionCube Capacity is low. Please deactivate dimensions or change the data set.";

// Capacities and counts must stay below this many elements.
constexpr int32_t kMaxArrayCapacity = 134217728;  // 2^27

// ---------------------------------------------------------------------------
// Memory budget

// Bytes the process may hold: the smallest of the available physical memory
// plus half of the free swap and what the process's address-space and
// control-group limits leave it; measured on first use and kept (or the
// test budget, when one is set).
int64_t ArrayMemoryBudget();
// The same, measured afresh.
int64_t MeasureMemoryBudget();
// Bytes currently allocated through the C library's allocator, plus the
// blocks the cube maps from the system itself.
int64_t ProcessAllocatedBytes();
// Counts blocks mapped (positive) or unmapped (negative) outside the C
// library's allocator.
void AddMappedBytes(int64_t delta);
// Raises ELowCapacityError when allocating `newBlockBytes` more would exceed
// the budget. Other dense structures of the cube use it too.
void CheckMemoryBudget(int64_t newBlockBytes);
// Raises the exception being handled again; an allocation failure
// (std::bad_alloc) becomes ELowCapacityError with the capacity message.
[[noreturn]] void RethrowAllocationFailure();
// Replaces the measured budget (tests); a negative value restores the
// measured one. Returns the previous override (-1 when there was none).
int64_t SetTestMemoryBudget(int64_t bytes);

// ---------------------------------------------------------------------------
// TBaseArray

class TBaseArray {
public:
  virtual ~TBaseArray();
  TBaseArray(const TBaseArray&) = delete;
  TBaseArray& operator=(const TBaseArray&) = delete;

  virtual const char* ClassName() const = 0;

  // Copies an array of the same element class: clears this one, then adds
  // every stored element of `source` in its stored order (so the copy obeys
  // this array's SortOrder and Duplicates), then its blanks. Any other
  // source raises EConvertError. On failure this array keeps its contents.
  virtual void Assign(const TBaseArray& source);
  // Value at logical index (blanks included): Null for a blank.
  virtual void GetAsVariant(int32_t index, Variant& value) const = 0;
  virtual void Exchange(int32_t i, int32_t j);
  virtual void ItemNotify(int32_t index, TListNotification action);
  virtual void Sort();
  // Adds a value converted to the element type; Null adds a blank. Returns
  // the stored position (no blank offset) or, for Null, AddBlank's result.
  virtual int32_t Add(const Variant& value) = 0;
  // Logical index of `value` (blanks included), or where it would go.
  virtual bool Find(const Variant& value, int32_t& index) const = 0;

  Variant AsVariant(int32_t index) const {
    Variant v;
    GetAsVariant(index, v);
    return v;
  }

  // Adds a blank entry; returns its logical index.
  int32_t AddBlank();
  void Clear();
  void Delete(int32_t index);

  const void* Memory() const { return memory_; }
  int32_t Capacity() const { return capacity_; }
  void SetCapacity(int32_t n);
  int32_t ElementSize() const { return elementSize_; }
  int32_t Count() const { return count_; }
  void SetCount(int32_t n);
  TSortOrder SortOrder() const { return sortOrder_; }
  void SetSortOrder(TSortOrder order) { sortOrder_ = order; }
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  int32_t BlankCount() const { return blankCount_; }
  int32_t TotalCount() const { return count_ + blankCount_; }

protected:
  TBaseArray(int32_t elementSize, int32_t initialCapacity);

  [[noreturn]] static void RangeError(int32_t index);
  void CheckStoredIndex(int32_t index) const {
    if (index < 0 || index >= count_) RangeError(index);
  }
  // Stored index of a logical index, or -1 for a blank.
  int32_t StoredIndex(int32_t logicalIndex) const;
  // Opens a zeroed slot at `index` (growing by one step when full).
  void MakeRoom(int32_t index);

  // The raw storage, detached so that a failed Assign can put it back.
  struct Storage {
    char* memory = nullptr;
    int32_t capacity = 0;
    int32_t count = 0;
    int32_t blankCount = 0;
  };
  Storage DetachStorage();
  void AttachStorage(const Storage& storage);  // the current block must be empty

  char* memory_ = nullptr;
  int32_t capacity_ = 0;
  int32_t elementSize_ = 0;
  int32_t count_ = 0;
  TSortOrder sortOrder_ = saAscending;
  TDuplicates duplicates_ = dpIgnore;
  int32_t blankCount_ = 0;

private:
  void Grow();
};

// ---------------------------------------------------------------------------
// Element traits

// A shared string as a string array holds it; the empty string is nullptr.
struct TStringRep {
  int32_t refs;
  std::string text;
};

template <class T>
struct TNumericArrayTraits {
  using Element = T;  // as stored
  using Param = T;    // as passed in
  using Value = T;    // as read out
  struct State {};
  static constexpr bool kOwnsElements = false;
  // Equal elements are indistinguishable, so a copy may add them in any order.
  static constexpr bool kValueSemantics = true;
  static Value Get(Element e) { return e; }
  static int Compare(const State&, T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }
};

struct TStringArrayTraits {
  using Element = TStringRep*;
  using Param = std::string_view;
  using Value = const std::string&;
  struct State {};
  static constexpr bool kOwnsElements = true;
  static constexpr bool kValueSemantics = true;
  static const std::string& Get(const TStringRep* e) { return e ? e->text : Empty(); }
  static int Compare(const State&, std::string_view a, std::string_view b);
  static const std::string& Empty();
};

// Compares an element of a pointer array (item) with a search key.
using TPointerCompare = std::function<int32_t(const void* item, const void* key)>;

struct TPointerArrayTraits {
  using Element = void*;
  using Param = void*;
  using Value = void*;
  struct State {
    TPointerCompare compare;
  };
  static constexpr bool kOwnsElements = false;
  static constexpr bool kValueSemantics = false;
  static Value Get(Element e) { return e; }
  static int Compare(const State& state, void* item, void* key);
};

// ---------------------------------------------------------------------------
// TTypedArray

template <class Traits>
class TTypedArray : public TBaseArray {
public:
  using Element = typename Traits::Element;
  using Param = typename Traits::Param;
  using Value = typename Traits::Value;

  explicit TTypedArray(int32_t initialCapacity = 0);
  ~TTypedArray() override;

  const char* ClassName() const override;
  void Assign(const TBaseArray& source) override;
  void GetAsVariant(int32_t index, Variant& value) const override;
  void Exchange(int32_t i, int32_t j) override;
  void ItemNotify(int32_t index, TListNotification action) override;
  // Orders the stored elements (descending for saDescending, else
  // ascending). A string array cannot be sorted: assertion failure.
  void Sort() override;
  int32_t Add(const Variant& value) override;
  bool Find(const Variant& value, int32_t& index) const override;

  // Stored element `index` (no blank offset).
  Value Items(int32_t index) const {
    CheckStoredIndex(index);
    return Traits::Get(Data()[index]);
  }
  Value operator[](int32_t index) const { return Items(index); }
  // Replaces stored element `index`; the sort order is not checked.
  void SetItems(int32_t index, Param value);
  // Inserts at stored position `index` (0..Count); the sort order is not checked.
  void Insert(int32_t index, Param value);
  // Typed Add: appends (unsorted) or inserts in order under the duplicates
  // policy. Returns the stored position.
  int32_t AddItem(Param value);
  // Typed Find: logical index (blanks included) as Find gives it.
  bool FindValue(Param value, int32_t& index) const;
  // Binary search over the stored elements: the first position not ordered
  // before `key` (with dpAccept the first of an equal run). Raises for an
  // unsorted array.
  bool Search(Param key, int32_t& position) const;

  const Element* Data() const { return reinterpret_cast<const Element*>(memory_); }

protected:
  // Where a sorted insertion of `key` goes; TPointerArray routes it through
  // its overridable FindItem.
  virtual bool Locate(Param key, int32_t& position) const { return Search(key, position); }
  Element* MutableData() { return reinterpret_cast<Element*>(memory_); }

  typename Traits::State state_;

private:
  // Sorted or appended insertion; `make` yields the element once it is
  // known to go in.
  template <class Make>
  int32_t AddWith(Param key, Make&& make);
  void ReleaseStored(const Storage& storage);
};

using TSmallIntArray = TTypedArray<TNumericArrayTraits<int16_t>>;
using TWordArray = TTypedArray<TNumericArrayTraits<uint16_t>>;
using TIntArray = TTypedArray<TNumericArrayTraits<int32_t>>;
using TInt64Array = TTypedArray<TNumericArrayTraits<int64_t>>;
using TSingleArray = TTypedArray<TNumericArrayTraits<float>>;
using TDoubleArray = TTypedArray<TNumericArrayTraits<double>>;
using TCurrencyArray = TTypedArray<TNumericArrayTraits<Currency>>;
using TStringArray = TTypedArray<TStringArrayTraits>;

// An array of untyped pointers it does not own, ordered through a compare
// function (or an override of FindItem). Has no Variant operations: calling
// them is an assertion failure.
class TPointerArray : public TTypedArray<TPointerArrayTraits> {
public:
  explicit TPointerArray(int32_t initialCapacity = 0);

  const TPointerCompare& Compare() const { return state_.compare; }
  void SetCompare(TPointerCompare compare) { state_.compare = std::move(compare); }

  // Stored position of `key` or where it would be inserted; the default is
  // the binary search through Compare.
  virtual bool FindItem(int32_t& index, const void* key) const;

protected:
  bool Locate(void* key, int32_t& position) const override { return FindItem(position, key); }
};

extern template class TTypedArray<TNumericArrayTraits<int16_t>>;
extern template class TTypedArray<TNumericArrayTraits<uint16_t>>;
extern template class TTypedArray<TNumericArrayTraits<int32_t>>;
extern template class TTypedArray<TNumericArrayTraits<int64_t>>;
extern template class TTypedArray<TNumericArrayTraits<float>>;
extern template class TTypedArray<TNumericArrayTraits<double>>;
extern template class TTypedArray<TNumericArrayTraits<Currency>>;
extern template class TTypedArray<TStringArrayTraits>;
extern template class TTypedArray<TPointerArrayTraits>;

// ---------------------------------------------------------------------------
// TCustomArray: a typed array picked by a Variant type code.

class TCustomArray {
public:
  // Raises EUnsupportedTypeError "Unsupported data type : %s" for a type no
  // array class holds.
  TCustomArray(int32_t initialCapacity, TVarType varType);

  TVarType VarType() const { return varType_; }
  TBaseArray& Items() const { return *items_; }
  int32_t ExtraCount() const { return extraCount_; }
  void SetExtraCount(int32_t count) { extraCount_ = count; }

  void Clear();
  // Sets descending order when `descending`, dpIgnore when
  // `ignoreDuplicates`, then assigns source's items.
  void Assign(const TCustomArray& source, bool descending, bool ignoreDuplicates);

private:
  TVarType varType_;
  std::unique_ptr<TBaseArray> items_;
  int32_t extraCount_ = 0;
};

// The name a type code has in "Unsupported data type : %s".
const char* UnsupportedTypeName(uint16_t varType);

}  // namespace hy
