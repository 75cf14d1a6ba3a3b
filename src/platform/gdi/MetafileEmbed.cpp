// Drawing one picture into another: the records of the source are written
// again, moved and scaled from its frame into the destination rectangle, so
// that bounds, text positions and fonts of the result are true page
// coordinates that exports and the text search can use. The source's state
// is fenced in by SAVEDC / RESTOREDC and its objects get handles of the
// destination. Records that have no meaning once moved (mapping modes,
// transforms, regions, paths) are left out.
#include <cmath>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfFormat.h"
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
  static int32_t Clamp(long long v) { return int32_t(std::clamp<long long>(v, INT32_MIN / 2, INT32_MAX / 2)); }
  TRect Box(const TRect& r) const { return {X(r.Left), Y(r.Top), X(r.Right), Y(r.Bottom)}; }
  TRect InclusiveBox(const TRect& r) const {
    return {X(r.Left), Y(r.Top), X(int64_t(r.Right) + 1) - 1, Y(int64_t(r.Bottom) + 1) - 1};
  }
  int32_t ScaleLength(int32_t v, double s) const { return Clamp(std::llround(double(v) * s)); }

  void Copy(const TEmfRecord& r);
  void WriteBox(uint32_t type, const TRect& box, bool bounded);
  void WritePoint(uint32_t type, TPoint p);
  void WriteSelect(uint32_t type, uint32_t handle);
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

void TRerecorder::Copy(const TEmfRecord& r) {
  size_t s = c_.Begin(r.Type);
  le::TWriter(c_.buf_).Bytes(r.Data + 8, r.Size - 8);
  c_.End(s);
}

void TRerecorder::WriteBox(uint32_t type, const TRect& box, bool bounded) {
  size_t s = c_.Begin(type);
  le::TWriter w(c_.buf_);
  w.I32(box.Left), w.I32(box.Top), w.I32(box.Right), w.I32(box.Bottom);
  c_.End(s);
  if (bounded) c_.AddBounds({box.Left, box.Top, box.Right - 1, box.Bottom - 1});
}

void TRerecorder::WritePoint(uint32_t type, TPoint p) {
  size_t s = c_.Begin(type);
  le::TWriter w(c_.buf_);
  w.I32(p.X), w.I32(p.Y);
  c_.End(s);
}

void TRerecorder::WriteSelect(uint32_t type, uint32_t handle) {
  size_t s = c_.Begin(type);
  le::TWriter(c_.buf_).U32(handle);
  c_.End(s);
}

uint32_t TRerecorder::MapNew(uint32_t sourceHandle) {
  if (sourceHandle == 0 || sourceHandle >= map_.size()) return 0;
  if (map_[sourceHandle]) {  // re-created without a delete: drop the old one
    WriteSelect(EMR_DELETEOBJECT, map_[sourceHandle]);
    c_.FreeHandle(map_[sourceHandle]);
  }
  map_[sourceHandle] = c_.NewHandle();
  return map_[sourceHandle];
}

// The state a picture starts with, inside the fence.
void TRerecorder::ResetState() {
  if (c_.recTextColor_ != clBlack) WriteSelect(EMR_SETTEXTCOLOR, clBlack);
  if (c_.recBkColor_ != clWhite) WriteSelect(EMR_SETBKCOLOR, clWhite);
  if (c_.recBkMode_ != OPAQUE) WriteSelect(EMR_SETBKMODE, OPAQUE);
  if (c_.recTextAlign_ != 0) WriteSelect(EMR_SETTEXTALIGN, 0);
  if (c_.penHandle_ != (STOCK_OBJECT | BLACK_PEN)) WriteSelect(EMR_SELECTOBJECT, STOCK_OBJECT | BLACK_PEN);
  if (c_.brushHandle_ != (STOCK_OBJECT | WHITE_BRUSH)) WriteSelect(EMR_SELECTOBJECT, STOCK_OBJECT | WHITE_BRUSH);
  if (c_.fontHandle_ != (STOCK_OBJECT | SYSTEM_FONT)) WriteSelect(EMR_SELECTOBJECT, STOCK_OBJECT | SYSTEM_FONT);
}

