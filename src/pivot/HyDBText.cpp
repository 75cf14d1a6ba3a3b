// The stored text of a pivot state, e.g.
//   (2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 1 1 1 -1 'Payment')
// Six values per dimension: axis code, active index, state code, position,
// value and name. Names are quoted with single quotes, a quote doubled.
#include <cctype>
#include <limits>

#include "common/StrUtils.h"
#include "pivot/HyDB.h"

namespace hy {

namespace {

int32_t AxisCode(TDimAxis axis) {
  switch (axis) {
    case TDimAxis::Rows: return 1;
    case TDimAxis::Cols: return 2;
    default: return 0;
  }
}

int32_t StateCode(TDimState state) {
  switch (state) {
    case TDimState::Open: return 1;
    case TDimState::Closed: return 2;
    case TDimState::Drilled: return 3;
    case TDimState::Fixed: return 4;
    default: return 0;
  }
}

[[noreturn]] void Fail(const std::string& detail) {
  throw EPivotStateError("Invalid pivot state: " + detail);
}

class TStateReader {
public:
  explicit TStateReader(std::string_view text) : text_(text) {}

  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool AtEnd() {
    SkipSpace();
    return pos_ >= text_.size();
  }
  // The next character after blanks, or 0 at the end.
  char Peek() {
    SkipSpace();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void Expect(char c) {
    if (Peek() != c) Fail(Format("'%c' expected at character %d", c, Where()));
    ++pos_;
  }
  int32_t ReadInt() {
    SkipSpace();
    const size_t start = pos_;
    bool negative = false;
    if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+'))
      negative = text_[pos_++] == '-';
    int64_t value = 0;
    size_t digits = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
        Fail(Format("number too large at character %d", static_cast<int>(start) + 1));
      ++digits;
    }
    if (digits == 0) {
      pos_ = start;
      Fail(Format("number expected at character %d", Where()));
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max())
      Fail(Format("number too large at character %d", static_cast<int>(start) + 1));
    return static_cast<int32_t>(value);
  }
  std::string ReadName(int32_t record) {
    Expect('\'');
    std::string name;
    for (;;) {
      if (pos_ >= text_.size()) Fail(Format("unterminated name in record %d", record + 1));
      const char c = text_[pos_++];
      if (c != '\'') {
        name += c;
      } else if (pos_ < text_.size() && text_[pos_] == '\'') {
        name += '\'';
        ++pos_;
      } else {
        return name;
      }
    }
  }
  int Where() const { return static_cast<int>(pos_) + 1; }

private:
  std::string_view text_;
  size_t pos_ = 0;
};

TDimAxis AxisOfCode(int32_t code, int32_t record) {
  switch (code) {
    case 0: return TDimAxis::NoAxis;
    case 1: return TDimAxis::Rows;
    case 2: return TDimAxis::Cols;
    default: Fail(Format("axis code %d of record %d is not 0, 1 or 2", code, record + 1));
  }
}

TDimState StateOfCode(int32_t code, int32_t record) {
  switch (code) {
    case 0: return TDimState::Unplaced;
    case 1: return TDimState::Open;
    case 2: return TDimState::Closed;
    case 3: return TDimState::Drilled;
    case 4: return TDimState::Fixed;
    default: Fail(Format("state code %d of record %d is not 0 to 4", code, record + 1));
  }
}

}  // namespace

std::string WritePivotStateText(const TDimInfoArray& infos) {
  std::string text = "(";
  for (int32_t i = 0; i < infos.Count(); ++i) {
    const TDimInfo& info = infos[i];
    if (i > 0) text += ' ';
    text += Format("%d %d %d %d %d '", AxisCode(info.Axis), info.ActiveIndex, StateCode(info.State),
                   info.Position, info.Value);
    for (char c : info.Name) {
      text += c;
      if (c == '\'') text += '\'';
    }
    text += '\'';
  }
  return text + ")";
}

TDimInfoArray ReadPivotStateText(std::string_view text, int32_t expectedCount) {
  TStateReader reader(text);
  std::vector<TDimInfo> records;
  reader.Expect('(');
  while (reader.Peek() != ')') {
    if (reader.AtEnd()) Fail("')' missing at the end");
    const int32_t index = static_cast<int32_t>(records.size());
    TDimInfo info;
    info.DimIndex = index;
    info.Axis = AxisOfCode(reader.ReadInt(), index);
    info.ActiveIndex = reader.ReadInt();
    info.State = StateOfCode(reader.ReadInt(), index);
    info.Position = reader.ReadInt();
    info.Value = reader.ReadInt();
    // Coordinates are 16-bit; -1 stands for all values.
    if (info.Value < -1 || info.Value > std::numeric_limits<int16_t>::max())
      Fail(Format("value %d of record %d is out of range", info.Value, index + 1));
    // The name is optional.
    if (reader.Peek() == '\'') info.Name = reader.ReadName(index);
    records.push_back(std::move(info));
  }
  reader.Expect(')');
  if (!reader.AtEnd()) Fail(Format("unexpected text after ')' at character %d", reader.Where()));
  const int32_t found = static_cast<int32_t>(records.size());
  if (expectedCount >= 0 && found != expectedCount)
    Fail(Format("%d records expected, %d found", expectedCount, found));
  TDimInfoArray infos;
  infos.Items() = std::move(records);
  return infos;
}

}  // namespace hy
