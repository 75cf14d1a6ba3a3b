#include "common/Variant.h"

#include <cfloat>
#include <cmath>

#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"

namespace hy {

const char* VarTypeName(TVarType type) {
  switch (type) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varSmallint: return "Smallint";
    case varInteger: return "Integer";
    case varSingle: return "Single";
    case varDouble: return "Double";
    case varCurrency: return "Currency";
    case varDate: return "Date";
    case varBoolean: return "Boolean";
    case varInt64: return "Int64";
    case varString: return "String";
    case varProc: return "Procedure";
  }
  return "Unknown";
}

namespace {

[[noreturn]] void CastError(TVarType from, TVarType to) {
  throw EVariantError(Format("Could not convert variant of type (%s) into type (%s)",
                             VarTypeName(from), VarTypeName(to)));
}

[[noreturn]] void OverflowError(TVarType from, TVarType to) {
  throw EVariantError(Format("Overflow while converting variant of type (%s) into type (%s)",
                             VarTypeName(from), VarTypeName(to)));
}

[[noreturn]] void InvalidOp() { throw EVariantError("Invalid variant operation"); }

[[noreturn]] void CurrencyOverflow() { throw EIntOverflow("Currency overflow"); }

[[noreturn]] void TextError(const std::string& text, const char* what) {
  throw EConvertError(Format("'%s' is not a valid %s", text.c_str(), what));
}

constexpr double kTwo63 = 9223372036854775808.0;

// Nearest integer, ties to even, as the conversions of the desktop do it.
bool RoundToInt64(double d, int64_t& out) {
  double r = std::nearbyint(d);
  if (!(r >= -kTwo63 && r < kTwo63)) return false;
  out = static_cast<int64_t>(r);
  return true;
}

int64_t CurrencyToInt64(int64_t raw) {
  int64_t q = raw / Currency::kScale, r = raw % Currency::kScale;
  int64_t half = Currency::kScale / 2;
  if (r > half || (r == half && (q & 1))) ++q;
  else if (r < -half || (r == -half && (q & 1))) --q;
  return q;
}

// Quotient rounded half away from zero.
__int128 DivRound(__int128 n, __int128 d) {
  __int128 q = n / d, r = n % d;
  __int128 ar = r < 0 ? -r : r, ad = d < 0 ? -d : d;
  if (2 * ar >= ad) q += ((n < 0) == (d < 0)) ? 1 : -1;
  return q;
}

Currency CurrencyFrom128(__int128 raw) {
  if (raw > INT64_MAX || raw < INT64_MIN) CurrencyOverflow();
  return Currency::FromRaw(static_cast<int64_t>(raw));
}

Variant NarrowInt(int64_t v) {
  if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
  return Variant(v);
}

}  // namespace

// ---------------------------------------------------------------------------
// Conversions

bool Variant::IsNumeric() const {
  switch (type_) {
    case varSmallint:
    case varInteger:
    case varInt64:
    case varSingle:
    case varDouble:
    case varCurrency:
    case varBoolean: return true;
    default: return false;
  }
}

bool Variant::IsOrdinal() const {
  return type_ == varSmallint || type_ == varInteger || type_ == varInt64 || type_ == varBoolean;
}

int64_t Variant::ToInt64(TVarType target) const {
  switch (type_) {
    case varEmpty: return 0;
    case varSmallint:
    case varInteger:
    case varInt64: return u_.i;
    case varBoolean: return u_.b ? -1 : 0;
    case varCurrency: return CurrencyToInt64(u_.i);
    case varSingle:
    case varDouble:
    case varDate: {
      int64_t r;
      if (!RoundToInt64(u_.d, r)) OverflowError(type_, target);
      return r;
    }
    case varString: {
      int64_t r;
      if (TryStrToInt64(s_, r)) return r;
      double d;
      if (!TryStrToFloat(s_, d)) TextError(s_, "integer value");
      if (!RoundToInt64(d, r)) OverflowError(type_, target);
      return r;
    }
    default: CastError(type_, target);
  }
}

