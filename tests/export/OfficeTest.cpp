// XLS, WK1, WQ1 and RTF files read back by LibreOffice: every cell text
// must come back in its row and column, for pages drawn here and for the
// demo report exported by `hycube report --export`. The files of all tests
// are written first and converted in one call per format, as LibreOffice
// takes seconds to start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include "ExportTestSupport.h"
#include "common/StrUtils.h"
#include "export/KyRCodePage.h"
#include "export/KyRExportExcel.h"
#include "export/KyRExportLotus.h"
#include "export/KyRExportRtf.h"
#include "platform/gdi/MetafileCanvas.h"
#include "support/RunHycube.h"

namespace hy {
namespace {

using namespace test;
namespace fs = std::filesystem;

struct TFormat {
  const char* Ext;
  std::function<std::unique_ptr<TKyRExport>()> Make;
  size_t MaxChars;        // label length
  const char* ConvertTo;  // LibreOffice's output filter
  const char* InFilter;   // the import filter, where the file carries no code page
};

const char kCsv[] = "csv:Text - txt - csv (StarCalc):44,34,76,1";  // comma, quote, UTF-8
const std::vector<TFormat> kFormats = {
    {"xls", [] { return std::make_unique<TKyRExportToExcel>(); }, 255, kCsv, nullptr},
    {"wk1", [] { return std::make_unique<TKyRExportToLotus>(); }, 254, kCsv,
     "WPS_Lotus_Calc:CP1252"},
    {"wq1", [] { return std::make_unique<TKyRExportToQuattroPro>(); }, 254, kCsv,
     "WPS_QPro_Calc:CP1252"},
    {"rtf", [] { return std::make_unique<TKyRExportToRTF>(); }, 0, "txt:Text (encoded):UTF8",
     nullptr},
};

bool HaveOffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

// Without trailing empty cells and rows: readers keep only what is used.
TGrid Trimmed(TGrid grid) {
  for (auto& row : grid)
    while (!row.empty() && row.back().empty()) row.pop_back();
  while (!grid.empty() && grid.back().empty()) grid.pop_back();
  return grid;
}

// LibreOffice's CSV: comma, double quotes, LF.
TGrid ReadOfficeCsv(const std::string& text) {
  TGrid rows(1);
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char ch = text[i];
    if (quoted) {
      if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += '"', ++i;
      else if (ch == '"') quoted = false;
      else cell += ch;
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == ',') {
      rows.back().push_back(cell), cell.clear();
    } else if (ch == '\n') {
      rows.back().push_back(cell), cell.clear(), rows.emplace_back();
    } else {
      cell += ch;
    }
  }
  if (!cell.empty()) rows.back().push_back(cell);
  return Trimmed(rows);
}

// Writer's text of the document: the empty paragraph before the table,
// then one line per cell, row after row. Each text cell's paragraph ends
// with the blank that precedes its cell mark.
TGrid ReadOfficeText(const std::string& text, size_t columns) {
  std::string s = text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text;
  if (s.rfind("\n", 0) != 0) return {{"no empty paragraph before the table"}};
  s.erase(0, 1);
  TGrid rows;
  size_t start = 0;
  for (size_t k = 0; start < s.size(); ++k) {
    size_t end = s.find('\n', start);
    if (end == std::string::npos) end = s.size();
    std::string line = s.substr(start, end - start);
    if (!line.empty() && line.back() == ' ') line.pop_back();
    if (k % columns == 0) rows.emplace_back();
    rows.back().push_back(line);
    start = end + 1;
  }
  return Trimmed(rows);
}

// What a worksheet holds of a text: its first characters, each one the
// code page lacks as "?".
std::string SheetText(const std::string& utf8, size_t maxChars) {
  std::string bytes;
  AppendAnsi(bytes, CutChars(utf8, maxChars));
  return DecodeText(bytes);
}

struct TCase {
  std::vector<std::vector<TMetafile>> Pictures;
  std::vector<int> Selected;
  bool Separate = false;
  // per written file (its name without the extension): the grid drawn
  std::map<std::string, TGrid> Expected;
};

// The demo cross-tab: orders by customer and month, on two pages of two bars.
TCase DemoReport() {
  const std::vector<std::string> months = {"Jan, 1988", "Feb, 1988", "Mar, 1988", "Apr, 1988",
                                           "May, 1988", "Jun, 1988", "Jul, 1988", "Aug, 1988"};
  const std::vector<std::string> customers = {"1221", "1231", "1351", "1354", "1356", "1380",
                                              "1384", "1510", "1513", "1551", "1560", "1563",
                                              "1624", "1645", "1651", "1680"};
  std::mt19937 rng(1988);
  TGridStyle style;
  style.Font = TFont("Arial", -11, fsBold, clBlack);
  TCase c;
  c.Selected = {1, 2};
  c.Pictures.resize(2);
  TGrid all;
  for (int p = 0; p < 2; ++p) {
    TGrid bars[2];
    for (int b = 0; b < 2; ++b) {
      TGrid& g = bars[b];
      std::vector<std::string> head = {p == 0 && b == 0 ? "Sum of ItemsTotal" : ""};
      std::vector<std::string> caption = {"Customer"};
      for (int m = 0; m < 4; ++m) {
        head.push_back(m == 0 ? "SaleDate" : "");
        caption.push_back(months[size_t(b * 4 + m)]);
      }
      g.push_back(head);
      g.push_back(caption);
      for (int r = 0; r < 8; ++r) {
        std::vector<std::string> row = {customers[size_t(p * 8 + r)]};
        for (int m = 0; m < 4; ++m)
          row.push_back(rng() % 3 ? Format("%u,%03u.%02u", unsigned(rng() % 90 + 1),
                                           unsigned(rng() % 1000), unsigned(rng() % 100))
                                  : "");
        g.push_back(row);
      }
      c.Pictures[size_t(p)].push_back(DrawGridPage(g, style));
    }
    // one file: the bars side by side, the pages one under the other
    for (size_t r = 0; r < bars[0].size(); ++r) {
      std::vector<std::string> row = bars[0][r];
      row.insert(row.end(), bars[1][r].begin(), bars[1][r].end());
      all.push_back(row);
    }
  }
  c.Expected["demo"] = DropEmpty(all);
  return c;
}

// Texts that break careless writers and readers.
TCase HardTexts() {
  TGrid g = {{"semi;colon", "comma, here", "\"quoted\"", "x"},
             {"back\\slash", "{brace", "close}", "{\\b x}"},
             {"x<y>z & w", "'apos", "^caret", "\"dq"},
             {"\xCE\xA9mega \xE2\x89\xA0 \xE2\x82\xAC", "na\xC3\xAFve caf\xC3\xA9", "20\xC2\xB0",
              "\xF0\x9F\x98\x80!"},
             {"=1+2", "0012", "", std::string(300, 'L')}};
  TCase c;
  c.Selected = {1};
  c.Pictures = {{DrawGridPage(g)}};
  c.Expected["hard"] = g;
  return c;
}

// A random pivot over three pages of two bars, each picture its own file.
TCase RandomPivot() {
  std::mt19937 rng(4711);
  TCase c;
  c.Selected = {1, 2, 3};
  c.Separate = true;
  c.Pictures.resize(3);
  for (int p = 0; p < 3; ++p)
    for (int b = 0; b < 2; ++b) {
      TGrid grid = {{"Customer"}};
      for (int k = 0; k < 5; ++k) grid[0].push_back("M" + std::to_string(b * 5 + k + 1));
      for (int r = 0; r < 30; ++r) {
        std::vector<std::string> row = {"C" + std::to_string(p * 30 + r)};
        for (int k = 0; k < 5; ++k)
          row.push_back(
              rng() % 4 ? Format("%u.%02u", unsigned(rng() % 100000), unsigned(rng() % 100)) : "");
        grid.push_back(row);
      }
      c.Pictures[size_t(p)].push_back(DrawGridPage(grid));
      c.Expected["pivot" + std::to_string(p) + "_" + std::to_string(b)] = DropEmpty(grid);
    }
  return c;
}

// The most rows a worksheet format addresses.
TCase Tallest(int32_t rows) {
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    c.SetFont(TFont("Arial", -2, 0, clBlack));
    c.TextOut(10, 10, "first");
    c.TextOut(40, 10, "c");
    for (int32_t r = 1; r < rows; ++r) c.TextOut(10, 10 + 7 * r, r == rows - 1 ? "last" : "r");
  });
  TGrid g = {{"first", "c"}};
  for (int32_t r = 1; r < rows; ++r) g.push_back({r == rows - 1 ? "last" : "r"});
  TCase c;
  c.Selected = {1};
  c.Pictures = {{page}};
  c.Expected["tall"] = g;
  return c;
}

