// The text, CSV, HTML and XML files: their exact form where it matters, and
// the cells read back by independent readers equal to what the pages drew.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "ExportTestSupport.h"
#include "common/StrUtils.h"
#include "export/KyRExportHtml.h"
#include "export/KyRExportText.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Rows padded with empty cells to the widest row (XML leaves empty cells out).
TGrid Padded(TGrid grid, size_t width) {
  for (auto& row : grid) row.resize(std::max(row.size(), width));
  return grid;
}

TEST(TextExportTest, LaterTextOverwritesAndAFormFeedEndsEachPage) {
  // top - 1 = 32 is line 2; left - 1 = 65 is column 10, character 9
  std::vector<std::vector<TMetafile>> pages = {
      {DrawPage([](TMetafileCanvas& c) {
        c.TextOut(66, 33, "abcdef");
        c.TextOut(79, 33, "XY");  // column 12
        c.TextOut(1, 1, "top");   // column 0 still starts the line
      })},
      {DrawPage([](TMetafileCanvas& c) { c.TextOut(66, 17, "next"); })}};
  std::string dir = TestDir("text");
  TKyRExportToText ex;
  RunExport(ex, pages, {1, 2}, dir + "/r.txt", false);
  // page 2 lies one page height lower: (1123 + 16) / 16 = 71.19 -> line 71
  std::string expected = "top\r\n\r\n         abXYef\f\r\n";
  for (int i = 3; i < 71; ++i) expected += "\r\n";
  expected += "         next\r\n";
  EXPECT_EQ(ReadFileBytes(dir + "/r.txt"), expected);
  EXPECT_TRUE(ex.Lines().empty());
}

TEST(TextExportTest, ATextThePageCutKeepsOnlyTheCharactersOfItsBox) {
  std::vector<std::vector<TMetafile>> pages = {{DrawPage([](TMetafileCanvas& c) {
    // bounds 62..124, inflated 61..125: column 9, 64 / 6.5 -> 9 characters
    c.TextRect({60, 30, 125, 50}, 62, 33, std::string(30, 'L'));
    c.TextOut(130, 33, "next");                           // column 20
    c.TextRect({60, 60, 300, 80}, 62, 65, "fits whole");  // clipped by nothing
  })}};
  std::string dir = TestDir("textclip");
  TKyRExportToText ex;
  RunExport(ex, pages, {1}, dir + "/r.txt", false);
  EXPECT_EQ(ReadFileBytes(dir + "/r.txt"),
            "\r\n\r\n        LLLLLLLLL  next\r\n\r\n        fits whole\r\n");
}

TEST(TextExportTest, EmptyPicturesGiveEmptyTextAndCsvFiles) {
  std::string dir = TestDir("empty");
  std::vector<std::vector<TMetafile>> pages = {
      {DrawPage([](TMetafileCanvas& c) { c.TextOut(5, 5, "  "); })}};
  TKyRExportToText text;
  RunExport(text, pages, {1}, dir + "/e.txt", false);
  TKyRExportToCSV csv;
  RunExport(csv, pages, {1}, dir + "/e.csv", false);
  for (const char* f : {"/e.txt", "/e.csv"}) {
    ASSERT_TRUE(fs::exists(dir + f)) << f;
    EXPECT_EQ(fs::file_size(dir + f), 0u) << f;
  }
}

TEST(CsvExportTest, OnlyCellsWithSeparatorsQuotesOrBreaksAreQuoted) {
  std::string dir = TestDir("csv");
  TGrid grid = {{"Name", "a;b", "say \"hi\""}, {"plain", "", "x"}};
  TKyRExportToCSV ex;
  RunExport(ex, {{DrawGridPage(grid)}}, {1}, dir + "/q.csv", false);
  EXPECT_EQ(ReadFileBytes(dir + "/q.csv"), "Name;\"a;b\";\"say \"\"hi\"\"\"\r\nplain;;x");
}

TEST(CsvExportTest, WithSeparateFilesEachFileHoldsItsOwnPicture) {
  std::string dir = TestDir("separate");
  std::vector<std::vector<TMetafile>> pages = {
      {DrawGridPage({{"p1", "a"}}), DrawGridPage({{"p1 bar2"}})},
      {DrawGridPage({{"p2", "b"}, {"c", "d"}}), DrawGridPage({{"x"}})}};
  TKyRExportToCSV ex;
  RunExport(ex, pages, {2}, dir + "/s.csv", true);
  EXPECT_FALSE(fs::exists(dir + "/s0_0.csv"));
  EXPECT_EQ(ReadFileBytes(dir + "/s1_0.csv"), "p2;b\r\nc;d");
  EXPECT_EQ(ReadFileBytes(dir + "/s1_1.csv"), "x");
}

