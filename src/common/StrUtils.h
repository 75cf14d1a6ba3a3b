// Text helpers shared by the units.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

namespace hy {

// printf-style formatting of a message ("%s: Lookup info incomplete").
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

bool SameText(std::string_view a, std::string_view b);  // ASCII case-insensitive
std::string UpperCase(std::string_view s);
// One ASCII letter in upper case; other characters as they are.
inline char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
std::string LowerCase(std::string_view s);
std::string Trim(std::string_view s);  // blanks and control characters at both ends
// Splits at every separator; empty parts are kept.
std::vector<std::string> SplitString(std::string_view s, char separator);
// Locale-aware, case-sensitive order of the desktop: letters compare
// alphabetically first, and only equal words fall back to case (lower
// before upper). Non-ASCII characters compare by code point.
int AnsiCompareStr(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);  // case-insensitive

}  // namespace hy
