// The XLS, WK1 and WQ1 files record by record: the exact layout where the
// readers depend on it, and grids the formats cannot address refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ExportTestSupport.h"
#include "export/KyRExportExcel.h"
#include "export/KyRExportLotus.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace test;
namespace fs = std::filesystem;

struct TRec {
  uint16_t Type;
  std::string Body;
  bool operator==(const TRec&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TRec& r) {
  os << "{" << std::hex << r.Type << ":";
  for (unsigned char c : r.Body) os << " " << unsigned(c);
  return os << std::dec << "}";
}

// The records of a worksheet file; every byte must belong to one.
std::vector<TRec> ReadRecords(const std::string& bytes) {
  std::vector<TRec> out;
  size_t i = 0;
  while (i + 4 <= bytes.size()) {
    uint16_t type = uint16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    size_t len = uint8_t(bytes[i + 2]) | uint8_t(bytes[i + 3]) << 8;
    EXPECT_LE(i + 4 + len, bytes.size()) << "record at " << i << " runs past the end";
    out.push_back({type, bytes.substr(i + 4, len)});
    i += 4 + len;
  }
  EXPECT_EQ(i, bytes.size()) << "bytes after the last record";
  return out;
}

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += char(b);
  return s;
}

template <class T>
std::vector<TRec> Export(const TMetafile& page, const std::string& name) {
  std::string dir = TestDir("sheets");
  T ex;
  RunExport(ex, {{page}}, {1}, dir + "/" + name, false);
  return ReadRecords(ReadFileBytes(dir + "/" + name));
}

TEST(SheetsTest, OneRowOfNameAndTotal) {
  TMetafile page = DrawGridPage({{"Name", "Total"}});
  EXPECT_EQ(Export<TKyRExportToExcel>(page, "n.xls"),
            (std::vector<TRec>{{0x0809, B({0, 0, 0x10, 0, 0, 0})},
                               {0x0042, B({0xE4, 0x04})},  // code page 1252
                               {0x0200, B({0, 0, 1, 0, 0, 0, 2, 0, 0, 0})},
                               {0x0004, B({0, 0, 0, 0, 0, 0, 1, 4}) + "Name"},
                               {0x0004, B({0, 0, 1, 0, 0, 0, 1, 5}) + "Total"},
                               {0x000A, ""}}));
  EXPECT_EQ(Export<TKyRExportToLotus>(page, "n.wk1"),
            (std::vector<TRec>{{0x0000, B({0x04, 0x04})},
                               {0x0006, B({0, 0, 0, 0, 1, 0, 0, 0})},
                               {0x000F, B({0xF1, 0, 0, 0, 0}) + "'Name" + B({0})},
                               {0x000F, B({0xF1, 1, 0, 0, 0}) + "'Total" + B({0})},
                               {0x0001, ""}}));
  // WQ1 labels carry their length after the prefix
  EXPECT_EQ(Export<TKyRExportToQuattroPro>(page, "n.wq1"),
            (std::vector<TRec>{{0x0000, B({0x20, 0x51})},
                               {0x0006, B({0, 0, 0, 0, 1, 0, 0, 0})},
                               {0x000F, B({0, 0, 0, 0, 0, '\'', 4}) + "Name" + B({0})},
                               {0x000F, B({0, 1, 0, 0, 0, '\'', 5}) + "Total" + B({0})},
                               {0x0001, ""}}));
}

