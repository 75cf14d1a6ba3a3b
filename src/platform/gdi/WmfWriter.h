// The old metafile form. A picture is converted record by record into a
// placeable WMF (the 22-byte placement header, then the 18-byte metafile
// header and 16-bit records), with logical units of page pixels and 96 units
// per inch. Converted: text (in code page 1252, '?' for what it cannot
// hold), lines, rectangles, ellipses, polylines and polygons, pattern
// fills, pens, brushes, fonts, colours, background and alignment modes,
// clip rectangles, save / restore, and bitmaps as DIB records. Coordinates
// are clamped to 16 bits. Stock objects, which the old form lacks, become
// created objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hy {

constexpr uint32_t kWmfPlaceableKey = 0x9AC6CDD7;

// The WMF bytes of an enhanced metafile; EEmfError when `data` is unsound.
std::vector<uint8_t> ConvertEmfToWmf(const uint8_t* data, size_t size);

}  // namespace hy
