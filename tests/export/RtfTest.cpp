// The RTF document: its table layout, fonts and colours, escaping, pictures,
// and the temporary body file that never outlives an export.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>
#include <filesystem>

#include "ExportTestSupport.h"
#include "common/ScopeGuard.h"
#include "export/KyRExportAttributes.h"
#include "export/KyRExportRtf.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::string ExportRtf(const TMetafile& page, const std::string& dir = TestDir("rtf")) {
  TKyRExportToRTF ex;
  RunExport(ex, {{page}}, {1}, dir + "/r.rtf", false);
  return ReadFileBytes(dir + "/r.rtf");
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + what.size())) ++n;
  return n;
}

std::vector<int32_t> CellBoundaries(const std::string& rtf) {
  std::vector<int32_t> out;
  for (size_t i = rtf.find("\\cellx"); i != std::string::npos; i = rtf.find("\\cellx", i + 1))
    out.push_back(std::stoi(rtf.substr(i + 6)));
  return out;
}

TEST(RtfExportTest, EveryColumnHasItsBoundaryTheLastAtItsWidestText) {
  TGrid grid = {{"a", "b", "c"}, {"d", "", "a wider text"}};
  TMetafile page = DrawGridPage(grid);
  // where the capture puts the texts
  TKyRExportAttributes capture;
  capture.BeginExport();
  capture.ProcessPicture(page);
  int32_t widest = 0;
  std::vector<int32_t> lefts;
  for (const TKyRERecord& e : capture.Records()) {
    if (e.Top < capture.Records()[0].Top + 5) lefts.push_back(e.Left);
    if (e.Text == "a wider text") widest = e.Left + e.Width;
  }
  ASSERT_EQ(lefts.size(), 3u);

  std::string rtf = ExportRtf(page);
  EXPECT_EQ(CellBoundaries(rtf),
            (std::vector<int32_t>{RtfTwips(lefts[1]), RtfTwips(lefts[2]), RtfTwips(widest)}));
  EXPECT_EQ(
      Count(rtf, "\\clbrdrl\\brdrth \\clbrdrr\\brdrth \\clbrdrt\\brdrth \\clbrdrb\\brdrth \\cellx"),
      3u);
  EXPECT_EQ(Count(rtf, " \\cell "), 6u);
  EXPECT_EQ(Count(rtf, "\\row\r\n"), 2u);
  // the empty cell: the paragraph codes alone
  EXPECT_NE(rtf.find("{\\f0\\fs20\\cf1 d} \\cell \\pard\\intbl\\li30\\ri30 \\cell \\pard"),
            std::string::npos)
      << rtf;
  EXPECT_EQ(rtf.substr(rtf.size() - 10), "\\pard\\par}");
  EXPECT_EQ(RtfTwips(10), 144);
  EXPECT_EQ(RtfTwips(7), 100);  // 100.8 truncated
}

TEST(RtfExportTest, FontsStylesAndColoursNumberedByFirstUse) {
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.SetFont(TFont("Arial", -13, fsBold, clBlack));  // 10 pt
    c.TextOut(100, 20, "Bold");
    c.SetFont(TFont("Arial", -13, 0, clWhite));
    c.TextOut(100, 50, "White");
    c.SetFont(TFont("Courier New", -16, fsItalic | fsUnderline | fsBold, clRed));  // 12 pt
    c.TextOut(100, 80, "Red");
    c.SetFont(TFont("Arial", -13, 0, clWindowText));  // a system colour: black
    c.TextOut(100, 110, "Sys");
  });
  std::string rtf = ExportRtf(page);
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\uc1\r\n"
                      "{\\fonttbl{\\f0 Arial}{\\f1 Courier New}}\r\n"
                      "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
                      "{\\info{\\operator " +
                          std::string(kKyRCreatorCredit) + "}}\r\n{\\header \\pard\\plain {" +
                          std::string(kKyRCreatorCredit) +
                          " \\par }}\r\n\\par\r\n\\trowd\\trql\\trgaph0\\trleft36\r\n",
                      0),
            0u)
      << rtf;
  EXPECT_NE(rtf.find("{\\f0\\fs20\\b\\cf1 Bold}"), std::string::npos);
  EXPECT_NE(rtf.find("{\\f0\\fs20 White}"), std::string::npos);
  EXPECT_NE(rtf.find("{\\f1\\fs24\\i\\b\\ul\\cf2 Red}"), std::string::npos);
  EXPECT_NE(rtf.find("{\\f0\\fs20\\cf1 Sys}"), std::string::npos);
}

TEST(RtfExportTest, AlignmentCodes) {
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.SetTextAlign(2);  // right
    c.TextOut(100, 20, "r");
    c.SetTextAlign(6);  // centre
    c.TextOut(100, 50, "c");
    c.SetTextAlign(0);
    c.TextOut(100, 80, "l");
  });
  std::string rtf = ExportRtf(page);
  EXPECT_NE(rtf.find("\\ri30\\qr{\\f0\\fs20\\cf1 r}"), std::string::npos);
  EXPECT_NE(rtf.find("\\ri30\\qc{\\f0\\fs20\\cf1 c}"), std::string::npos);
  EXPECT_NE(rtf.find("\\ri30{\\f0\\fs20\\cf1 l}"), std::string::npos);
}

