// Geometry and failure types shared by the graphics platform.
#pragma once

#include <algorithm>
#include <cstdint>

#include "common/Exceptions.h"

namespace hy {

// Failures of the graphics platform: bad bitmaps, damaged metafiles, files
// that cannot be read or written.
HY_DECLARE_EXCEPTION(EGdiError, Exception);
HY_DECLARE_EXCEPTION(EEmfError, EGdiError);     // data that is not a sound metafile
HY_DECLARE_EXCEPTION(EBitmapError, EGdiError);  // data that is not a sound bitmap

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int32_t Cx = 0;
  int32_t Cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// A rectangle whose right and bottom edges lie outside it, as the desktop's
// RECT does; record bounds of a metafile are inclusive and say so where used.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  TRect Offset(int32_t dx, int32_t dy) const {
    return {Left + dx, Top + dy, Right + dx, Bottom + dy};
  }
  TRect Inflate(int32_t dx, int32_t dy) const {
    return {Left - dx, Top - dy, Right + dx, Bottom + dy};
  }
  TRect Intersect(const TRect& r) const {
    return {std::max(Left, r.Left), std::max(Top, r.Top), std::min(Right, r.Right),
            std::min(Bottom, r.Bottom)};
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Bounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  return {left, top, left + width, top + height};
}

}  // namespace hy
