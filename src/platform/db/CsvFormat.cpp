#include "platform/db/CsvFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <set>

#include "common/CodePage.h"
#include "common/Currency.h"
#include "common/DateUtils.h"
#include "common/StrUtils.h"

namespace hy {

namespace {

[[noreturn]] void Fail(int64_t line, const std::string& text) {
  throw ECsvError(Format("line %lld: %s", static_cast<long long>(line), text.c_str()));
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t c = b(i);
  if (c < 0x80) return 1;
  size_t n = 0;
  uint32_t cp = 0;
  if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return n;
}

std::string_view DropBom(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return bytes;
}

// --- numbers

// Digits with an optional sign: an integer that fits 64 bits.
bool ParseInteger(std::string_view s, int64_t& out) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.size() > 20) return false;
  for (size_t i = s.front() == '-' ? 1 : 0; i < s.size(); ++i)
    if (!IsDigit(s[i])) return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// A plain decimal number: sign, digits, the decimal separator, an exponent.
bool ParseFloat(std::string_view s, char decimal, double& out) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.size() > 64) return false;
  std::string text(s);
  bool digits = false;
  for (char& c : text) {
    if (c == decimal) c = '.';
    else if (c == '.') return false;  // the other separator: not plain
    else if (IsDigit(c)) digits = true;
    else if (c != '-' && c != 'e' && c != 'E' && c != '+') return false;
  }
  if (!digits) return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
  return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(out);
}

// Money: a currency sign before or after, digits grouped by the other
// separator, a minus or accounting parentheses. Plain numbers fit too.
// `sign` tells whether a currency sign or grouping was there.
bool ParseMoney(std::string_view s, char decimal, Currency& out, bool& marked) {
  static const std::string_view kSigns[] = {"$", "\xE2\x82\xAC", "\xC2\xA3", "\xC2\xA5"};
  s = TrimBlanks(s);
  marked = false;
  bool negative = false;
  if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
    negative = true;
    marked = true;
    s = TrimBlanks(s.substr(1, s.size() - 2));
  }
  if (!s.empty() && s.front() == '-') negative = !negative, s.remove_prefix(1);
  for (std::string_view sign : kSigns) {
    if (s.substr(0, sign.size()) == sign) {
      s = TrimBlanks(s.substr(sign.size())), marked = true;
      break;
    }
    if (s.size() >= sign.size() && s.substr(s.size() - sign.size()) == sign) {
      s = TrimBlanks(s.substr(0, s.size() - sign.size())), marked = true;
      break;
    }
  }
  if (!s.empty() && s.front() == '-' && !negative) negative = true, s.remove_prefix(1);
  const char group = decimal == ',' ? '.' : ',';
  const size_t point = s.find(decimal);
  std::string_view whole = s.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
  if (whole.empty() || fraction.size() > 4) return false;
  if (point != std::string_view::npos && fraction.empty()) return false;
  int64_t units = 0;
  size_t sinceGroup = 0;
  bool grouped = false;
  for (size_t i = 0; i < whole.size(); ++i) {
    const char c = whole[i];
    if (c == group) {
      // Groups of three digits, the first of one to three.
      if (i == 0 || (grouped && sinceGroup != 3) || sinceGroup > 3) return false;
      grouped = true, sinceGroup = 0;
      continue;
    }
    if (!IsDigit(c) || units > (INT64_MAX / Currency::kScale) / 10 - 10) return false;
    units = units * 10 + (c - '0');
    ++sinceGroup;
  }
  if (grouped && sinceGroup != 3) return false;
  marked = marked || grouped;
  int64_t frac = 0;
  for (size_t i = 0; i < 4; ++i) {
    frac *= 10;
    if (i < fraction.size()) {
      if (!IsDigit(fraction[i])) return false;
      frac += fraction[i] - '0';
    }
  }
  const int64_t raw = units * Currency::kScale + frac;
  out = Currency::FromRaw(negative ? -raw : raw);
  return true;
}

// --- dates

int ReadNumber(std::string_view s, size_t& i, size_t maxDigits) {
  int n = 0;
  size_t k = 0;
  while (i < s.size() && IsDigit(s[i]) && k < maxDigits) n = n * 10 + (s[i++] - '0'), ++k;
  return k ? n : -1;
}

