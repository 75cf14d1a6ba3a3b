#include "platform/gdi/MetafileCanvas.h"

#include <algorithm>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfLayout.h"

namespace hy {

using namespace emf;

namespace {

// Scale from page units to .01 mm at the reference device, as text records carry it.
constexpr float kTextScale = float(kRefDeviceWidthMm * 100.0 / kRefDeviceWidthPx);

bool SamePen(const TPen& a, const TPen& b) {
  if (a.Style() == psClear || b.Style() == psClear) return a.Style() == b.Style();
  return a == b;
}

bool SameBrush(const TBrush& a, const TBrush& b) {
  if (a.Style() == bsClear || b.Style() == bsClear) return a.Style() == b.Style();
  return a == b;
}

TRect Inclusive(const TRect& r) { return {r.Left, r.Top, r.Right - 1, r.Bottom - 1}; }

}  // namespace

TMetafileCanvas::TMetafileCanvas(TMetafile& target, std::string_view creator,
                                 std::string_view description)
    : target_(target),
      penHandle_(STOCK_OBJECT | BLACK_PEN),
      brushHandle_(STOCK_OBJECT | WHITE_BRUSH),
      fontHandle_(STOCK_OBJECT | SYSTEM_FONT) {
  buf_.reserve(64 * 1024);
  std::u16string desc;
  if (!creator.empty() || !description.empty()) {
    desc = le::Utf8To16(creator);
    desc += u'\0';
    desc += le::Utf8To16(description);
    desc += u'\0';
    desc += u'\0';
  }
  descriptionChars_ = desc.size();
  TEmfRecordScope header(buf_, EMR_HEADER, &records_);
  header.Put(THeaderFields{});  // completed by Close
  header.Put(THeaderExtensionFields{});
  for (char16_t c : desc) header.Out().U16(c);
}

TMetafileCanvas::~TMetafileCanvas() {
  try {
    Close();
  } catch (...) {
    // a destructor must not throw; the target keeps its old picture
  }
}

void TMetafileCanvas::Check() const {
  if (closed_) throw EGdiError("Drawing on a closed metafile canvas");
}

TEmfRecordScope TMetafileCanvas::Record(uint32_t type) {
  Check();
  return TEmfRecordScope(buf_, type, &records_);
}

void TMetafileCanvas::AddBounds(const TRect& r) {
  if (r.Right < r.Left || r.Bottom < r.Top) return;
  if (!haveBounds_) {
    bounds_ = r;
    haveBounds_ = true;
    return;
  }
  bounds_.Left = std::min(bounds_.Left, r.Left);
  bounds_.Top = std::min(bounds_.Top, r.Top);
  bounds_.Right = std::max(bounds_.Right, r.Right);
  bounds_.Bottom = std::max(bounds_.Bottom, r.Bottom);
}

void TMetafileCanvas::Close() {
  if (closed_) return;
  Record(EMR_EOF).Put(TEofFields{});

  THeaderFields h;
  if (target_.Width() > 0 && target_.Height() > 0) {
    h.Frame = {0, 0, PixelsToHiMetric(target_.Width()), PixelsToHiMetric(target_.Height())};
  } else if (haveBounds_) {
    h.Frame = {PixelsToHiMetric(bounds_.Left), PixelsToHiMetric(bounds_.Top),
               PixelsToHiMetric(bounds_.Right + 1), PixelsToHiMetric(bounds_.Bottom + 1)};
  }
  h.Bounds = haveBounds_ ? bounds_ : TRect{0, 0, -1, -1};
  h.Signature = ENHMETA_SIGNATURE;
  h.Version = ENHMETA_VERSION;
  h.Bytes = uint32_t(buf_.size());
  h.Records = records_;
  h.Handles = uint16_t(maxHandle_ + 1);
  h.DescriptionChars = uint32_t(descriptionChars_);
  h.DescriptionOffset = descriptionChars_ ? kHeaderSizeFull : 0;
  h.PalEntries = 0;  // no palette
  h.Device = {kRefDeviceWidthPx, kRefDeviceHeightPx};
  h.Millimeters = {kRefDeviceWidthMm, kRefDeviceHeightMm};
  THeaderExtensionFields ext;  // no pixel format, not OpenGL
  ext.Micrometers = {kRefDeviceWidthMm * 1000, kRefDeviceHeightMm * 1000};
  PatchFields(buf_, 8, h);
  PatchFields(buf_, kHeaderSizeBase, ext);
  closed_ = true;
  target_.SetData(std::move(buf_));
  buf_ = {};
}

// ---- objects ----

uint32_t TMetafileCanvas::NewHandle() {
  for (uint32_t i = 1; i < handleUsed_.size(); ++i) {
    if (!handleUsed_[i]) {
      handleUsed_[i] = true;
      return i;
    }
  }
  handleUsed_.push_back(true);
  uint32_t h = uint32_t(handleUsed_.size() - 1);
  HyAssert(h < 0xFFFF, "Metafile", "object table full");
  maxHandle_ = std::max(maxHandle_, h);
  return h;
}

void TMetafileCanvas::FreeHandle(uint32_t handle) {
  if (handle < handleUsed_.size()) handleUsed_[handle] = false;
}

void TMetafileCanvas::WriteHandleRecord(uint32_t type, uint32_t handle) {
  Record(type).Put(TValueFields{handle});
}

namespace {
constexpr size_t kObjectCache = 4;  // alive pens, alive brushes
}  // namespace

template <class T, class Same, class Create>
void TMetafileCanvas::SelectCached(std::vector<TCached<T>>& cache, size_t limit, const T& want,
                                   uint32_t& current, Same same, Create create) {
  for (size_t i = 0; i < cache.size(); ++i) {
    if (!same(cache[i].Desc, want)) continue;
    TCached<T> hit = cache[i];
    cache.erase(cache.begin() + long(i));
    cache.insert(cache.begin(), hit);
    if (current != hit.Handle) WriteHandleRecord(EMR_SELECTOBJECT, hit.Handle);
    current = hit.Handle;
    return;
  }
  uint32_t h = NewHandle();
  create(h);
  WriteHandleRecord(EMR_SELECTOBJECT, h);
  current = h;
  cache.insert(cache.begin(), TCached<T>{h, want});
  while (cache.size() > limit) {  // the oldest is not selected: the selected one is first
    WriteHandleRecord(EMR_DELETEOBJECT, cache.back().Handle);
    FreeHandle(cache.back().Handle);
    cache.pop_back();
  }
}

void TMetafileCanvas::UsePen() {
  if (penKnown_ && SamePen(pen_, recordedPen_)) return;
  if (pen_.Style() == psClear) {
    if (penHandle_ != (STOCK_OBJECT | NULL_PEN))
      WriteHandleRecord(EMR_SELECTOBJECT, STOCK_OBJECT | NULL_PEN);
    penHandle_ = STOCK_OBJECT | NULL_PEN;
  } else {
    SelectCached(pens_, kObjectCache, pen_, penHandle_, SamePen, [&](uint32_t h) {
      TCreatePenFields f;
      f.Handle = h;
      f.Style = uint32_t(pen_.Style());  // the styles are numbered as PS_*
      f.Width = std::max(0, pen_.Width());
      f.Color = ColorToRGB(pen_.Color());
      Record(EMR_CREATEPEN).Put(f);
    });
  }
  recordedPen_ = pen_;
  penKnown_ = true;
}

void TMetafileCanvas::UseBrush() {
  if (brushKnown_ && SameBrush(brush_, recordedBrush_)) return;
  if (brush_.Style() == bsClear) {
    if (brushHandle_ != (STOCK_OBJECT | NULL_BRUSH))
      WriteHandleRecord(EMR_SELECTOBJECT, STOCK_OBJECT | NULL_BRUSH);
    brushHandle_ = STOCK_OBJECT | NULL_BRUSH;
  } else {
    SelectCached(brushes_, kObjectCache, brush_, brushHandle_, SameBrush, [&](uint32_t h) {
      bool hatched = brush_.Style() >= bsHorizontal;
      Record(EMR_CREATEBRUSHINDIRECT)
          .Put(TCreateBrushFields{h, hatched ? BS_HATCHED : BS_SOLID, ColorToRGB(brush_.Color()),
                                  hatched ? uint32_t(brush_.Style() - bsHorizontal) : 0});
    });
  }
  recordedBrush_ = brush_;
  brushKnown_ = true;
}

void TMetafileCanvas::UseFont() {
  if (fontKnown_ && font_.SameShape(recordedFont_)) return;
  auto same = [](const TFont& a, const TFont& b) { return a.SameShape(b); };
  SelectCached(fonts_, 1, font_, fontHandle_, same, [&](uint32_t h) {
    TLogFont lf = TLogFont::FromFont(font_);
    TCreateFontFields f;
    f.Handle = h;
    f.Height = lf.Height;
    f.Width = lf.Width;
    f.Escapement = lf.Escapement;
    f.Orientation = lf.Orientation;
    f.Weight = lf.Weight;
    f.Italic = lf.Italic;
    f.Underline = lf.Underline;
    f.StrikeOut = lf.StrikeOut;
    f.CharSet = lf.CharSet;
    f.OutPrecision = lf.OutPrecision;
    f.ClipPrecision = lf.ClipPrecision;
    f.Quality = lf.Quality;
    f.PitchAndFamily = lf.PitchAndFamily;
    std::u16string face = le::Utf8To16(lf.FaceName);
    for (size_t i = 0; i < face.size() && i < 31; ++i) f.FaceName[i] = face[i];
    TEmfRecordScope rec = Record(EMR_EXTCREATEFONTINDIRECTW);
    rec.Put(f);
    // The rest of the logical-font-with-panose form (full name, style, version,
    // style size, match, reserved, vendor, culture, panose, padding): empty.
    rec.Out().Zeros(TCreateFontFields::kPanoseRecordSize - rec.Written());
  });
  recordedFont_ = font_;
  fontKnown_ = true;
}

void TMetafileCanvas::UseTextColors(bool opaque) {
  TColor text = ColorToRGB(font_.Color());
  if (text != recTextColor_) {
    Record(EMR_SETTEXTCOLOR).Put(TValueFields{text});
    recTextColor_ = text;
  }
  if (opaque) {
    TColor bk = ColorToRGB(brush_.Color());
    if (bk != recBkColor_) {
      Record(EMR_SETBKCOLOR).Put(TValueFields{bk});
      recBkColor_ = bk;
    }
  }
  uint32_t mode = opaque ? OPAQUE : TRANSPARENT;
  if (mode != recBkMode_) {
    Record(EMR_SETBKMODE).Put(TValueFields{mode});
    recBkMode_ = mode;
  }
}

void TMetafileCanvas::SetRecordedTextAlign(uint32_t align) {
  if (align == recTextAlign_) return;
  Record(EMR_SETTEXTALIGN).Put(TValueFields{align});
  recTextAlign_ = align;
}

// ---- lines and shapes ----

void TMetafileCanvas::MoveTo(int32_t x, int32_t y) {
  Check();
  penPos_ = {x, y};  // recorded when a line starts here
}

void TMetafileCanvas::LineTo(int32_t x, int32_t y) {
  Check();
  UsePen();
  if (recPos_ != penPos_) Record(EMR_MOVETOEX).Put(TPointFields{penPos_});
  Record(EMR_LINETO).Put(TPointFields{{x, y}});
  if (pen_.Style() != psClear) {
    int32_t half = std::max(0, pen_.Width()) / 2;
    AddBounds({std::min(penPos_.X, x) - half, std::min(penPos_.Y, y) - half,
               std::max(penPos_.X, x) + half, std::max(penPos_.Y, y) + half});
  }
  penPos_ = recPos_ = {x, y};
}

void TMetafileCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Check();
  UsePen();
  UseBrush();
  Record(EMR_RECTANGLE).Put(TBoxFields{{left, top, right, bottom}});
  AddBounds(Inclusive({left, top, right, bottom}));
}

