#include <gtest/gtest.h>

#include <filesystem>

#include "export/KyRExportTypes.h"
#include "export/KyRExprt.h"
#include "platform/gdi/Metafile.h"
#include "platform/printer/RecordingPrinter.h"
#include "report/KyRFile.h"
#include "report/KyROutput.h"
#include "report/OutputTestReport.h"
#include "support/ScriptedProcess.h"

namespace hy {
namespace {

using test::PageOfColor;
using Sheet = std::pair<int32_t, int32_t>;  // page, bar (0-based)

// A recording printer whose job fails at a chosen new page.
class TFailingPrinter : public TRecordingPrinter {
public:
  int FailAtNewPage = 0;  // 1-based; 0 never
  void NewPage() override {
    if (++newPages_ == FailAtNewPage) throw EPrinterError("the printer ran out of paper");
    TRecordingPrinter::NewPage();
  }

private:
  int newPages_ = 0;
};

struct PrintFixture : ::testing::Test {
  PrintFixture() {
    printer.SetResolution(24, 24);
    printer.SetUnprintable(0, 0, 0, 0);
    report.SetPrinter(&printer);
    report.SetProcess(&process);
    report.SetOnBeforePrint([this](TKyPrintBaseComponent&) { events.push_back("before"); });
    report.SetOnAfterPrint([this](TKyPrintBaseComponent&) { events.push_back("after"); });
  }

  // The page and bar of every sheet of the last job, read from the paper.
  std::vector<Sheet> Printed() {
    std::vector<Sheet> out;
    if (printer.Jobs().empty()) return out;
    for (const QPicture& page : printer.Jobs().back().Pages) {
      const QImage image = printer.RenderPage(page);
      out.push_back(PageOfColor(image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF));
    }
    return out;
  }

