#include "platform/gdi/EmfRecords.h"

#include "platform/gdi/Bytes.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/Metafile.h"

namespace hy {

using namespace emf;

namespace emf {

const char* RecordName(uint32_t type) {
  static const char* const kNames[] = {
      nullptr, "EMR_HEADER", "EMR_POLYBEZIER", "EMR_POLYGON", "EMR_POLYLINE", "EMR_POLYBEZIERTO",
      "EMR_POLYLINETO", "EMR_POLYPOLYLINE", "EMR_POLYPOLYGON", "EMR_SETWINDOWEXTEX",
      "EMR_SETWINDOWORGEX", "EMR_SETVIEWPORTEXTEX", "EMR_SETVIEWPORTORGEX", "EMR_SETBRUSHORGEX",
      "EMR_EOF", "EMR_SETPIXELV", "EMR_SETMAPPERFLAGS", "EMR_SETMAPMODE", "EMR_SETBKMODE",
      "EMR_SETPOLYFILLMODE", "EMR_SETROP2", "EMR_SETSTRETCHBLTMODE", "EMR_SETTEXTALIGN",
      "EMR_SETCOLORADJUSTMENT", "EMR_SETTEXTCOLOR", "EMR_SETBKCOLOR", "EMR_OFFSETCLIPRGN",
      "EMR_MOVETOEX", "EMR_SETMETARGN", "EMR_EXCLUDECLIPRECT", "EMR_INTERSECTCLIPRECT",
      "EMR_SCALEVIEWPORTEXTEX", "EMR_SCALEWINDOWEXTEX", "EMR_SAVEDC", "EMR_RESTOREDC",
      "EMR_SETWORLDTRANSFORM", "EMR_MODIFYWORLDTRANSFORM", "EMR_SELECTOBJECT", "EMR_CREATEPEN",
      "EMR_CREATEBRUSHINDIRECT", "EMR_DELETEOBJECT", "EMR_ANGLEARC", "EMR_ELLIPSE", "EMR_RECTANGLE",
      "EMR_ROUNDRECT", "EMR_ARC", "EMR_CHORD", "EMR_PIE", "EMR_SELECTPALETTE", "EMR_CREATEPALETTE",
      "EMR_SETPALETTEENTRIES", "EMR_RESIZEPALETTE", "EMR_REALIZEPALETTE", "EMR_EXTFLOODFILL",
      "EMR_LINETO", "EMR_ARCTO", "EMR_POLYDRAW", "EMR_SETARCDIRECTION", "EMR_SETMITERLIMIT",
      "EMR_BEGINPATH", "EMR_ENDPATH", "EMR_CLOSEFIGURE", "EMR_FILLPATH", "EMR_STROKEANDFILLPATH",
      "EMR_STROKEPATH", "EMR_FLATTENPATH", "EMR_WIDENPATH", "EMR_SELECTCLIPPATH", "EMR_ABORTPATH",
      nullptr, "EMR_GDICOMMENT", "EMR_FILLRGN", "EMR_FRAMERGN", "EMR_INVERTRGN", "EMR_PAINTRGN",
      "EMR_EXTSELECTCLIPRGN", "EMR_BITBLT", "EMR_STRETCHBLT", "EMR_MASKBLT", "EMR_PLGBLT",
      "EMR_SETDIBITSTODEVICE", "EMR_STRETCHDIBITS", "EMR_EXTCREATEFONTINDIRECTW", "EMR_EXTTEXTOUTA",
      "EMR_EXTTEXTOUTW", "EMR_POLYBEZIER16", "EMR_POLYGON16", "EMR_POLYLINE16",
      "EMR_POLYBEZIERTO16", "EMR_POLYLINETO16", "EMR_POLYPOLYLINE16", "EMR_POLYPOLYGON16",
      "EMR_POLYDRAW16", "EMR_CREATEMONOBRUSH", "EMR_CREATEDIBPATTERNBRUSHPT", "EMR_EXTCREATEPEN",
      "EMR_POLYTEXTOUTA", "EMR_POLYTEXTOUTW", "EMR_SETICMMODE", "EMR_CREATECOLORSPACE",
      "EMR_SETCOLORSPACE", "EMR_DELETECOLORSPACE", "EMR_GLSRECORD", "EMR_GLSBOUNDEDRECORD",
      "EMR_PIXELFORMAT", "EMR_DRAWESCAPE", "EMR_EXTESCAPE", nullptr, "EMR_SMALLTEXTOUT",
      "EMR_FORCEUFIMAPPING", "EMR_NAMEDESCAPE", "EMR_COLORCORRECTPALETTE", "EMR_SETICMPROFILEA",
      "EMR_SETICMPROFILEW", "EMR_ALPHABLEND", "EMR_SETLAYOUT", "EMR_TRANSPARENTBLT", nullptr,
      "EMR_GRADIENTFILL", "EMR_SETLINKEDUFIS", "EMR_SETTEXTJUSTIFICATION",
      "EMR_COLORMATCHTOTARGETW", "EMR_CREATECOLORSPACEW"};
  return type < sizeof kNames / sizeof kNames[0] ? kNames[type] : nullptr;
}

}  // namespace emf

namespace {

[[noreturn]] void Damaged(const TEmfRecord& r, const char* what) {
  const char* name = RecordName(r.Type);
  throw EEmfError(Format("Damaged metafile: %s of record %u (%s) at offset %u does not fit in it",
                          what, unsigned(r.Index), name ? name : "unknown", unsigned(r.Offset)));
}

void Need(const TEmfRecord& r, uint64_t bytes) {
  if (r.Size < bytes) Damaged(r, "the fixed part");
}

void Expect(const TEmfRecord& r, bool typeMatches) {
  HyAssert(typeMatches, "Metafile", "record view used on a record of another type");
}

TRect Rect(const uint8_t* p) { return {le::I32(p), le::I32(p + 4), le::I32(p + 8), le::I32(p + 12)}; }

// Checks that [offset, offset + count * unit) lies inside the record.
bool Fits(const TEmfRecord& r, uint64_t offset, uint64_t count, uint64_t unit) {
  return offset >= 8 && offset <= r.Size && count * unit <= r.Size - offset;
}

TDibRef DibRef(const TEmfRecord& r, uint32_t offBmi, uint32_t cbBmi, uint32_t offBits, uint32_t cbBits) {
  TDibRef d;
  if (cbBmi == 0 && cbBits == 0) return d;
  if (!Fits(r, offBmi, cbBmi, 1) || !Fits(r, offBits, cbBits, 1)) Damaged(r, "the bitmap");
  d.Info = r.Data + offBmi;
  d.InfoSize = cbBmi;
  d.Bits = r.Data + offBits;
  d.BitsSize = cbBits;
  return d;
}

std::u16string ReadUtf16(const uint8_t* p, size_t chars) {
  std::u16string s(chars, u'\0');
  for (size_t i = 0; i < chars; ++i) s[i] = char16_t(le::U16(p + 2 * i));
  return s;
}

}  // namespace

uint32_t MinRecordSize(uint32_t type) {
  switch (type) {
    case EMR_HEADER: return kHeaderSizeBase;
    case EMR_EOF: return 20;
    case EMR_SAVEDC:
    case EMR_REALIZEPALETTE:
    case EMR_BEGINPATH:
    case EMR_ENDPATH:
    case EMR_CLOSEFIGURE:
    case EMR_FLATTENPATH:
    case EMR_WIDENPATH:
    case EMR_ABORTPATH:
    case EMR_SETMETARGN: return 8;
    case EMR_SETMAPMODE:
    case EMR_SETBKMODE:
    case EMR_SETPOLYFILLMODE:
    case EMR_SETROP2:
    case EMR_SETSTRETCHBLTMODE:
    case EMR_SETTEXTALIGN:
    case EMR_SETTEXTCOLOR:
    case EMR_SETBKCOLOR:
    case EMR_RESTOREDC:
    case EMR_SELECTOBJECT:
    case EMR_DELETEOBJECT:
    case EMR_SELECTPALETTE:
    case EMR_SETMAPPERFLAGS:
    case EMR_SETARCDIRECTION:
    case EMR_SETMITERLIMIT:
    case EMR_SELECTCLIPPATH:
    case EMR_SETICMMODE:
    case EMR_SETLAYOUT:
    case EMR_GDICOMMENT: return 12;
    case EMR_SETWINDOWEXTEX:
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX:
    case EMR_SETBRUSHORGEX:
    case EMR_MOVETOEX:
    case EMR_LINETO:
    case EMR_OFFSETCLIPRGN:
    case EMR_EXTSELECTCLIPRGN: return 16;
    case EMR_SETPIXELV: return 20;
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXCLUDECLIPRECT:
    case EMR_ELLIPSE:
    case EMR_RECTANGLE:
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX:
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_FILLPATH:
    case EMR_STROKEANDFILLPATH:
    case EMR_STROKEPATH: return 24;
    case EMR_CREATEPEN: return 28;
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: return 28;
    case EMR_SETWORLDTRANSFORM:
    case EMR_ROUNDRECT: return 32;
    case EMR_MODIFYWORLDTRANSFORM: return 36;
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO: return 40;
    case EMR_EXTCREATEPEN: return 52;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW: return 60;  // 76 unless ETO_NO_RECT
    case EMR_STRETCHDIBITS: return 80;
    case EMR_BITBLT: return 100;
    case EMR_STRETCHBLT: return 108;
    case EMR_EXTCREATEFONTINDIRECTW: return 12 + 92;
    default: return 8;
  }
}

// ---- header ----

namespace {

double HiMetricToPx(int32_t v, int32_t device, int32_t millimeters) {
  if (device > 0 && millimeters > 0) return double(v) * device / (millimeters * 100.0);
  return double(v) * 96.0 / 2540.0;
}

std::string DescriptionPart(const std::u16string& d, int part) {
  size_t start = 0;
  for (int i = 0; i < part; ++i) {
    size_t z = d.find(u'\0', start);
    if (z == std::u16string::npos) return {};
    start = z + 1;
  }
  size_t end = d.find(u'\0', start);
  return le::Utf16To8(std::u16string_view(d).substr(start, end == std::u16string::npos ? end : end - start));
}

}  // namespace

double TEmfHeader::FrameLeftPx() const { return HiMetricToPx(Frame.Left, Device.Cx, Millimeters.Cx); }
double TEmfHeader::FrameTopPx() const { return HiMetricToPx(Frame.Top, Device.Cy, Millimeters.Cy); }
double TEmfHeader::FrameWidthPx() const {
  return HiMetricToPx(Frame.Right - Frame.Left, Device.Cx, Millimeters.Cx);
}
double TEmfHeader::FrameHeightPx() const {
  return HiMetricToPx(Frame.Bottom - Frame.Top, Device.Cy, Millimeters.Cy);
}
std::string TEmfHeader::Creator() const { return DescriptionPart(Description, 0); }
std::string TEmfHeader::Title() const { return DescriptionPart(Description, 1); }

TEmfHeader ReadHeader(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_HEADER);
  Need(r, kHeaderSizeBase);
  const uint8_t* p = r.Data;
  TEmfHeader h;
  h.HeaderSize = r.Size;
  h.Bounds = Rect(p + 8);
  h.Frame = Rect(p + 24);
  h.Signature = le::U32(p + 40);
  h.Version = le::U32(p + 44);
  h.Bytes = le::U32(p + 48);
  h.Records = le::U32(p + 52);
  h.Handles = le::U16(p + 56);
  uint32_t nDescription = le::U32(p + 60);
  uint32_t offDescription = le::U32(p + 64);
  h.PalEntries = le::U32(p + 68);
  h.Device = {le::I32(p + 72), le::I32(p + 76)};
  h.Millimeters = {le::I32(p + 80), le::I32(p + 84)};
  if (r.Size >= kHeaderSizeFull) h.Micrometers = {le::I32(p + 100), le::I32(p + 104)};
  if (nDescription) {
    if (!Fits(r, offDescription, nDescription, 2)) Damaged(r, "the description");
    h.Description = ReadUtf16(p + offDescription, nDescription);
    while (!h.Description.empty() && h.Description.back() == u'\0') h.Description.pop_back();
  }
  return h;
}

