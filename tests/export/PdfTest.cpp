// The PDF document: its object numbering, page tree, fonts, colours and
// cross-reference table as written, and what qpdf, pdftotext, pdffonts and
// pdfimages read back from it.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <map>
#include <random>
#include <regex>

#include "ExportTestSupport.h"
#include "ReaderSupport.h"
#include "common/StrUtils.h"
#include "export/KyRCodePage.h"
#include "export/KyRExportPdf.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace test;

using TPages = std::vector<std::vector<TMetafile>>;

// The file of an export of `pages` (all selected unless said).
std::string ExportPdf(const TPages& pages, const std::string& name, std::vector<int> selected = {},
                      TKyRExportToPDF* exporter = nullptr) {
  if (selected.empty())
    for (int p = 1; p <= int(pages.size()); ++p) selected.push_back(p);
  std::string file = TestDir(name) + "/report.pdf";
  TKyRExportToPDF own;
  RunExport(exporter ? *exporter : own, pages, selected, file, false);
  return file;
}

TMetafile TextPage(const std::string& text, const TFont& font = TFont("Arial", -13, 0, clBlack)) {
  return DrawPage([&](TMetafileCanvas& c) {
    c.SetFont(font);
    c.TextOut(100, 200, text);
  });
}

// The objects of a document: each "N 0 obj" line's offset, and what
// follows it up to "endobj".
struct TPdfFile {
  std::string Bytes;
  std::map<int, size_t> Starts;

  explicit TPdfFile(const std::string& fileName) : Bytes(ReadFileBytes(fileName)) {
    std::regex obj("(^|\r\n)([0-9]+) 0 obj\r\n");
    for (auto it = std::sregex_iterator(Bytes.begin(), Bytes.end(), obj);
         it != std::sregex_iterator(); ++it)
      Starts[std::stoi((*it)[2])] = size_t(it->position(2));
  }
  std::string Object(int n) const {
    size_t at = Starts.at(n);
    return Bytes.substr(at, Bytes.find("endobj", at) - at);
  }
  // The page content streams in page order, each checked against its
  // /Length: the data, then a line end and "endstream".
  std::vector<std::string> Contents() const {
    std::vector<std::string> out;
    std::regex head("<< /Length ([0-9]+) 0 R >> \r\nstream\r\n");
    for (auto it = std::sregex_iterator(Bytes.begin(), Bytes.end(), head);
         it != std::sregex_iterator(); ++it) {
      std::string lengthObject = Object(std::stoi((*it)[1]));
      size_t length = std::stoul(lengthObject.substr(lengthObject.find("\r\n") + 2));
      size_t data = size_t(it->position() + it->length());
      std::string after = Bytes.substr(data + length, 11);
      EXPECT_TRUE(length == 0 ? after.rfind("endstream", 0) == 0 : after == "\r\nendstream")
          << "the /Length " << length << " does not end the data";
      out.push_back(Bytes.substr(data, length));
    }
    return out;
  }
};

TEST(PdfExportTest, OnePageWithOneFontGivesObjectsOneToTenAndAnExactCrossReferenceTable) {
  TPdfFile pdf(ExportPdf({{TextPage("Total")}}, "one"));
  std::vector<int> numbers;
  for (const auto& [n, at] : pdf.Starts) numbers.push_back(n);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_NE(pdf.Object(1).find("/Type /Catalog"), std::string::npos);
  EXPECT_NE(pdf.Object(2).find("/Producer (Orvane KyReport)"), std::string::npos);
  EXPECT_NE(pdf.Object(4).find("/Type /Pages"), std::string::npos);
  EXPECT_NE(pdf.Object(5).find("/Parent 4 0 R"), std::string::npos);
  EXPECT_NE(pdf.Object(5).find("/MediaBox [0 0 794 1123]"), std::string::npos);
  EXPECT_NE(pdf.Object(5).find("/Contents 6 0 R"), std::string::npos);
  EXPECT_NE(pdf.Object(8).find("[ /PDF /Text ] "), std::string::npos);
  EXPECT_EQ(pdf.Object(9).find("/XObject"), std::string::npos);
  EXPECT_NE(pdf.Object(10).find("/BaseFont /Helvetica "), std::string::npos);
  EXPECT_NE(pdf.Bytes.find("/Size 11 >> "), std::string::npos);

  // Every entry of the table points at the start of its object, and
  // startxref at the table.
  size_t startxref = pdf.Bytes.rfind("startxref\r\n");
  ASSERT_NE(startxref, std::string::npos);
  size_t xref = std::stoul(pdf.Bytes.substr(startxref + 11));
  ASSERT_EQ(pdf.Bytes.substr(xref, 12), "xref\r\n0 11\r\n");
  size_t entry = xref + 12;
  EXPECT_EQ(pdf.Bytes.substr(entry, 20), "0000000000 65535 f\r\n");
  for (int n = 1; n <= 10; ++n) {
    std::string line = pdf.Bytes.substr(entry + 20 * size_t(n), 20);
    EXPECT_EQ(line.substr(10), " 00000 n\r\n");
    EXPECT_EQ(std::stoul(line.substr(0, 10)), pdf.Starts.at(n)) << "object " << n;
  }
  EXPECT_TRUE(pdf.Bytes.ends_with("%%EOF\r\n"));
  std::vector<std::string> contents = pdf.Contents();
  ASSERT_EQ(contents.size(), 1u);
  EXPECT_NE(contents[0].find("(Total) Tj"), std::string::npos);
}

