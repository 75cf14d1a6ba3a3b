#include "platform/gdi/WmfWriter.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/EmfRecords.h"

namespace hy {

using namespace emf;

namespace {

// Record functions of the old form.
enum : uint16_t {
  META_EOF = 0x0000,
  META_SAVEDC = 0x001E,
  META_SETBKCOLOR = 0x0201,
  META_SETBKMODE = 0x0102,
  META_SETMAPMODE = 0x0103,
  META_SETROP2 = 0x0104,
  META_SETPOLYFILLMODE = 0x0106,
  META_SETSTRETCHBLTMODE = 0x0107,
  META_SETTEXTCOLOR = 0x0209,
  META_SETWINDOWORG = 0x020B,
  META_SETWINDOWEXT = 0x020C,
  META_LINETO = 0x0213,
  META_MOVETO = 0x0214,
  META_EXCLUDECLIPRECT = 0x0415,
  META_INTERSECTCLIPRECT = 0x0416,
  META_ELLIPSE = 0x0418,
  META_RECTANGLE = 0x041B,
  META_RESTOREDC = 0x0127,
  META_SELECTOBJECT = 0x012D,
  META_SETTEXTALIGN = 0x012E,
  META_DELETEOBJECT = 0x01F0,
  META_CREATEPENINDIRECT = 0x02FA,
  META_CREATEFONTINDIRECT = 0x02FB,
  META_CREATEBRUSHINDIRECT = 0x02FC,
  META_POLYGON = 0x0324,
  META_POLYLINE = 0x0325,
  META_PATBLT = 0x061D,
  META_EXTTEXTOUT = 0x0A32,
  META_DIBSTRETCHBLT = 0x0B41,
  META_STRETCHDIB = 0x0F43,
};

int16_t S(int64_t v) { return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

// One old-form record at the end of `out`: the constructor writes a size
// placeholder and the function, the destructor pads the record to whole
// words and stores its size in words (and keeps the largest). Left by an
// exception, the record is taken out again.
class TWmfRecordScope {
public:
  TWmfRecordScope(std::vector<uint8_t>& out, uint16_t function, uint32_t& largest)
      : out_(out),
        w_(out),
        start_(out.size()),
        largest_(largest),
        exceptions_(std::uncaught_exceptions()) {
    w_.U32(0);
    w_.U16(function);
  }
  ~TWmfRecordScope() {
    if (std::uncaught_exceptions() > exceptions_) {
      out_.resize(start_);
      return;
    }
    w_.PadTo(2);
    uint32_t words = uint32_t((out_.size() - start_) / 2);
    w_.PatchU32(start_, words);
    largest_ = std::max(largest_, words);
  }
  TWmfRecordScope(const TWmfRecordScope&) = delete;
  TWmfRecordScope& operator=(const TWmfRecordScope&) = delete;
  le::TWriter& Out() { return w_; }

private:
  std::vector<uint8_t>& out_;
  le::TWriter w_;
  size_t start_;
  uint32_t& largest_;
  int exceptions_;
};

class TWmfWriter {
public:
  explicit TWmfWriter(std::vector<uint8_t>& out) : out_(out), w_(out) {}

  void Convert(const uint8_t* data, size_t size);

private:
  TWmfRecordScope Record(uint16_t function) { return TWmfRecordScope(out_, function, maxRecord_); }
  void Simple(uint16_t function, std::initializer_list<int64_t> words) {
    TWmfRecordScope rec = Record(function);
    for (int64_t v : words) rec.Out().I16(S(v));
  }
  void Color(uint16_t function, uint32_t color) { Record(function).Out().U32(color & 0x00FFFFFF); }
  void Box(uint16_t function, const TRect& r) {
    Simple(function, {r.Bottom, r.Right, r.Top, r.Left});
  }

  int NewSlot() {
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i]) {
        slots_[i] = true;
        return int(i);
      }
    }
    slots_.push_back(true);
    return int(slots_.size() - 1);
  }
  int& MapFor(uint32_t handle) {
    if (handle >= map_.size()) map_.resize(size_t(handle) + 1, -1);
    return map_[handle];
  }

