// The picture exports: every selected page picture is played onto one
// surface of TotalWidth x TotalHeight, each at its offset (or, with separate
// files, each onto its own surface of the page size), and the surface is
// saved as an enhanced metafile, an old-style metafile, a BMP or a TIFF file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "export/KyRExprt.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Metafile.h"

namespace hy {

class TMetafileCanvas;

// The largest surfaces that can be made. An old-style metafile holds 16-bit
// coordinates; a bitmap is held in memory whole.
inline constexpr int32_t kMaxWmfSide = 32767;
inline constexpr int64_t kMaxBitmapPixels = int64_t(1) << 28;  // 1 GiB at 32 bits per pixel

class TKyRExportToEMF : public TKyRExport {
public:
  TKyRExportToEMF();
  ~TKyRExportToEMF() override;

  bool SaveMetafile() const { return saveMetafile_; }
  void SetSaveMetafile(bool save) { saveMetafile_ = save; }
  // The surface being recorded (null outside an export and until the
  // export's size is known).
  const TMetafile* Metafile() const { return metafile_.get(); }

  void BeginExport() override;
  void EndExport() override;
  void StartPage(int32_t pageIndex, int32_t barIndex) override;
  void EndPage(const TMetafile& picture) override;
  void SaveToFile(const std::string& fileName) override;

protected:
  // The form the metafile is saved in: enhanced, or old-style for WMF.
  virtual bool EnhancedForm() const { return true; }
  // Refuses a surface this export cannot make, before anything is made.
  virtual void CheckSurface(int32_t width, int32_t height) const;
  int32_t SurfaceWidth() const { return surfaceWidth_; }
  int32_t SurfaceHeight() const { return surfaceHeight_; }

  // Makes the surface, of TotalWidth x TotalHeight, unless it exists.
  void EnsureSurface();

private:
  bool saveMetafile_ = true;
  // The size of the last surface made: SaveToFile resets the sizes, and with
  // separate files every later picture needs a surface of the same size.
  int32_t surfaceWidth_ = 0;
  int32_t surfaceHeight_ = 0;
  std::unique_ptr<TMetafile> metafile_;
  std::unique_ptr<TMetafileCanvas> canvas_;
};

class TKyRExportToWMF : public TKyRExportToEMF {
protected:
  bool EnhancedForm() const override { return false; }
  void CheckSurface(int32_t width, int32_t height) const override;
};

class TKyRExportToBMP : public TKyRExportToEMF {
public:
  TKyRExportToBMP();
  ~TKyRExportToBMP() override;

  // Settings copied onto the bitmap when it is made.
  TBitmapHandleType HandleType() const { return handleType_; }
  void SetHandleType(TBitmapHandleType t) { handleType_ = t; }
  bool Monochrome() const { return monochrome_; }
  void SetMonochrome(bool mono) { monochrome_ = mono; }
  TPixelFormat PixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TPixelFormat f) { pixelFormat_ = f; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool t) { transparent_ = t; }
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor c) { transparentColor_ = c; }
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode m) { transparentMode_ = m; }

  // The surface being drawn (null outside an export and after each save).
  const TBitmap* Bitmap() const { return bitmap_.get(); }

  void BeginExport() override;
  void EndExport() override;
  void EndPage(const TMetafile& picture) override;
  void SaveToFile(const std::string& fileName) override;

protected:
  void CheckSurface(int32_t width, int32_t height) const override;
  // BMP form; the TIFF export writes its own.
  virtual void WriteBitmap(const TBitmap& bitmap, const std::string& fileName);

private:
  void MakeBitmap();

  TBitmapHandleType handleType_ = bmDIB;
  bool monochrome_ = false;
  TPixelFormat pixelFormat_ = pfDevice;
  bool transparent_ = false;
  TColor transparentColor_ = clBlack;
  TTransparentMode transparentMode_ = tmAuto;
  std::unique_ptr<TBitmap> bitmap_;
};

class TKyRExportToTIFF : public TKyRExportToBMP {
protected:
  void WriteBitmap(const TBitmap& bitmap, const std::string& fileName) override;
};

}  // namespace hy
