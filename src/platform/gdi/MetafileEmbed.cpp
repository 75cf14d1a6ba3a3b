// Drawing one picture into another: the records of the source are written
// again, moved and scaled from its frame into the destination rectangle, so
// that bounds, text positions and fonts of the result are true page
// coordinates that exports and the text search can use. The source's state
// is fenced in by SAVEDC / RESTOREDC and its objects get handles of the
// destination. Records that have no meaning once moved (mapping modes,
// transforms, regions, paths) are left out.
#include <cmath>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfLayout.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {

using namespace emf;

class TRerecorder {
public:
  TRerecorder(TMetafileCanvas& canvas, double sx, double sy, double ox, double oy)
      : c_(canvas), sx_(sx), sy_(sy), ox_(ox), oy_(oy) {}

  void Run(const TMetafile& picture);

private:
  int32_t X(int64_t x) const { return Clamp(std::llround(ox_ + double(x) * sx_)); }
  int32_t Y(int64_t y) const { return Clamp(std::llround(oy_ + double(y) * sy_)); }
  static int32_t Clamp(long long v) {
    return int32_t(std::clamp<long long>(v, INT32_MIN / 2, INT32_MAX / 2));
  }
  TRect Box(const TRect& r) const { return {X(r.Left), Y(r.Top), X(r.Right), Y(r.Bottom)}; }
  // A destination given as origin and extent, computed wide so that no sum overflows.
  TRect Box(int32_t x, int32_t y, int32_t cx, int32_t cy) const {
    return {X(x), Y(y), X(int64_t(x) + cx), Y(int64_t(y) + cy)};
  }
  // Width and height of a moved box; both ends are clamped to half the range, so they fit.
  static int32_t Extent(int32_t from, int32_t to) { return int32_t(int64_t(to) - from); }
  TRect InclusiveBox(const TRect& r) const {
    return {X(r.Left), Y(r.Top), X(int64_t(r.Right) + 1) - 1, Y(int64_t(r.Bottom) + 1) - 1};
  }
  int32_t ScaleLength(int32_t v, double s) const { return Clamp(std::llround(double(v) * s)); }

  void Copy(const TEmfRecord& r);
  void WriteBox(uint32_t type, const TRect& box, bool bounded);
  void WritePoint(uint32_t type, TPoint p);
  void WriteValue(uint32_t type, uint32_t handle);
  uint32_t MapNew(uint32_t sourceHandle);
  void Text(const TEmfRecord& r);
  void StretchDib(const TEmfRecord& r);
  void Blt(const TEmfRecord& r);
  void Poly(const TEmfRecord& r);
  void ResetState();

  TMetafileCanvas& c_;
  double sx_, sy_, ox_, oy_;
  std::vector<uint32_t> map_;  // source handle -> destination handle (0: none)
  int depth_ = 0;              // SAVEDC nesting of the source
};

// Records whose body means the same anywhere on the page.
void TRerecorder::Copy(const TEmfRecord& r) {
  c_.Record(r.Type).Out().Bytes(r.Body(), r.BodySize());
}

void TRerecorder::WriteBox(uint32_t type, const TRect& box, bool bounded) {
  c_.Record(type).Put(TBoxFields{box});
  if (bounded) c_.AddBounds({box.Left, box.Top, box.Right - 1, box.Bottom - 1});
}

void TRerecorder::WritePoint(uint32_t type, TPoint p) { c_.Record(type).Put(TPointFields{p}); }

// Handles and the other records of one 32-bit value.
void TRerecorder::WriteValue(uint32_t type, uint32_t handle) {
  c_.Record(type).Put(TValueFields{handle});
}

uint32_t TRerecorder::MapNew(uint32_t sourceHandle) {
  if (sourceHandle == 0 || sourceHandle >= map_.size()) return 0;
  if (map_[sourceHandle]) {  // re-created without a delete: drop the old one
    WriteValue(EMR_DELETEOBJECT, map_[sourceHandle]);
    c_.FreeHandle(map_[sourceHandle]);
  }
  map_[sourceHandle] = c_.NewHandle();
  return map_[sourceHandle];
}

