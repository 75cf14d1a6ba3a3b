// Reading enhanced-metafile records: the enumerator that walks a picture
// record by record, and typed views of the records this system draws and
// the exports read. The views decode through the record layouts of
// EmfLayout.h. Nothing here reads outside the bytes it is given: the
// enumerator checks the whole record chain before the first callback, and
// each view checks its variable parts, raising EEmfError when they do not fit.
//
// A record and its views point into the picture's bytes; they are valid only
// while the picture is alive and unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QImage>

#include "platform/gdi/Colors.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/GdiTypes.h"

namespace hy {

class TMetafile;

// One record: its type, its size in bytes and its bytes from the type field on.
struct TEmfRecord {
  uint32_t Type = 0;
  uint32_t Size = 0;
  const uint8_t* Data = nullptr;
  uint32_t Offset = 0;  // position in the picture
  uint32_t Index = 0;   // 0-based record number (the header is 0)

  const uint8_t* Body() const { return Data + 8; }
  uint32_t BodySize() const { return Size - 8; }
};

// The fixed size of a known record type (its smallest sound size), 8 for
// types this reader does not know.
uint32_t MinRecordSize(uint32_t type);

// ---- the header ----

struct TEmfHeader {
  TRect Bounds;  // inclusive, device units of the reference device
  TRect Frame;   // inclusive, .01 mm
  uint32_t Signature = 0;
  uint32_t Version = 0;
  uint32_t Bytes = 0;    // size of the whole picture
  uint32_t Records = 0;  // number of records, header and end record included
  uint16_t Handles = 0;  // size of the object table, index 0 included
  uint32_t PalEntries = 0;
  TSize Device;                // reference device in pixels
  TSize Millimeters;           // reference device in millimetres
  TSize Micrometers;           // zero when the header is the short form
  std::u16string Description;  // creator "\0" title, as stored (terminators stripped)
  uint32_t HeaderSize = 0;

  // The frame in reference-device pixels (right and bottom exclusive).
  double FrameLeftPx() const;
  double FrameTopPx() const;
  double FrameWidthPx() const;
  double FrameHeightPx() const;
  std::string Creator() const;  // UTF-8, first part of the description
  std::string Title() const;    // UTF-8, second part
};

// Checks that `data` holds a sound enhanced metafile: an EMF header, a chain
// of records each at least as large as its fixed part, all within the data
// and within the header's byte count, ending with EMR_EOF. Returns the
// header. Throws EEmfError with the reason otherwise.
TEmfHeader ValidateMetafile(const uint8_t* data, size_t size);

// Hands every record, header and end record included, to `callback` in
// order. The picture is validated first, so the callback sees all records
// or none. An empty picture (never recorded) has no records.
using TEmfCallback = std::function<void(const TEmfRecord&)>;
void EnumerateMetafile(const TMetafile& picture, const TEmfCallback& callback);
void EnumerateMetafile(const uint8_t* data, size_t size, const TEmfCallback& callback);
// The same, stopping when the callback answers false.
using TEmfUntilCallback = std::function<bool(const TEmfRecord&)>;
void EnumerateMetafileUntil(const uint8_t* data, size_t size, const TEmfUntilCallback& callback);

// ---- typed views ----
// Each Read function expects a record of its type (an assertion otherwise)
// and raises EEmfError when its variable parts do not fit in the record.

TEmfHeader ReadHeader(const TEmfRecord& r);

// EMR_SETBKMODE, EMR_SETTEXTALIGN, EMR_SETMAPMODE, EMR_SETPOLYFILLMODE,
// EMR_SETROP2, EMR_SETSTRETCHBLTMODE, EMR_SELECTOBJECT, EMR_DELETEOBJECT,
// EMR_RESTOREDC: the one 32-bit value of the body.
uint32_t ReadValue(const TEmfRecord& r);
// EMR_SETTEXTCOLOR, EMR_SETBKCOLOR.
TColor ReadColor(const TEmfRecord& r);
// EMR_MOVETOEX, EMR_LINETO and the window / viewport extent and origin records.
TPoint ReadPoint(const TEmfRecord& r);
// EMR_RECTANGLE, EMR_ELLIPSE, EMR_INTERSECTCLIPRECT, EMR_EXCLUDECLIPRECT:
// the box as stored (inclusive-exclusive like the desktop's RECT).
TRect ReadBox(const TEmfRecord& r);

// EMR_SETPIXELV.
struct TEmrSetPixel {
  TPoint Point;
  TColor Color = 0;
};
TEmrSetPixel ReadSetPixel(const TEmfRecord& r);

struct TEmrCreatePen {
  uint32_t Handle = 0;
  uint32_t Style = 0;  // PS_*
  int32_t Width = 0;
  TColor Color = 0;
};
// EMR_CREATEPEN, and EMR_EXTCREATEPEN reduced to the same fields.
TEmrCreatePen ReadCreatePen(const TEmfRecord& r);

struct TEmrCreateBrush {
  uint32_t Handle = 0;
  uint32_t Style = 0;  // BS_*
  TColor Color = 0;
  uint32_t Hatch = 0;
};
TEmrCreateBrush ReadCreateBrush(const TEmfRecord& r);

struct TLogFont {
  int32_t Height = 0;
  int32_t Width = 0;
  int32_t Escapement = 0;
  int32_t Orientation = 0;
  int32_t Weight = 0;
  uint8_t Italic = 0;
  uint8_t Underline = 0;
  uint8_t StrikeOut = 0;
  uint8_t CharSet = 0;
  uint8_t OutPrecision = 0;
  uint8_t ClipPrecision = 0;
  uint8_t Quality = 0;
  uint8_t PitchAndFamily = 0;
  std::string FaceName;  // UTF-8

