// TKyRERecord: one drawing element captured from a page picture, the input
// of every cell-based export.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"

namespace hy {

enum TKyRERecordKind : uint8_t { rkText, rkLine, rkRectangle, rkEllipse, rkPicture };

// Fonts are shared between the elements drawn with them: a report uses a
// handful of fonts for a great many cells.
using TSharedFont = std::shared_ptr<const TFont>;
const TSharedFont& DefaultExportFont();

struct TKyRERecord {
  uint8_t Kind = rkText;
  uint8_t Align = 0;       // text-alignment flags in force (low byte)
  TColor Color = clWhite;  // background in force; a picture's source background
  TSharedFont Font = DefaultExportFont();
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  std::string Text;                  // UTF-8
  bool Clipped = false;              // the page shows only what lies within Width
  std::unique_ptr<TBitmap> Picture;  // picture elements only

  bool IsText() const { return Kind == rkText; }
  // A text element whose text is more than blanks.
  bool HasText() const;
  bool HasPicture() const { return Picture && !Picture->Empty(); }
};

}  // namespace hy