// The state a picture starts with, inside the fence.
void TRerecorder::ResetState() {
  if (c_.recTextColor_ != clBlack) WriteValue(EMR_SETTEXTCOLOR, clBlack);
  if (c_.recBkColor_ != clWhite) WriteValue(EMR_SETBKCOLOR, clWhite);
  if (c_.recBkMode_ != OPAQUE) WriteValue(EMR_SETBKMODE, OPAQUE);
  if (c_.recTextAlign_ != 0) WriteValue(EMR_SETTEXTALIGN, 0);
  if (c_.penHandle_ != (STOCK_OBJECT | BLACK_PEN))
    WriteValue(EMR_SELECTOBJECT, STOCK_OBJECT | BLACK_PEN);
  if (c_.brushHandle_ != (STOCK_OBJECT | WHITE_BRUSH))
    WriteValue(EMR_SELECTOBJECT, STOCK_OBJECT | WHITE_BRUSH);
  if (c_.fontHandle_ != (STOCK_OBJECT | SYSTEM_FONT))
    WriteValue(EMR_SELECTOBJECT, STOCK_OBJECT | SYSTEM_FONT);
}

void TRerecorder::Text(const TEmfRecord& r) {
  TEmrExtTextOut t = ReadExtTextOut(r);
  uint32_t unit = t.Wide ? 2 : 1;
  uint32_t stringBytes = uint32_t((uint64_t(t.Chars) * unit + 3) / 4 * 4);
  TExtTextOutFields f;
  f.Bounds = InclusiveBox(t.Bounds);
  f.GraphicsMode = t.GraphicsMode;
  f.ExScale = t.ExScale;
  f.EyScale = t.EyScale;
  f.Reference = {X(t.Reference.X), Y(t.Reference.Y)};
  f.Chars = t.Chars;
  f.StringOffset = kTextStringOffset;
  f.Options = t.Options & ~(ETO_NO_RECT | ETO_PDY);
  TTextRectFields rect{(t.Options & ETO_NO_RECT) ? TRect{0, 0, -1, -1} : Box(t.Rect),
                       t.Chars && t.HasDx() ? kTextStringOffset + stringBytes : 0};
  {
    TEmfRecordScope rec = c_.Record(r.Type);
    rec.Put(f);
    rec.Put(rect);
    le::TWriter& w = rec.Out();
    if (t.Chars) {
      w.Bytes(t.StringBytes(), size_t(t.Chars) * unit);
      w.PadTo(4);
    }
    if (t.Chars && t.HasDx()) {
      // advances scaled with the error carried along, so the run keeps its length
      double pos = 0;
      int32_t prev = 0;
      for (uint32_t i = 0; i < t.Chars; ++i) {
        pos += double(t.Dx(i)) * sx_;
        int32_t cur = Clamp(std::llround(pos));
        w.I32(int32_t(int64_t(cur) - prev));
        prev = cur;
      }
    }
  }
  c_.AddBounds(f.Bounds);
}

void TRerecorder::StretchDib(const TEmfRecord& r) {
  TEmrStretchDIBits d = ReadStretchDIBits(r);
  TRect dest = Box(d.XDest, d.YDest, d.CxDest, d.CyDest);
  constexpr uint32_t kFixed = RecordSize<TStretchDIBitsFields>();
  uint32_t infoSize = (d.Source.InfoSize + 3) / 4 * 4;
  TStretchDIBitsFields f;
  f.Bounds = InclusiveBox(d.Bounds);
  f.XDest = dest.Left;
  f.YDest = dest.Top;
  f.XSrc = d.XSrc;
  f.YSrc = d.YSrc;
  f.CxSrc = d.CxSrc;
  f.CySrc = d.CySrc;
  f.BmiOffset = d.Source.Present() ? kFixed : 0;
  f.BmiSize = d.Source.InfoSize;
  f.BitsOffset = d.Source.Present() ? kFixed + infoSize : 0;
  f.BitsSize = d.Source.BitsSize;
  f.UsageSrc = d.UsageSrc;
  f.Rop = d.Rop;
  f.CxDest = Extent(dest.Left, dest.Right);
  f.CyDest = Extent(dest.Top, dest.Bottom);
  {
    TEmfRecordScope rec = c_.Record(EMR_STRETCHDIBITS);
    rec.Put(f);
    if (d.Source.Present()) {
      rec.Out().Bytes(d.Source.Info, d.Source.InfoSize);
      rec.Out().PadTo(4);
      rec.Out().Bytes(d.Source.Bits, d.Source.BitsSize);
    }
  }
  c_.AddBounds(f.Bounds);
}

