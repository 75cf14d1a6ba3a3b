#include "common/Format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/Exceptions.h"
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
  exponent = (*p == 'e' ? std::atoi(p + 1) : 0) + 1;
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

}  // namespace

TFloatRec FloatToDecimal(double value, int precision) {
  TFloatRec rec;
  rec.Negative = std::signbit(value);
  value = std::fabs(value);
  if (value == 0 || !std::isfinite(value)) return rec;
  if (precision < 1) precision = 1;
  if (precision > TFloatRec::kMaxDigits) precision = TFloatRec::kMaxDigits;

  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific,
                                 TFloatRec::kMaxDigits - 1).ptr;
  *end = '\0';
  rec.Count = ParseScientific(buf, rec.Digits, TFloatRec::kMaxDigits, rec.Exponent);
  if (precision < rec.Count && rec.Digits[precision] == '5') {
    bool restZero = true;
    for (int i = precision + 1; i < rec.Count; ++i) restZero = restZero && rec.Digits[i] == '0';
    if (restZero) {
      // Looks like a tie, but the 40 digits were themselves rounded: decide
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
  uint64_t mag = rec.Negative ? 0 - static_cast<uint64_t>(value.raw) : static_cast<uint64_t>(value.raw);
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

std::string GeneralText(const TFloatRec& rec, int precision, int expDigits, const TFormatSettings& fs) {
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

std::string ExponentText(const TFloatRec& rec, int precision, int expDigits, const TFormatSettings& fs) {
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
std::string ApplyCurrencyPattern(const std::string& amount, bool negative, const TFormatSettings& fs) {
  static const char* const kPositive[4] = {"$1", "1$", "$ 1", "1 $"};
  static const char* const kNegative[16] = {"($1)", "-$1",  "$-1",  "$1-",  "(1$)",  "-1$",
                                            "1-$",  "1$-",  "-1 $", "-$ 1", "1 $-",  "$ 1-",
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
    case ffCurrency:
      break;
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
  int intCount = 0;     // digit placeholders before the decimal point
  int intZeroFrom = -1; // index of the first "0" among them
  int fracCount = 0;    // digit placeholders after the decimal point
  int fracZeroTo = 0;   // fraction placeholders up to and including the last "0"
  bool thousands = false;
  bool scientific = false;
};

// Length of the quoted literal starting at text[i] (quotes included).
size_t QuotedLength(std::string_view text, size_t i) {
  size_t close = text.find(text[i], i + 1);
  return close == std::string_view::npos ? text.size() - i : close - i + 1;
}

bool IsExponentStart(std::string_view text, size_t i) {
  return (text[i] == 'E' || text[i] == 'e') && i + 1 < text.size() &&
         (text[i + 1] == '+' || text[i + 1] == '-');
}

std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  for (size_t i = 0; i < format.size();) {
    char c = format[i];
    if (c == '"' || c == '\'') {
      i += QuotedLength(format, i);
    } else if (c == ';') {
      sections.push_back(format.substr(start, i - start));
      start = ++i;
      if (sections.size() == 2) break;  // a third ";" and what follows belong to section 3
    } else {
      ++i;
    }
  }
  sections.push_back(format.substr(start));
  if (sections.size() == 3) {
    // Only three sections exist; a further ";" ends the third.
    std::string_view& last = sections[2];
    for (size_t i = 0; i < last.size();) {
      if (last[i] == '"' || last[i] == '\'') i += QuotedLength(last, i);
      else if (last[i] == ';') { last = last.substr(0, i); break; }
      else ++i;
    }
  }
  return sections;
}

NumberSection ScanSection(std::string_view text) {
  NumberSection s;
  s.text = text;
  bool point = false;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '"' || c == '\'') {
      i += QuotedLength(text, i);
      continue;
    }
    if (s.scientific) break;  // what follows the exponent is literal text
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
    ++i;
  }
  return s;
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
  const int minInt = sec.intZeroFrom >= 0 ? sec.intCount - sec.intZeroFrom : 0;
  if (static_cast<int>(intDigits.size()) < minInt)
    intDigits.insert(0, static_cast<size_t>(minInt) - intDigits.size(), '0');
  int significantFrac = rec.IsZero() ? 0 : rec.Count - fracStart;
  if (significantFrac > sec.fracCount) significantFrac = sec.fracCount;
  const int keepFrac = significantFrac > sec.fracZeroTo ? significantFrac : sec.fracZeroTo;

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
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '"' || c == '\'') {
      size_t len = QuotedLength(text, i);
      size_t inner = len >= 2 && i + len <= text.size() && text[i + len - 1] == c ? len - 2 : len - 1;
      out.append(text.substr(i + 1, inner));
      i += len;
      continue;
    }
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
      bool plus = text[i + 1] == '+';
      i += 2;
      int zeros = 0;
      while (i < text.size() && (text[i] == '0' || text[i] == '#')) {
        if (text[i] == '0') ++zeros;
        ++i;
      }
      AppendExponent(out, exponent, plus, zeros > 4 ? 4 : zeros);
      // The rest of the section is literal text.
      for (; i < text.size();) {
        char r = text[i];
        if (r == '"' || r == '\'') {
          size_t len = QuotedLength(text, i);
          size_t inner = len >= 2 && text[i + len - 1] == r ? len - 2 : len - 1;
          out.append(text.substr(i + 1, inner));
          i += len;
        } else {
          out += r;
          ++i;
        }
      }
      break;
    } else {
      out += c;
    }
    ++i;
  }
  return out;
}

