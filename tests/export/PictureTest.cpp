// The picture exports: the surface of all pages matches the pages as the
// player draws them, the TIFF file's exact form, and what tiffinfo and
// ImageMagick read back; surfaces too large are refused before anything is
// made.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <QPainter>

#include "ExportTestSupport.h"
#include "ReaderSupport.h"
#include "export/KyRExportPicture.h"
#include "export/KyRTiff.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/MetafileCanvas.h"
#include "platform/gdi/WmfWriter.h"

namespace hy {
namespace {

using namespace test;
namespace fs = std::filesystem;

using TPages = std::vector<std::vector<TMetafile>>;

// Page p (1-based) of a report: a coloured band, a frame, its number and a
// few cells, so that two pages never look alike.
TMetafile NumberedPage(int p) {
  return DrawPage([p](TMetafileCanvas& c) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(p % 2 ? clSkyBlue : clMoneyGreen);
    c.FillRect({40, 40 + 30 * p, 500, 90 + 30 * p});
    c.Brush().SetStyle(bsClear);
    c.Rectangle(20, 20, 774, 1103);
    c.SetFont(TFont("Arial", -24, fsBold, clMaroon));
    c.TextOut(60, 50 + 30 * p, "Page " + std::to_string(p));
    c.SetFont(TFont("Arial", -13, 0, clBlack));
    for (int r = 0; r < 10; ++r) c.TextOut(60, 300 + 20 * r, "cell " + std::to_string(r * p));
  });
}

// The page pictures as the player draws them, one under another.
QImage Expected(const TPages& pages, const std::vector<int>& selected) {
  QImage all(kPageW * int(pages[0].size()), kPageH * int(pages.size()), QImage::Format_RGB32);
  all.fill(Qt::white);
  QPainter painter(&all);
  for (int p : selected)
    for (size_t b = 0; b < pages[size_t(p - 1)].size(); ++b)
      painter.drawImage(int(b) * kPageW, (p - 1) * kPageH, RenderMetafile(pages[size_t(p - 1)][b]));
  return all;
}

// At most one pixel in a thousand differs (anti-aliased edges).
void ExpectSamePicture(const QImage& expected, const QImage& actual) {
  ASSERT_FALSE(actual.isNull());
  EXPECT_EQ(actual.size(), expected.size());
  EXPECT_LE(DifferentPixels(expected, actual), long(expected.width()) * expected.height() / 1000);
}

uint16_t U16At(const std::string& b, size_t at) {
  return le::U16(reinterpret_cast<const uint8_t*>(b.data()) + at);
}
uint32_t U32At(const std::string& b, size_t at) {
  return le::U32(reinterpret_cast<const uint8_t*>(b.data()) + at);
}

struct TTiffTag {
  uint16_t Type = 0;
  uint32_t Count = 0;
  uint32_t Value = 0;
};

// The entries of the first directory, by tag.
std::map<uint16_t, TTiffTag> TiffTags(const std::string& b) {
  std::map<uint16_t, TTiffTag> tags;
  uint32_t dir = U32At(b, 4);
  uint16_t n = U16At(b, dir);
  for (uint16_t i = 0; i < n; ++i) {
    size_t e = dir + 2 + 12u * i;
    TTiffTag t{U16At(b, e + 2), U32At(b, e + 4), 0};
    t.Value = t.Type == 3 && t.Count == 1 ? U16At(b, e + 8) : U32At(b, e + 8);
    tags[U16At(b, e)] = t;
  }
  EXPECT_EQ(U32At(b, dir + 2 + 12u * n), 0u) << "a second directory";
  return tags;
}

// Runs tiffinfo and ImageMagick on a TIFF file: no warning, the size right.
void ExpectReadersRead(const std::string& file, int width, int height) {
  if (HaveProgram("tiffinfo")) {
    TProgramRun info = RunProgram("tiffinfo " + Quoted(file));
    EXPECT_EQ(info.Status, 0);
    EXPECT_EQ(info.Err, "") << "tiffinfo warns";
    EXPECT_NE(info.Out.find("Image Width: " + std::to_string(width) +
                            " Image Length: " + std::to_string(height)),
              std::string::npos)
        << info.Out;
  }
  if (HaveProgram("identify")) {
    TProgramRun id = RunProgram("identify -ping -format '%w x %h' " + Quoted(file));
    EXPECT_EQ(id.Status, 0) << id.Err;
    EXPECT_EQ(id.Out, std::to_string(width) + " x " + std::to_string(height));
  }
}

TEST(PictureExportTest, TwoPagesOfOneBarGiveOnePictureWithPageOneOnTop) {
  TPages pages = {{NumberedPage(1)}, {NumberedPage(2)}};
  std::string dir = TestDir("two_pages");
  TKyRExportToBMP bmp;
  RunExport(bmp, pages, {1, 2}, dir + "/r.bmp", false);
  EXPECT_EQ(bmp.Bitmap(), nullptr);  // released after the save
  TBitmap read;
  read.LoadFromFile(dir + "/r.bmp");
  EXPECT_EQ(read.Width(), kPageW);
  EXPECT_EQ(read.Height(), 2 * kPageH);
  ExpectSamePicture(Expected(pages, {1, 2}), read.ToRgbImage());
  SKIP_WITHOUT_PROGRAM("identify", "imagemagick");
  EXPECT_EQ(RunProgram("identify -format '%w x %h' " + Quoted(dir + "/r.bmp")).Out, "794 x 2246");
}

TEST(PictureExportTest, BarsLieSideBySideAndUnselectedPagesStayWhite) {
  TPages pages = {{NumberedPage(1), NumberedPage(2)},
                  {NumberedPage(3), NumberedPage(4)},
                  {NumberedPage(5), NumberedPage(6)}};
  std::string dir = TestDir("bars");
  TKyRExportToTIFF tiff;
  RunExport(tiff, pages, {1, 3}, dir + "/r.tif", false);
  ExpectReadersRead(dir + "/r.tif", 2 * kPageW, 2 * kPageH);
  SKIP_WITHOUT_PROGRAM("convert", "imagemagick");
  // two selected pages make two page heights; page 3 lies at its own
  // place, beyond the surface, as the positions follow the page index
  QImage expected = Expected(pages, {1}).copy(0, 0, 2 * kPageW, 2 * kPageH);
  ExpectSamePicture(expected, ReadWithMagick(dir + "/r.tif"));
}

// A driver that sizes the export only with each picture, after BeginExport.
TEST(PictureExportTest, SizesGivenWithEachPictureMakeTheSameSurface) {
  TPages pages = {{NumberedPage(1)}, {NumberedPage(2)}};
  std::string dir = TestDir("late_sizes");
  for (bool separate : {false, true}) {
    TKyRExportToBMP bmp;
    bmp.BeginExport();
    for (int p = 0; p < 2; ++p) {
      bmp.SetPageWidth(kPageW), bmp.SetPageHeight(kPageH);
      bmp.SetTotalWidth(kPageW), bmp.SetTotalHeight(separate ? kPageH : 2 * kPageH);
      bmp.SetOffsetY(separate ? 0 : p * kPageH);
      bmp.StartPage(p, 0);
      bmp.EndPage(pages[size_t(p)][0]);
      if (separate) bmp.SaveToFile(SeparateFileName(dir + "/r.bmp", p, 0));
    }
    if (!separate) bmp.SaveToFile(dir + "/r.bmp");
    bmp.EndExport();
    if (separate) {
      for (int p = 0; p < 2; ++p) {
        TBitmap read;
        read.LoadFromFile(SeparateFileName(dir + "/r.bmp", p, 0));
        ExpectSamePicture(RenderMetafile(pages[size_t(p)][0]), read.ToRgbImage());
      }
    } else {
      TBitmap read;
      read.LoadFromFile(dir + "/r.bmp");
      ExpectSamePicture(Expected(pages, {1, 2}), read.ToRgbImage());
    }
  }
}

TEST(PictureExportTest, SeparateFilesEachHoldTheirPictureWithTheSameSettings) {
  TPages pages = {{NumberedPage(1)}, {NumberedPage(2)}};
  std::string dir = TestDir("separate");
  TKyRExportToBMP bmp;
  bmp.SetPixelFormat(pf8bit);
  RunExport(bmp, pages, {1, 2}, dir + "/r.bmp", true);
  for (int p = 0; p < 2; ++p) {
    TBitmap read;
    read.LoadFromFile(dir + "/r" + std::to_string(p) + "_0.bmp");
    EXPECT_EQ(read.PixelFormat(), pf8bit);
    ExpectSamePicture(RenderMetafile(pages[size_t(p)][0]), read.ToRgbImage());
  }
}

TEST(PictureExportTest, ATrueColourTiffHasItsStripAfterTheFixedPartsAndEvenOffsets) {
  TMetafile small;
  small.SetWidth(100);
  small.SetHeight(50);
  {
    TMetafileCanvas c(small);
    c.Brush().SetColor(clRed);
    c.FillRect({10, 10, 60, 30});
  }
  std::string dir = TestDir("tiff_rgb");
  TKyRExportToTIFF tiff;
  tiff.SetPixelFormat(pf24bit);
  tiff.SetPageWidth(100), tiff.SetPageHeight(50), tiff.SetTotalWidth(100), tiff.SetTotalHeight(50);
  tiff.BeginExport();
  tiff.StartPage(0, 0);
  tiff.EndPage(small);
  tiff.SaveToFile(dir + "/small.tif");
  tiff.EndExport();

  std::string b = ReadFileBytes(dir + "/small.tif");
  ASSERT_EQ(b.substr(0, 4), std::string("II*\0", 4));
  auto tags = TiffTags(b);
  EXPECT_EQ(tags[279].Value, 15000u);
  // header, two resolutions, bits per sample and the software text with its
  // null byte (41 bytes), then one byte to keep the strip on an even offset
  EXPECT_EQ(tags[273].Value, 42u);
  EXPECT_EQ(tags[305].Count, 11u);
  EXPECT_EQ(b.substr(tags[305].Value, 11), std::string("Tavel soft\0", 11));
  EXPECT_EQ(U32At(b, tags[282].Value), 877u);
  EXPECT_EQ(U32At(b, tags[282].Value + 4), 10u);
  EXPECT_EQ(tags[256].Value, 100u);
  EXPECT_EQ(tags[257].Value, 50u);
  EXPECT_EQ(tags[262].Value, 2u);
  EXPECT_EQ(U32At(b, 4) % 2, 0u);
  // the pixel at (10, 10) is red, (9, 10) white
  size_t at = 42 + (10 * 100 + 10) * 3;
  EXPECT_EQ(b.substr(at, 3), std::string("\xFF\0\0", 3));
  EXPECT_EQ(b.substr(at - 3, 3), "\xFF\xFF\xFF");
  ExpectReadersRead(dir + "/small.tif", 100, 50);
}

TEST(PictureExportTest, OddSizedPalettedAndMonochromeTiffsAreReadWithoutWarnings) {
  TPages pages = {{NumberedPage(1)}};
  std::string dir = TestDir("tiff_forms");
  struct TCase {
    const char* Name;
    TPixelFormat Format;
    bool Mono;
    int Photometric;
    int Bits;
  };
  for (TCase c : {TCase{"rgb", pfDevice, false, 2, 8}, TCase{"pal8", pf8bit, false, 3, 8},
                  TCase{"pal4", pf4bit, false, 3, 4}, TCase{"mono", pfDevice, true, 0, 1}}) {
    SCOPED_TRACE(c.Name);
    TKyRExportToTIFF tiff;
    tiff.SetPixelFormat(c.Format);
    tiff.SetMonochrome(c.Mono);
    std::string file = dir + "/" + c.Name + ".tif";
    RunExport(tiff, pages, {1}, file, false);
    std::string b = ReadFileBytes(file);
    ASSERT_GT(b.size(), 1000u) << "an empty file";
    auto tags = TiffTags(b);
    if (c.Mono) {  // which of the two is black follows the bitmap's colour table
      EXPECT_LE(tags[262].Value, 1u);
    } else {
      EXPECT_EQ(tags[262].Value, uint32_t(c.Photometric));
    }
    if (c.Photometric != 2) {
      EXPECT_EQ(tags[258].Value, uint32_t(c.Bits));
    }
    for (uint16_t tag : {273, 282, 283, 305}) EXPECT_EQ(tags[tag].Value % 2, 0u) << tag;
    EXPECT_EQ(U32At(b, 4) % 2, 0u);
    if (c.Photometric == 3) {
      EXPECT_EQ(tags[320].Count, 3u << c.Bits);
    }
    ExpectReadersRead(file, kPageW, kPageH);  // 794 x 1123 x 3 is odd
    if (!HaveProgram("convert")) continue;
    QImage read = ReadWithMagick(file);
    QImage expected = RenderMetafile(pages[0][0]);
    if (c.Mono) {
      // black stays black, white white; colours fall to either side
      TBitmap mono(expected);
      mono.SetMonochrome(true);
      expected = mono.ToRgbImage();
    }
    ExpectSamePicture(expected, read);
  }
}

TEST(PictureExportTest, APictureTallerThan65535PixelsKeepsItsSize) {
  // 60 narrow pages of 16 x 1200 units: 72,000 rows
  std::vector<std::vector<TMetafile>> pages;
  for (int p = 0; p < 60; ++p) {
    TMetafile m;
    m.SetWidth(16);
    m.SetHeight(1200);
    TMetafileCanvas c(m);
    c.Brush().SetColor(p % 2 ? clBlack : clWhite);
    c.FillRect({0, 0, 16, 1200});
    c.Close();
    pages.push_back({m});
  }
  std::string dir = TestDir("tall");
  TKyRExportToTIFF tiff;
  tiff.SetPageWidth(16), tiff.SetPageHeight(1200), tiff.SetTotalWidth(16),
      tiff.SetTotalHeight(60 * 1200);
  tiff.BeginExport();
  for (int p = 0; p < 60; ++p) {
    tiff.StartPage(p, 0);
    tiff.SetOffsetY(p * 1200);
    tiff.EndPage(pages[size_t(p)][0]);
  }
  tiff.SaveToFile(dir + "/tall.tif");
  tiff.EndExport();
  std::string b = ReadFileBytes(dir + "/tall.tif");
  auto tags = TiffTags(b);
  EXPECT_EQ(tags[257].Type, 4);  // a long
  EXPECT_EQ(tags[257].Value, 72000u);
  EXPECT_EQ(tags[279].Value, 16u * 3 * 72000);
  // the last row belongs to page 60, which is black
  EXPECT_EQ(b.substr(tags[273].Value + tags[279].Value - 3, 3), std::string(3, '\0'));
  ExpectReadersRead(dir + "/tall.tif", 16, 72000);
}

TEST(PictureExportTest, ASurfaceTooLargeIsRefusedBeforeAnythingIsMade) {
  std::string dir = TestDir("too_large");
  for (int kind = 0; kind < 2; ++kind) {
    std::unique_ptr<TKyRExportToBMP> ex =
        kind ? std::make_unique<TKyRExportToTIFF>() : std::make_unique<TKyRExportToBMP>();
    ex->SetPageWidth(kPageW), ex->SetPageHeight(kPageH);
    ex->SetTotalWidth(kPageW), ex->SetTotalHeight(kPageH * 2000);
    try {
      ex->BeginExport();
      FAIL() << "a surface of 2,000 pages was made";
    } catch (const EKyRExportError& e) {
      EXPECT_NE(std::string(e.what()).find("at most 268435456 pixels"), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(ex->Bitmap(), nullptr);
    EXPECT_EQ(ex->Metafile(), nullptr);
  }
  TKyRExportToWMF wmf;
  wmf.SetTotalWidth(kPageW), wmf.SetTotalHeight(kPageH * 30);
  EXPECT_THROW(wmf.BeginExport(), EKyRExportError);
  wmf.SetTotalHeight(kPageH * 29);
  EXPECT_NO_THROW(wmf.BeginExport());
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST(PictureExportTest, TheEnhancedMetafileHoldsEveryPageAtItsPlace) {
  TPages pages = {{NumberedPage(1), NumberedPage(2)}, {NumberedPage(3), NumberedPage(4)}};
  std::string dir = TestDir("emf");
  TKyRExportToEMF emf;
  RunExport(emf, pages, {1, 2}, dir + "/r.emf", false);
  TMetafile read;
  read.LoadFromFile(dir + "/r.emf");
  EXPECT_EQ(read.Width(), 2 * kPageW);
  EXPECT_EQ(read.Height(), 2 * kPageH);
  ExpectSamePicture(Expected(pages, {1, 2}), RenderMetafile(read));

  TKyRExportToWMF wmf;
  RunExport(wmf, pages, {2}, dir + "/r.wmf", true);
  for (int b = 0; b < 2; ++b) {
    std::string bytes = ReadFileBytes(dir + "/r1_" + std::to_string(b) + ".wmf");
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_EQ(U32At(bytes, 0), kWmfPlaceableKey);
    EXPECT_EQ(U16At(bytes, 10), kPageW);  // the placement's right edge
    EXPECT_EQ(U16At(bytes, 12), kPageH);
  }
}

}  // namespace
}  // namespace hy