TEST(SheetsTest, BlankTextsAreEmptyCellsAndAnEmptyExportHasNoCells) {
  // the blanks at row 1, column 0 capture nothing: the cell is filled empty
  TMetafile page = DrawGridPage({{"Name", "Total"}, {"   ", "x"}});
  auto xls = Export<TKyRExportToExcel>(page, "b.xls");
  ASSERT_EQ(xls.size(), 8u);
  EXPECT_EQ(xls[5], (TRec{0x0001, B({1, 0, 0, 0, 0, 0, 1})}));
  auto wk1 = Export<TKyRExportToLotus>(page, "b.wk1");
  ASSERT_EQ(wk1.size(), 7u);
  EXPECT_EQ(wk1[4], (TRec{0x000C, B({0x22, 0, 0, 1, 0})}));
  auto wq1 = Export<TKyRExportToQuattroPro>(page, "b.wq1");
  ASSERT_EQ(wq1.size(), 7u);
  EXPECT_EQ(wq1[4], (TRec{0x000C, B({0, 0, 0, 1, 0})}));

  // one row, no column
  TMetafile empty = DrawPage([](TMetafileCanvas& c) { c.TextOut(10, 10, "  "); });
  EXPECT_EQ(Export<TKyRExportToExcel>(empty, "e.xls"),
            (std::vector<TRec>{{0x0809, B({0, 0, 0x10, 0, 0, 0})},
                               {0x0042, B({0xE4, 0x04})},
                               {0x0200, B({0, 0, 1, 0, 0, 0, 0, 0, 0, 0})},
                               {0x000A, ""}}));
  EXPECT_EQ(
      Export<TKyRExportToLotus>(empty, "e.wk1"),
      (std::vector<TRec>{
          {0x0000, B({0x04, 0x04})}, {0x0006, B({0, 0, 0, 0, 0xFF, 0xFF, 0, 0})}, {0x0001, ""}}));
  EXPECT_EQ(
      Export<TKyRExportToQuattroPro>(empty, "e.wq1"),
      (std::vector<TRec>{
          {0x0000, B({0x20, 0x51})}, {0x0006, B({0, 0, 0, 0, 0xFF, 0, 0, 0})}, {0x0001, ""}}));
}

TEST(SheetsTest, AlignmentCodePageTextAndLongLabels) {
  std::string longText(300, 'y');
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    c.SetTextAlign(2);  // right
    c.TextOut(100, 20, "r");
    c.SetTextAlign(6);  // centre
    c.TextOut(200, 20, "c");
    c.SetTextAlign(0);
    c.TextOut(300, 20, "\xC3\xA9\xE2\x82\xAC\xCE\xA9");  // é € Ω: the last is not in the code page
    c.SetFont(TFont("Arial", -2, 0, clBlack));
    c.TextOut(100, 60, longText);
  });
  auto xls = Export<TKyRExportToExcel>(page, "a.xls");
  ASSERT_EQ(xls.size(), 10u);
  EXPECT_EQ(xls[3], (TRec{0x0004, B({0, 0, 0, 0, 0, 0, 3, 1}) + "r"}));
  EXPECT_EQ(xls[4], (TRec{0x0004, B({0, 0, 1, 0, 0, 0, 2, 1}) + "c"}));
  EXPECT_EQ(xls[5], (TRec{0x0004, B({0, 0, 2, 0, 0, 0, 1, 3, 0xE9, 0x80}) + "?"}));
  EXPECT_EQ(xls[6].Body.substr(4), B({0, 0, 1, 255}) + std::string(255, 'y'));

  auto wk1 = Export<TKyRExportToLotus>(page, "a.wk1");
  ASSERT_EQ(wk1.size(), 9u);
  EXPECT_EQ(wk1[2].Body.substr(5), "\"r" + B({0}));
  EXPECT_EQ(wk1[3].Body.substr(5), "^c" + B({0}));
  EXPECT_EQ(wk1[4].Body.substr(5), "'" + B({0xE9, 0x80}) + "?" + B({0}));
  // the prefix and the text make 255 characters
  EXPECT_EQ(wk1[5].Body, B({0xF1, 0, 0, 1, 0}) + "'" + std::string(254, 'y') + B({0}));

  auto wq1 = Export<TKyRExportToQuattroPro>(page, "a.wq1");
  ASSERT_EQ(wq1.size(), 9u);
  EXPECT_EQ(wq1[2].Body.substr(5), "\"" + B({1}) + "r" + B({0}));
  EXPECT_EQ(wq1[3].Body.substr(5), "^" + B({1}) + "c" + B({0}));
  EXPECT_EQ(wq1[5].Body, B({0, 0, 0, 1, 0, '\'', 254}) + std::string(254, 'y') + B({0}));
}