class OfficeTest : public ::testing::Test {
protected:
  // per format and file: what was drawn, and what LibreOffice read
  struct TResult {
    TGrid Expected;
    TGrid Read;
  };
  static inline std::map<std::string, std::map<std::string, TResult>> results_;
  static inline std::string failure_;

  static void SetUpTestSuite() {
    if (!HaveOffice()) return;
    std::string root = TestDir("office");
    std::map<std::string, TCase> cases = {
        {"demo", DemoReport()}, {"hard", HardTexts()}, {"pivot", RandomPivot()}};
    // the demo report as a user exports it, its CSV the reference; for RTF
    // its first page only, as Writer's time grows with the square of a
    // table's rows (the whole report, 385 rows of 122 cells, takes minutes)
    const std::string demo = root + "/db";
    if (test::Hycube("demo-db " + demo).status != 0) failure_ += "hycube demo-db failed; ";
    const std::string report = "report --db " + demo + "/orders.db --table orders --header Orders ";
    std::map<std::string, TGrid> cliGrids;
    for (const char* pages : {"", "--pages 1 "}) {
      const std::string csv = root + "/demo_cli.csv";
      test::CliResult run = test::Hycube(report + pages + "--export csv --out " + csv);
      if (run.status != 0) failure_ += "hycube csv export failed: " + run.err;
      cliGrids[pages] = ReadCsv(DecodeText(ReadFileBytes(csv)));
    }
    for (const TFormat& f : kFormats) {
      std::string in = root + "/" + f.Ext, out = root + "/out_" + f.Ext;
      fs::create_directories(in);
      std::map<std::string, TCase> mine = cases;
      if (std::string(f.Ext) == "xls") mine["tall"] = Tallest(TKyRExportToExcel::kMaxRows);
      if (std::string(f.Ext) == "wk1" || std::string(f.Ext) == "wq1") mine["tall"] = Tallest(32768);
      for (auto& [name, c] : mine) {
        auto ex = f.Make();
        RunExport(*ex, c.Pictures, c.Selected, in + "/" + name + "." + f.Ext, c.Separate);
        for (auto& [file, grid] : c.Expected) results_[f.Ext][file].Expected = grid;
      }
      const std::string pages = f.MaxChars ? "" : "--pages 1 ";
      test::CliResult run = test::Hycube(report + pages + "--export " + f.Ext + " --out " + in +
                                         "/demo_cli." + f.Ext);
      if (run.status != 0)
        failure_ += "hycube " + std::string(f.Ext) + " export failed: " + run.err;
      results_[f.Ext]["demo_cli"].Expected = cliGrids[pages];
      std::string cmd = "cd '" + in +
                        "' && timeout -k 10 300 soffice -env:UserInstallation=file://" + root +
                        "/profile --headless";
      if (f.InFilter) cmd += std::string(" '--infilter=") + f.InFilter + "'";
      cmd += std::string(" --convert-to '") + f.ConvertTo + "' --outdir '" + out + "' *." + f.Ext +
             " >'" + root + "/soffice_" + f.Ext + ".log' 2>&1";
      if (std::system(cmd.c_str()) != 0)
        failure_ += "soffice failed for " + std::string(f.Ext) + "; ";
      for (auto& [file, r] : results_[f.Ext]) {
        std::string read = out + "/" + file + (f.MaxChars ? ".csv" : ".txt");
        if (!fs::exists(read)) continue;  // the test names the file LibreOffice could not read
        std::string text = ReadFileBytes(read);
        size_t columns = r.Expected.empty() ? 1 : r.Expected[0].size();
        r.Read = f.MaxChars ? ReadOfficeCsv(text) : ReadOfficeText(text, columns);
      }
    }
  }

