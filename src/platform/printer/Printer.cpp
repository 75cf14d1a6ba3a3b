#include "platform/printer/Printer.h"

#include <algorithm>

#include <QPageSize>
#include <QSizeF>

namespace hy {

TPlatformPrinter::~TPlatformPrinter() = default;

int32_t TPlatformPrinter::IndexOf(const std::string& name) const {
  const auto names = Printers();
  auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
}

TPrinterCaps FallbackCaps() {
  return CapsForSheet(2100, 2970, kOrientPortrait, 96, 96, 0, 0, 0, 0);
}

static int32_t TenthsMmToPixels(int32_t tenths, int32_t dpi) {
  return static_cast<int32_t>((int64_t(tenths) * dpi * 2 + 254) / 508);  // rounded
}

TPrinterCaps CapsForSheet(int32_t widthTenthsMm, int32_t heightTenthsMm, int16_t orientation,
                          int32_t dpiX, int32_t dpiY, int32_t left, int32_t top, int32_t right,
                          int32_t bottom) {
  if (orientation == kOrientLandscape) std::swap(widthTenthsMm, heightTenthsMm);
  TPrinterCaps c;
  c.DpiX = dpiX;
  c.DpiY = dpiY;
  c.PhysicalWidth = TenthsMmToPixels(widthTenthsMm, dpiX);
  c.PhysicalHeight = TenthsMmToPixels(heightTenthsMm, dpiY);
  c.OffsetX = left;
  c.OffsetY = top;
  c.PrintableWidth = std::max(0, c.PhysicalWidth - left - right);
  c.PrintableHeight = std::max(0, c.PhysicalHeight - top - bottom);
  return c;
}

bool PaperCodeSize(int16_t code, int32_t& widthTenthsMm, int32_t& heightTenthsMm) {
  const QPageSize::PageSizeId id = QPageSize::id(code);
  if (code <= 0 || code == kPaperUser || (id == QPageSize::Custom)) return false;
  const QSizeF mm = QPageSize::size(id, QPageSize::Millimeter);
  widthTenthsMm = static_cast<int32_t>(mm.width() * 10 + 0.5);
  heightTenthsMm = static_cast<int32_t>(mm.height() * 10 + 0.5);
  return true;
}

}  // namespace hy
