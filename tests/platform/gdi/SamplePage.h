// A recorded page with text in several fonts and colours, lines, shapes,
// fills and a bitmap, shared by the metafile tests and the fuzz test.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Metafile.h"

namespace hy::test {

constexpr int kPageWidth = 600;
constexpr int kPageHeight = 400;

// A 40 x 30 bitmap: left half red, right half blue, with a green top row.
TBitmap SampleBitmap(TPixelFormat format = pf24bit);

struct TSamplePage {
  TMetafile Picture;
  std::vector<std::string> Texts;  // every text line, in drawing order
};

TSamplePage RecordSamplePage();

// Pages that use every drawing call of the canvas (pen and brush styles,
// the object cache beyond its size, aligned and clipped text, frames,
// copied bitmap parts, pictures drawn into pictures), for checks that hold
// for any record the canvas writes.
std::vector<TMetafile> RecordEveryCanvasCall();

// Makes sure a QGuiApplication exists (fonts need one).
void EnsureApp();

}  // namespace hy::test