void TMetafileCanvas::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Check();
  UsePen();
  UseBrush();
  Record(EMR_ELLIPSE).Put(TBoxFields{{left, top, right, bottom}});
  AddBounds(Inclusive({left, top, right, bottom}));
}

void TMetafileCanvas::WritePatBlt(const TRect& r, uint32_t rop) {
  TBitBltFields f;  // no source bitmap
  f.Bounds = Inclusive(r);
  f.XDest = r.Left;
  f.YDest = r.Top;
  f.CxDest = r.Width();
  f.CyDest = r.Height();
  f.Rop = rop;
  f.UsageSrc = DIB_RGB_COLORS;
  Record(EMR_BITBLT).Put(f);
  AddBounds(Inclusive(r));
}

void TMetafileCanvas::FillRect(const TRect& r) {
  Check();
  if (r.IsEmpty() || brush_.Style() == bsClear) return;
  UseBrush();
  WritePatBlt(r, PATCOPY);
}

void TMetafileCanvas::FrameRect(const TRect& r) {
  Check();
  if (r.IsEmpty() || brush_.Style() == bsClear) return;
  UseBrush();
  WritePatBlt({r.Left, r.Top, r.Right, r.Top + 1}, PATCOPY);
  WritePatBlt({r.Left, r.Bottom - 1, r.Right, r.Bottom}, PATCOPY);
  WritePatBlt({r.Left, r.Top, r.Left + 1, r.Bottom}, PATCOPY);
  WritePatBlt({r.Right - 1, r.Top, r.Right, r.Bottom}, PATCOPY);
}

