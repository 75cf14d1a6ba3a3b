#include "ui/KyRView.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include "common/Exceptions.h"
#include "platform/gdi/EmfPlayer.h"
#include "report/PrintKy.h"
#include "ui/KyRFind.h"
#include "ui/KyRPreviewGlyphs.h"

namespace hy {

namespace {

constexpr int kShadow = 3;    // the black strips along the right and bottom edge
constexpr int kSideGap = 25;  // room the centring leaves for the scroll bars
constexpr int kEdge = 10;     // gap before a page larger than the client
constexpr int32_t kPageUnitsPerInch = 96;
constexpr TColor kHitColor = 0x00FFFF;         // yellow
constexpr TColor kCurrentHitColor = 0x00A5FF;  // orange: the hit F3 went to
// A page image larger than this (about 100 MB) is not kept: such a page is
// played into the exposed part of the screen only.
constexpr int64_t kMaxKeptImagePixels = int64_t(24) << 20;

QWidget* Strip(QWidget* parent) {
  auto* strip = new QWidget(parent);
  strip->setAutoFillBackground(true);
  QPalette palette = strip->palette();
  palette.setColor(QPalette::Window, Qt::black);
  strip->setPalette(palette);
  return strip;
}

}  // namespace

// The paint box: paints through the control and hands the mouse to it.
class TKyRPreviewPage : public QWidget {
public:
  TKyRPreviewPage(TKyRPreview* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    owner_->PaintPage(painter, rect());
  }
  void mousePressEvent(QMouseEvent* e) override { owner_->MouseDown(e); }
  void mouseMoveEvent(QMouseEvent* e) override { owner_->MouseMove(e); }
  void mouseReleaseEvent(QMouseEvent* e) override { owner_->MouseUp(e); }

private:
  TKyRPreview* owner_;
};

TKyRPreview::TKyRPreview(QWidget* parent) : QScrollArea(parent) {
  setObjectName("KyRPreview");
  resize(250, 250);
  setWidgetResizable(false);
  setBackgroundRole(QPalette::Dark);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Dark, ToQColor(clAppWorkSpace));
  setPalette(palette);

  canvas_ = new QWidget;
  canvas_->setObjectName("canvas");
  panel_ = new QWidget(canvas_);
  panel_->setObjectName("pnlPage");
  panel_->setAutoFillBackground(true);
  QPalette panelPalette = panel_->palette();
  panelPalette.setColor(QPalette::Window, ToQColor(clBtnHighlight));
  panel_->setPalette(panelPalette);
  shadowRight_ = Strip(panel_);
  shadowBottom_ = Strip(panel_);
  paintBox_ = new TKyRPreviewPage(this, panel_);
  paintBox_->setObjectName("pbPage");
  panel_->hide();
  setWidget(canvas_);
}

TKyRPreview::~TKyRPreview() = default;

TPageInfo* TKyRPreview::CurrentPage() const {
  return report_ ? report_->FindPage(pageIndex_, barIndex_) : nullptr;
}

QWidget* TKyRPreview::PagePanel() const { return panel_; }
QWidget* TKyRPreview::PaintBox() const { return paintBox_; }

void TKyRPreview::SetReport(TKyPrintBaseComponent* report) {
  report_ = report;
  pageIndex_ = 0;
  barIndex_ = 0;
  if (report_) {
    report_->SetPageIndex(0);
    report_->SetBarIndex(0);
  }
  hits_.clear();
  hitIndex_ = -1;
  highlights_.clear();
  imageValid_ = false;
  LayoutPage();
  RepaintPage();
}

void TKyRPreview::SetPageNumber(int32_t n) {
  if (n == pageIndex_ + 1 || n < 1 || !report_ || n > report_->PageCount()) return;
  pageIndex_ = n - 1;
  ShowIndexes();
  if (onPageNumberChange_) onPageNumberChange_();
}

void TKyRPreview::SetBarNumber(int32_t n) {
  if (n == barIndex_ + 1 || n < 1 || !report_ || n > report_->BarCount()) return;
  barIndex_ = n - 1;
  ShowIndexes();
  if (onBarNumberChange_) onBarNumberChange_();
}

