// The cell value: a tagged value used for field values, dimension values,
// summary results and expression values.
//
// Rules (every operation below follows them):
// - Null propagates: any arithmetic with a Null operand gives Null.
// - Empty (unassigned) counts as 0 in arithmetic and "" when joined to a string.
// - Booleans count as integers in arithmetic (True = -1, False = 0).
// - A string meeting a number is converted to a number (EConvertError when it
//   is not one); two strings under + are joined.
// - Result types of + - *: integers stay integers (16/32-bit widen to 32-bit,
//   overflow widens to 64-bit, 64-bit overflow gives a double); currency with
//   an integer or currency stays currency; any float gives a double; a date
//   plus or minus a number is a date, a date minus a date is a double.
// - "/" gives a double, except currency divided by an integer or currency,
//   which stays currency. Division by zero raises EZeroDivide.
// - Div and Mod work on 64-bit integers (EDivByZero on 0) and narrow back to
//   32-bit when the result fits.
// - Comparison: numbers numerically, strings by AnsiCompareStr, a string with
//   a number numerically; Null equals only Null and is neither less nor greater
//   than anything (VarCompare gives crNotEqual).
// - Conversions that cannot succeed raise EVariantError "Could not convert
//   variant of type (A) into type (B)".
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

  static Variant Null() { Variant v; v.type_ = varNull; return v; }
  static Variant Smallint(int16_t v) { Variant r; r.type_ = varSmallint; r.u_.i = v; return r; }
  static Variant Single(float v) { Variant r; r.type_ = varSingle; r.u_.d = v; return r; }
  static Variant Date(TDateTime v) { Variant r; r.type_ = varDate; r.u_.d = v; return r; }

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
// A total order for sorting: Null and Empty first, then by VarCompare.
int VarCompareOrder(const Variant& a, const Variant& b);

}  // namespace hy
