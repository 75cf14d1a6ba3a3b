#include "platform/gdi/EmfRecords.h"

#include <algorithm>
#include <iterator>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/EmfLayout.h"
#include "platform/gdi/Metafile.h"

namespace hy {

using namespace emf;

namespace emf {

const char* RecordName(uint32_t type) {
  static const char* const kNames[] = {nullptr,
                                       "EMR_HEADER",
                                       "EMR_POLYBEZIER",
                                       "EMR_POLYGON",
                                       "EMR_POLYLINE",
                                       "EMR_POLYBEZIERTO",
                                       "EMR_POLYLINETO",
                                       "EMR_POLYPOLYLINE",
                                       "EMR_POLYPOLYGON",
                                       "EMR_SETWINDOWEXTEX",
                                       "EMR_SETWINDOWORGEX",
                                       "EMR_SETVIEWPORTEXTEX",
                                       "EMR_SETVIEWPORTORGEX",
                                       "EMR_SETBRUSHORGEX",
                                       "EMR_EOF",
                                       "EMR_SETPIXELV",
                                       "EMR_SETMAPPERFLAGS",
                                       "EMR_SETMAPMODE",
                                       "EMR_SETBKMODE",
                                       "EMR_SETPOLYFILLMODE",
                                       "EMR_SETROP2",
                                       "EMR_SETSTRETCHBLTMODE",
                                       "EMR_SETTEXTALIGN",
                                       "EMR_SETCOLORADJUSTMENT",
                                       "EMR_SETTEXTCOLOR",
                                       "EMR_SETBKCOLOR",
                                       "EMR_OFFSETCLIPRGN",
                                       "EMR_MOVETOEX",
                                       "EMR_SETMETARGN",
                                       "EMR_EXCLUDECLIPRECT",
                                       "EMR_INTERSECTCLIPRECT",
                                       "EMR_SCALEVIEWPORTEXTEX",
                                       "EMR_SCALEWINDOWEXTEX",
                                       "EMR_SAVEDC",
                                       "EMR_RESTOREDC",
                                       "EMR_SETWORLDTRANSFORM",
                                       "EMR_MODIFYWORLDTRANSFORM",
                                       "EMR_SELECTOBJECT",
                                       "EMR_CREATEPEN",
                                       "EMR_CREATEBRUSHINDIRECT",
                                       "EMR_DELETEOBJECT",
                                       "EMR_ANGLEARC",
                                       "EMR_ELLIPSE",
                                       "EMR_RECTANGLE",
                                       "EMR_ROUNDRECT",
                                       "EMR_ARC",
                                       "EMR_CHORD",
                                       "EMR_PIE",
                                       "EMR_SELECTPALETTE",
                                       "EMR_CREATEPALETTE",
                                       "EMR_SETPALETTEENTRIES",
                                       "EMR_RESIZEPALETTE",
                                       "EMR_REALIZEPALETTE",
                                       "EMR_EXTFLOODFILL",
                                       "EMR_LINETO",
                                       "EMR_ARCTO",
                                       "EMR_POLYDRAW",
                                       "EMR_SETARCDIRECTION",
                                       "EMR_SETMITERLIMIT",
                                       "EMR_BEGINPATH",
                                       "EMR_ENDPATH",
                                       "EMR_CLOSEFIGURE",
                                       "EMR_FILLPATH",
                                       "EMR_STROKEANDFILLPATH",
                                       "EMR_STROKEPATH",
                                       "EMR_FLATTENPATH",
                                       "EMR_WIDENPATH",
                                       "EMR_SELECTCLIPPATH",
                                       "EMR_ABORTPATH",
                                       nullptr,
                                       "EMR_GDICOMMENT",
                                       "EMR_FILLRGN",
                                       "EMR_FRAMERGN",
                                       "EMR_INVERTRGN",
                                       "EMR_PAINTRGN",
                                       "EMR_EXTSELECTCLIPRGN",
                                       "EMR_BITBLT",
                                       "EMR_STRETCHBLT",
                                       "EMR_MASKBLT",
                                       "EMR_PLGBLT",
                                       "EMR_SETDIBITSTODEVICE",
                                       "EMR_STRETCHDIBITS",
                                       "EMR_EXTCREATEFONTINDIRECTW",
                                       "EMR_EXTTEXTOUTA",
                                       "EMR_EXTTEXTOUTW",
                                       "EMR_POLYBEZIER16",
                                       "EMR_POLYGON16",
                                       "EMR_POLYLINE16",
                                       "EMR_POLYBEZIERTO16",
                                       "EMR_POLYLINETO16",
                                       "EMR_POLYPOLYLINE16",
                                       "EMR_POLYPOLYGON16",
                                       "EMR_POLYDRAW16",
                                       "EMR_CREATEMONOBRUSH",
                                       "EMR_CREATEDIBPATTERNBRUSHPT",
                                       "EMR_EXTCREATEPEN",
                                       "EMR_POLYTEXTOUTA",
                                       "EMR_POLYTEXTOUTW",
                                       "EMR_SETICMMODE",
                                       "EMR_CREATECOLORSPACE",
                                       "EMR_SETCOLORSPACE",
                                       "EMR_DELETECOLORSPACE",
                                       "EMR_GLSRECORD",
                                       "EMR_GLSBOUNDEDRECORD",
                                       "EMR_PIXELFORMAT",
                                       "EMR_DRAWESCAPE",
                                       "EMR_EXTESCAPE",
                                       nullptr,
                                       "EMR_SMALLTEXTOUT",
                                       "EMR_FORCEUFIMAPPING",
                                       "EMR_NAMEDESCAPE",
                                       "EMR_COLORCORRECTPALETTE",
                                       "EMR_SETICMPROFILEA",
                                       "EMR_SETICMPROFILEW",
                                       "EMR_ALPHABLEND",
                                       "EMR_SETLAYOUT",
                                       "EMR_TRANSPARENTBLT",
                                       nullptr,
                                       "EMR_GRADIENTFILL",
                                       "EMR_SETLINKEDUFIS",
                                       "EMR_SETTEXTJUSTIFICATION",
                                       "EMR_COLORMATCHTOTARGETW",
                                       "EMR_CREATECOLORSPACEW"};
  return type < sizeof kNames / sizeof kNames[0] ? kNames[type] : nullptr;
}

void ThrowDamaged(const TEmfRecord& r, const char* what) {
  const char* name = RecordName(r.Type);
  throw EEmfError(Format("Damaged metafile: %s of record %u (%s) at offset %u does not fit in it",
                         what, unsigned(r.Index), name ? name : "unknown", unsigned(r.Offset)));
}

}  // namespace emf

namespace {

void Expect(const TEmfRecord& r, bool typeMatches) {
  HyAssert(typeMatches, "Metafile", "record view used on a record of another type");
}

TDibRef DibRef(const TEmfRecord& r, uint32_t offBmi, uint32_t cbBmi, uint32_t offBits,
               uint32_t cbBits) {
  TDibRef d;
  if (cbBmi == 0 && cbBits == 0) return d;
  if (!FitsInRecord(r, offBmi, cbBmi, 1) || !FitsInRecord(r, offBits, cbBits, 1))
    ThrowDamaged(r, "the bitmap");
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
    case EMR_HEADER: return RecordSize<THeaderFields>();
    case EMR_EOF: return RecordSize<TEofFields>();
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
    case EMR_GDICOMMENT: return RecordSize<TValueFields>();
    case EMR_SETWINDOWEXTEX:
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX:
    case EMR_SETBRUSHORGEX:
    case EMR_MOVETOEX:
    case EMR_LINETO:
    case EMR_OFFSETCLIPRGN: return RecordSize<TPointFields>();
    case EMR_EXTSELECTCLIPRGN: return RecordSize<TClipRegionFields>();
    case EMR_SETPIXELV: return RecordSize<TSetPixelFields>();
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXCLUDECLIPRECT:
    case EMR_ELLIPSE:
    case EMR_RECTANGLE:
    case EMR_FILLPATH:
    case EMR_STROKEANDFILLPATH:
    case EMR_STROKEPATH: return RecordSize<TBoxFields>();
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: return 24;  // four factors; not read here
    case EMR_CREATEBRUSHINDIRECT: return RecordSize<TCreateBrushFields>();
    case EMR_CREATEPEN: return RecordSize<TCreatePenFields>();
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: return RecordSize<TPolyFields>();
    case EMR_SETWORLDTRANSFORM: return RecordSize<TXFormFields>();
    case EMR_MODIFYWORLDTRANSFORM: return RecordSize<TModifyXFormFields>();
    case EMR_ROUNDRECT: return 32;  // box and corner; not read here
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO: return 40;  // box, start and end; not read here
    case EMR_EXTCREATEPEN: return RecordSize<TExtCreatePenFields>();
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW: return RecordSize<TExtTextOutFields>() + LayoutBytes<TTextDxFields>();
    case EMR_STRETCHDIBITS: return RecordSize<TStretchDIBitsFields>();
    case EMR_BITBLT: return RecordSize<TBitBltFields>();
    case EMR_STRETCHBLT: return RecordSize<TStretchBltFields>();
    case EMR_EXTCREATEFONTINDIRECTW: return RecordSize<TCreateFontFields>();
    default: return 8;
  }
}

// ---- header ----

namespace {

double HiMetricToPx(double v, int32_t device, int32_t millimeters) {
  if (device > 0 && millimeters > 0) return v * device / (millimeters * 100.0);
  return v * 96.0 / 2540.0;
}

std::string DescriptionPart(const std::u16string& d, int part) {
  size_t start = 0;
  for (int i = 0; i < part; ++i) {
    size_t z = d.find(u'\0', start);
    if (z == std::u16string::npos) return {};
    start = z + 1;
  }
  size_t end = d.find(u'\0', start);
  return le::Utf16To8(
      std::u16string_view(d).substr(start, end == std::u16string::npos ? end : end - start));
}

}  // namespace

double TEmfHeader::FrameLeftPx() const {
  return HiMetricToPx(Frame.Left, Device.Cx, Millimeters.Cx);
}
double TEmfHeader::FrameTopPx() const { return HiMetricToPx(Frame.Top, Device.Cy, Millimeters.Cy); }
double TEmfHeader::FrameWidthPx() const {
  return HiMetricToPx(int64_t(Frame.Right) - Frame.Left, Device.Cx, Millimeters.Cx);
}
double TEmfHeader::FrameHeightPx() const {
  return HiMetricToPx(int64_t(Frame.Bottom) - Frame.Top, Device.Cy, Millimeters.Cy);
}
std::string TEmfHeader::Creator() const { return DescriptionPart(Description, 0); }
std::string TEmfHeader::Title() const { return DescriptionPart(Description, 1); }

TEmfHeader ReadHeader(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_HEADER);
  THeaderFields f = DecodeRecord<THeaderFields>(r);
  TEmfHeader h;
  h.HeaderSize = r.Size;
  h.Bounds = f.Bounds;
  h.Frame = f.Frame;
  h.Signature = f.Signature;
  h.Version = f.Version;
  h.Bytes = f.Bytes;
  h.Records = f.Records;
  h.Handles = f.Handles;
  h.PalEntries = f.PalEntries;
  h.Device = f.Device;
  h.Millimeters = f.Millimeters;
  if (r.Size >= kHeaderSizeFull)
    h.Micrometers =
        DecodePart<THeaderExtensionFields>(r, kHeaderSizeBase, "the header extension").Micrometers;
  if (f.DescriptionChars) {
    if (!FitsInRecord(r, f.DescriptionOffset, f.DescriptionChars, 2))
      ThrowDamaged(r, "the description");
    h.Description = ReadUtf16(r.Data + f.DescriptionOffset, f.DescriptionChars);
    while (!h.Description.empty() && h.Description.back() == u'\0') h.Description.pop_back();
  }
  return h;
}