void TKyRPreview::ShowIndexes() {
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  report_->SetPageIndex(pageIndex_);  // the report's current page follows the preview
  report_->SetBarIndex(barIndex_);
  ShowHitHighlights();
  LayoutPage();  // pages of one report may differ in size
  RepaintPage();
}

void TKyRPreview::SetZoom(int32_t zoom) {
  if (zoom < 1) zoom = 100;
  zoom = std::min(zoom, kMaxZoom);
  if (zoom == zoom_) return;
  zoom_ = zoom;
  LayoutPage();
  if (onZoomChange_) onZoomChange_();
}

void TKyRPreview::SetShowMargins(bool value) {
  if (value == showMargins_) return;
  showMargins_ = value;
  paintBox_->update();
}

void TKyRPreview::SetShowGrid(bool value) {
  if (value == showGrid_) return;
  showGrid_ = value;
  paintBox_->update();
}

void TKyRPreview::SetZoomByClick(TZoomByClick value) {
  zoomByClick_ = value;
  if (value == zcNone) paintBox_->setCursor(Qt::ArrowCursor);
  else paintBox_->setCursor(ZoomCursor(value == zcInc));
}

int32_t TKyRPreview::FitToWidth() const {
  const TPageInfo* page = CurrentPage();
  if (!page || page->Width() <= 0) return zoom_;
  return std::max(1, (contentsRect().width() - 20) * 100 / page->Width());
}

int32_t TKyRPreview::FitToHeight() const {
  const TPageInfo* page = CurrentPage();
  if (!page || page->Height() <= 0) return zoom_;
  return std::max(1, (contentsRect().height() - 20) * 100 / page->Height());
}

void TKyRPreview::AddHighlight(const TRect& rect, TColor color) {
  highlights_.push_back(TKyRPrevHighlightRect{rect, color});
  RepaintPage();
}

void TKyRPreview::ClearHighlights() {
  highlights_.clear();
  RepaintPage();
}

void TKyRPreview::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  LayoutPage();
}

void TKyRPreview::LayoutPage() {
  const TPageInfo* page = CurrentPage();
  if (!page) {
    panel_->hide();
    return;
  }
  const int panelHeight = static_cast<int>(int64_t(zoom_) * page->Height() / 100);
  const int panelWidth = static_cast<int>(int64_t(zoom_) * page->Width() / 100);
  const QSize client = contentsRect().size();
  const int top = client.height() > panelHeight + kSideGap
                      ? (client.height() - panelHeight - kSideGap) / 2
                      : kEdge;
  const int left =
      client.width() > panelWidth + kSideGap ? (client.width() - panelWidth - kSideGap) / 2 : kEdge;

  // The scrolled area holds the page and its gap; a scroll bar only when needed.
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const QSize need(left + panelWidth + kEdge, top + panelHeight + kEdge);
  bool vertical = need.height() > client.height();
  const bool horizontal = need.width() > client.width() - (vertical ? bar : 0);
  vertical = need.height() > client.height() - (horizontal ? bar : 0);
  const QSize avail(client.width() - (vertical ? bar : 0),
                    client.height() - (horizontal ? bar : 0));
  canvas_->resize(std::max(need.width(), avail.width()), std::max(need.height(), avail.height()));

  panel_->setGeometry(left, top, panelWidth, panelHeight);
  shadowRight_->setGeometry(panelWidth - kShadow, kShadow, kShadow, panelHeight - kShadow);
  shadowBottom_->setGeometry(kShadow, panelHeight - kShadow, panelWidth - kShadow, kShadow);
  paintBox_->setGeometry(0, 0, std::max(0, panelWidth - kShadow),
                         std::max(0, panelHeight - kShadow));
  panel_->show();
}

void TKyRPreview::RepaintPage() {
  imageValid_ = false;
  paintBox_->update();
}