void TRerecorder::Text(const TEmfRecord& r) {
  TEmrExtTextOut t = ReadExtTextOut(r);
  size_t s = c_.Begin(r.Type);
  le::TWriter w(c_.buf_);
  TRect bounds = InclusiveBox(t.Bounds);
  w.I32(bounds.Left), w.I32(bounds.Top), w.I32(bounds.Right), w.I32(bounds.Bottom);
  w.U32(t.GraphicsMode);
  w.F32(t.ExScale);
  w.F32(t.EyScale);
  w.I32(X(t.Reference.X));
  w.I32(Y(t.Reference.Y));
  w.U32(t.Chars);
  constexpr uint32_t kStringOffset = 76;
  uint32_t unit = t.Wide ? 2 : 1;
  uint32_t stringBytes = (t.Chars * unit + 3) / 4 * 4;
  w.U32(kStringOffset);
  w.U32(t.Options & ~(ETO_NO_RECT | ETO_PDY));
  TRect rect = (t.Options & ETO_NO_RECT) ? TRect{0, 0, -1, -1} : Box(t.Rect);
  w.I32(rect.Left), w.I32(rect.Top), w.I32(rect.Right), w.I32(rect.Bottom);
  w.U32(t.Chars && t.HasDx() ? kStringOffset + stringBytes : 0);
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
      w.I32(cur - prev);
      prev = cur;
    }
  }
  c_.End(s);
  c_.AddBounds(bounds);
}

void TRerecorder::StretchDib(const TEmfRecord& r) {
  TEmrStretchDIBits d = ReadStretchDIBits(r);
  size_t s = c_.Begin(EMR_STRETCHDIBITS);
  le::TWriter w(c_.buf_);
  TRect bounds = InclusiveBox(d.Bounds);
  TRect dest = Box({d.XDest, d.YDest, d.XDest + d.CxDest, d.YDest + d.CyDest});
  constexpr uint32_t kFixed = 80;
  w.I32(bounds.Left), w.I32(bounds.Top), w.I32(bounds.Right), w.I32(bounds.Bottom);
  w.I32(dest.Left), w.I32(dest.Top);
  w.I32(d.XSrc), w.I32(d.YSrc), w.I32(d.CxSrc), w.I32(d.CySrc);
  uint32_t infoSize = (d.Source.InfoSize + 3) / 4 * 4;
  w.U32(d.Source.Present() ? kFixed : 0);
  w.U32(d.Source.InfoSize);
  w.U32(d.Source.Present() ? kFixed + infoSize : 0);
  w.U32(d.Source.BitsSize);
  w.U32(d.UsageSrc);
  w.U32(d.Rop);
  w.I32(dest.Width()), w.I32(dest.Height());
  if (d.Source.Present()) {
    w.Bytes(d.Source.Info, d.Source.InfoSize);
    w.PadTo(4);
    w.Bytes(d.Source.Bits, d.Source.BitsSize);
  }
  c_.End(s);
  c_.AddBounds(bounds);
}

void TRerecorder::Blt(const TEmfRecord& r) {
  TEmrBitBlt b = ReadBitBlt(r);
  bool stretch = b.HasSource();
  size_t s = c_.Begin(stretch ? EMR_STRETCHBLT : EMR_BITBLT);
  le::TWriter w(c_.buf_);
  TRect bounds = InclusiveBox(b.Bounds);
  TRect dest = Box({b.XDest, b.YDest, b.XDest + b.CxDest, b.YDest + b.CyDest});
  uint32_t fixed = stretch ? 108 : 100;
  w.I32(bounds.Left), w.I32(bounds.Top), w.I32(bounds.Right), w.I32(bounds.Bottom);
  w.I32(dest.Left), w.I32(dest.Top), w.I32(dest.Width()), w.I32(dest.Height());
  w.U32(b.Rop);
  w.I32(b.XSrc), w.I32(b.YSrc);
  for (float f : b.XFormSrc) w.F32(f);
  w.U32(b.BkColorSrc);
  w.U32(b.UsageSrc);
  uint32_t infoSize = (b.Source.InfoSize + 3) / 4 * 4;
  w.U32(stretch ? fixed : 0);
  w.U32(stretch ? b.Source.InfoSize : 0);
  w.U32(stretch ? fixed + infoSize : 0);
  w.U32(stretch ? b.Source.BitsSize : 0);
  if (stretch) {
    w.I32(b.CxSrc), w.I32(b.CySrc);
    w.Bytes(b.Source.Info, b.Source.InfoSize);
    w.PadTo(4);
    w.Bytes(b.Source.Bits, b.Source.BitsSize);
  }
  c_.End(s);
  c_.AddBounds(bounds);
}

void TRerecorder::Poly(const TEmfRecord& r) {
  TEmrPoly p = ReadPoly(r);
  uint32_t type = (r.Type == EMR_POLYGON16 || r.Type == EMR_POLYGON) ? EMR_POLYGON : EMR_POLYLINE;
  size_t s = c_.Begin(type);
  le::TWriter w(c_.buf_);
  TRect bounds = InclusiveBox(p.Bounds);
  w.I32(bounds.Left), w.I32(bounds.Top), w.I32(bounds.Right), w.I32(bounds.Bottom);
  w.U32(p.Count);
  for (uint32_t i = 0; i < p.Count; ++i) {
    TPoint pt = p.Point(i);
    w.I32(X(pt.X));
    w.I32(Y(pt.Y));
  }
  c_.End(s);
  c_.AddBounds(bounds);
}

