#include "platform/gdi/Bitmap.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <random>

#include "platform/gdi/Bytes.h"
#include "platform/gdi/GdiTypes.h"

namespace hy {

namespace {

QImage::Format QtFormat(TPixelFormat f) {
  switch (f) {
    case pf1bit: return QImage::Format_Mono;
    case pf4bit:
    case pf8bit: return QImage::Format_Indexed8;
    case pf15bit: return QImage::Format_RGB555;
    case pf16bit: return QImage::Format_RGB16;
    case pf24bit: return QImage::Format_RGB888;
    default: return QImage::Format_RGB32;
  }
}

TColor FromQRgb(QRgb c) {
  return RGBColor(uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)));
}
QRgb ToQRgb(TColor c) {
  TColor rgb = ColorToRGB(c);
  return qRgb(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

int Distance(QRgb a, QRgb b) {
  int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
  return dr * dr + dg * dg + db * db;
}

}  // namespace

int BitsPerPixel(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

TPixelFormat PixelFormatForBits(int bits) {
  switch (bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 15: return pf15bit;
    case 16: return pf15bit;  // the DIB's plain 16-bit form is 5-5-5
    case 24: return pf24bit;
    default: return pf32bit;
  }
}

TBitmap::TBitmap(int32_t width, int32_t height, TPixelFormat format) : format_(format) {
  SetSize(width, height);
}

TBitmap::TBitmap(QImage image) {
  switch (image.depth()) {
    case 1:
      format_ = pf1bit;
      image = image.convertToFormat(QImage::Format_Mono);
      break;
    case 8:
      format_ = pf8bit;
      image = image.convertToFormat(QImage::Format_Indexed8);
      break;
    case 16:
      format_ = pf15bit;
      image = image.convertToFormat(QImage::Format_RGB555);
      break;
    case 24:
      format_ = pf24bit;
      image = image.convertToFormat(QImage::Format_RGB888);
      break;
    default:
      format_ = pf32bit;
      image = image.convertToFormat(QImage::Format_RGB32);
      break;
  }
  image_ = std::move(image);
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) {
    image_ = QImage();
    return;
  }
  if (width == Width() && height == Height()) return;
  QImage next(width, height, QtFormat(format_));
  if (next.isNull())
    throw EBitmapError(Format("Cannot make a bitmap of %d x %d pixels", width, height));
  if (format_ == pf1bit) {
    next.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    next.fill(1);
  } else if (format_ == pf4bit || format_ == pf8bit) {
    QVector<QRgb> table = image_.isNull() ? StandardPalette16() : image_.colorTable();
    int white = table.indexOf(qRgb(255, 255, 255));
    if (white < 0) {
      table.push_back(qRgb(255, 255, 255));
      white = int(table.size()) - 1;
    }
    next.setColorTable(table);
    next.fill(uint(white));
  } else {
    next.fill(Qt::white);
  }
  if (!image_.isNull()) {
    int w = std::min(width, Width()), h = std::min(height, Height());
    for (int y = 0; y < h; ++y) {
      const uchar* src = image_.constScanLine(y);
      uchar* dst = next.scanLine(y);
      std::copy(src, src + (w * image_.depth() + 7) / 8, dst);
    }
  }
  image_ = std::move(next);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  TPixelFormat old = format_;
  format_ = format;
  if (image_.isNull()) return;
  switch (format) {
    case pf1bit: image_ = image_.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither); break;
    case pf4bit:
      if (old == pf1bit ||
          (image_.format() == QImage::Format_Indexed8 && image_.colorCount() <= 16))
        image_ = image_.convertToFormat(QImage::Format_Indexed8);
      else
        image_ = image_.convertToFormat(QImage::Format_Indexed8, StandardPalette16(),
                                        Qt::ThresholdDither);
      break;
    case pf8bit:
      image_ = image_.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
      break;
    default: image_ = image_.convertToFormat(QtFormat(format)); break;
  }
}

TColor TBitmap::Pixel(int32_t x, int32_t y) const {
  if (!image_.valid(x, y)) return clNone;
  return FromQRgb(image_.pixel(x, y));
}

void TBitmap::SetPixel(int32_t x, int32_t y, TColor color) {
  if (!image_.valid(x, y)) return;
  QRgb c = ToQRgb(color);
  if (image_.format() == QImage::Format_Mono || image_.format() == QImage::Format_Indexed8) {
    QVector<QRgb> table = image_.colorTable();
    int index = table.indexOf(c);
    int maxColors = format_ == pf1bit ? 2 : format_ == pf4bit ? 16 : 256;
    if (index < 0 && table.size() < maxColors) {
      table.push_back(c);
      image_.setColorTable(table);
      index = int(table.size()) - 1;
    }
    if (index < 0) {
      index = 0;
      for (int i = 1; i < table.size(); ++i)
        if (Distance(table[i], c) < Distance(table[index], c)) index = i;
    }
    image_.setPixel(x, y, uint(index));
  } else {
    image_.setPixel(x, y, c);
  }
}

