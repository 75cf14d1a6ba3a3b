// Small types the cross-tab model shares with the grid widget it drives.
#pragma once

#include <cstdint>

namespace hy {

// Draw state of one grid cell as the grid base reports it (a set of bits).
enum TGridDrawStateBit : uint8_t { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = uint8_t;

// A cell: column X, row Y (grid indexes or data coordinates, as stated).
struct TGridCoord {
  int32_t X = -1;
  int32_t Y = -1;
  friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

}  // namespace hy
