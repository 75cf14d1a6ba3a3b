// `hycube report --export pdf|emf|wmf|bmp|tiff` as a user runs it on the
// demo report: each file is read back by an outside reader, the PDF holds
// every text of the pages on the right page, the pictures have the size of
// the selected pages side by side and one under another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/DemoCliSuite.h"
#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

using test::CliResult;
using test::Hycube;

bool Have(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Standard output of a shell command line (its errors appended when asked).
std::string Output(const std::string& commandLine, int* status = nullptr, bool withErrors = false) {
  const std::string file = std::filesystem::temp_directory_path() / "hy_export_cli_output.txt";
  int rc =
      std::system((commandLine + " >" + file + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str());
  if (status) *status = rc;
  std::ifstream in(file);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class HycubeExportPicture : public test::DemoCliSuite {
protected:
  // The demo report's first page of every sheet.
  static std::string Report() { return "report " + Demo() + "--pages 1 "; }
  static std::string Dir() { return folder_->Folder(); }
};

TEST_F(HycubeExportPicture, ThePdfHoldsEveryTextOfTheSelectedPagesAndIsSound) {
  const std::string pdf = Dir() + "/demo.pdf";
  const CliResult run = Hycube(Report() + "--export pdf --out " + pdf);
  ASSERT_EQ(run.status, 0) << run.err;
  if (!Have("qpdf") || !Have("pdftotext"))
    GTEST_SKIP() << "qpdf or pdftotext (Debian qpdf, poppler-utils) is missing";
  int status = 0;
  const std::string check = Output("qpdf --check " + pdf, &status, true);
  EXPECT_EQ(status, 0) << check;
  EXPECT_EQ(Output("qpdf --show-npages " + pdf), "1\n");
  const std::string text = Output("pdftotext -layout -enc UTF-8 " + pdf + " -");
  const CliResult pages = Hycube("report --text --db " + Dir() + "/demo/orders.db --table orders");
  ASSERT_EQ(pages.status, 0) << pages.err;
  std::istringstream in(pages.out);
  std::string line;
  bool firstPage = false;
  int onPage = 0, texts = 0;
  while (std::getline(in, line)) {
    if (line.rfind("=== page ", 0) == 0) {
      firstPage = line.rfind("=== page 0 ", 0) == 0;
      onPage = 0;
      continue;
    }
    const std::string t = line.substr(line.find('\t', line.find('\t') + 1) + 1);
    // the header and footer come first; the header's time moves on
    if (onPage++ < 2 || !firstPage || t.find_first_not_of(' ') == std::string::npos) continue;
    ++texts;
    EXPECT_NE(text.find(t), std::string::npos) << t;
  }
  EXPECT_GT(texts, 100);
}

TEST_F(HycubeExportPicture, PicturesHaveTheSizeOfTheSheetsSideBySide) {
  const CliResult info = Hycube(Report() + "--info");
  ASSERT_EQ(info.status, 0) << info.err;
  int pages = 0, bars = 0, p = 0, b = 0, w = 0, h = 0;
  ASSERT_EQ(
      std::sscanf(info.out.c_str(), "pages %d bars %d\n%d %d %dx%d", &pages, &bars, &p, &b, &w, &h),
      6);
  for (const char* type : {"emf", "wmf", "bmp", "tiff"}) {
    const std::string file = Dir() + "/demo." + type;
    const CliResult run = Hycube(Report() + "--export " + type + " --out " + file);
    ASSERT_EQ(run.status, 0) << type << ": " << run.err;
    ASSERT_TRUE(std::filesystem::file_size(file) > 1000) << type;
  }
  if (!Have("identify") || !Have("tiffinfo"))
    GTEST_SKIP() << "identify or tiffinfo (Debian imagemagick, libtiff-tools) is missing";
  const std::string size = std::to_string(bars * w) + " x " + std::to_string(h);
  for (const char* type : {"bmp", "tiff"})
    EXPECT_EQ(Output("identify -ping -format '%w x %h' " + Dir() + "/demo." + type), size) << type;
  int status = 0;
  const std::string tiff = Output("tiffinfo " + Dir() + "/demo.tiff", &status, true);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(tiff.find("arning"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Image Width: " + std::to_string(bars * w)), std::string::npos) << tiff;
  // a saved report exports the same way, without a window either
  const CliResult krp = Hycube(Report() + "--krp " + Dir() + "/demo.krp");
  ASSERT_EQ(krp.status, 0) << krp.err;
  const CliResult fromKrp =
      Hycube("krp export " + Dir() + "/demo.krp --type tiff --pages 1 --out " + Dir() + "/krp.tif");
  ASSERT_EQ(fromKrp.status, 0) << fromKrp.err;
  EXPECT_EQ(Output("identify -ping -format '%w x %h' " + Dir() + "/krp.tif"), size);
  const CliResult emf = Hycube("emf info " + Dir() + "/demo.emf");
  ASSERT_EQ(emf.status, 0) << emf.err;
  EXPECT_NE(emf.out.find(std::to_string(bars * w)), std::string::npos) << emf.out.substr(0, 400);
}

TEST_F(HycubeExportPicture, ASurfaceTooLargeIsRefusedWithItsLimit) {
  // pages wider than the old form's 16 bits
  const CliResult run = Hycube("report --db " + Dir() +
                               "/demo/orders.db --table orders --paper 33000x300"
                               " --export wmf --out " +
                               Dir() + "/all.wmf");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("at most 32767 units a side"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(Dir() + "/all.wmf"));
}

}  // namespace
}  // namespace hy
