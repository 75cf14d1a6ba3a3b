// Recording a page and reading it back through the enumerator and the typed
// views; header fields; object handles; saving and loading; drawing one
// picture into another; the reader's errors on damaged data.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "SamplePage.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace emf;

std::vector<TEmfRecord> Records(const TMetafile& m) {
  std::vector<TEmfRecord> out;
  EnumerateMetafile(m, [&](const TEmfRecord& r) { out.push_back(r); });
  return out;
}

std::vector<TEmrExtTextOut> Texts(const TMetafile& m) {
  std::vector<TEmrExtTextOut> out;
  EnumerateMetafile(m, [&](const TEmfRecord& r) {
    if (r.Type == EMR_EXTTEXTOUTW) out.push_back(ReadExtTextOut(r));
  });
  return out;
}

class SamplePageTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { page_ = new test::TSamplePage(test::RecordSamplePage()); }
  static void TearDownTestSuite() { delete page_; }
  static test::TSamplePage* page_;
  const TMetafile& Pic() { return page_->Picture; }
};
test::TSamplePage* SamplePageTest::page_ = nullptr;

TEST_F(SamplePageTest, RecordsAreExactlyTheOnesDrawn) {
  std::vector<uint32_t> types;
  for (const TEmfRecord& r : Records(Pic())) types.push_back(r.Type);
  const std::vector<uint32_t> expected = {
      EMR_HEADER,
      // bold red text, transparent
      EMR_EXTCREATEFONTINDIRECTW, EMR_SELECTOBJECT, EMR_SETTEXTCOLOR, EMR_SETBKMODE,
      EMR_EXTTEXTOUTW,
      // italic blue title on yellow
      EMR_EXTCREATEFONTINDIRECTW, EMR_SELECTOBJECT, EMR_DELETEOBJECT, EMR_SETTEXTCOLOR,
      EMR_SETBKCOLOR, EMR_SETBKMODE, EMR_EXTTEXTOUTW,
      // line
      EMR_CREATEPEN, EMR_SELECTOBJECT, EMR_MOVETOEX, EMR_LINETO,
      // rectangle: new pen and a first brush
      EMR_CREATEPEN, EMR_SELECTOBJECT, EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT, EMR_RECTANGLE,
      // fill
      EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT, EMR_BITBLT,
      // ellipse
      EMR_CREATEPEN, EMR_SELECTOBJECT, EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT, EMR_ELLIPSE,
      // bitmap twice
      EMR_STRETCHDIBITS, EMR_STRETCHDIBITS,
      // word-broken paragraph: three lines
      EMR_EXTCREATEFONTINDIRECTW, EMR_SELECTOBJECT, EMR_DELETEOBJECT, EMR_SETTEXTCOLOR,
      EMR_SETBKCOLOR, EMR_EXTTEXTOUTW, EMR_EXTTEXTOUTW, EMR_EXTTEXTOUTW, EMR_EOF};
  EXPECT_EQ(types, expected);
}

TEST_F(SamplePageTest, HeaderDescribesThePicture) {
  TEmfHeader h = Pic().Header();
  const std::vector<uint8_t>& d = Pic().Data();
  EXPECT_EQ(h.Signature, ENHMETA_SIGNATURE);
  EXPECT_EQ(h.Version, 0x10000u);
  EXPECT_EQ(h.Bytes, d.size());
  EXPECT_EQ(h.Records, Records(Pic()).size());
  EXPECT_EQ(h.Handles, 9);  // pens and brushes stay alive for reuse, a replaced font is deleted
  EXPECT_EQ(h.Frame, (TRect{0, 0, PixelsToHiMetric(600), PixelsToHiMetric(400)}));
  EXPECT_EQ(PixelsToHiMetric(600), 15875);  // 600 px at 96 per inch = 158.75 mm
  EXPECT_EQ(h.Device, (TSize{1920, 1440}));
  EXPECT_EQ(h.Millimeters, (TSize{508, 381}));
  EXPECT_EQ(h.Micrometers, (TSize{508000, 381000}));
  EXPECT_EQ(h.Creator(), "HyCube tests");
  EXPECT_EQ(h.Title(), "Sample page");
  EXPECT_EQ(h.Bounds.Left, 10);
  EXPECT_EQ(h.Bounds.Right, 590);
  EXPECT_EQ(h.Bounds.Top, 10 + (40 - TextHeight(TFont("Times New Roman", -20, fsItalic))) / 2);
  EXPECT_EQ(Pic().Width(), 600);
  EXPECT_EQ(Pic().Height(), 400);
  // every record keeps the format's 4-byte alignment
  for (const TEmfRecord& r : Records(Pic())) EXPECT_EQ(r.Size % 4, 0u);
  // the description sits right after the 108-byte header
  EXPECT_EQ(le::U32(d.data() + 64), 108u);
}

