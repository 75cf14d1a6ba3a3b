// The preview control: one prepared page of a report at a chosen zoom, in a
// scroll box, with optional margin gutters and an inch grid; found text is
// marked under the page content, and a click can zoom in or out around the
// clicked point. The page is played through the graphics platform's player;
// the played page is kept as an image of the current zoom, so scrolling and
// repainting never replay it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QScrollArea>

#include "platform/gdi/Colors.h"
#include "platform/gdi/GdiTypes.h"
#include "ui/KyRFindSearch.h"

namespace hy {

class TKyPrintBaseComponent;
class TPageInfo;
class TfrmKyRFind;
class TKyRPreviewPage;

enum TZoomByClick : uint8_t { zcNone, zcInc, zcDec };

struct TKyRPrevHighlightRect {
  TRect Rect;  // page units
  TColor Color = 0x00FFFF;
};

using TKyRPreviewEvent = std::function<void()>;
// A mouse event on the page: buttons, and the position (see the setters).
using TKyRPreviewMouseEvent =
    std::function<void(Qt::MouseButton button, Qt::MouseButtons buttons, QPoint pos)>;

class TKyRPreview : public QScrollArea {
public:
  explicit TKyRPreview(QWidget* parent = nullptr);
  ~TKyRPreview() override;

  TKyPrintBaseComponent* Report() const { return report_; }
  // Shows the first page of the first bar of `report` (not owned).
  void SetReport(TKyPrintBaseComponent* report);

  int32_t PageNumber() const { return pageIndex_ + 1; }
  // Ignored outside 1..PageCount (BarCount) or without a report.
  void SetPageNumber(int32_t n);
  int32_t BarNumber() const { return barIndex_ + 1; }
  void SetBarNumber(int32_t n);
  static constexpr int32_t kMaxZoom = 2000;
  int32_t Zoom() const { return zoom_; }
  // Below 1 means 100; above kMaxZoom (clicks zoom on and on) kMaxZoom.
  void SetZoom(int32_t zoom);
  bool ShowMargins() const { return showMargins_; }
  void SetShowMargins(bool value);
  bool ShowGrid() const { return showGrid_; }
  void SetShowGrid(bool value);
  TZoomByClick ZoomByClick() const { return zoomByClick_; }
  void SetZoomByClick(TZoomByClick value);

  void SetPageNumberChangeEvent(TKyRPreviewEvent e) { onPageNumberChange_ = std::move(e); }
  void SetBarNumberChangeEvent(TKyRPreviewEvent e) { onBarNumberChange_ = std::move(e); }
  void SetZoomChangeEvent(TKyRPreviewEvent e) { onZoomChange_ = std::move(e); }
  // Down and up: positions relative to the page panel; move: the control's
  // client coordinates.
  void SetOnMouseDown(TKyRPreviewMouseEvent e) { onMouseDown_ = std::move(e); }
  void SetOnMouseMove(TKyRPreviewMouseEvent e) { onMouseMove_ = std::move(e); }
  void SetOnMouseUp(TKyRPreviewMouseEvent e) { onMouseUp_ = std::move(e); }

  // Zooms that fit the current page into the client width (height).
  int32_t FitToWidth() const;
  int32_t FitToHeight() const;

  const std::vector<TKyRPrevHighlightRect>& Highlights() const { return highlights_; }
  void AddHighlight(const TRect& rect, TColor color);
  void ClearHighlights();

  // Runs the find dialog and marks the matches: on the current page, or with
  // the "Global" scope on every page of every bar (the first hit is shown).
  // True when the dialog ended with OK.
  bool FindText();
  // Searches without the dialog, as FindText does after OK.
  void Find(const TKyRFindOptions& options, bool global);
  // The hits of the last search and the one shown last (-1: none yet).
  const std::vector<TKyRFindHit>& Hits() const { return hits_; }
  int32_t HitIndex() const { return hitIndex_; }
  // Steps to the next (previous) hit, changing page and sheet as needed,
  // and scrolls it into view; false when there is no hit.
  bool FindNext(bool backwards = false);
  void SetOnFindDone(std::function<void(int32_t hits)> e) { onFindDone_ = std::move(e); }
  TfrmKyRFind* FindDialog() const { return findDialog_; }

  // The page panel and the paint box inside it.
  QWidget* PagePanel() const;
  QWidget* PaintBox() const;
  // Renders the current page region `source` (paint box pixels) at `scale`
  // times the zoomed size into `target` (the lens).
  void RenderPage(QPainter& target, const QRectF& source, double scale) const;

  // The page as painted: page content, marks and overlays at the zoom.
  void PaintPage(QPainter& painter, const QRect& rect);
  // The paint box's page picture; replayed only when the page, the zoom,
  // the scale of the screen or the marks changed.
  const QImage& PageImage(QSize size, double devicePixelRatio);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  friend class TKyRPreviewPage;
  TPageInfo* CurrentPage() const;
  // Shows the page of the current indexes from its top-left corner.
  void ShowIndexes();
  void LayoutPage();
  void RepaintPage();
  void ShowHitHighlights();
  void MouseDown(QMouseEvent* event);
  void MouseMove(QMouseEvent* event);
  void MouseUp(QMouseEvent* event);

  TKyPrintBaseComponent* report_ = nullptr;
  int32_t pageIndex_ = 0;
  int32_t barIndex_ = 0;
  int32_t zoom_ = 100;
  bool showMargins_ = false;
  bool showGrid_ = false;
  TZoomByClick zoomByClick_ = zcNone;
  std::vector<TKyRPrevHighlightRect> highlights_;
  std::vector<TKyRFindHit> hits_;
  int32_t hitIndex_ = -1;

  QWidget* canvas_;  // the scrolled area
  QWidget* panel_;   // the page with its shadow
  QWidget* shadowRight_;
  QWidget* shadowBottom_;
  TKyRPreviewPage* paintBox_;
  TfrmKyRFind* findDialog_ = nullptr;

  QImage pageImage_;
  const TPageInfo* imagePage_ = nullptr;
  bool imageValid_ = false;

  TKyRPreviewEvent onPageNumberChange_, onBarNumberChange_, onZoomChange_;
  TKyRPreviewMouseEvent onMouseDown_, onMouseMove_, onMouseUp_;
  std::function<void(int32_t)> onFindDone_;
};

}  // namespace hy
