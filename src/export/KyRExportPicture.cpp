#include "export/KyRExportPicture.h"

#include "common/StrUtils.h"
#include "export/KyRTiff.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/GuiApp.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {

TKyRExportToEMF::TKyRExportToEMF() = default;
TKyRExportToEMF::~TKyRExportToEMF() = default;

void TKyRExportToEMF::CheckSurface(int32_t width, int32_t height) const {
  if (width < 0 || height < 0)
    throw EKyRExportError(Format("The picture size %d x %d is not valid", width, height));
}

void TKyRExportToEMF::EnsureSurface() {
  if (canvas_) return;
  // A driver may size the export only once the pictures come, and saving
  // resets the sizes: then the surface keeps the size it had.
  if (TotalWidth() > 0 && TotalHeight() > 0) {
    CheckSurface(TotalWidth(), TotalHeight());
    surfaceWidth_ = TotalWidth();
    surfaceHeight_ = TotalHeight();
  }
  metafile_ = std::make_unique<TMetafile>();
  metafile_->SetWidth(surfaceWidth_);
  metafile_->SetHeight(surfaceHeight_);
  metafile_->SetEnhanced(EnhancedForm());
  canvas_ = std::make_unique<TMetafileCanvas>(*metafile_);
}

void TKyRExportToEMF::BeginExport() {
  // Playing and re-recording pictures needs fonts, even without a window.
  EnsureGuiApplication();
  canvas_.reset();
  metafile_.reset();
  surfaceWidth_ = surfaceHeight_ = 0;
  if (TotalWidth() != 0 || TotalHeight() != 0) {
    CheckSurface(TotalWidth(), TotalHeight());
    EnsureSurface();
  }
}

void TKyRExportToEMF::EndExport() {
  canvas_.reset();
  metafile_.reset();
}

void TKyRExportToEMF::StartPage(int32_t, int32_t) {
  if (metafile_) metafile_->SetEnhanced(EnhancedForm());
}

void TKyRExportToEMF::EndPage(const TMetafile& picture) {
  EnsureSurface();
  // A bitmap export saves no metafile: recording one would only cost.
  if (saveMetafile_) canvas_->Draw(OffsetX(), OffsetY(), picture);
}

void TKyRExportToEMF::SaveToFile(const std::string& fileName) {
  TKyRExport::SaveToFile(fileName);
  EnsureSurface();
  canvas_->Close();
  if (saveMetafile_) metafile_->SaveToFile(fileName);
  // The next picture (separate files) starts a new recording.
  canvas_.reset();
  metafile_.reset();
}

void TKyRExportToWMF::CheckSurface(int32_t width, int32_t height) const {
  TKyRExportToEMF::CheckSurface(width, height);
  if (width > kMaxWmfSide || height > kMaxWmfSide)
    throw EKyRExportError(Format(
        "The picture of %d x %d units is too large for a WMF file, which holds at most %d units a side "
        "(29 A4 pages one under another); export fewer pages or each page in its own file",
        width, height, kMaxWmfSide));
}

TKyRExportToBMP::TKyRExportToBMP() { SetSaveMetafile(false); }
TKyRExportToBMP::~TKyRExportToBMP() = default;

void TKyRExportToBMP::CheckSurface(int32_t width, int32_t height) const {
  TKyRExportToEMF::CheckSurface(width, height);
  if (int64_t(width) * height > kMaxBitmapPixels)
    throw EKyRExportError(Format(
        "The picture of %d x %d pixels is too large for a bitmap, which holds at most %lld pixels "
        "(about 300 A4 pages); export fewer pages or each page in its own file",
        width, height, static_cast<long long>(kMaxBitmapPixels)));
}

void TKyRExportToBMP::MakeBitmap() {
  TPixelFormat format = monochrome_ ? pf1bit : pixelFormat_ == pfCustom ? pfDevice : pixelFormat_;
  bitmap_ = std::make_unique<TBitmap>(SurfaceWidth(), SurfaceHeight(), format);
  bitmap_->SetHandleType(handleType_);
  bitmap_->SetTransparent(transparent_);
  if (transparentMode_ == tmFixed) bitmap_->SetTransparentColor(transparentColor_);
  bitmap_->SetTransparentMode(transparentMode_);
}

void TKyRExportToBMP::BeginExport() {
  bitmap_.reset();
  TKyRExportToEMF::BeginExport();
  if (Metafile()) MakeBitmap();
}

void TKyRExportToBMP::EndExport() {
  bitmap_.reset();
  TKyRExportToEMF::EndExport();
}

void TKyRExportToBMP::EndPage(const TMetafile& picture) {
  TKyRExportToEMF::EndPage(picture);
  if (!bitmap_) MakeBitmap();  // each picture after the first of separate files
  DrawMetafile(*bitmap_, OffsetX(), OffsetY(), picture);
}

void TKyRExportToBMP::SaveToFile(const std::string& fileName) {
  TKyRExportToEMF::SaveToFile(fileName);
  if (!bitmap_) MakeBitmap();  // no picture came: the blank surface
  std::unique_ptr<TBitmap> bitmap = std::move(bitmap_);
  if (bitmap->Empty())
    throw EKyRExportError("There is no page to write to \"" + fileName +
                          "\": the picture is empty");
  WriteBitmap(*bitmap, fileName);
}

void TKyRExportToBMP::WriteBitmap(const TBitmap& bitmap, const std::string& fileName) {
  bitmap.SaveToFile(fileName);
}

void TKyRExportToTIFF::WriteBitmap(const TBitmap& bitmap, const std::string& fileName) {
  WriteTiffFile(bitmap, fileName);
}

}  // namespace hy
