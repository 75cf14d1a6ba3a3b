// TMetafile: a page picture, held as the bytes of an enhanced metafile.
// Width and height are page units (pixels of the 96-per-inch reference
// screen); the header's frame carries them in .01 mm.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/gdi/EmfRecords.h"

namespace hy {

// The reference device of every recorded picture: a screen at 96 pixels per
// inch, 1920 x 1440 pixels = 508 x 381 mm.
constexpr int32_t kRefDeviceWidthPx = 1920;
constexpr int32_t kRefDeviceHeightPx = 1440;
constexpr int32_t kRefDeviceWidthMm = 508;
constexpr int32_t kRefDeviceHeightMm = 381;

// What a picture read from a stream or file may be: its bytes, and its page
// size in page units either way (about 26 m); larger ones are refused with
// EEmfError.
constexpr uint32_t kMaxPictureBytes = 256u << 20;
constexpr int32_t kMaxPageUnits = 100000;

// Page units <-> .01 mm at the reference resolution.
int32_t PixelsToHiMetric(int32_t px);
int32_t HiMetricToPixels(int32_t hm);

class TMetafile {
public:
  TMetafile() = default;

  bool Empty() const { return data_.empty(); }
  void Clear();

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Sets the picture's size in page units; a recorded picture gets a new frame.
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);

  // Enhanced (EMF) or old-style (WMF): the form SaveToStream / SaveToFile write.
  bool Enhanced() const { return enhanced_; }
  void SetEnhanced(bool enhanced) { enhanced_ = enhanced; }

  const std::vector<uint8_t>& Data() const { return data_; }
  // Takes the bytes of a complete picture; validates them first (EEmfError),
  // and keeps the old picture when they are unsound or their page size does
  // not fit in 32 bits.
  void SetData(std::vector<uint8_t> data);

  TEmfHeader Header() const;  // EEmfError when empty
  uint32_t RecordCount() const { return Empty() ? 0 : Header().Records; }

  // One complete EMF image; the header's byte count delimits it in a longer
  // stream (the prepared report file stores pictures back to back).
  void LoadFromStream(std::istream& in);
  // The EMF bytes, or the WMF form when not Enhanced.
  void SaveToStream(std::ostream& out) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;  // whole file or nothing

  // The old metafile form: a placeable WMF of the records it can express
  // (see WmfWriter.h).
  std::vector<uint8_t> ToWmf() const;

private:
  void PatchFrame();
  void LoadAfterHeader(std::istream& in, std::vector<uint8_t> data);

  std::vector<uint8_t> data_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool enhanced_ = true;
};

}  // namespace hy
