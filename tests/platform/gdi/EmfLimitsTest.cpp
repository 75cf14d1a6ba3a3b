// Pictures from outside that once crashed, overflowed or asked for
// unbounded memory: transforms that squeeze text flat, regions of many
// rectangles, page and bitmap sizes beyond reason, sums past 32 bits, and
// files that are no pictures at all.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sstream>

#include <QPainter>

#include "PictureBuilder.h"
#include "SamplePage.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace emf;
using test::TPictureBuilder;

TMetafile Picture(const std::vector<uint8_t>& bytes) {
  TMetafile m;
  m.SetData(bytes);
  return m;
}

int NonWhite(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixel(x, y) != qRgb(255, 255, 255)) ++n;
  return n;
}

// A word in a 20-pixel font at (10, 40) under world transform `xf`.
std::vector<uint8_t> TextUnder(const TXFormFields& xf) {
  return TPictureBuilder()
      .Add(EMR_SETWORLDTRANSFORM, xf)
      .Add(EMR_EXTCREATEFONTINDIRECTW, test::FontFields(-20))
      .Add(EMR_SELECTOBJECT, TValueFields{1})
      .Add(EMR_SETBKMODE, TValueFields{TRANSPARENT})
      .Add(EMR_EXTTEXTOUTW, test::TextFields(10, 40, 5), test::TextTail("Hello"))
      .Finish();
}

TEST(PictureLimits, TextUnderASingularTransformIsSkippedAndRotatedTextStillDraws) {
  test::EnsureApp();
  // Singular (the em's horizontal axis vanishes) and sheared flat: the
  // determinant is 0, yet the vertical axis is 10000 times the em.
  for (TXFormFields xf : {TXFormFields{0, 0, -10000, 1, 0, 0}, TXFormFields{1, 1, 1, 1, 0, 0}}) {
    QImage img = RenderMetafile(Picture(TextUnder(xf)));
    ASSERT_EQ(img.size(), QSize(96, 96));
    EXPECT_EQ(NonWhite(img), 0) << xf.M11 << " " << xf.M12 << " " << xf.M21 << " " << xf.M22;
  }
  // a quarter turn keeps the glyphs' size: they are drawn
  QImage turned = RenderMetafile(Picture(TextUnder({0, 1, -1, 0, 90, 0})));
  EXPECT_GT(NonWhite(turned), 20);
}

// Black over the whole page, through a clip region of `count` squares of
// `side` pixels on a checkerboard.
std::vector<uint8_t> CheckerboardClip(int cellsPerRow, int side, uint32_t count, int pageUnits) {
  std::vector<uint8_t> region;
  le::TWriter w(region);
  TRegionHeaderFields h;
  h.Count = count;
  h.RectBytes = count * 16;
  h.Bounds = {0, 0, cellsPerRow * side, cellsPerRow * side};
  EncodeFields(w, h);
  for (uint32_t i = 0, cell = 0; i < count; ++cell) {
    int row = int(cell) / cellsPerRow, col = int(cell) % cellsPerRow;
    if ((row + col) % 2) continue;
    EncodeFields(w, TBoxFields{{col * side, row * side, (col + 1) * side, (row + 1) * side}});
    ++i;
  }
  TBitBltFields fill;
  fill.XDest = fill.YDest = 0;
  fill.CxDest = fill.CyDest = pageUnits;
  fill.Rop = PATCOPY;
  return TPictureBuilder({0, 0, PixelsToHiMetric(pageUnits), PixelsToHiMetric(pageUnits)})
      .Add(EMR_EXTSELECTCLIPRGN, TClipRegionFields{uint32_t(region.size()), RGN_COPY}, region)
      .Add(EMR_SELECTOBJECT, TValueFields{STOCK_OBJECT | BLACK_BRUSH})
      .Add(EMR_BITBLT, fill)
      .Finish();
}

TEST(PictureLimits, AClipRegionIsExactlyItsRectangles) {
  test::EnsureApp();
  const int cells = 8, side = 12;
  QImage img =
      RenderMetafile(Picture(CheckerboardClip(cells, side, cells * cells / 2, cells * side)));
  for (int row = 0; row < cells; ++row) {
    for (int col = 0; col < cells; ++col) {
      QRgb want = (row + col) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
      // corners and middle of every cell: the region has no seams and no spill
      for (auto [dx, dy] : {std::pair{0, 0}, {side - 1, side - 1}, {side / 2, side / 2}})
        EXPECT_EQ(img.pixel(col * side + dx, row * side + dy), want) << row << "," << col;
    }
  }
}