TEmfHeader ValidateMetafile(const uint8_t* data, size_t size) {
  if (!data || size < kHeaderSizeBase)
    throw EEmfError(Format("The data is not an enhanced metafile (%zu bytes, too short for its header)", size));
  if (le::U32(data) != EMR_HEADER || le::U32(data + 40) != ENHMETA_SIGNATURE)
    throw EEmfError("The data is not an enhanced metafile (no EMF header signature)");
  uint32_t headerSize = le::U32(data + 4);
  uint32_t bytes = le::U32(data + 48);
  if (headerSize < kHeaderSizeBase || headerSize % 4 || headerSize > size)
    throw EEmfError(Format("Damaged metafile: header size %u is not sound", unsigned(headerSize)));
  if (bytes < headerSize || bytes % 4)
    throw EEmfError(Format("Damaged metafile: the header's byte count %u is not sound", unsigned(bytes)));
  if (bytes > size)
    throw EEmfError(Format("Damaged metafile: the header announces %u bytes but only %zu are present",
                            unsigned(bytes), size));
  TEmfRecord header{EMR_HEADER, headerSize, data, 0, 0};
  TEmfHeader h = ReadHeader(header);

  uint32_t offset = 0, index = 0;
  while (true) {
    if (bytes - offset < 8)
      throw EEmfError(Format("Damaged metafile: no end record (the records stop at offset %u)", unsigned(offset)));
    uint32_t type = le::U32(data + offset);
    uint32_t recSize = le::U32(data + offset + 4);
    if (recSize < 8 || recSize % 4)
      throw EEmfError(Format("Damaged metafile: record %u at offset %u has size %u", unsigned(index),
                              unsigned(offset), unsigned(recSize)));
    if (recSize > bytes - offset)
      throw EEmfError(Format("Damaged metafile: record %u at offset %u (size %u) runs past the end (%u bytes)",
                              unsigned(index), unsigned(offset), unsigned(recSize), unsigned(bytes)));
    if (recSize < MinRecordSize(type)) {
      const char* name = RecordName(type);
      throw EEmfError(Format("Damaged metafile: record %u at offset %u (%s) has %u bytes, smaller than its %u-byte header",
                              unsigned(index), unsigned(offset), name ? name : "unknown", unsigned(recSize),
                              unsigned(MinRecordSize(type))));
    }
    if (index > 0 && type == EMR_HEADER)
      throw EEmfError(Format("Damaged metafile: a second header at offset %u", unsigned(offset)));
    offset += recSize;
    ++index;
    if (type == EMR_EOF) break;
  }
  return h;
}