TEST(HtmlExportTest, CellsCarryColourSizeCodeAlignmentAndFillers) {
  std::string dir = TestDir("html");
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.SetFont(TFont("MS Sans Serif", -11, 0, clBlack));  // 8 pt: size code 2
    c.TextOut(100, 50, "plain");
    c.SetFont(TFont("Arial", -16, fsBold, clRed));  // 12 pt: no size code
    c.SetTextAlign(2);                              // TA_RIGHT
    c.TextOut(400, 50, "right");
    c.SetTextAlign(0);
    c.SetFont(TFont("Arial", -24, fsItalic | fsUnderline | fsBold, clBlack));  // 18 pt
    c.TextOut(100, 80, "big");
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clBlack);
    c.SetFont(TFont("Arial", -13, 0, clWhite));
    c.TextOut(300, 110, "black");
    c.Brush().SetColor(clWhite);  // the page background ends white
    c.SetFont(TFont("MS Sans Serif", -11, 0, clBlack));
    c.TextOut(100, 140, "end");
  });
  TKyRExportToHTML ex;
  ex.SetTitle("Sales <2024> & \"more\"");
  RunExport(ex, {{page}}, {1}, dir + "/c.htm", false);
  std::string html = ReadFileBytes(dir + "/c.htm");
  EXPECT_NE(html.find("<title>Sales &lt;2024&gt; &amp; &quot;more&quot;</title>"),
            std::string::npos);
  EXPECT_NE(html.find("<body bgcolor=\"#FFFFFF\">\r\n<table border=1>\r\n  <TR>\r\n"),
            std::string::npos);
  EXPECT_NE(html.find("    <TD><font size=2>plain</font></TD>\r\n"), std::string::npos) << html;
  EXPECT_NE(
      html.find(
          "    <TD align=\"right\"><font face=\"Arial\"  color=\"#FF0000\"><b>right</b></font></TD>"),
      std::string::npos)
      << html;
  EXPECT_NE(html.find("<font face=\"Arial\" size=5><b><i><u>big</u></i></b></font>"),
            std::string::npos)
      << html;
  // a black text background: the attribute is empty, the blank before it stays
  EXPECT_NE(html.find("    <TD ><font face=\"Arial\"  color=\"#FFFFFF\">black</font></TD>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("    <TD>&nbsp;</TD>\r\n"), std::string::npos);
  EXPECT_EQ(html.substr(html.size() - 28), "</table>\r\n</body>\r\n</html>\r\n");
}

TEST(HtmlExportTest, PicturesGoBesideTheFileOnePerCell) {
  if (!HavePython()) GTEST_SKIP() << "python3 is missing";
  std::string dir = TestDir("pictures");
  TBitmap bmp(10, 6, pf24bit);
  bmp.Fill(clBlue);
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    c.TextOut(100, 50, "a");
    c.TextOut(300, 50, "b");
    c.Draw(100, 80, bmp);
    c.Draw(300, 80, bmp);
  });
  fs::path cwd = fs::current_path();
  TKyRExportToHTML ex;
  RunExport(ex, {{page}}, {1}, dir + "/my report.htm", false);
  EXPECT_EQ(fs::current_path(), cwd);
  TGrid cells = ReadWithPython("html", dir + "/my report.htm");
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[1], (std::vector<std::string>{"[img my%20report_files/img1.bmp]",
                                                "[img my%20report_files/img2.bmp]"}));
  TBitmap back;
  back.LoadFromFile(dir + "/my report_files/img2.bmp");
  EXPECT_EQ(back.Width(), 10);
  EXPECT_EQ(back.Pixel(2, 2), clBlue);
}

TEST(XmlExportTest, RowsWithAndWithoutAttributes) {
  std::string dir = TestDir("xml");
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.TextOut(100, 50, "a");
    c.TextOut(300, 50, "b");
    c.TextOut(100, 80, "c");
  });
  TKyRExportToXML ex;
  RunExport(ex, {{page}}, {1}, dir + "/x.xml", false);
  std::string xml = ReadFileBytes(dir + "/x.xml");
  std::string body = xml.substr(xml.find("\r\n") + 2);
  EXPECT_EQ(
      body,
      "<RECORDS>\r\n"
      "  <RECORD>\r\n    <ROW\r\n     Column1=\"a\"\r\n     Column2=\"b\"\r\n    />\r\n  </RECORD>\r\n"
      "  <RECORD>\r\n    <ROW\r\n     Column1=\"c\"\r\n    />\r\n  </RECORD>\r\n"
      "\r\n</RECORDS>");
  EXPECT_EQ(
      xml.rfind(
          "<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"yes\"?><!-- Generated by ",
          0),
      0u);

  // a row whose texts all lie in other rows' columns is an element without attributes
  TKyRExportToXML bare;
  RunExport(bare, {{DrawPage([](TMetafileCanvas& c) {
              TBitmap bmp(4, 4, pf24bit);
              c.TextOut(100, 50, "a");
              c.Draw(100, 90, bmp);
            })}},
            {1}, dir + "/b.xml", false);
  EXPECT_NE(
      ReadFileBytes(dir + "/b.xml").find("  <RECORD>\r\n    <ROW\r\n    />\r\n  </RECORD>\r\n"),
      std::string::npos);
}