TEmfHeader ValidateMetafile(const uint8_t* data, size_t size) {
  if (!data || size < kHeaderSizeBase)
    throw EEmfError(
        Format("The data is not an enhanced metafile (%zu bytes, too short for its header)", size));
  const uint32_t headerSize = le::U32(data + 4);
  const THeaderFields f = DecodeFields<THeaderFields>(data + 8);
  if (le::U32(data) != EMR_HEADER || f.Signature != ENHMETA_SIGNATURE)
    throw EEmfError("The data is not an enhanced metafile (no EMF header signature)");
  const uint32_t bytes = f.Bytes;
  if (headerSize < kHeaderSizeBase || headerSize % 4 || headerSize > size)
    throw EEmfError(Format("Damaged metafile: header size %u is not sound", unsigned(headerSize)));
  if (bytes < headerSize || bytes % 4)
    throw EEmfError(
        Format("Damaged metafile: the header's byte count %u is not sound", unsigned(bytes)));
  if (bytes > size)
    throw EEmfError(
        Format("Damaged metafile: the header announces %u bytes but only %zu are present",
               unsigned(bytes), size));
  TEmfRecord header{EMR_HEADER, headerSize, data, 0, 0};
  TEmfHeader h = ReadHeader(header);

  uint32_t offset = 0, index = 0;
  while (true) {
    if (bytes - offset < 8)
      throw EEmfError(Format("Damaged metafile: no end record (the records stop at offset %u)",
                             unsigned(offset)));
    uint32_t type = le::U32(data + offset);
    uint32_t recSize = le::U32(data + offset + 4);
    if (recSize < 8 || recSize % 4)
      throw EEmfError(Format("Damaged metafile: record %u at offset %u has size %u",
                             unsigned(index), unsigned(offset), unsigned(recSize)));
    if (recSize > bytes - offset)
      throw EEmfError(
          Format("Damaged metafile: record %u at offset %u (size %u) runs past the end (%u bytes)",
                 unsigned(index), unsigned(offset), unsigned(recSize), unsigned(bytes)));
    if (recSize < MinRecordSize(type)) {
      const char* name = RecordName(type);
      throw EEmfError(Format(
          "Damaged metafile: record %u at offset %u (%s) has %u bytes, smaller than its %u-byte header",
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

uint32_t ReadValue(const TEmfRecord& r) { return DecodeRecord<TValueFields>(r).Value; }

TColor ReadColor(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_SETTEXTCOLOR || r.Type == EMR_SETBKCOLOR);
  return DecodeRecord<TValueFields>(r).Value & 0x00FFFFFF;
}

TPoint ReadPoint(const TEmfRecord& r) { return DecodeRecord<TPointFields>(r).Point; }

TRect ReadBox(const TEmfRecord& r) { return DecodeRecord<TBoxFields>(r).Box; }

TEmrSetPixel ReadSetPixel(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_SETPIXELV);
  TSetPixelFields f = DecodeRecord<TSetPixelFields>(r);
  return {f.Point, f.Color & 0x00FFFFFF};
}

TEmrCreatePen ReadCreatePen(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_CREATEPEN || r.Type == EMR_EXTCREATEPEN);
  TEmrCreatePen pen;
  if (r.Type == EMR_CREATEPEN) {
    TCreatePenFields f = DecodeRecord<TCreatePenFields>(r);
    pen = {f.Handle, f.Style, f.Width, f.Color & 0x00FFFFFF};
  } else {
    TExtCreatePenFields f = DecodeRecord<TExtCreatePenFields>(r);
    pen = {f.Handle, f.Style, f.Width, f.Color & 0x00FFFFFF};
    if (f.BrushStyle == BS_NULL) pen.Style = (pen.Style & ~PS_STYLE_MASK) | PS_NULL;
  }
  return pen;
}

TEmrCreateBrush ReadCreateBrush(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_CREATEBRUSHINDIRECT);
  TCreateBrushFields f = DecodeRecord<TCreateBrushFields>(r);
  return {f.Handle, f.Style, f.Color & 0x00FFFFFF, f.Hatch};
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
  TCreateFontFields f = DecodeRecord<TCreateFontFields>(r);
  TEmrCreateFont font;
  font.Handle = f.Handle;
  TLogFont& lf = font.LogFont;
  lf.Height = f.Height;
  lf.Width = f.Width;
  lf.Escapement = f.Escapement;
  lf.Orientation = f.Orientation;
  lf.Weight = f.Weight;
  lf.Italic = f.Italic;
  lf.Underline = f.Underline;
  lf.StrikeOut = f.StrikeOut;
  lf.CharSet = f.CharSet;
  lf.OutPrecision = f.OutPrecision;
  lf.ClipPrecision = f.ClipPrecision;
  lf.Quality = f.Quality;
  lf.PitchAndFamily = f.PitchAndFamily;
  std::u16string face;
  for (uint16_t c : f.FaceName) {
    if (!c) break;
    face += char16_t(c);
  }
  lf.FaceName = le::Utf16To8(face);
  return font;
}

// ---- text ----

TEmrExtTextOut ReadExtTextOut(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_EXTTEXTOUTW || r.Type == EMR_EXTTEXTOUTA);
  TExtTextOutFields f = DecodeRecord<TExtTextOutFields>(r);
  TEmrExtTextOut t;
  t.Wide = r.Type == EMR_EXTTEXTOUTW;
  t.Bounds = f.Bounds;
  t.GraphicsMode = f.GraphicsMode;
  t.ExScale = f.ExScale;
  t.EyScale = f.EyScale;
  t.Reference = f.Reference;
  t.Chars = f.Chars;
  t.Options = f.Options;
  uint32_t offDx;
  constexpr uint32_t kTail = RecordSize<TExtTextOutFields>();
  if (t.Options & ETO_NO_RECT) {
    t.Rect = {0, 0, 0, 0};
    offDx = DecodePart<TTextDxFields>(r, kTail, "the fixed part").DxOffset;
  } else {
    TTextRectFields rect = DecodePart<TTextRectFields>(r, kTail, "the fixed part");
    t.Rect = rect.Rect;
    offDx = rect.DxOffset;
  }
  if (t.Chars) {
    if (!FitsInRecord(r, f.StringOffset, t.Chars, t.Wide ? 2 : 1)) ThrowDamaged(r, "the string");
    t.string_ = r.Data + f.StringOffset;
    if (offDx) {
      if (!FitsInRecord(r, offDx, t.Chars, (t.Options & ETO_PDY) ? 8 : 4))
        ThrowDamaged(r, "the spacing array");
      t.dx_ = r.Data + offDx;
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
  if (!Wide)
    return le::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(string_), Chars));
  return le::Utf16To8(Text16());
}