TEST(PdfExportTest, TwelvePagesHangFromNodesOfTenAndTwoAndEachTextIsOnItsPage) {
  TPages pages;
  for (int p = 1; p <= 12; ++p) pages.push_back({TextPage("Page" + std::to_string(p) + "text")});
  std::string file = ExportPdf(pages, "twelve");
  TPdfFile pdf(file);
  // node 4; five objects per page from 5 on, the font (10) after page 1's
  // five: page 10 ends at 55 and the second node is 56
  EXPECT_NE(pdf.Object(3).find("/Kids [ 4 0 R 56 0 R  ] "), std::string::npos) << pdf.Object(3);
  EXPECT_NE(pdf.Object(3).find("/Count 12 >> "), std::string::npos);
  EXPECT_NE(pdf.Object(4).find("/Count 10 "), std::string::npos);
  EXPECT_NE(pdf.Object(56).find("/Kids [ 57 0 R 62 0 R  ] "), std::string::npos) << pdf.Object(56);
  EXPECT_NE(pdf.Object(56).find("/Count 2 "), std::string::npos);
  EXPECT_NE(pdf.Object(56).find("/Parent 3 0 R"), std::string::npos);

  SKIP_WITHOUT_PROGRAM("pdftotext", "poppler-utils");
  TProgramRun text = RunProgram("pdftotext -layout " + Quoted(file) + " -");
  ASSERT_EQ(text.Status, 0) << text.Err;
  std::vector<std::string> byPage = SplitString(text.Out, '\f');
  ASSERT_GE(byPage.size(), 12u);
  for (int p = 1; p <= 12; ++p)
    EXPECT_NE(byPage[size_t(p - 1)].find("Page" + std::to_string(p) + "text"), std::string::npos)
        << p;
}

TEST(PdfExportTest, FacesBecomeTheStandardFontsAndTheReaderListsThem) {
  EXPECT_EQ(PdfBaseFontName(TFont("Arial", -13, fsBold | fsItalic)), "Helvetica-Bold");
  EXPECT_EQ(PdfBaseFontName(TFont("Arial Narrow", -13, fsItalic)), "Helvetica");
  EXPECT_EQ(PdfBaseFontName(TFont("Courier New", -13, fsBold)), "Courier-Bold");
  EXPECT_EQ(PdfBaseFontName(TFont("Times New Roman", -13, fsBold)), "Times-Bold");
  EXPECT_EQ(PdfBaseFontName(TFont("MS Sans Serif", -11)), "Times-Roman");

  std::string file = ExportPdf({{DrawPage([](TMetafileCanvas& c) {
                                 c.SetFont(TFont("Arial", -13, fsBold | fsItalic, clBlack));
                                 c.TextOut(50, 50, "bold");
                                 c.SetFont(TFont("Courier New", -13, 0, clBlack));
                                 c.TextOut(50, 80, "fixed");
                                 c.SetFont(TFont("Arial", -16, 0, clBlack));
                                 c.TextOut(50, 110, "plain");
                                 c.SetFont(TFont("Courier New", -20, 0, clBlack));
                                 c.TextOut(50, 140, "again");
                               })}},
                               "fonts");
  TPdfFile pdf(file);
  EXPECT_NE(pdf.Bytes.find("/F0 10 Tf"), std::string::npos);
  EXPECT_NE(pdf.Bytes.find("/F2 12 Tf"), std::string::npos);  // 16 pixels are 12 points
  EXPECT_NE(pdf.Bytes.find("/F1 15 Tf"), std::string::npos);  // one font object per base font
  SKIP_WITHOUT_PROGRAM("pdffonts", "poppler-utils");
  TProgramRun fonts = RunProgram("pdffonts " + Quoted(file));
  ASSERT_EQ(fonts.Status, 0) << fonts.Err;
  for (const char* name : {"Helvetica-Bold", "Courier", "Helvetica"})
    EXPECT_TRUE(std::regex_search(fonts.Out,
                                  std::regex(std::string("\n") + name + " +Type 1 +WinAnsi +no")))
        << name << "\n"
        << fonts.Out;
}

