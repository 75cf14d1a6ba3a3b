// The byte layouts of the enhanced-metafile records this system writes and
// reads, each described once: a struct of named fields in file order whose
// Fields() lists them for the generic decoder, encoder and size count below.
// A layout covers the bytes after the record's type and size (offset 8) or,
// for the parts that follow a fixed part, the bytes at a stated offset.
//
// The reader (EmfRecords.cpp) decodes through these layouts, checking the
// record's declared size first; the canvas, the picture embedding and the
// old-form writer encode through them, each record inside a
// TEmfRecordScope. Included by the graphics sources and the exporters, not by
// headers.
#pragma once

#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/GdiTypes.h"

namespace hy::emf {

// ---- field codec ----

namespace field {

constexpr uint32_t Bytes(const uint8_t&) { return 1; }
constexpr uint32_t Bytes(const uint16_t&) { return 2; }
constexpr uint32_t Bytes(const uint32_t&) { return 4; }
constexpr uint32_t Bytes(const int32_t&) { return 4; }
constexpr uint32_t Bytes(const float&) { return 4; }
constexpr uint32_t Bytes(const TPoint&) { return 8; }
constexpr uint32_t Bytes(const TSize&) { return 8; }
constexpr uint32_t Bytes(const TRect&) { return 16; }
template <class T, size_t N>
constexpr uint32_t Bytes(const T (&a)[N]) {
  return uint32_t(N) * Bytes(a[0]);
}

inline void Get(const uint8_t*& p, uint8_t& v) { v = *p++; }
inline void Get(const uint8_t*& p, uint16_t& v) { v = le::U16(p), p += 2; }
inline void Get(const uint8_t*& p, uint32_t& v) { v = le::U32(p), p += 4; }
inline void Get(const uint8_t*& p, int32_t& v) { v = le::I32(p), p += 4; }
inline void Get(const uint8_t*& p, float& v) { v = le::F32(p), p += 4; }
inline void Get(const uint8_t*& p, TPoint& v) { Get(p, v.X), Get(p, v.Y); }
inline void Get(const uint8_t*& p, TSize& v) { Get(p, v.Cx), Get(p, v.Cy); }
inline void Get(const uint8_t*& p, TRect& v) {
  Get(p, v.Left), Get(p, v.Top), Get(p, v.Right), Get(p, v.Bottom);
}
template <class T, size_t N>
void Get(const uint8_t*& p, T (&a)[N]) {
  for (T& v : a) Get(p, v);
}

inline void Put(le::TWriter& w, uint8_t v) { w.U8(v); }
inline void Put(le::TWriter& w, uint16_t v) { w.U16(v); }
inline void Put(le::TWriter& w, uint32_t v) { w.U32(v); }
inline void Put(le::TWriter& w, int32_t v) { w.I32(v); }
inline void Put(le::TWriter& w, float v) { w.F32(v); }
inline void Put(le::TWriter& w, const TPoint& v) { w.I32(v.X), w.I32(v.Y); }
inline void Put(le::TWriter& w, const TSize& v) { w.I32(v.Cx), w.I32(v.Cy); }
inline void Put(le::TWriter& w, const TRect& v) {
  w.I32(v.Left), w.I32(v.Top), w.I32(v.Right), w.I32(v.Bottom);
}
template <class T, size_t N>
void Put(le::TWriter& w, const T (&a)[N]) {
  for (const T& v : a) Put(w, v);
}

}  // namespace field

// Bytes of a layout's fields.
template <class L>
constexpr uint32_t LayoutBytes() {
  L fields{};
  uint32_t n = 0;
  L::Fields(fields, [&n](const auto&... f) { n += (0u + ... + field::Bytes(f)); });
  return n;
}

// The smallest sound size of a record whose fixed part is layout L.
template <class L>
constexpr uint32_t RecordSize() {
  return 8 + LayoutBytes<L>();
}

// Decodes layout L from `p`; the caller has checked that LayoutBytes<L>() bytes are there.
template <class L>
L DecodeFields(const uint8_t* p) {
  L fields{};
  L::Fields(fields, [&p](auto&... f) { (field::Get(p, f), ...); });
  return fields;
}

template <class L>
void EncodeFields(le::TWriter& w, const L& fields) {
  L::Fields(fields, [&w](const auto&... f) { (field::Put(w, f), ...); });
}

// Raises EEmfError: `what` of record `r` does not fit in it.
[[noreturn]] void ThrowDamaged(const TEmfRecord& r, const char* what);

// Whether [offset, offset + count * unit) lies inside the record, after its type and size.
inline bool FitsInRecord(const TEmfRecord& r, uint64_t offset, uint64_t count, uint64_t unit) {
  return offset >= 8 && offset <= r.Size && count * unit <= r.Size - offset;
}

// The record's fixed part laid out as L, after checking the record's declared size.
template <class L>
L DecodeRecord(const TEmfRecord& r) {
  if (r.Size < RecordSize<L>()) ThrowDamaged(r, "the fixed part");
  return DecodeFields<L>(r.Data + 8);
}

// A part laid out as L at `offset` inside the record (`what` names it in the error).
template <class L>
L DecodePart(const TEmfRecord& r, uint64_t offset, const char* what) {
  if (!FitsInRecord(r, offset, LayoutBytes<L>(), 1)) ThrowDamaged(r, what);
  return DecodeFields<L>(r.Data + offset);
}

// Overwrites bytes [at, at + LayoutBytes<L>()) of `buffer` with the fields.
template <class L>
void PatchFields(std::vector<uint8_t>& buffer, size_t at, const L& fields) {
  std::vector<uint8_t> bytes;
  bytes.reserve(LayoutBytes<L>());
  le::TWriter w(bytes);
  EncodeFields(w, fields);
  std::memcpy(buffer.data() + at, bytes.data(), bytes.size());
}

// ---- writing ----

// One record being written at the end of `buffer`: the constructor writes
// the type and a size placeholder, the destructor pads the record to four
// bytes and stores its size (and counts it). Left by an exception, the
// record is taken out again, so a half-written record never stays.
class TEmfRecordScope {
public:
  TEmfRecordScope(std::vector<uint8_t>& buffer, uint32_t type, uint32_t* count = nullptr)
      : buf_(buffer),
        w_(buffer),
        start_(buffer.size()),
        count_(count),
        exceptions_(std::uncaught_exceptions()) {
    w_.U32(type);
    w_.U32(0);
  }
  ~TEmfRecordScope() {
    if (std::uncaught_exceptions() > exceptions_) {
      buf_.resize(start_);
      return;
    }
    w_.PadTo(4);
    w_.PatchU32(start_ + 4, uint32_t(buf_.size() - start_));
    if (count_) ++*count_;
  }
  TEmfRecordScope(const TEmfRecordScope&) = delete;
  TEmfRecordScope& operator=(const TEmfRecordScope&) = delete;

