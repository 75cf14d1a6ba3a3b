// The element classes: one template, instantiated here for the nine types.
#include <algorithm>
#include <type_traits>
#include <utility>

#include "common/StrUtils.h"
#include "cube/HyArrays.h"
#include "cube/HyCollate.h"

namespace hy {

namespace {

template <class Traits>
constexpr bool kIsString = std::is_same_v<Traits, TStringArrayTraits>;
template <class Traits>
constexpr bool kIsPointer = std::is_same_v<Traits, TPointerArrayTraits>;

// --- element lifetime -------------------------------------------------------

TStringRep* MakeElement(std::string_view text) {
  return text.empty() ? nullptr : new TStringRep{1, std::string(text)};
}
template <class T>
T MakeElement(T value) {
  return value;
}

TStringRep* RetainElement(TStringRep* rep) {
  if (rep) ++rep->refs;
  return rep;
}
template <class T>
T RetainElement(T value) {
  return value;
}

void ReleaseElement(TStringRep* rep) {
  if (rep && --rep->refs == 0) delete rep;
}
template <class T>
void ReleaseElement(T) {}

// --- Variant conversion -----------------------------------------------------

[[noreturn]] void CannotConvert(const Variant& v, const char* target) {
  throw EVariantError(Format("Could not convert variant of type (%s) into type (%s)",
                             VarTypeName(v.VarType()), target));
}

template <class T>
T FromVariant(const Variant& v) {
  if constexpr (std::is_same_v<T, int16_t>) {
    if (v.VarType() == varBoolean) return v.AsBoolean() ? -1 : 0;
    const int32_t x = v.AsInteger();
    if (x < INT16_MIN || x > INT16_MAX) CannotConvert(v, "Smallint");
    return static_cast<int16_t>(x);
  } else if constexpr (std::is_same_v<T, uint16_t>) {
    // A Boolean is stored as the 16-bit word it is on disk: True = all bits set.
    if (v.VarType() == varBoolean) return v.AsBoolean() ? 0xFFFF : 0;
    const int32_t x = v.AsInteger();
    if (x < 0 || x > UINT16_MAX) CannotConvert(v, "Word");
    return static_cast<uint16_t>(x);
  } else if constexpr (std::is_same_v<T, int32_t>) {
    return v.AsInteger();
  } else if constexpr (std::is_same_v<T, int64_t>) {
    return v.AsInt64();
  } else if constexpr (std::is_same_v<T, float>) {
    return static_cast<float>(v.AsDouble());
  } else if constexpr (std::is_same_v<T, double>) {
    return v.AsDouble();
  } else if constexpr (std::is_same_v<T, Currency>) {
    return v.AsCurrency();
  } else {
    static_assert(std::is_same_v<T, std::string>);
    return v.AsString();
  }
}

template <class T>
Variant ToVariant(T value) {
  if constexpr (std::is_same_v<T, int16_t>) return Variant::Smallint(value);
  else if constexpr (std::is_same_v<T, uint16_t>) return Variant(static_cast<int32_t>(value));
  else if constexpr (std::is_same_v<T, float>) return Variant(static_cast<double>(value));
  else return Variant(std::move(value));
}

// The Variant form of an element type (a string array works with std::string).
template <class Traits>
using Holder = std::conditional_t<kIsString<Traits>, std::string, typename Traits::Element>;

void NoVariantAccess() { HyAssert(false, "HyArrays", "TPointerArray has no Variant access"); }

}  // namespace

// --- traits -------------------------------------------------------------------

int TStringArrayTraits::Compare(const State&, std::string_view a, std::string_view b) {
  return CollateCompare(a, b);
}

const std::string& TStringArrayTraits::Empty() {
  static const std::string empty;
  return empty;
}

int TPointerArrayTraits::Compare(const State& state, void* item, void* key) {
  HyAssert(static_cast<bool>(state.compare), "HyArrays", "TPointerArray without Compare");
  return state.compare(item, key);
}

// --- TTypedArray --------------------------------------------------------------

template <class Traits>
TTypedArray<Traits>::TTypedArray(int32_t initialCapacity)
    : TBaseArray(static_cast<int32_t>(sizeof(Element)), initialCapacity) {}

template <class Traits>
TTypedArray<Traits>::~TTypedArray() {
  ReleaseStored(Storage{memory_, capacity_, count_, blankCount_});
}

template <class Traits>
void TTypedArray<Traits>::ReleaseStored(const Storage& storage) {
  if constexpr (Traits::kOwnsElements) {
    const auto* elements = reinterpret_cast<const Element*>(storage.memory);
    for (int32_t i = 0; i < storage.count; ++i) ReleaseElement(elements[i]);
  }
}

template <class Traits>
const char* TTypedArray<Traits>::ClassName() const {
  using E = Element;
  if constexpr (kIsString<Traits>) return "TStringArray";
  else if constexpr (kIsPointer<Traits>) return "TPointerArray";
  else if constexpr (std::is_same_v<E, int16_t>) return "TSmallIntArray";
  else if constexpr (std::is_same_v<E, uint16_t>) return "TWordArray";
  else if constexpr (std::is_same_v<E, int32_t>) return "TIntArray";
  else if constexpr (std::is_same_v<E, int64_t>) return "TInt64Array";
  else if constexpr (std::is_same_v<E, float>) return "TSingleArray";
  else if constexpr (std::is_same_v<E, double>) return "TDoubleArray";
  else return "TCurrencyArray";
}

template <class Traits>
bool TTypedArray<Traits>::Search(Param key, int32_t& position) const {
  if (sortOrder_ == saUnsorted) throw Exception("Find in unsorted array");
  const Element* d = Data();
  const bool accept = duplicates_ == dpAccept;
  const bool descending = sortOrder_ == saDescending;
  int32_t lo = 0, hi = count_ - 1;
  bool found = false;
  // Keys that arrive in order go after the last element: one comparison.
  if (hi >= 0) {
    const int c = Traits::Compare(state_, Traits::Get(d[hi]), key);
    if (descending ? c > 0 : c < 0) {
      position = count_;
      return false;
    }
  }
  while (lo <= hi) {
    const int32_t mid = static_cast<int32_t>(static_cast<uint32_t>(lo + hi) >> 1);
    int c = Traits::Compare(state_, Traits::Get(d[mid]), key);
    if (descending) c = -c;
    if (c >= 0) {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (!accept) lo = mid;
      }
    } else {
      lo = mid + 1;
    }
  }
  position = lo;
  return found;
}