double Variant::ToDouble(TVarType target) const {
  switch (type_) {
    case varEmpty: return 0;
    case varSmallint:
    case varInteger:
    case varInt64: return static_cast<double>(u_.i);
    case varBoolean: return u_.b ? -1 : 0;
    case varCurrency: return Currency::FromRaw(u_.i).ToDouble();
    case varSingle:
    case varDouble:
    case varDate: return u_.d;
    case varString: return StrToFloat(s_);
    default: CastError(type_, target);
  }
}

int32_t Variant::AsInteger() const {
  int64_t v = ToInt64(varInteger);
  if (v < INT32_MIN || v > INT32_MAX) OverflowError(type_, varInteger);
  return static_cast<int32_t>(v);
}

int64_t Variant::AsInt64() const { return ToInt64(varInt64); }

double Variant::AsDouble() const { return ToDouble(varDouble); }

Currency Variant::AsCurrency() const {
  switch (type_) {
    case varCurrency: return Currency::FromRaw(u_.i);
    case varEmpty:
    case varSmallint:
    case varInteger:
    case varInt64:
    case varBoolean: {
      int64_t v = ToInt64(varCurrency);
      if (v > INT64_MAX / Currency::kScale || v < INT64_MIN / Currency::kScale)
        OverflowError(type_, varCurrency);
      return Currency::FromInt(v);
    }
    default: {
      double d = ToDouble(varCurrency);
      if (!(std::fabs(d) < 922337203685477.5)) OverflowError(type_, varCurrency);
      return Currency::FromDouble(d);
    }
  }
}

TDateTime Variant::AsDate() const {
  if (type_ == varString) {
    TDateTime d;
    if (TryISOStrToDateTime(s_, d) || TryStrToDate(s_, d)) return d;
    TextError(s_, "date and time");
  }
  return ToDouble(varDate);
}

bool Variant::AsBoolean() const {
  switch (type_) {
    case varEmpty: return false;
    case varBoolean: return u_.b;
    case varSmallint:
    case varInteger:
    case varInt64:
    case varCurrency: return u_.i != 0;
    case varSingle:
    case varDouble:
    case varDate: return u_.d != 0;
    case varString: {
      if (SameText(s_, "True")) return true;
      if (SameText(s_, "False")) return false;
      double d;
      if (!TryStrToFloat(s_, d)) TextError(s_, "Boolean value");
      return d != 0;
    }
    default: CastError(type_, varBoolean);
  }
}

std::string Variant::AsString() const {
  switch (type_) {
    case varEmpty: return std::string();
    case varSmallint:
    case varInteger:
    case varInt64: return std::to_string(u_.i);
    case varSingle: return FloatToStrF(u_.d, ffGeneral, 7, 0);
    case varDouble: return FloatToStr(u_.d);
    case varCurrency: return CurrToStr(Currency::FromRaw(u_.i));
    case varDate: return DateTimeToStr(u_.d);
    case varBoolean: return u_.b ? "True" : "False";
    case varString: return s_;
    default: CastError(type_, varString);
  }
}

TProcValue Variant::AsProc() const {
  if (type_ != varProc) CastError(type_, varProc);
  return u_.proc;
}

std::string Variant::ToText() const {
  if (type_ == varEmpty || type_ == varNull) return std::string();
  return AsString();
}

Variant Variant::ConvertTo(TVarType type) const {
  if (type == type_) return *this;
  switch (type) {
    case varSmallint: {
      int64_t v = ToInt64(varSmallint);
      if (v < INT16_MIN || v > INT16_MAX) OverflowError(type_, varSmallint);
      return Smallint(static_cast<int16_t>(v));
    }
    case varInteger: return Variant(AsInteger());
    case varInt64: return Variant(AsInt64());
    case varSingle: {
      double d = ToDouble(varSingle);
      if (std::isfinite(d) && std::fabs(d) > FLT_MAX) OverflowError(type_, varSingle);
      return Single(static_cast<float>(d));
    }
    case varDouble: return Variant(AsDouble());
    case varCurrency: return Variant(AsCurrency());
    case varDate: return Date(AsDate());
    case varBoolean: return Variant(AsBoolean());
    case varString: return Variant(AsString());
    case varProc: return Variant(AsProc());
    default: CastError(type_, type);
  }
}