// ---- text ----

void TMetafileCanvas::WriteTextLine(int32_t x, int32_t y, const std::u16string& text,
                                    const std::vector<int32_t>& dx, int32_t width,
                                    const TTextMetrics& metrics, uint32_t options,
                                    const TRect* clip) {
  uint32_t align = recTextAlign_;
  int32_t left = x, top = y;
  if ((align & TA_CENTER) == TA_CENTER) left = x - width / 2;
  else if (align & TA_RIGHT) left = x - width;
  if ((align & TA_BASELINE) == TA_BASELINE) top = y - metrics.Ascent();
  else if (align & TA_BOTTOM) top = y - metrics.LineHeight();
  TRect drawn{left, top, left + width, top + metrics.LineHeight()};
  if (text.empty()) drawn = {0, 0, 0, 0};
  if (clip && (options & ETO_CLIPPED)) drawn = drawn.Intersect(*clip);
  bool opaqueRect = clip && (options & ETO_OPAQUE) && !clip->IsEmpty();
  if (drawn.IsEmpty() && !opaqueRect) return;  // nothing would show
  TRect bounds = drawn;
  if (opaqueRect) {
    bounds = drawn.IsEmpty()
                 ? *clip
                 : TRect{std::min(drawn.Left, clip->Left), std::min(drawn.Top, clip->Top),
                         std::max(drawn.Right, clip->Right), std::max(drawn.Bottom, clip->Bottom)};
  }

  TExtTextOutFields f;
  f.Bounds = Inclusive(bounds);
  f.GraphicsMode = GM_COMPATIBLE;
  f.ExScale = f.EyScale = kTextScale;
  f.Reference = {x, y};
  f.Chars = uint32_t(text.size());
  f.StringOffset = kTextStringOffset;
  f.Options = options;
  uint32_t stringBytes = uint32_t((text.size() * 2 + 3) / 4 * 4);
  TEmfRecordScope rec = Record(EMR_EXTTEXTOUTW);
  rec.Put(f);
  rec.Put(TTextRectFields{clip ? *clip : TRect{0, 0, -1, -1}, kTextStringOffset + stringBytes});
  le::TWriter& w = rec.Out();
  for (char16_t c : text) w.U16(c);
  w.PadTo(4);
  for (int32_t a : dx) w.I32(a);
  AddBounds(Inclusive(bounds));
}

