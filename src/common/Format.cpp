// Numbers as text: decimal digits of doubles and currency, the general,
// fixed and currency forms, and number format strings ("#,##0.00;(#,##0.00)").
#include "common/Format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "common/Exceptions.h"
#include "common/FormatTokens.h"
#include "common/StrUtils.h"

namespace hy {

// ---------------------------------------------------------------------------
// Decimal digits

namespace {

// Reads "d.ddd...e±XX" as printed by %.*e into digits and the exponent of
// the form 0.ddd × 10^exp.
int ParseScientific(const char* buf, char* digits, int maxDigits, int& exponent) {
  int n = 0;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9' && n < maxDigits) digits[n++] = *p;
  int e = 0;
  if (*p == 'e') {
    const bool minus = *++p == '-';
    if (*p == '-' || *p == '+') ++p;
    for (; *p >= '0' && *p <= '9'; ++p) e = e * 10 + (*p - '0');
    if (minus) e = -e;
  }
  exponent = e + 1;
  return n;
}

// Adds one unit in the last place of digits[0 .. count); a carry out of the
// first digit becomes a new leading "1".
void IncrementDigits(TFloatRec& rec, int count) {
  int i = count - 1;
  while (i >= 0 && rec.Digits[i] == '9') rec.Digits[i--] = '0';
  if (i >= 0) {
    ++rec.Digits[i];
  } else {
    rec.Digits[0] = '1';
    for (int k = 1; k < count; ++k) rec.Digits[k] = '0';
    ++rec.Exponent;
  }
}

void StripTrailingZeros(TFloatRec& rec) {
  while (rec.Count > 0 && rec.Digits[rec.Count - 1] == '0') --rec.Count;
  if (rec.Count == 0) rec.Exponent = 0;
}

// Keeps `keep` leading digits, rounding half away from zero on the next one.
void KeepDigits(TFloatRec& rec, int keep) {
  if (keep >= rec.Count) return;
  if (keep < 0) {
    rec.Count = 0;
    rec.Exponent = 0;
    return;
  }
  bool up = rec.Digits[keep] >= '5';
  rec.Count = keep;
  if (up) {
    if (keep == 0) {
      rec.Digits[0] = '1';
      rec.Count = 1;
      ++rec.Exponent;
    } else {
      IncrementDigits(rec, keep);
    }
  }
  StripTrailingZeros(rec);
}

constexpr int kShortestSafeDigits = 15;

// Eight decimal digits of v < 10^8, two at a time from a table.
void Write8Digits(char* out, uint32_t v) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  const uint32_t high = v / 10000, low = v % 10000;
  std::memcpy(out, kPairs + 2 * (high / 100), 2);
  std::memcpy(out + 2, kPairs + 2 * (high % 100), 2);
  std::memcpy(out + 4, kPairs + 2 * (low / 100), 2);
  std::memcpy(out + 6, kPairs + 2 * (low % 100), 2);
}

// The value's 15 significant digits, rounded half away from zero, without
// printing: the value is scaled by a power of ten that doubles hold exactly
// to an integer part of 15 digits, and the product's rounding error, which
// fma gives exactly, decides the halves. Only for values from 1e-7 up to
// 1e15, where the scale stays within the exact powers; false elsewhere.
bool Fast15Digits(double value, TFloatRec& rec) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (!(value >= 1e-7 && value < 1e15)) return false;
  int binary = 0;
  std::frexp(value, &binary);
  // floor(log10(value)), or one less; corrected below.
  int e = static_cast<int>(std::floor((binary - 1) * 0.30102999566398120));
  double p = 0;
  for (int tries = 0; tries < 3; ++tries) {
    const int scale = 14 - e;
    if (scale < 0 || scale > 22) return false;
    p = value * kPow10[scale];
    if (p >= 1e15) {
      ++e;
    } else if (p < 1e14) {
      --e;
    } else {
      const double error = std::fma(value, kPow10[scale], -p);
      const double whole = std::floor(p);
      const double fraction = p - whole;  // exact, and a multiple of p's last place
      const bool up = fraction > 0.5 || (fraction == 0.5 && error >= 0);
      uint64_t n = static_cast<uint64_t>(whole) + (up ? 1 : 0);
      if (n == 1000000000000000ULL) {
        n /= 10;
        ++e;
      }
      char digits[16];
      Write8Digits(digits, static_cast<uint32_t>(n / 100000000));
      Write8Digits(digits + 8, static_cast<uint32_t>(n % 100000000));
      std::memcpy(rec.Digits, digits + 1, 15);
      rec.Count = 15;
      rec.Exponent = e + 1;
      StripTrailingZeros(rec);
      return true;
    }
  }
  return false;
}

}  // namespace

