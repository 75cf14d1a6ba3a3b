// RTF: the grid as one table of a Rich Text document, each text cell with
// its font, size, style, colour and alignment, pictures as hexadecimal
// device-independent bitmaps. The tables of fonts and colours are known
// only when the body is written, so the body goes to a temporary file first
// and is appended after them.
#pragma once

#include <string>
#include <string_view>

#include "export/KyRExportAttributes.h"

namespace hy {

class TKyRExportToRTF : public TKyRExportAttributes {
public:
  // Every element kind takes a grid cell; texts and pictures give content.
  TKyRExportToRTF();
  void SaveToFile(const std::string& fileName) override;
};

// Page units to twips (truncated).
int32_t RtfTwips(int32_t units);
// The text as RTF: backslash and braces escaped, code-page characters as
// their bytes, the others as \uN?, tabs and line breaks as control words.
void AppendRtfText(std::string& out, std::string_view utf8);

}  // namespace hy
