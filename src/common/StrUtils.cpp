#include "common/StrUtils.h"

#include <cstdint>
#include <cstdio>

namespace hy {

std::string FormatV(const char* fmt, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, fmt, args);
  std::string result;
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    result.assign(small, static_cast<size_t>(n));
  } else if (n >= 0) {
    result.resize(static_cast<size_t>(n));
    std::vsnprintf(result.data(), result.size() + 1, fmt, copy);
  }
  va_end(copy);
  return result;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string result = FormatV(fmt, args);
  va_end(args);
  return result;
}

static inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
static inline char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = UpperAscii(c);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerAscii(c);
  return r;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> SplitString(std::string_view s, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == separator) {
      parts.emplace_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

namespace {

// Decodes one UTF-8 sequence at s[i]; a malformed byte stands for itself.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (len <= 1 || i + len > s.size()) {
    ++i;
    return c;
  }
  uint32_t cp = c & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += len;
  return cp;
}

inline uint32_t FoldCase(uint32_t cp) { return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp; }

// Primary comparison ignoring case; the first case difference (lower before
// upper) is reported through `tie` for the caller to use on equal words.
int ComparePrimary(std::string_view a, std::string_view b, int& tie) {
  size_t i = 0, j = 0;
  tie = 0;
  while (i < a.size() && j < b.size()) {
    uint32_t ca = NextCodePoint(a, i);
    uint32_t cb = NextCodePoint(b, j);
    uint32_t fa = FoldCase(ca), fb = FoldCase(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
    if (tie == 0 && ca != cb) tie = ca > cb ? -1 : 1;  // 'a' (97) > 'A' (65): lower first
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace

int AnsiCompareStr(std::string_view a, std::string_view b) {
  int tie;
  int r = ComparePrimary(a, b, tie);
  return r != 0 ? r : tie;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  int tie;
  return ComparePrimary(a, b, tie);
}

}  // namespace hy
