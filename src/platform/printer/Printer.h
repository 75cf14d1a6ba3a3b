// The printer subsystem as the report sees it: a list of printers with a
// current one, the current printer's device mode (paper, source,
// orientation, duplex with the desktop's codes), its device capabilities in
// printer pixels, and print jobs painted through a QPainter. Two
// implementations: Qt Print Support for real printers (QtPrinter.h) and a
// recording printer that keeps every page (RecordingPrinter.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Exceptions.h"

class QPainter;

namespace hy {

// A job that cannot start or a printer that cannot be reached.
HY_DECLARE_EXCEPTION(EPrinterError, Exception);

// Bits of TDeviceMode::Fields: which settings the printer carries (reading)
// and which ones it accepts (writing).
enum TDeviceModeField : uint32_t {
  dmOrientation = 0x0001,
  dmPaperSize = 0x0002,
  dmPaperLength = 0x0004,
  dmPaperWidth = 0x0008,
  dmDefaultSource = 0x0200,
  dmDuplex = 0x1000,
};

// Orientation codes of the device mode.
constexpr int16_t kOrientPortrait = 1;
constexpr int16_t kOrientLandscape = 2;
// Paper code of a size given by length and width.
constexpr int16_t kPaperUser = 256;

struct TDeviceMode {
  uint32_t Fields = 0;
  int16_t Orientation = kOrientPortrait;
  int16_t PaperSize = 0;    // paper code (9 = A4, 256 = user-defined)
  int16_t PaperLength = 0;  // tenths of a millimetre, for a user-defined size
  int16_t PaperWidth = 0;
  int16_t DefaultSource = 0;  // paper source code (1 upper ... 15 form source)
  int16_t Duplex = 0;         // 1 simplex, 2 vertical, 3 horizontal

  bool Has(TDeviceModeField f) const { return (Fields & f) != 0; }
};

// Device capabilities, all lengths in printer pixels.
struct TPrinterCaps {
  int32_t DpiX = 96;
  int32_t DpiY = 96;
  int32_t PhysicalWidth = 0;
  int32_t PhysicalHeight = 0;
  int32_t OffsetX = 0;  // unprintable strip on the left
  int32_t OffsetY = 0;  // and at the top
  int32_t PrintableWidth = 0;
  int32_t PrintableHeight = 0;
  friend bool operator==(const TPrinterCaps&, const TPrinterCaps&) = default;
};

// The paper when no printer is installed: A4 at 96 pixels per inch, all of
// it printable.
TPrinterCaps FallbackCaps();

// Capabilities of a sheet `widthTenthsMm` x `heightTenthsMm` (portrait form)
// in `orientation`, at dpiX x dpiY, with unprintable strips given in pixels.
TPrinterCaps CapsForSheet(int32_t widthTenthsMm, int32_t heightTenthsMm, int16_t orientation,
                          int32_t dpiX, int32_t dpiY, int32_t left, int32_t top, int32_t right,
                          int32_t bottom);

// Size in tenths of a millimetre (portrait form) of a paper code; false for
// codes the platform does not know.
bool PaperCodeSize(int16_t code, int32_t& widthTenthsMm, int32_t& heightTenthsMm);

class TPlatformPrinter {
public:
  TPlatformPrinter() = default;
  TPlatformPrinter(const TPlatformPrinter&) = delete;
  TPlatformPrinter& operator=(const TPlatformPrinter&) = delete;
  virtual ~TPlatformPrinter();

  // Names of the installed printers; the index of a name is its PrinterIndex.
  virtual std::vector<std::string> Printers() const = 0;
  // -1 is the default printer.
  virtual int32_t PrinterIndex() const = 0;
  // Selects a printer; an index outside the list selects the default one.
  virtual void SetPrinterIndex(int32_t index) = 0;
  // Name of the current printer (the default one's name for -1); empty
  // when no printer is installed.
  virtual std::string DeviceName() const = 0;

  virtual TDeviceMode DeviceMode() const = 0;
  // Takes the fields named in `mode.Fields` that the printer supports.
  virtual void SetDeviceMode(const TDeviceMode& mode) = 0;
  virtual TPrinterCaps Caps() const = 0;

  // A job: BeginDoc opens the first page, NewPage every further one, EndDoc
  // sends the job (Abort drops it). Canvas paints the open page in printer
  // pixels, with (0, 0) at the printable area's top-left corner.
  virtual void BeginDoc(const std::string& title) = 0;
  virtual void NewPage() = 0;
  virtual void EndDoc() = 0;
  virtual void Abort() = 0;
  virtual QPainter& Canvas() = 0;
  virtual bool Printing() const = 0;

  virtual int32_t Copies() const = 0;
  virtual void SetCopies(int32_t copies) = 0;

  // The index of `name` in Printers(), or -1.
  int32_t IndexOf(const std::string& name) const;
};

}  // namespace hy
