#include "ui/KyProcesWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <cmath>
#include <utility>

#include "platform/gdi/Fonts.h"

namespace hy {

namespace {

// Posted to the window when it is first shown modally; runs the work.
const QEvent::Type kRunMethod = static_cast<QEvent::Type>(QEvent::User + 14);

void LetMessagesRun() { QCoreApplication::processEvents(); }

void DrawFolder(QPainter& p, const QRectF& r) {
  const QColor edge(128, 96, 0), face(255, 214, 90), back(236, 186, 58);
  p.setPen(QPen(edge, 1));
  p.setBrush(back);
  QPainterPath tab;
  tab.moveTo(r.left(), r.top() + 4);
  tab.lineTo(r.left() + 2, r.top());
  tab.lineTo(r.left() + r.width() * 0.4, r.top());
  tab.lineTo(r.left() + r.width() * 0.45, r.top() + 4);
  tab.closeSubpath();
  p.drawPath(tab);
  p.drawRect(QRectF(r.left(), r.top() + 4, r.width(), r.height() - 4));
  p.setBrush(face);
  p.drawRect(QRectF(r.left(), r.top() + 9, r.width(), r.height() - 9));
}

void DrawSheet(QPainter& p, const QPointF& centre, double angle) {
  p.save();
  p.translate(centre);
  p.rotate(angle);
  const QRectF sheet(-7, -9, 14, 18);
  p.setPen(QPen(QColor(64, 64, 64), 1));
  p.setBrush(Qt::white);
  p.drawRect(sheet);
  p.setPen(QPen(QColor(0, 0, 160), 1));
  for (int i = 0; i < 4; ++i) p.drawLine(QPointF(-4, -5 + 3.5 * i), QPointF(4, -5 + 3.5 * i));
  p.restore();
}

}  // namespace

TKyRAnimate::TKyRAnimate(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(kFrameMs);
  QObject::connect(&timer_, &QTimer::timeout, this,
                   [this] { SetFrame((frame_ + 1) % kFrameCount); });
}

void TKyRAnimate::Play() { timer_.start(); }
void TKyRAnimate::Stop() { timer_.stop(); }

void TKyRAnimate::SetFrame(int frame) {
  frame_ = frame;
  update();
}

void TKyRAnimate::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const double h = height();
  const QRectF from(width() / 2.0 - 150, h - 30, 40, 28);
  const QRectF to(width() / 2.0 + 110, h - 30, 40, 28);
  DrawFolder(p, from);
  DrawFolder(p, to);
  // The sheet leaves the left folder, arcs over and drops into the right one.
  const double t = frame_ / double(kFrameCount - 1);
  const double x = from.center().x() + (to.center().x() - from.center().x()) * t;
  const double rest = from.top() + 8, peak = 11;  // the sheet stays inside the strip
  const double y = rest - std::sin(t * M_PI) * (rest - peak);
  DrawSheet(p, QPointF(x, y), -20 + 40 * t);
}

TfrmKyRProcess::TfrmKyRProcess(std::function<void()> onCancel)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint),
      onCancel_(std::move(onCancel)) {
  setObjectName("frmKyRProcess");
  setFont(ToQFont(TFont()));
  setFixedSize(kClientWidth, kClientHeight);

  auto* bevel = new QFrame(this);
  bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  bevel->setGeometry(0, 0, kClientWidth, kClientHeight);

  animate_ = new TKyRAnimate(this);
  animate_->setObjectName("Animate");
  animate_->setGeometry(8, 4, 427, 45);

  lblStatus_ = new QLabel(this);
  lblStatus_->setObjectName("lblStatus");
  lblStatus_->setGeometry(8, 56, 339, 13);
  lblStatus_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setGeometry(10, 70, 337, 10);
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);

  btnCancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel_->setObjectName("btnCancel");
  btnCancel_->setGeometry(355, 55, 75, 25);
  btnCancel_->setAutoDefault(false);
  QObject::connect(btnCancel_, &QPushButton::clicked, this, [this] { onCancel_(); });

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }
}

void TfrmKyRProcess::RunModal(const std::function<void()>& method) {
  method_ = method;
  error_ = nullptr;
  exec();
  method_ = nullptr;
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void TfrmKyRProcess::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Posted, so that the work starts once the window is on screen.
  if (method_ && !running_) QCoreApplication::postEvent(this, new QEvent(kRunMethod));
}

void TfrmKyRProcess::customEvent(QEvent* event) {
  if (event->type() != kRunMethod) {
    QDialog::customEvent(event);
    return;
  }
  if (!method_ || running_) return;
  running_ = true;
  try {
    method_();
  } catch (...) {
    // Nothing may leave an event handler; RunModal raises it again.
    error_ = std::current_exception();
  }
  running_ = false;
  method_ = nullptr;
  done(QDialog::Accepted);
}

// Escape and the window manager's close only ask to cancel: the window stays
// until the work has noticed and the report closes it.
void TfrmKyRProcess::reject() { onCancel_(); }

void TfrmKyRProcess::closeEvent(QCloseEvent* event) {
  onCancel_();
  event->ignore();
}

TKyRWindowProcess::TKyRWindowProcess() = default;

TKyRWindowProcess::~TKyRWindowProcess() { HideProcess(); }

void TKyRWindowProcess::BeginBusy() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
void TKyRWindowProcess::EndBusy() { QGuiApplication::restoreOverrideCursor(); }

void TKyRWindowProcess::Opened() {
  window_ = std::make_unique<TfrmKyRProcess>([this] { Cancel(); });
  LetMessagesRun();
  // A pressed mouse button must not stay captured by the window below.
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  const TKyProcessView& v = View();
  window_->setWindowTitle(QString::fromStdString(v.Caption));
  window_->BtnCancel()->setText(QString::fromStdString(v.CancelCaption));
  window_->ProgressBar()->setRange(v.Min, v.Max);
  window_->ProgressBar()->setVisible(v.BarVisible());
  ShowState();
  window_->Animate()->Play();
  DisableOtherWindows();
  LetMessagesRun();
}

void TKyRWindowProcess::Updated() {
  if (!window_->isVisible()) window_->show();
  ShowState();
  window_->repaint();
  LetMessagesRun();
}

void TKyRWindowProcess::ShowState() {
  const TKyProcessView& v = View();
  window_->LblStatus()->setText(QString::fromStdString(v.Text));
  window_->ProgressBar()->setValue(v.Position);
}

void TKyRWindowProcess::Closed() {
  EnableOtherWindows();
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  window_->Animate()->Stop();
  window_.reset();
  LetMessagesRun();
}

void TKyRWindowProcess::Run(const TMethod& method) { window_->RunModal(method); }

void TKyRWindowProcess::DisableOtherWindows() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == window_.get() || !w->isEnabled()) continue;
    w->setEnabled(false);
    disabled_.emplace_back(w);
  }
}

void TKyRWindowProcess::EnableOtherWindows() {
  for (const QPointer<QWidget>& w : disabled_)
    if (w) w->setEnabled(true);
  disabled_.clear();
}

}  // namespace hy
