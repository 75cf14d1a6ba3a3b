#include "platform/gdi/Dib.h"

#include <algorithm>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/GdiTypes.h"

namespace hy {

namespace {

constexpr uint64_t kMaxPixels = uint64_t(1) << 26;  // 64 M pixels
constexpr int32_t kMaxSide = 1 << 16;

struct THeader {
  uint32_t headerSize = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
  uint32_t compression = BI_RGB;
  uint32_t clrUsed = 0;
  uint32_t masks[3] = {0, 0, 0};
  bool core = false;  // 12-byte header with 3-byte colour entries
};

THeader ReadHeader(const uint8_t* info, size_t infoSize) {
  THeader h;
  if (!info || infoSize < 12) throw EBitmapError("Bitmap header is missing or too short");
  h.headerSize = le::U32(info);
  if (h.headerSize == 12) {
    h.core = true;
    h.width = le::U16(info + 4);
    h.height = le::U16(info + 6);
    h.bitCount = le::U16(info + 10);
  } else if (h.headerSize >= 40 && h.headerSize <= infoSize) {
    h.width = le::I32(info + 4);
    h.height = le::I32(info + 8);
    h.bitCount = le::U16(info + 14);
    h.compression = le::U32(info + 16);
    h.clrUsed = le::U32(info + 32);
    if (h.compression == BI_BITFIELDS) {
      const uint8_t* m = nullptr;
      if (h.headerSize >= 52) m = info + 40;   // masks inside the larger headers
      else if (infoSize >= 52) m = info + 40;  // masks after the 40-byte header
      if (!m) throw EBitmapError("Bitmap colour masks are missing");
      for (int i = 0; i < 3; ++i) h.masks[i] = le::U32(m + 4 * i);
    }
  } else {
    throw EBitmapError(Format("Bitmap header size %u is not supported", unsigned(h.headerSize)));
  }
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN)
    throw EBitmapError(Format("Bitmap size %d x %d is not valid", h.width, h.height));
  int32_t absH = h.height < 0 ? -h.height : h.height;
  if (h.width > kMaxSide || absH > kMaxSide || uint64_t(h.width) * uint64_t(absH) > kMaxPixels)
    throw EBitmapError(Format("Bitmap size %d x %d is too large", h.width, absH));
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default:
      throw EBitmapError(
          Format("Bitmap with %u bits per pixel is not supported", unsigned(h.bitCount)));
  }
  if (h.compression == BI_BITFIELDS && h.bitCount != 16 && h.bitCount != 32)
    throw EBitmapError("Bitmap colour masks need 16 or 32 bits per pixel");
  if (h.compression != BI_RGB && h.compression != BI_BITFIELDS)
    throw EBitmapError(
        Format("Compressed bitmaps (method %u) are not supported", unsigned(h.compression)));
  return h;
}

// Offset of the colour table within the info block.
size_t TableOffset(const THeader& h) {
  if (h.core) return 12;
  if (h.compression == BI_BITFIELDS && h.headerSize == 40) return 52;
  return h.headerSize;
}

struct TMask {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  uint8_t Get(uint32_t px) const {
    if (!mask) return 0;
    uint32_t v = (px & mask) >> shift;
    if (bits >= 8) return uint8_t(v >> (bits - 8));
    uint32_t max = (1u << bits) - 1;
    return uint8_t((v * 255 + max / 2) / max);
  }
};

TMask MakeMask(uint32_t m) {
  TMask t;
  t.mask = m;
  if (!m) return t;
  while (!((m >> t.shift) & 1)) ++t.shift;
  while (t.shift + t.bits < 32 && ((m >> (t.shift + t.bits)) & 1)) ++t.bits;
  return t;
}

}  // namespace