template <class Traits>
template <class Make>
int32_t TTypedArray<Traits>::AddWith(Param key, Make&& make) {
  int32_t pos = count_;
  if (sortOrder_ != saUnsorted && Locate(key, pos)) {
    if (duplicates_ == dpIgnore) return pos;
    if (duplicates_ == dpError)
      throw EArrayError(kIsString<Traits> ? "String list does not allow duplicates."
                                          : "Duplicate item in array");
  }
  HyAssert(pos >= 0 && pos <= count_, "HyArrays", "insert position out of range");
  Element element = make();
  try {
    MakeRoom(pos);
  } catch (...) {
    ReleaseElement(element);
    throw;
  }
  MutableData()[pos] = element;
  return pos;
}

template <class Traits>
int32_t TTypedArray<Traits>::AddItem(Param value) {
  return AddWith(value, [&] { return MakeElement(value); });
}

template <class Traits>
bool TTypedArray<Traits>::FindValue(Param value, int32_t& index) const {
  int32_t pos = 0;
  const bool found = Search(value, pos);
  index = sortOrder_ == saAscending ? pos + blankCount_ : pos;
  return found;
}

template <class Traits>
void TTypedArray<Traits>::SetItems(int32_t index, Param value) {
  CheckStoredIndex(index);
  Element element = MakeElement(value);
  ReleaseElement(MutableData()[index]);
  MutableData()[index] = element;
}

template <class Traits>
void TTypedArray<Traits>::Insert(int32_t index, Param value) {
  if (index < 0 || index > count_) RangeError(index);
  Element element = MakeElement(value);
  try {
    MakeRoom(index);
  } catch (...) {
    ReleaseElement(element);
    throw;
  }
  MutableData()[index] = element;
}

