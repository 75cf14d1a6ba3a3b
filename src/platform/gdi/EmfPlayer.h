// Playing a page picture onto a QPainter: the screen (preview), the printer
// and images all go through here. The picture is stretched from its frame
// into the destination rectangle (the window-to-viewport mapping of the
// desktop's player). Records the player does not know are skipped, and so is
// a record whose own parts are damaged; a picture whose record chain is
// unsound raises EEmfError before anything is drawn.
#pragma once

#include <cstddef>
#include <cstdint>

#include <QImage>
#include <QRectF>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Metafile.h"

class QPainter;

namespace hy {

// The largest image made of a picture or of one of its bitmaps.
constexpr int32_t kMaxImageSide = 32767;
constexpr int64_t kMaxImagePixels = int64_t(64) << 20;

void PlayMetafile(QPainter& painter, const TMetafile& picture, const QRectF& dest);
void PlayMetafile(QPainter& painter, const uint8_t* data, size_t size, const QRectF& dest);

// The picture on a new true-colour image of its size times `scale`
// (1.0 = one pixel per page unit), on `background`. EGdiError, before
// anything is allocated, for an image beyond kMaxImageSide or kMaxImagePixels.
QImage RenderMetafile(const TMetafile& picture, double scale = 1.0, TColor background = clWhite);

// Plays the picture at its own size onto a bitmap at (x, y).
void DrawMetafile(TBitmap& target, int32_t x, int32_t y, const TMetafile& picture);

// The image a bit-block record (EMR_BITBLT, EMR_STRETCHBLT, EMR_STRETCHDIBITS)
// draws: its source part stretched to the destination size, as a 24-bit
// bitmap. Empty for a fill without a source bitmap, for a destination larger
// than 16384 pixels a side or kMaxImagePixels in all, and for other record types. EEmfError /
// EBitmapError when the record is damaged.
TBitmap BitmapOfRecord(const TEmfRecord& record);

}  // namespace hy
