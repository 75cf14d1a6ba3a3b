// A printer that prints nowhere: it keeps every page of every job as a
// picture, so tests (and `hycube`) can look at what a print run produced.
// Its printers, capabilities and supported device-mode fields are set by the
// caller; the capabilities follow the paper, orientation and resolution the
// device mode selects, like a real driver's.
#pragma once

#include <memory>

#include <QImage>
#include <QPicture>

#include "platform/printer/Printer.h"

namespace hy {

struct TRecordedJob {
  std::string Title;
  int32_t Copies = 1;
  std::vector<QPicture> Pages;
};

class TRecordingPrinter : public TPlatformPrinter {
public:
  // One printer "Recorder" at 600 pixels per inch on A4, portrait, with
  // 4 mm unprintable strips, every device-mode field supported.
  TRecordingPrinter();
  ~TRecordingPrinter() override;

  // The printer list; index -1 (default) is the first entry.
  void SetPrinterNames(std::vector<std::string> names);
  void SetResolution(int32_t dpiX, int32_t dpiY);
  // Unprintable strips in printer pixels.
  void SetUnprintable(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Which device-mode fields the driver carries and accepts.
  void SetSupportedFields(uint32_t fields);
  // Sets the device mode as the driver reports it, unsupported fields too.
  void SetDriverMode(const TDeviceMode& mode) { mode_ = mode; }

  std::vector<std::string> Printers() const override { return names_; }
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
  bool Printing() const override { return printing_; }

  int32_t Copies() const override { return copies_; }
  void SetCopies(int32_t copies) override { copies_ = copies; }

  // Jobs ended with EndDoc, in order.
  const std::vector<TRecordedJob>& Jobs() const { return jobs_; }
  void ClearJobs() { jobs_.clear(); }
  // A recorded page on white, the size of the printable area at the job's
  // resolution.
  QImage RenderPage(const QPicture& page) const;
  // Writes every page of every job as PNG files "job<J>-page<P>.png" into
  // `dir` (which must exist); EPrinterError when a file cannot be written.
  void SavePages(const std::string& dir) const;

private:
  void OpenPage();
  void ClosePage();

  std::vector<std::string> names_{"Recorder"};
  int32_t index_ = -1;
  int32_t dpiX_ = 600, dpiY_ = 600;
  int32_t unprintable_[4] = {94, 94, 94, 94};
  TDeviceMode mode_;
  int32_t copies_ = 1;
  bool printing_ = false;
  TRecordedJob job_;
  std::unique_ptr<QPicture> page_;
  std::unique_ptr<QPainter> painter_;
  std::vector<TRecordedJob> jobs_;
};

}  // namespace hy
