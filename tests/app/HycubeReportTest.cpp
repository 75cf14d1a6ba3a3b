// `hycube report` as a user runs it: the pages' texts against the grid's
// cell matrix from `hycube pivot`, the flags and the outputs.
#include <gtest/gtest.h>

#include <QImageReader>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "report/KyRDMan.h"
#include "support/DemoCliSuite.h"
#include "support/ParseCsv.h"
#include "support/RunHycube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

using test::CliResult;
using test::Csv;
using test::Hycube;

struct PageText {
  int32_t x, y;
  std::string text;
};
struct Page {
  int32_t page = 0, bar = 0;
  std::vector<PageText> texts;
};

std::vector<Page> ParseText(const std::string& out) {
  std::vector<Page> pages;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("=== page ", 0) == 0) {
      Page p;
      EXPECT_EQ(std::sscanf(line.c_str(), "=== page %d bar %d", &p.page, &p.bar), 2) << line;
      pages.push_back(p);
      continue;
    }
    EXPECT_FALSE(pages.empty()) << line;
    if (pages.empty()) continue;
    const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    EXPECT_NE(t2, std::string::npos) << line;
    if (t2 == std::string::npos) continue;
    pages.back().texts.push_back({std::stoi(line.substr(0, t1)),
                                  std::stoi(line.substr(t1 + 1, t2 - t1 - 1)),
                                  line.substr(t2 + 1)});
  }
  return pages;
}

using Rows = std::vector<std::vector<std::string>>;

// The grid rows a page shows: its texts but the every-page header and footer
// lines (recorded first) and blanks, grouped by top, left to right.
Rows PageRows(const Page& page) {
  std::map<int32_t, std::vector<std::pair<int32_t, std::string>>> byTop;
  for (size_t i = 2; i < page.texts.size(); ++i) {
    const PageText& t = page.texts[i];
    if (t.text.find_first_not_of(' ') == std::string::npos) continue;
    byTop[t.y].push_back({t.x, t.text});
  }
  Rows rows;
  for (auto& [y, cells] : byTop) {
    std::sort(cells.begin(), cells.end());
    rows.emplace_back();
    for (auto& c : cells) rows.back().push_back(c.second);
  }
  return rows;
}

std::vector<std::string> NonEmpty(const std::vector<std::string>& cells, size_t from, size_t to) {
  std::vector<std::string> out;
  for (size_t i = from; i < std::min(to, cells.size()); ++i)
    if (!cells[i].empty()) out.push_back(cells[i]);
  return out;
}

// Every grid cell once per sheet in its row, the fixed columns at the start
// of the row on every sheet, the fixed rows at the top of every page. Which
// columns a sheet holds is read from its column-label row (the last fixed
// row labels every column); the sheets must then hold them in order.
void ExpectReportIsTheGrid(const std::string& source, size_t fixedCols, size_t fixedRows,
                           int minBars) {
  const CliResult pivot = Hycube("pivot " + source);
  ASSERT_EQ(pivot.status, 0) << pivot.err;
  const CliResult report = Hycube("report --text " + source);
  ASSERT_EQ(report.status, 0) << report.err;
  const Csv grid = test::ParseCsv(pivot.out);
  const std::vector<Page> pages = ParseText(report.out);
  ASSERT_GT(grid.size(), fixedRows);
  ASSERT_FALSE(pages.empty());

  std::map<int32_t, std::vector<Rows>> sheets;  // bar -> its pages' rows
  for (const Page& page : pages) sheets[page.bar].push_back(PageRows(page));
  EXPECT_GE(static_cast<int>(sheets.size()), minBars);

  const std::vector<std::string>& labels = grid[fixedRows - 1];
  const size_t labelFixed = NonEmpty(labels, 0, fixedCols).size();
  size_t firstCol = fixedCols;
  for (auto& [bar, sheetPages] : sheets) {
    const Rows& first = sheetPages[0];
    // The sheet's columns: as many as its label row shows beyond the fixed ones.
    size_t count = 0;
    for (const auto& row : first)
      if (row.size() > labelFixed && row[labelFixed] == labels[firstCol])
        count = row.size() - labelFixed;
    ASSERT_GT(count, 0u) << "sheet " << bar << " has no label row starting at column " << firstCol;
    const size_t lastCol = firstCol + count;
    Rows titles, body;
    for (size_t r = 0; r < grid.size(); ++r) {
      std::vector<std::string> cells = NonEmpty(grid[r], 0, fixedCols);
      const std::vector<std::string> part = NonEmpty(grid[r], firstCol, lastCol);
      cells.insert(cells.end(), part.begin(), part.end());
      if (!cells.empty()) (r < fixedRows ? titles : body).push_back(cells);
    }
    Rows printedBody;
    for (size_t p = 0; p < sheetPages.size(); ++p) {
      const Rows& rows = sheetPages[p];
      ASSERT_GE(rows.size(), titles.size()) << "page " << p << " sheet " << bar;
      EXPECT_EQ(Rows(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(titles.size())),
                titles)
          << "page " << p << " sheet " << bar;
      printedBody.insert(printedBody.end(),
                         rows.begin() + static_cast<std::ptrdiff_t>(titles.size()), rows.end());
    }
    EXPECT_EQ(printedBody, body) << "sheet " << bar;
    firstCol = lastCol;
  }
  EXPECT_EQ(firstCol, grid[fixedRows - 1].size());  // every column on some sheet
}