void EnumerateMetafileUntil(const uint8_t* data, size_t size, const TEmfUntilCallback& callback) {
  ValidateMetafile(data, size);
  uint32_t offset = 0, index = 0;
  while (true) {
    TEmfRecord r{le::U32(data + offset), le::U32(data + offset + 4), data + offset, offset, index};
    if (!callback(r) || r.Type == EMR_EOF) break;
    offset += r.Size;
    ++index;
  }
}

void EnumerateMetafile(const uint8_t* data, size_t size, const TEmfCallback& callback) {
  EnumerateMetafileUntil(data, size, [&](const TEmfRecord& r) {
    callback(r);
    return true;
  });
}

void EnumerateMetafile(const TMetafile& picture, const TEmfCallback& callback) {
  if (picture.Empty()) return;  // nothing recorded, nothing to hand on
  EnumerateMetafile(picture.Data().data(), picture.Data().size(), callback);
}

// ---- simple records ----

uint32_t ReadValue(const TEmfRecord& r) {
  Need(r, 12);
  return le::U32(r.Data + 8);
}

TColor ReadColor(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_SETTEXTCOLOR || r.Type == EMR_SETBKCOLOR);
  Need(r, 12);
  return le::U32(r.Data + 8) & 0x00FFFFFF;
}

TPoint ReadPoint(const TEmfRecord& r) {
  Need(r, 16);
  return {le::I32(r.Data + 8), le::I32(r.Data + 12)};
}

