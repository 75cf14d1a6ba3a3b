#include "export/KyRExportIcon.h"

#include <map>
#include <string>

#include <QFont>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "export/KyRExportTypes.h"

namespace hy {
namespace {

QColor BandColor(std::string_view ext) {
  // A stable colour per extension, so that the types tell apart at a glance.
  uint32_t h = 2166136261u;
  for (char c : ext) h = (h ^ uint8_t(c)) * 16777619u;
  return QColor::fromHsv(int(h % 360), 170, 170);
}

}  // namespace

QImage ExportTypeGlyph(std::string_view extension, int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size / 16.0;
  const double fold = 4 * s;
  QPainterPath page;
  page.moveTo(2 * s, 0.5 * s);
  page.lineTo(14 * s - fold, 0.5 * s);
  page.lineTo(14 * s, 0.5 * s + fold);
  page.lineTo(14 * s, 15.5 * s);
  page.lineTo(2 * s, 15.5 * s);
  page.closeSubpath();
  p.setPen(QPen(QColor(90, 90, 90), std::max(1.0, s)));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.setBrush(QColor(220, 220, 220));
  p.drawPolygon(QPolygonF({QPointF(14 * s - fold, 0.5 * s), QPointF(14 * s - fold, 0.5 * s + fold),
                           QPointF(14 * s, 0.5 * s + fold)}));
  QRectF band(0.5 * s, 8 * s, 15 * s, 6.5 * s);
  p.setPen(Qt::NoPen);
  p.setBrush(BandColor(extension));
  p.drawRect(band);
  QFont f;
  f.setPixelSize(std::max(5, int(5.5 * s)));
  f.setBold(true);
  f.setStretch(extension.size() > 3 ? QFont::ExtraCondensed : QFont::Condensed);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(band, Qt::AlignCenter,
             QString::fromUtf8(extension.data(), qsizetype(extension.size())));
  return img;
}

QIcon ExportTypeIcon(const TKyRExportType& type) {
  static std::map<std::string, QIcon> cache;
  auto found = cache.find(type.Extension);
  if (found != cache.end()) return found->second;

  QMimeDatabase db;
  QMimeType mime = db.mimeTypeForFile(QString::fromStdString("kyr_ico." + type.Extension).toLower(),
                                      QMimeDatabase::MatchExtension);
  QIcon icon;
  if (mime.isValid() && !mime.isDefault()) {
    icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(mime.genericIconName());
  }
  if (icon.isNull()) {
    icon.addPixmap(QPixmap::fromImage(ExportTypeGlyph(type.Extension, 16)));
    icon.addPixmap(QPixmap::fromImage(ExportTypeGlyph(type.Extension, 32)));
  }
  cache.emplace(type.Extension, icon);
  return icon;
}

}  // namespace hy
