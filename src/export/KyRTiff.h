// The TIFF form of a bitmap: little-endian, one image in one uncompressed
// strip. True-colour bitmaps become 8-bit RGB, 4- and 8-bit bitmaps palette
// images, 1-bit bitmaps bilevel images. Every offset in the file is even and
// width and height take 32 bits where 16 do not hold them.
#pragma once

#include <cstdint>
#include <string>

namespace hy {

class TBitmap;

// The text of the "Software" tag (written with its null byte).
inline constexpr char kTiffSoftware[] = "Tavel soft";

// Writes the whole file or nothing; EKyRExportError when it cannot be
// written or the bitmap is empty.
void WriteTiffFile(const TBitmap& bitmap, const std::string& fileName);

}  // namespace hy
