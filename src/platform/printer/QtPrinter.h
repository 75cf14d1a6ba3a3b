// The installed printers through Qt Print Support. With no printer installed
// the list is empty, the capabilities are those of FallbackCaps and a job
// raises EPrinterError. The list is read once (asking the print server is
// slow); Refresh reads it again. Needs a QGuiApplication.
#pragma once

#include <memory>

#include "platform/printer/Printer.h"

class QPrinter;

namespace hy {

class TQtPrinter : public TPlatformPrinter {
public:
  TQtPrinter();
  ~TQtPrinter() override;

  std::vector<std::string> Printers() const override;
  int32_t PrinterIndex() const override { return index_; }
  void SetPrinterIndex(int32_t index) override;
  std::string DeviceName() const override;

  TDeviceMode DeviceMode() const override;
  void SetDeviceMode(const TDeviceMode& mode) override;
  TPrinterCaps Caps() const override;

  void BeginDoc(const std::string& title) override;
  void NewPage() override;
  void EndDoc() override;
  void Abort() override;
  QPainter& Canvas() override;
  bool Printing() const override { return painter_ != nullptr; }

  int32_t Copies() const override;
  void SetCopies(int32_t copies) override;

  // The Qt printer behind this object (for the print dialog of the program).
  QPrinter& Device();
  void Refresh();

private:
  bool HasPrinter() const { return !names_.empty(); }

  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QPainter> painter_;
  std::vector<std::string> names_;
  int32_t index_ = -1;
};

}  // namespace hy