namespace {

// Marks, then the page, mapped from page units by `pageToDevice`.
void DrawContent(QPainter& painter, const TPageInfo& page,
                 const std::vector<TKyRPrevHighlightRect>& highlights,
                 const QTransform& pageToDevice) {
  painter.save();
  painter.setTransform(pageToDevice, true);
  for (const TKyRPrevHighlightRect& h : highlights)
    painter.fillRect(QRectF(h.Rect.Left, h.Rect.Top, h.Rect.Width(), h.Rect.Height()),
                     ToQColor(h.Color));
  try {
    PlayMetafile(painter, page.Picture(), QRectF(0, 0, page.Width(), page.Height()));
  } catch (const Exception&) {
    // a damaged page shows blank; the other pages are still worth seeing
  }
  painter.restore();
}

QTransform PageScale(const TPageInfo& page, QSizeF size) {
  return QTransform::fromScale(size.width() / std::max(1, page.Width()),
                               size.height() / std::max(1, page.Height()));
}

}  // namespace

const QImage& TKyRPreview::PageImage(QSize size, double devicePixelRatio) {
  const TPageInfo* page = CurrentPage();
  const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
  if (imageValid_ && page == imagePage_ && pageImage_.size() == pixels &&
      pageImage_.devicePixelRatio() == devicePixelRatio)
    return pageImage_;
  imagePage_ = page;
  imageValid_ = true;
  if (pageImage_.size() != pixels) pageImage_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  pageImage_.setDevicePixelRatio(devicePixelRatio);
  pageImage_.fill(Qt::white);
  if (page && !pixels.isEmpty()) {
    QPainter painter(&pageImage_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawContent(painter, *page, highlights_, PageScale(*page, size));
  }
  return pageImage_;
}

void TKyRPreview::PaintPage(QPainter& painter, const QRect& rect) {
  const TPageInfo* page = report_ ? CurrentPage() : nullptr;
  if (!page) {
    painter.fillRect(rect, Qt::white);
    return;
  }
  const double dpr = painter.device()->devicePixelRatioF();
  if (int64_t(rect.width() * dpr) * int64_t(rect.height() * dpr) <= kMaxKeptImagePixels) {
    painter.drawImage(rect.topLeft(), PageImage(rect.size(), dpr));
  } else {
    pageImage_ = QImage();
    imageValid_ = false;
    painter.fillRect(rect, Qt::white);
    DrawContent(painter, *page, highlights_,
                PageScale(*page, rect.size()) * QTransform::fromTranslate(rect.x(), rect.y()));
  }
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(0, 0, -1, -1));

  if (!showMargins_ && !showGrid_) return;
  const QTransform map = PageScale(*page, rect.size());
  const auto line = [&](double x1, double y1, double x2, double y2) {
    painter.drawLine(map.map(QPointF(x1, y1)), map.map(QPointF(x2, y2)));
  };
  const double w = page->Width();
  const double h = page->Height();
  if (showMargins_) {
    QPen pen(ToQColor(0x008000), 1, Qt::DotLine);
    painter.setPen(pen);
    line(page->LeftMargin(), 0, page->LeftMargin(), h);
    line(w - page->RightMargin(), 0, w - page->RightMargin(), h);
    line(0, page->TopMargin(), w, page->TopMargin());
    line(0, h - page->BottomMargin(), w, h - page->BottomMargin());
  }
  if (showGrid_) {
    painter.setPen(QPen(ToQColor(0xC0C0C0), 1));
    for (int32_t k = 1; k <= page->Width() / kPageUnitsPerInch; ++k)
      line(k * kPageUnitsPerInch, 0, k * kPageUnitsPerInch, h);
    for (int32_t k = 1; k <= page->Height() / kPageUnitsPerInch; ++k)
      line(0, k * kPageUnitsPerInch, w, k * kPageUnitsPerInch);
  }
}

void TKyRPreview::RenderPage(QPainter& target, const QRectF& source, double scale) const {
  const TPageInfo* page = CurrentPage();
  target.fillRect(QRectF(QPointF(0, 0), source.size() * scale), Qt::white);
  if (!page) return;
  QTransform map = PageScale(*page, paintBox_->size());
  map *= QTransform::fromTranslate(-source.left(), -source.top());
  map *= QTransform::fromScale(scale, scale);
  DrawContent(target, *page, highlights_, map);
}