void TRerecorder::Blt(const TEmfRecord& r) {
  TEmrBitBlt b = ReadBitBlt(r);
  bool stretch = b.HasSource();
  TRect dest = Box(b.XDest, b.YDest, b.CxDest, b.CyDest);
  uint32_t fixed = stretch ? RecordSize<TStretchBltFields>() : RecordSize<TBitBltFields>();
  uint32_t infoSize = (b.Source.InfoSize + 3) / 4 * 4;
  TStretchBltFields f;
  f.Bounds = InclusiveBox(b.Bounds);
  f.XDest = dest.Left;
  f.YDest = dest.Top;
  f.CxDest = Extent(dest.Left, dest.Right);
  f.CyDest = Extent(dest.Top, dest.Bottom);
  f.Rop = b.Rop;
  f.XSrc = b.XSrc;
  f.YSrc = b.YSrc;
  std::copy(std::begin(b.XFormSrc), std::end(b.XFormSrc), f.XFormSrc);
  f.BkColorSrc = b.BkColorSrc;
  f.UsageSrc = b.UsageSrc;
  f.BmiOffset = stretch ? fixed : 0;
  f.BmiSize = stretch ? b.Source.InfoSize : 0;
  f.BitsOffset = stretch ? fixed + infoSize : 0;
  f.BitsSize = stretch ? b.Source.BitsSize : 0;
  f.CxSrc = b.CxSrc;
  f.CySrc = b.CySrc;
  {
    TEmfRecordScope rec = c_.Record(stretch ? EMR_STRETCHBLT : EMR_BITBLT);
    if (stretch) {
      rec.Put(f);
      rec.Out().Bytes(b.Source.Info, b.Source.InfoSize);
      rec.Out().PadTo(4);
      rec.Out().Bytes(b.Source.Bits, b.Source.BitsSize);
    } else {
      rec.Put(static_cast<const TBitBltFields&>(f));
    }
  }
  c_.AddBounds(f.Bounds);
}

void TRerecorder::Poly(const TEmfRecord& r) {
  TEmrPoly p = ReadPoly(r);
  uint32_t type = (r.Type == EMR_POLYGON16 || r.Type == EMR_POLYGON) ? EMR_POLYGON : EMR_POLYLINE;
  TRect bounds = InclusiveBox(p.Bounds);
  {
    TEmfRecordScope rec = c_.Record(type);
    rec.Put(TPolyFields{bounds, p.Count});
    for (uint32_t i = 0; i < p.Count; ++i) {
      TPoint pt = p.Point(i);
      field::Put(rec.Out(), TPoint{X(pt.X), Y(pt.Y)});
    }
  }
  c_.AddBounds(bounds);
}