  void Pen(uint32_t style, int32_t width, uint32_t color) {
    TWmfRecordScope rec = Record(META_CREATEPENINDIRECT);
    le::TWriter& w = rec.Out();
    w.U16(uint16_t(style));
    w.I16(S(width));
    w.I16(0);
    w.U32(color & 0x00FFFFFF);
  }
  void Brush(uint32_t style, uint32_t color, uint32_t hatch) {
    TWmfRecordScope rec = Record(META_CREATEBRUSHINDIRECT);
    le::TWriter& w = rec.Out();
    w.U16(uint16_t(style));
    w.U32(color & 0x00FFFFFF);
    w.U16(uint16_t(hatch));
  }
  void Font(const TLogFont& lf);
  void SelectStock(uint32_t index);
  void Text(const TEmfRecord& r);
  void Dib(const TEmfRecord& r);
  void Blt(const TEmfRecord& r);
  void Poly(const TEmfRecord& r);

  std::vector<uint8_t>& out_;
  le::TWriter w_;
  uint32_t maxRecord_ = 0;
  std::vector<bool> slots_;
  std::vector<int> map_;  // EMF handle -> WMF object slot
  int stockSlots_[20] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

void TWmfWriter::Font(const TLogFont& lf) {
  TWmfRecordScope rec = Record(META_CREATEFONTINDIRECT);
  le::TWriter& w = rec.Out();
  w.I16(S(lf.Height));
  w.I16(S(lf.Width));
  w.I16(S(lf.Escapement));
  w.I16(S(lf.Orientation));
  w.I16(S(lf.Weight));
  w.U8(lf.Italic);
  w.U8(lf.Underline);
  w.U8(lf.StrikeOut);
  w.U8(lf.CharSet);
  w.U8(lf.OutPrecision);
  w.U8(lf.ClipPrecision);
  w.U8(lf.Quality);
  w.U8(lf.PitchAndFamily);
  std::u16string face = le::Utf8To16(lf.FaceName);
  uint8_t name[32] = {};
  for (size_t i = 0; i < face.size() && i < 31; ++i) name[i] = le::UnicodeToCp1252(face[i]);
  w.Bytes(name, sizeof name);
}

void TWmfWriter::SelectStock(uint32_t index) {
  if (index >= 20) return;
  if (stockSlots_[index] < 0) {
    TLogFont lf;
    switch (index) {
      case WHITE_BRUSH: Brush(BS_SOLID, 0xFFFFFF, 0); break;
      case LTGRAY_BRUSH: Brush(BS_SOLID, 0xC0C0C0, 0); break;
      case GRAY_BRUSH: Brush(BS_SOLID, 0x808080, 0); break;
      case DKGRAY_BRUSH: Brush(BS_SOLID, 0x404040, 0); break;
      case BLACK_BRUSH: Brush(BS_SOLID, 0, 0); break;
      case NULL_BRUSH: Brush(BS_NULL, 0, 0); break;
      case DC_BRUSH: Brush(BS_SOLID, 0xFFFFFF, 0); break;
      case WHITE_PEN: Pen(PS_SOLID, 0, 0xFFFFFF); break;
      case BLACK_PEN:
      case DC_PEN: Pen(PS_SOLID, 0, 0); break;
      case NULL_PEN: Pen(PS_NULL, 0, 0); break;
      case OEM_FIXED_FONT:
      case ANSI_FIXED_FONT:
      case SYSTEM_FIXED_FONT:
        lf.Height = 13, lf.Weight = FW_NORMAL, lf.PitchAndFamily = 1, lf.FaceName = "Courier New";
        Font(lf);
        break;
      case ANSI_VAR_FONT:
      case DEFAULT_GUI_FONT:
        lf.Height = -11, lf.Weight = FW_NORMAL, lf.FaceName = "MS Sans Serif";
        Font(lf);
        break;
      case SYSTEM_FONT:
      case DEVICE_DEFAULT_FONT:
        lf.Height = 16, lf.Weight = FW_BOLD, lf.FaceName = "System";
        Font(lf);
        break;
      default: return;  // the palette has no old-form object here
    }
    stockSlots_[index] = NewSlot();
  }
  Simple(META_SELECTOBJECT, {stockSlots_[index]});
}

void TWmfWriter::Text(const TEmfRecord& r) {
  TEmrExtTextOut t = ReadExtTextOut(r);
  std::u16string text = t.Text16();
  std::vector<uint8_t> bytes;
  std::vector<int32_t> dx;
  bytes.reserve(text.size());
  dx.reserve(text.size());
  for (size_t i = 0; i < text.size() && bytes.size() < 0x7FFF; ++i) {
    char16_t c = text[i];
    int32_t advance = t.Dx(uint32_t(i));
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      advance += t.Dx(uint32_t(i + 1));  // one '?' for the pair
      bytes.push_back('?');
      ++i;
    } else {
      bytes.push_back(le::UnicodeToCp1252(c));
    }
    dx.push_back(advance);
  }
  uint32_t options = t.Options & (ETO_OPAQUE | ETO_CLIPPED);
  if (t.Options & ETO_NO_RECT) options = 0;
  TWmfRecordScope rec = Record(META_EXTTEXTOUT);
  le::TWriter& w = rec.Out();
  w.I16(S(t.Reference.Y));
  w.I16(S(t.Reference.X));
  w.I16(int16_t(bytes.size()));
  w.U16(uint16_t(options));
  if (options) {
    w.I16(S(t.Rect.Left));
    w.I16(S(t.Rect.Top));
    w.I16(S(t.Rect.Right));
    w.I16(S(t.Rect.Bottom));
  }
  w.Bytes(bytes.data(), bytes.size());
  if (bytes.size() % 2) w.U8(0);
  if (t.HasDx())
    for (int32_t a : dx) w.I16(S(a));
}

