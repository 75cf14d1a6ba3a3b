#include <gtest/gtest.h>

#include "platform/printer/RecordingPrinter.h"
#include "report/KyPrntr.h"
#include "report/KyRDMan.h"

namespace hy {
namespace {

// A recording printer at 600 per inch whose unprintable strips are 1/4 inch
// left, 1/8 inch top, 1/2 inch right and 1/3 inch bottom.
struct PrinterFixture : ::testing::Test {
  PrinterFixture() {
    device.SetUnprintable(150, 75, 300, 200);
    settings.SetPrinter(&device);
  }
  TRecordingPrinter device;
  TKyRPrinter settings;
};

TEST(KyRPrinter, ListedPaperSizesAreInPageUnits) {
  TKyRPrinter p;
  p.SetPaperSize(psA4);
  EXPECT_EQ(p.PaperSizeWidth(), 794);
  EXPECT_EQ(p.PaperSizeHeight(), 1123);
  p.SetPaperSize(psLetter);  // 8.5 x 11 in
  EXPECT_EQ(p.PaperSizeWidth(), 816);
  EXPECT_EQ(p.PaperSizeHeight(), 1056);
  // A stored size is kept as given (the demo's layout says 793 x 1122).
  p.SetPaperSizeWidth(793);
  p.SetPaperSizeHeight(1122);
  EXPECT_EQ(p.PaperSizeWidth(), 793);
  EXPECT_EQ(p.PaperSizeHeight(), 1122);
  // A size below 1 is taken from the paper again.
  p.SetPaperSizeWidth(0);
  EXPECT_EQ(p.PaperSizeWidth(), 816);
  EXPECT_EQ(TenthsMmToPageUnits(PageUnitsToTenthsMm(794)), 794);
}

TEST(KyRPrinter, WithoutPrinterTheDefaultPaperIsA4) {
  TKyRPrinter p;
  EXPECT_EQ(p.PaperSize(), psDefault);
  EXPECT_EQ(p.PaperSizeWidth(), 794);
  EXPECT_EQ(p.PaperSizeHeight(), 1123);
  EXPECT_EQ(p.LeftMargin(), 0);
  EXPECT_EQ(p.RightMargin(), 0);
  p.ReadFromPrinter();  // nothing to read from
  EXPECT_EQ(p.PaperSize(), psDefault);
  p.SetPrinterName("Anything");
  EXPECT_EQ(p.PrinterIndex(), -1);
}

TEST(KyRPrinter, OrientationSwapsOnlyBetweenPortraitAndLandscape) {
  TKyRPrinter p;
  p.SetPaperSize(psA4);
  p.SetOrientation(spoLandscape);  // from spoDefault: no swap
  EXPECT_EQ(p.PaperSizeWidth(), 794);
  EXPECT_EQ(p.PaperSizeHeight(), 1123);
  p.SetOrientation(spoDefault);
  p.SetOrientation(spoPortrait);
  EXPECT_EQ(p.PaperSizeWidth(), 794);
  p.SetOrientation(spoLandscape);
  EXPECT_EQ(p.PaperSizeWidth(), 1123);
  EXPECT_EQ(p.PaperSizeHeight(), 794);
  p.SetOrientation(spoLandscape);  // no change, no swap
  EXPECT_EQ(p.PaperSizeWidth(), 1123);
  p.SetOrientation(spoPortrait);
  EXPECT_EQ(p.PaperSizeWidth(), 794);
}

TEST_F(PrinterFixture, MarginsByDefaultAreTheUnprintableStrips) {
  settings.SetPaperSize(psA4);
  EXPECT_EQ(settings.LeftMargin(), 24);   // 150 px at 600 ppi
  EXPECT_EQ(settings.TopMargin(), 12);    // 75 px
  EXPECT_EQ(settings.RightMargin(), 49);  // 300 px, plus rounding
  EXPECT_EQ(settings.BottomMargin(), 33);
}

TEST_F(PrinterFixture, MarginsSetByHandNeverCutIntoTheUnprintableStrip) {
  settings.SetPaperSize(psA4);
  TKyRPageMargins m;
  m.ByDefault = false;
  m.Left = 5;  // page units, inside the unprintable strip: taken as asked
  m.Top = 60;
  m.Right = 20;    // smaller than the 49 unit strip: the strip wins
  m.Bottom = 100;  // larger: the margin wins
  settings.SetMargins(m);
  EXPECT_EQ(settings.LeftMargin(), 5);
  EXPECT_EQ(settings.TopMargin(), 60);
  EXPECT_EQ(settings.RightMargin(), 49);
  EXPECT_EQ(settings.BottomMargin(), 100);
  m.Left = -7;
  settings.SetMargins(m);
  EXPECT_EQ(settings.LeftMargin(), 0);
}

TEST_F(PrinterFixture, DefaultPaperFollowsThePrinter) {
  TDeviceMode mode;
  mode.Fields = dmPaperSize;
  mode.PaperSize = 5;  // legal
  device.SetDeviceMode(mode);
  settings.SetPaperSize(psDefault);
  EXPECT_EQ(settings.PaperSizeWidth(), 816);
  EXPECT_EQ(settings.PaperSizeHeight(), 1344);
}

TEST_F(PrinterFixture, ReadFromPrinterMapsCodesToTheTables) {
  TDeviceMode mode = device.DeviceMode();
  mode.PaperSize = 9;
  mode.DefaultSource = 1;
  mode.Orientation = kOrientPortrait;
  mode.Duplex = 2;
  device.SetDriverMode(mode);
  settings.ReadFromPrinter();
  EXPECT_EQ(settings.PaperSize(), psA4);
  EXPECT_EQ(settings.OutputBin(), sbFirst);  // never sbUpper
  EXPECT_EQ(settings.Orientation(), spoPortrait);
  EXPECT_EQ(settings.Duplex(), sdHorizontal);
  EXPECT_EQ(settings.DeviceName(), "Recorder");
  EXPECT_EQ(settings.Margins().Left, 24);
  EXPECT_EQ(settings.Margins().Top, 12);

  mode.PaperSize = 999;     // unknown paper
  mode.DefaultSource = 12;  // unknown source
  device.SetDriverMode(mode);
  settings.ReadFromPrinter();
  EXPECT_EQ(settings.PaperSize(), psDefault);
  EXPECT_EQ(settings.OutputBin(), sbFirst);
}

TEST_F(PrinterFixture, ReadingALandscapePrinterKeepsItsLandscapePage) {
  settings.SetPaperSize(psA4);
  settings.SetOrientation(spoPortrait);
  TDeviceMode mode = device.DeviceMode();
  mode.PaperSize = 9;
  mode.Orientation = kOrientLandscape;
  device.SetDriverMode(mode);
  settings.ReadFromPrinter();
  EXPECT_EQ(settings.Orientation(), spoLandscape);
  // The printer's page in page units (7016 x 4961 px at 600 per inch).
  EXPECT_EQ(settings.PaperSizeWidth(), 1122);
  EXPECT_EQ(settings.PaperSizeHeight(), 793);
}

TEST_F(PrinterFixture, ApplyToPrinterWritesCodesAndSkipsDefaultsAndMissingFields) {
  const TDeviceMode before = device.DeviceMode();
  settings.ApplyToPrinter();  // everything at its default: nothing changes
  EXPECT_EQ(device.DeviceMode().PaperSize, before.PaperSize);
  EXPECT_EQ(device.DeviceMode().DefaultSource, before.DefaultSource);

  settings.SetPaperSize(psLegal);
  settings.SetOutputBin(sbCassette);
  settings.SetOrientation(spoLandscape);
  settings.SetDuplex(sdVertical);
  settings.ApplyToPrinter();
  TDeviceMode mode = device.DeviceMode();
  EXPECT_EQ(mode.PaperSize, 5);
  EXPECT_EQ(mode.DefaultSource, 14);
  EXPECT_EQ(mode.Orientation, kOrientLandscape);
  EXPECT_EQ(mode.Duplex, 3);

  settings.SetPaperSize(psCustom);
  settings.SetPaperSizeWidth(400);  // page units
  settings.SetPaperSizeHeight(600);
  settings.ApplyToPrinter();
  mode = device.DeviceMode();
  EXPECT_EQ(mode.PaperSize, kPaperUser);
  EXPECT_EQ(mode.PaperWidth, 1058);  // tenths of a millimetre
  EXPECT_EQ(mode.PaperLength, 1588);

  // A driver without duplex or source support keeps its values.
  device.SetSupportedFields(dmPaperSize | dmOrientation);
  settings.SetDuplex(sdNone);
  settings.SetOutputBin(sbLower);
  settings.ApplyToPrinter();
  EXPECT_EQ(device.DeviceMode().Duplex, 3);
  EXPECT_EQ(device.DeviceMode().DefaultSource, 14);
}

TEST_F(PrinterFixture, PrinterNameSelectsByNameOrTheDefault) {
  device.SetPrinterNames({"Office", "Plotter"});
  settings.SetPrinterName("Plotter");
  EXPECT_EQ(settings.PrinterIndex(), 1);
  EXPECT_EQ(device.PrinterIndex(), 1);
  settings.SetPrinterName("Not there");
  EXPECT_EQ(settings.PrinterName(), "Not there");
  EXPECT_EQ(settings.PrinterIndex(), -1);
  EXPECT_EQ(device.DeviceName(), "Office");
}

TEST_F(PrinterFixture, AssignCopiesSettingsButKeepsItsPrinter) {
  TKyRPrinter other;
  other.SetPaperSize(psA5);
  other.SetCopies(3);
  other.SetCollate(true);
  other.Margins().ByDefault = false;
  other.Margins().Right = 77;
  settings.Assign(other);
  EXPECT_EQ(settings.Printer(), &device);
  EXPECT_EQ(settings.PaperSize(), psA5);
  EXPECT_EQ(settings.Copies(), 3);
  EXPECT_TRUE(settings.Collate());
  EXPECT_EQ(settings.Margins(), other.Margins());
}

TEST(KyRPrinter, PaperAndBinNamesComeFromTheStringTable) {
  EXPECT_EQ(PaperSizeName(lnEnglish, psA4), "A4 210 x 297 mm");
  EXPECT_EQ(PaperSizeName(lnEnglish, psDefault), "Default size");
  EXPECT_EQ(PaperSizeName(lnGerman, psDefault), LoadString(lnGerman, kStrPaperFirst));
  EXPECT_EQ(BinName(lnEnglish, sbLast), "Last");
  EXPECT_EQ(BinCode(sbFirst), BinCode(sbUpper));
  EXPECT_EQ(PaperInfo(psA4Transverse).Code, 55);
}

}  // namespace
}  // namespace hy
