// TBitmap: a picture of pixels on a QImage, with the pixel formats of the
// desktop and its device-independent form both ways.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <QImage>

#include "platform/gdi/Colors.h"
#include "platform/gdi/Dib.h"

namespace hy {

enum TPixelFormat : uint8_t {
  pfDevice,
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom
};
enum TBitmapHandleType : uint8_t { bmDIB, bmDDB };
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

// Bits per pixel of a format; the device format is 32-bit true colour.
int BitsPerPixel(TPixelFormat format);
TPixelFormat PixelFormatForBits(int bits);

class TBitmap {
public:
  TBitmap() = default;
  TBitmap(int32_t width, int32_t height, TPixelFormat format = pf24bit);
  // Wraps an image; the pixel format follows the image's depth.
  explicit TBitmap(QImage image);

  bool Empty() const { return image_.isNull(); }
  int32_t Width() const { return image_.width(); }
  int32_t Height() const { return image_.height(); }
  void SetWidth(int32_t width) { SetSize(width, Height()); }
  void SetHeight(int32_t height) { SetSize(Width(), height); }
  // Resizes, keeping the top-left part; new pixels are white.
  void SetSize(int32_t width, int32_t height);

  TPixelFormat PixelFormat() const { return format_; }
  // Converts the pixels (1 bit: black and white; 4 bits: the 16 standard
  // colours; 8 bits: a palette of the picture's colours).
  void SetPixelFormat(TPixelFormat format);

  TColor Pixel(int32_t x, int32_t y) const;  // clNone outside
  void SetPixel(int32_t x, int32_t y, TColor color);
  void Fill(TColor color);
  std::vector<TColor> Palette() const;  // colour table of indexed formats

  // Settings the image export copies onto its bitmap.
  TBitmapHandleType HandleType() const { return handleType_; }
  void SetHandleType(TBitmapHandleType t) { handleType_ = t; }
  bool Monochrome() const { return format_ == pf1bit; }
  void SetMonochrome(bool mono);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool t) { transparent_ = t; }
  TColor TransparentColor() const;  // tmAuto: the bottom-left pixel
  void SetTransparentColor(TColor c) {
    transparentColor_ = c;
    transparentMode_ = tmFixed;
  }
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode m) { transparentMode_ = m; }

  // The pixels. Painting onto them needs a paintable format: 1, 4 and 8 bit
  // bitmaps are indexed and must be converted first (PaintableImage).
  QImage& Image() { return image_; }
  const QImage& Image() const { return image_; }
  // True-colour copy for painting or display.
  QImage ToRgbImage() const;

  // Device-independent form with the bitmap's own bit count.
  TDib ToDib() const;
  std::vector<uint8_t> ToPackedDib() const;
  void LoadFromDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize);
  void LoadFromPackedDib(const uint8_t* data, size_t size);

  // BMP files: BITMAPFILEHEADER + packed DIB.
  void SaveToStream(std::ostream& out) const;
  void SaveToFile(const std::string& fileName) const;  // whole file or nothing
  void LoadFromStream(std::istream& in);
  void LoadFromFile(const std::string& fileName);

  void Assign(const TBitmap& other) { *this = other; }

private:
  void AdoptImage(QImage image, int bitCount);

  QImage image_;
  TPixelFormat format_ = pfDevice;
  TBitmapHandleType handleType_ = bmDIB;
  bool transparent_ = false;
  TColor transparentColor_ = clBlack;
  TTransparentMode transparentMode_ = tmAuto;
};

// Writes `bytes` to `fileName` through a temporary file and a rename, so the
// file is complete or untouched. Throws EGdiError.
void WriteFileAtomically(const std::string& fileName, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadWholeFile(const std::string& fileName);

}  // namespace hy
