// TMetafileCanvas: draws on a picture by writing enhanced-metafile records,
// against the 96-per-inch reference screen, in page units (one unit = one
// reference pixel). Every text line becomes one EMR_EXTTEXTOUTW whose bounds
// are the drawn box of the text; fonts are EMR_EXTCREATEFONTINDIRECTW, pens
// EMR_CREATEPEN, brushes EMR_CREATEBRUSHINDIRECT, bitmaps EMR_STRETCHDIBITS,
// fills a pattern EMR_BITBLT. Objects are created when a drawing needs them;
// the last few pens and brushes stay alive to be selected again (a report
// alternates a handful of them), older ones are deleted, so the handle table
// stays small. A font is created anew at every change, so that a reader that
// follows only the creation records (the exports) always knows the font in
// use.
//
// Text is drawn on an opaque background in the brush colour while the brush
// is solid, and transparent while it is clear, like the desktop's canvas.
// The recording ends (EMR_EOF, header completed, picture stored) with Close
// or the destructor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/Metafile.h"
#include "platform/gdi/TextLayout.h"

namespace hy {

namespace emf {
class TEmfRecordScope;
}

enum TPenStyle : uint8_t {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame
};
enum TBrushStyle : uint8_t {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

class TPen {
public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle s) { style_ = s; }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t w) { width_ = w; }
  friend bool operator==(const TPen&, const TPen&) = default;

private:
  TColor color_ = clBlack;
  TPenStyle style_ = psSolid;
  int32_t width_ = 1;
};

class TBrush {
public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle s) { style_ = s; }
  friend bool operator==(const TBrush&, const TBrush&) = default;

private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

class TMetafileCanvas {
public:
  // Records into `target`, whose Width and Height (page units) become the
  // picture's frame; a target without a size gets the drawn bounds. The
  // creator and description go into the header.
  explicit TMetafileCanvas(TMetafile& target, std::string_view creator = {},
                           std::string_view description = {});
  ~TMetafileCanvas();
  TMetafileCanvas(const TMetafileCanvas&) = delete;
  TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

  // Ends the recording and stores the picture in the target. Further drawing
  // raises EGdiError.
  void Close();
  bool Closed() const { return closed_; }

  TFont& Font() { return font_; }
  void SetFont(const TFont& font) { font_ = font; }
  TPen& Pen() { return pen_; }
  void SetPen(const TPen& pen) { pen_ = pen; }
  TBrush& Brush() { return brush_; }
  void SetBrush(const TBrush& brush) { brush_ = brush; }
  // Text alignment flags of the desktop (TA_LEFT / TA_RIGHT / TA_CENTER,
  // TA_TOP / TA_BOTTOM / TA_BASELINE) for TextOut and TextRect.
  uint32_t TextAlign() const { return textAlign_; }
  void SetTextAlign(uint32_t align) { textAlign_ = align & ~1u; }

  TPoint PenPos() const { return penPos_; }
  void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);

  // Pen outline, brush inside; right and bottom edges lie outside.
  void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // The rectangle in the brush (nothing with a clear brush).
  void FillRect(const TRect& r);
  // A one-pixel border in the brush colour.
  void FrameRect(const TRect& r);

  void TextOut(int32_t x, int32_t y, std::string_view text);
  // Text at (x, y) clipped to `r`; with a solid brush `r` is filled first.
  void TextRect(const TRect& r, int32_t x, int32_t y, std::string_view text);
  // The desktop's DrawText with DT_* flags: one record per line, clipped to
  // `r` unless DT_NOCLIP. DT_CALCRECT only measures and sets r's right and
  // bottom. Returns the height of the text (see DrawTextResult).
  int32_t DrawText(std::string_view text, TRect& r, uint32_t flags);
  int32_t TextWidth(std::string_view text);
  int32_t TextHeight(std::string_view text);  // the line height of the font
  TSize TextExtent(std::string_view text);

  void Draw(int32_t x, int32_t y, const TBitmap& bitmap);
  void StretchDraw(const TRect& r, const TBitmap& bitmap);
  // Copies part `source` of the bitmap into `dest`.
  void CopyRect(const TRect& dest, const TBitmap& bitmap, const TRect& source);
  // Re-records the records of another picture, moved and scaled from its
  // frame into the destination (its own size at (x, y) for Draw).
  void Draw(int32_t x, int32_t y, const TMetafile& picture);
  void StretchDraw(const TRect& r, const TMetafile& picture);

  uint32_t RecordCount() const { return records_; }
  // Inclusive bounds of everything drawn so far (empty when nothing was).
  TRect DrawnBounds() const { return bounds_; }

private:
  friend class TRerecorder;

  void Check() const;
  // A record of `type` at the end of the picture, closed when the scope ends.
  emf::TEmfRecordScope Record(uint32_t type);
  void AddBounds(const TRect& inclusive);
  // DC state: bring the recorded state in line with the canvas properties.
  void UsePen();
  void UseBrush();
  void UseFont();
  void UseTextColors(bool opaque);
  void SetRecordedTextAlign(uint32_t align);
  uint32_t NewHandle();
  void FreeHandle(uint32_t handle);
  void WriteHandleRecord(uint32_t type, uint32_t handle);
  template <class T>
  struct TCached {
    uint32_t Handle;
    T Desc;
  };
  // Selects the cached object equal to `want` (by `same`), or creates one
  // with `create(handle)`; deletes the least recently used beyond `limit`.
  template <class T, class Same, class Create>
  void SelectCached(std::vector<TCached<T>>& cache, size_t limit, const T& want, uint32_t& current,
                    Same same, Create create);
  void WriteTextLine(int32_t x, int32_t y, const std::u16string& text,
                     const std::vector<int32_t>& dx, int32_t width, const TTextMetrics& metrics,
                     uint32_t options, const TRect* clip);
  void WriteStretchDib(const TRect& dest, const TDib& dib, int32_t srcW, int32_t srcH);
  void WritePatBlt(const TRect& r, uint32_t rop);

  TMetafile& target_;
  std::vector<uint8_t> buf_;
  uint32_t records_ = 0;
  TRect bounds_{0, 0, -1, -1};
  bool haveBounds_ = false;
  bool closed_ = false;
  size_t descriptionChars_ = 0;

  TFont font_;
  TPen pen_;
  TBrush brush_;
  uint32_t textAlign_ = 0;
  TPoint penPos_;

  // What the records have set so far.
  std::vector<bool> handleUsed_{true};  // index 0 is reserved
  uint32_t maxHandle_ = 0;
  uint32_t penHandle_;    // selected pen: own handle or stock
  uint32_t brushHandle_;  // selected brush
  uint32_t fontHandle_;   // selected font
  TPen recordedPen_;
  TBrush recordedBrush_;
  TFont recordedFont_;
  bool penKnown_ = false, brushKnown_ = false, fontKnown_ = false;
  std::vector<TCached<TPen>> pens_;  // alive objects, most recently selected first
  std::vector<TCached<TBrush>> brushes_;
  std::vector<TCached<TFont>> fonts_;
  TColor recTextColor_ = clBlack;
  TColor recBkColor_ = clWhite;
  uint32_t recBkMode_ = 2;  // OPAQUE
  uint32_t recTextAlign_ = 0;
  TPoint recPos_;
};

}  // namespace hy