void TKyRPreview::MouseDown(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint() + paintBox_->pos();
  if (onMouseDown_) onMouseDown_(event->button(), event->buttons(), pos);
  if (!report_ || zoomByClick_ == zcNone || panel_->width() <= 0 || panel_->height() <= 0) return;
  const double fx = double(pos.x()) / panel_->width();
  const double fy = double(pos.y()) / panel_->height();
  const bool left = event->buttons() & Qt::LeftButton;
  const bool right = event->buttons() & Qt::RightButton;
  if ((left && zoomByClick_ == zcInc) || (right && zoomByClick_ == zcDec))
    SetZoom(zoom_ * 150 / 100);
  else if ((left && zoomByClick_ == zcDec) || (right && zoomByClick_ == zcInc))
    SetZoom(zoom_ * 100 / 150);
  else return;
  // The clicked point comes to the middle.
  horizontalScrollBar()->setValue(panel_->x() + int(std::lround(panel_->width() * fx)) -
                                  viewport()->width() / 2);
  verticalScrollBar()->setValue(panel_->y() + int(std::lround(panel_->height() * fy)) -
                                viewport()->height() / 2);
}

void TKyRPreview::MouseMove(QMouseEvent* event) {
  if (onMouseMove_)
    onMouseMove_(event->button(), event->buttons(),
                 paintBox_->mapTo(this, event->position().toPoint()));
}

void TKyRPreview::MouseUp(QMouseEvent* event) {
  if (onMouseUp_)
    onMouseUp_(event->button(), event->buttons(), event->position().toPoint() + paintBox_->pos());
}

// ---- finding ----

bool TKyRPreview::FindText() {
  if (!findDialog_) findDialog_ = new TfrmKyRFind(this);
  if (report_) findDialog_->SetLanguage(report_->Language().EffectiveLanguage());
  const bool ok = findDialog_->exec() == QDialog::Accepted;
  if (ok) Find(findDialog_->Options(), findDialog_->Global());
  RepaintPage();
  return ok;
}

void TKyRPreview::Find(const TKyRFindOptions& options, bool global) {
  hits_.clear();
  hitIndex_ = -1;
  if (report_ && global) {
    hits_ = FindInReport(*report_, options);
  } else if (const TPageInfo* page = CurrentPage()) {
    for (const TRect& r : FindOnPage(page->Picture(), options))
      hits_.push_back(TKyRFindHit{pageIndex_, barIndex_, r});
  }
  highlights_.clear();
  ShowHitHighlights();
  // The first hit from the page on screen onwards comes into view.
  if (!hits_.empty()) {
    const auto here = std::find_if(hits_.begin(), hits_.end(), [&](const TKyRFindHit& h) {
      return h.Bar > barIndex_ || (h.Bar == barIndex_ && h.Page >= pageIndex_);
    });
    hitIndex_ = static_cast<int32_t>(here == hits_.end() ? 0 : here - hits_.begin()) - 1;
    FindNext();
  }
  if (onFindDone_) onFindDone_(static_cast<int32_t>(hits_.size()));
}

bool TKyRPreview::FindNext(bool backwards) {
  if (hits_.empty()) return false;
  const int32_t n = static_cast<int32_t>(hits_.size());
  if (backwards) hitIndex_ = hitIndex_ <= 0 ? n - 1 : hitIndex_ - 1;
  else hitIndex_ = (hitIndex_ + 1) % n;
  const TKyRFindHit hit = hits_[hitIndex_];
  SetBarNumber(hit.Bar + 1);
  SetPageNumber(hit.Page + 1);
  ShowHitHighlights();
  if (const TPageInfo* page = CurrentPage()) {
    const QPointF centre = PageScale(*page, paintBox_->size())
                               .map(QPointF((hit.Rect.Left + hit.Rect.Right) / 2.0,
                                            (hit.Rect.Top + hit.Rect.Bottom) / 2.0));
    ensureVisible(panel_->x() + int(centre.x()), panel_->y() + int(centre.y()), 80, 80);
  }
  return true;
}

void TKyRPreview::ShowHitHighlights() {
  if (hits_.empty()) return;
  highlights_.clear();
  for (size_t i = 0; i < hits_.size(); ++i)
    if (hits_[i].Page == pageIndex_ && hits_[i].Bar == barIndex_)
      highlights_.push_back(
          {hits_[i].Rect, int32_t(i) == hitIndex_ ? kCurrentHitColor : kHitColor});
  RepaintPage();
}

}  // namespace hy