void TMetafileCanvas::TextOut(int32_t x, int32_t y, std::string_view text) {
  Check();
  if (text.empty()) return;
  UseFont();
  TTextMetrics metrics = MetricsFor(font_);
  std::u16string u16 = le::Utf8To16(text);
  std::vector<int32_t> dx;
  int32_t width = metrics.Advances(u16, dx);
  UseTextColors(brush_.Style() == bsSolid);
  SetRecordedTextAlign(textAlign_);
  WriteTextLine(x, y, u16, dx, width, metrics, 0, nullptr);
  penPos_ = {x + width, y};
}

void TMetafileCanvas::TextRect(const TRect& r, int32_t x, int32_t y, std::string_view text) {
  Check();
  bool opaque = brush_.Style() != bsClear;
  if (text.empty() && !opaque) return;
  UseFont();
  TTextMetrics metrics = MetricsFor(font_);
  std::u16string u16 = le::Utf8To16(text);
  std::vector<int32_t> dx;
  int32_t width = metrics.Advances(u16, dx);
  UseTextColors(opaque);
  SetRecordedTextAlign(textAlign_);
  WriteTextLine(x, y, u16, dx, width, metrics, ETO_CLIPPED | (opaque ? ETO_OPAQUE : 0), &r);
}

int32_t TMetafileCanvas::DrawText(std::string_view text, TRect& r, uint32_t flags) {
  Check();
  TTextMetrics metrics = MetricsFor(font_);
  TTextLayout layout = LayoutText(metrics, le::Utf8To16(text), r.Width(), flags);
  if (flags & DT_CALCRECT) {
    r.Right = r.Left + layout.Width;
    r.Bottom = r.Top + layout.Height;
    return layout.Height;
  }
  PlaceLines(layout, r, flags);
  bool any = false;
  for (const TTextLine& line : layout.Lines) {
    if (line.Text.empty()) continue;
    if (!any) {
      UseFont();
      UseTextColors(brush_.Style() == bsSolid);
      SetRecordedTextAlign(TA_LEFT | TA_TOP);
      any = true;
    }
    WriteTextLine(line.X, line.Y, line.Text, line.Dx, line.Width, metrics,
                  (flags & DT_NOCLIP) ? 0 : ETO_CLIPPED, &r);
  }
  return DrawTextResult(layout, r, flags);
}