  void SetUp() override {
    if (!HaveOffice())
      GTEST_SKIP() << "soffice is missing: install libreoffice-calc and libreoffice-writer";
    EXPECT_EQ(failure_, "");
  }

  // Every file of the format read back cell for cell.
  static void ExpectEveryCell(const TFormat& f) {
    ASSERT_FALSE(results_[f.Ext].empty());
    for (const auto& [file, r] : results_[f.Ext]) {
      TGrid want = r.Expected;
      if (f.MaxChars)
        for (auto& row : want)
          for (auto& cell : row) cell = SheetText(cell, f.MaxChars);
      want = Trimmed(want);
      TGrid read = r.Read;
      if (!f.MaxChars) {
        // lines and shapes take cells of their own in RTF: rows without text
        std::erase_if(read, [](const std::vector<std::string>& row) { return row.empty(); });
        std::erase_if(want, [](const std::vector<std::string>& row) { return row.empty(); });
      }
      EXPECT_FALSE(r.Read.empty()) << "LibreOffice read nothing of " << file << "." << f.Ext;
      EXPECT_EQ(read.size(), want.size()) << file << "." << f.Ext;
      for (size_t i = 0; i < std::min(want.size(), read.size()); ++i) {
        EXPECT_EQ(read[i], want[i]) << file << "." << f.Ext << " row " << i;
        if (read[i] != want[i]) break;  // the rows after it say nothing new
      }
    }
  }
};