TRect ReadBox(const TEmfRecord& r) {
  Need(r, 24);
  return Rect(r.Data + 8);
}

TEmrCreatePen ReadCreatePen(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_CREATEPEN || r.Type == EMR_EXTCREATEPEN);
  TEmrCreatePen pen;
  pen.Handle = le::U32(r.Data + 8);
  if (r.Type == EMR_CREATEPEN) {
    Need(r, 28);
    pen.Style = le::U32(r.Data + 12);
    pen.Width = le::I32(r.Data + 16);
    pen.Color = le::U32(r.Data + 24) & 0x00FFFFFF;
  } else {
    Need(r, 52);
    pen.Style = le::U32(r.Data + 28);
    pen.Width = le::I32(r.Data + 32);
    if (le::U32(r.Data + 36) == BS_NULL) pen.Style = (pen.Style & ~PS_STYLE_MASK) | PS_NULL;
    pen.Color = le::U32(r.Data + 40) & 0x00FFFFFF;
  }
  return pen;
}

TEmrCreateBrush ReadCreateBrush(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_CREATEBRUSHINDIRECT);
  Need(r, 24);
  return {le::U32(r.Data + 8), le::U32(r.Data + 12), le::U32(r.Data + 16) & 0x00FFFFFF, le::U32(r.Data + 20)};
}

// ---- fonts ----