  // The font description (height, bold at weight 700 or more, italic /
  // underline / strike-out when their byte is 1, character set, face,
  // pitch from the low four bits) with the given colour.
  TFont ToFont(TColor color = clBlack) const;
  static TLogFont FromFont(const TFont& font);
};

struct TEmrCreateFont {
  uint32_t Handle = 0;
  TLogFont LogFont;
};
TEmrCreateFont ReadCreateFont(const TEmfRecord& r);

// EMR_EXTTEXTOUTW and EMR_EXTTEXTOUTA.
struct TEmrExtTextOut {
  TRect Bounds;  // inclusive
  uint32_t GraphicsMode = 0;
  float ExScale = 0;
  float EyScale = 0;
  TPoint Reference;
  uint32_t Chars = 0;
  uint32_t Options = 0;  // ETO_*
  TRect Rect;            // clipping / opaquing rectangle (empty with ETO_NO_RECT)
  bool Wide = true;      // EXTTEXTOUTW: UTF-16; EXTTEXTOUTA: 8-bit (code page 1252)

  std::u16string Text16() const;
  std::string Text() const;  // UTF-8
  // The string as stored: Chars units of 2 bytes (wide) or 1 byte.
  const uint8_t* StringBytes() const { return string_; }
  bool HasDx() const { return dx_ != nullptr; }
  // Advance of character i (with ETO_PDY, the horizontal part).
  int32_t Dx(uint32_t i) const;
  // Whether ETO_CLIPPED cut the string: its advances reach further than the
  // drawn bounds.
  bool Clipped() const;

private:
  friend TEmrExtTextOut ReadExtTextOut(const TEmfRecord& r);
  const uint8_t* string_ = nullptr;
  const uint8_t* dx_ = nullptr;
};
TEmrExtTextOut ReadExtTextOut(const TEmfRecord& r);

// The bitmap of a bit-block record: header + colour table and rows.
struct TDibRef {
  const uint8_t* Info = nullptr;
  uint32_t InfoSize = 0;
  const uint8_t* Bits = nullptr;
  uint32_t BitsSize = 0;
  bool Present() const { return Info && InfoSize && Bits && BitsSize; }
  // Decodes it (EBitmapError when unsound); a null image when absent.
  QImage Decode() const;
};

// EMR_BITBLT and EMR_STRETCHBLT. Without a source bitmap the record fills
// the destination with the current brush (PATCOPY) or a fixed colour.
struct TEmrBitBlt {
  TRect Bounds;  // inclusive
  int32_t XDest = 0, YDest = 0, CxDest = 0, CyDest = 0;
  uint32_t Rop = 0;
  int32_t XSrc = 0, YSrc = 0;
  float XFormSrc[6] = {1, 0, 0, 1, 0, 0};
  TColor BkColorSrc = 0;
  uint32_t UsageSrc = 0;
  int32_t CxSrc = 0, CySrc = 0;  // EMR_STRETCHBLT; the destination size for EMR_BITBLT
  TDibRef Source;
  bool HasSource() const { return Source.Present(); }
};
TEmrBitBlt ReadBitBlt(const TEmfRecord& r);

struct TEmrStretchDIBits {
  TRect Bounds;  // inclusive
  int32_t XDest = 0, YDest = 0;
  int32_t XSrc = 0, YSrc = 0, CxSrc = 0, CySrc = 0;
  uint32_t UsageSrc = 0;
  uint32_t Rop = 0;
  int32_t CxDest = 0, CyDest = 0;
  TDibRef Source;
};
TEmrStretchDIBits ReadStretchDIBits(const TEmfRecord& r);

// EMR_POLYLINE16, EMR_POLYGON16 (and the 32-bit EMR_POLYLINE, EMR_POLYGON).
struct TEmrPoly {
  TRect Bounds;
  uint32_t Count = 0;
  bool Short = true;  // 16-bit points
  TPoint Point(uint32_t i) const;

private:
  friend TEmrPoly ReadPoly(const TEmfRecord& r);
  const uint8_t* points_ = nullptr;
};
TEmrPoly ReadPoly(const TEmfRecord& r);

struct TXForm {
  float M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
};
// EMR_SETWORLDTRANSFORM; EMR_MODIFYWORLDTRANSFORM also gives its mode.
TXForm ReadXForm(const TEmfRecord& r, uint32_t* mode = nullptr);

// EMR_EXTSELECTCLIPRGN: how the region combines with the clip and its
// rectangles (device units, right and bottom outside). A record without
// region data (HasRegion false) resets the clip under RGN_COPY.
struct TEmrClipRegion {
  uint32_t Mode = 0;  // RGN_*
  bool HasRegion = false;
  uint32_t Count = 0;
  TRect Rect(uint32_t i) const;

private:
  friend TEmrClipRegion ReadClipRegion(const TEmfRecord& r);
  const uint8_t* rects_ = nullptr;
};
TEmrClipRegion ReadClipRegion(const TEmfRecord& r);

}  // namespace hy