std::string FormatDecimal(std::string_view format, const TFloatRec& value,
                          const TFormatSettings& fs) {
  std::vector<std::string_view> sections = SplitSections(format);
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

// ---------------------------------------------------------------------------
// Date-time format strings

namespace {

inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWithNoCase(std::string_view text, size_t i, std::string_view prefix) {
  return text.size() - i >= prefix.size() && SameText(text.substr(i, prefix.size()), prefix);
}

class DateTimeWriter {
public:
  DateTimeWriter(TDateTime value, const TFormatSettings& fs) : fs_(fs) {
    DecodeDateTime(value, year_, month_, day_, hour_, min_, sec_, msec_);
    dayOfWeek_ = DayOfWeek(value);
  }

  void Append(std::string_view format, int level);
  std::string& Text() { return out_; }

private:
  void Number(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out_ += buf;
  }
  void Nested(const std::string& format, int level) {
    if (level < 2) Append(format, level + 1);
  }
  static bool TwelveHourClock(std::string_view format, size_t from);

  const TFormatSettings& fs_;
  int year_, month_, day_, hour_, min_, sec_, msec_, dayOfWeek_;
  std::string out_;
};

// An hour is shown on the 12-hour clock when an am/pm mark follows it before
// the next hour specifier.
bool DateTimeWriter::TwelveHourClock(std::string_view format, size_t from) {
  bool quoted = false;
  char quote = 0;
  for (size_t i = from; i < format.size(); ++i) {
    char c = format[i];
    if (quoted) {
      if (c == quote) quoted = false;
      continue;
    }
    if (c == '"' || c == '\'') {
      quoted = true;
      quote = c;
    } else if (c == 'h' || c == 'H') {
      return false;
    } else if (c == 'a' || c == 'A') {
      return StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
             StartsWithNoCase(format, i, "ampm");
    }
  }
  return false;
}

void DateTimeWriter::Append(std::string_view format, int level) {
  char last = 0;  // the last letter token, to tell minutes from months
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '"' || c == '\'') {
      size_t close = format.find(c, i + 1);
      if (close == std::string_view::npos) close = format.size();
      out_.append(format.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    if (!IsAsciiLetter(c)) {
      if (c == '/') out_ += fs_.DateSeparator;
      else if (c == ':') out_ += fs_.TimeSeparator;
      else out_ += c;
      ++i;
      continue;
    }
    char token = Upper(c);
    if (token == 'M' && last == 'H') token = 'N';
    last = token;
    if (token == 'A') {
      if (StartsWithNoCase(format, i, "am/pm")) {
        out_.append(format.substr(hour_ >= 12 ? i + 3 : i, 2));
        i += 5;
      } else if (StartsWithNoCase(format, i, "a/p")) {
        out_ += format[hour_ >= 12 ? i + 2 : i];
        i += 3;
      } else if (StartsWithNoCase(format, i, "ampm")) {
        out_ += hour_ >= 12 ? fs_.TimePMString : fs_.TimeAMString;
        i += 4;
      } else {
        out_ += c;
        ++i;
      }
      continue;
    }
    size_t count = 1;
    if (std::strchr("YMNDHSZTC", token)) {
      while (i + count < format.size() && Upper(format[i + count]) == Upper(c)) ++count;
    }
    i += count;
    switch (token) {
      case 'Y':
        if (count <= 2) Number(year_ % 100, 2);
        else Number(year_, 4);
        break;
      case 'M':
        if (count <= 2) Number(month_, static_cast<int>(count));
        else if (count == 3) out_ += fs_.ShortMonthNames[month_ - 1];
        else out_ += fs_.LongMonthNames[month_ - 1];
        break;
      case 'N':
        Number(min_, count >= 2 ? 2 : 1);
        break;
      case 'D':
        if (count <= 2) Number(day_, static_cast<int>(count));
        else if (count == 3) out_ += fs_.ShortDayNames[dayOfWeek_ - 1];
        else if (count == 4) out_ += fs_.LongDayNames[dayOfWeek_ - 1];
        else if (count == 5) Nested(fs_.ShortDateFormat, level);
        else Nested(fs_.LongDateFormat, level);
        break;
      case 'H': {
        int h = hour_;
        if (TwelveHourClock(format, i)) h = h == 0 ? 12 : h > 12 ? h - 12 : h;
        Number(h, count >= 2 ? 2 : 1);
        break;
      }
      case 'S':
        Number(sec_, count >= 2 ? 2 : 1);
        break;
      case 'Z':
        Number(msec_, count >= 3 ? 3 : static_cast<int>(count));
        break;
      case 'T':
        Nested(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, level);
        break;
      case 'C':
        Nested(fs_.ShortDateFormat, level);
        if (hour_ != 0 || min_ != 0 || sec_ != 0) {
          out_ += ' ';
          Nested(fs_.LongTimeFormat, level);
        }
        break;
      default:
        out_.append(count, c);
        break;
    }
  }
}

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs) {
  DateTimeWriter writer(value, fs);
  writer.Append(format.empty() ? std::string_view("c") : format, 0);
  return std::move(writer.Text());
}

std::string DateToStr(TDateTime value, const TFormatSettings& fs) {
  return FormatDateTime("ddddd", value, fs);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& fs) {
  return FormatDateTime("tt", value, fs);
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs) {
  return FormatDateTime("c", value, fs);
}

// ---------------------------------------------------------------------------
// Parsers

bool TryStrToFloat(std::string_view text, double& out, const TFormatSettings& fs) {
  std::string t = Trim(text);
  std::string buf;
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    if (t[i] == '-') buf += '-';
    ++i;
  }
  int digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') { buf += t[i++]; ++digits; }
  if (i < t.size() && t[i] == fs.DecimalSeparator) {
    buf += '.';
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') { buf += t[i++]; ++digits; }
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    buf += 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) buf += t[i++];
    int expDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') { buf += t[i++]; ++expDigits; }
    if (expDigits == 0) return false;
  }
  if (i != t.size()) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), v);
  if (ec != std::errc() || end != buf.data() + buf.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

double StrToFloat(std::string_view text, const TFormatSettings& fs) {
  double v;
  if (!TryStrToFloat(text, v, fs))
    throw EConvertError(Format("'%.*s' is not a valid floating point value",
                               static_cast<int>(text.size()), text.data()));
  return v;
}

bool TryStrToInt64(std::string_view text, int64_t& out) {
  std::string t = Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == t.size()) return false;
  uint64_t mag = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (; i < t.size(); ++i) {
    char c = t[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    if (mag > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return false;
    mag = mag * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
  }
  out = negative ? static_cast<int64_t>(0 - mag) : static_cast<int64_t>(mag);
  return true;
}

int32_t StrToInt(std::string_view text) {
  int64_t v;
  if (!TryStrToInt64(text, v) || v < INT32_MIN || v > INT32_MAX)
    throw EConvertError(Format("'%.*s' is not a valid integer value",
                               static_cast<int>(text.size()), text.data()));
  return static_cast<int32_t>(v);
}

namespace {

// A cursor over text for the date and time parsers.
struct Scanner {
  std::string_view text;
  size_t pos = 0;

  bool AtEnd() const { return pos >= text.size(); }
  bool Take(char c) {
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  void SkipBlanks() {
    while (pos < text.size() && text[pos] == ' ') ++pos;
  }
  // Reads minDigits .. maxDigits decimal digits.
  bool Number(int& value, int minDigits, int maxDigits, int* digitsRead = nullptr) {
    int n = 0;
    value = 0;
    while (pos < text.size() && n < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + (text[pos++] - '0');
      ++n;
    }
    if (digitsRead) *digitsRead = n;
    return n >= minDigits;
  }
  // Milliseconds from a fraction of a second; digits past the third are dropped.
  bool Fraction(int& msec) {
    int n = 0;
    msec = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      if (n < 3) msec = msec * 10 + (text[pos] - '0');
      ++n;
      ++pos;
    }
    for (int k = n; k < 3; ++k) msec *= 10;
    return n > 0;
  }
};

// "HH:MM[:SS[.fff]]" with the given separator; hours of 1 .. maxHourDigits digits.
bool ScanTime(Scanner& s, char separator, int minHourDigits, int& h, int& m, int& sec, int& ms) {
  sec = 0;
  ms = 0;
  if (!s.Number(h, minHourDigits, 2) || !s.Take(separator) || !s.Number(m, 2, 2)) return false;
  if (s.Take(separator)) {
    if (!s.Number(sec, 2, 2)) return false;
    if (s.Take('.') && !s.Fraction(ms)) return false;
  }
  return true;
}

}  // namespace

bool TryISOStrToDateTime(std::string_view text, TDateTime& out) {
  Scanner s{text};
  int h, m, sec, ms;
  TDateTime time;
  if (text.size() >= 3 && text[2] == ':') {
    if (!ScanTime(s, ':', 2, h, m, sec, ms) || !s.AtEnd() || !TryEncodeTime(h, m, sec, ms, time))
      return false;
    out = time;
    return true;
  }
  int y, mo, d;
  TDateTime date;
  if (!s.Number(y, 4, 4) || !s.Take('-') || !s.Number(mo, 2, 2) || !s.Take('-') ||
      !s.Number(d, 2, 2) || !TryEncodeDate(y, mo, d, date))
    return false;
  if (s.AtEnd()) {
    out = date;
    return true;
  }
  if (!(s.Take('T') || s.Take(' '))) return false;
  if (!ScanTime(s, ':', 2, h, m, sec, ms) || !s.AtEnd() || !TryEncodeTime(h, m, sec, ms, time))
    return false;
  out = ComposeDateTime(date, time);
  return true;
}

bool TryStrToDate(std::string_view text, TDateTime& out, const TFormatSettings& fs) {
  // Order of the day, month and year numbers as the short date format has them.
  char order[3];
  int parts = 0;
  for (size_t i = 0; i < fs.ShortDateFormat.size() && parts < 3; ++i) {
    char c = Upper(fs.ShortDateFormat[i]);
    if (c == '"' || c == '\'') {
      size_t close = fs.ShortDateFormat.find(fs.ShortDateFormat[i], i + 1);
      if (close == std::string::npos) break;
      i = close;
      continue;
    }
    if ((c == 'D' || c == 'M' || c == 'Y') && std::memchr(order, c, static_cast<size_t>(parts)) == nullptr)
      order[parts++] = c;
  }
  if (parts != 3) return false;

  std::string trimmed = Trim(text);
  Scanner s{trimmed};
  int values[3];
  int yearDigits = 0;
  int count = 0;
  for (; count < 3; ++count) {
    if (count > 0 && !s.Take(fs.DateSeparator)) break;
    int digits;
    if (!s.Number(values[count], 1, 4, &digits)) return false;
    if (order[count] == 'Y') yearDigits = digits;
  }
  if (count < 2) return false;

  int year = 0, month = 0, day = 0;
  int current, cm, cd;
  DecodeDate(Now(), current, cm, cd);
  if (count == 3) {
    for (int k = 0; k < 3; ++k) {
      if (order[k] == 'Y') year = values[k];
      else if (order[k] == 'M') month = values[k];
      else day = values[k];
    }
    if (yearDigits <= 2) {
      // Two-digit years fall within 50 years of this year.
      int base = current - 50;
      year += base / 100 * 100;
      if (year < base) year += 100;
    }
  } else {
    year = current;
    int k = 0;
    for (char c : order) {
      if (c == 'Y') continue;
      if (c == 'M') month = values[k++];
      else day = values[k++];
    }
  }
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date)) return false;

  s.SkipBlanks();
  if (s.AtEnd()) {
    out = date;
    return true;
  }
  int h, m, sec, ms;
  if (!ScanTime(s, fs.TimeSeparator, 1, h, m, sec, ms)) return false;
  s.SkipBlanks();
  if (!s.AtEnd()) {
    std::string_view mark = std::string_view(trimmed).substr(s.pos);
    bool pm;
    if (SameText(mark, fs.TimeAMString) || SameText(mark, "AM") || SameText(mark, "A")) pm = false;
    else if (SameText(mark, fs.TimePMString) || SameText(mark, "PM") || SameText(mark, "P")) pm = true;
    else return false;
    if (h < 1 || h > 12) return false;
    h = h % 12 + (pm ? 12 : 0);
  }
  TDateTime time;
  if (!TryEncodeTime(h, m, sec, ms, time)) return false;
  out = ComposeDateTime(date, time);
  return true;
}

}  // namespace hy
