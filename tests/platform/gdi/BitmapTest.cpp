#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "SamplePage.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/GdiTypes.h"

namespace hy {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

class DibRoundTrip : public ::testing::TestWithParam<TPixelFormat> {};

TEST_P(DibRoundTrip, HeaderRowsAndPixelsSurviveBothWays) {
  TPixelFormat format = GetParam();
  const int bits = BitsPerPixel(format);
  TBitmap bmp = test::SampleBitmap(pf24bit);
  if (bits == 1) {
    // black and white only: white top row, black elsewhere
    for (int x = 0; x < 40; ++x) bmp.SetPixel(x, 0, clWhite);
    for (int y = 1; y < 30; ++y)
      for (int x = 0; x < 40; ++x) bmp.SetPixel(x, y, clBlack);
  }
  bmp.SetPixelFormat(format);
  TDib dib = bmp.ToDib();

  // BITMAPINFOHEADER as the published form lays it out
  ASSERT_GE(dib.Info.size(), 40u);
  EXPECT_EQ(U32(dib.Info, 0), 40u);
  EXPECT_EQ(U32(dib.Info, 4), 40u);
  EXPECT_EQ(U32(dib.Info, 8), 30u);  // bottom-up
  EXPECT_EQ(dib.Info[14] | (dib.Info[15] << 8), bits);
  EXPECT_EQ(U32(dib.Info, 16), 0u);  // uncompressed
  const size_t stride = ((40 * bits + 31) / 32) * 4;
  EXPECT_EQ(dib.Bits.size(), stride * 30);
  EXPECT_EQ(U32(dib.Info, 20), stride * 30);
  size_t colours = U32(dib.Info, 32);
  EXPECT_EQ(dib.Info.size(), 40 + 4 * colours);
  if (bits <= 8) EXPECT_LE(colours, size_t(1) << bits);
  else EXPECT_EQ(colours, 0u);

  // the top row is the last row of the data; read its first pixel independently
  const uint8_t* top = dib.Bits.data() + stride * 29;
  auto paletteColour = [&](unsigned index) {
    const uint8_t* e = dib.Info.data() + 40 + 4 * index;
    return RGBColor(e[2], e[1], e[0]);
  };
  TColor topLeft;
  switch (bits) {
    case 1: topLeft = paletteColour(top[0] >> 7); break;
    case 4: topLeft = paletteColour(top[0] >> 4); break;
    case 8: topLeft = paletteColour(top[0]); break;
    default: topLeft = RGBColor(top[2], top[1], top[0]); break;
  }
  EXPECT_EQ(topLeft, bits == 1 ? clWhite : clLime);
  const uint8_t* bottom = dib.Bits.data();  // row 29 of the picture
  if (bits == 24) {
    EXPECT_EQ(RGBColor(bottom[2], bottom[1], bottom[0]), clRed);
    EXPECT_EQ(RGBColor(bottom[3 * 39 + 2], bottom[3 * 39 + 1], bottom[3 * 39]), clBlue);
  }
  if (bits == 32) {
    EXPECT_EQ(RGBColor(bottom[4 * 39 + 2], bottom[4 * 39 + 1], bottom[4 * 39]), clBlue);
  }

  // and back
  TBitmap back;
  back.LoadFromDib(dib.Info.data(), dib.Info.size(), dib.Bits.data(), dib.Bits.size());
  EXPECT_EQ(back.PixelFormat(), format);
  ASSERT_EQ(back.Width(), 40);
  ASSERT_EQ(back.Height(), 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(back.Pixel(x, y), bmp.Pixel(x, y)) << x << "," << y;
  TDib again = back.ToDib();
  EXPECT_EQ(again.Info, dib.Info);
  EXPECT_EQ(again.Bits, dib.Bits);
}

INSTANTIATE_TEST_SUITE_P(AllDepths, DibRoundTrip,
                         ::testing::Values(pf1bit, pf4bit, pf8bit, pf24bit, pf32bit));

TEST(Dib, ConversionsKeepTheColoursTheFormatCanHold) {
  for (TPixelFormat f : {pf4bit, pf8bit, pf15bit, pf24bit, pf32bit}) {
    TBitmap bmp = test::SampleBitmap(f);
    EXPECT_EQ(bmp.Pixel(0, 0), clLime) << int(f);
    EXPECT_EQ(bmp.Pixel(5, 10), clRed) << int(f);
    EXPECT_EQ(bmp.Pixel(30, 10), clBlue) << int(f);
  }
  TBitmap mono = test::SampleBitmap(pf1bit);
  EXPECT_TRUE(mono.Monochrome());
  EXPECT_EQ(mono.Palette().size(), 2u);
}

// Hand-made DIBs of the forms other programs write.
TEST(Dib, DecodesTopDownBitfieldsAndCoreHeaders) {
  // 2 x 2, 8 bits, top-down, two palette entries
  std::vector<uint8_t> info(40 + 8, 0);
  info[0] = 40, info[4] = 2;
  int32_t h = -2;
  std::memcpy(&info[8], &h, 4);
  info[12] = 1, info[14] = 8, info[32] = 2;
  info[40] = 0xFF;                                       // entry 0: blue
  info[44 + 2] = 0xFF;                                   // entry 1: red
  std::vector<uint8_t> bits = {0, 1, 0, 0, 1, 0, 0, 0};  // rows of 4 bytes
  QImage img = DecodeDib(info.data(), info.size(), bits.data(), bits.size());
  EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(img.pixel(1, 0), qRgb(255, 0, 0));
  EXPECT_EQ(img.pixel(0, 1), qRgb(255, 0, 0));

  // 1 x 1, 16 bits 5-6-5 through colour masks after the header
  std::vector<uint8_t> bf(52, 0);
  bf[0] = 40, bf[4] = 1, bf[8] = 1, bf[12] = 1, bf[14] = 16, bf[16] = 3;
  uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  std::memcpy(&bf[40], masks, 12);
  std::vector<uint8_t> px = {0xE0, 0x07, 0, 0};  // pure green
  EXPECT_EQ(DecodeDib(bf.data(), bf.size(), px.data(), px.size()).pixel(0, 0), qRgb(0, 255, 0));

  // 16 bits without masks is 5-5-5
  bf[16] = 0;
  px = {0x00, 0x7C, 0, 0};  // pure red
  EXPECT_EQ(DecodeDib(bf.data(), 40, px.data(), px.size()).pixel(0, 0), qRgb(255, 0, 0));

  // the 12-byte core header with 3-byte colour entries
  std::vector<uint8_t> core = {12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0x10, 0x20, 0x30};
  std::vector<uint8_t> one = {0x80, 0, 0, 0};  // the first pixel takes the second entry
  EXPECT_EQ(DecodePackedDib(
                [&] {
                  std::vector<uint8_t> all = core;
                  all.insert(all.end(), one.begin(), one.end());
                  return all;
                }()
                    .data(),
                core.size() + one.size())
                .pixel(0, 0),
            qRgb(0x30, 0x20, 0x10));
}

TEST(Dib, RejectsUnsoundData) {
  TDib dib = test::SampleBitmap(pf24bit).ToDib();
  auto decode = [&](std::vector<uint8_t> info, size_t bitsSize) {
    return DecodeDib(info.data(), info.size(), dib.Bits.data(), bitsSize);
  };
  EXPECT_THROW(decode(dib.Info, dib.Bits.size() - 1), EBitmapError);  // rows run past the data
  std::vector<uint8_t> bad = dib.Info;
  bad[4] = 0;  // width 0
  EXPECT_THROW(decode(bad, dib.Bits.size()), EBitmapError);
  bad = dib.Info;
  bad[14] = 7;  // 7 bits per pixel
  EXPECT_THROW(decode(bad, dib.Bits.size()), EBitmapError);
  bad = dib.Info;
  bad[16] = 1;  // run-length compression
  EXPECT_THROW(decode(bad, dib.Bits.size()), EBitmapError);
  bad = dib.Info;
  bad[7] = 0x7F;  // absurd width
  EXPECT_THROW(decode(bad, dib.Bits.size()), EBitmapError);
  bad = dib.Info;
  bad[0] = 20;  // unknown header size
  EXPECT_THROW(decode(bad, dib.Bits.size()), EBitmapError);
  TDib pal = test::SampleBitmap(pf8bit).ToDib();
  std::vector<uint8_t> cut(pal.Info.begin(), pal.Info.end() - 4);  // colour table cut short
  EXPECT_THROW(DecodeDib(cut.data(), cut.size(), pal.Bits.data(), pal.Bits.size()), EBitmapError);
}

TEST(Bitmap, BmpFileRoundTripAndSize) {
  TBitmap bmp = test::SampleBitmap(pf8bit);
  std::stringstream ss;
  bmp.SaveToStream(ss);
  std::string bytes = ss.str();
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  uint32_t fileSize = 0, offBits = 0;
  std::memcpy(&fileSize, bytes.data() + 2, 4);
  std::memcpy(&offBits, bytes.data() + 10, 4);
  EXPECT_EQ(fileSize, bytes.size());
  EXPECT_EQ(offBits, 14 + bmp.ToDib().Info.size());
  TBitmap back;
  back.LoadFromStream(ss);
  EXPECT_EQ(back.Pixel(30, 20), clBlue);
  EXPECT_EQ(back.PixelFormat(), pf8bit);

  std::string path = (std::filesystem::temp_directory_path() / "hy_gdi_bitmap_test.bmp").string();
  bmp.SaveToFile(path);
  TBitmap fromFile;
  fromFile.LoadFromFile(path);
  EXPECT_EQ(fromFile.ToPackedDib(), bmp.ToPackedDib());
  std::filesystem::remove(path);

  std::stringstream junk("BMnot really a bitmap file at all, no");
  EXPECT_THROW(back.LoadFromStream(junk), EBitmapError);
  bmp.SetSize(50, 10);  // keeps the top-left part, new pixels white
  EXPECT_EQ(bmp.Pixel(5, 5), clRed);
  EXPECT_EQ(bmp.Pixel(45, 5), clWhite);
}

}  // namespace
}  // namespace hy
