// The lens of the preview: a small tool window that stays on top and shows
// the page around the mouse at the scale of its track bar (200 % at its
// start), replayed at that scale rather than stretched from the screen.
#pragma once

#include <functional>

#include <QImage>
#include <QPointF>
#include <QWidget>

class QLabel;
class QSlider;

namespace hy {

class TKyRPreview;

class TfrmKyRLens : public QWidget {
public:
  static constexpr int kClientWidth = 250;
  static constexpr int kClientHeight = 150;

  explicit TfrmKyRLens(QWidget* parent = nullptr);

  void Localize(int language);
  QSlider* tbScale() const { return tbScale_; }
  QLabel* lblScale() const { return lblScale_; }
  QWidget* pbLens() const { return pbLens_; }

  // Fills the lens from the page under `clientPos` (the preview control's
  // client coordinates), as a mouse move over the control delivers it.
  void UpdateFrom(const TKyRPreview& preview, QPoint clientPos);
  const QImage& LensImage() const { return lensImage_; }
  // The part of the paint box shown last (paint box pixels).
  QRectF Source() const { return source_; }

  // Called when the window is shown (true) or hidden (false).
  void SetOnVisibleChange(std::function<void(bool)> handler) {
    onVisibleChange_ = std::move(handler);
  }

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  void ShowScale();

  int language_ = 0;
  QSlider* tbScale_;
  QLabel* lblScale_;
  QWidget* pbLens_;
  QImage lensImage_;
  QRectF source_;
  std::function<void(bool)> onVisibleChange_;
};

}  // namespace hy
