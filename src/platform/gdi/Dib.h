// The device-independent bitmap form: a BITMAPINFOHEADER, a colour table and
// the pixel rows (bottom-up, each padded to 4 bytes), as metafiles, BMP
// files and the exports carry it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QImage>

namespace hy {

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t kBitmapInfoHeaderSize = 40;
constexpr int32_t kPelsPerMeter96 = 3780;  // 96 pixels per inch

struct TDib {
  std::vector<uint8_t> Info;  // BITMAPINFOHEADER + colour table
  std::vector<uint8_t> Bits;  // pixel rows, bottom-up
};

// Bytes of one padded row.
constexpr uint64_t DibStride(uint64_t width, uint64_t bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

// Encodes `image` with 1, 4, 8, 16 (5-5-5), 24 or 32 bits per pixel. Indexed
// images keep their colour table when it fits; others are reduced (1 bit:
// black and white by threshold; 4 bits: the 16 standard colours; 8 bits: a
// palette of the image's colours).
TDib EncodeDib(const QImage& image, int bitCount);

// Decodes a DIB whose header and colour table are `info` and whose rows are
// `bits`. Throws EBitmapError on anything unsound (sizes, unsupported
// compression, rows running past the data). 1-bit images come back as
// Format_Mono, 4 and 8 bits as Format_Indexed8, the rest as Format_RGB32.
QImage DecodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
                 int* bitCount = nullptr);

// A packed DIB: header, colour table and rows in one block.
QImage DecodePackedDib(const uint8_t* data, size_t size, int* bitCount = nullptr);
std::vector<uint8_t> PackDib(const TDib& dib);

// The 16 standard colours (black, maroon, green, ..., white) as Qt colours.
const QVector<QRgb>& StandardPalette16();

}  // namespace hy
