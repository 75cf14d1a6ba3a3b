#include "report/KyPrntr.h"

#include <algorithm>
#include <utility>

#include "platform/printer/Printer.h"
#include "report/KyRDMan.h"

namespace hy {

namespace {

// Page units are pixels of a 96-per-inch screen, for both directions.
constexpr int32_t kPageDpi = 96;

constexpr TKyRPaperInfo kPapers[kKyRPaperSizeCount] = {
    {0, 0, 0},        {2159, 2794, 1},  {2159, 2794, 2},  {2794, 4318, 3},  {4318, 2794, 4},
    {2159, 3556, 5},  {1397, 2159, 6},  {1905, 2540, 7},  {4200, 5940, 66}, {2970, 4200, 8},
    {4200, 2970, 67}, {2100, 2970, 9},  {2100, 2970, 10}, {2970, 2100, 55}, {1480, 2100, 11},
    {2500, 3540, 12}, {1820, 2570, 13}, {2159, 3302, 14}, {2150, 2750, 15}, {2540, 3556, 16},
    {2794, 4318, 17}, {2159, 2790, 18}, {984, 2254, 19},  {1048, 2413, 20}, {1143, 2635, 21},
    {1016, 2794, 22}, {1270, 2921, 23}, {1000, 1000, 24}, {1000, 1000, 25}, {1000, 1000, 26},
    {0, 1, 256},
};

constexpr int16_t kBinCodes[kKyRBinCount] = {0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15};

// A printer length in page units.
int32_t ToPageUnits(int32_t printerPixels, int32_t dpi) {
  return dpi > 0 ? static_cast<int32_t>(int64_t(kPageDpi) * printerPixels / dpi) : printerPixels;
}

}  // namespace

const TKyRPaperInfo& PaperInfo(TKyRPaperSize size) {
  return kPapers[std::min<int>(size, psCustom)];
}

std::string PaperSizeName(int language, TKyRPaperSize size) {
  return LoadString(language, kStrPaperFirst + size);
}

int16_t BinCode(TKyRBin bin) { return kBinCodes[std::min<int>(bin, sbLast)]; }

std::string BinName(int language, TKyRBin bin) { return LoadString(language, kStrBinFirst + bin); }

int32_t TenthsMmToPageUnits(int32_t tenths) {
  return static_cast<int32_t>((int64_t(tenths) * kPageDpi * 2 + 254) / 508);
}

int32_t PageUnitsToTenthsMm(int32_t units) {
  return static_cast<int32_t>((int64_t(units) * 508 + kPageDpi) / (2 * kPageDpi));
}

TKyRPrinter::TKyRPrinter(TPlatformPrinter* printer) : printer_(printer) { SetPaperSize(psDefault); }

void TKyRPrinter::SetPrinter(TPlatformPrinter* printer) {
  printer_ = printer;
  if (paperSize_ == psDefault) SetPaperSize(psDefault);
}

void TKyRPrinter::Assign(const TKyRPrinter& source) {
  if (&source == this) return;
  TPlatformPrinter* keep = printer_;
  *this = source;
  printer_ = keep;
}

void TKyRPrinter::SetPrinterIndex(int32_t index) {
  printerIndex_ = index;
  if (printer_) printer_->SetPrinterIndex(index);
}

void TKyRPrinter::SetPrinterName(const std::string& name) {
  printerName_ = name;
  SetPrinterIndex(printer_ ? printer_->IndexOf(name) : -1);
}

TPrinterCaps TKyRPrinter::Caps() const { return printer_ ? printer_->Caps() : FallbackCaps(); }

void TKyRPrinter::SetPaperFromPrinter() const {
  const TPrinterCaps caps = Caps();
  width_ = ToPageUnits(caps.PhysicalWidth, caps.DpiX);
  height_ = ToPageUnits(caps.PhysicalHeight, caps.DpiY);
}

void TKyRPrinter::SetPaperSize(TKyRPaperSize size) {
  paperSize_ = size;
  RefreshPaper();
}

void TKyRPrinter::RefreshPaper() const {
  if (paperSize_ == psDefault) {
    SetPaperFromPrinter();
  } else {
    width_ = TenthsMmToPageUnits(PaperInfo(paperSize_).Width);
    height_ = TenthsMmToPageUnits(PaperInfo(paperSize_).Height);
  }
}

int32_t TKyRPrinter::PaperSizeWidth() const {
  if (width_ < 1) RefreshPaper();
  return width_;
}

int32_t TKyRPrinter::PaperSizeHeight() const {
  if (height_ < 1) RefreshPaper();
  return height_;
}

void TKyRPrinter::SetOrientation(TKyRPrinterOrientation orientation) {
  const bool turns = (orientation_ == spoPortrait && orientation == spoLandscape) ||
                     (orientation_ == spoLandscape && orientation == spoPortrait);
  if (turns) std::swap(width_, height_);
  orientation_ = orientation;
}

int32_t TKyRPrinter::LeftMargin() const {
  const TPrinterCaps caps = Caps();
  return std::max(0, margins_.ByDefault ? ToPageUnits(caps.OffsetX, caps.DpiX) : margins_.Left);
}

int32_t TKyRPrinter::TopMargin() const {
  const TPrinterCaps caps = Caps();
  return std::max(0, margins_.ByDefault ? ToPageUnits(caps.OffsetY, caps.DpiY) : margins_.Top);
}

// The strips right of and below the printable area, measured from the
// printer's own offsets: a margin set by hand never makes them smaller.
int32_t TKyRPrinter::RightMargin() const {
  const TPrinterCaps caps = Caps();
  // Without a printer the whole paper is printable, whatever its size.
  const int32_t strip = !printer_ ? 0
                                  : PaperSizeWidth() - ToPageUnits(caps.OffsetX, caps.DpiX) -
                                        ToPageUnits(caps.PrintableWidth, caps.DpiX);
  return std::max(0, margins_.ByDefault ? strip : std::max(strip, margins_.Right));
}

int32_t TKyRPrinter::BottomMargin() const {
  const TPrinterCaps caps = Caps();
  const int32_t strip = !printer_ ? 0
                                  : PaperSizeHeight() - ToPageUnits(caps.OffsetY, caps.DpiY) -
                                        ToPageUnits(caps.PrintableHeight, caps.DpiY);
  return std::max(0, margins_.ByDefault ? strip : std::max(strip, margins_.Bottom));
}

void TKyRPrinter::ReadFromPrinter() {
  if (!printer_) return;
  deviceName_ = printer_->DeviceName();
  const TDeviceMode mode = printer_->DeviceMode();

  paperSize_ = psDefault;
  if (mode.Has(dmPaperSize)) {
    for (int p = psLetter; p <= psCustom; ++p) {
      if (kPapers[p].Code == mode.PaperSize) {
        paperSize_ = static_cast<TKyRPaperSize>(p);
        break;
      }
    }
  }
  // The physical page is already in the printer's orientation: the size is
  // taken as it is, and the orientation below does not turn it again.
  SetPaperFromPrinter();
  margins_.Left = LeftMargin();
  margins_.Top = TopMargin();

  outputBin_ = sbFirst;
  if (mode.Has(dmDefaultSource)) {
    for (int b = sbFirst; b <= sbLast; ++b) {
      if (kBinCodes[b] == mode.DefaultSource) {
        outputBin_ = static_cast<TKyRBin>(b);
        break;
      }
    }
  }
  orientation_ =
      mode.Has(dmOrientation) && mode.Orientation == kOrientLandscape ? spoLandscape : spoPortrait;
  if (mode.Has(dmDuplex) && mode.Duplex >= sdNone && mode.Duplex <= sdVertical)
    duplex_ = static_cast<TKyRDuplex>(mode.Duplex);
}

void TKyRPrinter::ApplyToPrinter(TPlatformPrinter& printer) const {
  const TDeviceMode current = printer.DeviceMode();
  TDeviceMode mode;
  if (paperSize_ == psCustom) {
    if (current.Has(dmPaperLength) && current.Has(dmPaperWidth)) {
      mode.Fields |= dmPaperSize | dmPaperLength | dmPaperWidth;
      mode.PaperSize = kPaperUser;
      mode.PaperLength = static_cast<int16_t>(PageUnitsToTenthsMm(PaperSizeHeight()));
      mode.PaperWidth = static_cast<int16_t>(PageUnitsToTenthsMm(PaperSizeWidth()));
    }
  } else if (paperSize_ != psDefault && current.Has(dmPaperSize)) {
    mode.Fields |= dmPaperSize;
    mode.PaperSize = PaperInfo(paperSize_).Code;
  }
  if (outputBin_ != sbDefault && current.Has(dmDefaultSource)) {
    mode.Fields |= dmDefaultSource;
    mode.DefaultSource = BinCode(outputBin_);
  }
  if (orientation_ != spoDefault && current.Has(dmOrientation)) {
    mode.Fields |= dmOrientation;
    mode.Orientation = orientation_ == spoLandscape ? kOrientLandscape : kOrientPortrait;
  }
  if (duplex_ != sdDefault && current.Has(dmDuplex)) {
    mode.Fields |= dmDuplex;
    mode.Duplex = static_cast<int16_t>(duplex_);
  }
  printer.SetDeviceMode(mode);
}

void TKyRPrinter::ApplyToPrinter() const {
  if (printer_) ApplyToPrinter(*printer_);
}

}  // namespace hy