  template <class L>
  void Put(const L& fields) {
    EncodeFields(w_, fields);
  }
  // For the variable parts after the fixed one.
  le::TWriter& Out() { return w_; }
  // Bytes written so far, type and size included: the offset of the next part.
  uint32_t Written() const { return uint32_t(buf_.size() - start_); }

private:
  std::vector<uint8_t>& buf_;
  le::TWriter w_;
  size_t start_;
  uint32_t* count_;
  int exceptions_;
};

// ---- the layouts ----

// EMR_HEADER up to the reference device's millimetres.
struct THeaderFields {
  TRect Bounds;  // inclusive, device units
  TRect Frame;   // inclusive, .01 mm
  uint32_t Signature = 0;
  uint32_t Version = 0;
  uint32_t Bytes = 0;
  uint32_t Records = 0;
  uint16_t Handles = 0;
  uint16_t Reserved = 0;
  uint32_t DescriptionChars = 0;
  uint32_t DescriptionOffset = 0;
  uint32_t PalEntries = 0;
  TSize Device;
  TSize Millimeters;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Bounds, s.Frame, s.Signature, s.Version, s.Bytes, s.Records, s.Handles, s.Reserved,
      s.DescriptionChars, s.DescriptionOffset, s.PalEntries, s.Device, s.Millimeters);
  }
};
static_assert(RecordSize<THeaderFields>() == kHeaderSizeBase);

