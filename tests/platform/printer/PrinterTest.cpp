#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdlib>

#include "platform/gdi/GuiApp.h"
#include "platform/printer/QtPrinter.h"
#include "platform/printer/RecordingPrinter.h"

namespace hy {
namespace {

// No printer is installed for this runner: the print server is a socket that
// does not exist. Set before the first printer query, which caches it.
class NoPrinterEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    setenv("CUPS_SERVER", "/nonexistent/hy-test-cups.sock", 1);
    EnsureGuiApplication();
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NoPrinterEnvironment);

const QColor kPageColours[] = {Qt::red, Qt::green, Qt::blue};

// Page i: a filled square of its own colour, placed further right each page.
void PrintThreePages(TPlatformPrinter& printer) {
  printer.BeginDoc("Three pages");
  for (int i = 0; i < 3; ++i) {
    if (i > 0) printer.NewPage();
    printer.Canvas().fillRect(QRect(100 + 200 * i, 100, 150, 150), kPageColours[i]);
  }
  printer.EndDoc();
}

TEST(RecordingPrinter, KeepsExactlyThePagesItWasGiven) {
  TRecordingPrinter printer;
  printer.SetResolution(150, 150);
  printer.SetCopies(2);
  PrintThreePages(printer);
  ASSERT_EQ(printer.Jobs().size(), 1u);
  const TRecordedJob& job = printer.Jobs()[0];
  EXPECT_EQ(job.Title, "Three pages");
  EXPECT_EQ(job.Copies, 2);
  ASSERT_EQ(job.Pages.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const QImage page = printer.RenderPage(job.Pages[i]);
    for (int j = 0; j < 3; ++j) {
      const QColor expected = i == j ? kPageColours[i] : QColor(Qt::white);
      EXPECT_EQ(page.pixelColor(175 + 200 * j, 175), expected) << "page " << i << " square " << j;
    }
  }
  EXPECT_FALSE(printer.Printing());
}

TEST(RecordingPrinter, AbortDropsTheJobAndCallsOutsideAJobFail) {
  TRecordingPrinter printer;
  EXPECT_THROW(printer.NewPage(), EPrinterError);
  EXPECT_THROW(printer.Canvas(), EPrinterError);
  EXPECT_THROW(printer.EndDoc(), EPrinterError);
  printer.BeginDoc("dropped");
  EXPECT_THROW(printer.BeginDoc("again"), EPrinterError);
  printer.NewPage();
  printer.Abort();
  EXPECT_TRUE(printer.Jobs().empty());
  PrintThreePages(printer);
  EXPECT_EQ(printer.Jobs().size(), 1u);
}

TEST(RecordingPrinter, CapabilitiesFollowPaperOrientationAndResolution) {
  TRecordingPrinter printer;
  printer.SetUnprintable(10, 20, 30, 40);
  TPrinterCaps caps = printer.Caps();  // A4 at 600 per inch
  EXPECT_EQ(caps.PhysicalWidth, 4961);
  EXPECT_EQ(caps.PhysicalHeight, 7016);
  EXPECT_EQ(caps.PrintableWidth, 4961 - 40);
  EXPECT_EQ(caps.PrintableHeight, 7016 - 60);
  EXPECT_EQ(caps.OffsetX, 10);
  EXPECT_EQ(caps.OffsetY, 20);

  TDeviceMode mode;
  mode.Fields = dmPaperSize | dmOrientation;
  mode.PaperSize = 1;  // letter
  mode.Orientation = kOrientLandscape;
  printer.SetDeviceMode(mode);
  printer.SetResolution(300, 300);
  caps = printer.Caps();
  EXPECT_EQ(caps.PhysicalWidth, 3300);
  EXPECT_EQ(caps.PhysicalHeight, 2550);

  // Fields the driver lacks are left as they were.
  printer.SetSupportedFields(dmPaperSize);
  mode.Fields = dmPaperSize | dmOrientation | dmDuplex;
  mode.PaperSize = 9;
  mode.Orientation = kOrientPortrait;
  mode.Duplex = 3;
  printer.SetDeviceMode(mode);
  EXPECT_EQ(printer.DeviceMode().PaperSize, 9);
  EXPECT_EQ(printer.DeviceMode().Orientation, kOrientLandscape);
  EXPECT_NE(printer.DeviceMode().Duplex, 3);
}

TEST(RecordingPrinter, PrinterListAndSelection) {
  TRecordingPrinter printer;
  printer.SetPrinterNames({"Office", "Plotter"});
  EXPECT_EQ(printer.DeviceName(), "Office");
  printer.SetPrinterIndex(1);
  EXPECT_EQ(printer.DeviceName(), "Plotter");
  EXPECT_EQ(printer.IndexOf("Plotter"), 1);
  EXPECT_EQ(printer.IndexOf("Nowhere"), -1);
  printer.SetPrinterIndex(7);
  EXPECT_EQ(printer.PrinterIndex(), -1);
  EXPECT_EQ(printer.DeviceName(), "Office");
}

TEST(RecordingPrinter, SavesEveryPageAsPng) {
  TRecordingPrinter printer;
  printer.SetResolution(150, 150);
  PrintThreePages(printer);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  printer.SavePages(dir.path().toStdString());
  const QImage third(dir.filePath("job1-page3.png"));
  ASSERT_FALSE(third.isNull());
  EXPECT_EQ(third.pixelColor(575, 175), QColor(Qt::blue));
  EXPECT_THROW(printer.SavePages("/nonexistent/dir"), EPrinterError);
}

TEST(QtPrinter, WithoutAnInstalledPrinterFallsBackToA4AndRefusesJobs) {
  TQtPrinter printer;
  EXPECT_TRUE(printer.Printers().empty());
  EXPECT_EQ(printer.Caps(), FallbackCaps());
  EXPECT_EQ(FallbackCaps().PhysicalWidth, 794);
  EXPECT_EQ(FallbackCaps().PhysicalHeight, 1123);
  EXPECT_EQ(FallbackCaps().DpiX, 96);
  EXPECT_EQ(printer.DeviceName(), "");
  printer.SetPrinterIndex(2);
  EXPECT_EQ(printer.PrinterIndex(), -1);
  EXPECT_THROW(printer.BeginDoc("nothing"), EPrinterError);
  EXPECT_FALSE(printer.Printing());
}

TEST(QtPrinter, DeviceModeRoundTripsPaperOrientationAndSource) {
  TQtPrinter printer;
  TDeviceMode mode;
  mode.Fields = dmPaperSize | dmOrientation | dmDefaultSource;
  mode.PaperSize = 5;  // legal
  mode.Orientation = kOrientLandscape;
  mode.DefaultSource = 4;  // manual
  printer.SetDeviceMode(mode);
  TDeviceMode back = printer.DeviceMode();
  EXPECT_EQ(back.PaperSize, 5);
  EXPECT_EQ(back.Orientation, kOrientLandscape);
  EXPECT_EQ(back.DefaultSource, 4);

  mode.Fields = dmPaperSize | dmPaperLength | dmPaperWidth;
  mode.PaperSize = kPaperUser;
  mode.PaperWidth = 1000;
  mode.PaperLength = 1500;
  printer.SetDeviceMode(mode);
  back = printer.DeviceMode();
  EXPECT_EQ(back.PaperSize, kPaperUser);
  // Qt keeps the custom size in its own orientation-free form.
  EXPECT_EQ(std::min(back.PaperWidth, back.PaperLength), 1000);
  EXPECT_EQ(std::max(back.PaperWidth, back.PaperLength), 1500);
}

}  // namespace
}  // namespace hy