TEST_F(OfficeTest, ExcelFilesReadCellForCell) { ExpectEveryCell(kFormats[0]); }
TEST_F(OfficeTest, LotusFilesReadCellForCell) { ExpectEveryCell(kFormats[1]); }
TEST_F(OfficeTest, QuattroProFilesReadCellForCell) { ExpectEveryCell(kFormats[2]); }
TEST_F(OfficeTest, RtfTablesReadCellForCell) { ExpectEveryCell(kFormats[3]); }

// A pivot wider than the worksheets: the user gets the message, no file.
TEST(HycubeExportTest, AGridTooWideForTheWorksheetsIsRefused) {
  if (std::system("python3 -c 'import sqlite3' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 is missing";
  std::string dir = TestDir("wide");
  std::string make =
      "python3 -c \"import sqlite3; c = sqlite3.connect('" + dir +
      "/wide.db'); c.execute('create table t (C text, A real)'); "
      "c.executemany('insert into t values (?, ?)', [('c%03d' % i, i) for i in range(300)]); "
      "c.commit()\"";
  ASSERT_EQ(std::system(make.c_str()), 0);
  for (const char* type : {"xls", "wk1", "wq1"}) {
    std::string out = dir + "/w." + type;
    test::CliResult run = test::Hycube("report --db " + dir +
                                       "/wide.db --table t --dim C=C --sum A=A --layout "
                                       "\"(2 0 1 0 -1 'C')\" --export " +
                                       type + " --out " + out);
    EXPECT_EQ(run.status, 2) << type;
    EXPECT_NE(run.err.find(UpperCase(type) + " format holds at most"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("256 columns; the report's grid has"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out)) << type;
  }
}

}  // namespace
}  // namespace hy
