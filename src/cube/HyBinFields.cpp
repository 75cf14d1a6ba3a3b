// The bin field classes: one per kind of stored value.
#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>

#include "common/Format.h"
#include "common/StrUtils.h"
#include "cube/HyBin.h"
#include "cube/HyCollate.h"
#include "cube/HyMap.h"

namespace hy {

// ------------------------------------------------------------------ TBinField

TBinField::TBinField(TBinTable* table, TDimensionItem* mapItem, TFieldType dataType)
    : dataType_(dataType), mapItem_(mapItem), table_(table) {
  if (mapItem) {
    fieldName_ = mapItem->FieldName();
    if (mapItem->Field()) sourceSize_ = mapItem->Field()->DataSize();
  }
}

TBinField::~TBinField() = default;

uint8_t* TBinField::Current() const { return table_->Current(); }

void TBinField::TextIn(const uint8_t*, std::string&) const {
  throw EHyError(Format("Accsess Error: \"%s.AsString\"", ClassName()));
}

int32_t TBinField::Compare(const uint8_t* other) const {
  const uint8_t* current = Current();
  const bool a = IsNullIn(current), b = IsNullIn(other);
  if (a || b) return a == b ? 0 : (a ? -1 : 1);
  return CompareValues(current, other);
}

void TBinField::AddValues(uint8_t*, const uint8_t*) const { Unsupported(); }

void TBinField::Unsupported() const {
  throw EHyError(Format("Field Data Type '%s' - unsupported", TypeName().c_str()));
}

void TBinField::Combine(uint8_t* into, const uint8_t* from) const {
  switch (role_) {
    case brSum:
    case brCount: AddValues(into, from); break;
    case brMax:
      if (CompareValues(from, into) > 0) std::memcpy(Data(into), Data(from), DataSize());
      break;
    case brMin:
      if (CompareValues(from, into) < 0) std::memcpy(Data(into), Data(from), DataSize());
      break;
    case brKey:
    case brNone: break;
  }
}

void TBinField::Aggregate(const uint8_t* const* records, int32_t count) {
  if (!CanAggregate()) Unsupported();
  uint8_t* current = Current();
  bool any = false;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* record = records[i];
    if (IsNullIn(record)) continue;
    if (!any) {
      std::memcpy(Data(current), Data(record), DataSize());
      any = true;
    } else {
      Combine(current, record);
    }
  }
  // Over no values at all the aggregate is Null, as each bin's own is.
  if (!any) std::memset(Data(current), 0, DataSize());
  SetNullIn(current, !any);
}

void TBinField::SetNull() {
  uint8_t* current = Current();
  std::memset(Data(current), 0, DataSize());
  SetNullIn(current, true);
}

void TBinField::SetNullIn(uint8_t* record, bool null) const {
  uint32_t mask = TBinTable::NullMask(record);
  mask = null ? (mask | (1u << nullBit_)) : (mask & ~(1u << nullBit_));
  TBinTable::SetNullMask(record, mask);
}

bool TBinField::SameValueIn(const uint8_t* a, const uint8_t* b) const {
  const bool na = IsNullIn(a), nb = IsNullIn(b);
  if (na || nb) return na == nb;
  return std::memcmp(Data(a), Data(b), DataSize()) == 0;
}

void TBinField::ValueOrNullIn(const uint8_t* record, Variant& value) const {
  if (IsNullIn(record)) value = Variant::Null();
  else ValueIn(record, value);
}

void TBinField::StringOrNullIn(const uint8_t* record, std::string& text) const {
  if (IsNullIn(record)) text = "<NULL>";
  else TextIn(record, text);
}

void TBinField::SetValueOrNull(const Variant& value) {
  if (value.IsNull()) {
    SetNull();
  } else {
    SetNullIn(Current(), false);
    SetValue(value);
  }
}

std::string TBinField::TypeName() const {
  if (mapItem_ && mapItem_->Field()) return mapItem_->Field()->TypeName();
  return FieldTypeName(dataType_);
}

// ------------------------------------------------------------ number columns

namespace {

template <class T>
int32_t ThreeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// The item's format, without copying it.
const std::string& ItemFormat(const TBinField& field) {
  static const std::string kNone;
  return field.MapItem() ? field.MapItem()->Format() : kNone;
}

std::string NumberText(const std::string& format, double value, const char* fallback) {
  return FormatFloat(format.empty() ? std::string_view(fallback) : std::string_view(format), value);
}

[[noreturn]] void NarrowOverflow(const Variant& v, const char* target) {
  throw EVariantError(Format("Overflow while converting variant of type (%s) into type (%s)",
                             VarTypeName(v.VarType()), target));
}

}  // namespace

template <class T>
int32_t TNumberBin<T>::CompareValues(const uint8_t* a, const uint8_t* b) const {
  return ThreeWay(Get(a), Get(b));
}

template <class T>
void TNumberBin<T>::AddValues(uint8_t* into, const uint8_t* from) const {
  Put(into, CheckedSum(Get(into), Get(from)));
}

template class TNumberBin<int16_t>;
template class TNumberBin<uint16_t>;
template class TNumberBin<int32_t>;
template class TNumberBin<int64_t>;
template class TNumberBin<double>;
template class TNumberBin<uint32_t>;

// Integer columns: decimal text, or the float format when one is set.
template <class T>
static std::string IntegerText(const TBinField& field, T value) {
  const std::string& format = ItemFormat(field);
  if (format.empty()) return std::to_string(value);
  return FormatFloat(format, static_cast<double>(value));
}