  TFailingPrinter printer;
  test::TScriptedProcess process;
  test::TOutputTestReport report;
  std::vector<std::string> events;
};

TEST_F(PrintFixture, CopiesComeOutTogetherOrCollatedAndNothingFollowsTheLastSheet) {
  report.PrinterSetting().SetCopies(2);
  printer.SetCopies(7);
  TKyPrintResult r = Print(report, {"1", "2", "3"});
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(Printed(), (std::vector<Sheet>{{0, 0}, {0, 0}, {1, 0}, {1, 0}, {2, 0}, {2, 0}}));
  EXPECT_EQ(printer.Jobs().back().Copies, 1);  // the loops make the copies
  EXPECT_EQ(printer.Copies(), 7);              // and the printer's own count comes back

  report.PrinterSetting().SetCollate(true);
  r = Print(report, {"1", "2", "3"});
  EXPECT_EQ(r.Sheets, 6);
  EXPECT_EQ(Printed(), (std::vector<Sheet>{{0, 0}, {1, 0}, {2, 0}, {0, 0}, {1, 0}, {2, 0}}));
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after", "before", "after"}));
  EXPECT_EQ(report.Builds, 1);  // built once, by the first print
}

TEST_F(PrintFixture, EvenPagesOfEveryBarAndNoBlankSheetForPagesTheReportLacks) {
  report.PagesPerBar = {4, 4};
  report.Prepare();
  TKySetupChoice even;
  even.Range = prEven;
  EXPECT_EQ(SelectPages(report, even), (TPageList{"2", "4"}));
  Print(report, SelectPages(report, even));
  EXPECT_EQ(Printed(), (std::vector<Sheet>{{1, 0}, {1, 1}, {3, 0}, {3, 1}}));

  // Page 9 is listed last but does not exist: the job still ends on page 3.
  report.PrinterSetting().SetCopies(2);
  Print(report, {"3", "9"});
  EXPECT_EQ(Printed(), (std::vector<Sheet>{{2, 0}, {2, 1}, {2, 0}, {2, 1}}));
}

TEST_F(PrintFixture, StatusTellsPageBarAndCopyAndClosesAtTheEnd) {
  report.PagesPerBar = {1, 1};
  report.Prepare();
  process.Log.clear();
  report.PrinterSetting().SetCopies(2);
  Print(report, {"1"});
  ASSERT_FALSE(process.Log.empty());
  EXPECT_EQ(process.Log.front(), "show Printing...");
  EXPECT_NE(std::find(process.Log.begin(), process.Log.end(),
                      "update Printing 1 page on the 2st bar (copy #2)... @1"),
            process.Log.end());
  EXPECT_EQ(process.Log.back(), "hide");
  EXPECT_FALSE(process.IsOpen());
}

TEST_F(PrintFixture, APrinterErrorEndsTheJobAndIsReportedNotRaised) {
  printer.FailAtNewPage = 2;
  printer.SetCopies(3);
  report.Prepare();
  TKyPrintResult r = Print(report, AllPages(report));
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.PrinterError, "the printer ran out of paper");
  EXPECT_EQ(r.Sheets, 2);
  EXPECT_FALSE(printer.Printing());
  EXPECT_TRUE(printer.Jobs().empty());  // aborted, not sent
  EXPECT_EQ(printer.Copies(), 3);
  EXPECT_FALSE(process.IsOpen());
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
}

TEST_F(PrintFixture, APrinterThatDoesNotExistIsNamedNotReplaced) {
  report.Prepare();
  report.PrinterSetting().SetPrinterName("Nowhere");
  try {
    Print(report, AllPages(report));
    FAIL() << "printed on another printer";
  } catch (const EKyROutputError& e) {
    EXPECT_STREQ(e.what(), "The printer \"Nowhere\" does not exist");
  }
  EXPECT_TRUE(printer.Jobs().empty());
  EXPECT_TRUE(events.empty());
}

TEST_F(PrintFixture, PageSelectionFromTheDialogChoice) {
  report.PagesPerBar = {5};
  report.Prepare();
  report.SetPageIndex(3);
  TKySetupChoice c;
  EXPECT_EQ(SelectPages(report, c), (TPageList{"1", "2", "3", "4", "5"}));
  c.Range = prOdd;
  EXPECT_EQ(SelectPages(report, c), (TPageList{"1", "3", "5"}));
  c.Range = prCurrent;
  EXPECT_EQ(SelectPages(report, c), (TPageList{"4"}));
  c.Range = prRange;
  c.PagesText = "5-3,1";
  EXPECT_EQ(SelectPages(report, c), (TPageList{"1", "3", "5"}));
  c.PagesText = "none";
  EXPECT_TRUE(SelectPages(report, c).empty());
  Print(report, SelectPages(report, c));
  EXPECT_TRUE(printer.Jobs().empty());  // nothing selected, no empty job
}

// --- export driver ---

struct TCall {
  std::string What;
  int32_t A = 0, B = 0, C = 0, D = 0, E = 0, F = 0;
};

// Logs what the driver asks; its first record is the picture's header.
class TLogExport : public TKyRExport {
public:
  static inline std::vector<TCall> Calls;
  static inline bool FailOnSave = false;
  void BeginExport() override { Calls.push_back({"begin"}); }
  void StartPage(int32_t p, int32_t b) override {
    Calls.push_back({"start", p, b, OffsetX(), OffsetY(), TotalWidth(), TotalHeight()});
    records_ = 0;
  }
  void ProcessRecord(const TEmfRecord&) override { ++records_; }
  void EndPage(const TMetafile& m) override {
    Calls.push_back({"end", records_, int32_t(m.RecordCount())});
  }
  void SaveToFile(const std::string& name) override {
    if (FailOnSave) throw EKyRExportError("disk full");
    Calls.push_back({"save " + name, PageWidth(), PageHeight()});
    TKyRExport::SaveToFile(name);
  }
  void EndExport() override { Calls.push_back({"end export"}); }

private:
  int32_t records_ = 0;
};

struct ExportFixture : ::testing::Test {
  ExportFixture() {
    RegisterExportType({"TTestLogExport", "LOG", 0, "Log", 0, "Log files",
                        [] { return std::unique_ptr<TKyRExport>(new TLogExport); }});
    TLogExport::Calls.clear();
    TLogExport::FailOnSave = false;
    report.SetProcess(&process);
    report.PagesPerBar = {3, 3};
    report.Prepare();
  }
  ~ExportFixture() override { UnregisterExportType("TTestLogExport"); }
  const TKyRExportType& Type() { return *FindExportType("LOG"); }