int32_t TEmrExtTextOut::Dx(uint32_t i) const {
  if (!dx_ || i >= Chars) return 0;
  return le::I32(dx_ + size_t(i) * ((Options & ETO_PDY) ? 8 : 4));
}

bool TEmrExtTextOut::Clipped() const {
  if (!(Options & ETO_CLIPPED) || !dx_) return false;
  int64_t advance = 0;
  for (uint32_t i = 0; i < Chars; ++i) advance += Dx(i);
  return advance > int64_t(Bounds.Right) - Bounds.Left + 1;
}

// ---- bitmaps ----

QImage TDibRef::Decode() const {
  if (!Present()) return QImage();
  return DecodeDib(Info, InfoSize, Bits, BitsSize);
}

TEmrBitBlt ReadBitBlt(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_BITBLT || r.Type == EMR_STRETCHBLT);
  TStretchBltFields f;
  if (r.Type == EMR_STRETCHBLT) {
    f = DecodeRecord<TStretchBltFields>(r);
  } else {
    static_cast<TBitBltFields&>(f) = DecodeRecord<TBitBltFields>(r);
    f.CxSrc = f.CxDest;
    f.CySrc = f.CyDest;
  }
  TEmrBitBlt b;
  b.Bounds = f.Bounds;
  b.XDest = f.XDest;
  b.YDest = f.YDest;
  b.CxDest = f.CxDest;
  b.CyDest = f.CyDest;
  b.Rop = f.Rop;
  b.XSrc = f.XSrc;
  b.YSrc = f.YSrc;
  std::copy(std::begin(f.XFormSrc), std::end(f.XFormSrc), b.XFormSrc);
  b.BkColorSrc = f.BkColorSrc & 0x00FFFFFF;
  b.UsageSrc = f.UsageSrc;
  b.CxSrc = f.CxSrc;
  b.CySrc = f.CySrc;
  b.Source = DibRef(r, f.BmiOffset, f.BmiSize, f.BitsOffset, f.BitsSize);
  return b;
}

