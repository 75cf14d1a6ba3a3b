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

// The cells a scrolling grid shows: counts, fixed leading columns and rows,
// and the size of each column and row (0 hides it). The grid widget reads
// them here and keeps no copy; the owner of the cells is the one place that
// holds them (the cross-tab model, a page).
class TGridGeometry {
public:
  virtual ~TGridGeometry() = default;
  virtual int32_t ColCount() const = 0;
  virtual int32_t RowCount() const = 0;
  virtual int32_t FixedCols() const = 0;
  virtual int32_t FixedRows() const = 0;
  // 0 outside the grid.
  virtual int32_t ColWidths(int32_t col) const = 0;
  virtual int32_t RowHeights(int32_t row) const = 0;
  // The user drags a line: one column or row takes a new size (>= 0).
  virtual void SetColWidths(int32_t col, int32_t width) = 0;
  virtual void SetRowHeights(int32_t row, int32_t height) = 0;
};

}  // namespace hy