void TBitmap::Fill(TColor color) {
  if (image_.isNull()) return;
  if (image_.format() == QImage::Format_Mono || image_.format() == QImage::Format_Indexed8) {
    SetPixel(0, 0, color);
    image_.fill(uint(image_.pixelIndex(0, 0)));
  } else {
    image_.fill(QColor::fromRgb(ToQRgb(color)));
  }
}

std::vector<TColor> TBitmap::Palette() const {
  std::vector<TColor> out;
  for (QRgb c : image_.colorTable()) out.push_back(FromQRgb(c));
  return out;
}

void TBitmap::SetMonochrome(bool mono) {
  if (mono) SetPixelFormat(pf1bit);
  else if (format_ == pf1bit) SetPixelFormat(pfDevice);
}

TColor TBitmap::TransparentColor() const {
  if (transparentMode_ == tmFixed || image_.isNull()) return transparentColor_;
  return Pixel(0, Height() - 1);
}

QImage TBitmap::ToRgbImage() const { return image_.convertToFormat(QImage::Format_RGB32); }

TDib TBitmap::ToDib() const { return EncodeDib(image_, BitsPerPixel(format_)); }

std::vector<uint8_t> TBitmap::ToPackedDib() const { return PackDib(ToDib()); }

void TBitmap::AdoptImage(QImage image, int bitCount) {
  format_ = PixelFormatForBits(bitCount);
  if (format_ == pf15bit) image = image.convertToFormat(QImage::Format_RGB555);
  else if (format_ == pf24bit) image = image.convertToFormat(QImage::Format_RGB888);
  image_ = std::move(image);
}

void TBitmap::LoadFromDib(const uint8_t* info, size_t infoSize, const uint8_t* bits,
                          size_t bitsSize) {
  int bitCount = 0;
  QImage image = DecodeDib(info, infoSize, bits, bitsSize, &bitCount);
  AdoptImage(std::move(image), bitCount);
}

void TBitmap::LoadFromPackedDib(const uint8_t* data, size_t size) {
  int bitCount = 0;
  QImage image = DecodePackedDib(data, size, &bitCount);
  AdoptImage(std::move(image), bitCount);
}

namespace {

std::vector<uint8_t> BmpFileBytes(const TDib& dib) {
  std::vector<uint8_t> bytes;
  le::TWriter w(bytes);
  uint32_t offBits = uint32_t(14 + dib.Info.size());
  w.U8('B');
  w.U8('M');
  w.U32(uint32_t(offBits + dib.Bits.size()));
  w.U32(0);
  w.U32(offBits);
  w.Bytes(dib.Info.data(), dib.Info.size());
  w.Bytes(dib.Bits.data(), dib.Bits.size());
  return bytes;
}

}  // namespace

void TBitmap::SaveToStream(std::ostream& out) const {
  if (image_.isNull()) throw EBitmapError("Cannot save an empty bitmap");
  std::vector<uint8_t> bytes = BmpFileBytes(ToDib());
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw EGdiError("Cannot write the bitmap");
}

void TBitmap::SaveToFile(const std::string& fileName) const {
  if (image_.isNull()) throw EBitmapError("Cannot save an empty bitmap");
  WriteFileAtomically(fileName, BmpFileBytes(ToDib()));
}

void TBitmap::LoadFromStream(std::istream& in) {
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (bytes.size() < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M')
    throw EBitmapError("The data is not a bitmap file");
  uint32_t offBits = le::U32(bytes.data() + 10);
  uint32_t headerSize = le::U32(bytes.data() + 14);
  if (offBits < 14 + 12 || offBits > bytes.size() || headerSize > bytes.size() - 14)
    throw EBitmapError("The bitmap file is damaged");
  LoadFromDib(bytes.data() + 14, offBits - 14, bytes.data() + offBits, bytes.size() - offBits);
}

void TBitmap::LoadFromFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EGdiError(Format("Cannot open file \"%s\"", fileName.c_str()));
  LoadFromStream(in);
}

void WriteFileAtomically(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  namespace fs = std::filesystem;
  std::random_device rd;
  std::string temp = fileName + Format(".%08x.tmp", unsigned(rd()));
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw EGdiError(Format("Cannot create file \"%s\"", fileName.c_str()));
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw EGdiError(Format("Cannot write file \"%s\"", fileName.c_str()));
    }
  }
  std::error_code ec;
  fs::rename(temp, fileName, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw EGdiError(Format("Cannot write file \"%s\"", fileName.c_str()));
  }
}

std::vector<uint8_t> ReadWholeFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EGdiError(Format("Cannot open file \"%s\"", fileName.c_str()));
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) throw EGdiError(Format("Cannot read file \"%s\"", fileName.c_str()));
  return bytes;
}

}  // namespace hy