// The header's extension, at offset kHeaderSizeBase when the header is that long.
struct THeaderExtensionFields {
  uint32_t PixelFormatSize = 0;
  uint32_t PixelFormatOffset = 0;
  uint32_t OpenGL = 0;
  TSize Micrometers;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.PixelFormatSize, s.PixelFormatOffset, s.OpenGL, s.Micrometers);
  }
};
static_assert(kHeaderSizeBase + LayoutBytes<THeaderExtensionFields>() == kHeaderSizeFull);

struct TEofFields {
  uint32_t PalEntries = 0;
  uint32_t PalOffset = 16;
  uint32_t SizeLast = 20;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.PalEntries, s.PalOffset, s.SizeLast);
  }
};
static_assert(RecordSize<TEofFields>() == 20);

// The records of one 32-bit value: modes, colours, handles, RESTOREDC.
struct TValueFields {
  uint32_t Value = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Value);
  }
};

// MOVETOEX, LINETO, window and viewport extents and origins.
struct TPointFields {
  TPoint Point;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Point);
  }
};

// RECTANGLE, ELLIPSE, INTERSECTCLIPRECT, EXCLUDECLIPRECT.
struct TBoxFields {
  TRect Box;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Box);
  }
};

struct TSetPixelFields {
  TPoint Point;
  uint32_t Color = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Point, s.Color);
  }
};

struct TCreatePenFields {
  uint32_t Handle = 0;
  uint32_t Style = 0;
  int32_t Width = 0;
  int32_t WidthY = 0;  // unused by the format
  uint32_t Color = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Handle, s.Style, s.Width, s.WidthY, s.Color);
  }
};
static_assert(RecordSize<TCreatePenFields>() == 28);

struct TExtCreatePenFields {
  uint32_t Handle = 0;
  uint32_t BmiOffset = 0, BmiSize = 0, BitsOffset = 0, BitsSize = 0;
  uint32_t Style = 0;
  int32_t Width = 0;
  uint32_t BrushStyle = 0;
  uint32_t Color = 0;
  uint32_t Hatch = 0;
  uint32_t StyleEntries = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Handle, s.BmiOffset, s.BmiSize, s.BitsOffset, s.BitsSize, s.Style, s.Width, s.BrushStyle,
      s.Color, s.Hatch, s.StyleEntries);
  }
};
static_assert(RecordSize<TExtCreatePenFields>() == 52);

struct TCreateBrushFields {
  uint32_t Handle = 0;
  uint32_t Style = 0;
  uint32_t Color = 0;
  uint32_t Hatch = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Handle, s.Style, s.Color, s.Hatch);
  }
};
static_assert(RecordSize<TCreateBrushFields>() == 24);

// EMR_EXTCREATEFONTINDIRECTW: the handle and the logical font. Writers add
// the empty rest of the font-with-panose form, up to kPanoseRecordSize.
struct TCreateFontFields {
  uint32_t Handle = 0;
  int32_t Height = 0, Width = 0, Escapement = 0, Orientation = 0, Weight = 0;
  uint8_t Italic = 0, Underline = 0, StrikeOut = 0, CharSet = 0;
  uint8_t OutPrecision = 0, ClipPrecision = 0, Quality = 0, PitchAndFamily = 0;
  uint16_t FaceName[32] = {};
  static constexpr uint32_t kPanoseRecordSize = 332;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Handle, s.Height, s.Width, s.Escapement, s.Orientation, s.Weight, s.Italic, s.Underline,
      s.StrikeOut, s.CharSet, s.OutPrecision, s.ClipPrecision, s.Quality, s.PitchAndFamily,
      s.FaceName);
  }
};
static_assert(RecordSize<TCreateFontFields>() == 104);