// A locale whose decimal separator is a comma, for the streams of C++.
struct TCommaNumbers : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(PdfExportTest, ColoursAreWrittenWithPointsUnderACommaLocale) {
  std::locale old = std::locale::global(std::locale(std::locale::classic(), new TCommaNumbers));
  std::string oldC = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
    if (std::setlocale(LC_NUMERIC, name)) break;
  std::string red = PdfColorOperator(clRed, false);
  std::string grey = PdfColorOperator(clGray, true);
  std::string face = PdfColorOperator(clBtnFace, false);
  std::string file = ExportPdf({{TextPage("warm", TFont("Arial", -13, 0, clRed))}}, "colour");
  std::setlocale(LC_NUMERIC, oldC.c_str());
  std::locale::global(old);

  EXPECT_EQ(red, "1.000 0.000 0.000 rg");
  EXPECT_EQ(grey, "0.502 0.502 0.502 RG");
  EXPECT_EQ(face, "0.753 0.753 0.753 rg");  // system colours through the table
  std::vector<std::string> contents = TPdfFile(file).Contents();
  ASSERT_EQ(contents.size(), 1u);
  EXPECT_NE(contents[0].find("BT\r\n1.000 0.000 0.000 rg\r\n/F0 10 Tf"), std::string::npos)
      << contents[0];
}

TEST(PdfExportTest, BackslashesAndParenthesesSurviveAndTheFileIsSound) {
  EXPECT_EQ(PdfLiteralString("C:\\dir (a"), "(C:\\\\dir \\(a)");
  EXPECT_EQ(PdfLiteralString("x)\ty"), "(x\\)\\011y)");
  EXPECT_EQ(PdfLiteralString("Fa\xC3\xA7"
                             "ade \xE2\x82\xAC"),
            "(Fa\xE7"
            "ade \x80)");  // code page bytes
  EXPECT_EQ(PdfTextString("Ums\xC3\xA4tze"), "<FEFF0055006D007300E40074007A0065>");

  TKyRExportToPDF ex;
  ex.SetTitle("Ums\xC3\xA4tze (2024)");
  ex.SetAuthor("A\\B");
  std::string file = ExportPdf({{DrawPage([](TMetafileCanvas& c) {
                                 c.TextOut(50, 50, "C:\\dir");
                                 c.TextOut(50, 80, "open ( only");
                                 c.TextOut(50, 110, "close ) only");
                               })}},
                               "escape", {}, &ex);
  SKIP_WITHOUT_PROGRAM("qpdf", "qpdf");
  TProgramRun check = RunProgram("qpdf --check " + Quoted(file));
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
  EXPECT_EQ(check.Err, "");
  SKIP_WITHOUT_PROGRAM("pdftotext", "poppler-utils");
  TProgramRun text = RunProgram("pdftotext -layout " + Quoted(file) + " -");
  EXPECT_NE(text.Out.find("C:\\dir"), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("open ( only"), std::string::npos);
  EXPECT_NE(text.Out.find("close ) only"), std::string::npos);
  TProgramRun info = RunProgram("pdfinfo " + Quoted(file));
  EXPECT_NE(info.Out.find("Ums\xC3\xA4tze (2024)"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("A\\B"), std::string::npos);
  EXPECT_NE(info.Out.find(std::string(kKyRCreatorCredit)), std::string::npos);
}

// A 30 x 20 picture: left half blue, right half yellow.
TBitmap TwoColourBitmap() {
  TBitmap b(30, 20, pf24bit);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) b.SetPixel(x, y, x < 15 ? clBlue : clYellow);
  return b;
}

