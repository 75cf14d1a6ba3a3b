#include "ui/KyRLens.h"

#include <algorithm>

#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>

#include "report/KyRDMan.h"
#include "ui/KyRView.h"

namespace hy {

namespace {

constexpr int kStrScale = 1805;        // "Scale: "
constexpr int kStrLensCaption = 1818;  // "Lens form"

class TLensBox : public QWidget {
public:
  TLensBox(const QImage& image, QWidget* parent) : QWidget(parent), image_(image) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (!image_.isNull()) painter.drawImage(QPoint(0, 0), image_);
  }

private:
  const QImage& image_;
};

}  // namespace

TfrmKyRLens::TfrmKyRLens(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("frmKyRLens");
  tbScale_ = new QSlider(Qt::Horizontal, this);
  tbScale_->setObjectName("tbScale");
  tbScale_->setRange(1, 10);
  tbScale_->setTickInterval(1);
  tbScale_->setTickPosition(QSlider::TicksBelow);
  tbScale_->setPageStep(1);
  tbScale_->setValue(2);
  lblScale_ = new QLabel(this);
  lblScale_->setAlignment(Qt::AlignCenter);
  pbLens_ = new TLensBox(lensImage_, this);
  pbLens_->setObjectName("pbLens");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(tbScale_);
  layout->addWidget(lblScale_);
  layout->addWidget(pbLens_, 1);
  connect(tbScale_, &QSlider::valueChanged, this, [this] { ShowScale(); });
  Localize(0);
  resize(kClientWidth, kClientHeight);
}

void TfrmKyRLens::Localize(int language) {
  language_ = language;
  setWindowTitle(QString::fromStdString(LoadString(language_, kStrLensCaption)));
  ShowScale();
}

void TfrmKyRLens::ShowScale() {
  lblScale_->setText(QString::fromStdString(LoadString(language_, kStrScale)).trimmed() + " " +
                     QString::number(tbScale_->value() * 100) + "%");
}

void TfrmKyRLens::UpdateFrom(const TKyRPreview& preview, QPoint clientPos) {
  const QSize size = pbLens_->size();
  if (size.isEmpty()) return;
  const double scale = std::max(1.0, tbScale_->value() * 100.0 / std::max(1, preview.Zoom()));
  const QSizeF sourceSize(size.width() / scale, size.height() / scale);
  const QPointF centre = preview.PaintBox()->mapFrom(&preview, clientPos);
  QRectF source(centre - QPointF(sourceSize.width() / 2, sourceSize.height() / 2), sourceSize);
  // Kept on the page where it would leave it (centred where the page is smaller).
  const QSizeF page = preview.PaintBox()->size();
  const auto clampSide = [](double start, double length, double limit) {
    return length >= limit ? (limit - length) / 2 : std::clamp(start, 0.0, limit - length);
  };
  source.moveTo(clampSide(source.left(), source.width(), page.width()),
                clampSide(source.top(), source.height(), page.height()));
  source_ = source;

  const double dpr = pbLens_->devicePixelRatioF();
  lensImage_ = QImage((QSizeF(size) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
  lensImage_.setDevicePixelRatio(dpr);
  {
    QPainter painter(&lensImage_);
    preview.RenderPage(painter, source, scale);
  }
  pbLens_->update();
}

void TfrmKyRLens::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (onVisibleChange_) onVisibleChange_(true);
}

void TfrmKyRLens::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (onVisibleChange_) onVisibleChange_(false);
}

}  // namespace hy