// "HH:MM[:SS[.fff]]" from s[i] to the end.
bool ParseTimePart(std::string_view s, size_t i, TDateTime& time) {
  const int h = ReadNumber(s, i, 2);
  if (h < 0 || i >= s.size() || s[i++] != ':') return false;
  const int m = ReadNumber(s, i, 2);
  int sec = 0, ms = 0;
  if (m < 0) return false;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if ((sec = ReadNumber(s, i, 2)) < 0) return false;
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
      ++i;
      const size_t start = i;
      const int f = ReadNumber(s, i, 3);
      if (f < 0) return false;
      ms = f * (i - start == 1 ? 100 : i - start == 2 ? 10 : 1);
      while (i < s.size() && IsDigit(s[i])) ++i;  // finer than milliseconds
    }
  }
  if (i < s.size() && s[i] == 'Z') ++i;
  return i == s.size() && TryEncodeTime(h, m, sec, ms, time);
}

// A date, optionally followed by a time, in `order` (ISO year-first texts
// are read whatever the order). `hasTime` tells whether a time was there.
bool ParseDateText(std::string_view s, TCsvDateOrder order, TDateTime& out, bool& hasTime) {
  s = TrimBlanks(s);
  size_t i = 0;
  const int a = ReadNumber(s, i, 4);
  if (a < 0 || i >= s.size()) return false;
  const size_t firstDigits = i;
  const char sep = s[i];
  if (sep != '-' && sep != '/' && sep != '.') return false;
  ++i;
  const int b = ReadNumber(s, i, 2);
  if (b < 0 || i >= s.size() || s[i] != sep) return false;
  ++i;
  const size_t yearStart = i;
  const int c = ReadNumber(s, i, 4);
  if (c < 0) return false;
  int y, m, d;
  if (firstDigits == 4) {
    y = a, m = b, d = c;
  } else {
    if (order == TCsvDateOrder::YMD || i - yearStart != 4) return false;
    y = c;
    m = order == TCsvDateOrder::MDY ? a : b;
    d = order == TCsvDateOrder::MDY ? b : a;
  }
  TDateTime date = 0;
  if (!TryEncodeDate(y, m, d, date)) return false;
  hasTime = false;
  if (i < s.size()) {
    if (s[i] != ' ' && s[i] != 'T') return false;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && s[i] == 'T') ++i;
    TDateTime time = 0;
    if (!ParseTimePart(s, i, time)) return false;
    hasTime = true;
    date = ComposeDateTime(date, time);
  }
  out = date;
  return true;
}

std::vector<std::string> UniqueNames(const std::vector<std::string>& header, size_t count) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (size_t i = 0; i < count; ++i) {
    std::string base = i < header.size() ? Trim(header[i]) : std::string();
    if (base.empty()) base = Format("Field%zu", i + 1);
    std::string name = base;
    for (int n = 2; seen.count(LowerCase(name)); ++n) name = Format("%s_%d", base.c_str(), n);
    seen.insert(LowerCase(name));
    names.push_back(name);
  }
  return names;
}

// The records of `data` as far as they parse, at most `limit`; blank lines
// left out. When the data is cut, the last (maybe partial) record is dropped
// and a parse fault ends the list quietly.
std::vector<std::vector<std::string>> SampleRecords(std::string_view data, char separator,
                                                    char quote, bool complete, size_t limit) {
  std::vector<std::vector<std::string>> records;
  TCsvParser parser(data, separator, quote);
  std::vector<std::string> fields;
  try {
    while (records.size() < limit && parser.Next(fields))
      if (!fields.empty()) records.push_back(fields);
  } catch (const ECsvError&) {
    if (complete) throw;
    return records;
  }
  if (!complete && records.size() < limit && !records.empty()) records.pop_back();
  return records;
}

char DetectSeparator(std::string_view data, bool complete) {
  char best = ',';
  double bestScore = 0;
  for (char candidate : {',', '\t', ';', '|'}) {
    std::vector<std::vector<std::string>> records;
    try {
      records = SampleRecords(data, candidate, '"', complete, 50);
    } catch (const ECsvError&) {
      continue;
    }
    std::map<size_t, int> counts;
    for (const auto& r : records) ++counts[r.size()];
    size_t modal = 0;
    int modalCount = 0;
    for (const auto& [n, c] : counts)
      if (c > modalCount) modal = n, modalCount = c;
    if (modal < 2) continue;
    // Consistency first, then more columns.
    const double score = double(modalCount) / double(records.size()) * 1000 + double(modal);
    if (score > bestScore) best = candidate, bestScore = score;
  }
  return best;
}