TEST(XmlExportTest, LongValuesAreCutBeforeTheirEntities) {
  std::string dir = TestDir("xmlcut");
  std::string text = std::string(250, 'x') + "&&&&&&&&";
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    c.SetFont(TFont("Arial", -3, 0, clBlack));
    c.TextOut(10, 50, text);
  });
  TKyRExportToXML ex;
  RunExport(ex, {{page}}, {1}, dir + "/l.xml", false);
  if (std::system("command -v xmllint >/dev/null") == 0) {
    EXPECT_EQ(std::system(("xmllint --noout '" + dir + "/l.xml'").c_str()), 0);
  }
  if (!HavePython()) GTEST_SKIP() << "python3 is missing";
  TGrid cells = ReadWithPython("xml", dir + "/l.xml");
  EXPECT_EQ(cells, (TGrid{{std::string(250, 'x') + "&&&&&"}}));
}

TEST(XmlExportTest, AnyTextGivesAWellFormedFile) {
  if (!HavePython()) GTEST_SKIP() << "python3 is missing";
  const std::vector<std::string> pieces = {"a",        "Z9",
                                           " ",        "&",
                                           "<",        ">",
                                           "\"",       "'",
                                           "\t",       "\n",
                                           "\x01",     "\x1F",
                                           "\xC2\xB0", "\xE2\x82\xAC",
                                           "\xCE\xA9", "\xF0\x9F\x98\x80",
                                           "]]>",      "--"};
  std::mt19937 rng(99);
  std::vector<std::string> texts, expected;
  for (int i = 0; i < 40; ++i) {
    std::string t = "x", e = "x";  // never blank, so every text is captured
    for (int k = 0; k < 12; ++k) {
      const std::string& piece = pieces[rng() % pieces.size()];
      t += piece;
      e += (piece == "\x01" || piece == "\x1F") ? "\xEF\xBF\xBD"
                                                : piece;  // not XML characters: U+FFFD
    }
    texts.push_back(t);
    expected.push_back(e);
  }
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    for (size_t i = 0; i < texts.size(); ++i) c.TextOut(40, 40 + int32_t(i) * 20, texts[i]);
  });
  std::string dir = TestDir("anyxml");
  TKyRExportToXML ex;
  RunExport(ex, {{page}}, {1}, dir + "/a.xml", false);
  if (std::system("command -v xmllint >/dev/null") == 0) {
    EXPECT_EQ(std::system(("xmllint --noout '" + dir + "/a.xml'").c_str()), 0);
  }
  TGrid cells = ReadWithPython("xml", dir + "/a.xml");
  ASSERT_EQ(cells.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(cells[i], std::vector<std::string>{expected[i]}) << i;
}

// Every format keeps these texts.
const TGrid kHardTexts = {{"semi;colon", "\"quoted\"", "a & b"},
                          {"x<y>z", "x|y", "20°"},
                          {"Ωmega ≠ €", "it's", "© ™ ± ¶"}};

TEST(RoundTripTest, HardTextsSurviveEveryFormat) {
  if (!HavePython()) GTEST_SKIP() << "python3 is missing";
  std::string dir = TestDir("hard");
  TMetafile page = DrawGridPage(kHardTexts);
  // half the texts as single-byte records
  MakeSingleByte(page, [](const std::string& t) { return t.find('a') != std::string::npos; });
  std::vector<std::vector<TMetafile>> pages = {{page}};

  TKyRExportToCSV csv;
  RunExport(csv, pages, {1}, dir + "/h.csv", false);
  EXPECT_EQ(ReadCsv(DecodeText(ReadFileBytes(dir + "/h.csv"))), kHardTexts);

  TKyRExportToHTML html;
  RunExport(html, pages, {1}, dir + "/h.htm", false);
  EXPECT_EQ(ReadWithPython("html", dir + "/h.htm"), kHardTexts);

  TKyRExportToXML xml;
  RunExport(xml, pages, {1}, dir + "/h.xml", false);
  EXPECT_EQ(ReadWithPython("xml", dir + "/h.xml"), kHardTexts);
  if (std::system("command -v xmllint >/dev/null") == 0) {
    EXPECT_EQ(std::system(("xmllint --noout '" + dir + "/h.xml'").c_str()), 0);
  }

  TKyRExportToText text;
  RunExport(text, pages, {1}, dir + "/h.txt", false);
  std::string txt = DecodeText(ReadFileBytes(dir + "/h.txt"));
  for (const auto& row : kHardTexts)
    for (const auto& cell : row) EXPECT_NE(txt.find(cell), std::string::npos) << cell;
}