template <class Traits>
void TTypedArray<Traits>::Assign(const TBaseArray& source) {
  if (&source == this) return;
  const auto* src = dynamic_cast<const TTypedArray*>(&source);
  if (!src) {
    TBaseArray::Assign(source);
    return;
  }
  if (src->blankCount_ > 0 && sortOrder_ == saUnsorted)
    throw EArrayError("Unsorted arrays don't support blank values");

  // Build into a fresh block; the old contents come back if anything fails.
  const Storage old = DetachStorage();
  try {
    SetCapacity(src->count_);
    const Element* s = src->Data();
    const int32_t n = src->count_;
    // Adding a reversed source from its end appends instead of inserting at
    // the front each time; equal elements are indistinguishable here.
    const bool reversed = Traits::kValueSemantics && sortOrder_ != saUnsorted &&
                          src->sortOrder_ != saUnsorted && src->sortOrder_ != sortOrder_;
    for (int32_t k = 0; k < n; ++k) {
      const Element e = s[reversed ? n - 1 - k : k];
      AddWith(Traits::Get(e), [e] { return RetainElement(e); });
    }
    for (int32_t b = 0; b < src->blankCount_; ++b) AddBlank();
  } catch (...) {
    const Storage fresh = DetachStorage();
    ReleaseStored(fresh);
    std::free(fresh.memory);
    AttachStorage(old);
    throw;
  }
  ReleaseStored(old);
  std::free(old.memory);
}

template <class Traits>
void TTypedArray<Traits>::GetAsVariant(int32_t index, Variant& value) const {
  if constexpr (kIsPointer<Traits>) {
    NoVariantAccess();
  } else {
    const int32_t stored = StoredIndex(index);
    if (stored < 0) value = Variant::Null();
    else value = ToVariant(Traits::Get(Data()[stored]));
  }
}

template <class Traits>
int32_t TTypedArray<Traits>::Add(const Variant& value) {
  if constexpr (kIsPointer<Traits>) {
    NoVariantAccess();
    return -1;
  } else {
    if (value.IsNull()) return AddBlank();
    const Holder<Traits> converted = FromVariant<Holder<Traits>>(value);
    return AddItem(converted);
  }
}

template <class Traits>
bool TTypedArray<Traits>::Find(const Variant& value, int32_t& index) const {
  if constexpr (kIsPointer<Traits>) {
    NoVariantAccess();
    return false;
  } else {
    if (value.IsNull()) {
      index = sortOrder_ == saAscending ? 0 : count_;
      return blankCount_ > 0;
    }
    const Holder<Traits> converted = FromVariant<Holder<Traits>>(value);
    return FindValue(converted, index);
  }
}

template <class Traits>
void TTypedArray<Traits>::Exchange(int32_t i, int32_t j) {
  CheckStoredIndex(i);
  CheckStoredIndex(j);
  std::swap(MutableData()[i], MutableData()[j]);
}

template <class Traits>
void TTypedArray<Traits>::ItemNotify(int32_t index, TListNotification action) {
  if constexpr (Traits::kOwnsElements) {
    if (action == lnDeleted) {
      ReleaseElement(MutableData()[index]);
      MutableData()[index] = nullptr;
    }
  }
}

template <class Traits>
void TTypedArray<Traits>::Sort() {
  if constexpr (kIsString<Traits>) {
    // String orders come from sorted insertion only.
    HyAssert(false, "HyArrays");
  } else {
    if (count_ < 2) return;
    const bool descending = sortOrder_ == saDescending;
    // Stable: equal pointers keep their order, and a comparator that is not
    // a strict order (NaN) cannot run past the ends.
    std::stable_sort(MutableData(), MutableData() + count_, [&](Element a, Element b) {
      const int c = Traits::Compare(state_, Traits::Get(a), Traits::Get(b));
      return descending ? c > 0 : c < 0;
    });
  }
}

// --- TPointerArray ------------------------------------------------------------

TPointerArray::TPointerArray(int32_t initialCapacity) : TTypedArray(initialCapacity) {}

bool TPointerArray::FindItem(int32_t& index, const void* key) const {
  return Search(const_cast<void*>(key), index);
}

template class TTypedArray<TNumericArrayTraits<int16_t>>;
template class TTypedArray<TNumericArrayTraits<uint16_t>>;
template class TTypedArray<TNumericArrayTraits<int32_t>>;
template class TTypedArray<TNumericArrayTraits<int64_t>>;
template class TTypedArray<TNumericArrayTraits<float>>;
template class TTypedArray<TNumericArrayTraits<double>>;
template class TTypedArray<TNumericArrayTraits<Currency>>;
template class TTypedArray<TStringArrayTraits>;
template class TTypedArray<TPointerArrayTraits>;

}  // namespace hy
