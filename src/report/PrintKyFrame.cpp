// The page frame: background, picture placements and the frame lines.
#include <cmath>

#include "report/PrintKy.h"

namespace hy {

void TPageInfo::SetWidth(int32_t width) {
  width_ = width;
  picture_.SetWidth(width);
}

void TPageInfo::SetHeight(int32_t height) {
  height_ = height;
  picture_.SetHeight(height);
}

void TPageInfo::SetMargins(int32_t left, int32_t right, int32_t top, int32_t bottom) {
  leftMargin_ = left;
  rightMargin_ = right;
  topMargin_ = top;
  bottomMargin_ = bottom;
}

std::vector<TKyPicturePlacement> TKyRFrame::PicturePlacements(const TRect& r) const {
  std::vector<TKyPicturePlacement> out;
  if (picType_ == btNone || picture_.Empty()) return out;
  const int32_t w = r.Width(), h = r.Height();
  const int32_t pw = picture_.Width(), ph = picture_.Height();
  const TRect whole{0, 0, pw, ph};
  auto stretch = [&](int32_t left, int32_t top, int32_t width, int32_t height) {
    out.push_back({Bounds(left, top, width, height), whole, true});
  };
  // A tile at (x, y) of the rectangle, clipped to it, gets the same-sized
  // top-left part of the picture.
  auto tile = [&](int32_t x, int32_t y) {
    const TRect part = TRect{x, y, x + pw, y + ph}.Intersect({0, 0, w, h});
    if (part.IsEmpty()) return;
    out.push_back({part.Offset(r.Left, r.Top), {0, 0, part.Width(), part.Height()}, false});
  };
  const int32_t across = static_cast<int32_t>(std::lrint(double(w) / pw));
  const int32_t down = static_cast<int32_t>(std::lrint(double(h) / ph));
  switch (picType_) {
    case btCenter: stretch(r.Left + (w - pw) / 2, r.Top + (h - ph) / 2, pw, ph); break;
    case btStretch: stretch(r.Left, r.Top, w, h); break;
    case btTile:
      for (int32_t i = 0; i <= across; ++i)
        for (int32_t j = 0; j <= down; ++j) tile(i * pw, j * ph);
      break;
    case btTileAsFrame:
      for (int32_t i = 0; i <= across; ++i) {
        tile(i * pw, 0);
        tile(i * pw, h - ph);
      }
      for (int32_t j = 1; j <= down; ++j) {
        tile(0, j * ph);
        tile(w - pw, j * ph);
      }
      break;
    case btCorners:
      stretch(r.Left, r.Top, pw, ph);
      stretch(r.Right - pw, r.Top, pw, ph);
      stretch(r.Left, r.Bottom - ph, pw, ph);
      stretch(r.Right - pw, r.Bottom - ph, pw, ph);
      break;
    case btNone: break;
  }
  return out;
}

void TKyRFrame::Draw(TMetafileCanvas& canvas, const TRect& r) const {
  canvas.Brush().SetStyle(bsSolid);
  canvas.Pen().SetWidth(width_);
  canvas.Pen().SetStyle(style_);
  canvas.Pen().SetColor(color_);
  const TColor brushColor = canvas.Brush().Color();
  if (backColor_ != clWhite) {
    canvas.Brush().SetColor(backColor_);
    canvas.FillRect(r);
  }
  for (const TKyPicturePlacement& p : PicturePlacements(r)) {
    if (p.Stretch) canvas.StretchDraw(p.Dest, picture_);
    else canvas.CopyRect(p.Dest, picture_, p.Source);
  }
  auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
  };
  if (frameType_.Contains(ftTop)) line(r.Left, r.Top, r.Right, r.Top);
  if (frameType_.Contains(ftBottom)) line(r.Left, r.Bottom, r.Right, r.Bottom);
  if (frameType_.Contains(ftLeft)) line(r.Left, r.Top, r.Left, r.Bottom);
  if (frameType_.Contains(ftRight)) line(r.Right, r.Top, r.Right, r.Bottom);
  canvas.Brush().SetColor(brushColor);
  canvas.Brush().SetStyle(bsClear);
}

}  // namespace hy