class HycubeReport : public test::DemoCliSuite {
protected:
  static void SetUpTestSuite() {
    SetUpDemo("random.db");
    std::mt19937 random(20261208);
    std::string sql = "CREATE TABLE sales (Region TEXT, Kind TEXT, Yr INTEGER, Amount REAL);";
    for (int i = 0; i < 600; ++i) {
      sql += "INSERT INTO sales VALUES ('R" + std::to_string(random() % 20) + "', 'K" +
             std::to_string(random() % 5) + "', " + std::to_string(1990 + random() % 16) + ", " +
             std::to_string(static_cast<double>(random() % 100000) / 100) + ");";
    }
    folder_->Exec(sql);
  }

  static std::string Random() {
    return "--db " + folder_->File() +
           " --table sales --dim Region=Region --dim Kind=Kind --dim Yr=Yr --sum Amount=Amount"
           " --layout \"(1 0 1 0 -1 'Region' 1 1 1 1 -1 'Kind' 2 0 1 0 -1 'Yr')\" ";
  }
};

// Both pivots: two row dimensions and the outliner make three fixed
// columns; one column dimension and its caption row two fixed rows.
TEST_F(HycubeReport, TheDemoPagesHoldTheGridsCellsOncePerSheet) {
  ExpectReportIsTheGrid(Demo(), 3, 2, 10);
}

TEST_F(HycubeReport, ARandomTablesPagesHoldTheGridsCellsOncePerSheet) {
  ExpectReportIsTheGrid(Random(), 3, 2, 2);
}

TEST_F(HycubeReport, InfoListsEveryPageSheetBySheet) {
  const CliResult run = Hycube("report " + Demo());  // --info when no output is named
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream in(run.out);
  std::string line;
  std::getline(in, line);
  int pages = 0, bars = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), "pages %d bars %d", &pages, &bars), 2) << line;
  int count = 0, lastBar = 0, lastPage = -1;
  while (std::getline(in, line)) {
    int p = -1, b = -1, w = 0, h = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%d %d %dx%d", &p, &b, &w, &h), 4) << line;
    EXPECT_EQ(w, 793);
    EXPECT_EQ(h, 1122);
    EXPECT_TRUE((b == lastBar && p == lastPage + 1) || (b == lastBar + 1 && p == 0)) << line;
    lastBar = b;
    lastPage = p;
    ++count;
  }
  EXPECT_EQ(count, pages);
  EXPECT_EQ(lastBar + 1, bars);
}

TEST_F(HycubeReport, DemoPagesCarryTheDateAboveAndThePageNumberAtTheRight) {
  const CliResult run = Hycube("report --text " + Demo());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Page> pages = ParseText(run.out);
  ASSERT_GE(pages.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const Page& page = pages[i];
    ASSERT_GE(page.texts.size(), 2u);
    EXPECT_EQ(page.texts[0].y, 0);
    EXPECT_NE(page.texts[0].text.find('/'), std::string::npos) << page.texts[0].text;  // the date
    EXPECT_EQ(page.texts[1].text, "page #" + std::to_string(i + 1) + "/Sheet1");
    EXPECT_GT(page.texts[1].x, 650);
    EXPECT_GT(page.texts[1].y, 1080);
  }
}

TEST_F(HycubeReport, PaperOrientationMarginsAndLinesAreTheUsers) {
  CliResult run = Hycube("report --info --paper a4 --landscape " + Demo());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\n0 0 1123x794\n"), std::string::npos) << run.out.substr(0, 100);
  run = Hycube(
      "report --text --paper 500x400 --margins 50,60,70,80 --header \"%Atop %PN\" --header once"
      " --footer \"%A%Cend\" " +
      Random());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Page> pages = ParseText(run.out);
  ASSERT_GE(pages.size(), 2u);
  EXPECT_EQ(pages[1].texts[0].text, "top 2");
  EXPECT_EQ(pages[1].texts[0].x, 50);
  EXPECT_EQ(pages[1].texts[0].y, 60);
  EXPECT_EQ(pages[1].texts[1].text, "end");
  for (const Page& p : pages) {
    for (const PageText& t : p.texts) {
      EXPECT_GE(t.x, 50) << t.text;
      EXPECT_LT(t.y, 400 - 80) << t.text;
      EXPECT_NE(t.text, p.page == 0 ? "" : "once");
    }
  }
}

