// Date-time format strings: "mmm, yyyy", "\"Q.\"m, yyyy", "ddd dd.mm.yy", the
// settings' short and long forms nested in them.
#include <cstdio>
#include <cstring>

#include "common/Format.h"
#include "common/FormatTokens.h"
#include "common/StrUtils.h"

namespace hy {

namespace {

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
  for (TFormatScanner scan(format, from); !scan.AtEnd();) {
    std::string_view literal;
    if (scan.TakeLiteral(literal)) continue;
    const size_t i = scan.Position();
    const char c = scan.Peek();
    scan.Advance();
    if (c == 'h' || c == 'H') return false;
    if (c == 'a' || c == 'A')
      return StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
             StartsWithNoCase(format, i, "ampm");
  }
  return false;
}

void DateTimeWriter::Append(std::string_view format, int level) {
  char last = 0;  // the last letter token, to tell minutes from months
  TFormatScanner scan(format);
  while (!scan.AtEnd()) {
    std::string_view literal;
    if (scan.TakeLiteral(literal)) {
      out_.append(literal);
      continue;
    }
    size_t i = scan.Position();  // the token's start, then its end
    const char c = format[i];
    if (!IsAsciiLetter(c)) {
      if (c == '/') out_ += fs_.DateSeparator;
      else if (c == ':') out_ += fs_.TimeSeparator;
      else out_ += c;
      scan.Advance();
      continue;
    }
    char token = UpperChar(c);
    if (token == 'M' && last == 'H') token = 'N';
    last = token;
    if (token == 'A') {
      if (StartsWithNoCase(format, i, "am/pm")) {
        out_.append(format.substr(hour_ >= 12 ? i + 3 : i, 2));
        scan.Advance(5);
      } else if (StartsWithNoCase(format, i, "a/p")) {
        out_ += format[hour_ >= 12 ? i + 2 : i];
        scan.Advance(3);
      } else if (StartsWithNoCase(format, i, "ampm")) {
        out_ += hour_ >= 12 ? fs_.TimePMString : fs_.TimeAMString;
        scan.Advance(4);
      } else {
        out_ += c;
        scan.Advance();
      }
      continue;
    }
    size_t count = 1;
    if (std::strchr("YMNDHSZTC", token)) {
      while (i + count < format.size() && UpperChar(format[i + count]) == UpperChar(c)) ++count;
    }
    scan.Advance(count);
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
      case 'N': Number(min_, count >= 2 ? 2 : 1); break;
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
      case 'S': Number(sec_, count >= 2 ? 2 : 1); break;
      case 'Z': Number(msec_, count >= 3 ? 3 : static_cast<int>(count)); break;
      case 'T': Nested(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, level); break;
      case 'C':
        Nested(fs_.ShortDateFormat, level);
        if (hour_ != 0 || min_ != 0 || sec_ != 0) {
          out_ += ' ';
          Nested(fs_.LongTimeFormat, level);
        }
        break;
      default: out_.append(count, c); break;
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

}  // namespace hy