TEST(RoundTripTest, TextsTheCodePageHoldsKeepTheCodePage) {
  std::string dir = TestDir("ansi");
  TGrid grid = {{"20°", "x|y"}};
  TKyRExportToCSV csv;
  RunExport(csv, {{DrawGridPage(grid)}}, {1}, dir + "/a.csv", false);
  EXPECT_EQ(ReadFileBytes(dir + "/a.csv"), "20\xB0;x|y");
  TKyRExportToHTML html;
  RunExport(html, {{DrawGridPage({{"Ω"}})}}, {1}, dir + "/o.htm", false);
  EXPECT_NE(ReadFileBytes(dir + "/o.htm").find(">&#937;</font>"), std::string::npos);
}

// A random pivot over several pages and bars, its title row and label
// column repeated on every page, as the report lays it out.
TEST(RoundTripTest, RandomPivotPagesComeBackPageByPage) {
  if (!HavePython()) GTEST_SKIP() << "python3 is missing";
  std::mt19937 rng(4711);
  const int rowsPerPage = 25, colsPerBar = 5, pagesN = 3, barsN = 2;
  std::vector<std::vector<TMetafile>> pictures(pagesN);
  std::vector<std::vector<TGrid>> printed(pagesN);
  for (int p = 0; p < pagesN; ++p)
    for (int b = 0; b < barsN; ++b) {
      TGrid grid;
      std::vector<std::string> title = {"Customer"};
      for (int k = 0; k < colsPerBar; ++k)
        title.push_back("M" + std::to_string(b * colsPerBar + k + 1));
      grid.push_back(title);
      for (int r = 0; r < rowsPerPage; ++r) {
        std::vector<std::string> row = {"C" + std::to_string(p * rowsPerPage + r)};
        for (int k = 0; k < colsPerBar; ++k)
          row.push_back(
              rng() % 4 ? Format("%u.%02u", unsigned(rng() % 100000), unsigned(rng() % 100)) : "");
        grid.push_back(row);
      }
      if (rng() % 2)
        grid.push_back(std::vector<std::string>(colsPerBar + 1));  // a row without text
      pictures[size_t(p)].push_back(DrawGridPage(grid));
      printed[size_t(p)].push_back(DropEmpty(grid));
    }
  std::string dir = TestDir("pivot");
  TKyRExportToCSV csv;
  RunExport(csv, pictures, {1, 2, 3}, dir + "/p.csv", true);
  TKyRExportToHTML html;
  RunExport(html, pictures, {1, 2, 3}, dir + "/p.htm", true);
  TKyRExportToXML xml;
  RunExport(xml, pictures, {1, 2, 3}, dir + "/p.xml", true);
  for (int p = 0; p < pagesN; ++p)
    for (int b = 0; b < barsN; ++b) {
      const TGrid& want = printed[size_t(p)][size_t(b)];
      std::string suffix = std::to_string(p) + "_" + std::to_string(b);
      EXPECT_EQ(ReadCsv(DecodeText(ReadFileBytes(dir + "/p" + suffix + ".csv"))), want) << suffix;
      EXPECT_EQ(ReadWithPython("html", dir + "/p" + suffix + ".htm"), want) << suffix;
      EXPECT_EQ(Padded(ReadWithPython("xml", dir + "/p" + suffix + ".xml"), want[0].size()), want)
          << suffix;
    }

  // one file: the pages one under another, the bars side by side
  TKyRExportToCSV all;
  RunExport(all, pictures, {1, 3}, dir + "/all.csv", false);
  TGrid joined;
  for (int p : {0, 2})
    for (size_t r = 0; r < printed[size_t(p)][0].size(); ++r) {
      std::vector<std::string> row = printed[size_t(p)][0][r];
      const auto& right = printed[size_t(p)][1][r];
      row.insert(row.end(), right.begin(), right.end());
      joined.push_back(row);
    }
  EXPECT_EQ(ReadCsv(DecodeText(ReadFileBytes(dir + "/all.csv"))), joined);
}

}  // namespace
}  // namespace hy
