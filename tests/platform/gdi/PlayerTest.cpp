// Playing pictures onto images and checking the pixels where text, lines,
// shapes, fills and bitmaps must be.
#include <gtest/gtest.h>

#include <QPainter>

#include "SamplePage.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace emf;

TColor At(const QImage& img, int x, int y) { return FromQColor(img.pixelColor(x, y)); }

// Pixels of a box whose colour satisfies `pred`.
template <class Pred>
int Count(const QImage& img, QRect box, Pred pred) {
  int n = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      if (pred(img.pixelColor(x, y))) ++n;
  return n;
}

class PlayerTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { page_ = new test::TSamplePage(test::RecordSamplePage()); }
  static void TearDownTestSuite() { delete page_; }
  static test::TSamplePage* page_;
};
test::TSamplePage* PlayerTest::page_ = nullptr;

TEST_F(PlayerTest, PixelsAtPageSize) {
  QImage img = RenderMetafile(page_->Picture, 1.0);
  ASSERT_EQ(img.size(), QSize(600, 400));
  EXPECT_EQ(At(img, 5, 5), clWhite);
  EXPECT_EQ(At(img, 595, 395), clWhite);
  // line along y = 100
  EXPECT_EQ(At(img, 300, 100), clBlack);
  EXPECT_EQ(At(img, 300, 98), clWhite);
  // rectangle: green outline, aqua inside
  EXPECT_EQ(At(img, 20, 160), clGreen);
  EXPECT_EQ(At(img, 120, 160), clAqua);
  EXPECT_EQ(At(img, 230, 160), clWhite);
  // fill: exactly its rectangle
  EXPECT_EQ(At(img, 300, 120), clRed);
  EXPECT_EQ(At(img, 399, 199), clRed);
  EXPECT_EQ(At(img, 400, 160), clWhite);
  EXPECT_EQ(At(img, 350, 200), clWhite);
  // ellipse: fuchsia middle, white corner of its box
  EXPECT_EQ(At(img, 265, 160), clFuchsia);
  EXPECT_EQ(At(img, 241, 121), clWhite);
  // bitmap at its size and stretched twice
  EXPECT_EQ(At(img, 455, 120), clLime);
  EXPECT_EQ(At(img, 451, 121), clRed);
  EXPECT_EQ(At(img, 480, 140), clBlue);
  EXPECT_EQ(At(img, 460, 270), clRed);
  EXPECT_EQ(At(img, 520, 300), clBlue);
  EXPECT_EQ(At(img, 455, 251), clLime);

  // text: red glyphs on white, blue glyphs on yellow, dark paragraph glyphs
  auto red = [](QColor c) { return c.red() > 150 && c.green() < 100 && c.blue() < 100; };
  auto blue = [](QColor c) { return c.blue() > 150 && c.red() < 100 && c.green() < 100; };
  auto yellow = [](QColor c) { return c.red() == 255 && c.green() == 255 && c.blue() == 0; };
  auto dark = [](QColor c) { return c.red() < 80 && c.green() < 80 && c.blue() < 80; };
  std::vector<TEmrExtTextOut> texts;
  EnumerateMetafile(page_->Picture, [&](const TEmfRecord& r) {
    if (r.Type == EMR_EXTTEXTOUTW) texts.push_back(ReadExtTextOut(r));
  });
  auto box = [&](size_t i) {
    const TRect& b = texts[i].Bounds;
    return QRect(QPoint(b.Left, b.Top), QPoint(b.Right, b.Bottom));
  };
  EXPECT_GT(Count(img, box(0), red), 60);
  EXPECT_EQ(Count(img, box(0).translated(0, 40), red), 0);  // nothing red below it
  EXPECT_GT(Count(img, box(1), blue), 60);
  EXPECT_GT(Count(img, box(1), yellow), 200);  // opaque background behind the title
  for (size_t i = 2; i < 5; ++i) EXPECT_GT(Count(img, box(i), dark), 15) << i;
  EXPECT_EQ(Count(img, QRect(20, 270, 160, 100), dark), 0);  // below the last line
}

TEST_F(PlayerTest, StretchedIntoARectangle) {
  QImage img = RenderMetafile(page_->Picture, 2.0);
  ASSERT_EQ(img.size(), QSize(1200, 800));
  // a one-unit pen is two pixels wide at 200 %, on the rows of its pixel
  EXPECT_EQ(At(img, 600, 199), clWhite);
  EXPECT_EQ(At(img, 600, 200), clBlack);
  EXPECT_EQ(At(img, 600, 201), clBlack);
  EXPECT_EQ(At(img, 600, 202), clWhite);
  EXPECT_EQ(At(img, 700, 320), clRed);
  EXPECT_EQ(At(img, 902, 242), clRed);
  EXPECT_EQ(At(img, 960, 280), clBlue);

  // into an offset rectangle of another image, at half size
  QImage other(500, 400, QImage::Format_RGB32);
  other.fill(Qt::gray);
  {
    QPainter p(&other);
    PlayMetafile(p, page_->Picture, QRectF(50, 50, 300, 200));
  }
  EXPECT_EQ(At(other, 50 + 175, 50 + 80), clRed);
  EXPECT_EQ(At(other, 50 + 60, 50 + 80), clAqua);
  EXPECT_EQ(At(other, 40, 40), RGBColor(160, 160, 164));  // the player paints no background
  EXPECT_EQ(At(other, 60, 60), RGBColor(160, 160, 164));
  EXPECT_EQ(At(other, 50 + 240, 50 + 65), clBlue);
}

