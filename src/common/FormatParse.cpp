// Parsers of numbers and dates written by people or by other programs.
#include <charconv>
#include <cmath>
#include <cstring>

#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"

namespace hy {

bool TryStrToFloat(std::string_view text, double& out, const TFormatSettings& fs) {
  std::string t = Trim(text);
  std::string buf;
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    if (t[i] == '-') buf += '-';
    ++i;
  }
  int digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
    buf += t[i++];
    ++digits;
  }
  if (i < t.size() && t[i] == fs.DecimalSeparator) {
    buf += '.';
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      buf += t[i++];
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    buf += 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) buf += t[i++];
    int expDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      buf += t[i++];
      ++expDigits;
    }
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
    throw EConvertError(
        Format("'%.*s' is not a valid integer value", static_cast<int>(text.size()), text.data()));
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
    char c = UpperChar(fs.ShortDateFormat[i]);
    if (c == '"' || c == '\'') {
      size_t close = fs.ShortDateFormat.find(fs.ShortDateFormat[i], i + 1);
      if (close == std::string::npos) break;
      i = close;
      continue;
    }
    if ((c == 'D' || c == 'M' || c == 'Y') &&
        std::memchr(order, c, static_cast<size_t>(parts)) == nullptr)
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
    else if (SameText(mark, fs.TimePMString) || SameText(mark, "PM") || SameText(mark, "P"))
      pm = true;
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
