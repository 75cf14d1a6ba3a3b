#include "platform/printer/QtPrinter.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace hy {

namespace {

// Paper source codes of the device mode (1 upper/only one ... 15 form
// source) against Qt's sources.
QPrinter::PaperSource SourceFromCode(int16_t code) {
  if (code >= 1 && code <= 11) return static_cast<QPrinter::PaperSource>(code - 1);
  if (code == 14) return QPrinter::Cassette;
  if (code == 15) return QPrinter::FormSource;
  return QPrinter::Auto;
}

int16_t CodeFromSource(QPrinter::PaperSource source) {
  if (source == QPrinter::Cassette) return 14;
  if (source == QPrinter::FormSource) return 15;
  const int s = static_cast<int>(source);
  return s >= 0 && s <= 10 ? static_cast<int16_t>(s + 1) : 7;
}

// Duplex codes: 1 simplex, 2 vertical (long edge), 3 horizontal (short edge).
QPrinter::DuplexMode DuplexFromCode(int16_t code) {
  switch (code) {
    case 2: return QPrinter::DuplexLongSide;
    case 3: return QPrinter::DuplexShortSide;
    default: return QPrinter::DuplexNone;
  }
}

int16_t CodeFromDuplex(QPrinter::DuplexMode mode) {
  switch (mode) {
    case QPrinter::DuplexLongSide: return 2;
    case QPrinter::DuplexShortSide: return 3;
    default: return 1;
  }
}

}  // namespace

TQtPrinter::TQtPrinter() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  Refresh();
}

TQtPrinter::~TQtPrinter() {
  if (painter_) Abort();
}

void TQtPrinter::Refresh() {
  names_.clear();
  for (const QString& n : QPrinterInfo::availablePrinterNames()) names_.push_back(n.toStdString());
  if (index_ >= static_cast<int32_t>(names_.size())) index_ = -1;
}

std::vector<std::string> TQtPrinter::Printers() const { return names_; }

void TQtPrinter::SetPrinterIndex(int32_t index) {
  index_ = index >= 0 && index < static_cast<int32_t>(names_.size()) ? index : -1;
  const QString name =
      index_ >= 0 ? QString::fromStdString(names_[index_]) : QPrinterInfo::defaultPrinterName();
  if (!name.isEmpty()) printer_->setPrinterName(name);
}

std::string TQtPrinter::DeviceName() const {
  return HasPrinter() ? printer_->printerName().toStdString() : std::string();
}

TDeviceMode TQtPrinter::DeviceMode() const {
  TDeviceMode m;
  m.Fields = dmOrientation | dmPaperSize | dmPaperLength | dmPaperWidth | dmDefaultSource;
  const QPageLayout layout = printer_->pageLayout();
  m.Orientation =
      layout.orientation() == QPageLayout::Landscape ? kOrientLandscape : kOrientPortrait;
  const QPageSize size = layout.pageSize();
  const QSizeF mm = size.size(QPageSize::Millimeter);
  m.PaperSize =
      size.id() == QPageSize::Custom ? kPaperUser : static_cast<int16_t>(size.windowsId());
  m.PaperWidth = static_cast<int16_t>(mm.width() * 10 + 0.5);
  m.PaperLength = static_cast<int16_t>(mm.height() * 10 + 0.5);
  m.DefaultSource = CodeFromSource(printer_->paperSource());
  if (QPrinterInfo(*printer_).supportedDuplexModes().size() > 1) {
    m.Fields |= dmDuplex;
    m.Duplex = CodeFromDuplex(printer_->duplex());
  }
  return m;
}

void TQtPrinter::SetDeviceMode(const TDeviceMode& mode) {
  if (mode.Has(dmPaperSize) && mode.PaperSize == kPaperUser) {
    if (mode.Has(dmPaperWidth) && mode.Has(dmPaperLength) && mode.PaperWidth > 0 &&
        mode.PaperLength > 0)
      printer_->setPageSize(QPageSize(QSizeF(mode.PaperWidth / 10.0, mode.PaperLength / 10.0),
                                      QPageSize::Millimeter));
  } else if (mode.Has(dmPaperSize)) {
    const QPageSize::PageSizeId id = QPageSize::id(static_cast<int>(mode.PaperSize));
    if (id != QPageSize::Custom) printer_->setPageSize(QPageSize(id));
  }
  if (mode.Has(dmOrientation))
    printer_->setPageOrientation(mode.Orientation == kOrientLandscape ? QPageLayout::Landscape
                                                                      : QPageLayout::Portrait);
  if (mode.Has(dmDefaultSource)) printer_->setPaperSource(SourceFromCode(mode.DefaultSource));
  if (mode.Has(dmDuplex)) printer_->setDuplex(DuplexFromCode(mode.Duplex));
}

TPrinterCaps TQtPrinter::Caps() const {
  if (!HasPrinter()) return FallbackCaps();
  TPrinterCaps c;
  c.DpiX = printer_->logicalDpiX();
  c.DpiY = printer_->logicalDpiY();
  const QRect paper = printer_->paperRect(QPrinter::DevicePixel).toRect();
  const QRect page = printer_->pageRect(QPrinter::DevicePixel).toRect();
  c.PhysicalWidth = paper.width();
  c.PhysicalHeight = paper.height();
  c.OffsetX = page.left() - paper.left();
  c.OffsetY = page.top() - paper.top();
  c.PrintableWidth = page.width();
  c.PrintableHeight = page.height();
  return c;
}

void TQtPrinter::BeginDoc(const std::string& title) {
  if (painter_) throw EPrinterError("Printing in progress");
  if (!HasPrinter()) throw EPrinterError("There is no printer installed");
  printer_->setDocName(QString::fromStdString(title));
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(printer_.get()))
    throw EPrinterError("Printer \"" + printer_->printerName().toStdString() +
                        "\" cannot start a job");
  painter_ = std::move(painter);
}

void TQtPrinter::NewPage() {
  if (!painter_) throw EPrinterError("Printer is not currently printing");
  if (!printer_->newPage()) throw EPrinterError("Printer cannot start a new page");
}

void TQtPrinter::EndDoc() {
  if (!painter_) throw EPrinterError("Printer is not currently printing");
  const bool ok = painter_->end();
  painter_.reset();
  if (!ok)
    throw EPrinterError("Printer \"" + printer_->printerName().toStdString() +
                        "\" did not take the job");
}

void TQtPrinter::Abort() {
  if (!painter_) return;
  printer_->abort();
  painter_->end();
  painter_.reset();
}

QPainter& TQtPrinter::Canvas() {
  if (!painter_) throw EPrinterError("Printer is not currently printing");
  return *painter_;
}

int32_t TQtPrinter::Copies() const { return printer_->copyCount(); }
void TQtPrinter::SetCopies(int32_t copies) { printer_->setCopyCount(copies); }

QPrinter& TQtPrinter::Device() { return *printer_; }

}  // namespace hy
