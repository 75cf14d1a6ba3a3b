#include "platform/gdi/EmfPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QRegion>
#include <QTransform>

#include "common/StrUtils.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/Fonts.h"

namespace hy {

using namespace emf;

namespace {

constexpr double kMaxCoord = 1e7;  // logical coordinates beyond this are clamped
constexpr double kMaxPenWidth = 1e4;
constexpr double kMaxDeviceEm = 4000;  // largest text drawn, in device pixels
constexpr size_t kMaxObjects = 65536;
constexpr double kMaxScale = 1e4;  // largest scale factor of a mapping or transform
// Text is drawn only where the transform keeps this share of the area its
// axes span (1 for a rotation, 0 when it squeezes everything onto a line).
constexpr double kMinTextArea = 1e-6;
const QPointF kPixelCentre(0.5, 0.5);

double C(double v) { return std::clamp(v, -kMaxCoord, kMaxCoord); }
QPointF P(TPoint p) { return {C(p.X), C(p.Y)}; }
QRectF R(const TRect& r) {
  return QRectF(QPointF(C(r.Left), C(r.Top)), QPointF(C(r.Right), C(r.Bottom))).normalized();
}

QColor Q(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

struct TPenState {
  bool null = false;
  QColor color = Qt::black;
  double width = 0;  // 0: one device pixel
  Qt::PenStyle style = Qt::SolidLine;
};

struct TBrushState {
  bool null = false;
  QColor color = Qt::white;
  Qt::BrushStyle style = Qt::SolidPattern;
};

struct TFontState {
  TLogFont lf;
  QFont font;
  QRawFont raw;
  bool rawReady = false;
  double ascent = 0, descent = 0;
};

struct TObject {
  enum { None, Pen, Brush, Font } kind = None;
  TPenState pen;
  TBrushState brush;
  std::shared_ptr<TFontState> font;
};

struct TDC {
  TPenState pen;
  TBrushState brush;
  std::shared_ptr<TFontState> font;
  QColor textColor = Qt::black;
  QColor bkColor = Qt::white;
  uint32_t bkMode = OPAQUE;
  uint32_t textAlign = 0;
  QPointF pos;
  uint32_t mapMode = MM_TEXT;
  QPointF winOrg, vpOrg;
  QSizeF winExt{1, 1}, vpExt{1, 1};
  QTransform world;
  bool hasClip = false;
  QPainterPath clip;  // reference-device coordinates
  Qt::FillRule fill = Qt::OddEvenFill;
};

Qt::PenStyle PenStyle(uint32_t style) {
  switch (style & PS_STYLE_MASK) {
    case PS_DASH: return Qt::DashLine;
    case PS_DOT: return Qt::DotLine;
    case PS_DASHDOT: return Qt::DashDotLine;
    case PS_DASHDOTDOT: return Qt::DashDotDotLine;
    case PS_NULL: return Qt::NoPen;
    default: return Qt::SolidLine;
  }
}

Qt::BrushStyle HatchStyle(uint32_t hatch) {
  switch (hatch) {
    case HS_HORIZONTAL: return Qt::HorPattern;
    case HS_VERTICAL: return Qt::VerPattern;
    case HS_FDIAGONAL: return Qt::FDiagPattern;
    case HS_BDIAGONAL: return Qt::BDiagPattern;
    case HS_CROSS: return Qt::CrossPattern;
    default: return Qt::DiagCrossPattern;
  }
}

std::shared_ptr<TFontState> MakeFont(const TLogFont& lf) {
  auto f = std::make_shared<TFontState>();
  f->lf = lf;
  f->font = ToQFont(lf.FaceName, lf.Height, lf.Weight, lf.Italic != 0, lf.Underline != 0,
                    lf.StrikeOut != 0, lf.PitchAndFamily);
  QFontMetricsF m(f->font);
  f->ascent = std::lround(m.ascent());
  f->descent = std::lround(m.descent());
  return f;
}

std::shared_ptr<TFontState> StockFont(uint32_t index) {
  TLogFont lf;
  switch (index) {
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
      lf.Height = 13, lf.Weight = FW_NORMAL, lf.PitchAndFamily = 1, lf.FaceName = "Courier New";
      break;
    case ANSI_VAR_FONT:
    case DEFAULT_GUI_FONT:
      lf.Height = -11, lf.Weight = FW_NORMAL, lf.FaceName = "MS Sans Serif";
      break;
    default: lf.Height = 16, lf.Weight = FW_BOLD, lf.FaceName = "System"; break;
  }
  return MakeFont(lf);
}

class TPlayer {
public:
  TPlayer(QPainter& painter, const TEmfHeader& header, const QRectF& dest);
  ~TPlayer();
  void Play(const TEmfRecord& r);

private:
  TDC& Dc() { return stack_.back(); }
  void ApplyTransform();
  void ApplyClip();
  QTransform Mapping() const;
  QPen CurrentPen() const;
  QBrush CurrentBrush() const;
  void FillBox(const QRectF& r, const QBrush& brush);
  std::shared_ptr<TFontState> Font();
  TObject* ObjectFor(uint32_t handle, bool create);

  void Select(uint32_t handle);
  void Text(const TEmfRecord& r);
  void Shape(const TEmfRecord& r);
  void Poly(const TEmfRecord& r);
  void Image(const QImage& img, QRectF dest, QRectF src, uint32_t rop);
  void Blt(const TEmfRecord& r);
  void StretchDib(const TEmfRecord& r);
  void ClipRect(const TEmfRecord& r, bool intersect);
  void ClipRegion(const TEmfRecord& r);

  QPainter& p_;
  QTransform page_;  // reference-device pixels -> painter coordinates (with the caller's transform)
  TSize device_, millimeters_;
  std::vector<TDC> stack_;
  std::vector<TObject> objects_;
  std::shared_ptr<TFontState> defaultFont_;
  bool transformDirty_ = true;
  std::vector<quint32> glyphs_;
  std::vector<QPointF> advances_;
  std::vector<QPointF> positions_;
  std::u16string text_;
};

TPlayer::TPlayer(QPainter& painter, const TEmfHeader& header, const QRectF& dest)
    : p_(painter), device_(header.Device), millimeters_(header.Millimeters) {
  double fl = header.FrameLeftPx(), ft = header.FrameTopPx();
  double fw = header.FrameWidthPx(), fh = header.FrameHeightPx();
  if (!(fw > 0) || !(fh > 0)) {
    fl = header.Bounds.Left, ft = header.Bounds.Top;
    fw = double(header.Bounds.Right) - header.Bounds.Left + 1;
    fh = double(header.Bounds.Bottom) - header.Bounds.Top + 1;
  }
  if (!(fw > 0) || !(fh > 0)) fw = fh = 1;
  QTransform frameToDest;
  frameToDest.translate(dest.left(), dest.top());
  frameToDest.scale(dest.width() / fw, dest.height() / fh);
  frameToDest.translate(-fl, -ft);
  page_ = frameToDest * painter.transform();
  objects_.resize(std::min<size_t>(size_t(header.Handles) + 1, kMaxObjects));
  stack_.emplace_back();
  defaultFont_ = StockFont(SYSTEM_FONT);
  Dc().font = defaultFont_;
  p_.save();  // the caller's state, given back at the end
  p_.save();  // the level the clip region is set on
  p_.setRenderHint(QPainter::TextAntialiasing, true);
}

TPlayer::~TPlayer() {
  p_.restore();
  p_.restore();
}

QTransform TPlayer::Mapping() const {
  const TDC& dc = stack_.back();
  QTransform m;
  double sx = 1, sy = 1;
  auto metric = [&](double unitsPerMm, bool flip) {
    double pxPerMmX =
        (device_.Cx > 0 && millimeters_.Cx > 0) ? double(device_.Cx) / millimeters_.Cx : 96 / 25.4;
    double pxPerMmY =
        (device_.Cy > 0 && millimeters_.Cy > 0) ? double(device_.Cy) / millimeters_.Cy : 96 / 25.4;
    sx = pxPerMmX / unitsPerMm;
    sy = (flip ? -1 : 1) * pxPerMmY / unitsPerMm;
  };
  switch (dc.mapMode) {
    case MM_LOMETRIC: metric(10, true); break;
    case MM_HIMETRIC: metric(100, true); break;
    case MM_LOENGLISH: metric(100 / 25.4, true); break;
    case MM_HIENGLISH: metric(1000 / 25.4, true); break;
    case MM_TWIPS: metric(1440 / 25.4, true); break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC: {
      double wx = dc.winExt.width() ? dc.winExt.width() : 1,
             wy = dc.winExt.height() ? dc.winExt.height() : 1;
      sx = dc.vpExt.width() / wx;
      sy = dc.vpExt.height() / wy;
      if (dc.mapMode == MM_ISOTROPIC) {
        double s = std::min(std::fabs(sx), std::fabs(sy));
        sx = sx < 0 ? -s : s;
        sy = sy < 0 ? -s : s;
      }
      break;
    }
    default:
      // MM_TEXT: one logical unit is one device pixel; origins still apply
      break;
  }
  sx = std::clamp(sx, -kMaxScale, kMaxScale);
  sy = std::clamp(sy, -kMaxScale, kMaxScale);
  m.translate(dc.vpOrg.x(), dc.vpOrg.y());
  m.scale(sx, sy);
  m.translate(-dc.winOrg.x(), -dc.winOrg.y());
  return dc.world * m;
}

void TPlayer::ApplyTransform() {
  if (!transformDirty_) return;
  p_.setTransform(Mapping() * page_);
  transformDirty_ = false;
}

void TPlayer::ApplyClip() {
  p_.restore();
  p_.save();
  if (Dc().hasClip) {
    p_.setTransform(page_);
    p_.setClipPath(Dc().clip, Qt::IntersectClip);
  }
  p_.setRenderHint(QPainter::TextAntialiasing, true);
  transformDirty_ = true;
}

QPen TPlayer::CurrentPen() const {
  const TPenState& s = stack_.back().pen;
  if (s.null || s.style == Qt::NoPen) return QPen(Qt::NoPen);
  QPen pen(s.color);
  pen.setStyle(s.style);
  pen.setCosmetic(s.width <= 1 && s.style != Qt::SolidLine);  // thin styled pens stay thin
  pen.setWidthF(s.width <= 0 ? 0 : s.width);
  pen.setJoinStyle(Qt::MiterJoin);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

QBrush TPlayer::CurrentBrush() const {
  const TBrushState& s = stack_.back().brush;
  if (s.null) return QBrush(Qt::NoBrush);
  return QBrush(s.color, s.style);
}

void TPlayer::FillBox(const QRectF& r, const QBrush& brush) {
  if (brush.style() == Qt::NoBrush) return;
  ApplyTransform();
  if (brush.style() != Qt::SolidPattern && Dc().bkMode == OPAQUE) p_.fillRect(r, Dc().bkColor);
  p_.fillRect(r, brush);
}

std::shared_ptr<TFontState> TPlayer::Font() { return Dc().font ? Dc().font : defaultFont_; }

TObject* TPlayer::ObjectFor(uint32_t handle, bool create) {
  if (handle == 0 || handle >= kMaxObjects) return nullptr;
  if (handle >= objects_.size()) {
    if (!create) return nullptr;
    objects_.resize(size_t(handle) + 1);  // the header under-counted its table
  }
  return &objects_[handle];
}

void TPlayer::Select(uint32_t handle) {
  TDC& dc = Dc();
  if (handle & STOCK_OBJECT) {
    uint32_t i = handle & ~STOCK_OBJECT;
    switch (i) {
      case WHITE_BRUSH: dc.brush = {false, Qt::white, Qt::SolidPattern}; break;
      case LTGRAY_BRUSH: dc.brush = {false, QColor(192, 192, 192), Qt::SolidPattern}; break;
      case GRAY_BRUSH: dc.brush = {false, QColor(128, 128, 128), Qt::SolidPattern}; break;
      case DKGRAY_BRUSH: dc.brush = {false, QColor(64, 64, 64), Qt::SolidPattern}; break;
      case BLACK_BRUSH: dc.brush = {false, Qt::black, Qt::SolidPattern}; break;
      case NULL_BRUSH: dc.brush = {true, Qt::white, Qt::NoBrush}; break;
      case DC_BRUSH: dc.brush = {false, Qt::white, Qt::SolidPattern}; break;
      case WHITE_PEN: dc.pen = {false, Qt::white, 0, Qt::SolidLine}; break;
      case BLACK_PEN:
      case DC_PEN: dc.pen = {false, Qt::black, 0, Qt::SolidLine}; break;
      case NULL_PEN: dc.pen = {true, Qt::black, 0, Qt::NoPen}; break;
      case OEM_FIXED_FONT:
      case ANSI_FIXED_FONT:
      case ANSI_VAR_FONT:
      case SYSTEM_FONT:
      case DEVICE_DEFAULT_FONT:
      case SYSTEM_FIXED_FONT:
      case DEFAULT_GUI_FONT: dc.font = i == SYSTEM_FONT ? defaultFont_ : StockFont(i); break;
      default: break;
    }
    return;
  }
  TObject* o = ObjectFor(handle, false);
  if (!o) return;
  switch (o->kind) {
    case TObject::Pen: dc.pen = o->pen; break;
    case TObject::Brush: dc.brush = o->brush; break;
    case TObject::Font: dc.font = o->font; break;
    default: break;
  }
}

void TPlayer::Shape(const TEmfRecord& r) {
  QRectF box = R(ReadBox(r));
  ApplyTransform();
  QPen pen = CurrentPen();
  double w = pen.style() == Qt::NoPen ? 0 : std::max(1.0, pen.widthF());
  double hw = w / 2;
  QRectF inner = box.adjusted(hw, hw, -hw, -hw);
  if (inner.width() < 0 || inner.height() < 0) inner = QRectF(box.center(), QSizeF(0, 0));
  p_.setPen(Qt::NoPen);
  QBrush brush = CurrentBrush();
  if (r.Type == EMR_RECTANGLE) {
    FillBox(box, brush);
    if (pen.style() != Qt::NoPen) {
      p_.setPen(pen);
      p_.setBrush(Qt::NoBrush);
      p_.drawRect(inner);
    }
  } else {
    if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush &&
        Dc().bkMode == OPAQUE) {
      p_.setBrush(Dc().bkColor);
      p_.drawEllipse(box);
    }
    p_.setBrush(brush);
    p_.setPen(pen);
    p_.drawEllipse(pen.style() == Qt::NoPen ? box : inner);
  }
}

void TPlayer::Poly(const TEmfRecord& r) {
  TEmrPoly poly = ReadPoly(r);
  if (poly.Count == 0) return;
  bool to = r.Type == EMR_POLYLINETO || r.Type == EMR_POLYLINETO16 || r.Type == EMR_POLYBEZIERTO ||
            r.Type == EMR_POLYBEZIERTO16;
  bool bezier = r.Type == EMR_POLYBEZIER || r.Type == EMR_POLYBEZIER16 ||
                r.Type == EMR_POLYBEZIERTO || r.Type == EMR_POLYBEZIERTO16;
  bool polygon = r.Type == EMR_POLYGON || r.Type == EMR_POLYGON16;
  QPainterPath path;
  uint32_t i = 0;
  if (to) {
    path.moveTo(Dc().pos);
  } else {
    path.moveTo(P(poly.Point(0)));
    i = 1;
  }
  if (bezier) {
    for (; i + 2 < poly.Count; i += 3)
      path.cubicTo(P(poly.Point(i)), P(poly.Point(i + 1)), P(poly.Point(i + 2)));
  } else {
    for (; i < poly.Count; ++i) path.lineTo(P(poly.Point(i)));
  }
  if (polygon) path.closeSubpath();
  path.setFillRule(Dc().fill);
  path.translate(kPixelCentre);
  ApplyTransform();
  p_.setPen(CurrentPen());
  p_.setBrush(polygon ? CurrentBrush() : QBrush(Qt::NoBrush));
  p_.drawPath(path);
  if (to) Dc().pos = path.currentPosition();
}

void TPlayer::Text(const TEmfRecord& r) {
  TEmrExtTextOut t = ReadExtTextOut(r);
  TDC& dc = Dc();
  std::shared_ptr<TFontState> font = Font();
  text_ = t.Text16();
  const size_t n = text_.size();

  ApplyTransform();
  // The glyphs' size on the device is the length of the transformed em in
  // either direction: the determinant alone says nothing of a sheared or
  // singular transform. One that squeezes the glyphs flat draws no text at
  // all, and the font engine is never asked for them.
  const QTransform& m = p_.transform();
  const double xLength = std::hypot(m.m11(), m.m12()), yLength = std::hypot(m.m21(), m.m22());
  const double area = std::fabs(m.determinant());
  const bool degenerate = !(area > kMinTextArea * xLength * yLength) || !std::isfinite(area);
  const double deviceScale = std::sqrt(area);
  const bool tooLarge =
      degenerate || font->font.pixelSize() * std::max(xLength, yLength) > kMaxDeviceEm;

  // Glyphs of the face itself when it has them all; otherwise Qt draws
  // character by character and finds another face for what is missing.
  bool glyphRun = false;
  if (n > 0 && !tooLarge) {
    if (!font->rawReady) {
      font->raw = QRawFont::fromFont(font->font);
      font->rawReady = true;
    }
    glyphs_.resize(n);
    advances_.resize(n);
    int count = int(n);
    glyphRun = font->raw.isValid() &&
               font->raw.glyphIndexesForChars(reinterpret_cast<const QChar*>(text_.data()), int(n),
                                              glyphs_.data(), &count) &&
               count == int(n) &&
               font->raw.advancesForGlyphIndexes(glyphs_.data(), advances_.data(), int(n));
    for (size_t i = 0; glyphRun && i < n; ++i) {
      char16_t c = text_[i];
      if (glyphs_[i] == 0 && c > u' ') glyphRun = false;
    }
  }

  // Positions: the face's own advances, kept within a pixel of the record's
  // whole-pixel advances (so text reads smoothly at any zoom and still ends
  // where it was measured), and snapped to them where they part more (tabs).
  positions_.resize(n);
  QFontMetricsF metrics(font->font);
  double natural = 0, target = 0;
  for (size_t i = 0; i < n; ++i) {
    if (t.HasDx() && std::fabs(natural - target) > 1.0) natural = target;
    positions_[i] = QPointF(natural, 0);
    double own = glyphRun ? advances_[i].x() : metrics.horizontalAdvance(QChar(text_[i]));
    natural += own;
    target += t.HasDx() ? t.Dx(uint32_t(i)) : own;
  }
  const double total = target;

  QPointF ref = (dc.textAlign & TA_UPDATECP) ? dc.pos : P(t.Reference);
  double x = ref.x(), baseline = ref.y();
  uint32_t align = dc.textAlign;
  if ((align & TA_CENTER) == TA_CENTER) x -= total / 2;
  else if (align & TA_RIGHT) x -= total;
  if ((align & TA_BASELINE) == TA_BASELINE) {
    // the reference is the baseline
  } else if (align & TA_BOTTOM) {
    baseline -= font->descent;
  } else {
    baseline += font->ascent;
  }
  if (align & TA_UPDATECP)
    dc.pos = QPointF(ref.x() + ((align & TA_RIGHT) ? -total : total), ref.y());
  if (degenerate) return;

  p_.save();
  if ((t.Options & ETO_CLIPPED) && !(t.Options & ETO_NO_RECT))
    p_.setClipRect(R(t.Rect), Qt::IntersectClip);
  if ((t.Options & ETO_OPAQUE) && !(t.Options & ETO_NO_RECT)) p_.fillRect(R(t.Rect), dc.bkColor);
  if (font->lf.Escapement != 0) {
    p_.translate(ref);
    p_.rotate(-double(font->lf.Escapement) / 10.0);
    p_.translate(-ref);
  }
  if (dc.bkMode == OPAQUE && n > 0)
    p_.fillRect(QRectF(x, baseline - font->ascent, total, font->ascent + font->descent),
                dc.bkColor);

  if (n > 0 && !tooLarge) {
    if (glyphRun) {
      QGlyphRun run;
      run.setRawFont(font->raw);
      run.setRawData(glyphs_.data(), positions_.data(), int(n));
      p_.setPen(dc.textColor);
      p_.drawGlyphRun(QPointF(x, baseline), run);
    } else {
      QFont plain = font->font;
      plain.setUnderline(false);
      plain.setStrikeOut(false);
      p_.setFont(plain);
      p_.setPen(dc.textColor);
      for (size_t i = 0; i < n; ++i) {
        char16_t c = text_[i];
        if (c >= 0xDC00 && c < 0xE000) continue;  // drawn with its lead unit
        QString s{QChar(c)};
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) s += QChar(text_[i + 1]);
        p_.drawText(QPointF(x + positions_[i].x(), baseline), s);
      }
    }
    // decorations over the whole run, as one line each
    double thickness = std::max(1.0 / deviceScale, metrics.lineWidth());
    if (font->lf.Underline)
      p_.fillRect(QRectF(x, baseline + metrics.underlinePos(), total, thickness), dc.textColor);
    if (font->lf.StrikeOut)
      p_.fillRect(QRectF(x, baseline - metrics.strikeOutPos(), total, thickness), dc.textColor);
  }
  p_.restore();
}

void TPlayer::Image(const QImage& source, QRectF dest, QRectF src, uint32_t rop) {
  if (source.isNull()) return;
  QImage img = source;
  if (dest.width() < 0) {
    img = img.mirrored(true, false);
    dest = QRectF(dest.right(), dest.top(), -dest.width(), dest.height());
  }
  if (dest.height() < 0) {
    img = img.mirrored(false, true);
    dest = QRectF(dest.left(), dest.bottom(), dest.width(), -dest.height());
  }
  src = src.normalized().intersected(QRectF(img.rect()));
  if (src.isEmpty() || dest.isEmpty()) return;
  ApplyTransform();
  bool rasterOps = p_.paintEngine() && p_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  if (rasterOps) {
    if (rop == SRCAND) mode = QPainter::RasterOp_SourceAndDestination;
    else if (rop == SRCPAINT) mode = QPainter::RasterOp_SourceOrDestination;
    else if (rop == SRCINVERT) mode = QPainter::RasterOp_SourceXorDestination;
  }
  p_.setCompositionMode(mode);
  p_.drawImage(dest, img, src);
  p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TPlayer::Blt(const TEmfRecord& r) {
  TEmrBitBlt b = ReadBitBlt(r);
  QRectF dest(C(b.XDest), C(b.YDest), C(b.CxDest), C(b.CyDest));
  if (!b.HasSource()) {
    ApplyTransform();
    QRectF box = dest.normalized();
    if (b.Rop == BLACKNESS) p_.fillRect(box, Qt::black);
    else if (b.Rop == WHITENESS) p_.fillRect(box, Qt::white);
    else if (b.Rop == PATCOPY) FillBox(box, CurrentBrush());
    return;
  }
  QImage img = b.Source.Decode();
  Image(img, dest, QRectF(b.XSrc, b.YSrc, b.CxSrc, b.CySrc), b.Rop);
}

void TPlayer::StretchDib(const TEmfRecord& r) {
  TEmrStretchDIBits d = ReadStretchDIBits(r);
  if (!d.Source.Present()) return;
  if (d.UsageSrc != DIB_RGB_COLORS)
    return;  // palette-relative colours need a palette we do not keep
  QImage img = d.Source.Decode();
  Image(img, QRectF(C(d.XDest), C(d.YDest), C(d.CxDest), C(d.CyDest)),
        QRectF(d.XSrc, d.YSrc, d.CxSrc, d.CySrc), d.Rop);
}

void TPlayer::ClipRect(const TEmfRecord& r, bool intersect) {
  QPainterPath box;
  box.addRect(R(ReadBox(r)));
  QPainterPath device = Mapping().map(box);
  TDC& dc = Dc();
  if (intersect) {
    dc.clip = dc.hasClip ? dc.clip.intersected(device) : device;
  } else {
    QPainterPath all;
    all.addRect(QRectF(-kMaxCoord, -kMaxCoord, 2 * kMaxCoord, 2 * kMaxCoord));
    dc.clip = (dc.hasClip ? dc.clip : all).subtracted(device);
  }
  dc.hasClip = true;
  ApplyClip();
}

// The union of many rectangles, halves first: each union merges bands of
// about equal size, where adding them one by one grows a long region again
// and again.
QRegion Unite(const std::vector<QRect>& rects, size_t from, size_t to) {
  if (to - from == 1) return QRegion(rects[from]);
  size_t mid = from + (to - from) / 2;
  return Unite(rects, from, mid).united(Unite(rects, mid, to));
}

void TPlayer::ClipRegion(const TEmfRecord& r) {
  TEmrClipRegion rgn = ReadClipRegion(r);
  TDC& dc = Dc();
  if (!rgn.HasRegion) {
    if (rgn.Mode == RGN_COPY) {
      dc.hasClip = false;
      dc.clip = QPainterPath();
      ApplyClip();
    }
    return;
  }
  std::vector<QRect> rects;
  rects.reserve(rgn.Count);
  for (uint32_t i = 0; i < rgn.Count; ++i) {
    QRectF box = R(rgn.Rect(i));  // clamped, so the sides fit in an int
    if (!box.isEmpty()) rects.push_back(box.toRect());
  }
  // A region's rectangles do not overlap: its path needs no simplifying.
  QPainterPath region;
  if (!rects.empty()) region.addRegion(Unite(rects, 0, rects.size()));
  if (rgn.Mode == RGN_COPY || !dc.hasClip) {
    dc.clip = region;
  } else if (rgn.Mode == RGN_AND) {
    dc.clip = dc.clip.intersected(region);
  } else if (rgn.Mode == RGN_OR) {
    dc.clip = dc.clip.united(region);
  } else if (rgn.Mode == RGN_DIFF) {
    dc.clip = dc.clip.subtracted(region);
  } else if (rgn.Mode == RGN_XOR) {
    dc.clip = dc.clip.united(region).subtracted(dc.clip.intersected(region));
  }
  dc.hasClip = true;
  ApplyClip();
}

void TPlayer::Play(const TEmfRecord& r) {
  TDC& dc = Dc();
  switch (r.Type) {
    case EMR_SETBKMODE: dc.bkMode = ReadValue(r); break;
    case EMR_SETTEXTALIGN: dc.textAlign = ReadValue(r); break;
    case EMR_SETTEXTCOLOR: dc.textColor = Q(ReadColor(r)); break;
    case EMR_SETBKCOLOR: dc.bkColor = Q(ReadColor(r)); break;
    case EMR_SETPOLYFILLMODE:
      dc.fill = ReadValue(r) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    case EMR_SETMAPMODE:
      dc.mapMode = ReadValue(r);
      transformDirty_ = true;
      break;
    case EMR_SETWINDOWEXTEX:
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX: {
      TPoint pt = ReadPoint(r);
      QPointF q = P(pt);
      if (r.Type == EMR_SETWINDOWEXTEX && pt.X && pt.Y) dc.winExt = QSizeF(q.x(), q.y());
      if (r.Type == EMR_SETVIEWPORTEXTEX && pt.X && pt.Y) dc.vpExt = QSizeF(q.x(), q.y());
      if (r.Type == EMR_SETWINDOWORGEX) dc.winOrg = q;
      if (r.Type == EMR_SETVIEWPORTORGEX) dc.vpOrg = q;
      transformDirty_ = true;
      break;
    }
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM: {
      uint32_t mode = 0;
      TXForm x = ReadXForm(r, &mode);
      float m[6] = {x.M11, x.M12, x.M21, x.M22, x.Dx, x.Dy};
      if (!std::all_of(m, m + 6, [](float v) { return std::isfinite(v); })) break;
      auto k = [](float v) { return std::clamp<double>(v, -kMaxScale, kMaxScale); };
      QTransform t(k(x.M11), k(x.M12), k(x.M21), k(x.M22), C(x.Dx), C(x.Dy));
      if (mode == MWT_IDENTITY) dc.world = QTransform();
      else if (mode == MWT_LEFTMULTIPLY) dc.world = t * dc.world;
      else if (mode == MWT_RIGHTMULTIPLY) dc.world = dc.world * t;
      else if (mode == MWT_SET) dc.world = t;
      transformDirty_ = true;
      break;
    }
    case EMR_SAVEDC:
      if (stack_.size() < 1024) stack_.push_back(dc);
      break;
    case EMR_RESTOREDC: {
      int32_t rel = int32_t(ReadValue(r));
      // relative: that many states back; absolute: the n-th saved state
      int64_t keep = rel < 0 ? int64_t(stack_.size()) + rel : int64_t(rel);
      if (keep >= 1 && keep < int64_t(stack_.size())) {
        stack_.resize(size_t(keep));
        ApplyClip();
      }
      break;
    }
    case EMR_MOVETOEX: dc.pos = P(ReadPoint(r)); break;
    case EMR_LINETO: {
      QPointF to = P(ReadPoint(r));
      ApplyTransform();
      QPen pen = CurrentPen();
      if (pen.style() != Qt::NoPen) {
        p_.setPen(pen);
        // a desktop line runs through pixel centres: pixel (x, y) is the square from (x, y)
        p_.drawLine(dc.pos + kPixelCentre, to + kPixelCentre);
      }
      dc.pos = to;
      break;
    }
    case EMR_SETPIXELV: {
      TEmrSetPixel pixel = ReadSetPixel(r);
      ApplyTransform();
      p_.fillRect(QRectF(P(pixel.Point), QSizeF(1, 1)), Q(pixel.Color));
      break;
    }
    case EMR_RECTANGLE:
    case EMR_ELLIPSE: Shape(r); break;
    case EMR_POLYLINE16:
    case EMR_POLYGON16:
    case EMR_POLYLINE:
    case EMR_POLYGON:
    case EMR_POLYLINETO16:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYBEZIERTO: Poly(r); break;
    case EMR_CREATEPEN:
    case EMR_EXTCREATEPEN: {
      TEmrCreatePen pen = ReadCreatePen(r);
      TObject* o = ObjectFor(pen.Handle, true);
      if (!o) break;
      o->kind = TObject::Pen;
      o->pen = {(pen.Style & PS_STYLE_MASK) == PS_NULL, Q(pen.Color),
                std::clamp<double>(pen.Width, 0, kMaxPenWidth), PenStyle(pen.Style)};
      o->font.reset();
      break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
      TEmrCreateBrush b = ReadCreateBrush(r);
      TObject* o = ObjectFor(b.Handle, true);
      if (!o) break;
      o->kind = TObject::Brush;
      o->brush = {b.Style == BS_NULL, Q(b.Color),
                  b.Style == BS_HATCHED ? HatchStyle(b.Hatch)
                  : b.Style == BS_NULL  ? Qt::NoBrush
                                        : Qt::SolidPattern};
      o->font.reset();
      break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
      TEmrCreateFont f = ReadCreateFont(r);
      TObject* o = ObjectFor(f.Handle, true);
      if (!o) break;
      o->kind = TObject::Font;
      o->font = MakeFont(f.LogFont);
      break;
    }
    case EMR_SELECTOBJECT: Select(ReadValue(r)); break;
    case EMR_DELETEOBJECT: {
      // a selected object stays in use until it is replaced, as on the desktop
      if (TObject* o = ObjectFor(ReadValue(r), false)) *o = TObject();
      break;
    }
    case EMR_EXTTEXTOUTW:
    case EMR_EXTTEXTOUTA: Text(r); break;
    case EMR_BITBLT:
    case EMR_STRETCHBLT: Blt(r); break;
    case EMR_STRETCHDIBITS: StretchDib(r); break;
    case EMR_INTERSECTCLIPRECT: ClipRect(r, true); break;
    case EMR_EXCLUDECLIPRECT: ClipRect(r, false); break;
    case EMR_EXTSELECTCLIPRGN: ClipRegion(r); break;
    default: break;  // not drawn by this player
  }
}

}  // namespace

void PlayMetafile(QPainter& painter, const uint8_t* data, size_t size, const QRectF& dest) {
  TEmfHeader header = ValidateMetafile(data, size);
  if (!painter.isActive()) return;
  TPlayer player(painter, header, dest);
  EnumerateMetafile(data, size, [&](const TEmfRecord& r) {
    try {
      player.Play(r);
    } catch (const EGdiError&) {
      // a damaged record draws nothing; the rest of the page still plays
    }
  });
}

void PlayMetafile(QPainter& painter, const TMetafile& picture, const QRectF& dest) {
  if (picture.Empty()) return;
  PlayMetafile(painter, picture.Data().data(), picture.Data().size(), dest);
}

QImage RenderMetafile(const TMetafile& picture, double scale, TColor background) {
  const double fw = std::max(1.0, std::ceil(picture.Width() * scale));
  const double fh = std::max(1.0, std::ceil(picture.Height() * scale));
  if (!(fw <= kMaxImageSide && fh <= kMaxImageSide && fw * fh <= double(kMaxImagePixels)))
    throw EGdiError(
        Format("The image would be %.0f x %.0f pixels; an image may have %d pixels a side and %lld "
               "in all",
               fw, fh, int(kMaxImageSide), (long long)kMaxImagePixels));
  const int w = int(fw), h = int(fh);
  QImage image(w, h, QImage::Format_RGB32);
  if (image.isNull()) throw EGdiError(Format("Cannot make an image of %d x %d pixels", w, h));
  image.fill(ToQColor(background));
  QPainter painter(&image);
  PlayMetafile(painter, picture, QRectF(0, 0, picture.Width() * scale, picture.Height() * scale));
  painter.end();
  return image;
}

namespace {

// Part [x, x + cx) x [y, y + cy) of an image of `size` (either direction),
// computed wide so that no sum overflows.
QRect PartOf(QSize size, int64_t x, int64_t y, int64_t cx, int64_t cy) {
  int64_t left = std::max<int64_t>(std::min(x, x + cx), 0),
          right = std::min<int64_t>(std::max(x, x + cx), size.width());
  int64_t top = std::max<int64_t>(std::min(y, y + cy), 0),
          bottom = std::min<int64_t>(std::max(y, y + cy), size.height());
  if (right <= left || bottom <= top) return {};
  return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

}  // namespace

TBitmap BitmapOfRecord(const TEmfRecord& r) {
  QImage source;
  QRect src;
  int32_t cx = 0, cy = 0;
  if (r.Type == EMR_BITBLT || r.Type == EMR_STRETCHBLT) {
    TEmrBitBlt b = ReadBitBlt(r);
    if (!b.HasSource()) return TBitmap();
    source = b.Source.Decode();
    src = PartOf(source.size(), b.XSrc, b.YSrc, b.CxSrc, b.CySrc);
    cx = b.CxDest, cy = b.CyDest;
  } else if (r.Type == EMR_STRETCHDIBITS) {
    TEmrStretchDIBits d = ReadStretchDIBits(r);
    if (!d.Source.Present()) return TBitmap();
    source = d.Source.Decode();
    src = PartOf(source.size(), d.XSrc, d.YSrc, d.CxSrc, d.CySrc);
    cx = d.CxDest, cy = d.CyDest;
  } else {
    return TBitmap();
  }
  constexpr int64_t kMaxSide = 16384;
  const int64_t width = std::abs(int64_t(cx)), height = std::abs(int64_t(cy));
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
      width * height > kMaxImagePixels)
    return TBitmap();
  if (src.isEmpty()) return TBitmap();
  QImage part = source.copy(src).convertToFormat(QImage::Format_RGB32);
  part = part.scaled(int(width), int(height), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  if (cx < 0 || cy < 0) part = part.mirrored(cx < 0, cy < 0);
  TBitmap bmp(part);
  bmp.SetPixelFormat(pf24bit);
  return bmp;
}

void DrawMetafile(TBitmap& target, int32_t x, int32_t y, const TMetafile& picture) {
  if (target.Empty() || picture.Empty()) return;
  QImage& image = target.Image();
  bool indexed = image.format() == QImage::Format_Mono || image.format() == QImage::Format_Indexed8;
  QImage canvas = indexed ? image.convertToFormat(QImage::Format_RGB32) : QImage();
  QImage& surface = indexed ? canvas : image;
  {
    QPainter painter(&surface);
    PlayMetafile(painter, picture, QRectF(x, y, picture.Width(), picture.Height()));
  }
  if (indexed) {
    TPixelFormat format = target.PixelFormat();
    TBitmap painted(canvas);
    painted.SetPixelFormat(format);
    image = painted.Image();
  }
}

}  // namespace hy
