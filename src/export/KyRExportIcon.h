// The small icon of an export type: the desktop theme's icon for the file
// type, or a page glyph lettered with the extension where the theme has
// none. Needs a QGuiApplication.
#pragma once

#include <string_view>

#include <QIcon>
#include <QImage>

namespace hy {

struct TKyRExportType;

QIcon ExportTypeIcon(const TKyRExportType& type);

// The fallback: a page with a folded corner and the extension on a band.
QImage ExportTypeGlyph(std::string_view extension, int size = 16);

}  // namespace hy
