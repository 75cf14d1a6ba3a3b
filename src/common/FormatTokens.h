// The one reader of quoted literals in format strings, shared by the number
// and the date-time formatters: "text" and 'text' stand for themselves, and
// an unclosed quote runs to the end of the format.
// Private to the formatters (Format*.cpp) and their tests.
#pragma once

#include <cstddef>
#include <string_view>

namespace hy {

class TFormatScanner {
public:
  explicit TFormatScanner(std::string_view format, size_t from = 0)
      : format_(format), pos_(from < format.size() ? from : format.size()) {}

  bool AtEnd() const { return pos_ >= format_.size(); }
  size_t Position() const { return pos_; }
  std::string_view Format() const { return format_; }
  // The character at the position; only when not AtEnd.
  char Peek() const { return format_[pos_]; }
  void Advance(size_t count = 1) {
    pos_ = count < format_.size() - pos_ ? pos_ + count : format_.size();
  }

  // When a quoted literal starts at the position: its text without the
  // quotes goes to `literal` and the scanner moves past it.
  bool TakeLiteral(std::string_view& literal) {
    const char quote = format_[pos_];
    if (quote != '"' && quote != '\'') return false;
    const size_t close = format_.find(quote, pos_ + 1);
    const size_t end = close == std::string_view::npos ? format_.size() : close;
    literal = format_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = close == std::string_view::npos ? end : end + 1;
    return true;
  }

private:
  std::string_view format_;
  size_t pos_;
};

// The position of the first `c` outside quoted literals at or after `from`,
// or npos.
inline size_t FindUnquoted(std::string_view format, char c, size_t from = 0) {
  for (TFormatScanner scan(format, from); !scan.AtEnd();) {
    std::string_view literal;
    if (scan.TakeLiteral(literal)) continue;
    if (scan.Peek() == c) return scan.Position();
    scan.Advance();
  }
  return std::string_view::npos;
}

}  // namespace hy