TEST(RtfExportTest, TextIsEscapedAndCharactersBeyondTheCodePageAreUnicode) {
  auto rtf = [](std::string_view s) {
    std::string out;
    AppendRtfText(out, s);
    return out;
  };
  EXPECT_EQ(rtf("a\\b{c}d"), "a\\\\b\\{c\\}d");
  EXPECT_EQ(rtf("20\xC2\xB0 \xE2\x82\xAC"), "20\xB0 \x80");     // ° € in the code page
  EXPECT_EQ(rtf("\xCE\xA9\xE2\x89\xA0"), "\\u937?\\u8800?");    // Ω ≠
  EXPECT_EQ(rtf("\xEF\xBF\xBD"), "\\u-3?");                     // U+FFFD: signed
  EXPECT_EQ(rtf("\xF0\x9F\x98\x80!"), "\\u-10179?\\u-8704?!");  // a surrogate pair
  EXPECT_EQ(rtf("a\tb\r\nc\x01"), "a\\tab b\\line c");

  // in a document, the face names too
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.SetFont(TFont("Odd{Face}", -13, 0, clBlack));
    c.TextOut(100, 20, "{x}");
  });
  std::string doc = ExportRtf(page);
  EXPECT_NE(doc.find("{\\f0 Odd\\{Face\\}}"), std::string::npos);
  EXPECT_NE(doc.find("\\cf1 \\{x\\}}"), std::string::npos);
  EXPECT_EQ(Count(doc, "{") - Count(doc, "\\{"), Count(doc, "}") - Count(doc, "\\}"));
}

TEST(RtfExportTest, LongFontTablesAreBrokenIntoLines) {
  std::vector<std::string> faces;
  for (int i = 0; i < 30; ++i)
    faces.push_back("Face number " + std::to_string(i) + " with a long name");
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    for (size_t i = 0; i < faces.size(); ++i) {
      c.SetFont(TFont(faces[i], -13, 0, TColor(i)));
      c.TextOut(100, 20 + 20 * int32_t(i), "t");
    }
  });
  std::string rtf = ExportRtf(page);
  std::string tables = rtf.substr(0, rtf.find("{\\info"));
  std::string joined;
  for (size_t start = 0; start < tables.size();) {
    size_t end = tables.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(end - start, 255u);
    joined += tables.substr(start, end - start);
    start = end + 2;
  }
  std::string expected = "{\\rtf1\\ansi\\ansicpg1252\\uc1{\\fonttbl";
  for (size_t i = 0; i < faces.size(); ++i)
    expected += "{\\f" + std::to_string(i) + " " + faces[i] + "}";
  expected += "}{\\colortbl;";
  for (size_t i = 0; i < faces.size(); ++i)
    expected += "\\red" + std::to_string(i) + "\\green0\\blue0;";
  EXPECT_EQ(joined, expected + "}");
}

TEST(RtfExportTest, PicturesAreHexadecimalDeviceIndependentBitmaps) {
  TBitmap bmp(10, 6, pf24bit);
  bmp.Fill(clBlue);
  bmp.SetPixel(0, 0, clRed);
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    c.TextOut(100, 20, "a");
    c.Draw(100, 60, bmp);
  });
  std::string rtf = ExportRtf(page);
  size_t at = rtf.find("{\\pict\\dibitmap ");
  ASSERT_NE(at, std::string::npos);
  at += 16;
  size_t end = rtf.find(" }", at);
  std::string hex = rtf.substr(at, end - at);
  ASSERT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
  std::vector<uint8_t> dib;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    dib.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
  TBitmap back;
  back.LoadFromPackedDib(dib.data(), dib.size());
  EXPECT_EQ(back.Width(), 10);
  EXPECT_EQ(back.Height(), 6);
  EXPECT_EQ(back.Pixel(0, 0), clRed);
  EXPECT_EQ(back.Pixel(5, 3), clBlue);
  EXPECT_EQ(rtf.substr(end, 9), " } \\cell ");
}

TEST(RtfExportTest, TheBodyFileGoesOnSuccessAndOnFailure) {
  std::string dir = TestDir("rtfbody");
  ExportRtf(DrawGridPage({{"a", "b"}}), dir);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);

  // a body larger than the files may grow: the write fails half way
  TBitmap big(700, 500, pf24bit);
  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    c.TextOut(10, 10, "a");
    c.Draw(10, 40, big);
  });
  fs::remove(dir + "/r.rtf");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  {
    rlimit small = old;
    small.rlim_cur = 256 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    auto restore = ScopeExit([&] {
      setrlimit(RLIMIT_FSIZE, &old);
      std::signal(SIGXFSZ, oldSignal);
    });
    EXPECT_THROW(ExportRtf(page, dir), EKyRExportError);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 0);
  ExportRtf(page, dir);  // the same export within the limits
  EXPECT_GT(fs::file_size(dir + "/r.rtf"), 2u * 700 * 500 * 3);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}

}  // namespace
}  // namespace hy
