// The preview's pictures, drawn by the program as vector paths so they stay
// crisp at any screen scale: tool bar and status bar glyphs, the two zoom
// cursors and the window icon.
#pragma once

#include <QCursor>
#include <QIcon>

namespace hy {

enum class TKyRGlyph {
  PrinterSetup,
  Print,
  Open,
  Save,
  Find,
  OnePage,
  Zoom100,
  ZoomToWidth,
  ManyPages,
  ZoomIn,
  ZoomOut,
  Lens,
  Ruler,
  Grid,
  About,
  Close,
  Help,
  FirstPage,
  PrevPage,
  NextPage,
  LastPage,
  WindowIcon,
};

QIcon PreviewGlyph(TKyRGlyph glyph);

// The cursors of zoom by click: a magnifier with a plus or a minus, the hot
// spot in the middle of its glass.
QCursor ZoomCursor(bool zoomIn);

}  // namespace hy