const QVector<QRgb>& StandardPalette16() {
  static const QVector<QRgb> palette = {
      qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
      qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
      qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
      qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
  return palette;
}

TDib EncodeDib(const QImage& source, int bitCount) {
  if (source.isNull()) throw EBitmapError("Cannot encode an empty bitmap");
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    throw EBitmapError(Format("Bitmap with %d bits per pixel is not supported", bitCount));
  const int w = source.width(), h = source.height();
  QImage img;
  QVector<QRgb> table;
  if (bitCount <= 8) {
    const int maxColors = 1 << bitCount;
    bool indexed = source.format() == QImage::Format_Indexed8 ||
                   source.format() == QImage::Format_Mono ||
                   source.format() == QImage::Format_MonoLSB;
    if (indexed && source.colorCount() <= maxColors) {
      img = source.convertToFormat(QImage::Format_Indexed8);
    } else if (bitCount == 1) {
      img = source.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
                .convertToFormat(QImage::Format_Indexed8);
    } else if (bitCount == 4) {
      img =
          source.convertToFormat(QImage::Format_Indexed8, StandardPalette16(), Qt::ThresholdDither);
    } else {
      img = source.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    }
    table = img.colorTable();
    if (table.size() > maxColors) table.resize(maxColors);
  } else {
    img = source.convertToFormat(QImage::Format_RGB32);
  }

  TDib dib;
  const uint64_t stride = DibStride(uint64_t(w), uint64_t(bitCount));
  le::TWriter hw(dib.Info);
  hw.U32(kBitmapInfoHeaderSize);
  hw.I32(w);
  hw.I32(h);  // positive: bottom-up rows
  hw.U16(1);
  hw.U16(uint16_t(bitCount));
  hw.U32(BI_RGB);
  hw.U32(uint32_t(stride * uint64_t(h)));
  hw.I32(kPelsPerMeter96);
  hw.I32(kPelsPerMeter96);
  hw.U32(uint32_t(table.size()));
  hw.U32(0);
  for (QRgb c : table) {
    hw.U8(uint8_t(qBlue(c)));
    hw.U8(uint8_t(qGreen(c)));
    hw.U8(uint8_t(qRed(c)));
    hw.U8(0);
  }

  dib.Bits.assign(size_t(stride * uint64_t(h)), 0);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = dib.Bits.data() + size_t(stride) * size_t(h - 1 - y);
    const uchar* src = img.constScanLine(y);
    switch (bitCount) {
      case 1:
        for (int x = 0; x < w; ++x)
          if (src[x] & 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
        break;
      case 4:
        for (int x = 0; x < w; ++x) row[x >> 1] |= uint8_t((src[x] & 0x0F) << ((x & 1) ? 0 : 4));
        break;
      case 8: std::copy(src, src + w, row); break;
      case 16: {
        const QRgb* p = reinterpret_cast<const QRgb*>(src);
        for (int x = 0; x < w; ++x) {
          uint16_t v =
              uint16_t(((qRed(p[x]) >> 3) << 10) | ((qGreen(p[x]) >> 3) << 5) | (qBlue(p[x]) >> 3));
          row[2 * x] = uint8_t(v);
          row[2 * x + 1] = uint8_t(v >> 8);
        }
        break;
      }
      case 24: {
        const QRgb* p = reinterpret_cast<const QRgb*>(src);
        for (int x = 0; x < w; ++x) {
          row[3 * x] = uint8_t(qBlue(p[x]));
          row[3 * x + 1] = uint8_t(qGreen(p[x]));
          row[3 * x + 2] = uint8_t(qRed(p[x]));
        }
        break;
      }
      case 32: {
        const QRgb* p = reinterpret_cast<const QRgb*>(src);
        for (int x = 0; x < w; ++x) {
          row[4 * x] = uint8_t(qBlue(p[x]));
          row[4 * x + 1] = uint8_t(qGreen(p[x]));
          row[4 * x + 2] = uint8_t(qRed(p[x]));
          row[4 * x + 3] = 0;
        }
        break;
      }
    }
  }
  return dib;
}

QImage DecodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
                 int* bitCountOut) {
  THeader h = ReadHeader(info, infoSize);
  const int w = h.width;
  const bool topDown = h.height < 0;
  const int absH = topDown ? -h.height : h.height;
  const uint64_t stride = DibStride(uint64_t(w), h.bitCount);
  if (!bits || stride * uint64_t(absH) > bitsSize)
    throw EBitmapError(Format("Bitmap rows run past the end of the data (%llu of %llu bytes)",
                              (unsigned long long)(stride * uint64_t(absH)),
                              (unsigned long long)bitsSize));
  if (bitCountOut) *bitCountOut = h.bitCount;

  QImage img;
  if (h.bitCount <= 8) {
    const size_t maxColors = size_t(1) << h.bitCount;
    size_t n = h.clrUsed ? std::min<size_t>(h.clrUsed, maxColors) : maxColors;
    const size_t entry = h.core ? 3 : 4;
    const size_t off = TableOffset(h);
    if (off > infoSize || n * entry > infoSize - off)
      throw EBitmapError("Bitmap colour table runs past the end of the header");
    // Mono images need both entries; indexed ones get exactly the listed
    // colours, and indexes past them read as entry 0.
    QVector<QRgb> table(int(h.bitCount == 1 ? 2 : n), qRgb(0, 0, 0));
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* e = info + off + i * entry;
      table[int(i)] = qRgb(e[2], e[1], e[0]);
    }
    img = QImage(w, absH, h.bitCount == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
    if (img.isNull()) throw EBitmapError("Not enough memory for the bitmap");
    img.setColorTable(table);
    const unsigned limit = unsigned(table.size());
    for (int y = 0; y < absH; ++y) {
      const uint8_t* row = bits + size_t(stride) * size_t(topDown ? y : absH - 1 - y);
      uchar* dst = img.scanLine(y);
      if (h.bitCount == 1) {
        std::copy(row, row + (w + 7) / 8, dst);
      } else if (h.bitCount == 4) {
        for (int x = 0; x < w; ++x) {
          unsigned v = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
          dst[x] = uchar(v < limit ? v : 0);
        }
      } else {
        for (int x = 0; x < w; ++x) dst[x] = uchar(row[x] < limit ? row[x] : 0);
      }
    }
    return img;
  }

  img = QImage(w, absH, QImage::Format_RGB32);
  if (img.isNull()) throw EBitmapError("Not enough memory for the bitmap");
  TMask masks[3];
  if (h.compression == BI_BITFIELDS) {
    for (int i = 0; i < 3; ++i) masks[i] = MakeMask(h.masks[i]);
  } else if (h.bitCount == 16) {
    masks[0] = MakeMask(0x7C00), masks[1] = MakeMask(0x03E0), masks[2] = MakeMask(0x001F);
  }
  for (int y = 0; y < absH; ++y) {
    const uint8_t* row = bits + size_t(stride) * size_t(topDown ? y : absH - 1 - y);
    QRgb* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
      if (h.bitCount == 24) {
        const uint8_t* p = row + 3 * x;
        dst[x] = qRgb(p[2], p[1], p[0]);
      } else if (h.bitCount == 16) {
        uint32_t v = le::U16(row + 2 * x);
        dst[x] = qRgb(masks[0].Get(v), masks[1].Get(v), masks[2].Get(v));
      } else if (h.compression == BI_BITFIELDS) {
        uint32_t v = le::U32(row + 4 * x);
        dst[x] = qRgb(masks[0].Get(v), masks[1].Get(v), masks[2].Get(v));
      } else {
        const uint8_t* p = row + 4 * x;
        dst[x] = qRgb(p[2], p[1], p[0]);
      }
    }
  }
  return img;
}

QImage DecodePackedDib(const uint8_t* data, size_t size, int* bitCount) {
  THeader h = ReadHeader(data, size);
  size_t infoSize = TableOffset(h);
  if (h.bitCount <= 8) {
    size_t maxColors = size_t(1) << h.bitCount;
    size_t n = h.clrUsed ? std::min<size_t>(h.clrUsed, maxColors) : maxColors;
    infoSize += n * (h.core ? 3 : 4);
  }
  if (infoSize > size) throw EBitmapError("Bitmap colour table runs past the end of the data");
  return DecodeDib(data, infoSize, data + infoSize, size - infoSize, bitCount);
}

std::vector<uint8_t> PackDib(const TDib& dib) {
  std::vector<uint8_t> out;
  out.reserve(dib.Info.size() + dib.Bits.size());
  out.insert(out.end(), dib.Info.begin(), dib.Info.end());
  out.insert(out.end(), dib.Bits.begin(), dib.Bits.end());
  return out;
}

}  // namespace hy