// EMR_EXTTEXTOUTW / A up to the options; a TTextRectFields or, with
// ETO_NO_RECT, a TTextDxFields follows at offset RecordSize().
struct TExtTextOutFields {
  TRect Bounds;  // inclusive
  uint32_t GraphicsMode = 0;
  float ExScale = 0, EyScale = 0;
  TPoint Reference;
  uint32_t Chars = 0;
  uint32_t StringOffset = 0;
  uint32_t Options = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Bounds, s.GraphicsMode, s.ExScale, s.EyScale, s.Reference, s.Chars, s.StringOffset,
      s.Options);
  }
};
struct TTextRectFields {
  TRect Rect;
  uint32_t DxOffset = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Rect, s.DxOffset);
  }
};
struct TTextDxFields {
  uint32_t DxOffset = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.DxOffset);
  }
};
// The string of a text record written with a rectangle starts here.
constexpr uint32_t kTextStringOffset =
    RecordSize<TExtTextOutFields>() + LayoutBytes<TTextRectFields>();
static_assert(kTextStringOffset == 76);

struct TBitBltFields {
  TRect Bounds;  // inclusive
  int32_t XDest = 0, YDest = 0, CxDest = 0, CyDest = 0;
  uint32_t Rop = 0;
  int32_t XSrc = 0, YSrc = 0;
  float XFormSrc[6] = {1, 0, 0, 1, 0, 0};
  uint32_t BkColorSrc = 0;
  uint32_t UsageSrc = 0;
  uint32_t BmiOffset = 0, BmiSize = 0, BitsOffset = 0, BitsSize = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Bounds, s.XDest, s.YDest, s.CxDest, s.CyDest, s.Rop, s.XSrc, s.YSrc, s.XFormSrc,
      s.BkColorSrc, s.UsageSrc, s.BmiOffset, s.BmiSize, s.BitsOffset, s.BitsSize);
  }
};
static_assert(RecordSize<TBitBltFields>() == 100);

struct TStretchBltFields : TBitBltFields {
  int32_t CxSrc = 0, CySrc = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    TBitBltFields::Fields(s, v);
    v(s.CxSrc, s.CySrc);
  }
};
static_assert(RecordSize<TStretchBltFields>() == 108);

struct TStretchDIBitsFields {
  TRect Bounds;  // inclusive
  int32_t XDest = 0, YDest = 0;
  int32_t XSrc = 0, YSrc = 0, CxSrc = 0, CySrc = 0;
  uint32_t BmiOffset = 0, BmiSize = 0, BitsOffset = 0, BitsSize = 0;
  uint32_t UsageSrc = 0;
  uint32_t Rop = 0;
  int32_t CxDest = 0, CyDest = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Bounds, s.XDest, s.YDest, s.XSrc, s.YSrc, s.CxSrc, s.CySrc, s.BmiOffset, s.BmiSize,
      s.BitsOffset, s.BitsSize, s.UsageSrc, s.Rop, s.CxDest, s.CyDest);
  }
};
static_assert(RecordSize<TStretchDIBitsFields>() == 80);

// The polyline and polygon records; Count points (16 or 32 bits a
// coordinate) follow.
struct TPolyFields {
  TRect Bounds;  // inclusive
  uint32_t Count = 0;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.Bounds, s.Count);
  }
};
static_assert(RecordSize<TPolyFields>() == 28);

// The transform's fields are those of the view's TXForm.
struct TXFormFields : TXForm {
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.M11, s.M12, s.M21, s.M22, s.Dx, s.Dy);
  }
};
static_assert(RecordSize<TXFormFields>() == 32);

struct TModifyXFormFields : TXFormFields {
  uint32_t Mode = 0;  // MWT_*
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    TXFormFields::Fields(s, v);
    v(s.Mode);
  }
};
static_assert(RecordSize<TModifyXFormFields>() == 36);

// EMR_EXTSELECTCLIPRGN; RegionBytes of region data (a TRegionHeaderFields,
// then its rectangles) follow.
struct TClipRegionFields {
  uint32_t RegionBytes = 0;
  uint32_t Mode = 0;  // RGN_*
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.RegionBytes, s.Mode);
  }
};
struct TRegionHeaderFields {
  uint32_t HeaderSize = 32;
  uint32_t Type = 1;
  uint32_t Count = 0;
  uint32_t RectBytes = 0;
  TRect Bounds;
  template <class S, class V>
  static constexpr void Fields(S& s, V&& v) {
    v(s.HeaderSize, s.Type, s.Count, s.RectBytes, s.Bounds);
  }
};
static_assert(LayoutBytes<TRegionHeaderFields>() == 32);

}  // namespace hy::emf