TEST(PdfExportTest, LinesAndPicturesAtThePageTopGoOnTheirOwnPage) {
  // Page 2 starts with a line and a picture and has no text at all.
  TPages pages = {{TextPage("first")}, {DrawPage([](TMetafileCanvas& c) {
                    c.MoveTo(10, 0);
                    c.LineTo(300, 0);
                    c.Draw(40, 0, TwoColourBitmap());
                  })}};
  std::string file = ExportPdf(pages, "tops");
  TPdfFile pdf(file);
  std::vector<std::string> contents = pdf.Contents();
  ASSERT_EQ(contents.size(), 2u);
  EXPECT_EQ(contents[0].find(" re"), std::string::npos);
  EXPECT_NE(contents[1].find(" re\r\nB"), std::string::npos) << contents[1];
  // hung from the page's top edge: 1123 - 0 - 20
  EXPECT_NE(contents[1].find("30 0 0 20 40 1103 cm\r\n/Im1 Do"), std::string::npos) << contents[1];
  EXPECT_NE(pdf.Bytes.find("[ /PDF /Text /ImageC ] "), std::string::npos);
  EXPECT_NE(pdf.Bytes.find("/XObject << /Im1 "), std::string::npos);

  SKIP_WITHOUT_PROGRAM("qpdf", "qpdf");
  TProgramRun check = RunProgram("qpdf --check " + Quoted(file));
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
  SKIP_WITHOUT_PROGRAM("pdfimages", "poppler-utils");
  TProgramRun images = RunProgram("pdfimages -list " + Quoted(file));
  EXPECT_TRUE(std::regex_search(images.Out, std::regex("\n +2 +0 +image +30 +20 +rgb +3 +8")))
      << images.Out;
  // the image's pixels come back as drawn
  std::string prefix = TestDir("tops_img") + "/im";
  ASSERT_EQ(
      RunProgram("pdftoppm -r 72 -png -f 2 -l 2 " + Quoted(file) + " " + Quoted(prefix)).Status, 0);
  QImage page(QString::fromStdString(prefix + "-2.png"));
  ASSERT_FALSE(page.isNull());
  EXPECT_EQ(page.pixelColor(45, 10), QColor(0, 0, 255));
  EXPECT_EQ(page.pixelColor(62, 10), QColor(255, 255, 0));
}

TEST(PdfExportTest, ATextThePageCutIsCutAtItsBoxNotDrawnOverTheNextCells) {
  std::string file = ExportPdf({{DrawPage([](TMetafileCanvas& c) {
                                 c.TextRect({100, 200, 160, 220}, 102, 203, std::string(40, 'W'));
                                 c.TextRect({100, 300, 400, 320}, 102, 303, "whole");
                               })}},
                               "clip");
  std::vector<std::string> contents = TPdfFile(file).Contents();
  ASSERT_EQ(contents.size(), 1u);
  // only the cut text gets a clipping path: its box (left 101 + 10, width 59)
  EXPECT_EQ(contents[0].find("q\r\n111 0 59 1123 re W n\r\nBT"), 0u) << contents[0];
  EXPECT_EQ(contents[0].find("q\r\n", 1), std::string::npos);
  SKIP_WITHOUT_PROGRAM("pdftoppm", "poppler-utils");
  std::string prefix = TestDir("clip_img") + "/im";
  ASSERT_EQ(RunProgram("pdftoppm -r 72 -png " + Quoted(file) + " " + Quoted(prefix)).Status, 0);
  QImage page(QString::fromStdString(prefix + "-1.png"));
  ASSERT_FALSE(page.isNull());
  EXPECT_GT(DarkPixels(page.copy(111, 200, 59, 30)), 0);   // the visible part is there
  EXPECT_EQ(DarkPixels(page.copy(171, 190, 500, 50)), 0);  // nothing beyond the box
}