TEmrStretchDIBits ReadStretchDIBits(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_STRETCHDIBITS);
  TStretchDIBitsFields f = DecodeRecord<TStretchDIBitsFields>(r);
  TEmrStretchDIBits s;
  s.Bounds = f.Bounds;
  s.XDest = f.XDest;
  s.YDest = f.YDest;
  s.XSrc = f.XSrc;
  s.YSrc = f.YSrc;
  s.CxSrc = f.CxSrc;
  s.CySrc = f.CySrc;
  s.UsageSrc = f.UsageSrc;
  s.Rop = f.Rop;
  s.CxDest = f.CxDest;
  s.CyDest = f.CyDest;
  s.Source = DibRef(r, f.BmiOffset, f.BmiSize, f.BitsOffset, f.BitsSize);
  return s;
}

// ---- polylines ----

TEmrPoly ReadPoly(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_POLYLINE16 || r.Type == EMR_POLYGON16 || r.Type == EMR_POLYLINE ||
                r.Type == EMR_POLYGON || r.Type == EMR_POLYBEZIER16 || r.Type == EMR_POLYBEZIER ||
                r.Type == EMR_POLYLINETO16 || r.Type == EMR_POLYLINETO ||
                r.Type == EMR_POLYBEZIERTO16 || r.Type == EMR_POLYBEZIERTO);
  TPolyFields f = DecodeRecord<TPolyFields>(r);
  TEmrPoly poly;
  poly.Bounds = f.Bounds;
  poly.Count = f.Count;
  poly.Short = r.Type >= EMR_POLYBEZIER16;
  constexpr uint32_t kPoints = RecordSize<TPolyFields>();
  if (!FitsInRecord(r, kPoints, poly.Count, poly.Short ? 4 : 8)) ThrowDamaged(r, "the points");
  poly.points_ = r.Data + kPoints;
  return poly;
}

