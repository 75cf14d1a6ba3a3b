// The cell loop every cell format derives from, and the file it writes
// completely or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ExportTestSupport.h"
#include "common/StrUtils.h"
#include "export/KyRExportSpreadsheet.h"

namespace hy {
namespace {

using namespace test;

// Writes every call as a line, so the test sees the order of the writers.
class TTraceExport : public TKyRExportToSpreadsheet {
public:
  bool failInCell = false;

protected:
  void WriteHeader() override { WriteString("header\n"); }
  void WriteDimensions(int32_t rows, int32_t cols) override {
    WriteString("dims " + std::to_string(rows) + "x" + std::to_string(cols) + "\n");
    WriteRecordHeader(0x0809, 6);
    WriteString("\n");
  }
  void StartRow() override { WriteString("row\n"); }
  void EndRow() override { WriteString("end\n"); }
  void WriteCell(uint8_t type, const TKyRERecord&, TColor color, uint8_t align,
                 std::string_view value, int32_t col, int32_t row) override {
    if (failInCell) throw EKyRExportError("disk full");
    WriteString(Format("cell %d %d,%d %06X %d [%.*s]\n", type, row, col, color, align,
                       int(value.size()), value.data()));
  }
  void WriteFooter() override { WriteString("footer\n"); }
};

TEST(SpreadsheetTest, CellsComeRowByRowWithEmptyCellsInWhite) {
  std::string dir = TestDir("loop");
  TGridStyle style;
  style.Background = clYellow;
  std::string longText(300, 'x');
  TTraceExport ex;
  RunExport(ex, {{DrawGridPage({{"a", "", "b"}, {"  ", "c", longText}}, style)}}, {1},
            dir + "/t.dat", false);
  std::string expected =
      "header\ndims 2x3\n" + std::string("\x09\x08\x06\x00\n", 5) +
      "row\ncell 3 0,0 FFFFFF 0 [a]\ncell 0 0,1 FFFFFF 0 []\ncell 3 0,2 FFFFFF 0 [b]\nend\n"
      "row\ncell 0 1,0 FFFFFF 0 []\ncell 3 1,1 FFFFFF 0 [c]\ncell 3 1,2 FFFFFF 0 [" +
      std::string(255, 'x') + "]\nend\nfooter\n";
  EXPECT_EQ(ReadFileBytes(dir + "/t.dat"), expected);
}

TEST(SpreadsheetTest, AFailedWriteLeavesTheOldFileAndNoTemporaryOne) {
  std::string dir = TestDir("atomic");
  std::string target = dir + "/t.dat";
  { std::ofstream(target) << "old contents"; }
  TTraceExport ex;
  ex.failInCell = true;
  EXPECT_THROW(RunExport(ex, {{DrawGridPage({{"a"}})}}, {1}, target, false), EKyRExportError);
  EXPECT_EQ(ReadFileBytes(target), "old contents");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  // the exporter forgot the cells of the failed file
  EXPECT_TRUE(ex.Records().empty());
}

TEST(SpreadsheetTest, AFolderThatDoesNotExistIsReportedByName) {
  TTraceExport ex;
  try {
    RunExport(ex, {{DrawGridPage({{"a"}})}}, {1}, "/nonexistent-dir/t.dat", false);
    FAIL() << "no error";
  } catch (const EKyRExportError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent-dir/t.dat"), std::string::npos) << e.what();
  }
}

TEST(SpreadsheetTest, SeparateFileNamesCarryPageAndBar) {
  EXPECT_EQ(SeparateFileName("REPORT.txt", 0, 0), "REPORT0_0.txt");
  EXPECT_EQ(SeparateFileName("out/rep.tar.gz", 2, 1), "out/rep2_1.tar.gz");
  EXPECT_EQ(SeparateFileName("./out.d/report", 3, 0), "./out.d/report3_0");
}

}  // namespace
}  // namespace hy