TEST(PdfExportTest, EachSeparateFileHoldsItsOwnPage) {
  TPages pages = {{TextPage("alpha")}, {TextPage("beta")}};
  std::string dir = TestDir("separate");
  TKyRExportToPDF ex;
  RunExport(ex, pages, {1, 2}, dir + "/r.pdf", true);
  std::vector<std::string> first = TPdfFile(dir + "/r0_0.pdf").Contents();
  std::vector<std::string> second = TPdfFile(dir + "/r1_0.pdf").Contents();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_NE(first[0].find("(alpha)"), std::string::npos);
  EXPECT_EQ(first[0].find("(beta)"), std::string::npos);
  EXPECT_NE(second[0].find("(beta)"), std::string::npos);
  // placed on its own page as the first one is on its page
  std::regex td("\r\n(-?[0-9]+ -?[0-9]+) Td");
  std::smatch a, b;
  ASSERT_TRUE(std::regex_search(first[0], a, td));
  ASSERT_TRUE(std::regex_search(second[0], b, td));
  EXPECT_EQ(a[1].str(), b[1].str());
}

TEST(PdfExportTest, PagesWithoutElementsAndExportsWithoutPagesStaySound) {
  SKIP_WITHOUT_PROGRAM("qpdf", "qpdf");
  TPages pages = {{TextPage("one")}, {DrawPage([](TMetafileCanvas&) {})}, {TextPage("three")}};
  std::string file = ExportPdf(pages, "blank");
  EXPECT_EQ(TPdfFile(file).Contents().size(), 3u);  // the blank page keeps its place
  TProgramRun check = RunProgram("qpdf --check " + Quoted(file));
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
  EXPECT_EQ(RunProgram("qpdf --show-npages " + Quoted(file)).Out, "3\n");

  std::string none = TestDir("none") + "/none.pdf";
  TKyRExportToPDF ex;
  RunExport(ex, pages, {7}, none, false);  // a page list that selects nothing
  check = RunProgram("qpdf --check " + Quoted(none));
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
}

// A random cross-tab of 3 pages of 2 bars, pages 1 and 3 exported: every
// cell text comes back on the page it was drawn on, and the file is sound.
TEST(PdfExportTest, ARandomGridComesBackCellByCellOnTheRightPages) {
  SKIP_WITHOUT_PROGRAM("qpdf", "qpdf");
  SKIP_WITHOUT_PROGRAM("pdftotext", "poppler-utils");
  std::mt19937 rng(2107);
  const std::string signs = "()\\/%<>[]{}#";
  TPages pages;
  std::vector<std::vector<std::string>> texts;  // per page
  for (int p = 0; p < 3; ++p) {
    pages.emplace_back();
    texts.emplace_back();
    for (int b = 0; b < 2; ++b) {
      TGrid grid(30, std::vector<std::string>(6));
      for (int r = 0; r < 30; ++r)
        for (int k = 0; k < 6; ++k) {
          std::string t = "p" + std::to_string(p + 1) + "b" + std::to_string(b) + "r" +
                          std::to_string(r) + "c" + std::to_string(k);
          t += signs[rng() % signs.size()];
          if (rng() % 5 == 0) t += "\xC3\xA9";  // é
          grid[size_t(r)][size_t(k)] = t;
          texts.back().push_back(t);
        }
      pages.back().push_back(
          DrawGridPage(grid, {30, 40, 120, 24, TFont("Arial", -11, 0, clBlack), clWhite}));
    }
  }
  std::string file = ExportPdf(pages, "random", {1, 3});
  TProgramRun check = RunProgram("qpdf --check " + Quoted(file));
  EXPECT_EQ(check.Status, 0) << check.Out << check.Err;
  EXPECT_EQ(check.Err, "");
  TProgramRun text = RunProgram("pdftotext -layout -enc UTF-8 " + Quoted(file) + " -");
  ASSERT_EQ(text.Status, 0) << text.Err;
  std::vector<std::string> byPage = SplitString(text.Out, '\f');
  ASSERT_GE(byPage.size(), 2u);
  EXPECT_TRUE(byPage.size() == 2 || IsBlankText(byPage[2]));
  for (const std::string& t : texts[0]) EXPECT_NE(byPage[0].find(t), std::string::npos) << t;
  for (const std::string& t : texts[2]) EXPECT_NE(byPage[1].find(t), std::string::npos) << t;
  for (const std::string& t : texts[1]) EXPECT_EQ(text.Out.find(t), std::string::npos) << t;
}

}  // namespace
}  // namespace hy