TEST_F(HycubeReport, SubtotalsOffLanguageAndTwoPasses) {
  CliResult run = Hycube("report --text --no-totals " + Demo());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("\tSum\n"), std::string::npos);
  EXPECT_NE(run.out.find("\tCash\n"), std::string::npos);

  run = Hycube("report --text --language de " + Demo());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string footer =
      LoadString(lnGerman, kStrPageNo) + "1/" + LoadString(lnGerman, kStrSheet) + "1";
  EXPECT_EQ(ParseText(run.out)[0].texts[1].text, footer);

  run = Hycube("report --text --two-pass --footer \"%A%Rpage %PN of %PC, sheet %BN of %BC\" " +
               Random());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Page> pages = ParseText(run.out);
  int32_t pageCount = 0, barCount = 0;
  for (const Page& p : pages) {
    pageCount = std::max(pageCount, p.page + 1);
    barCount = std::max(barCount, p.bar + 1);
  }
  EXPECT_EQ(pages[0].texts[1].text,
            "page 1 of " + std::to_string(pageCount) + ", sheet 1 of " + std::to_string(barCount));
}

TEST_F(HycubeReport, PagesRenderToPngAndEmfFiles) {
  const std::string png = Dir("png"), emf = Dir("emf");
  const CliResult run = Hycube("report --png-dir " + png + " --emf-dir " + emf +
                               " --highlight \"PageNo = 1|yellow|bold\" " + Random());
  ASSERT_EQ(run.status, 0) << run.err;
  QImageReader reader(QString::fromStdString(png + "/page0_0.png"));
  EXPECT_EQ(reader.size(), QSize(793, 1122));
  EXPECT_TRUE(std::filesystem::exists(png + "/page0_1.png"));
  const CliResult info = Hycube("emf info " + emf + "/page0_0.emf");
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("weight 700"), std::string::npos);  // the highlight's bold font
  const CliResult second = Hycube("emf info " + emf + "/page0_1.emf");
  EXPECT_NE(second.out.find("EMR_EXTTEXTOUTW"), std::string::npos);
}

TEST_F(HycubeReport, PagesRenderOnlyTheChosenPages) {
  const std::string png = Dir("png-chosen"), emf = Dir("emf-chosen");
  const CliResult run =
      Hycube("report --png-dir " + png + " --emf-dir " + emf + " --pages 2 " + Random());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(png + "/page1_0.png"));
  EXPECT_TRUE(std::filesystem::exists(emf + "/page1_0.emf"));
  EXPECT_FALSE(std::filesystem::exists(png + "/page0_0.png"));
  EXPECT_FALSE(std::filesystem::exists(emf + "/page0_0.emf"));
  EXPECT_FALSE(std::filesystem::exists(png + "/page2_0.png"));
}

TEST_F(HycubeReport, BadFlagsAreRefusedWithAMessage) {
  const struct {
    const char* flags;
    const char* message;
  } cases[] = {
      {"--paper b7", "--paper takes"},
      {"--paper 5x5", "at least 10 x 10"},
      {"--margins 1,2", "--margins takes"},
      {"--row-style Plaid", "unknown row style 'Plaid'"},
      {"--highlight \"PageNo = (|red\"", "highlight 'PageNo = ('"},
      {"--highlight \"PageNo = 1|nocolour\"", "is not a colour"},
      {"--highlight \"PageNo = 1|red|heavy\"", "no font style"},
      {"--language xx", "--language takes"},
      {"--sideways", "unknown argument '--sideways'"},
      {"--header", "--header needs a value"},
      {"--out report.txt", "--out is the file of --export TYPE"},
      {"--png-dir /dev/null/pages", "Cannot make the folder \"/dev/null/pages\": Not a directory"},
  };
  for (const auto& c : cases) {
    const CliResult run = Hycube("report " + Demo() + c.flags);
    EXPECT_EQ(run.status, 2) << c.flags;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.flags << ": " << run.err;
    EXPECT_TRUE(run.out.empty()) << c.flags;
  }
  const CliResult help = Hycube("report --help");
  EXPECT_EQ(help.status, 0);
  for (const char* flag : {"--row-style", "--png-dir", "--layout", "--two-pass", "--db FILE"})
    EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
}

}  // namespace
}  // namespace hy