void TRerecorder::Run(const TMetafile& picture) {
  TEmfHeader header = picture.Header();
  map_.assign(size_t(header.Handles) + 1, 0);
  c_.End(c_.Begin(EMR_SAVEDC));
  ResetState();

  EnumerateMetafile(picture, [&](const TEmfRecord& r) {
    switch (r.Type) {
      case EMR_SETBKMODE:
      case EMR_SETTEXTALIGN:
      case EMR_SETTEXTCOLOR:
      case EMR_SETBKCOLOR:
      case EMR_SETPOLYFILLMODE:
      case EMR_SETROP2:
      case EMR_SETSTRETCHBLTMODE:
        Copy(r);
        break;
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
      case EMR_ELLIPSE:
        WriteBox(r.Type, Box(ReadBox(r)), true);
        break;
      case EMR_INTERSECTCLIPRECT:
      case EMR_EXCLUDECLIPRECT:
        WriteBox(r.Type, Box(ReadBox(r)), false);
        break;
      case EMR_CREATEPEN:
      case EMR_EXTCREATEPEN: {
        TEmrCreatePen pen = ReadCreatePen(r);
        uint32_t h = MapNew(pen.Handle);
        if (!h) break;
        size_t s = c_.Begin(EMR_CREATEPEN);
        le::TWriter w(c_.buf_);
        w.U32(h);
        w.U32(pen.Style);
        w.I32(pen.Width > 0 ? std::max(1, ScaleLength(pen.Width, (sx_ + sy_) / 2)) : 0);
        w.I32(0);
        w.U32(pen.Color);
        c_.End(s);
        break;
      }
      case EMR_CREATEBRUSHINDIRECT: {
        TEmrCreateBrush b = ReadCreateBrush(r);
        uint32_t h = MapNew(b.Handle);
        if (!h) break;
        size_t s = c_.Begin(EMR_CREATEBRUSHINDIRECT);
        le::TWriter w(c_.buf_);
        w.U32(h), w.U32(b.Style), w.U32(b.Color), w.U32(b.Hatch);
        c_.End(s);
        break;
      }
      case EMR_EXTCREATEFONTINDIRECTW: {
        TEmrCreateFont f = ReadCreateFont(r);
        uint32_t h = MapNew(f.Handle);
        if (!h) break;
        size_t s = c_.Begin(EMR_EXTCREATEFONTINDIRECTW);
        le::TWriter w(c_.buf_);
        w.U32(h);
        size_t at = c_.buf_.size();
        w.Bytes(r.Data + 12, r.Size - 12);
        w.PatchU32(at, uint32_t(ScaleLength(f.LogFont.Height, sy_)));
        w.PatchU32(at + 4, uint32_t(ScaleLength(f.LogFont.Width, sx_)));
        c_.End(s);
        break;
      }
      case EMR_SELECTOBJECT:
      case EMR_DELETEOBJECT: {
        uint32_t h = ReadValue(r);
        if (h & STOCK_OBJECT) {
          if (r.Type == EMR_SELECTOBJECT) WriteSelect(r.Type, h);
          break;
        }
        if (h >= map_.size() || !map_[h]) break;
        WriteSelect(r.Type, map_[h]);
        if (r.Type == EMR_DELETEOBJECT) {
          c_.FreeHandle(map_[h]);
          map_[h] = 0;
        }
        break;
      }
      case EMR_EXTTEXTOUTW:
      case EMR_EXTTEXTOUTA:
        Text(r);
        break;
      case EMR_STRETCHDIBITS:
        StretchDib(r);
        break;
      case EMR_BITBLT:
      case EMR_STRETCHBLT:
        Blt(r);
        break;
      case EMR_POLYLINE16:
      case EMR_POLYGON16:
      case EMR_POLYLINE:
      case EMR_POLYGON:
        Poly(r);
        break;
      default:
        break;
    }
  });

  size_t s = c_.Begin(EMR_RESTOREDC);
  le::TWriter(c_.buf_).I32(-1 - depth_);
  c_.End(s);
  for (uint32_t& h : map_) {
    if (!h) continue;
    WriteSelect(EMR_DELETEOBJECT, h);
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
    fw = double(h.Bounds.Right) - h.Bounds.Left + 1, fh = double(h.Bounds.Bottom) - h.Bounds.Top + 1;
  }
  if (fw <= 0 || fh <= 0) return;
  double sx = r.Width() / fw, sy = r.Height() / fh;
  TRerecorder(*this, sx, sy, r.Left - fl * sx, r.Top - ft * sy).Run(picture);
}

}  // namespace hy
