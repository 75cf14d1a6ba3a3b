// `hycube report` with its outputs to a prepared report file, a printer and
// an export, on the demo table.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/gdi/Bitmap.h"
#include "report/KyRFile.h"
#include "report/PrintKy.h"
#include "support/DemoCliSuite.h"
#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::Hycube;

class ReportOutputCli : public test::DemoCliSuite {};

TEST_F(ReportOutputCli, EveryDemoPageComesBackFromThePreparedReportFileByteForByte) {
  const std::string krp = Dir("demo.krp"), emf = Dir("demo-emf");
  const CliResult run = Hycube(
      "report " + Demo() + "--title \"Orders by customer\" --author \"Sales desk\" " +
      "--subject Demo --keywords \"orders, customers\" --info --emf-dir " + emf + " --krp " + krp);
  ASSERT_EQ(run.status, 0) << run.err;
  TKyReportFile file = ReadReportFile(krp);
  EXPECT_EQ(file.Title, "Orders by customer");
  EXPECT_EQ(file.Author, "Sales desk");
  EXPECT_EQ(file.Subject, "Demo");
  EXPECT_EQ(file.Keywords, "orders, customers");
  int sheets = 0;
  for (const auto& page : file.Pages) {
    const std::string name = emf + "/page" + std::to_string(page->PageIndex()) + "_" +
                             std::to_string(page->BarIndex()) + ".emf";
    EXPECT_EQ(page->Picture().Data(), ReadWholeFile(name)) << name;
    sheets = std::max(sheets, page->BarIndex() + 1);
  }
  EXPECT_GT(sheets, 1);
  size_t emfFiles = 0;
  for (const auto& e : fs::directory_iterator(emf)) emfFiles += e.path().extension() == ".emf";
  EXPECT_EQ(file.Pages.size(), emfFiles);
  EXPECT_NE(run.out.find("pages " + std::to_string(file.Pages.size()) + " bars "),
            std::string::npos);

  // Loaded into a report: the properties, the counts and the first page.
  TKyPrintComponent report;
  LoadFromFile(report, krp);
  EXPECT_EQ(report.KyProperty().Title(), "Orders by customer");
  EXPECT_EQ(report.BarCount(), sheets);
  EXPECT_EQ(report.CurrentPage(), report.Pages().front().get());
  for (size_t i = 0; i < file.Pages.size(); ++i)
    EXPECT_EQ(report.Pages()[i]->Picture().Data(), file.Pages[i]->Picture().Data());
}

TEST_F(ReportOutputCli, ExportsPrintsAndSavesTheChosenPages) {
  CliResult run =
      Hycube("report " + Demo() + "--export csv --separate --pages 1 --out " + Dir("sheets.csv"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(Dir("sheets0_0.csv")));
  EXPECT_TRUE(fs::exists(Dir("sheets0_1.csv")));
  EXPECT_FALSE(fs::exists(Dir("sheets1_0.csv")));
  EXPECT_FALSE(fs::exists(Dir("sheets.csv")));

  run = Hycube("report " + Demo() + "--print --printer record:" + Dir("printed") +
               " --copies 2 --pages 2");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(Dir("printed/sheet1.png")));
  const CliResult info = Hycube("report " + Demo() + "--info");
  int pages = 0, bars = 0;
  ASSERT_EQ(std::sscanf(info.out.c_str(), "pages %d bars %d", &pages, &bars), 2);
  EXPECT_EQ(run.out,
            "recorded " + std::to_string(2 * bars) + " sheets in " + Dir("printed") + "\n");

  // a page the report lacks prints nothing, and says so, as export does
  run = Hycube("report " + Demo() + "--print --printer record:" + Dir("none") + " --pages 999");
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_NE(run.err.find("No page of the report is selected"), std::string::npos) << run.err;

  run = Hycube("report " + Demo() + "--krp " + Dir("first.krp") + " --pages 1");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadReportFile(Dir("first.krp")).Pages.size(), size_t(bars));

  run = Hycube("report " + Demo() + "--export txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--export needs --out FILE"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace hy
