// Painting the cross-tab: each cell as the model describes it, the outer
// edges, and the six glyphs, which the program draws itself.
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "platform/gdi/Colors.h"
#include "ui/HyGridWidget.h"

namespace hy {

namespace {

constexpr int kGlyph = TCustomHyGrid::kGlyphSize;

// A line `thickness` grid pixels thick along one edge of `r` (Qt::LeftEdge:
// down its left side, ...), snapped to whole device pixels. Under a
// fractional scale a plain rectangle would cover one or two device pixels by
// where it falls; snapped, every line of a thickness has one width.
void FillLine(QPainter& painter, const QRect& r, Qt::Edge edge, int thickness,
              const QColor& color) {
  const QTransform t = painter.deviceTransform();
  if (t.isRotating() || t.m11() <= 0 || t.m22() <= 0) {
    painter.fillRect(r, color);  // no pixel grid to snap to
    return;
  }
  const auto snap = [](double v) { return std::floor(v + 0.5); };
  double left = snap(t.m11() * r.left() + t.dx()), right = snap(t.m11() * (r.right() + 1) + t.dx());
  double top = snap(t.m22() * r.top() + t.dy()), bottom = snap(t.m22() * (r.bottom() + 1) + t.dy());
  const double across = std::max(
      1.0, snap(thickness * (edge == Qt::LeftEdge || edge == Qt::RightEdge ? t.m11() : t.m22())));
  switch (edge) {
    case Qt::LeftEdge: right = left + across; break;
    case Qt::RightEdge: left = right - across; break;
    case Qt::TopEdge: bottom = top + across; break;
    case Qt::BottomEdge: top = bottom - across; break;
  }
  // A quarter pixel inside the device rectangle: whichever way the engine
  // rounds, it covers exactly these pixels.
  const QRectF device(left + 0.25, top + 0.25, right - left - 0.5, bottom - top - 0.5);
  painter.fillRect(t.inverted().mapRect(device), color);
}

// 3D face edges of the classic desktop.
void DrawRaisedEdge(QPainter& painter, const QRect& r) {
  if (r.width() < 2 || r.height() < 2) return;
  FillLine(painter, r, Qt::TopEdge, 1, ToQColor(clBtnHighlight));
  FillLine(painter, r, Qt::LeftEdge, 1, ToQColor(clBtnHighlight));
  FillLine(painter, r, Qt::BottomEdge, 1, ToQColor(clBtnShadow));
  FillLine(painter, r, Qt::RightEdge, 1, ToQColor(clBtnShadow));
}

QPixmap MakeGlyph(TGridGlyph glyph) {
  QImage image(kGlyph, kGlyph, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QColor ink(0, 0, 0);
  const QColor arrow(192, 0, 0);
  switch (glyph) {
    case glLeftArrow:
    case glRightArrow: {
      // A solid arrow pointing at the place of insertion.
      const bool left = glyph == glLeftArrow;
      QPainterPath path;
      const double tip = left ? 1.5 : 13.5, base = left ? 8.5 : 6.5, tail = left ? 13.5 : 1.5;
      path.moveTo(tip, 7.5);
      path.lineTo(base, 2.0);
      path.lineTo(base, 5.0);
      path.lineTo(tail, 5.0);
      path.lineTo(tail, 10.0);
      path.lineTo(base, 10.0);
      path.lineTo(base, 13.0);
      path.closeSubpath();
      p.fillPath(path, arrow);
      p.setPen(QPen(arrow.darker(150), 1));
      p.drawPath(path);
      break;
    }
    case glCaption: {
      // A small caption button: what is being dragged.
      p.setRenderHint(QPainter::Antialiasing, false);
      p.fillRect(QRect(1, 3, 13, 9), ToQColor(clActiveCaption));
      p.setPen(ToQColor(clBtnHighlight));
      p.drawLine(1, 3, 13, 3);
      p.drawLine(1, 3, 1, 11);
      p.setPen(ink);
      p.drawLine(1, 12, 14, 12);
      p.drawLine(14, 3, 14, 12);
      p.fillRect(QRect(4, 7, 7, 1), ToQColor(clCaptionText));
      break;
    }
    case glPivot: {
      // Two arrows turning round each other: swap.
      p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      QPainterPath upper;
      upper.moveTo(2.5, 6.5);
      upper.cubicTo(3.5, 2.0, 10.5, 2.0, 11.5, 5.0);
      p.drawPath(upper);
      QPainterPath lower;
      lower.moveTo(12.5, 8.5);
      lower.cubicTo(11.5, 13.0, 4.5, 13.0, 3.5, 10.0);
      p.drawPath(lower);
      QPainterPath head1;
      head1.moveTo(13.5, 2.5);
      head1.lineTo(12.5, 7.0);
      head1.lineTo(8.5, 5.0);
      head1.closeSubpath();
      p.fillPath(head1, ink);
      QPainterPath head2;
      head2.moveTo(1.5, 12.5);
      head2.lineTo(2.5, 8.0);
      head2.lineTo(6.5, 10.0);
      head2.closeSubpath();
      p.fillPath(head2, ink);
      break;
    }
    case glDOpen:
    case glDClose: {
      // A boxed plus (opens the next dimension) or minus (closes it).
      p.setRenderHint(QPainter::Antialiasing, false);
      const QRect box(2, 2, 10, 10);
      p.fillRect(box, ToQColor(clWindow));
      p.setPen(ToQColor(clBtnShadow));
      p.drawRect(box);
      p.fillRect(QRect(4, 7, 7, 1), ink);
      if (glyph == glDOpen) p.fillRect(QRect(7, 4, 1, 7), ink);
      break;
    }
    default: break;
  }
  p.end();
  return QPixmap::fromImage(image);
}

QRect GlyphRect(const QRect& r, bool atRight) {
  const int top = r.top() + (r.height() - kGlyph) / 2;
  return atRight ? QRect(r.right() + 1 - kGlyph, top, kGlyph, kGlyph)
                 : QRect(r.left(), top, kGlyph, kGlyph);
}

}  // namespace

QFont ScreenFont(const TFont& font) {
  QFont f = ToQFont(font);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

const QPixmap& THyGrid::Glyph(TGridGlyph glyph) {
  static std::array<QPixmap, 6> glyphs;
  static QPixmap none;
  if (glyph < 0 || glyph > glDClose) return none;
  QPixmap& pixmap = glyphs[glyph];
  if (pixmap.isNull()) pixmap = MakeGlyph(glyph);
  return pixmap;
}

void THyGrid::DrawCell(QPainter& painter, int32_t col, int32_t row, const QRect& rect,
                       TGridDrawState state) {
  if (!model_) {
    painter.fillRect(rect, Color());
    return;
  }
  const TCellPaint p = model_->CellPaint(col, row, state);
  const QColor control = ToQColor(model_->Color());
  if (!p.Draw) {
    painter.fillRect(rect, control);
    return;
  }
  if (!p.DefaultDrawing) {
    painter.fillRect(rect, ToQColor(p.Color));
    return;
  }

  QRect r = rect;
  if (p.Raised) {
    painter.fillRect(rect, control);
    r = rect.adjusted(1, 1, -1, -1);
  }
  QRect face = r;
  if (p.PlusBox) {
    // The glyph sits in a caption-coloured box at the right; the rest is a button.
    const QRect box(r.right() + 1 - TCustomHyGrid::kPlusBoxWidth, r.top(),
                    TCustomHyGrid::kPlusBoxWidth, r.height());
    face.setRight(box.left() - 1);
    painter.fillRect(face, ToQColor(p.Color));
    painter.fillRect(box, ToQColor(model_->CaptionColor()));
    DrawRaisedEdge(painter, face);
    DrawRaisedEdge(painter, box);
    if (p.RightGlyph != glNone)
      painter.drawPixmap(GlyphRect(box, true).translated(-1, 0), Glyph(p.RightGlyph));
  } else {
    painter.fillRect(r, ToQColor(p.Color));
  }

  if (!p.Text.empty()) {
    const QFont font = ScreenFont(p.Font);
    const QFontMetrics metrics(font);
    const QString text = QString::fromStdString(p.Text);
    const int width = metrics.horizontalAdvance(text);
    QRect textArea = face;
    textArea.setRight(face.right() - p.GlyphRoom);
    const int left = TCustomHyGrid::TextLeft(p, face.left(), face.right() + 1, width);
    painter.save();
    painter.setClipRect(textArea, Qt::IntersectClip);
    painter.setFont(font);
    painter.setPen(ToQColor(p.Font.Color()));
    painter.drawText(QPoint(left, face.top() + p.Margin + metrics.ascent()), text);
    painter.restore();
  }

  if (p.Raised && !p.PlusBox) DrawRaisedEdge(painter, r);

  if (!p.PlusBox) {
    if (p.RightGlyph != glNone)
      painter.drawPixmap(GlyphRect(r, true).translated(-1, 0), Glyph(p.RightGlyph));
    if (p.LeftGlyph != glNone)
      painter.drawPixmap(GlyphRect(r, false).translated(1, 0), Glyph(p.LeftGlyph));
  }

  // Only left and top lines fall inside the cell; the right and bottom ones
  // are the neighbours' (and the outer edge's) to draw.
  if (p.LineWidth > 0) {
    const QColor line = ToQColor(p.LineColor);
    if (p.LeftEdge) FillLine(painter, rect, Qt::LeftEdge, p.LineWidth, line);
    if (p.TopEdge) FillLine(painter, rect, Qt::TopEdge, p.LineWidth, line);
  }

  const QColor red(255, 0, 0);
  switch (p.Drop) {
    case TDropMark::InsertBefore:
      FillLine(painter, rect, Qt::LeftEdge, 2, red);
      painter.drawPixmap(GlyphRect(rect, false).translated(2, 0), Glyph(glLeftArrow));
      break;
    case TDropMark::InsertAfter:
      FillLine(painter, rect, Qt::RightEdge, 2, red);
      painter.drawPixmap(GlyphRect(rect, true).translated(-2, 0), Glyph(glRightArrow));
      break;
    case TDropMark::Swap: {
      // On a light badge, so that it reads on the dark caption colour too.
      const QRect glyph(rect.left() + (rect.width() - kGlyph) / 2,
                        rect.top() + (rect.height() - kGlyph) / 2, kGlyph, kGlyph);
      painter.save();
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setPen(QPen(ToQColor(clBtnShadow), 1));
      painter.setBrush(ToQColor(clWindow));
      painter.drawEllipse(QRectF(glyph).adjusted(-1.5, -1.5, 1.5, 1.5));
      painter.restore();
      painter.drawPixmap(glyph.topLeft(), Glyph(glPivot));
      break;
    }
    case TDropMark::InsertTop: FillLine(painter, rect, Qt::TopEdge, 2, red); break;
    case TDropMark::None: break;
  }
}

void THyGrid::PaintAfterCells(QPainter& painter, const QRect& cellArea) {
  if (!model_ || !model_->Populated() || !model_->HasOption(cgGridLines)) return;
  const int32_t w = model_->GridLineWidth();
  if (w <= 0) return;
  const QColor line = ToQColor(model_->GridLineColor());
  // Closes the last column and row, whose own right and bottom lines fall
  // outside them.
  const QRect closed(0, 0, cellArea.width() + w, cellArea.height() + w);
  FillLine(painter, closed, Qt::RightEdge, w, line);
  FillLine(painter, closed, Qt::BottomEdge, w, line);
  if (model_->BorderStyle() == bsNone && !model_->HasOption(cgOutliner))
    FillLine(painter, cellArea, Qt::LeftEdge, w, line);
}

int64_t THyGrid::RenderExtent(bool cols) const {
  int64_t extent = Extent(cols);
  // The closing right and bottom lines.
  if (model_ && model_->Populated() && model_->HasOption(cgGridLines))
    extent += model_->GridLineWidth();
  return std::max<int64_t>(extent, 1);
}

QSize THyGrid::RenderSize() const {
  return {static_cast<int>(std::min<int64_t>(RenderExtent(true), INT_MAX)),
          static_cast<int>(std::min<int64_t>(RenderExtent(false), INT_MAX))};
}

QImage THyGrid::RenderImage(double scale) {
  const QSize size = RenderSize();
  QImage image(QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale))),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(scale);
  image.fill(ToQColor(model_ ? model_->Color() : clBtnFace));
  QPainter painter(&image);
  PaintWhole(painter);
  painter.end();
  return image;
}

}  // namespace hy