namespace {

// What follows the raster operation in both bitmap records of the old form:
// the source and destination boxes (last field first) and the bitmap.
void WriteStretchedBitmap(le::TWriter& w, int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc,
                          int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest,
                          const TDibRef& dib) {
  for (int32_t v : {cySrc, cxSrc, ySrc, xSrc, cyDest, cxDest, yDest, xDest}) w.I16(S(v));
  w.Bytes(dib.Info, dib.InfoSize);
  w.Bytes(dib.Bits, dib.BitsSize);
}

}  // namespace

void TWmfWriter::Dib(const TEmfRecord& r) {
  TEmrStretchDIBits d = ReadStretchDIBits(r);
  if (!d.Source.Present()) return;
  TWmfRecordScope rec = Record(META_STRETCHDIB);
  rec.Out().U32(d.Rop);
  rec.Out().U16(uint16_t(d.UsageSrc));
  WriteStretchedBitmap(rec.Out(), d.XSrc, d.YSrc, d.CxSrc, d.CySrc, d.XDest, d.YDest, d.CxDest,
                       d.CyDest, d.Source);
}

void TWmfWriter::Blt(const TEmfRecord& r) {
  TEmrBitBlt b = ReadBitBlt(r);
  if (!b.HasSource()) {
    TWmfRecordScope rec = Record(META_PATBLT);
    rec.Out().U32(b.Rop);
    for (int32_t v : {b.CyDest, b.CxDest, b.YDest, b.XDest}) rec.Out().I16(S(v));
    return;
  }
  TWmfRecordScope rec = Record(META_DIBSTRETCHBLT);
  rec.Out().U32(b.Rop);
  WriteStretchedBitmap(rec.Out(), b.XSrc, b.YSrc, b.CxSrc, b.CySrc, b.XDest, b.YDest, b.CxDest,
                       b.CyDest, b.Source);
}