// `rows` rows of one text each, and one row of `columns` texts.
TMetafile SheetOf(int32_t rows, int32_t columns) {
  return DrawPage([&](TMetafileCanvas& c) {
    c.SetFont(TFont("Arial", -2, 0, clBlack));
    for (int32_t k = 0; k < columns; ++k) c.TextOut(10 + 20 * k, 10, "c");
    for (int32_t r = 1; r < rows; ++r) c.TextOut(10, 10 + 7 * r, "r");
  });
}

template <class T>
void ExpectRefused(const TMetafile& page, const char* name, const std::string& message) {
  std::string dir = TestDir("limits");
  std::string target = dir + "/" + name;
  std::ofstream(target) << "old contents";
  T ex;
  try {
    RunExport(ex, {{page}}, {1}, target, false);
    ADD_FAILURE() << name << " was written";
  } catch (const EKyRExportError& e) {
    EXPECT_EQ(e.what(), message);
  }
  EXPECT_EQ(ReadFileBytes(target), "old contents");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << name;
}

TEST(SheetsTest, GridsBeyondAFormatsReachAreRefusedBeforeWriting) {
  TMetafile wide = SheetOf(2, 257);
  ExpectRefused<TKyRExportToExcel>(
      wide, "w.xls",
      "The XLS format holds at most 65536 rows and 256 columns; the report's grid has 2 rows and 257 columns");
  ExpectRefused<TKyRExportToLotus>(
      wide, "w.wk1",
      "The WK1 format holds at most 32768 rows and 256 columns; the report's grid has 2 rows and 257 columns");
  ExpectRefused<TKyRExportToQuattroPro>(
      wide, "w.wq1",
      "The WQ1 format holds at most 32768 rows and 256 columns; the report's grid has 2 rows and 257 columns");
  ExpectRefused<TKyRExportToExcel>(
      SheetOf(65537, 2), "t.xls",
      "The XLS format holds at most 65536 rows and 256 columns; the report's grid has 65537 rows and 2 columns");
  TMetafile tall = SheetOf(32769, 2);
  ExpectRefused<TKyRExportToLotus>(
      tall, "t.wk1",
      "The WK1 format holds at most 32768 rows and 256 columns; the report's grid has 32769 rows and 2 columns");
  ExpectRefused<TKyRExportToQuattroPro>(
      tall, "t.wq1",
      "The WQ1 format holds at most 32768 rows and 256 columns; the report's grid has 32769 rows and 2 columns");

  // the largest grids are written, their last cells addressed in full
  auto xls = Export<TKyRExportToExcel>(SheetOf(3, 256), "m.xls");
  EXPECT_EQ(xls[2].Body, B({0, 0, 3, 0, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(xls[3 + 256 + 256 + 255].Body.substr(0, 4), B({2, 0, 255, 0}));
  auto tallXls = Export<TKyRExportToExcel>(SheetOf(65536, 1), "m.xls");
  EXPECT_EQ(tallXls[2].Body,
            B({0, 0, 0xFF, 0xFF, 0, 0, 1, 0, 0, 0}));  // the count cannot wrap to 0
  EXPECT_EQ(tallXls[tallXls.size() - 2].Body.substr(0, 4), B({0xFF, 0xFF, 0, 0}));
  auto wq1 = Export<TKyRExportToQuattroPro>(SheetOf(32768, 1), "m.wq1");
  EXPECT_EQ(wq1[1].Body, B({0, 0, 0, 0, 0, 0, 0xFF, 0x7F}));
  EXPECT_EQ(wq1[wq1.size() - 2].Body, B({0, 0, 0, 0xFF, 0x7F, '\'', 1, 'r', 0}));
}

}  // namespace
}  // namespace hy
