#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "common/DateUtils.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/GuiApp.h"
#include "platform/printer/RecordingPrinter.h"
#include "report/PrintKy.h"
#include "support/ScriptedProcess.h"

namespace hy {
namespace {

// A report of `pagesPerBar[b]` pages in bar b. Each page notes the
// "PageCount" variable as its header would show it; the build stops when
// the progress says Cancel, as the grid generator does between rows.
class TTestReport : public TKyPrintComponent {
public:
  std::vector<int> PagesPerBar{1};
  std::vector<int32_t> PageCountSeen;
  bool FailAfterFirstPage = false;
  std::vector<std::string> UserNames;  // answered by FindUserVariable, value = name or null

  void BuildReport() override {
    TKyPrintComponent::BuildReport();
    PageCountSeen.clear();
    BeginDoc();
    for (size_t b = 0; b < PagesPerBar.size(); ++b) {
      for (int p = 0; p < PagesPerBar[b]; ++p) {
        if (Process().ProcessCancelled()) break;
        NewPage(b > 0 && p == 0);
        bool accept = false;
        TFieldType type = ftUnknown;
        Variant value;
        GetVariable("PageCount", accept, type, value);
        PageCountSeen.push_back(value.AsInteger());
        if (FailAfterFirstPage) throw std::runtime_error("source gone");
      }
    }
    EndDoc();
    SetPageIndex(0);
    SetBarIndex(0);
  }

protected:
  bool FindUserVariable(const std::string& upperName, Variant& value) override {
    for (const std::string& n : UserNames) {
      if (n != upperName) continue;
      value = n == "EMPTY" ? Variant::Null() : Variant(n);
      return true;
    }
    return false;
  }
};

struct ReportFixture : ::testing::Test {
  ReportFixture() {
    EnsureGuiApplication();
    report.SetProcess(&process);
  }
  Variant Ask(const std::string& name, bool* accept = nullptr, TFieldType* type = nullptr) {
    bool a = false;
    TFieldType t = ftUnknown;
    Variant v("untouched");
    report.GetVariable(name, a, t, v);
    if (accept) *accept = a;
    if (type) *type = t;
    return v;
  }
  test::TScriptedProcess process;
  TTestReport report;
};

TEST_F(ReportFixture, WithoutPagesThereAreNoBarsAndOnePage) {
  EXPECT_EQ(report.BarCount(), 0);
  EXPECT_EQ(report.PageCount(), 1);
  EXPECT_EQ(report.PageIndex(), -1);
  EXPECT_EQ(report.CurrentPage(), nullptr);
  EXPECT_FALSE(report.Prepared());
  report.PagesPerBar = {};
  report.Prepare();
  EXPECT_TRUE(report.Prepared());
  EXPECT_EQ(report.BarCount(), 0);
  EXPECT_EQ(report.PageCount(), 1);
}

TEST_F(ReportFixture, EventsComeInOrderAndTheLastPageGetsNoEndPage) {
  std::vector<std::string> events;
  auto page = [&](const char* what) {
    return [&events, what](TKyPrintBaseComponent& sender, int32_t p, int32_t b) {
      events.push_back(std::string(what) + std::to_string(p) + "/" + std::to_string(b));
      EXPECT_NE(sender.Canvas(), nullptr);
    };
  };
  report.SetOnBeginDoc([&](TKyPrintBaseComponent&) { events.push_back("BeginDoc"); });
  report.SetOnEndDoc([&](TKyPrintBaseComponent& s) {
    events.push_back("EndDoc");
    EXPECT_EQ(s.Canvas(), nullptr);
  });
  report.SetOnBeginPage(page("Begin"));
  report.SetOnEndPage(page("End"));
  report.PagesPerBar = {3, 2};
  report.Prepare();
  EXPECT_EQ(events, (std::vector<std::string>{"BeginDoc", "Begin1/0", "End1/0", "Begin2/0",
                                              "End2/0", "Begin3/0", "End3/0", "Begin1/1", "End1/1",
                                              "Begin2/1", "EndDoc"}));
  EXPECT_EQ(report.BarCount(), 2);
  EXPECT_EQ(report.PageCount(), 3);
  ASSERT_NE(report.FindPage(1, 1), nullptr);
  EXPECT_EQ(report.FindPage(2, 1), nullptr);
  EXPECT_EQ(report.CurrentPage(), report.Pages()[0].get());
}

TEST_F(ReportFixture, PagesArePaperSizedPicturesWithTheFrameInsideTheMargins) {
  TKyRPageMargins m;
  m.ByDefault = false;
  m.Left = 10;
  m.Top = 40;
  m.Right = 30;
  m.Bottom = 60;
  report.PrinterSetting().SetMargins(m);
  TKyRFrame frame;
  frame.SetBackColor(clYellow);
  frame.SetFrameType({ftTop, ftBottom, ftLeft, ftRight});
  report.SetFrame(frame);
  report.SetOnBeginPage([](TKyPrintBaseComponent& r, int32_t, int32_t) {
    EXPECT_EQ(r.CurrentY(), 40);
    EXPECT_EQ(r.BodyBottom(), 1123 - 60);
  });
  report.Prepare();
  ASSERT_EQ(report.Pages().size(), 1u);
  const TPageInfo& page = *report.Pages()[0];
  EXPECT_EQ(page.Width(), 794);
  EXPECT_EQ(page.Height(), 1123);
  EXPECT_EQ(page.LeftMargin(), 10);
  EXPECT_EQ(page.RightMargin(), 30);
  EXPECT_EQ(page.Picture().Width(), 794);
  EXPECT_EQ(page.Picture().Header().Creator(), report.ProductCaption());
  EXPECT_EQ(page.Picture().Header().Title(), kPictureDescription);

  // The frame fills (10, 40) .. (794 - 30, 1123 - 60) and nothing else.
  const QImage image = RenderMetafile(page.Picture());
  const QColor yellow(255, 255, 0);
  EXPECT_EQ(image.pixelColor(400, 500), yellow);
  EXPECT_EQ(image.pixelColor(762, 500), yellow);
  EXPECT_EQ(image.pixelColor(770, 500), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(400, 1070), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(5, 500), QColor(Qt::white));
  EXPECT_LT(qGray(image.pixel(400, 40)), 16);  // the top line
}

TEST_F(ReportFixture, TwoPassBuildShowsTheFinalPageCountFromTheFirstPage) {
  report.SetTwoPass(true);
  report.PagesPerBar = {3};
  report.Prepare();
  EXPECT_EQ(report.Pass(), 2);
  EXPECT_EQ(report.PassPageCount(), 3);
  EXPECT_EQ(report.PageCountSeen, (std::vector<int32_t>{3, 3, 3}));
  // Pass 1 under the window without a bar, pass 2 with one up to the pages.
  ASSERT_EQ(process.Shown.size(), 2u);
  EXPECT_FALSE(process.Shown[0].BarVisible());
  EXPECT_EQ(process.Shown[1].Max, 3);
  EXPECT_EQ(process.Runs, 1);
  EXPECT_EQ(process.Log[2], "update First pass: Preparing 1 page on the 1st bar... @0");
  EXPECT_EQ(process.Log.back(), "hide");
  EXPECT_EQ(process.Log[process.Log.size() - 2],
            "update Second pass: Preparing 3 page on the 1st bar... @2");

  // Single pass: the first page cannot know the count yet.
  TTestReport single;
  single.SetAnimatedStatus(false);
  single.PagesPerBar = {3};
  single.Prepare();
  EXPECT_EQ(single.PageCountSeen, (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(ReportFixture, CancelInTheFirstPassEndsTheWork) {
  report.SetTwoPass(true);
  report.PagesPerBar = {5};
  process.CancelAtUpdate = 2;
  report.Prepare();
  EXPECT_EQ(report.Pass(), 1);
  EXPECT_EQ(report.Pages().size(), 2u);
  EXPECT_EQ(process.Shown.size(), 1u);
  EXPECT_FALSE(process.IsOpen());
}

TEST_F(ReportFixture, PrepareAppliesThePrinterSettingAndPutsThePrinterBackAlsoOnFailure) {
  TRecordingPrinter device;
  report.SetPrinter(&device);
  report.PrinterSetting().SetPaperSize(psLegal);
  report.PrinterSetting().SetOrientation(spoPortrait);
  report.PrinterSetting().SetOrientation(spoLandscape);
  int16_t paperDuringBuild = 0, orientationDuringBuild = 0;
  report.SetOnBeginDoc([&](TKyPrintBaseComponent&) {
    paperDuringBuild = device.DeviceMode().PaperSize;
    orientationDuringBuild = device.DeviceMode().Orientation;
  });
  report.SetTwoPass(true);
  report.Prepare();
  EXPECT_EQ(paperDuringBuild, 5);
  EXPECT_EQ(orientationDuringBuild, kOrientLandscape);
  EXPECT_EQ(report.Pages()[0]->Width(), 1344);
  EXPECT_EQ(device.DeviceMode().PaperSize, 9);  // the printer's own A4 again
  EXPECT_EQ(device.DeviceMode().Orientation, kOrientPortrait);

  report.FailAfterFirstPage = true;
  EXPECT_THROW(report.Prepare(), std::runtime_error);
  EXPECT_EQ(device.DeviceMode().PaperSize, 9);
  EXPECT_FALSE(process.IsOpen());
  EXPECT_EQ(process.BusyDepth, 0);
  EXPECT_FALSE(report.Prepared());
}

TEST_F(ReportFixture, SystemVariablesAnswerWhateverTheCaseAndBlanks) {
  report.PagesPerBar = {4, 4};
  report.Prepare();
  report.SetPageIndex(2);
  report.SetBarIndex(1);
  bool accept = false;
  TFieldType type = ftUnknown;
  EXPECT_EQ(Ask("  pageno ", &accept, &type).AsInteger(), 3);
  EXPECT_TRUE(accept);
  EXPECT_EQ(type, ftInteger);
  EXPECT_EQ(Ask("BARNO").AsInteger(), 2);
  EXPECT_EQ(Ask("barcount").AsInteger(), 2);
  EXPECT_EQ(Ask("PageCount").AsInteger(), 4);
  EXPECT_EQ(Ask("DetailNo").AsInteger(), -1);
  EXPECT_EQ(Ask("ColumnNo").AsInteger(), 1);

  const Variant date = Ask("Date", nullptr, &type);
  EXPECT_EQ(type, ftDate);
  EXPECT_EQ(date.VarType(), varInteger);
  EXPECT_NEAR(date.AsInteger(), std::floor(Now()), 1);
  const double time = Ask("time", nullptr, &type).AsDouble();
  EXPECT_EQ(type, ftTime);
  EXPECT_GE(time, 0.0);
  EXPECT_LT(time, 1.0);

  report.KyProperty().SetTitle("Sales by month");
  EXPECT_EQ(Ask("ReportTitle", nullptr, &type).AsString(), "Sales by month");
  EXPECT_EQ(type, ftString);
  // BandLineNo is known but leaves the value as it was.
  EXPECT_EQ(Ask("BandLineNo", &accept, &type).AsString(), "untouched");
  EXPECT_TRUE(accept);
  EXPECT_EQ(type, ftInteger);
  // Whatever the report's language, the names are the English ones.
  TKyRLanguage german;
  german.SetLanguageID(lnGerman);
  report.SetLanguage(german);
  EXPECT_EQ(Ask("PageNo").AsInteger(), 3);
}

TEST_F(ReportFixture, UserVariablesComeAfterSystemOnesAndTheHandlerHasTheLastWord) {
  report.UserNames = {"PAGENO", "REGION", "EMPTY"};
  bool accept = false;
  TFieldType type = ftUnknown;
  EXPECT_EQ(Ask("PageNo", &accept, &type).AsInteger(), 0);  // system: PageIndex -1 + 1
  EXPECT_EQ(Ask(" region", &accept, &type).AsString(), "REGION");
  EXPECT_EQ(type, ftString);
  EXPECT_EQ(Ask("Empty").AsString(), "");
  EXPECT_EQ(Ask("nothing", &accept).AsString(), "untouched");
  EXPECT_FALSE(accept);

  std::string asked;
  report.SetOnGetVariable(
      [&](TKyPrintBaseComponent&, const std::string& name, bool& a, TFieldType& t, Variant& v) {
        asked = name;
        if (!a) {
          a = true;
          t = ftInteger;
          v = Variant(int32_t(42));
        }
      });
  EXPECT_EQ(Ask(" Answer ", &accept).AsInteger(), 42);
  EXPECT_TRUE(accept);
  EXPECT_EQ(asked, " Answer ");
  EXPECT_EQ(Ask("region").AsString(), "REGION");
}

TEST_F(ReportFixture, PreviewShowsPreparedPagesThroughTheInstalledWindow) {
  std::vector<std::string> events;
  report.SetOnBeforePreview([&](TKyPrintBaseComponent&) { events.push_back("before"); });
  report.SetOnAfterPreview([&](TKyPrintBaseComponent&) { events.push_back("after"); });
  report.ShowPreview(false);  // not prepared: nothing happens
  EXPECT_TRUE(events.empty());

  // Without an installed window nothing is shown, but the events still come.
  report.Preview();
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));

  events.clear();
  QWidget* parentSeen = reinterpret_cast<QWidget*>(1);
  SetPreviewFunction([&](TKyPrintBaseComponent& r, QWidget* parent) {
    EXPECT_TRUE(r.Prepared());
    parentSeen = parent;
    events.push_back("window");
  });
  report.Preview();
  EXPECT_EQ(parentSeen, nullptr);
  report.SetOnPreview([&](TKyPrintBaseComponent&) { events.push_back("own"); });
  report.ShowPreview(false);
  SetPreviewFunction(nullptr);
  EXPECT_EQ(events,
            (std::vector<std::string>{"before", "window", "after", "before", "own", "after"}));
}

using P = TKyPicturePlacement;

TKyRFrame FrameWithPicture(TKyPicType type, int32_t pw, int32_t ph) {
  TKyRFrame f;
  f.SetPicture(TBitmap(pw, ph));
  f.SetPicType(type);
  return f;
}

TEST(KyRFrame, PicturePlacementsOfEveryPicType) {
  const TRect r{10, 20, 260, 120};  // 250 x 100
  EXPECT_TRUE(FrameWithPicture(btNone, 100, 40).PicturePlacements(r).empty());
  EXPECT_TRUE(FrameWithPicture(btTile, 0, 0).PicturePlacements(r).empty());

  EXPECT_EQ(FrameWithPicture(btCenter, 100, 40).PicturePlacements(r),
            (std::vector<P>{{{85, 50, 185, 90}, {0, 0, 100, 40}, true}}));
  // Stretched into the rectangle itself.
  EXPECT_EQ(FrameWithPicture(btStretch, 100, 40).PicturePlacements(r),
            (std::vector<P>{{r, {0, 0, 100, 40}, true}}));
  EXPECT_EQ(FrameWithPicture(btCorners, 100, 40).PicturePlacements(r),
            (std::vector<P>{{{10, 20, 110, 60}, {0, 0, 100, 40}, true},
                            {{160, 20, 260, 60}, {0, 0, 100, 40}, true},
                            {{10, 80, 110, 120}, {0, 0, 100, 40}, true},
                            {{160, 80, 260, 120}, {0, 0, 100, 40}, true}}));

  // 2.5 across and down round to 2: three columns and rows of tiles, the
  // last ones clipped, each taking the picture's top-left part.
  const auto tiles = FrameWithPicture(btTile, 100, 40).PicturePlacements(r);
  ASSERT_EQ(tiles.size(), 9u);
  EXPECT_EQ(tiles[0], (P{{10, 20, 110, 60}, {0, 0, 100, 40}, false}));
  EXPECT_EQ(tiles[2], (P{{10, 100, 110, 120}, {0, 0, 100, 20}, false}));
  EXPECT_EQ(tiles[8], (P{{210, 100, 260, 120}, {0, 0, 50, 20}, false}));
  for (const P& t : tiles) EXPECT_EQ(t.Dest.Intersect(r), t.Dest);

  // Tiles as a frame: top and bottom rows, then both sides between them.
  const auto border = FrameWithPicture(btTileAsFrame, 100, 40).PicturePlacements(r);
  std::vector<TRect> dests;
  for (const P& t : border) dests.push_back(t.Dest);
  EXPECT_EQ(dests, (std::vector<TRect>{{10, 20, 110, 60},
                                       {10, 80, 110, 120},
                                       {110, 20, 210, 60},
                                       {110, 80, 210, 120},
                                       {210, 20, 260, 60},
                                       {210, 80, 260, 120},
                                       {10, 60, 110, 100},
                                       {160, 60, 260, 100},
                                       {10, 100, 110, 120},
                                       {160, 100, 260, 120}}));
}

TEST(FormatNumbers, FillsOnlyTheNumbersItHas) {
  EXPECT_EQ(FormatNumbers("Preparing %d page on the %dst bar...", {4, 2}),
            "Preparing 4 page on the 2st bar...");
  EXPECT_EQ(FormatNumbers("%d of %d", {7}), "7 of %d");
  EXPECT_EQ(FormatNumbers("100%", {1}), "100%");
}

}  // namespace
}  // namespace hy
