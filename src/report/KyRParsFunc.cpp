#include "report/KyRParsFunc.h"

#include <QList>
#include <QString>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "common/DateUtils.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "platform/db/DataSet.h"
#include "report/KyRPars.h"
#include "report/KyRParsValues.h"

namespace hy {

namespace {

enum TFn {
  fnSum,
  fnAvg,
  fnCount,
  fnMin,
  fnMax,
  fnUpper,
  fnLower,
  fnSubstring,
  fnTrim,
  fnTrimLeft,
  fnTrimRight,
  fnIif,
  fnGetDate,
  fnDate,
  fnTime,
  fnStrToDate,
  fnYear,
  fnMonth,
  fnDay,
  fnHour,
  fnMinute,
  fnSecond,
  fnSin,
  fnCos,
  fnTan,
  fnArcTan,
  fnExp,
  fnLn,
  fnSqrt,
  fnArcSin,
  fnArcCos,
  fnLog,
  fnSqr,
  fnAbs,
  fnFrac,
  fnInt,
  fnRound,
  fnDiv,
  fnPower,
  fnRandom,
  fnOrd,
  fnChr,
  fnStrToInt,
  fnStrToFloat,
  fnIntToStr,
  fnFloatToStr,
  fnDateToStr,
  fnCount_
};

const TKyRFunctionInfo kFunctions[fnCount_] = {
    {"SUM", 1, -1, true},        {"AVG", 1, -1, true},        {"COUNT", 1, -1, true},
    {"MIN", 1, -1, true},        {"MAX", 1, -1, true},        {"UPPER", 1, 1, false},
    {"LOWER", 1, 1, false},      {"SUBSTRING", 3, 3, false},  {"TRIM", 1, 1, false},
    {"TRIMLEFT", 1, 1, false},   {"TRIMRIGHT", 1, 1, false},  {"IIF", 3, 3, false},
    {"GETDATE", 0, 0, false},    {"DATE", 1, 1, false},       {"TIME", 1, 1, false},
    {"STRTODATE", 1, 1, false},  {"YEAR", 1, 1, false},       {"MONTH", 1, 1, false},
    {"DAY", 1, 1, false},        {"HOUR", 1, 1, false},       {"MINUTE", 1, 1, false},
    {"SECOND", 1, 1, false},     {"SIN", 1, 1, false},        {"COS", 1, 1, false},
    {"TAN", 1, 1, false},        {"ARCTAN", 1, 1, false},     {"EXP", 1, 1, false},
    {"LN", 1, 1, false},         {"SQRT", 1, 1, false},       {"ARCSIN", 1, 1, false},
    {"ARCCOS", 1, 1, false},     {"LOG", 1, 1, false},        {"SQR", 1, 1, false},
    {"ABS", 1, 1, false},        {"FRAC", 1, 1, false},       {"INT", 1, 1, false},
    {"ROUND", 1, 1, false},      {"DIV", 2, 2, false},        {"POWER", 2, 2, false},
    {"RANDOM", 1, 1, false},     {"ORD", 1, 1, false},        {"CHR", 1, 1, false},
    {"STRTOINT", 1, 1, false},   {"STRTOFLOAT", 1, 1, false}, {"INTTOSTR", 1, 1, false},
    {"FLOATTOSTR", 1, 1, false}, {"DATETOSTR", 1, 1, false},
};

[[noreturn]] void InvalidArgument(const char* function, const std::string& argument) {
  throw EDatabaseError(Format("Invalid argument %s to function %s", argument.c_str(), function));
}

double Number(const Variant& v) {
  if (KyRValueClass(v) != vcNumber) KyRTypeMismatch();
  return v.AsDouble();
}

TDateTime DateValue(const Variant& v) {
  const TKyRValueClass c = KyRValueClass(v);
  if (c != vcDate && c != vcNumber) KyRTypeMismatch();
  return v.AsDouble();
}

// A whole number as the smallest integer type that holds it.
Variant Whole(double x) {
  if (x >= INT32_MIN && x <= INT32_MAX) return Variant(static_cast<int32_t>(x));
  if (x >= -9.2e18 && x <= 9.2e18) return Variant(static_cast<int64_t>(x));
  return Variant(x);
}

int64_t WholeArgument(const char* function, double x) {
  if (!(std::fabs(x) <= 9.2e18)) InvalidArgument(function, FloatToStr(x));
  return static_cast<int64_t>(std::nearbyint(x));
}

std::string FromUcs4(const char32_t* text, qsizetype length) {
  return QString::fromUcs4(text, length).toStdString();
}

std::u32string Ucs4(const std::string& s) {
  const QList<uint> list = QString::fromStdString(s).toUcs4();
  return std::u32string(list.begin(), list.end());
}

std::string TrimSide(const std::string& s, bool left) {
  size_t a = 0, b = s.size();
  if (left) {
    while (a < b && static_cast<unsigned char>(s[a]) <= 32) ++a;
  } else {
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= 32) --b;
  }
  return s.substr(a, b - a);
}

Variant Mathematical(TFn fn, const char* name, double x) {
  double r = 0;
  switch (fn) {
    case fnSin: r = std::sin(x); break;
    case fnCos: r = std::cos(x); break;
    case fnTan: r = std::sin(x) / std::cos(x); break;
    case fnArcTan: r = std::atan2(x, 1.0); break;
    case fnExp: r = std::exp(x); break;
    case fnLn: r = x > 0 ? std::log(x) : NAN; break;
    case fnLog: r = x > 0 ? std::log10(x) : NAN; break;
    case fnSqrt: r = x >= 0 ? std::sqrt(x) : NAN; break;
    // The true inverse functions: no division by zero at the ends of the
    // domain, and arccos of a negative number in the upper half.
    case fnArcSin: r = x >= -1 && x <= 1 ? std::asin(x) : NAN; break;
    case fnArcCos: r = x >= -1 && x <= 1 ? std::acos(x) : NAN; break;
    case fnFrac: r = x - std::trunc(x); break;
    default: break;
  }
  if (!std::isfinite(r)) InvalidArgument(name, FloatToStr(x));
  return Variant(r);
}

Variant Power(double a, double b) {
  if (b == 0) return Variant(int32_t{1});
  if (a == 0 && b > 0) return Variant(int32_t{0});
  double r;
  if (b == std::trunc(b) && std::fabs(b) < 9e18) {
    // Repeated multiplication, by squaring so that a large exponent stays quick.
    uint64_t n = static_cast<uint64_t>(std::fabs(b));
    double base = a;
    r = 1;
    while (n) {
      if (n & 1) r *= base;
      base *= base;
      n >>= 1;
    }
    if (b < 0) r = 1 / r;
  } else {
    r = std::pow(a, b);
  }
  if (!std::isfinite(r)) InvalidArgument("POWER", FloatToStr(a) + ", " + FloatToStr(b));
  return Variant(r);
}

Variant Extremum(const TKyRExprNode& call, TKyRNodeEvaluator eval, bool max) {
  Variant best;
  for (size_t i = 0; i < call.Args.size(); ++i) {
    Variant v = eval(*call.Args[i]);
    if (KyRValueClass(v) == vcNull) return Variant::Null();
    if (i == 0 || KyRCompare(v, best) == (max ? crGreaterThan : crLessThan)) best = std::move(v);
  }
  return best;
}

Variant Sum(const TKyRExprNode& call, TKyRNodeEvaluator eval) {
  Variant sum = eval(*call.Args[0]);
  for (size_t i = 1; i < call.Args.size(); ++i) sum = KyRArithmetic('+', sum, eval(*call.Args[i]));
  return sum;
}

Variant Random(int64_t n) {
  static std::mt19937_64 generator{std::random_device{}()};
  return Whole(static_cast<double>(std::uniform_int_distribution<int64_t>(0, n - 1)(generator)));
}

// Functions whose arguments are all evaluated first, Null giving Null.
Variant Plain(TFn fn, const char* name, const std::vector<Variant>& a) {
  for (const Variant& v : a)
    if (KyRValueClass(v) == vcNull) return Variant::Null();
  switch (fn) {
    case fnUpper: return Variant(QString::fromStdString(a[0].AsString()).toUpper().toStdString());
    case fnLower: return Variant(QString::fromStdString(a[0].AsString()).toLower().toStdString());
    case fnSubstring: {
      const std::u32string s = Ucs4(a[0].AsString());
      const int64_t start = std::max<int64_t>(1, WholeArgument(name, Number(a[1])));
      const int64_t count = std::max<int64_t>(0, WholeArgument(name, Number(a[2])));
      if (start > static_cast<int64_t>(s.size())) return Variant(std::string());
      const size_t from = static_cast<size_t>(start - 1);
      const size_t n = std::min<size_t>(static_cast<size_t>(count), s.size() - from);
      return Variant(FromUcs4(s.data() + from, static_cast<qsizetype>(n)));
    }
    case fnTrim: return Variant(Trim(a[0].AsString()));
    case fnTrimLeft: return Variant(TrimSide(a[0].AsString(), true));
    case fnTrimRight: return Variant(TrimSide(a[0].AsString(), false));
    case fnDate: return Variant::Date(DateOf(DateValue(a[0])));
    case fnTime: return Variant::Date(TimeOf(DateValue(a[0])));
    case fnStrToDate: {
      TDateTime d;
      const std::string text = a[0].AsString();
      if (!TryStrToDate(text, d))
        throw EDatabaseError(Format("'%s' is not a valid date", text.c_str()));
      return Variant::Date(d);
    }
    case fnYear:
    case fnMonth:
    case fnDay:
    case fnHour:
    case fnMinute:
    case fnSecond: {
      int y, mo, d, h, mi, s, ms;
      DecodeDateTime(DateValue(a[0]), y, mo, d, h, mi, s, ms);
      const int parts[] = {y, mo, d, h, mi, s};
      return Variant(int32_t{parts[fn - fnYear]});
    }
    case fnSqr: Number(a[0]); return VarMul(a[0], a[0]);
    case fnAbs: return Number(a[0]) < 0 ? VarNeg(a[0]) : a[0];
    case fnInt: return Whole(std::trunc(Number(a[0])));
    case fnRound: return Whole(std::nearbyint(Number(a[0])));
    case fnDiv: Number(a[0]), Number(a[1]); return VarIntDiv(a[0], a[1]);
    case fnPower: return Power(Number(a[0]), Number(a[1]));
    case fnRandom: {
      const int64_t n = WholeArgument(name, Number(a[0]));
      if (n <= 0) InvalidArgument(name, std::to_string(n));
      return Random(n);
    }
    case fnOrd: {
      const std::u32string s = Ucs4(a[0].AsString());
      if (s.empty()) InvalidArgument(name, "''");
      return Variant(static_cast<int32_t>(s[0]));
    }
    case fnChr: {
      const int64_t code = WholeArgument(name, Number(a[0]));
      if (code < 1 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        InvalidArgument(name, std::to_string(code));
      const char32_t c = static_cast<char32_t>(code);
      return Variant(FromUcs4(&c, 1));
    }
    case fnStrToInt: return Variant(StrToInt(Trim(a[0].AsString())));
    case fnStrToFloat: return Variant(StrToFloat(Trim(a[0].AsString())));
    case fnIntToStr: Number(a[0]); return Variant(std::to_string(a[0].AsInt64()));
    case fnFloatToStr: return Variant(FloatToStr(Number(a[0])));
    case fnDateToStr: return Variant(DateToStr(DateValue(a[0])));
    default: return Mathematical(fn, name, Number(a[0]));
  }
}

}  // namespace

int FindKyRFunction(std::string_view name) {
  for (int i = 0; i < fnCount_; ++i)
    if (SameText(name, kFunctions[i].Name)) return i;
  return -1;
}

const TKyRFunctionInfo& KyRFunctionInfo(int number) { return kFunctions[number]; }

Variant CallKyRFunction(const TKyRExprNode& call, TKyRNodeEvaluator eval) {
  const TFn fn = static_cast<TFn>(call.Function);
  switch (fn) {
    case fnSum: return Sum(call, eval);
    case fnAvg:
      return KyRArithmetic('/', Sum(call, eval), Variant(static_cast<int32_t>(call.Args.size())));
    case fnCount:
      return Variant(call.CountAll ? int32_t{1} : static_cast<int32_t>(call.Args.size()));
    case fnMin: return Extremum(call, eval, false);
    case fnMax: return Extremum(call, eval, true);
    case fnIif:
      return KyRToBoolean(eval(*call.Args[0])) ? eval(*call.Args[1]) : eval(*call.Args[2]);
    case fnGetDate: return Variant::Date(Now());
    default: break;
  }
  std::vector<Variant> args;
  args.reserve(call.Args.size());
  for (const auto& arg : call.Args) args.push_back(eval(*arg));
  return Plain(fn, kFunctions[fn].Name, args);
}

}  // namespace hy