// Inserts raw records before the end record and fixes the header's counts.
std::vector<uint8_t> WithRecords(const TMetafile& m,
                                 const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> out = m.Data();
  size_t eof = out.size() - 20;
  size_t added = 0;
  for (const auto& r : records) {
    out.insert(out.begin() + long(eof + added), r.begin(), r.end());
    added += r.size();
  }
  le::TWriter w(out);
  w.PatchU32(48, uint32_t(out.size()));
  w.PatchU32(52, le::U32(out.data() + 52) + uint32_t(records.size()));
  return out;
}

std::vector<uint8_t> Rec(uint32_t type, std::vector<uint32_t> body) {
  std::vector<uint8_t> r;
  le::TWriter w(r);
  w.U32(type);
  w.U32(uint32_t(8 + 4 * body.size()));
  for (uint32_t v : body) w.U32(v);
  return r;
}

TEST_F(PlayerTest, UnknownRecordsAreSkippedAndKnownOnesOfOtherWritersPlay) {
  QImage plain = RenderMetafile(page_->Picture, 1.0);
  TMetafile extended;
  extended.SetData(
      WithRecords(page_->Picture, {Rec(200, {1, 2, 3}), Rec(EMR_GDICOMMENT, {4, 0x12345678})}));
  EXPECT_EQ(RenderMetafile(extended, 1.0), plain);

  // records this system never writes but the player knows: clip, polygon, stock objects
  std::vector<uint8_t> poly;
  le::TWriter w(poly);
  w.U32(EMR_POLYGON16), w.U32(28 + 3 * 4);
  w.U32(500), w.U32(320), w.U32(560), w.U32(380);  // bounds
  w.U32(3);
  w.I16(500), w.I16(320), w.I16(560), w.I16(320), w.I16(500), w.I16(380);
  TMetafile more;
  more.SetData(
      WithRecords(page_->Picture,
                  {Rec(EMR_SELECTOBJECT, {STOCK_OBJECT | BLACK_BRUSH}),
                   Rec(EMR_SELECTOBJECT, {STOCK_OBJECT | NULL_PEN}), poly,
                   Rec(EMR_INTERSECTCLIPRECT, {0, 0, 100, 100}),
                   Rec(EMR_BITBLT, {0, 0, 0,          0, 0, 0, 600, 400, PATCOPY, 0, 0, 0x3F800000,
                                    0, 0, 0x3F800000, 0, 0, 0, 0,   0,   0,       0, 0})}));
  QImage img = RenderMetafile(more, 1.0);
  EXPECT_EQ(At(img, 510, 330), clBlack);  // inside the triangle
  EXPECT_EQ(At(img, 555, 375), clWhite);  // outside it
  EXPECT_EQ(At(img, 50, 50), clBlack);    // the page-wide fill, clipped to 100 x 100
  EXPECT_EQ(At(img, 150, 50), At(plain, 150, 50));
}

TEST_F(PlayerTest, ADamagedRecordDrawsNothingAndTheRestStillPlays) {
  std::vector<uint8_t> bytes = page_->Picture.Data();
  size_t text = 0;
  EnumerateMetafile(page_->Picture, [&](const TEmfRecord& r) {
    if (r.Type == EMR_EXTTEXTOUTW && !text) text = r.Offset;
  });
  le::TWriter(bytes).PatchU32(text + 48, 0x7FFFFFFF);  // string offset far outside
  TMetafile damaged;
  damaged.SetData(bytes);
  QImage img = RenderMetafile(damaged, 1.0);
  EXPECT_EQ(At(img, 350, 160), clRed);
  EXPECT_EQ(At(img, 30, 28), clWhite);  // where "Hello Report" would be
}

TEST_F(PlayerTest, OntoBitmapsOfEveryDepth) {
  for (TPixelFormat f : {pf8bit, pf24bit, pf32bit}) {
    TBitmap bmp(700, 500, f);
    bmp.Fill(clWhite);
    DrawMetafile(bmp, 100, 100, page_->Picture);
    EXPECT_EQ(bmp.PixelFormat(), f);
    EXPECT_EQ(bmp.Pixel(100 + 350, 100 + 160), clRed) << int(f);
    EXPECT_EQ(bmp.Pixel(50, 50), clWhite) << int(f);
  }
}

TEST_F(PlayerTest, ImagesOfBitBlockRecordsForTheExports) {
  std::vector<TBitmap> images;
  EnumerateMetafile(page_->Picture, [&](const TEmfRecord& r) {
    if (r.Type == EMR_STRETCHDIBITS || r.Type == EMR_BITBLT) images.push_back(BitmapOfRecord(r));
  });
  ASSERT_EQ(images.size(), 3u);
  EXPECT_TRUE(images[0].Empty());  // the fill has no source bitmap
  EXPECT_EQ(images[1].Width(), 40);
  EXPECT_EQ(images[2].Width(), 80);  // stretched to its destination
  EXPECT_EQ(images[2].Height(), 60);
  EXPECT_EQ(images[2].PixelFormat(), pf24bit);
  EXPECT_EQ(images[2].Pixel(10, 20), clRed);
  EXPECT_EQ(images[2].Pixel(70, 20), clBlue);
  EXPECT_EQ(images[2].Pixel(70, 0), clLime);
}

TEST(Player, RejectsAnUnsoundPictureWithoutDrawing) {
  QImage img(10, 10, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  std::vector<uint8_t> junk(200, 0x41);
  EXPECT_THROW(PlayMetafile(p, junk.data(), junk.size(), QRectF(0, 0, 10, 10)), EEmfError);
  p.end();
  EXPECT_EQ(img.pixel(5, 5), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace hy
