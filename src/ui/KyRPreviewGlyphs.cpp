#include "ui/KyRPreviewGlyphs.h"

#include <cmath>

#include <QFont>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

namespace hy {

namespace {

// Every glyph is drawn on a 16 x 16 design grid and scaled to the target.
constexpr double kGrid = 16.0;

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kBlue(38, 98, 186);
const QColor kLightBlue(190, 220, 250);
const QColor kYellow(240, 196, 64);
const QColor kGreen(0, 128, 0);
const QColor kRed(200, 40, 40);

QPen Ink(double width = 1.0, const QColor& color = kInk) {
  QPen pen(color, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

// A sheet of paper with a folded corner.
void Sheet(QPainter& p, const QRectF& r) {
  const double fold = std::min(r.width(), r.height()) * 0.3;
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(Ink(1.0));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
  p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void TextLines(QPainter& p, double left, double right, double top, int count, double step = 2.0) {
  p.setPen(Ink(1.0, QColor(120, 120, 120)));
  for (int i = 0; i < count; ++i)
    p.drawLine(QPointF(left, top + i * step), QPointF(right, top + i * step));
}

void Magnifier(QPainter& p, QPointF centre, double radius, const QColor& glass) {
  const double d = radius * 0.7071;
  p.setPen(Ink(2.6, kInk));
  p.drawLine(centre + QPointF(d + 0.8, d + 0.8), centre + QPointF(d + 4.2, d + 4.2));
  p.setPen(Ink(1.4, kInk));
  p.setBrush(glass);
  p.drawEllipse(centre, radius, radius);
}

void PlusMinus(QPainter& p, QPointF c, double half, bool plus, const QColor& color = kInk) {
  p.setPen(Ink(1.5, color));
  p.drawLine(c - QPointF(half, 0), c + QPointF(half, 0));
  if (plus) p.drawLine(c - QPointF(0, half), c + QPointF(0, half));
}

void Printer(QPainter& p) {
  p.setPen(Ink(1.0));
  p.setBrush(kPaper);
  p.drawRect(QRectF(4.5, 1.5, 7, 5));  // paper fed in
  p.setBrush(QColor(150, 150, 150));
  p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.2, 1.2);
  p.setBrush(kPaper);
  p.drawRect(QRectF(4.5, 10.5, 7, 4));  // paper out
  TextLines(p, 6, 10, 12.5, 1);
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawEllipse(QPointF(12.5, 8.5), 0.8, 0.8);
}

void Gear(QPainter& p, QPointF c, double r) {
  QPainterPath path;
  for (int i = 0; i < 16; ++i) {
    const double a = i * M_PI / 8;
    const double rr = (i % 2 == 0) ? r : r * 0.72;
    const QPointF pt = c + QPointF(std::cos(a) * rr, std::sin(a) * rr);
    if (i == 0) path.moveTo(pt);
    else path.lineTo(pt);
  }
  path.closeSubpath();
  path.addEllipse(c, r * 0.3, r * 0.3);
  p.setPen(Ink(0.8));
  p.setBrush(kYellow);
  p.drawPath(path);
}

void Letter(QPainter& p, const QRectF& r, const QString& letter, const QColor& color) {
  QFont font("DejaVu Sans");
  font.setBold(true);
  font.setPixelSize(10);
  QPainterPath path;
  path.addText(0, 0, font, letter);
  const QRectF b = path.boundingRect();
  const double s = std::min(r.width() / b.width(), r.height() / b.height());
  QTransform t;
  t.translate(r.center().x(), r.center().y());
  t.scale(s, s);
  t.translate(-b.center().x(), -b.center().y());
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPath(t.map(path));
}

void Triangle(QPainter& p, double tipX, bool left) {
  QPainterPath path;
  const double w = 5.5;
  path.moveTo(tipX, 8);
  path.lineTo(left ? tipX + w : tipX - w, 3);
  path.lineTo(left ? tipX + w : tipX - w, 13);
  path.closeSubpath();
  p.setPen(Ink(1.0));
  p.setBrush(kBlue);
  p.drawPath(path);
}

void DrawGlyph(QPainter& p, TKyRGlyph glyph) {
  switch (glyph) {
    case TKyRGlyph::PrinterSetup:
      Printer(p);
      Gear(p, QPointF(11.8, 11.8), 3.9);
      break;
    case TKyRGlyph::Print: Printer(p); break;
    case TKyRGlyph::Open: {
      p.setPen(Ink(1.0));
      p.setBrush(QColor(214, 164, 40));
      p.drawRect(QRectF(1.5, 3.5, 12, 10));
      p.drawRect(QRectF(1.5, 2.5, 5, 1));
      QPainterPath flap;
      flap.moveTo(1.5, 13.5);
      flap.lineTo(4.5, 7.5);
      flap.lineTo(15.0, 7.5);
      flap.lineTo(13.5, 13.5);
      flap.closeSubpath();
      p.setBrush(kYellow);
      p.drawPath(flap);
      break;
    }
    case TKyRGlyph::Save:
      p.setPen(Ink(1.0));
      p.setBrush(kBlue);
      p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1, 1);
      p.setBrush(kPaper);
      p.drawRect(QRectF(3.5, 1.5, 9, 6));
      TextLines(p, 5, 11, 3.5, 2);
      p.setPen(Ink(1.0));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(4.5, 10.5, 7, 4));
      p.setBrush(kInk);
      p.drawRect(QRectF(9, 11.5, 1.5, 2));
      break;
    case TKyRGlyph::Find:
      Sheet(p, QRectF(1.5, 0.5, 10, 13));
      TextLines(p, 3.5, 8.5, 4, 4);
      Magnifier(p, QPointF(9.5, 9.5), 3.2, kLightBlue);
      break;
    case TKyRGlyph::OnePage:
      Sheet(p, QRectF(3.5, 0.5, 9, 15));
      TextLines(p, 5.5, 10.5, 4, 5);
      break;
    case TKyRGlyph::Zoom100:
      Sheet(p, QRectF(1.5, 0.5, 13, 15));
      p.setPen(Ink(1.6, kBlue));
      p.drawLine(QPointF(5, 5), QPointF(5, 12));
      p.drawLine(QPointF(11, 5), QPointF(11, 12));
      p.drawLine(QPointF(4, 6), QPointF(5, 5));
      p.drawLine(QPointF(10, 6), QPointF(11, 5));
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawEllipse(QPointF(8, 7), 0.9, 0.9);
      p.drawEllipse(QPointF(8, 11), 0.9, 0.9);
      break;
    case TKyRGlyph::ZoomToWidth: {
      Sheet(p, QRectF(1.5, 0.5, 13, 15));
      p.setPen(Ink(1.4, kBlue));
      p.drawLine(QPointF(3.5, 8), QPointF(12.5, 8));
      QPainterPath heads;
      heads.moveTo(3, 8);
      heads.lineTo(6, 5.5);
      heads.lineTo(6, 10.5);
      heads.closeSubpath();
      heads.moveTo(13, 8);
      heads.lineTo(10, 5.5);
      heads.lineTo(10, 10.5);
      heads.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawPath(heads);
      break;
    }
    case TKyRGlyph::ManyPages:
      for (int i = 0; i < 4; ++i) Sheet(p, QRectF(1.5 + (i % 2) * 7, 0.5 + (i / 2) * 8, 6, 7));
      break;
    case TKyRGlyph::ZoomIn:
    case TKyRGlyph::ZoomOut:
      Magnifier(p, QPointF(6.5, 6.5), 5, kPaper);
      PlusMinus(p, QPointF(6.5, 6.5), 2.6, glyph == TKyRGlyph::ZoomIn);
      break;
    case TKyRGlyph::Lens:
      Magnifier(p, QPointF(6.5, 6.5), 5.5, kLightBlue);
      p.setPen(Ink(1.2, kPaper));
      p.drawArc(QRectF(3, 3, 7, 7), 100 * 16, 70 * 16);  // the glint on the glass
      break;
    case TKyRGlyph::Ruler: {
      Sheet(p, QRectF(1.5, 0.5, 13, 15));
      QPen dotted(kGreen, 1.0, Qt::DotLine);
      p.setPen(dotted);
      p.drawLine(QPointF(4.5, 1), QPointF(4.5, 15));
      p.drawLine(QPointF(11.5, 5), QPointF(11.5, 15));
      p.drawLine(QPointF(2, 3.5), QPointF(10, 3.5));
      p.drawLine(QPointF(2, 12.5), QPointF(14, 12.5));
      break;
    }
    case TKyRGlyph::Grid:
      Sheet(p, QRectF(1.5, 0.5, 13, 15));
      p.setPen(Ink(1.0, QColor(140, 140, 140)));
      for (double x : {5.5, 9.5}) p.drawLine(QPointF(x, 1), QPointF(x, 15));
      for (double y : {5.5, 10.5}) p.drawLine(QPointF(2, y), QPointF(14, y));
      break;
    case TKyRGlyph::About:
      p.setPen(Ink(1.0, kBlue.darker(130)));
      p.setBrush(kBlue);
      p.drawEllipse(QPointF(8, 8), 7, 7);
      Letter(p, QRectF(5.5, 3, 5, 10), "i", kPaper);
      break;
    case TKyRGlyph::Close:
      p.setPen(Ink(1.0, kRed.darker(130)));
      p.setBrush(kRed);
      p.drawEllipse(QPointF(8, 8), 7, 7);
      p.setPen(Ink(2.0, kPaper));
      p.drawLine(QPointF(5, 5), QPointF(11, 11));
      p.drawLine(QPointF(11, 5), QPointF(5, 11));
      break;
    case TKyRGlyph::Help:
      p.setPen(Ink(1.0, kBlue.darker(130)));
      p.setBrush(kLightBlue);
      p.drawEllipse(QPointF(8, 8), 7, 7);
      Letter(p, QRectF(5, 3, 6, 10), "?", kBlue.darker(120));
      break;
    case TKyRGlyph::FirstPage:
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawRect(QRectF(3, 3, 2, 10));
      Triangle(p, 6, true);
      break;
    case TKyRGlyph::PrevPage: Triangle(p, 5, true); break;
    case TKyRGlyph::NextPage: Triangle(p, 11, false); break;
    case TKyRGlyph::LastPage:
      Triangle(p, 10, false);
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawRect(QRectF(11, 3, 2, 10));
      break;
    case TKyRGlyph::WindowIcon:
      Sheet(p, QRectF(1.5, 0.5, 13, 15));
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawRect(QRectF(4, 9, 2, 4));
      p.setBrush(kGreen);
      p.drawRect(QRectF(7, 6, 2, 7));
      p.setBrush(kRed);
      p.drawRect(QRectF(10, 8, 2, 5));
      break;
  }
}

// Draws the glyph for the target size and scale on request, so no bitmap is
// ever stretched.
class TGlyphEngine : public QIconEngine {
public:
  explicit TGlyphEngine(TKyRGlyph glyph) : glyph_(glyph) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const double side = std::min(rect.width(), rect.height());
    painter->translate(rect.x() + (rect.width() - side) / 2.0,
                       rect.y() + (rect.height() - side) / 2.0);
    painter->scale(side / kGrid, side / kGrid);
    if (mode == QIcon::Disabled) painter->setOpacity(0.35);
    DrawGlyph(*painter, glyph_);
    painter->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    QPixmap pm(size * scale);
    pm.fill(Qt::transparent);
    {
      QPainter painter(&pm);
      paint(&painter, QRect(QPoint(0, 0), pm.size()), mode, state);
    }
    pm.setDevicePixelRatio(scale);
    return pm;
  }

  QIconEngine* clone() const override { return new TGlyphEngine(glyph_); }

private:
  TKyRGlyph glyph_;
};

}  // namespace

QIcon PreviewGlyph(TKyRGlyph glyph) { return QIcon(new TGlyphEngine(glyph)); }

QCursor ZoomCursor(bool zoomIn) {
  const double dpr =
      QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->devicePixelRatio() : 1.0;
  QPixmap pm(QSize(32, 32) * dpr);
  pm.fill(Qt::transparent);
  {
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(dpr * 2, dpr * 2);  // the 16-unit design grid on a 32-pixel cursor
    // A white halo keeps the cursor visible on dark and light pages alike.
    p.setPen(QPen(Qt::white, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.3, 10.3), QPointF(14, 14));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(6.5, 6.5), 5.6, 5.6);
    Magnifier(p, QPointF(6.5, 6.5), 5, kPaper);
    PlusMinus(p, QPointF(6.5, 6.5), 2.6, zoomIn);
  }
  pm.setDevicePixelRatio(dpr);
  return QCursor(pm, 13, 13);
}

}  // namespace hy