char DetectQuote(std::string_view data, char separator) {
  size_t dq = 0, sq = 0;
  bool fieldStart = true;
  for (char c : data.substr(0, 65536)) {
    if (fieldStart) {
      if (c == '"') ++dq;
      if (c == '\'') ++sq;
    }
    fieldStart = c == separator || IsLineEnd(c);
  }
  return dq == 0 && sq > 0 ? '\'' : '"';
}

char DetectDecimal(const std::vector<std::vector<std::string>>& records, char separator) {
  if (separator == ',') return '.';
  int comma = 0, point = 0;
  for (const auto& r : records) {
    for (const std::string& f : r) {
      double d;
      if (ParseFloat(f, '.', d) && f.find('.') != std::string::npos) ++point;
      else if (ParseFloat(f, ',', d) && f.find(',') != std::string::npos) ++comma;
    }
  }
  return comma > point ? ',' : '.';
}

}  // namespace

const char* CsvTypeName(TCsvType type) {
  switch (type) {
    case TCsvType::Integer: return "Integer";
    case TCsvType::Float: return "Float";
    case TCsvType::Currency: return "Currency";
    case TCsvType::Date: return "Date";
    case TCsvType::DateTime: return "Date and time";
    case TCsvType::Text: return "Text";
  }
  return "Text";
}

const char* CsvEncodingName(TCsvEncoding encoding) {
  return encoding == TCsvEncoding::Utf8 ? "UTF-8" : "Windows-1252";
}

TFieldType CsvFieldType(TCsvType type) {
  switch (type) {
    case TCsvType::Integer: return ftLargeint;
    case TCsvType::Float: return ftFloat;
    case TCsvType::Currency: return ftCurrency;
    case TCsvType::Date: return ftDate;
    case TCsvType::DateTime: return ftDateTime;
    case TCsvType::Text: return ftString;
  }
  return ftString;
}

// ------------------------------------------------------------------ parser

TCsvParser::TCsvParser(std::string_view data, char separator, char quote)
    : data_(data), separator_(separator), quote_(quote) {}