TFloatRec FloatToDecimal(double value, int precision) {
  TFloatRec rec;
  rec.Negative = std::signbit(value);
  value = std::fabs(value);
  if (value == 0 || !std::isfinite(value)) return rec;
  if (precision < 1) precision = 1;
  if (precision > TFloatRec::kMaxDigits) precision = TFloatRec::kMaxDigits;
  if (precision == 15 && Fast15Digits(value, rec)) return rec;

  char buf[64];
  // Up to 15 digits, the shortest text that reads back as the value rounds
  // exactly as the value itself: the two differ by less than half a unit in
  // the last place of the double, which is less than half a unit in the 15th
  // decimal digit, so only a tie in that text can round differently, and a
  // tie is decided on the exact expansion below. Subnormal doubles are too
  // coarse for that. It is several times faster than printing 40 digits.
  const auto end =
      precision <= kShortestSafeDigits && value >= std::numeric_limits<double>::min()
          ? std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific).ptr
          : std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific,
                          TFloatRec::kMaxDigits - 1)
                .ptr;
  *end = '\0';
  rec.Count = ParseScientific(buf, rec.Digits, TFloatRec::kMaxDigits, rec.Exponent);
  if (precision < rec.Count && rec.Digits[precision] == '5') {
    bool restZero = true;
    for (int i = precision + 1; i < rec.Count; ++i) restZero = restZero && rec.Digits[i] == '0';
    if (restZero) {
      // Looks like a tie, but the digits were themselves rounded: decide
      // on the exact expansion (every double has one of at most 767 digits).
      std::vector<char> exact(820);
      std::snprintf(exact.data(), exact.size(), "%.780e", value);
      rec.Count = ParseScientific(exact.data(), rec.Digits, TFloatRec::kMaxDigits, rec.Exponent);
    }
  }
  KeepDigits(rec, precision);
  StripTrailingZeros(rec);
  return rec;
}

TFloatRec CurrToDecimal(Currency value) {
  TFloatRec rec;
  rec.Negative = value.raw < 0;
  uint64_t mag =
      rec.Negative ? 0 - static_cast<uint64_t>(value.raw) : static_cast<uint64_t>(value.raw);
  if (mag == 0) return rec;
  char buf[24];
  int n = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(mag));
  std::memcpy(rec.Digits, buf, static_cast<size_t>(n));
  rec.Count = n;
  rec.Exponent = n - 4;
  StripTrailingZeros(rec);
  return rec;
}

void RoundDecimals(TFloatRec& rec, int decimals) { KeepDigits(rec, rec.Exponent + decimals); }

void RoundSignificant(TFloatRec& rec, int digits) { KeepDigits(rec, digits); }

// ---------------------------------------------------------------------------
// Number texts