void TSmallIntBin::TextIn(const uint8_t* record, std::string& text) const {
  text = IntegerText(*this, Get(record));
}
void TSmallIntBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant::Smallint(Get(record));
}
void TSmallIntBin::SetValue(const Variant& value) {
  const int32_t v =
      value.VarType() == varBoolean ? (value.AsBoolean() ? -1 : 0) : value.AsInteger();
  if (v < INT16_MIN || v > INT16_MAX) NarrowOverflow(value, "Smallint");
  Put(Current(), static_cast<int16_t>(v));
}

void TWordBin::TextIn(const uint8_t* record, std::string& text) const {
  text = IntegerText(*this, Get(record));
}
void TWordBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(static_cast<int32_t>(Get(record)));
}
void TWordBin::SetValue(const Variant& value) {
  const int32_t v = value.AsInteger();
  if (v < 0 || v > UINT16_MAX) NarrowOverflow(value, "Word");
  Put(Current(), static_cast<uint16_t>(v));
}

void TIntegerBin::TextIn(const uint8_t* record, std::string& text) const {
  text = IntegerText(*this, Get(record));
}
void TIntegerBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(Get(record));
}
void TIntegerBin::SetValue(const Variant& value) { Put(Current(), value.AsInteger()); }

void TLargeIntBin::TextIn(const uint8_t* record, std::string& text) const {
  text = IntegerText(*this, Get(record));
}
void TLargeIntBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(Get(record));
}
void TLargeIntBin::SetValue(const Variant& value) { Put(Current(), value.AsInt64()); }

void TBooleanBin::TextIn(const uint8_t* record, std::string& text) const {
  text = Get(record) ? "-1" : "0";
}
void TBooleanBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(Get(record) != 0);
}
void TBooleanBin::SetValue(const Variant& value) {
  Put(Current(), static_cast<int16_t>(value.AsBoolean() ? -1 : 0));
}
int32_t TBooleanBin::CompareValues(const uint8_t* a, const uint8_t* b) const {
  return ThreeWay(Get(a) != 0, Get(b) != 0);  // False before True
}

void TFloatBin::TextIn(const uint8_t* record, std::string& text) const {
  text = NumberText(ItemFormat(*this), Get(record), "0.00");
}
void TFloatBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(Get(record));
}
void TFloatBin::SetValue(const Variant& value) { Put(Current(), value.AsDouble()); }
int32_t TFloatBin::CompareValues(const uint8_t* a, const uint8_t* b) const {
  const double x = Get(a), y = Get(b);
  if (std::fabs(x - y) <= kFloatKeyTolerance) return 0;
  return x < y ? -1 : 1;
}

void TCurrencyBin::TextIn(const uint8_t* record, std::string& text) const {
  const std::string& format = ItemFormat(*this);
  text = FormatCurr(format.empty() ? std::string_view("0.00") : std::string_view(format),
                    Currency::FromRaw(Get(record)));
}
void TCurrencyBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(Currency::FromRaw(Get(record)));
}
void TCurrencyBin::SetValue(const Variant& value) { Put(Current(), value.AsCurrency().raw); }
void TCurrencyBin::AddValues(uint8_t* into, const uint8_t* from) const {
  int64_t sum;
  if (__builtin_add_overflow(Get(into), Get(from), &sum)) throw EIntOverflow("Currency overflow");
  Put(into, sum);
}

void TDateTimeBin::TextIn(const uint8_t* record, std::string& text) const {
  const std::string& format = ItemFormat(*this);
  const double v = Get(record);
  text = format.empty() ? DateTimeToStr(v) : FormatDateTime(format, v);
}
void TDateTimeBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant::Date(Get(record));
}
void TDateTimeBin::SetValue(const Variant& value) { Put(Current(), value.AsDate()); }

// ------------------------------------------------------------ string columns

void TStringBin::TextIn(const uint8_t* record, std::string& text) const {
  text = Table()->StringAt(Get(record));
}
void TStringBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(Table()->StringAt(Get(record)));
}
void TStringBin::SetValue(const Variant& value) {
  if (value.VarType() == varString) Put(Current(), Table()->Intern(value.AsString()));
  else Put(Current(), Table()->Intern(value.ToText()));
}
int32_t TStringBin::CompareValues(const uint8_t* a, const uint8_t* b) const {
  const uint32_t x = Get(a), y = Get(b);
  if (x == y) return 0;
  return CollateCompare(Table()->StringAt(x), Table()->StringAt(y));
}

// ------------------------------------------------------------- count columns

void TCountBin::TextIn(const uint8_t* record, std::string& text) const {
  text = IntegerText(*this, Get(record));
}
void TCountBin::ValueIn(const uint8_t* record, Variant& value) const {
  value = Variant(Get(record));
}
void TCountBin::SetValue(const Variant&) { Put(Current(), 1); }

void TAvgBin::SetValue(const Variant& value) {
  Put(Current(), 1);
  sumField_->SetValueOrNull(value);
}

void TAvgBin::ValueIn(const uint8_t* record, Variant& value) const {
  const int32_t count = Get(record);
  Variant sum;
  sumField_->ValueOrNullIn(record, sum);
  // An average over no values is Null, never a division by zero.
  if (sum.IsNull() || count == 0) value = Variant::Null();
  else value = VarDiv(sum, Variant(count));
}

void TAvgBin::TextIn(const uint8_t* record, std::string& text) const {
  Variant quotient;
  ValueIn(record, quotient);
  if (quotient.IsNull()) {
    text = "<NULL>";
    return;
  }
  text = NumberText(ItemFormat(*this), quotient.AsDouble(), "0.00");
}

}  // namespace hy