TEST(PictureLimits, AnImageBeyondTheStatedMaximumIsRefusedBeforeItIsMade) {
  test::EnsureApp();
  // 128 bytes that ask for a page of 20000 x 20000 units
  TMetafile big =
      Picture(TPictureBuilder({0, 0, PixelsToHiMetric(20000), PixelsToHiMetric(20000)}).Finish());
  EXPECT_EQ(big.Width(), 20000);
  try {
    RenderMetafile(big);
    ADD_FAILURE() << "a 400-megapixel image was made";
  } catch (const EGdiError& e) {
    EXPECT_NE(std::string(e.what()).find("20000 x 20000 pixels"), std::string::npos) << e.what();
  }
  EXPECT_NO_THROW(RenderMetafile(big, 0.01));  // 200 x 200

  // a bitmap record stretched to 16384 x 16384 pixels gives no bitmap
  TDib dib = EncodeDib(QImage(1, 1, QImage::Format_RGB32), 24);
  TStretchDIBitsFields f;
  f.CxSrc = f.CySrc = 1;
  f.BmiOffset = RecordSize<TStretchDIBitsFields>();
  f.BmiSize = uint32_t(dib.Info.size());
  f.BitsOffset = f.BmiOffset + f.BmiSize;
  f.BitsSize = uint32_t(dib.Bits.size());
  f.Rop = SRCCOPY;
  std::vector<uint8_t> tail = dib.Info;
  tail.insert(tail.end(), dib.Bits.begin(), dib.Bits.end());
  for (int32_t side : {64, 16384}) {
    f.CxDest = f.CyDest = side;
    std::vector<uint8_t> bytes = TPictureBuilder().Add(EMR_STRETCHDIBITS, f, tail).Finish();
    EnumerateMetafile(bytes.data(), bytes.size(), [&](const TEmfRecord& r) {
      if (r.Type == EMR_STRETCHDIBITS) {
        EXPECT_EQ(BitmapOfRecord(r).Empty(), side > 64) << side;
      }
    });
  }
}

TEST(PictureLimits, APageSizeIsComputedWideAndBoundedWhenRead) {
  TMetafile m;
  auto load = [&m](const std::vector<uint8_t>& bytes) {
    std::stringstream in(std::string(bytes.begin(), bytes.end()));
    m.LoadFromStream(in);
  };
  // right minus left is past 32 bits: the width is computed wide, not wrapped to a negative number
  std::vector<uint8_t> wide = TPictureBuilder({-2147483000, 0, 2147483000, 2540}).Finish();
  EXPECT_GT(ValidateMetafile(wide.data(), wide.size()).FrameWidthPx(), 1e8);
  m.SetData(wide);
  EXPECT_GT(m.Width(), 100000000);
  EXPECT_EQ(m.Height(), 96);
  // read from outside, such a page is refused, and so is an inverted one
  m.Clear();
  for (const std::vector<uint8_t>& bytes : {wide, TPictureBuilder({2540, 0, 0, 2540}).Finish()}) {
    try {
      load(bytes);
      ADD_FAILURE() << "accepted a page " << m.Width() << " units wide";
    } catch (const EEmfError& e) {
      EXPECT_NE(std::string(e.what()).find("frame makes a page of"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(m.Empty());
  }
  load(TPictureBuilder({0, 0, 2540, 2540}).Finish());
  EXPECT_EQ(m.Width(), 96);
}

TEST(PictureLimits, EmbeddingSumsABitmapsOriginAndExtentWide) {
  test::EnsureApp();
  TDib dib = EncodeDib(QImage(1, 1, QImage::Format_RGB32), 24);
  TStretchDIBitsFields f;
  f.XDest = INT32_MAX - 10;
  f.CxDest = 100;  // the right edge lies past the 32-bit range
  f.CyDest = 10;
  f.CxSrc = f.CySrc = 1;
  f.BmiOffset = RecordSize<TStretchDIBitsFields>();
  f.BmiSize = uint32_t(dib.Info.size());
  f.BitsOffset = f.BmiOffset + f.BmiSize;
  f.BitsSize = uint32_t(dib.Bits.size());
  std::vector<uint8_t> tail = dib.Info;
  tail.insert(tail.end(), dib.Bits.begin(), dib.Bits.end());
  TMetafile inner = Picture(TPictureBuilder().Add(EMR_STRETCHDIBITS, f, tail).Finish());
  TMetafile outer;
  {
    TMetafileCanvas c(outer);
    c.Draw(0, 0, inner);
  }
  int seen = 0;
  EnumerateMetafile(outer, [&](const TEmfRecord& r) {
    if (r.Type != EMR_STRETCHDIBITS) return;
    TEmrStretchDIBits d = ReadStretchDIBits(r);
    EXPECT_GE(d.CxDest, 0);  // both edges clamped to the far right, not one wrapped to the far left
    EXPECT_GE(int64_t(d.XDest) + d.CxDest, d.XDest);
    ++seen;
  });
  EXPECT_EQ(seen, 1);
}

TEST(PictureLimits, FilesThatAreNoPicturesAreRefusedWithTheSystemsReason) {
  TMetafile m;
  std::string folder = std::filesystem::temp_directory_path().string();
  try {
    m.LoadFromFile(folder);
    ADD_FAILURE() << "a folder loaded";
  } catch (const EGdiError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read file \"" + folder + "\": Is a directory");
  }
  EXPECT_THROW(m.LoadFromFile(folder + "/no such picture.emf"), EGdiError);
  if (std::filesystem::exists("/dev/zero")) {
    // endless zeros: refused after the header, not read on and on
    EXPECT_THROW(m.LoadFromFile("/dev/zero"), EEmfError);
  }
  // a header that announces more than a picture may have
  std::vector<uint8_t> bytes = TPictureBuilder().Finish();
  le::TWriter(bytes).PatchU32(8 + 40, kMaxPictureBytes + 4);
  std::stringstream in(std::string(bytes.begin(), bytes.end()));
  try {
    m.LoadFromStream(in);
    ADD_FAILURE() << "an oversized picture loaded";
  } catch (const EEmfError& e) {
    EXPECT_NE(std::string(e.what()).find("more than the"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(m.Empty());
}

}  // namespace
}  // namespace hy