TPoint TEmrPoly::Point(uint32_t i) const {
  if (i >= Count) return {};
  if (Short) return {le::I16(points_ + 4 * size_t(i)), le::I16(points_ + 4 * size_t(i) + 2)};
  return {le::I32(points_ + 8 * size_t(i)), le::I32(points_ + 8 * size_t(i) + 4)};
}

TXForm ReadXForm(const TEmfRecord& r, uint32_t* mode) {
  Expect(r, r.Type == EMR_SETWORLDTRANSFORM || r.Type == EMR_MODIFYWORLDTRANSFORM);
  TModifyXFormFields f;
  if (r.Type == EMR_MODIFYWORLDTRANSFORM) {
    f = DecodeRecord<TModifyXFormFields>(r);
  } else {
    static_cast<TXFormFields&>(f) = DecodeRecord<TXFormFields>(r);
    f.Mode = MWT_SET;
  }
  if (mode) *mode = f.Mode;
  return f;
}

// ---- clipping ----

TEmrClipRegion ReadClipRegion(const TEmfRecord& r) {
  Expect(r, r.Type == EMR_EXTSELECTCLIPRGN);
  TClipRegionFields f = DecodeRecord<TClipRegionFields>(r);
  TEmrClipRegion c;
  c.Mode = f.Mode;
  if (f.RegionBytes == 0) return c;
  constexpr uint32_t kRegion = RecordSize<TClipRegionFields>();
  constexpr uint32_t kRects = kRegion + LayoutBytes<TRegionHeaderFields>();
  if (!FitsInRecord(r, kRegion, f.RegionBytes, 1) ||
      f.RegionBytes < LayoutBytes<TRegionHeaderFields>())
    ThrowDamaged(r, "the region");
  TRegionHeaderFields h = DecodePart<TRegionHeaderFields>(r, kRegion, "the region");
  if (uint64_t(h.Count) * 16 > f.RegionBytes - LayoutBytes<TRegionHeaderFields>())
    ThrowDamaged(r, "the rectangles");
  c.HasRegion = true;
  c.Count = h.Count;
  c.rects_ = r.Data + kRects;
  return c;
}

TRect TEmrClipRegion::Rect(uint32_t i) const {
  if (i >= Count) return {};
  const uint8_t* p = rects_ + 16 * size_t(i);
  return DecodeFields<TBoxFields>(p).Box;
}

}  // namespace hy
