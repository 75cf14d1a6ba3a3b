// `hycube krp` on prepared report files written by the report component.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/gdi/Bitmap.h"
#include "report/KyRFile.h"
#include "report/OutputTestReport.h"
#include "support/RunHycube.h"

namespace hy {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::Hycube;

class KrpCli : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(
        (fs::temp_directory_path() / ("hy-krp-cli-" + std::to_string(getpid()))).string());
    fs::remove_all(*dir_);
    fs::create_directories(*dir_);
    test::TOutputTestReport report;
    report.PagesPerBar = {3, 3};
    report.KyProperty().SetTitle("Sales by month");
    report.KyProperty().SetAuthor("Lena");
    SaveToFile(report, File(), false);
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
  }
  static std::string File() { return *dir_ + "/sales.krp"; }
  static std::string Dir() { return *dir_; }

  static std::string* dir_;
};

std::string* KrpCli::dir_ = nullptr;

TEST_F(KrpCli, InfoShowsThePropertiesAndOneLinePerPage) {
  const CliResult run = Hycube("krp info " + File());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Title: Sales by month\nAuthor: Lena\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Header: 3 pages per sheet, 2 sheets\nRecords: 6\n"), std::string::npos);
  EXPECT_NE(run.out.find("page 1 sheet 2: 794 x 1123, margins"), std::string::npos);
  EXPECT_NE(run.out.find("page 3 sheet 2: 794 x 1123"), std::string::npos);
}

TEST_F(KrpCli, ExportsTheChosenPagesAsTextOrAsASmallerPreparedReport) {
  const std::string txt = Dir() + "/odd.txt";
  CliResult run = Hycube("krp export " + File() + " --type txt --out " + txt + " --pages 1,3");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> bytes = ReadWholeFile(txt);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("page 1 sheet 1"), std::string::npos) << text;
  EXPECT_NE(text.find("page 3 sheet 2"), std::string::npos);
  EXPECT_EQ(text.find("page 2"), std::string::npos);

  run = Hycube("krp export " + File() + " --type krp --separate --pages 2 --out " + Dir() +
               "/one.krp");
  ASSERT_EQ(run.status, 0) << run.err;
  const CliResult info = Hycube("krp info " + Dir() + "/one1_1.krp");
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Records: 1\npage 2 sheet 2:"), std::string::npos) << info.out;
  EXPECT_FALSE(fs::exists(Dir() + "/one.krp"));
}

TEST_F(KrpCli, RendersPagesAsImages) {
  const CliResult run = Hycube("krp render " + File() + " " + Dir() + "/png --pages 2");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "rendered 2 pages into " + Dir() + "/png\n");
  QImage image(QString::fromStdString(Dir() + "/png/page2-sheet2.png"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(794, 1123));
  EXPECT_EQ(test::PageOfColor(image.pixel(400, 500) & 0xFFFFFF), std::make_pair(1, 1));
  EXPECT_FALSE(fs::exists(Dir() + "/png/page1-sheet1.png"));
}

TEST_F(KrpCli, PrintsCollatedCopiesOnTheRecordingPrinter) {
  const std::string out = Dir() + "/sheets";
  const CliResult run = Hycube("krp print " + File() + " --printer record:" + out +
                               " --copies 2 --collate --pages 2-3");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "recorded 8 sheets in " + out + "\n");
  std::vector<std::pair<int32_t, int32_t>> order;
  for (int n = 1; n <= 8; ++n) {
    QImage sheet(QString::fromStdString(out + "/sheet" + std::to_string(n) + ".png"));
    ASSERT_FALSE(sheet.isNull()) << n;
    order.push_back(
        test::PageOfColor(sheet.pixel(sheet.width() / 2, sheet.height() / 2) & 0xFFFFFF));
  }
  const std::vector<std::pair<int32_t, int32_t>> copy = {{1, 0}, {1, 1}, {2, 0}, {2, 1}};
  std::vector<std::pair<int32_t, int32_t>> twice = copy;
  twice.insert(twice.end(), copy.begin(), copy.end());
  EXPECT_EQ(order, twice);
  EXPECT_FALSE(fs::exists(out + "/sheet9.png"));
}

TEST_F(KrpCli, RefusesForeignFilesUnknownTypesAndMissingPrinters) {
  const std::string foreign = Dir() + "/foreign.krp";
  std::ofstream(foreign) << "PK\x03\x04 not a report at all";
  CliResult run = Hycube("krp info " + foreign);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "\"" + foreign + "\": not a prepared report file\n");

  run = Hycube("krp export " + File() + " --type doc --out " + Dir() + "/x.doc");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Unknown export type \"doc\" (known: krp, txt, csv"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(Dir() + "/x.doc"));

  run = Hycube("krp export " + File() + " --type txt --out " + Dir() + "/none.txt --pages 7");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "No page of the report is selected\n");

  // No print server at all: said plainly, not printed somewhere else.
  setenv("CUPS_SERVER", (Dir() + "/no-such.sock").c_str(), 1);
  run = Hycube("krp print " + File() + " --printer Nowhere");
  unsetenv("CUPS_SERVER");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("There is no printer installed"), std::string::npos) << run.err;

  run = Hycube("krp print " + File() + " --copies 0 --printer record:" + Dir() + "/none");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--copies \"0\""), std::string::npos);

  // A file where the folder should be, and flags of another action.
  run = Hycube("krp render " + File() + " " + File());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
            "Cannot make the folder \"" + File() + "\": Not a directory");
  run = Hycube("krp render " + File() + " " + Dir() + "/render --out " + Dir() + "/x.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--type and --out belong to export"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Dir() + "/render"));
}

}  // namespace
}  // namespace hy
