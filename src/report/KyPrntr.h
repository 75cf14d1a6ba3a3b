// Printer settings of a report component: which printer, paper, orientation,
// paper source, duplex, copies, collation and margins. Paper size and margins
// are given in page units (96 per inch) throughout, whatever the printer's
// resolution: listed paper sizes are converted from their tenths of a
// millimetre once, here, so A4 is 794 x 1123.
#pragma once

#include <cstdint>
#include <string>

namespace hy {

class TPlatformPrinter;
struct TPrinterCaps;

enum TKyRPaperSize : uint8_t {
  psDefault,
  psLetter,
  psLetterSmall,
  psTabloid,
  psLedger,
  psLegal,
  psStatement,
  psExecutive,
  psA2,
  psA3,
  psA3Transverse,
  psA4,
  psA4Small,
  psA4Transverse,
  psA5,
  psB4,
  psB5,
  psFolio,
  psQuarto,
  psQr10X14,
  psQr11X17,
  psNote,
  psEnv9,
  psEnv10,
  psEnv11,
  psEnv12,
  psEnv14,
  psCSheet,
  psDSheet,
  psESheet,
  psCustom
};
constexpr int kKyRPaperSizeCount = psCustom + 1;

enum TKyRPrinterOrientation : uint8_t { spoDefault, spoPortrait, spoLandscape };

enum TKyRBin : uint8_t {
  sbDefault,
  sbFirst,
  sbUpper,
  sbLower,
  sbMiddle,
  sbManual,
  sbEnvelope,
  sbEnvManual,
  sbAuto,
  sbTractor,
  sbSmallFormat,
  sbLargeFormat,
  sbLargeCapacity,
  sbCassette,
  sbLast
};
constexpr int kKyRBinCount = sbLast + 1;

// Written to the device mode as its ordinal.
enum TKyRDuplex : uint8_t { sdDefault, sdNone, sdHorizontal, sdVertical };

struct TKyRPaperInfo {
  int32_t Width;  // tenths of a millimetre; 0 for psDefault
  int32_t Height;
  int16_t Code;  // the device mode's paper code; 0 for psDefault
};
const TKyRPaperInfo& PaperInfo(TKyRPaperSize size);
// "Default size", "Letter 8 1/2 x 11 in", ... in `language`.
std::string PaperSizeName(int language, TKyRPaperSize size);

int16_t BinCode(TKyRBin bin);  // 0 for sbDefault (never applied)
std::string BinName(int language, TKyRBin bin);

// Page units <-> tenths of a millimetre, rounded.
int32_t TenthsMmToPageUnits(int32_t tenths);
int32_t PageUnitsToTenthsMm(int32_t units);

class TKyRPageMargins {
public:
  // True: the printer's unprintable strips are the margins.
  bool ByDefault = true;
  // Page units.
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  void Assign(const TKyRPageMargins& source) { *this = source; }
  friend bool operator==(const TKyRPageMargins&, const TKyRPageMargins&) = default;
};

class TKyRPrinter {
public:
  // `printer` (not owned) is what the settings are read from and applied to;
  // without one the paper is FallbackCaps' A4 at 96 per inch.
  explicit TKyRPrinter(TPlatformPrinter* printer = nullptr);

  TPlatformPrinter* Printer() const { return printer_; }
  // A paper of psDefault follows the new printer.
  void SetPrinter(TPlatformPrinter* printer);

  // Copies every setting; the platform printer stays.
  void Assign(const TKyRPrinter& source);

  int32_t PrinterIndex() const { return printerIndex_; }
  // Stores the index and selects that printer.
  void SetPrinterIndex(int32_t index);
  const std::string& PrinterName() const { return printerName_; }
  // Stores the name and selects the printer of that name (-1, the default
  // printer, when no printer has it).
  void SetPrinterName(const std::string& name);
  // The platform's name of the printer read last.
  const std::string& DeviceName() const { return deviceName_; }

  TKyRPageMargins& Margins() { return margins_; }
  const TKyRPageMargins& Margins() const { return margins_; }
  void SetMargins(const TKyRPageMargins& margins) { margins_.Assign(margins); }

  TKyRPaperSize PaperSize() const { return paperSize_; }
  // A listed size sets width and height from the table; psDefault from the
  // printer's physical page.
  void SetPaperSize(TKyRPaperSize size);
  // Page units. Read while below 1, the paper size is set again first.
  int32_t PaperSizeWidth() const;
  int32_t PaperSizeHeight() const;
  void SetPaperSizeWidth(int32_t width) { width_ = width; }
  void SetPaperSizeHeight(int32_t height) { height_ = height; }

  TKyRPrinterOrientation Orientation() const { return orientation_; }
  // Between portrait and landscape the paper's width and height swap.
  void SetOrientation(TKyRPrinterOrientation orientation);
  TKyRBin OutputBin() const { return outputBin_; }
  void SetOutputBin(TKyRBin bin) { outputBin_ = bin; }
  TKyRDuplex Duplex() const { return duplex_; }
  void SetDuplex(TKyRDuplex duplex) { duplex_ = duplex; }
  int32_t Copies() const { return copies_; }
  void SetCopies(int32_t copies) { copies_ = copies; }
  bool Collate() const { return collate_; }
  void SetCollate(bool collate) { collate_ = collate; }

  // Margins in page units, each at least 0.
  int32_t LeftMargin() const;
  int32_t TopMargin() const;
  int32_t RightMargin() const;
  int32_t BottomMargin() const;

  // Copies the printer's paper, source, orientation and duplex (and its
  // unprintable left and top strips into Margins). Nothing without a printer.
  void ReadFromPrinter();
  // Writes paper, source, orientation and duplex into `printer`'s device
  // mode; settings at their default and fields the printer lacks are skipped.
  void ApplyToPrinter(TPlatformPrinter& printer) const;
  void ApplyToPrinter() const;

private:
  TPrinterCaps Caps() const;
  void SetPaperFromPrinter() const;
  // Width and height from the paper (the printer's for psDefault).
  void RefreshPaper() const;

  TPlatformPrinter* printer_;
  int32_t printerIndex_ = -1;
  std::string printerName_;
  std::string deviceName_;
  TKyRPageMargins margins_;
  TKyRPaperSize paperSize_ = psDefault;
  mutable int32_t width_ = 0;
  mutable int32_t height_ = 0;
  TKyRPrinterOrientation orientation_ = spoDefault;
  TKyRBin outputBin_ = sbDefault;
  TKyRDuplex duplex_ = sdDefault;
  int32_t copies_ = 1;
  bool collate_ = false;
};

}  // namespace hy