int32_t TMetafileCanvas::TextWidth(std::string_view text) {
  return MetricsFor(font_).TextWidth(text);
}

int32_t TMetafileCanvas::TextHeight(std::string_view) { return MetricsFor(font_).LineHeight(); }

TSize TMetafileCanvas::TextExtent(std::string_view text) {
  TTextMetrics m = MetricsFor(font_);
  return {m.TextWidth(text), m.LineHeight()};
}

// ---- bitmaps ----

void TMetafileCanvas::WriteStretchDib(const TRect& dest, const TDib& dib, int32_t srcW,
                                      int32_t srcH) {
  constexpr uint32_t kFixed = RecordSize<TStretchDIBitsFields>();
  TStretchDIBitsFields f;
  f.Bounds = Inclusive(dest);
  f.XDest = dest.Left;
  f.YDest = dest.Top;
  f.CxSrc = srcW;
  f.CySrc = srcH;
  f.BmiOffset = kFixed;
  f.BmiSize = uint32_t(dib.Info.size());
  f.BitsOffset = kFixed + uint32_t(dib.Info.size());
  f.BitsSize = uint32_t(dib.Bits.size());
  f.UsageSrc = DIB_RGB_COLORS;
  f.Rop = SRCCOPY;
  f.CxDest = dest.Width();
  f.CyDest = dest.Height();
  TEmfRecordScope rec = Record(EMR_STRETCHDIBITS);
  rec.Put(f);
  rec.Out().Bytes(dib.Info.data(), dib.Info.size());
  rec.Out().Bytes(dib.Bits.data(), dib.Bits.size());
  AddBounds(Inclusive(dest));
}

void TMetafileCanvas::Draw(int32_t x, int32_t y, const TBitmap& bitmap) {
  StretchDraw(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap);
}

void TMetafileCanvas::StretchDraw(const TRect& r, const TBitmap& bitmap) {
  Check();
  if (bitmap.Empty() || r.IsEmpty()) return;
  WriteStretchDib(r, bitmap.ToDib(), bitmap.Width(), bitmap.Height());
}

void TMetafileCanvas::CopyRect(const TRect& dest, const TBitmap& bitmap, const TRect& source) {
  Check();
  if (bitmap.Empty() || dest.IsEmpty()) return;
  TRect src = source.Intersect({0, 0, bitmap.Width(), bitmap.Height()});
  if (src.IsEmpty()) return;
  // The part is cut out here, so the record needs no source offset (whose
  // origin readers disagree on for bottom-up bitmaps).
  QImage part = bitmap.Image().copy(src.Left, src.Top, src.Width(), src.Height());
  WriteStretchDib(dest, EncodeDib(part, BitsPerPixel(bitmap.PixelFormat())), src.Width(),
                  src.Height());
}

}  // namespace hy