  test::TScriptedProcess process;
  test::TOutputTestReport report;
};

TEST_F(ExportFixture, TwoBarsOfThreePagesOnOneSurface) {
  Export(report, "out.log", false, Type(), AllPages(report));
  const auto& c = TLogExport::Calls;
  ASSERT_EQ(c.size(), 1u + 6 * 2 + 2);
  EXPECT_EQ(c.front().What, "begin");
  const int32_t w = 794, h = 1123;
  for (int32_t p = 0; p < 3; ++p)
    for (int32_t b = 0; b < 2; ++b) {
      const TCall& s = c[1 + 2 * (2 * p + b)];
      EXPECT_EQ(s.What, "start");
      EXPECT_EQ((std::vector<int32_t>{s.A, s.B, s.C, s.D, s.E, s.F}),
                (std::vector<int32_t>{p, b, b * w, p * h, 2 * w, 3 * h}));
      const TCall& e = c[2 + 2 * (2 * p + b)];
      EXPECT_EQ(e.A, e.B);  // every record of the picture was handed over
    }
  EXPECT_EQ(c[13].What, "save out.log");
  EXPECT_EQ(c[14].What, "end export");
  EXPECT_FALSE(process.IsOpen());
}

TEST_F(ExportFixture, SelectedPagesArePlacedByTheirRank) {
  Export(report, "out.log", false, Type(), {"1", "3"});
  std::vector<std::vector<int32_t>> starts;
  for (const TCall& c : TLogExport::Calls)
    if (c.What == "start") starts.push_back({c.A, c.B, c.C, c.D, c.E, c.F});
  EXPECT_EQ(starts, (std::vector<std::vector<int32_t>>{{0, 0, 0, 0, 1588, 2246},
                                                       {0, 1, 794, 0, 1588, 2246},
                                                       {2, 0, 0, 1123, 1588, 2246},
                                                       {2, 1, 794, 1123, 1588, 2246}}));
}

// A saved selection keeps its page indexes (1 and 3): the missing page 2 is
// no row of the surface, and asking for it alone selects nothing.
TEST_F(ExportFixture, PagesMissingFromALoadedSelectionTakeNoRow) {
  const std::string file = (std::filesystem::temp_directory_path() / "hy_output_gap.krp").string();
  const TPageList oneAndThree{"1", "3"};
  SaveToFile(report, file, false, &oneAndThree);
  test::TOutputTestReport loaded;
  LoadFromFile(loaded, file);
  std::filesystem::remove(file);
  Export(loaded, "out.log", false, Type(), AllPages(loaded));
  std::vector<std::vector<int32_t>> starts;
  for (const TCall& c : TLogExport::Calls)
    if (c.What == "start") starts.push_back({c.A, c.B, c.D, c.F});
  EXPECT_EQ(starts, (std::vector<std::vector<int32_t>>{
                        {0, 0, 0, 2246}, {0, 1, 0, 2246}, {2, 0, 1123, 2246}, {2, 1, 1123, 2246}}));
  TLogExport::Calls.clear();
  EXPECT_THROW(Export(loaded, "out.log", false, Type(), {"2"}), EKyROutputError);
  EXPECT_TRUE(TLogExport::Calls.empty());
}

TEST_F(ExportFixture, SeparateFilesGetTheirOwnNamesAndPageSizedSurfaces) {
  Export(report, "dir.x/report.log", true, Type(), {"2"});
  std::vector<std::string> what;
  for (const TCall& c : TLogExport::Calls) {
    what.push_back(c.What);
    if (c.What == "start") {
      EXPECT_EQ((std::vector<int32_t>{c.C, c.D, c.E, c.F}),
                (std::vector<int32_t>{0, 0, 794, 1123}));
    }
    if (c.What.rfind("save", 0) == 0) {
      EXPECT_EQ(c.A, 794);  // sizes set again after each save
    }
  }
  EXPECT_EQ(what,
            (std::vector<std::string>{"begin", "start", "end", "save dir.x/report1_0.log", "start",
                                      "end", "save dir.x/report1_1.log", "end export"}));
}

TEST_F(ExportFixture, AFailingExportClosesTheStatusAndNothingSelectedIsRefused) {
  TLogExport::FailOnSave = true;
  EXPECT_THROW(Export(report, "out.log", false, Type(), AllPages(report)), EKyRExportError);
  EXPECT_FALSE(process.IsOpen());
  TLogExport::Calls.clear();
  EXPECT_THROW(Export(report, "out.log", false, Type(), {"7"}), EKyROutputError);
  EXPECT_TRUE(TLogExport::Calls.empty());
}

// --- the dialog-driven entry points with a scripted dialog ---

struct DialogFixture : PrintFixture {
  DialogFixture() {
    SetSetupDialogFunction([this](const TKySetupRequest& r, TKySetupChoice& c) {
      requests.push_back(r);
      c = answer;
      return ok;
    });
  }
  ~DialogFixture() override { SetSetupDialogFunction(nullptr); }
  std::vector<TKySetupRequest> requests;
  TKySetupChoice answer;
  bool ok = true;
};

TEST_F(DialogFixture, PrintTakesCopiesCollationAndRangeFromTheDialog) {
  printer.SetPrinterNames({"First", "Second"});
  report.PrinterSetting().SetPrinterName("Second");
  answer.Copies = 2;
  answer.Collate = true;
  answer.Range = prRange;
  answer.PagesText = "2-3";
  ASSERT_TRUE(PrintWithDialog(report));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].ExportMode);
  EXPECT_EQ(requests[0].PrinterName, "Second");
  EXPECT_EQ(Printed(), (std::vector<Sheet>{{1, 0}, {2, 0}, {1, 0}, {2, 0}}));

  ok = false;
  EXPECT_FALSE(PrintWithDialog(report));
  EXPECT_EQ(printer.Jobs().size(), 1u);
}

TEST_F(DialogFixture, ExportWithTheFirstTypeSavesThePreparedReportFile) {
  const std::string dir = (std::filesystem::temp_directory_path() / "hy-output-dialog").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  report.Prepare();
  answer.ExportTypeIndex = 0;
  answer.FileName = dir + "/chosen.krp";
  answer.Range = prOdd;
  std::string name = "proposal.krp";
  ASSERT_TRUE(ExportWithDialog(report, name));
  EXPECT_TRUE(requests[0].ExportMode);
  EXPECT_EQ(requests[0].FileName, "proposal.krp");
  EXPECT_EQ(name, answer.FileName);
  TKyReportFile file = ReadReportFile(name);
  ASSERT_EQ(file.Pages.size(), 2u);
  EXPECT_EQ(file.Pages[1]->PageIndex(), 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace hy
