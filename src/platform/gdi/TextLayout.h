// Line layout of the desktop's DrawText: alignment, word break, prefix
// characters, tab expansion. Shared by the recording canvas and by widgets
// that must break lines the way the pages do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/Fonts.h"
#include "platform/gdi/GdiTypes.h"

namespace hy {

// DrawText flags, with the desktop's values (the report passes them on).
constexpr uint32_t DT_TOP = 0x0000;
constexpr uint32_t DT_LEFT = 0x0000;
constexpr uint32_t DT_CENTER = 0x0001;
constexpr uint32_t DT_RIGHT = 0x0002;
constexpr uint32_t DT_VCENTER = 0x0004;
constexpr uint32_t DT_BOTTOM = 0x0008;
constexpr uint32_t DT_WORDBREAK = 0x0010;
constexpr uint32_t DT_SINGLELINE = 0x0020;
constexpr uint32_t DT_EXPANDTABS = 0x0040;
constexpr uint32_t DT_NOCLIP = 0x0100;
constexpr uint32_t DT_CALCRECT = 0x0400;
constexpr uint32_t DT_NOPREFIX = 0x0800;

struct TTextLine {
  std::u16string Text;
  std::vector<int32_t> Dx;  // advance of every UTF-16 unit, tabs expanded
  int32_t Width = 0;
  int32_t X = 0;  // left edge within the format rectangle (PlaceLines)
  int32_t Y = 0;  // top edge
};

struct TTextLayout {
  std::vector<TTextLine> Lines;
  int32_t LineHeight = 0;
  int32_t Width = 0;   // widest line
  int32_t Height = 0;  // all lines
};

// Breaks `text` into lines for a format rectangle `width` pixels wide
// (word break only with DT_WORDBREAK; a word longer than the width keeps its
// own line). Empty text has no lines.
TTextLayout LayoutText(const TTextMetrics& metrics, std::u16string_view text, int32_t width,
                       uint32_t flags);

// Sets X and Y of every line for the rectangle and the alignment flags.
void PlaceLines(TTextLayout& layout, const TRect& rect, uint32_t flags);

// What DrawText answers: the text height, or with DT_VCENTER / DT_BOTTOM the
// offset from the rectangle's top to the bottom of the text.
int32_t DrawTextResult(const TTextLayout& layout, const TRect& rect, uint32_t flags);

}  // namespace hy