TEST_F(SamplePageTest, TextRecordsCarryStringsBoxesAndAdvances) {
  std::vector<TEmrExtTextOut> texts = Texts(Pic());
  ASSERT_EQ(texts.size(), page_->Texts.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i].Text(), page_->Texts[i]);

  TTextMetrics bold(TFont("Arial", -16, fsBold));
  int32_t w = bold.TextWidth(std::string_view("Hello Report"));
  EXPECT_EQ(texts[0].Bounds, (TRect{20, 20, 20 + w - 1, 20 + bold.LineHeight() - 1}));
  EXPECT_EQ(texts[0].Reference, (TPoint{20, 20}));
  EXPECT_EQ(texts[0].Options, 0u);
  int32_t sum = 0;
  for (uint32_t i = 0; i < texts[0].Chars; ++i) sum += texts[0].Dx(i);
  EXPECT_EQ(sum, w);

  TTextMetrics italic(TFont("Times New Roman", -20, fsItalic));
  int32_t tw = italic.TextWidth(std::string_view("Centred title"));
  int32_t x = 300 + (280 - tw) / 2, y = 10 + (40 - italic.LineHeight()) / 2;
  EXPECT_EQ(texts[1].Bounds, (TRect{x, y, x + tw - 1, y + italic.LineHeight() - 1}));
  EXPECT_EQ(texts[1].Options, ETO_CLIPPED);
  EXPECT_EQ(texts[1].Rect, (TRect{300, 10, 580, 50}));

  TTextMetrics mono(TFont("Courier New", -13));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(texts[2 + i].Bounds.Left, 20);
    EXPECT_EQ(texts[2 + i].Bounds.Top, 220 + i * mono.LineHeight());
  }
  EXPECT_NEAR(texts[0].ExScale, 26.4583f, 1e-3);
  EXPECT_EQ(texts[0].GraphicsMode, GM_COMPATIBLE);
}

