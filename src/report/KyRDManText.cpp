#include <algorithm>
#include <set>

#include "report/KyRDMan.h"

namespace hy {
namespace {

// Characters of a UTF-8 text (continuation bytes do not count).
int CharCount(const std::string& text) {
  int count = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

std::string PadWith(const std::string& text, int width, char fill) {
  const int missing = width - CharCount(text);
  if (missing <= 0) return text;
  return std::string(static_cast<std::size_t>(missing), fill) + text;
}

}  // namespace

void ParsePageRange(const std::string& text, std::vector<std::string>& list) {
  list.clear();
  std::set<int> pages;
  int number = 0;
  bool haveDigits = false;
  bool inRange = false;
  int rangeStart = 0;
  const std::size_t last = text.empty() ? 0 : text.size() - 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool digit = c >= '0' && c <= '9';
    if (digit) {
      // A number beyond any report's length is held at the limit, so that
      // neither the value overflows nor a range asks for millions of pages.
      number = std::min(number * 10 + (c - '0'), kMaxPageNumber);
      haveDigits = true;
    }
    if ((!digit || i == last) && haveDigits) {
      const int n = number;
      pages.insert(n);
      if (!inRange) {
        rangeStart = n + 1;
      } else {
        inRange = false;
        for (int page = rangeStart; page < n; ++page) pages.insert(page);
        rangeStart = 0;
      }
      number = 0;
      haveDigits = false;
    }
    if (c == '-' && rangeStart != 0) inRange = true;
  }
  list.reserve(pages.size());
  for (int page : pages) list.push_back(std::to_string(page));
}

std::string PadLeft(const std::string& text, int width) { return PadWith(text, width, ' '); }

std::string PadZeros(const std::string& text, int width) { return PadWith(text, width, '0'); }

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"': out += "&quot;"; continue;
      case '&': out += "&amp;"; continue;
      case '\'': out += "&#39;"; continue;  // "&apos;" is not HTML 4
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      default: break;
    }
    // The symbols that have a named entity: (C) deg +- para as two bytes,
    // the trade mark as three.
    if (c == 0xC2 && i + 1 < text.size()) {
      const char* entity = nullptr;
      switch (static_cast<unsigned char>(text[i + 1])) {
        case 0xA9: entity = "&copy;"; break;
        case 0xB0: entity = "&deg;"; break;
        case 0xB1: entity = "&plusmn;"; break;
        case 0xB6: entity = "&para;"; break;
        default: break;
      }
      if (entity) {
        out += entity;
        ++i;
        continue;
      }
    }
    if (c == 0xE2 && text.compare(i, 3, "\xE2\x84\xA2") == 0) {
      out += "&trade;";
      i += 2;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

}  // namespace hy