void TRerecorder::Run(const TMetafile& picture) {
  TEmfHeader header = picture.Header();
  map_.assign(size_t(header.Handles) + 1, 0);
  c_.Record(EMR_SAVEDC);  // written and closed at once
  ResetState();

  EnumerateMetafile(picture, [&](const TEmfRecord& r) {
    switch (r.Type) {
      case EMR_SETBKMODE:
      case EMR_SETTEXTALIGN:
      case EMR_SETTEXTCOLOR:
      case EMR_SETBKCOLOR:
      case EMR_SETPOLYFILLMODE:
      case EMR_SETROP2:
      case EMR_SETSTRETCHBLTMODE: Copy(r); break;
      case EMR_SAVEDC:
        ++depth_;
        Copy(r);
        break;
      case EMR_RESTOREDC: {
        int32_t rel = int32_t(ReadValue(r));
        if (rel < 0 && depth_ + rel >= 0) {  // never past the fence
          depth_ += rel;
          Copy(r);
        }
        break;
      }
      case EMR_MOVETOEX:
      case EMR_LINETO: {
        TPoint p = ReadPoint(r);
        WritePoint(r.Type, {X(p.X), Y(p.Y)});
        break;
      }
      case EMR_RECTANGLE:
      case EMR_ELLIPSE: WriteBox(r.Type, Box(ReadBox(r)), true); break;
      case EMR_INTERSECTCLIPRECT:
      case EMR_EXCLUDECLIPRECT: WriteBox(r.Type, Box(ReadBox(r)), false); break;
      case EMR_CREATEPEN:
      case EMR_EXTCREATEPEN: {
        TEmrCreatePen pen = ReadCreatePen(r);
        uint32_t h = MapNew(pen.Handle);
        if (!h) break;
        TCreatePenFields f;
        f.Handle = h;
        f.Style = pen.Style;
        f.Width = pen.Width > 0 ? std::max(1, ScaleLength(pen.Width, (sx_ + sy_) / 2)) : 0;
        f.Color = pen.Color;
        c_.Record(EMR_CREATEPEN).Put(f);
        break;
      }
      case EMR_CREATEBRUSHINDIRECT: {
        TEmrCreateBrush b = ReadCreateBrush(r);
        uint32_t h = MapNew(b.Handle);
        if (!h) break;
        c_.Record(EMR_CREATEBRUSHINDIRECT).Put(TCreateBrushFields{h, b.Style, b.Color, b.Hatch});
        break;
      }
      case EMR_EXTCREATEFONTINDIRECTW: {
        TCreateFontFields f = DecodeRecord<TCreateFontFields>(r);
        uint32_t h = MapNew(f.Handle);
        if (!h) break;
        f.Handle = h;
        f.Height = ScaleLength(f.Height, sy_);
        f.Width = ScaleLength(f.Width, sx_);
        // the rest of the font-with-panose form goes along as it is
        constexpr uint32_t kFixed = RecordSize<TCreateFontFields>();
        TEmfRecordScope rec = c_.Record(EMR_EXTCREATEFONTINDIRECTW);
        rec.Put(f);
        rec.Out().Bytes(r.Data + kFixed, r.Size - kFixed);
        break;
      }
      case EMR_SELECTOBJECT:
      case EMR_DELETEOBJECT: {
        uint32_t h = ReadValue(r);
        if (h & STOCK_OBJECT) {
          if (r.Type == EMR_SELECTOBJECT) WriteValue(r.Type, h);
          break;
        }
        if (h >= map_.size() || !map_[h]) break;
        WriteValue(r.Type, map_[h]);
        if (r.Type == EMR_DELETEOBJECT) {
          c_.FreeHandle(map_[h]);
          map_[h] = 0;
        }
        break;
      }
      case EMR_EXTTEXTOUTW:
      case EMR_EXTTEXTOUTA: Text(r); break;
      case EMR_STRETCHDIBITS: StretchDib(r); break;
      case EMR_BITBLT:
      case EMR_STRETCHBLT: Blt(r); break;
      case EMR_POLYLINE16:
      case EMR_POLYGON16:
      case EMR_POLYLINE:
      case EMR_POLYGON: Poly(r); break;
      default: break;
    }
  });

  WriteValue(EMR_RESTOREDC, uint32_t(-1 - depth_));
  for (uint32_t& h : map_) {
    if (!h) continue;
    WriteValue(EMR_DELETEOBJECT, h);
    c_.FreeHandle(h);
    h = 0;
  }
}

void TMetafileCanvas::Draw(int32_t x, int32_t y, const TMetafile& picture) {
  StretchDraw(Bounds(x, y, picture.Width(), picture.Height()), picture);
}

void TMetafileCanvas::StretchDraw(const TRect& r, const TMetafile& picture) {
  Check();
  if (picture.Empty() || r.IsEmpty()) return;
  TEmfHeader h = picture.Header();
  double fl = h.FrameLeftPx(), ft = h.FrameTopPx(), fw = h.FrameWidthPx(), fh = h.FrameHeightPx();
  if (fw <= 0 || fh <= 0) {  // no frame: the drawn bounds
    fl = h.Bounds.Left, ft = h.Bounds.Top;
    fw = double(h.Bounds.Right) - h.Bounds.Left + 1,
    fh = double(h.Bounds.Bottom) - h.Bounds.Top + 1;
  }
  if (fw <= 0 || fh <= 0) return;
  double sx = r.Width() / fw, sy = r.Height() / fh;
  TRerecorder(*this, sx, sy, r.Left - fl * sx, r.Top - ft * sy).Run(picture);
}

}  // namespace hy