void TWmfWriter::Poly(const TEmfRecord& r) {
  TEmrPoly p = ReadPoly(r);
  uint32_t count = std::min<uint32_t>(p.Count, 0x7FFF);
  TWmfRecordScope rec =
      Record((r.Type == EMR_POLYGON || r.Type == EMR_POLYGON16) ? META_POLYGON : META_POLYLINE);
  le::TWriter& w = rec.Out();
  w.I16(int16_t(count));
  for (uint32_t i = 0; i < count; ++i) {
    TPoint pt = p.Point(i);
    w.I16(S(pt.X));
    w.I16(S(pt.Y));
  }
}

void TWmfWriter::Convert(const uint8_t* data, size_t size) {
  TEmfHeader h = ValidateMetafile(data, size);
  int32_t left = 0, top = 0, width = int32_t(std::lround(h.FrameWidthPx())),
          height = int32_t(std::lround(h.FrameHeightPx()));
  if (width <= 0 || height <= 0) {
    left = h.Bounds.Left, top = h.Bounds.Top;
    width = h.Bounds.Right - h.Bounds.Left + 1, height = h.Bounds.Bottom - h.Bounds.Top + 1;
  } else {
    left = int32_t(std::lround(h.FrameLeftPx())), top = int32_t(std::lround(h.FrameTopPx()));
  }
  width = std::max(1, width), height = std::max(1, height);

  // Placement header.
  w_.U32(kWmfPlaceableKey);
  w_.U16(0);
  w_.I16(S(left));
  w_.I16(S(top));
  w_.I16(S(int64_t(left) + width));
  w_.I16(S(int64_t(top) + height));
  w_.U16(96);  // units per inch
  w_.U32(0);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) checksum ^= le::U16(out_.data() + i);
  w_.U16(checksum);

  // Metafile header, completed at the end.
  const size_t header = out_.size();
  w_.U16(1);       // in-memory type, as files carry it
  w_.U16(9);       // header words
  w_.U16(0x0300);  // version
  w_.U32(0);       // size in words
  w_.U16(0);       // objects
  w_.U32(0);       // largest record
  w_.U16(0);

  Simple(META_SETMAPMODE, {MM_ANISOTROPIC});
  Simple(META_SETWINDOWORG, {top, left});
  Simple(META_SETWINDOWEXT, {height, width});

  EnumerateMetafile(data, size, [&](const TEmfRecord& r) {
    try {
      switch (r.Type) {
        case EMR_SETBKMODE: Simple(META_SETBKMODE, {ReadValue(r)}); break;
        case EMR_SETTEXTALIGN: Simple(META_SETTEXTALIGN, {ReadValue(r)}); break;
        case EMR_SETPOLYFILLMODE: Simple(META_SETPOLYFILLMODE, {ReadValue(r)}); break;
        case EMR_SETROP2: Simple(META_SETROP2, {ReadValue(r)}); break;
        case EMR_SETSTRETCHBLTMODE: Simple(META_SETSTRETCHBLTMODE, {ReadValue(r)}); break;
        case EMR_SETTEXTCOLOR: Color(META_SETTEXTCOLOR, ReadColor(r)); break;
        case EMR_SETBKCOLOR: Color(META_SETBKCOLOR, ReadColor(r)); break;
        case EMR_MOVETOEX: {
          TPoint p = ReadPoint(r);
          Simple(META_MOVETO, {p.Y, p.X});
          break;
        }
        case EMR_LINETO: {
          TPoint p = ReadPoint(r);
          Simple(META_LINETO, {p.Y, p.X});
          break;
        }
        case EMR_RECTANGLE: Box(META_RECTANGLE, ReadBox(r)); break;
        case EMR_ELLIPSE: Box(META_ELLIPSE, ReadBox(r)); break;
        case EMR_INTERSECTCLIPRECT: Box(META_INTERSECTCLIPRECT, ReadBox(r)); break;
        case EMR_EXCLUDECLIPRECT: Box(META_EXCLUDECLIPRECT, ReadBox(r)); break;
        case EMR_SAVEDC: Simple(META_SAVEDC, {}); break;
        case EMR_RESTOREDC: Simple(META_RESTOREDC, {int32_t(ReadValue(r))}); break;
        case EMR_CREATEPEN:
        case EMR_EXTCREATEPEN: {
          TEmrCreatePen pen = ReadCreatePen(r);
          if (pen.Handle == 0 || pen.Handle >= 0x10000) break;
          int& slot = MapFor(pen.Handle);
          if (slot >= 0) {  // re-created without a delete
            Simple(META_DELETEOBJECT, {slot});
            slots_[size_t(slot)] = false;
          }
          Pen(pen.Style, pen.Width, pen.Color);
          slot = NewSlot();
          break;
        }
        case EMR_CREATEBRUSHINDIRECT: {
          TEmrCreateBrush b = ReadCreateBrush(r);
          if (b.Handle == 0 || b.Handle >= 0x10000) break;
          int& slot = MapFor(b.Handle);
          if (slot >= 0) {
            Simple(META_DELETEOBJECT, {slot});
            slots_[size_t(slot)] = false;
          }
          Brush(b.Style, b.Color, b.Hatch);
          slot = NewSlot();
          break;
        }
        case EMR_EXTCREATEFONTINDIRECTW: {
          TEmrCreateFont f = ReadCreateFont(r);
          if (f.Handle == 0 || f.Handle >= 0x10000) break;
          int& slot = MapFor(f.Handle);
          if (slot >= 0) {
            Simple(META_DELETEOBJECT, {slot});
            slots_[size_t(slot)] = false;
          }
          Font(f.LogFont);
          slot = NewSlot();
          break;
        }
        case EMR_SELECTOBJECT: {
          uint32_t handle = ReadValue(r);
          if (handle & STOCK_OBJECT) {
            SelectStock(handle & ~STOCK_OBJECT);
          } else if (handle < map_.size() && map_[handle] >= 0) {
            Simple(META_SELECTOBJECT, {map_[handle]});
          }
          break;
        }
        case EMR_DELETEOBJECT: {
          uint32_t handle = ReadValue(r);
          if (handle < map_.size() && map_[handle] >= 0) {
            Simple(META_DELETEOBJECT, {map_[handle]});
            slots_[size_t(map_[handle])] = false;
            map_[handle] = -1;
          }
          break;
        }
        case EMR_EXTTEXTOUTW:
        case EMR_EXTTEXTOUTA: Text(r); break;
        case EMR_STRETCHDIBITS: Dib(r); break;
        case EMR_BITBLT:
        case EMR_STRETCHBLT: Blt(r); break;
        case EMR_POLYLINE16:
        case EMR_POLYGON16:
        case EMR_POLYLINE:
        case EMR_POLYGON: Poly(r); break;
        default: break;  // no old-form counterpart
      }
    } catch (const EEmfError&) {
      // a damaged record is left out, as the player leaves it out
    }
  });

  Simple(META_EOF, {});
  uint32_t words = uint32_t((out_.size() - header) / 2);
  w_.PatchU16(header + 6, uint16_t(words));
  w_.PatchU16(header + 8, uint16_t(words >> 16));
  w_.PatchU16(header + 10, uint16_t(std::min<size_t>(slots_.size(), 0xFFFF)));
  w_.PatchU16(header + 12, uint16_t(maxRecord_));
  w_.PatchU16(header + 14, uint16_t(maxRecord_ >> 16));
}

}  // namespace

std::vector<uint8_t> ConvertEmfToWmf(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size);
  TWmfWriter(out).Convert(data, size);
  return out;
}

}  // namespace hy