TEST_F(SamplePageTest, FontColourShapeAndBitmapRecords) {
  std::vector<std::string> faces;
  std::vector<TColor> textColours;
  std::vector<TRect> boxes;
  std::vector<TEmrStretchDIBits> dibs;
  TEmrBitBlt fill;
  EnumerateMetafile(Pic(), [&](const TEmfRecord& r) {
    switch (r.Type) {
      case EMR_EXTCREATEFONTINDIRECTW: {
        TEmrCreateFont f = ReadCreateFont(r);
        faces.push_back(f.LogFont.FaceName);
        if (f.LogFont.FaceName == "Arial") {
          EXPECT_EQ(f.LogFont.Height, -16);
          EXPECT_EQ(f.LogFont.Weight, 700);
          EXPECT_EQ(f.LogFont.ToFont(clRed), TFont("Arial", -16, fsBold, clRed));
        }
        if (f.LogFont.FaceName == "Times New Roman") {
          EXPECT_EQ(f.LogFont.Italic, 1);
        }
        EXPECT_EQ(r.Size, 332u);  // the logical font with its panose part
        break;
      }
      case EMR_SETTEXTCOLOR: textColours.push_back(ReadColor(r)); break;
      case EMR_RECTANGLE:
      case EMR_ELLIPSE: boxes.push_back(ReadBox(r)); break;
      case EMR_BITBLT: fill = ReadBitBlt(r); break;
      case EMR_STRETCHDIBITS: dibs.push_back(ReadStretchDIBits(r)); break;
      default: break;
    }
  });
  EXPECT_EQ(faces, (std::vector<std::string>{"Arial", "Times New Roman", "Courier New"}));
  EXPECT_EQ(textColours, (std::vector<TColor>{clRed, clBlue, clBlack}));
  EXPECT_EQ(boxes, (std::vector<TRect>{{20, 120, 220, 200}, {240, 120, 290, 200}}));
  EXPECT_FALSE(fill.HasSource());
  EXPECT_EQ(fill.Rop, PATCOPY);
  EXPECT_EQ((TRect{fill.XDest, fill.YDest, fill.CxDest, fill.CyDest}), (TRect{300, 120, 100, 80}));
  EXPECT_EQ(fill.Bounds, (TRect{300, 120, 399, 199}));
  ASSERT_EQ(dibs.size(), 2u);
  EXPECT_EQ((TRect{dibs[1].XDest, dibs[1].YDest, dibs[1].CxDest, dibs[1].CyDest}),
            (TRect{450, 250, 80, 60}));
  EXPECT_EQ(dibs[1].CxSrc, 40);
  EXPECT_EQ(dibs[1].Rop, SRCCOPY);
  TBitmap decoded;
  decoded.LoadFromDib(dibs[0].Source.Info, dibs[0].Source.InfoSize, dibs[0].Source.Bits,
                      dibs[0].Source.BitsSize);
  TBitmap original = test::SampleBitmap();
  for (int y = 0; y < 30; y += 7)
    for (int x = 0; x < 40; x += 3) EXPECT_EQ(decoded.Pixel(x, y), original.Pixel(x, y));
}

TEST_F(SamplePageTest, SaveAndLoadAreByteIdentical) {
  std::string path = (std::filesystem::temp_directory_path() / "hy_gdi_sample.emf").string();
  Pic().SaveToFile(path);
  TMetafile loaded;
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.Data(), Pic().Data());
  EXPECT_EQ(loaded.Width(), 600);
  EXPECT_EQ(loaded.Height(), 400);
  std::filesystem::remove(path);

  // pictures back to back in one stream, as the prepared report file keeps them
  std::stringstream ss;
  Pic().SaveToStream(ss);
  Pic().SaveToStream(ss);
  ss << "tail";
  TMetafile a, b;
  a.LoadFromStream(ss);
  b.LoadFromStream(ss);
  EXPECT_EQ(a.Data(), Pic().Data());
  EXPECT_EQ(b.Data(), Pic().Data());
  std::string rest;
  ss >> rest;
  EXPECT_EQ(rest, "tail");

  std::string cut =
      std::string(reinterpret_cast<const char*>(Pic().Data().data()), Pic().Data().size() - 10);
  std::stringstream truncated(cut);
  TMetafile c;
  EXPECT_THROW(c.LoadFromStream(truncated), EEmfError);
  EXPECT_TRUE(c.Empty());
}

TEST_F(SamplePageTest, ChangingTheSizeRewritesTheFrame) {
  TMetafile copy = Pic();
  copy.SetWidth(300);
  EXPECT_EQ(copy.Header().Frame.Right, PixelsToHiMetric(300));
  EXPECT_EQ(copy.Width(), 300);
  EXPECT_EQ(Records(copy).size(), Records(Pic()).size());
}