namespace {

char DigitAt(const TFloatRec& rec, int index) {
  return index >= 0 && index < rec.Count ? rec.Digits[index] : '0';
}

// Integer digits of the value without leading zeros ("" for values below 1).
std::string IntegerDigits(const TFloatRec& rec) {
  std::string s;
  for (int i = 0; i < rec.Exponent; ++i) s += DigitAt(rec, i);
  return s;
}

void AppendExponent(std::string& out, int exponent, bool plusSign, int minDigits) {
  if (exponent < 0) out += '-';
  else if (plusSign) out += '+';
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (static_cast<int>(digits.size()) < minDigits) out.append(minDigits - digits.size(), '0');
  out += digits;
}

void AppendGrouped(std::string& out, const std::string& digits, bool thousands, char separator) {
  const int n = static_cast<int>(digits.size());
  for (int j = 0; j < n; ++j) {
    out += digits[j];
    int rest = n - 1 - j;
    if (thousands && rest > 0 && rest % 3 == 0) out += separator;
  }
}

std::string GeneralText(const TFloatRec& rec, int precision, int expDigits,
                        const TFormatSettings& fs) {
  if (rec.IsZero()) return "0";
  std::string s;
  if (rec.Negative) s += '-';
  const int e = rec.Exponent - 1;
  if (e >= precision || e < -4) {
    s += rec.Digits[0];
    if (rec.Count > 1) {
      s += fs.DecimalSeparator;
      s.append(rec.Digits + 1, static_cast<size_t>(rec.Count - 1));
    }
    s += 'E';
    AppendExponent(s, e, false, expDigits);
  } else if (rec.Exponent <= 0) {
    s += '0';
    s += fs.DecimalSeparator;
    s.append(static_cast<size_t>(-rec.Exponent), '0');
    s.append(rec.Digits, static_cast<size_t>(rec.Count));
  } else {
    s += IntegerDigits(rec);
    if (rec.Count > rec.Exponent) {
      s += fs.DecimalSeparator;
      s.append(rec.Digits + rec.Exponent, static_cast<size_t>(rec.Count - rec.Exponent));
    }
  }
  return s;
}

std::string ExponentText(const TFloatRec& rec, int precision, int expDigits,
                         const TFormatSettings& fs) {
  std::string s;
  if (rec.Negative && !rec.IsZero()) s += '-';
  s += DigitAt(rec, 0);
  if (precision > 1) {
    s += fs.DecimalSeparator;
    for (int i = 1; i < precision; ++i) s += DigitAt(rec, i);
  }
  s += 'E';
  AppendExponent(s, rec.IsZero() ? 0 : rec.Exponent - 1, true, expDigits);
  return s;
}

// Places the currency string around an unsigned amount.
std::string ApplyCurrencyPattern(const std::string& amount, bool negative,
                                 const TFormatSettings& fs) {
  static const char* const kPositive[4] = {"$1", "1$", "$ 1", "1 $"};
  static const char* const kNegative[16] = {"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                            "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                            "$ -1", "1- $", "($ 1)", "(1 $)"};
  const char* pattern;
  if (negative) {
    int k = fs.NegCurrFormat;
    pattern = kNegative[k >= 0 && k < 16 ? k : 0];
  } else {
    int k = fs.CurrencyFormat;
    pattern = kPositive[k >= 0 && k < 4 ? k : 0];
  }
  std::string s;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '$') s += fs.CurrencyString;
    else if (*p == '1') s += amount;
    else s += *p;
  }
  return s;
}

std::string DecimalToStrF(TFloatRec rec, TFloatFormat format, int precision, int digits,
                          const TFormatSettings& fs) {
  switch (format) {
    case ffGeneral:
      return GeneralText(rec, precision, digits < 0 ? 0 : digits > 4 ? 4 : digits, fs);
    case ffExponent:
      return ExponentText(rec, precision, digits < 0 ? 0 : digits > 4 ? 4 : digits, fs);
    case ffFixed:
    case ffNumber:
    case ffCurrency: break;
  }
  if (rec.Exponent > precision) return GeneralText(rec, precision, 0, fs);
  if (digits < 0) digits = 0;
  if (digits > 18) digits = 18;
  RoundDecimals(rec, digits);
  std::string amount;
  std::string intDigits = IntegerDigits(rec);
  if (intDigits.empty()) intDigits.push_back('0');
  AppendGrouped(amount, intDigits, format != ffFixed, fs.ThousandSeparator);
  if (digits > 0) {
    amount += fs.DecimalSeparator;
    for (int k = 0; k < digits; ++k) amount += DigitAt(rec, rec.Exponent + k);
  }
  bool negative = rec.Negative && !rec.IsZero();
  if (format == ffCurrency) return ApplyCurrencyPattern(amount, negative, fs);
  return negative ? "-" + amount : amount;
}

int ClampPrecision(int precision) { return precision <= 0 ? 15 : precision > 18 ? 18 : precision; }

}  // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  precision = ClampPrecision(precision);
  return DecimalToStrF(FloatToDecimal(value, precision), format, precision, digits, fs);
}

std::string FloatToStr(double value, const TFormatSettings& fs) {
  return FloatToStrF(value, ffGeneral, 15, 0, fs);
}

std::string CurrToStrF(Currency value, TFloatFormat format, int digits, const TFormatSettings& fs) {
  // Every currency value has at most 19 digits, so nothing is lost.
  return DecimalToStrF(CurrToDecimal(value), format, 19, digits, fs);
}

std::string CurrToStr(Currency value, const TFormatSettings& fs) {
  return CurrToStrF(value, ffGeneral, 0, fs);
}

// ---------------------------------------------------------------------------
// Number format strings