bool TCsvParser::Next(std::vector<std::string>& fields) {
  fields.clear();
  if (pos_ >= data_.size()) return false;
  recordLine_ = line_;
  const size_t n = data_.size();
  auto endLine = [&] {
    if (data_[pos_] == '\r' && pos_ + 1 < n && data_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
  };
  if (IsLineEnd(data_[pos_])) {  // a blank line
    endLine();
    return true;
  }
  for (;;) {
    std::string field;
    if (quote_ && pos_ < n && data_[pos_] == quote_) {
      ++pos_;
      for (;;) {
        if (pos_ >= n)
          Fail(recordLine_, Format("field %zu: the quote is not closed", fields.size() + 1));
        const char c = data_[pos_];
        if (c == quote_) {
          if (pos_ + 1 < n && data_[pos_ + 1] == quote_) {
            field += quote_;
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        if (c == '\r' || c == '\n') {
          ++line_;
          if (c == '\r' && pos_ + 1 < n && data_[pos_ + 1] == '\n') field += data_[pos_++];
        }
        field += data_[pos_++];
      }
      while (pos_ < n && data_[pos_] == ' ' && separator_ != ' ') ++pos_;
      if (pos_ < n && data_[pos_] != separator_ && !IsLineEnd(data_[pos_]))
        Fail(line_, Format("field %zu: text after the closing quote", fields.size() + 1));
    } else {
      const size_t start = pos_;
      while (pos_ < n && data_[pos_] != separator_ && !IsLineEnd(data_[pos_])) ++pos_;
      field.assign(data_.substr(start, pos_ - start));
    }
    fields.push_back(std::move(field));
    if (pos_ >= n) return true;
    if (data_[pos_] == separator_) {
      ++pos_;
      continue;
    }
    endLine();
    return true;
  }
}

// ---------------------------------------------------------------- encoding

TCsvEncoding DetectCsvEncoding(std::string_view bytes) {
  // A sample cut inside a character still counts as UTF-8.
  for (size_t i = 0; i < bytes.size();) {
    const size_t len = Utf8Length(bytes, i);
    if (!len)
      return bytes.size() - i < 4 && static_cast<uint8_t>(bytes[i]) >= 0xC2 ? TCsvEncoding::Utf8
                                                                            : TCsvEncoding::Cp1252;
    i += len;
  }
  return TCsvEncoding::Utf8;
}

std::string DecodeCsvText(std::string_view bytes, TCsvEncoding encoding, int64_t line) {
  bytes = DropBom(bytes);
  if (encoding == TCsvEncoding::Utf8) {
    for (size_t i = 0; i < bytes.size();) {
      const size_t len = Utf8Length(bytes, i);
      if (!len) {
        const int64_t at = line + std::count(bytes.begin(), bytes.begin() + i, '\n');
        Fail(at, "the bytes are not UTF-8 (choose the Windows-1252 encoding)");
      }
      i += len;
    }
    return std::string(bytes);
  }
  return Cp1252ToUtf8(bytes);
}

// ------------------------------------------------------------------ values

bool ParseCsvValue(std::string_view text, const TCsvColumn& column, char decimal, Variant& out) {
  if (TrimBlanks(text).empty()) {
    out = Variant::Null();
    return true;
  }
  switch (column.type) {
    case TCsvType::Integer: {
      int64_t v = 0;
      if (!ParseInteger(text, v)) return false;
      out = Variant(v);
      return true;
    }
    case TCsvType::Float: {
      double v = 0;
      if (!ParseFloat(text, decimal, v)) return false;
      out = Variant(v);
      return true;
    }
    case TCsvType::Currency: {
      Currency v;
      bool marked = false;
      if (!ParseMoney(text, decimal, v, marked)) return false;
      out = Variant(v);
      return true;
    }
    case TCsvType::Date:
    case TCsvType::DateTime: {
      TDateTime v = 0;
      bool hasTime = false;
      if (!ParseDateText(text, column.dateOrder, v, hasTime)) return false;
      if (column.type == TCsvType::Date && hasTime) return false;
      out = Variant::Date(v);
      return true;
    }
    case TCsvType::Text: out = Variant(std::string(text)); return true;
  }
  return false;
}

TCsvColumn DetectCsvColumn(const std::vector<std::string_view>& values, char decimal) {
  bool isInt = true, isFloat = true, isMoney = true, anyMarked = false, anyTime = false;
  bool anyValue = false;
  // Date orders under which every value so far reads.
  bool orders[3] = {true, true, true};
  for (std::string_view v : values) {
    if (TrimBlanks(v).empty()) continue;
    anyValue = true;
    int64_t i;
    double d;
    Currency c;
    bool marked = false;
    if (isInt && !ParseInteger(v, i)) isInt = false;
    if (isFloat && !ParseFloat(v, decimal, d)) isFloat = false;
    if (isMoney) {
      if (!ParseMoney(v, decimal, c, marked)) isMoney = false;
      anyMarked = anyMarked || marked;
    }
    for (int o = 0; o < 3; ++o) {
      TDateTime dt;
      bool hasTime = false;
      if (orders[o] && !ParseDateText(v, static_cast<TCsvDateOrder>(o), dt, hasTime))
        orders[o] = false;
      anyTime = anyTime || hasTime;
    }
    if (!isInt && !isFloat && !isMoney && !orders[0] && !orders[1] && !orders[2]) break;
  }
  TCsvColumn column;
  if (!anyValue) return column;
  if (isInt) column.type = TCsvType::Integer;
  else if (isFloat) column.type = TCsvType::Float;
  else if (isMoney && anyMarked) column.type = TCsvType::Currency;
  else if (orders[0] || orders[1] || orders[2]) {
    column.type = anyTime ? TCsvType::DateTime : TCsvType::Date;
    column.dateOrder = orders[0]   ? TCsvDateOrder::YMD
                       : orders[2] ? TCsvDateOrder::MDY
                                   : TCsvDateOrder::DMY;
  }
  return column;
}

// --------------------------------------------------------------- detection

void DetectCsvColumns(std::string_view data, TCsvSettings& settings, bool complete,
                      std::vector<std::vector<std::string>>* preview, int previewRows,
                      size_t maxRecords) {
  const size_t limit = std::min(complete ? SIZE_MAX : 5000, maxRecords);
  std::vector<std::vector<std::string>> records =
      SampleRecords(data, settings.separator, settings.quote, complete, limit);
  size_t count = 0;
  if (!records.empty()) count = settings.header ? records.front().size() : 0;
  if (!settings.header) {
    std::map<size_t, int> counts;
    int best = 0;
    for (const auto& r : records)
      if (++counts[r.size()] > best) best = counts[r.size()], count = r.size();
  }
  const size_t first = settings.header && !records.empty() ? 1 : 0;
  std::vector<std::string> names = UniqueNames(
      settings.header && !records.empty() ? records.front() : std::vector<std::string>(), count);
  settings.columns.clear();
  std::vector<std::string_view> values;
  for (size_t c = 0; c < count; ++c) {
    values.clear();
    for (size_t r = first; r < records.size(); ++r)
      if (c < records[r].size()) values.push_back(records[r][c]);
    TCsvColumn column = DetectCsvColumn(values, settings.decimalSeparator);
    column.name = names[c];
    settings.columns.push_back(column);
  }
  if (preview) {
    preview->clear();
    for (size_t r = first; r < records.size() && preview->size() < size_t(previewRows); ++r)
      preview->push_back(records[r]);
  }
}

TCsvDetection DetectCsv(std::string_view bytes, bool complete, int previewRows) {
  TCsvDetection result;
  TCsvSettings& s = result.settings;
  s.encoding = DetectCsvEncoding(DropBom(bytes));
  std::string text;
  if (s.encoding == TCsvEncoding::Utf8) {
    // A sample may end inside a character: decode the whole characters only.
    size_t end = DropBom(bytes).size();
    while (!complete && end > 0 && (static_cast<uint8_t>(DropBom(bytes)[end - 1]) & 0xC0) == 0x80)
      --end;
    if (!complete && end > 0 && static_cast<uint8_t>(DropBom(bytes)[end - 1]) >= 0xC0) --end;
    text = std::string(DropBom(bytes).substr(0, end));
  } else {
    text = DecodeCsvText(bytes, s.encoding);
  }
  s.separator = DetectSeparator(text, complete);
  s.quote = DetectQuote(text, s.separator);
  std::vector<std::vector<std::string>> sample;
  try {
    sample = SampleRecords(text, s.separator, s.quote, complete, 200);
  } catch (const ECsvError&) {
    sample.clear();  // the reader reports the fault with its line
  }
  s.decimalSeparator = DetectDecimal(sample, s.separator);

  // A header: a first record of distinct, non-empty names that do not read
  // as the values below them where those are not text.
  s.header = false;
  if (!sample.empty()) {
    const std::vector<std::string>& top = sample.front();
    std::set<std::string> distinct;
    bool plausible = true;
    for (const std::string& f : top)
      if (Trim(f).empty() || !distinct.insert(f).second) plausible = false;
    if (plausible) {
      TCsvSettings body = s;
      body.header = true;
      DetectCsvColumns(text, body, complete, nullptr, 0, 5000);  // the first records tell
      bool typedBelow = false, headerFits = false;
      for (size_t c = 0; c < body.columns.size() && c < top.size(); ++c) {
        if (body.columns[c].type == TCsvType::Text) continue;
        typedBelow = true;
        Variant v;
        if (ParseCsvValue(top[c], body.columns[c], s.decimalSeparator, v)) headerFits = true;
      }
      if (typedBelow) {
        s.header = !headerFits;
      } else {
        // Text everywhere: a header unless its names come back as values.
        bool repeats = false;
        for (size_t r = 1; r < sample.size() && !repeats; ++r)
          for (size_t c = 0; c < top.size() && c < sample[r].size(); ++c)
            if (sample[r][c] == top[c]) repeats = true;
        s.header = !repeats && (sample.size() > 1 || top.size() > 1);
      }
    }
  }
  try {
    DetectCsvColumns(text, s, complete, &result.preview, previewRows);
  } catch (const ECsvError&) {
    s.columns.clear();
  }
  result.sampleCut = !complete;
  return result;
}

std::string ReadCsvBytes(const std::string& fileName, int64_t maxBytes) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw ECsvError(Format("Cannot open file '%s'", fileName.c_str()));
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) throw ECsvError(Format("Cannot read file '%s'", fileName.c_str()));
  in.seekg(0);
  const int64_t want = maxBytes < 0 ? size : std::min<int64_t>(size, maxBytes);
  std::string bytes(static_cast<size_t>(want), '\0');
  if (want > 0 && !in.read(bytes.data(), want))
    throw ECsvError(Format("Cannot read file '%s'", fileName.c_str()));
  return bytes;
}

TCsvDetection DetectCsvFile(const std::string& fileName, int64_t maxBytes, int previewRows) {
  const std::string bytes = ReadCsvBytes(fileName, maxBytes + 1);
  const bool complete = static_cast<int64_t>(bytes.size()) <= maxBytes;
  return DetectCsv(complete ? std::string_view(bytes) : std::string_view(bytes).substr(0, maxBytes),
                   complete, previewRows);
}

}  // namespace hy