TEST(MetafileCanvas, PensAndBrushesAreReusedFontsAnnouncedAndHandlesStayFew) {
  test::EnsureApp();
  TMetafile m;
  {
    TMetafileCanvas c(m);
    for (int i = 0; i < 200; ++i) {
      c.SetFont(TFont(i % 2 ? "Arial" : "Courier New", -10));  // two fonts, taken in turn
      c.Pen().SetWidth(1 + i % 3);                             // three pens
      c.Brush().SetColor(RGBColor(uint8_t(i), 0, 0));          // a new brush every time
      c.TextOut(0, i, "x");
      c.Rectangle(0, 0, 10, 10);
    }
  }
  const uint16_t handles = m.Header().Handles;
  EXPECT_LE(handles, 11);  // four alive pens, four brushes, one font, one being replaced
  std::map<uint32_t, uint32_t> alive;     // handle -> creating record type
  std::map<uint32_t, uint32_t> selected;  // creating record type -> selected handle
  int fonts = 0, pens = 0, brushes = 0;
  EnumerateMetafile(m, [&](const TEmfRecord& r) {
    if (r.Type == EMR_CREATEPEN || r.Type == EMR_CREATEBRUSHINDIRECT ||
        r.Type == EMR_EXTCREATEFONTINDIRECTW) {
      uint32_t h = ReadValue(r);
      EXPECT_TRUE(alive.emplace(h, r.Type).second) << "handle " << h << " created twice";
      EXPECT_LT(h, handles);
      fonts += r.Type == EMR_EXTCREATEFONTINDIRECTW;
      pens += r.Type == EMR_CREATEPEN;
      brushes += r.Type == EMR_CREATEBRUSHINDIRECT;
    } else if (r.Type == EMR_SELECTOBJECT) {
      uint32_t h = ReadValue(r);
      if (h & STOCK_OBJECT) return;
      ASSERT_TRUE(alive.count(h)) << "selecting a deleted handle " << h;
      selected[alive[h]] = h;
    } else if (r.Type == EMR_DELETEOBJECT) {
      uint32_t h = ReadValue(r);
      ASSERT_TRUE(alive.count(h));
      EXPECT_NE(selected[alive[h]], h) << "deleting the selected object";
      alive.erase(h);
    }
  });
  EXPECT_EQ(fonts, 200);  // every change of font is announced by its creation record
  EXPECT_EQ(pens, 3);
  EXPECT_EQ(brushes, 200);
  EXPECT_LE(alive.size(), 9u);
}

