#include "export/KyRCodePage.h"

#include "platform/gdi/Bytes.h"

namespace hy {

char32_t NextCodePoint(std::string_view s, size_t& i) {
  uint8_t b = uint8_t(s[i]);
  if (b < 0x80) {
    ++i;
    return b;
  }
  int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
  if (len == 0 || b > 0xF4 || i + len > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = b & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    uint8_t cb = uint8_t(s[i + k]);
    if ((cb & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (cb & 0x3F);
  }
  // overlong forms, surrogates and values beyond Unicode are malformed too
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
    ++i;
    return 0xFFFD;
  }
  i += len;
  return c;
}

uint8_t AnsiByte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return uint8_t(c);
  uint8_t b = le::UnicodeToCp1252(c);
  return b == '?' ? 0 : b;
}

bool FitsAnsi(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    if (uint8_t(utf8[i]) < 0x80) {
      ++i;
      continue;
    }
    if (!AnsiByte(NextCodePoint(utf8, i))) return false;
  }
  return true;
}

void AppendAnsi(std::string& out, std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    if (uint8_t(utf8[i]) < 0x80) {
      out += utf8[i++];
      continue;
    }
    uint8_t b = AnsiByte(NextCodePoint(utf8, i));
    out += b ? char(b) : '?';
  }
}

std::string_view CutChars(std::string_view utf8, size_t maxChars) {
  if (utf8.size() <= maxChars) return utf8;
  size_t i = 0;
  for (size_t n = 0; n < maxChars && i < utf8.size(); ++n) NextCodePoint(utf8, i);
  return utf8.substr(0, i);
}

bool IsBlankText(std::string_view s) {
  for (char c : s)
    if (uint8_t(c) > ' ') return false;
  return true;
}

}  // namespace hy
