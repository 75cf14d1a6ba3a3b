// Code page 1252, the 8-bit text of old files (metafiles, CSV files), and
// UTF-8, the text in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hy {

// Appends the UTF-8 bytes of `c`.
void AppendUtf8(std::string& out, char32_t c);
// The character of a code-page byte; the five unassigned bytes stay
// control characters.
char16_t Cp1252ToUnicode(uint8_t c);
std::string Cp1252ToUtf8(std::string_view s);
// Unicode to code page 1252; characters it cannot hold become '?'.
uint8_t UnicodeToCp1252(char32_t c);

}  // namespace hy