TEST(MetafileCanvas, TextVariantsAndMeasuring) {
  test::EnsureApp();
  TMetafile m;
  m.SetWidth(200);
  m.SetHeight(100);
  TMetafileCanvas c(m);
  c.SetFont(TFont("Arial", -12));
  c.TextOut(5, 5, "");  // nothing to draw, nothing recorded
  TRect calc{0, 0, 50, 0};
  int32_t h = c.DrawText("one two three four", calc, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(h, calc.Height());
  EXPECT_GT(h, c.TextHeight("Wg"));
  EXPECT_EQ(c.RecordCount(), 1u);  // measuring writes nothing
  c.Brush().SetColor(clSilver);
  c.TextRect({10, 10, 60, 30}, 12, 12, "clipped text that is long");
  TRect below{0, 80, 100, 90};
  c.DrawText("line one\nline two is clipped away", below, DT_LEFT);
  c.Close();
  EXPECT_THROW(c.LineTo(1, 1), EGdiError);
  std::vector<TEmrExtTextOut> texts = Texts(m);
  ASSERT_EQ(texts.size(), 2u);  // the second DrawText line lies wholly outside its rectangle
  EXPECT_EQ(texts[0].Options, ETO_CLIPPED | ETO_OPAQUE);
  EXPECT_EQ(texts[0].Bounds, (TRect{10, 10, 59, 29}));  // the filled rectangle
  EXPECT_EQ(texts[1].Text(), "line one");
}

TEST_F(SamplePageTest, DrawingAPictureIntoAnotherMovesAndScalesIt) {
  TMetafile outer;
  outer.SetWidth(1200);
  outer.SetHeight(800);
  {
    TMetafileCanvas c(outer);
    c.SetFont(TFont("Arial", -30, 0, clGreen));
    c.TextOut(0, 700, "own text");
    c.StretchDraw({100, 50, 400, 250}, Pic());  // half size
    c.TextOut(0, 740, "after");
  }
  std::vector<TEmrExtTextOut> texts = Texts(outer);
  ASSERT_EQ(texts.size(), page_->Texts.size() + 2);
  for (size_t i = 0; i < page_->Texts.size(); ++i) EXPECT_EQ(texts[i + 1].Text(), page_->Texts[i]);
  EXPECT_EQ(texts[1].Reference, (TPoint{110, 60}));
  EXPECT_EQ(texts[1].Bounds.Left, 110);
  EXPECT_EQ(texts[1].Bounds.Top, 60);
  std::vector<TEmrExtTextOut> inner = Texts(Pic());
  EXPECT_NEAR(texts[1].Bounds.Right - texts[1].Bounds.Left,
              (inner[0].Bounds.Right - inner[0].Bounds.Left) / 2, 1);

  int depth = 0, maxDepth = 0;
  std::vector<int32_t> heights;
  EnumerateMetafile(outer, [&](const TEmfRecord& r) {
    if (r.Type == EMR_SAVEDC) maxDepth = std::max(maxDepth, ++depth);
    if (r.Type == EMR_RESTOREDC) depth += int32_t(ReadValue(r));
    if (r.Type == EMR_EXTCREATEFONTINDIRECTW) heights.push_back(ReadCreateFont(r).LogFont.Height);
    if (r.Type == EMR_RECTANGLE) {
      EXPECT_EQ(ReadBox(r), (TRect{110, 110, 210, 150}));
    }
  });
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(heights, (std::vector<int32_t>{-30, -8, -10, -7}));  // -13 / 2 rounds away from zero
  EXPECT_LE(outer.Header().Handles, 16);
  // the text after the inserted picture is still in its own font and colour
  EXPECT_EQ(texts.back().Text(), "after");
}

TEST(EmfReader, RejectsDamagedPicturesBeforeTheFirstRecord) {
  test::TSamplePage page = test::RecordSamplePage();
  const std::vector<uint8_t> good = page.Picture.Data();
  std::vector<TEmfRecord> recs;
  EnumerateMetafile(page.Picture, [&](const TEmfRecord& r) { recs.push_back(r); });
  auto fails = [&](std::vector<uint8_t> bytes, const std::string& fragment) {
    int seen = 0;
    try {
      EnumerateMetafile(bytes.data(), bytes.size(), [&](const TEmfRecord&) { ++seen; });
    } catch (const EEmfError& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
      EXPECT_EQ(seen, 0);
      return;
    }
    ADD_FAILURE() << "no error for " << fragment;
  };
  auto patch = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    le::TWriter(b).PatchU32(at, v);
  };

  fails({'B', 'M', 0, 0}, "not an enhanced metafile");
  std::vector<uint8_t> b = good;
  patch(b, 40, 0x12345678);  // signature
  fails(b, "not an enhanced metafile");
  b = good;
  b.resize(good.size() - 4);  // shorter than the header says
  fails(b, "announces");
  b = good;
  patch(b, recs[5].Offset + 4, 0x7FFFFFF0);  // a size running past the end
  fails(b, "runs past the end");
  b = good;
  size_t rect = 0;
  for (const TEmfRecord& r : recs)
    if (r.Type == EMR_RECTANGLE) rect = r.Offset;
  patch(b, rect + 4, 16);  // smaller than a rectangle's fixed part
  fails(b, "smaller than its 24-byte header");
  b = good;
  patch(b, recs[3].Offset + 4, 6);  // smaller than any record
  fails(b, "has size 6");
  b = good;
  patch(b, recs.back().Offset, EMR_GDICOMMENT);  // no end record
  fails(b, "no end record");

  // a text record whose string lies outside it passes the chain check; its view refuses it
  b = good;
  size_t text = 0;
  for (const TEmfRecord& r : recs)
    if (r.Type == EMR_EXTTEXTOUTW) text = r.Offset;
  patch(b, text + 44, 100000);  // nChars
  bool threw = false;
  EnumerateMetafile(b.data(), b.size(), [&](const TEmfRecord& r) {
    if (r.Offset == text) {
      EXPECT_THROW(ReadExtTextOut(r), EEmfError);
      threw = true;
    }
  });
  EXPECT_TRUE(threw);

  TMetafile keep = page.Picture;
  b = good;
  b.resize(100);
  EXPECT_THROW(keep.SetData(b), EEmfError);
  EXPECT_EQ(keep.Data(), good);  // the old picture stays
}

}  // namespace
}  // namespace hy
