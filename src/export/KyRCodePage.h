// The 8-bit code page of the text formats (1252), and the UTF-8 walking the
// writers share. Text is UTF-8 in memory; the writers turn it into code-page
// bytes and decide themselves what a character the code page lacks becomes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hy {

// The code page the text formats declare ("windows-1252").
constexpr int kAnsiCodePage = 1252;

// The code point at s[i], advancing i past it. Malformed bytes give U+FFFD
// and advance by one byte.
char32_t NextCodePoint(std::string_view s, size_t& i);

// The code-page byte of `c`, or 0 when the code page cannot hold it
// (U+0000 itself also gives 0, which callers treat as unrepresentable).
uint8_t AnsiByte(char32_t c);

// Whether every character of `utf8` has a code-page byte.
bool FitsAnsi(std::string_view utf8);

// The code-page bytes of `utf8`, each character the code page lacks as "?".
void AppendAnsi(std::string& out, std::string_view utf8);

// The first `maxChars` characters of `utf8` (never cut inside a character).
std::string_view CutChars(std::string_view utf8, size_t maxChars);

// Whether the text holds nothing but blanks and control characters.
bool IsBlankText(std::string_view s);

}  // namespace hy