namespace {

struct NumberSection {
  std::string_view text;
  int intCount = 0;      // digit placeholders before the decimal point
  int intZeroFrom = -1;  // index of the first "0" among them
  int fracCount = 0;     // digit placeholders after the decimal point
  int fracZeroTo = 0;    // fraction placeholders up to and including the last "0"
  bool thousands = false;
  bool scientific = false;
  // Nothing but digit placeholders, commas and one point, with a digit
  // before the point: the text is the digits themselves.
  bool plain = true;
};

bool IsExponentStart(std::string_view text, size_t i) {
  return (text[i] == 'E' || text[i] == 'e') && i + 1 < text.size() &&
         (text[i + 1] == '+' || text[i + 1] == '-');
}

// Up to three sections (positive;negative;zero); a further ";" ends the third.
struct Sections {
  std::string_view part[3];
  size_t count = 0;
  size_t size() const { return count; }
  std::string_view operator[](size_t k) const { return part[k]; }
};

Sections SplitSections(std::string_view format) {
  Sections sections;
  size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    const size_t end = FindUnquoted(format, ';', start);
    sections.part[sections.count++] =
        format.substr(start, end == std::string_view::npos ? end : end - start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return sections;
}

NumberSection ScanSection(std::string_view text) {
  NumberSection s;
  s.text = text;
  bool point = false;
  for (TFormatScanner scan(text); !scan.AtEnd();) {
    std::string_view literal;
    if (scan.TakeLiteral(literal)) {
      s.plain = false;
      continue;
    }
    if (s.scientific) break;  // what follows the exponent is literal text
    const size_t i = scan.Position();
    const char c = scan.Peek();
    scan.Advance();
    if (c == '.' && point) s.plain = false;
    else if (c != '0' && c != '#' && c != '.' && c != ',') s.plain = false;
    if (c == '0' || c == '#') {
      if (point) {
        ++s.fracCount;
        if (c == '0') s.fracZeroTo = s.fracCount;
      } else {
        if (c == '0' && s.intZeroFrom < 0) s.intZeroFrom = s.intCount;
        ++s.intCount;
      }
    } else if (c == '.') {
      point = true;
    } else if (c == ',') {
      s.thousands = true;
    } else if (IsExponentStart(text, i) && s.intCount + s.fracCount > 0) {
      s.scientific = true;
    }
  }
  if (s.scientific || s.intCount == 0) s.plain = false;
  return s;
}

// Integer digits the section's zeros ask for.
int MinIntegerDigits(const NumberSection& sec) {
  return sec.intZeroFrom >= 0 ? sec.intCount - sec.intZeroFrom : 0;
}

// Fraction digits shown: the value's own up to the placeholders, at least
// up to the last "0". `fracStart` is the digit index of the first one.
int KeptFractionDigits(const NumberSection& sec, const TFloatRec& rec, int fracStart) {
  int significant = rec.IsZero() ? 0 : rec.Count - fracStart;
  if (significant > sec.fracCount) significant = sec.fracCount;
  return significant > sec.fracZeroTo ? significant : sec.fracZeroTo;
}

// ApplySection for a plain section: the sign, the integer digits (padded
// to the section's zeros, grouped) and the kept fraction digits.
std::string ApplyPlainSection(const NumberSection& sec, const TFloatRec& rec, bool minus,
                              const TFormatSettings& fs) {
  const int n = rec.Exponent > 0 ? rec.Exponent : 0;
  const int minInt = MinIntegerDigits(sec);
  const int intLength = n > minInt ? n : minInt;
  const int keepFrac = KeptFractionDigits(sec, rec, rec.Exponent);

  std::string out;
  out.reserve(static_cast<size_t>(intLength + intLength / 3 + keepFrac + 2));
  if (minus) out += '-';
  for (int j = 0; j < intLength; ++j) {
    // Leading pad zeros first, then the value's own digits.
    const int digit = j - (intLength - n);
    out += digit < 0 ? '0' : DigitAt(rec, digit);
    const int rest = intLength - 1 - j;
    if (sec.thousands && rest > 0 && rest % 3 == 0) out += fs.ThousandSeparator;
  }
  if (keepFrac > 0) {
    out += fs.DecimalSeparator;
    for (int k = 0; k < keepFrac; ++k) out += DigitAt(rec, rec.Exponent + k);
  }
  return out;
}

// Lays the rounded value out along the section's placeholders.
std::string ApplySection(const NumberSection& sec, const TFloatRec& rec, bool minus,
                         const TFormatSettings& fs) {
  std::string intDigits;
  int exponent = 0;
  int fracStart;  // digit index of the first fraction digit
  if (sec.scientific) {
    if (!rec.IsZero()) {
      for (int i = 0; i < sec.intCount; ++i) intDigits += DigitAt(rec, i);
      exponent = rec.Exponent - sec.intCount;
    }
    fracStart = sec.intCount;
  } else {
    intDigits = IntegerDigits(rec);
    fracStart = rec.Exponent;
  }
  const int minInt = MinIntegerDigits(sec);
  if (static_cast<int>(intDigits.size()) < minInt)
    intDigits.insert(0, static_cast<size_t>(minInt) - intDigits.size(), '0');
  const int keepFrac = KeptFractionDigits(sec, rec, fracStart);

  const int n = static_cast<int>(intDigits.size());
  const bool groups = sec.thousands && !sec.scientific;
  auto emitIntDigit = [&](std::string& out, int j) {
    out += intDigits[j];
    int rest = n - 1 - j;
    if (groups && rest > 0 && rest % 3 == 0) out += fs.ThousandSeparator;
  };

  std::string out;
  if (minus) out += '-';
  int intIndex = 0, fracIndex = 0;
  bool point = false, intDone = false;
  const std::string_view text = sec.text;
  for (TFormatScanner scan(text); !scan.AtEnd();) {
    std::string_view literal;
    if (scan.TakeLiteral(literal)) {
      out.append(literal);
      continue;
    }
    const size_t i = scan.Position();
    const char c = scan.Peek();
    scan.Advance();
    if ((c == '0' || c == '#') && !point) {
      if (intIndex == 0) {
        for (int j = 0; j < n - sec.intCount + 1; ++j) emitIntDigit(out, j);
      } else {
        int j = n - sec.intCount + intIndex;
        if (j >= 0) emitIntDigit(out, j);
      }
      ++intIndex;
      intDone = intIndex == sec.intCount;
    } else if ((c == '0' || c == '#') && point) {
      if (fracIndex < keepFrac) out += DigitAt(rec, fracStart + fracIndex);
      ++fracIndex;
    } else if (c == '.' && !point) {
      point = true;
      if (sec.intCount == 0 && !intDone) {
        for (int j = 0; j < n; ++j) emitIntDigit(out, j);
        intDone = true;
      }
      if (keepFrac > 0) out += fs.DecimalSeparator;
    } else if (c == ',') {
      // thousands flag only
    } else if (sec.scientific && IsExponentStart(text, i)) {
      out += c;
      const bool plus = scan.Peek() == '+';
      scan.Advance();
      int zeros = 0;
      for (; !scan.AtEnd() && (scan.Peek() == '0' || scan.Peek() == '#'); scan.Advance())
        zeros += scan.Peek() == '0';
      AppendExponent(out, exponent, plus, zeros > 4 ? 4 : zeros);
      // The rest of the section is literal text.
      while (!scan.AtEnd()) {
        if (scan.TakeLiteral(literal)) {
          out.append(literal);
        } else {
          out += scan.Peek();
          scan.Advance();
        }
      }
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatDecimal(std::string_view format, const TFloatRec& value,
                          const TFormatSettings& fs) {
  const Sections sections = SplitSections(format);
  auto present = [&](size_t k) { return sections.size() > k && !sections[k].empty(); };
  const bool negative = value.Negative && !value.IsZero();

  size_t index = 0;
  if (value.IsZero() && present(2)) index = 2;
  else if (negative && present(1)) index = 1;

  NumberSection sec = ScanSection(sections[index]);
  if (!sec.scientific && value.Exponent > 18) return GeneralText(value, 15, 0, fs);

  TFloatRec rounded = value;
  if (sec.scientific) RoundSignificant(rounded, sec.intCount + sec.fracCount);
  else RoundDecimals(rounded, sec.fracCount);

  if (rounded.IsZero() && index != 2) {
    // Rounded away to nothing: shown as a zero, never with a minus.
    size_t zeroIndex = present(2) ? 2 : 0;
    if (zeroIndex != index) sec = ScanSection(sections[zeroIndex]);
    index = zeroIndex;
  }
  const bool minus = index == 0 && negative && !rounded.IsZero();
  if (sec.plain) return ApplyPlainSection(sec, rounded, minus, fs);
  return ApplySection(sec, rounded, minus, fs);
}

}  // namespace

std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs) {
  if (format.empty() || !std::isfinite(value)) return FloatToStr(value, fs);
  return FormatDecimal(format, FloatToDecimal(value, 15), fs);
}

std::string FormatCurr(std::string_view format, Currency value, const TFormatSettings& fs) {
  if (format.empty()) return CurrToStr(value, fs);
  return FormatDecimal(format, CurrToDecimal(value), fs);
}

}  // namespace hy
