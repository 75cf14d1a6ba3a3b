#include "platform/printer/RecordingPrinter.h"

#include <QPainter>

namespace hy {

TRecordingPrinter::TRecordingPrinter() {
  mode_.Fields =
      dmOrientation | dmPaperSize | dmPaperLength | dmPaperWidth | dmDefaultSource | dmDuplex;
  mode_.PaperSize = 9;
  mode_.DefaultSource = 7;
  mode_.Duplex = 1;
}

TRecordingPrinter::~TRecordingPrinter() {
  if (printing_) Abort();
}

void TRecordingPrinter::SetPrinterNames(std::vector<std::string> names) {
  names_ = std::move(names);
  index_ = -1;
}

void TRecordingPrinter::SetResolution(int32_t dpiX, int32_t dpiY) {
  dpiX_ = dpiX;
  dpiY_ = dpiY;
}

void TRecordingPrinter::SetUnprintable(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  unprintable_[0] = left;
  unprintable_[1] = top;
  unprintable_[2] = right;
  unprintable_[3] = bottom;
}

void TRecordingPrinter::SetSupportedFields(uint32_t fields) { mode_.Fields = fields; }

void TRecordingPrinter::SetPrinterIndex(int32_t index) {
  index_ = index >= 0 && index < static_cast<int32_t>(names_.size()) ? index : -1;
}

std::string TRecordingPrinter::DeviceName() const {
  if (names_.empty()) return {};
  return names_[index_ < 0 ? 0 : index_];
}

TDeviceMode TRecordingPrinter::DeviceMode() const { return mode_; }

void TRecordingPrinter::SetDeviceMode(const TDeviceMode& mode) {
  const uint32_t take = mode.Fields & mode_.Fields;
  if (take & dmOrientation) mode_.Orientation = mode.Orientation;
  if (take & dmPaperSize) mode_.PaperSize = mode.PaperSize;
  if (take & dmPaperLength) mode_.PaperLength = mode.PaperLength;
  if (take & dmPaperWidth) mode_.PaperWidth = mode.PaperWidth;
  if (take & dmDefaultSource) mode_.DefaultSource = mode.DefaultSource;
  if (take & dmDuplex) mode_.Duplex = mode.Duplex;
}

TPrinterCaps TRecordingPrinter::Caps() const {
  int32_t w = 2100, h = 2970;
  if (mode_.PaperSize == kPaperUser && mode_.PaperWidth > 0 && mode_.PaperLength > 0) {
    w = mode_.PaperWidth;
    h = mode_.PaperLength;
  } else if (!PaperCodeSize(mode_.PaperSize, w, h)) {
    w = 2100;
    h = 2970;
  }
  return CapsForSheet(w, h, mode_.Orientation, dpiX_, dpiY_, unprintable_[0], unprintable_[1],
                      unprintable_[2], unprintable_[3]);
}

void TRecordingPrinter::BeginDoc(const std::string& title) {
  if (printing_) throw EPrinterError("Printing in progress");
  printing_ = true;
  job_ = TRecordedJob{title, copies_, {}};
  OpenPage();
}

void TRecordingPrinter::NewPage() {
  if (!printing_) throw EPrinterError("Printer is not currently printing");
  ClosePage();
  OpenPage();
}

void TRecordingPrinter::EndDoc() {
  if (!printing_) throw EPrinterError("Printer is not currently printing");
  ClosePage();
  printing_ = false;
  jobs_.push_back(std::move(job_));
  job_ = {};
}

void TRecordingPrinter::Abort() {
  painter_.reset();
  page_.reset();
  job_ = {};
  printing_ = false;
}

QPainter& TRecordingPrinter::Canvas() {
  if (!printing_ || !painter_) throw EPrinterError("Printer is not currently printing");
  return *painter_;
}

void TRecordingPrinter::OpenPage() {
  page_ = std::make_unique<QPicture>();
  painter_ = std::make_unique<QPainter>(page_.get());
}

void TRecordingPrinter::ClosePage() {
  painter_->end();
  painter_.reset();
  job_.Pages.push_back(*page_);
  page_.reset();
}

QImage TRecordingPrinter::RenderPage(const QPicture& page) const {
  const TPrinterCaps caps = Caps();
  QImage image(caps.PrintableWidth, caps.PrintableHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.drawPicture(0, 0, page);
  return image;
}

void TRecordingPrinter::SavePages(const std::string& dir) const {
  for (size_t j = 0; j < jobs_.size(); ++j) {
    for (size_t i = 0; i < jobs_[j].Pages.size(); ++i) {
      const std::string name =
          dir + "/job" + std::to_string(j + 1) + "-page" + std::to_string(i + 1) + ".png";
      if (!RenderPage(jobs_[j].Pages[i]).save(QString::fromStdString(name), "PNG"))
        throw EPrinterError("Cannot write " + name);
    }
  }
}

}  // namespace hy
