// Pictures of the cross-tab without a window on screen, for the command
// line and for checks.
#pragma once

#include <cstdint>
#include <string>

namespace hy {

class TCustomHyGrid;

// The largest picture of a grid drawn unless the caller allows more, and
// what nobody may ask for: the raster painter's coordinates end at 32767,
// and an image's bytes (4 a pixel) must stay below 2 GiB.
inline constexpr int64_t kGridPngMaxPixels = 100'000'000;
inline constexpr int64_t kGridPngHardMaxPixels = 500'000'000;
inline constexpr int32_t kGridPngMaxSide = 32767;

// Creates the widget application (prepared as PrepareWindowlessEnvironment
// says) when none exists. Raises EGdiError when a
// non-widget application object exists already.
void EnsureWidgetApplication();

// A PNG of the grid, written completely or not at all. Construction
// reserves a temporary file with a unique name beside the target, so that a
// target that cannot be written fails before any work is done; the
// temporary file goes on every way out, an interrupting signal included.
// Raises hy::Exception "Cannot write the image file ...".
class TGridPngFile {
public:
  explicit TGridPngFile(std::string fileName);
  ~TGridPngFile();
  TGridPngFile(const TGridPngFile&) = delete;
  TGridPngFile& operator=(const TGridPngFile&) = delete;

  // Raises when the grid's picture would be larger than `maxPixels` or
  // than a side the painter can draw; allocates nothing.
  void CheckSize(TCustomHyGrid& model, int64_t maxPixels) const;
  // Renders the grid widget over `model` at its full size into the
  // temporary file and moves that over the target.
  void Write(TCustomHyGrid& model);

private:
  std::string fileName_;
  std::string temp_;
};

}  // namespace hy
