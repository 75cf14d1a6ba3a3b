// Printing on a real queue: the private print server of the "cups" test
// fixture (tests/support/cups_start.sh) captures every job as a PDF, and
// pdftotext reads the sheets back in the order they were printed.
#include <gtest/gtest.h>

#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "platform/printer/QtPrinter.h"
#include "report/KyRFile.h"
#include "report/KyROutput.h"
#include "report/OutputTestReport.h"
#include "support/RunHycube.h"

namespace hy {
namespace {

namespace fs = std::filesystem;
constexpr const char* kQueue = "HyCapture";

std::string FixtureDir() {
  const char* d = std::getenv("HY_CUPS_DIR");
  return d ? d : "";
}

// The print server's address is read once per process, before the first
// printer query: set it before any test runs (hycube inherits it).
class TPrintServerAddress : public ::testing::Environment {
public:
  void SetUp() override {
    if (!FixtureDir().empty()) setenv("CUPS_SERVER", (FixtureDir() + "/cups.sock").c_str(), 1);
  }
};
const auto* const kAddress = ::testing::AddGlobalTestEnvironment(new TPrintServerAddress);

std::string SkipReason() {
  const std::string dir = FixtureDir();
  if (dir.empty()) return "run through ctest: the print server is the \"cups\" fixture";
  std::ifstream skip(dir + "/skip");
  std::string reason;
  if (skip && std::getline(skip, reason)) return reason;
  if (std::system("command -v pdftotext > /dev/null") != 0)
    return "pdftotext is missing (install poppler-utils)";
  return {};
}

#define SKIP_WITHOUT_QUEUE()                                \
  if (const std::string why = SkipReason(); !why.empty()) { \
    GTEST_SKIP() << why;                                    \
  }

std::set<std::string> Jobs() {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(FixtureDir() + "/out"))
    if (e.path().extension() == ".pdf" || e.path().extension() == ".raw")
      out.insert(e.path().string());
  return out;
}

// "page P sheet S" of every page of the PDF, in order.
std::vector<std::string> SheetsOf(const std::string& pdf) {
  const std::string command = "pdftotext -q '" + pdf + "' -";
  FILE* pipe = popen(command.c_str(), "r");
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  pclose(pipe);
  std::vector<std::string> sheets;
  size_t start = 0;
  static const std::regex kLabel("page \\d+ sheet \\d+");
  for (size_t ff = text.find('\f'); ff != std::string::npos;
       start = ff + 1, ff = text.find('\f', start)) {
    std::smatch m;
    const std::string page = text.substr(start, ff - start);
    sheets.push_back(std::regex_search(page, m, kLabel) ? m.str() : "blank");
  }
  return sheets;
}

// The sheets of the job after `before` that holds `expected`, waiting up to
// 30 s; any other new job (one the print server resumed from an earlier,
// interrupted run) is passed over. Without a match: the sheets of the last
// new job, or nothing when none came.
std::vector<std::string> SheetsOfNextJob(const std::set<std::string>& before,
                                         const std::vector<std::string>& expected) {
  std::set<std::string> seen = before;
  std::vector<std::string> last;
  for (int i = 0; i < 300; ++i) {
    for (const std::string& job : Jobs()) {
      if (!seen.insert(job).second) continue;
      last = SheetsOf(job);
      if (last == expected) return last;
    }
    QThread::msleep(100);
  }
  return last;
}

struct CupsPrint : ::testing::Test {
  void SetUp() override {
    SKIP_WITHOUT_QUEUE();
    printer = std::make_unique<TQtPrinter>();
    report.SetPrinter(printer.get());
    report.PrinterSetting().SetPrinterName(kQueue);
    report.PrinterSetting().SetPaperSize(psA4);
    report.Prepare();
  }
  std::unique_ptr<TQtPrinter> printer;
  test::TOutputTestReport report;
};

TEST_F(CupsPrint, CopiesArePrintedPageByPageOrCollatedWithNoBlankSheet) {
  report.PrinterSetting().SetCopies(2);
  std::set<std::string> before = Jobs();
  TKyPrintResult r = Print(report, AllPages(report));
  ASSERT_TRUE(r.Ok()) << r.PrinterError;
  const std::vector<std::string> pageByPage = {"page 1 sheet 1", "page 1 sheet 1",
                                               "page 2 sheet 1", "page 2 sheet 1",
                                               "page 3 sheet 1", "page 3 sheet 1"};
  EXPECT_EQ(SheetsOfNextJob(before, pageByPage), pageByPage);
  EXPECT_EQ(printer->Copies(), 1);

  report.PrinterSetting().SetCollate(true);
  before = Jobs();
  r = Print(report, {"1", "3"});
  ASSERT_TRUE(r.Ok()) << r.PrinterError;
  const std::vector<std::string> collated = {"page 1 sheet 1", "page 3 sheet 1", "page 1 sheet 1",
                                             "page 3 sheet 1"};
  EXPECT_EQ(SheetsOfNextJob(before, collated), collated);
}

TEST_F(CupsPrint, AQueueThatDoesNotExistIsNamedAndNothingIsPrinted) {
  const std::set<std::string> before = Jobs();
  report.PrinterSetting().SetPrinterName("HyMissing");
  EXPECT_THROW(Print(report, AllPages(report)), EKyROutputError);
  QThread::msleep(500);
  EXPECT_EQ(Jobs(), before);
}

TEST_F(CupsPrint, TheCommandLinePrintsASavedReportOnTheQueue) {
  report.PagesPerBar = {2, 2};
  report.Prepare();
  const std::string file = FixtureDir() + "/cli.krp";
  SaveToFile(report, file, false);
  const std::set<std::string> before = Jobs();
  const test::CliResult run =
      test::Hycube("krp print " + file + " --printer " + kQueue + " --copies 2 --collate");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string("printed 8 sheets on ") + kQueue + "\n");
  const std::vector<std::string> copy = {"page 1 sheet 1", "page 1 sheet 2", "page 2 sheet 1",
                                         "page 2 sheet 2"};
  std::vector<std::string> twice = copy;
  twice.insert(twice.end(), copy.begin(), copy.end());
  EXPECT_EQ(SheetsOfNextJob(before, twice), twice);

  const test::CliResult missing = test::Hycube("krp print " + file + " --printer HyMissing");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "The printer \"HyMissing\" does not exist\n");
}

}  // namespace
}  // namespace hy