TFont TLogFont::ToFont(TColor color) const {
  TFont f;
  f.SetName(FaceName);
  f.SetHeight(Height);
  TFontStyles style = 0;
  if (Weight >= 700) style |= fsBold;
  if (Italic == 1) style |= fsItalic;
  if (Underline == 1) style |= fsUnderline;
  if (StrikeOut == 1) style |= fsStrikeOut;
  f.SetStyle(style);
  f.SetCharset(CharSet);
  uint8_t pitch = PitchAndFamily & 0x0F;
  f.SetPitch(pitch == 1 ? fpFixed : pitch == 2 ? fpVariable : fpDefault);
  f.SetColor(color);
  return f;
}

TLogFont TLogFont::FromFont(const TFont& font) {
  TLogFont lf;
  lf.Height = font.Height();
  lf.Weight = font.HasStyle(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.Italic = font.HasStyle(fsItalic);
  lf.Underline = font.HasStyle(fsUnderline);
  lf.StrikeOut = font.HasStyle(fsStrikeOut);
  lf.CharSet = font.Charset();
  lf.PitchAndFamily = font.Pitch() == fpFixed ? 1 : font.Pitch() == fpVariable ? 2 : 0;
  lf.FaceName = font.Name();
  return lf;
}

TEmrCreateFont ReadCreateFont(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_EXTCREATEFONTINDIRECTW);
  Need(r, 12 + 92);
  const uint8_t* p = r.Data + 12;
  TEmrCreateFont f;
  f.Handle = le::U32(r.Data + 8);
  TLogFont& lf = f.LogFont;
  lf.Height = le::I32(p);
  lf.Width = le::I32(p + 4);
  lf.Escapement = le::I32(p + 8);
  lf.Orientation = le::I32(p + 12);
  lf.Weight = le::I32(p + 16);
  lf.Italic = p[20];
  lf.Underline = p[21];
  lf.StrikeOut = p[22];
  lf.CharSet = p[23];
  lf.OutPrecision = p[24];
  lf.ClipPrecision = p[25];
  lf.Quality = p[26];
  lf.PitchAndFamily = p[27];
  std::u16string face;
  for (int i = 0; i < 32; ++i) {
    char16_t c = char16_t(le::U16(p + 28 + 2 * i));
    if (!c) break;
    face += c;
  }
  lf.FaceName = le::Utf16To8(face);
  return f;
}

// ---- text ----

TEmrExtTextOut ReadExtTextOut(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_EXTTEXTOUTW || r.Type == EMR_EXTTEXTOUTA);
  Need(r, 60);
  const uint8_t* p = r.Data;
  TEmrExtTextOut t;
  t.Wide = r.Type == EMR_EXTTEXTOUTW;
  t.Bounds = Rect(p + 8);
  t.GraphicsMode = le::U32(p + 24);
  t.ExScale = le::F32(p + 28);
  t.EyScale = le::F32(p + 32);
  t.Reference = {le::I32(p + 36), le::I32(p + 40)};
  t.Chars = le::U32(p + 44);
  uint32_t offString = le::U32(p + 48);
  t.Options = le::U32(p + 52);
  uint32_t offDx;
  if (t.Options & ETO_NO_RECT) {
    t.Rect = {0, 0, 0, 0};
    offDx = le::U32(p + 56);
  } else {
    Need(r, 76);
    t.Rect = Rect(p + 56);
    offDx = le::U32(p + 72);
  }
  if (t.Chars) {
    if (!Fits(r, offString, t.Chars, t.Wide ? 2 : 1)) Damaged(r, "the string");
    t.string_ = p + offString;
    if (offDx) {
      if (!Fits(r, offDx, t.Chars, (t.Options & ETO_PDY) ? 8 : 4)) Damaged(r, "the spacing array");
      t.dx_ = p + offDx;
    }
  }
  return t;
}

std::u16string TEmrExtTextOut::Text16() const {
  if (!string_) return {};
  if (Wide) return ReadUtf16(string_, Chars);
  std::u16string s(Chars, u'\0');
  for (uint32_t i = 0; i < Chars; ++i) s[i] = le::Cp1252ToUnicode(string_[i]);
  return s;
}

std::string TEmrExtTextOut::Text() const {
  if (!string_) return {};
  if (!Wide) return le::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(string_), Chars));
  return le::Utf16To8(Text16());
}

int32_t TEmrExtTextOut::Dx(uint32_t i) const {
  if (!dx_ || i >= Chars) return 0;
  return le::I32(dx_ + size_t(i) * ((Options & ETO_PDY) ? 8 : 4));
}