bool Variant::SameAs(const Variant& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case varEmpty:
    case varNull: return true;
    case varSmallint:
    case varInteger:
    case varInt64:
    case varCurrency: return u_.i == other.u_.i;
    case varSingle:
    case varDouble:
    case varDate: return u_.d == other.u_.d;
    case varBoolean: return u_.b == other.u_.b;
    case varString: return s_ == other.s_;
    case varProc: return u_.proc == other.u_.proc;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Arithmetic

namespace {

// An operand reduced to the classes the rules distinguish.
enum class NumKind { Int32, Int64, Curr, Float, Date };

struct Num {
  NumKind kind;
  int64_t i = 0;  // Int32, Int64, Curr (raw)
  double d = 0;   // Float, Date

  double AsDouble() const {
    switch (kind) {
      case NumKind::Int32:
      case NumKind::Int64: return static_cast<double>(i);
      case NumKind::Curr: return static_cast<double>(i) / Currency::kScale;
      default: return d;
    }
  }
  bool IsInt() const { return kind == NumKind::Int32 || kind == NumKind::Int64; }
  bool IsZero() const {
    return (kind == NumKind::Float || kind == NumKind::Date) ? d == 0 : i == 0;
  }
};

Num ToNum(const Variant& v) {
  switch (v.VarType()) {
    case varEmpty: return {NumKind::Int32, 0, 0};
    case varSmallint:
    case varInteger:
    case varBoolean: return {NumKind::Int32, v.AsInt64(), 0};
    case varInt64: return {NumKind::Int64, v.AsInt64(), 0};
    case varCurrency: return {NumKind::Curr, v.AsCurrency().raw, 0};
    case varSingle:
    case varDouble:
    case varString: return {NumKind::Float, 0, v.AsDouble()};
    case varDate: return {NumKind::Date, 0, v.AsDate()};
    default: InvalidOp();
  }
}

enum class Op { Add, Sub, Mul };

double ApplyDouble(Op op, double a, double b) {
  switch (op) {
    case Op::Add: return a + b;
    case Op::Sub: return a - b;
    case Op::Mul: return a * b;
  }
  return 0;
}

Variant Arith(Op op, const Variant& va, const Variant& vb) {
  if (va.IsNull() || vb.IsNull()) return Variant::Null();
  if (op == Op::Add) {
    TVarType ta = va.VarType(), tb = vb.VarType();
    if ((ta == varString || tb == varString) && (ta == varString || ta == varEmpty) &&
        (tb == varString || tb == varEmpty))
      return Variant(va.AsString() + vb.AsString());
  }
  const Num a = ToNum(va), b = ToNum(vb);

  if (a.kind == NumKind::Date || b.kind == NumKind::Date) {
    double r = ApplyDouble(op, a.AsDouble(), b.AsDouble());
    if (op == Op::Mul || (op == Op::Sub && a.kind == NumKind::Date && b.kind == NumKind::Date))
      return Variant(r);
    return Variant::Date(r);
  }
  if (a.kind == NumKind::Float || b.kind == NumKind::Float)
    return Variant(ApplyDouble(op, a.AsDouble(), b.AsDouble()));

  if (a.kind == NumKind::Curr || b.kind == NumKind::Curr) {
    __int128 ra = a.kind == NumKind::Curr ? __int128{a.i} : __int128{a.i} * Currency::kScale;
    __int128 rb = b.kind == NumKind::Curr ? __int128{b.i} : __int128{b.i} * Currency::kScale;
    switch (op) {
      case Op::Add: return Variant(CurrencyFrom128(ra + rb));
      case Op::Sub: return Variant(CurrencyFrom128(ra - rb));
      case Op::Mul:
        if (a.kind != NumKind::Curr) return Variant(CurrencyFrom128(__int128{a.i} * b.i));
        if (b.kind != NumKind::Curr) return Variant(CurrencyFrom128(__int128{a.i} * b.i));
        return Variant(CurrencyFrom128(DivRound(__int128{a.i} * b.i, Currency::kScale)));
    }
  }

  int64_t r = 0;
  bool overflow = false;
  switch (op) {
    case Op::Add: overflow = __builtin_add_overflow(a.i, b.i, &r); break;
    case Op::Sub: overflow = __builtin_sub_overflow(a.i, b.i, &r); break;
    case Op::Mul: overflow = __builtin_mul_overflow(a.i, b.i, &r); break;
  }
  if (overflow) return Variant(ApplyDouble(op, static_cast<double>(a.i), static_cast<double>(b.i)));
  if (a.kind == NumKind::Int64 || b.kind == NumKind::Int64) return Variant(r);
  return NarrowInt(r);
}

// Operands of div and mod as 64-bit integers.
int64_t IntOperand(const Variant& v) {
  if (v.VarType() == varProc) InvalidOp();
  return v.AsInt64();
}

}  // namespace

Variant VarAdd(const Variant& a, const Variant& b) { return Arith(Op::Add, a, b); }
Variant VarSub(const Variant& a, const Variant& b) { return Arith(Op::Sub, a, b); }
Variant VarMul(const Variant& a, const Variant& b) { return Arith(Op::Mul, a, b); }

Variant VarDiv(const Variant& va, const Variant& vb) {
  if (va.IsNull() || vb.IsNull()) return Variant::Null();
  const Num a = ToNum(va), b = ToNum(vb);
  if (b.IsZero()) throw EZeroDivide("Floating point division by zero");
  if (a.kind == NumKind::Curr && (b.IsInt() || b.kind == NumKind::Curr)) {
    if (b.kind == NumKind::Curr)
      return Variant(CurrencyFrom128(DivRound(__int128{a.i} * Currency::kScale, b.i)));
    return Variant(CurrencyFrom128(DivRound(a.i, b.i)));
  }
  return Variant(a.AsDouble() / b.AsDouble());
}

Variant VarIntDiv(const Variant& va, const Variant& vb) {
  if (va.IsNull() || vb.IsNull()) return Variant::Null();
  int64_t a = IntOperand(va), b = IntOperand(vb);
  if (b == 0) throw EDivByZero("Division by zero");
  if (a == INT64_MIN && b == -1) throw EIntOverflow("Integer overflow");
  return NarrowInt(a / b);
}

Variant VarMod(const Variant& va, const Variant& vb) {
  if (va.IsNull() || vb.IsNull()) return Variant::Null();
  int64_t a = IntOperand(va), b = IntOperand(vb);
  if (b == 0) throw EDivByZero("Division by zero");
  if (b == -1) return Variant(int32_t{0});
  return NarrowInt(a % b);
}

Variant VarNeg(const Variant& v) {
  switch (v.VarType()) {
    case varNull: return Variant::Null();
    case varEmpty: return Variant(int32_t{0});
    case varSmallint:
    case varInteger:
    case varBoolean: return NarrowInt(-v.AsInt64());
    case varInt64: {
      int64_t i = v.AsInt64();
      if (i == INT64_MIN) return Variant(-static_cast<double>(i));
      return Variant(-i);
    }
    case varCurrency: {
      int64_t raw = v.AsCurrency().raw;
      if (raw == INT64_MIN) CurrencyOverflow();
      return Variant(Currency::FromRaw(-raw));
    }
    case varDate: return Variant::Date(-v.AsDate());
    case varSingle:
    case varDouble:
    case varString: return Variant(-v.AsDouble());
    default: InvalidOp();
  }
}

Variant VarNot(const Variant& v) {
  switch (v.VarType()) {
    case varNull: return Variant::Null();
    case varBoolean: return Variant(!v.AsBoolean());
    case varInt64: return Variant(~v.AsInt64());
    case varString: {
      const std::string s = v.AsString();
      if (SameText(s, "True") || SameText(s, "False")) return Variant(!v.AsBoolean());
      return NarrowInt(~v.AsInt64());
    }
    case varProc: InvalidOp();
    default: return NarrowInt(~v.AsInt64());
  }
}

// ---------------------------------------------------------------------------
// Comparison

namespace {

TVariantRelationship Rel(int c) { return c < 0 ? crLessThan : c > 0 ? crGreaterThan : crEqual; }

TVariantRelationship CompareNum(const Num& a, const Num& b) {
  if (a.IsInt() && b.IsInt()) return Rel(a.i < b.i ? -1 : a.i > b.i ? 1 : 0);
  if ((a.IsInt() || a.kind == NumKind::Curr) && (b.IsInt() || b.kind == NumKind::Curr)) {
    __int128 ra = a.kind == NumKind::Curr ? __int128{a.i} : __int128{a.i} * Currency::kScale;
    __int128 rb = b.kind == NumKind::Curr ? __int128{b.i} : __int128{b.i} * Currency::kScale;
    return Rel(ra < rb ? -1 : ra > rb ? 1 : 0);
  }
  // A float against an integer: long double holds every 64-bit integer
  // exactly. Currency meets a float as the double it converts to.
  long double x = a.IsInt() ? static_cast<long double>(a.i) : a.AsDouble();
  long double y = b.IsInt() ? static_cast<long double>(b.i) : b.AsDouble();
  if (std::isnan(x) || std::isnan(y)) return crNotEqual;
  return Rel(x < y ? -1 : x > y ? 1 : 0);
}

}  // namespace

TVariantRelationship VarCompare(const Variant& a, const Variant& b) {
  const TVarType ta = a.VarType(), tb = b.VarType();
  if (ta == varNull || tb == varNull) return ta == tb ? crEqual : crNotEqual;
  if (ta == varProc || tb == varProc)
    return ta == tb && a.AsProc() == b.AsProc() ? crEqual : crNotEqual;
  if (ta == varString || tb == varString) {
    const TVarType other = ta == varString ? tb : ta;
    if (other == varString || other == varEmpty) return Rel(AnsiCompareStr(a.ToText(), b.ToText()));
    if (other == varBoolean) {
      int x = a.AsBoolean() ? 1 : 0, y = b.AsBoolean() ? 1 : 0;
      return Rel(x - y);
    }
    if (other == varDate) {
      double x = a.AsDate(), y = b.AsDate();
      return Rel(x < y ? -1 : x > y ? 1 : 0);
    }
  }
  if (ta == varBoolean && tb == varBoolean) {
    int x = a.AsBoolean() ? 1 : 0, y = b.AsBoolean() ? 1 : 0;  // False < True
    return Rel(x - y);
  }
  return CompareNum(ToNum(a), ToNum(b));
}

int VarCompareOrder(const Variant& a, const Variant& b) {
  auto rank = [](TVarType t) { return t == varNull ? 0 : t == varEmpty ? 1 : 2; };
  const TVarType ta = a.VarType(), tb = b.VarType();
  if (rank(ta) != rank(tb)) return rank(ta) < rank(tb) ? -1 : 1;
  if (rank(ta) < 2) return 0;
  TVariantRelationship r = crNotEqual;
  try {
    r = VarCompare(a, b);
  } catch (const Exception&) {
    // Text that is no number against a number: ordered by class below.
  }
  if (r == crLessThan) return -1;
  if (r == crGreaterThan) return 1;
  if (r == crEqual) return 0;
  auto cls = [](const Variant& v) {
    if (v.VarType() == varProc) return 3;
    if (v.VarType() == varString) return 2;
    if (v.IsFloat() && std::isnan(v.AsDouble())) return 1;  // NaN after the other numbers
    return 0;
  };
  int ca = cls(a), cb = cls(b);
  if (ca != cb) return ca < cb ? -1 : 1;
  if (ca == 3) {
    int32_t x = a.AsProc().id, y = b.AsProc().id;
    return x < y ? -1 : x > y ? 1 : 0;
  }
  return 0;
}

}  // namespace hy
