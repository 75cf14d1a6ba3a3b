// The cell value: a tagged value used for field values, dimension values,
// summary results and expression values. It is copied per row of large
// tables, so it holds everything inline except the text of a string.
//
// Rules (every operation below follows them):
// - Null propagates: any arithmetic with a Null operand gives Null.
// - Empty (unassigned) counts as a 32-bit 0 in arithmetic and "" when joined
//   to a string.
// - Booleans count as 32-bit integers in arithmetic (True = -1, False = 0).
// - A string meeting a number is converted to a double (EConvertError when it
//   is not one); two strings (or a string and Empty) under + are joined.
// - Result types of + - *: integers stay integers (16/32-bit widen to 32-bit,
//   overflow widens to 64-bit, 64-bit overflow gives a double); currency with
//   an integer or currency stays currency; any float gives a double; a date
//   plus or minus a number (or a date plus a date) is a date, a date minus a
//   date is a double, a date in * is a double.
// - "/" gives a double, except currency divided by an integer or currency,
//   which stays currency. Division by zero raises EZeroDivide.
// - Currency results are rounded half away from zero to four decimals; one
//   beyond the currency range raises EIntOverflow "Currency overflow".
// - Div and Mod work on 64-bit integers (EDivByZero on 0) and narrow back to
//   32-bit when the result fits; Mod takes the sign of the dividend.
// - Not: Boolean not of a Boolean (or of the text "True"/"False"), else the
//   bitwise not of the value as an integer.
// - Comparison: numbers numerically, strings by AnsiCompareStr, a string with
//   a number numerically (with a date as a date, with a Boolean as a Boolean);
//   False is less than True; Empty compares as 0 or ""; Null equals only Null
//   and is neither less nor greater than anything (VarCompare gives
//   crNotEqual), as is a NaN or a procedure value against anything else.
// - Conversions: floats, dates and currency become integers by rounding to
//   the nearest, ties to even; Empty converts to 0, False or "". Text is
//   parsed (EConvertError "'abc' is not a valid integer value", "... floating
//   point value", "... date and time", "... Boolean value"); a value beyond
//   the target's range raises EVariantError "Overflow while converting
//   variant of type (A) into type (B)".
// - Conversions that cannot succeed (Null, procedure values) raise
//   EVariantError "Could not convert variant of type (A) into type (B)";
//   arithmetic on a procedure value raises EVariantError "Invalid variant
//   operation".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Currency.h"
#include "common/DateUtils.h"

namespace hy {

// Type codes follow the OLE VARIANT numbering, so stored type codes are
// stable across versions.
enum TVarType : uint16_t {
  varEmpty = 0,
  varNull = 1,
  varSmallint = 2,
  varInteger = 3,
  varSingle = 4,
  varDouble = 5,
  varCurrency = 6,
  varDate = 7,
  varBoolean = 11,
  varInt64 = 20,
  varString = 0x0100,
  varProc = 0x0200,  // a procedure value of the expression language
};

// What the expression language hands around as a procedure value: the
// procedure's number and the symbol it came from (opaque here).
struct TProcValue {
  int32_t id = 0;
  const void* symbol = nullptr;
  friend bool operator==(const TProcValue&, const TProcValue&) = default;
};

enum TVariantRelationship { crLessThan, crEqual, crGreaterThan, crNotEqual };

class Variant {
public:
  Variant() = default;  // Empty
  Variant(int32_t v) : type_(varInteger) { u_.i = v; }
  Variant(int64_t v) : type_(varInt64) { u_.i = v; }
  Variant(double v) : type_(varDouble) { u_.d = v; }
  Variant(bool v) : type_(varBoolean) { u_.b = v; }
  Variant(Currency v) : type_(varCurrency) { u_.i = v.raw; }
  Variant(std::string v) : type_(varString), s_(std::move(v)) {}
  Variant(std::string_view v) : type_(varString), s_(v) {}
  Variant(const char* v) : type_(varString), s_(v) {}
  Variant(TProcValue v) : type_(varProc) { u_.proc = v; }

  static Variant Null() {
    Variant v;
    v.type_ = varNull;
    return v;
  }
  static Variant Smallint(int16_t v) {
    Variant r;
    r.type_ = varSmallint;
    r.u_.i = v;
    return r;
  }
  static Variant Single(float v) {
    Variant r;
    r.type_ = varSingle;
    r.u_.d = v;
    return r;
  }
  static Variant Date(TDateTime v) {
    Variant r;
    r.type_ = varDate;
    r.u_.d = v;
    return r;
  }

  TVarType VarType() const { return type_; }
  bool IsNull() const { return type_ == varNull; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsNumeric() const;  // integers, floats, currency, Boolean
  bool IsOrdinal() const;  // integers and Boolean
  bool IsFloat() const { return type_ == varSingle || type_ == varDouble; }

  // Conversions; each raises EVariantError (or EConvertError for text) when
  // the value cannot be had, Null included.
  int32_t AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  TDateTime AsDate() const;
  bool AsBoolean() const;
  // Text of the value with the current format settings; Null raises.
  std::string AsString() const;
  TProcValue AsProc() const;

  // Text for display: "" for Empty and Null, otherwise AsString().
  std::string ToText() const;

  // A copy converted to another type (same rules as the As... functions).
  Variant ConvertTo(TVarType type) const;

  // Same type and same value (Null equals Null); no conversion.
  bool SameAs(const Variant& other) const;

private:
  int64_t ToInt64(TVarType target) const;
  double ToDouble(TVarType target) const;

  TVarType type_ = varEmpty;
  union {
    int64_t i;  // smallint, integer, int64, currency (raw)
    double d;   // single, double, date
    bool b;
    TProcValue proc;
  } u_{};
  std::string s_;
};

// Name of a type as messages show it: "Empty", "Null", "Smallint", "Integer",
// "Single", "Double", "Currency", "Date", "Boolean", "Int64", "String", "Procedure".
const char* VarTypeName(TVarType type);

Variant VarAdd(const Variant& a, const Variant& b);
Variant VarSub(const Variant& a, const Variant& b);
Variant VarMul(const Variant& a, const Variant& b);
Variant VarDiv(const Variant& a, const Variant& b);     // "/"
Variant VarIntDiv(const Variant& a, const Variant& b);  // div
Variant VarMod(const Variant& a, const Variant& b);     // mod
Variant VarNeg(const Variant& a);
Variant VarNot(const Variant& a);  // Boolean not, or bitwise not of an integer

TVariantRelationship VarCompare(const Variant& a, const Variant& b);
// A total order for sorting: Null, then Empty, then by VarCompare; values
// that VarCompare cannot order (a text that is no number against a number,
// NaN, procedure values) go numbers first, then strings, then procedures.
int VarCompareOrder(const Variant& a, const Variant& b);

}  // namespace hy