// ---- bitmaps ----

QImage TDibRef::Decode() const {
  if (!Present()) return QImage();
  return DecodeDib(Info, InfoSize, Bits, BitsSize);
}

TEmrBitBlt ReadBitBlt(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_BITBLT || r.Type == EMR_STRETCHBLT);
  Need(r, r.Type == EMR_BITBLT ? 100 : 108);
  const uint8_t* p = r.Data;
  TEmrBitBlt b;
  b.Bounds = Rect(p + 8);
  b.XDest = le::I32(p + 24);
  b.YDest = le::I32(p + 28);
  b.CxDest = le::I32(p + 32);
  b.CyDest = le::I32(p + 36);
  b.Rop = le::U32(p + 40);
  b.XSrc = le::I32(p + 44);
  b.YSrc = le::I32(p + 48);
  for (int i = 0; i < 6; ++i) b.XFormSrc[i] = le::F32(p + 52 + 4 * i);
  b.BkColorSrc = le::U32(p + 76) & 0x00FFFFFF;
  b.UsageSrc = le::U32(p + 80);
  if (r.Type == EMR_STRETCHBLT) {
    b.CxSrc = le::I32(p + 100);
    b.CySrc = le::I32(p + 104);
  } else {
    b.CxSrc = b.CxDest;
    b.CySrc = b.CyDest;
  }
  b.Source = DibRef(r, le::U32(p + 84), le::U32(p + 88), le::U32(p + 92), le::U32(p + 96));
  return b;
}

TEmrStretchDIBits ReadStretchDIBits(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_STRETCHDIBITS);
  Need(r, 80);
  const uint8_t* p = r.Data;
  TEmrStretchDIBits s;
  s.Bounds = Rect(p + 8);
  s.XDest = le::I32(p + 24);
  s.YDest = le::I32(p + 28);
  s.XSrc = le::I32(p + 32);
  s.YSrc = le::I32(p + 36);
  s.CxSrc = le::I32(p + 40);
  s.CySrc = le::I32(p + 44);
  s.UsageSrc = le::U32(p + 64);
  s.Rop = le::U32(p + 68);
  s.CxDest = le::I32(p + 72);
  s.CyDest = le::I32(p + 76);
  s.Source = DibRef(r, le::U32(p + 48), le::U32(p + 52), le::U32(p + 56), le::U32(p + 60));
  return s;
}

// ---- polylines ----

TEmrPoly ReadPoly(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_POLYLINE16 || r.Type == EMR_POLYGON16 || r.Type == EMR_POLYLINE ||
                r.Type == EMR_POLYGON || r.Type == EMR_POLYBEZIER16 || r.Type == EMR_POLYBEZIER ||
                r.Type == EMR_POLYLINETO16 || r.Type == EMR_POLYLINETO ||
                r.Type == EMR_POLYBEZIERTO16 || r.Type == EMR_POLYBEZIERTO);
  Need(r, 28);
  TEmrPoly poly;
  poly.Bounds = Rect(r.Data + 8);
  poly.Count = le::U32(r.Data + 24);
  poly.Short = r.Type >= EMR_POLYBEZIER16;
  if (!Fits(r, 28, poly.Count, poly.Short ? 4 : 8)) Damaged(r, "the points");
  poly.points_ = r.Data + 28;
  return poly;
}

TPoint TEmrPoly::Point(uint32_t i) const {
  if (i >= Count) return {};
  if (Short) return {le::I16(points_ + 4 * size_t(i)), le::I16(points_ + 4 * size_t(i) + 2)};
  return {le::I32(points_ + 8 * size_t(i)), le::I32(points_ + 8 * size_t(i) + 4)};
}

TXForm ReadXForm(const TEmfRecord& r, uint32_t* mode) {
  Expect(r, r.Type == EMR_SETWORLDTRANSFORM || r.Type == EMR_MODIFYWORLDTRANSFORM);
  Need(r, r.Type == EMR_SETWORLDTRANSFORM ? 32 : 36);
  const uint8_t* p = r.Data + 8;
  TXForm x{le::F32(p), le::F32(p + 4), le::F32(p + 8), le::F32(p + 12), le::F32(p + 16), le::F32(p + 20)};
  if (mode) *mode = r.Type == EMR_MODIFYWORLDTRANSFORM ? le::U32(r.Data + 32) : MWT_SET;
  return x;
}

}  // namespace hy
