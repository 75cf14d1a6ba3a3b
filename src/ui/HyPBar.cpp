#include "ui/HyPBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/gdi/Fonts.h"

namespace hy {

namespace {

THyProgressDialog* gInstance = nullptr;

// Posted to the dialog when it is first shown; starts the work.
const QEvent::Type kStartWork = QEvent::User;

constexpr int kClientWidth = 394;
constexpr int kClientHeight = 116;
constexpr int kMargin = 8;
constexpr int kStatusTop = 24;
constexpr int kStatusMinWidth = 48;
constexpr int kStatusHeight = 17;
constexpr int kCountLeft = 342;
// Steps come once per record; between bar advances the event queue is
// looked at no more often than this.
constexpr int64_t kStepPumpMs = 15;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The silent build of a window program: the busy cursor while it runs.
class TBusyCursorProgress : public TSilentProgress {
protected:
  void Execute(const TWork& work) override {
    struct TCursorGuard {
      TCursorGuard() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
      ~TCursorGuard() { QGuiApplication::restoreOverrideCursor(); }
    } guard;
    work(*this);
  }
};

}  // namespace

THyProgressDialog::THyProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  HyAssert(gInstance == nullptr, "HyPBar", "a progress dialog is already open");
  gInstance = this;

  setFont(ToQFont(TFont()));  // the dialog's default face and size
  setFixedSize(kClientWidth, kClientHeight);

  labCount_ = new QLabel(this);
  labCount_->setObjectName("labCount");
  labCount_->setGeometry(kCountLeft, kStatusTop, 42, 13);
  labCount_->setAlignment(Qt::AlignRight | Qt::AlignTop);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setGeometry(kMargin, 48, 377, 17);
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);

  cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
  cancelButton_->setObjectName("CancelButton");
  cancelButton_->setGeometry(160, 80, 75, 25);
  connect(cancelButton_, &QPushButton::clicked, this, [this] { CancelClicked(); });

  labStatus_ = new QLabel(this);
  labStatus_->setObjectName("labStatus");
  labStatus_->setGeometry(kMargin, kStatusTop, kStatusMinWidth, kStatusHeight);
  labStatus_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  labStatus_->hide();

  // Centred across the screen, a third of the free height from its top.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 3);
  }
}

THyProgressDialog::~THyProgressDialog() {
  if (gInstance == this) gInstance = nullptr;
}

THyProgressDialog* THyProgressDialog::Instance() { return gInstance; }

void THyProgressDialog::Execute(const TWork& work) {
  setWindowTitle(QString::fromUtf8(kCaption));
  work_ = work;
  capturedError_ = nullptr;
  exec();
  work_ = nullptr;
  // The dialog is hidden by now; the caller frees it.
  if (capturedError_) std::rethrow_exception(std::exchange(capturedError_, nullptr));
}

void THyProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Posted, so that the work begins only after the dialog is on screen.
  if (!started_ && !running_) {
    started_ = true;
    QCoreApplication::postEvent(this, new QEvent(kStartWork));
  }
}

void THyProgressDialog::customEvent(QEvent* event) {
  if (event->type() == kStartWork) {
    RunWork();
    return;
  }
  QDialog::customEvent(event);
}

void THyProgressDialog::RunWork() {
  running_ = true;
  try {
    if (work_) work_(*this);
  } catch (...) {
    // Nothing may escape an event handler; Execute raises it again.
    capturedError_ = std::current_exception();
  }
  done_ = true;
  running_ = false;
  canceled_ = true;
  done(QDialog::Rejected);
}

void THyProgressDialog::CancelClicked() {
  canceled_ = true;
  if (done_) QDialog::reject();
}

// Escape and the window manager's close act as Cancel while the work runs:
// the dialog must stay until the work has noticed.
void THyProgressDialog::reject() {
  if (running_) {
    canceled_ = true;
    return;
  }
  QDialog::reject();
}

void THyProgressDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    canceled_ = true;
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void THyProgressDialog::ProgressStage(const std::string& text, int32_t max) {
  progressBar_->show();
  labCount_->hide();
  SetStatus(text);
  LetMessagesRun();
  stepper_.SetMax(max);
  // A range of 0..0 would turn the bar into a busy indicator.
  progressBar_->setRange(0, std::max(stepper_.Max(), 1));
  progressBar_->setValue(stepper_.Position());
}

void THyProgressDialog::ProgressStatus(const std::string& text) {
  progressBar_->hide();
  labCount_->setText(QStringLiteral("0"));
  labCount_->show();
  SetStatus(text);
  LetMessagesRun();
}

void THyProgressDialog::ProgressCount(int64_t n) {
  labCount_->setText(QString::number(n));
  LetMessagesRun();
  CheckCanceled();
}

void THyProgressDialog::ProgressStep() {
  const bool advanced = stepper_.StepCheck();
  if (advanced) {
    if (!isVisible()) show();
    progressBar_->setValue(stepper_.Position());
  }
  if (advanced || NowMs() - lastPumpMs_ >= kStepPumpMs) LetMessagesRun();
  CheckCanceled();
}

void THyProgressDialog::SetStatus(const std::string& text) {
  statusText_ = QString::fromUtf8(text);
  labStatus_->show();
  FitStatus();
}

// The status grows with its text from the left margin, up to the counter
// when that is shown and up to the right margin otherwise.
void THyProgressDialog::FitStatus() {
  const int room =
      labCount_->isVisibleTo(this) ? kCountLeft - kMargin - kMargin : kClientWidth - 2 * kMargin;
  const QFontMetrics metrics(labStatus_->font());
  const QString shown = metrics.elidedText(statusText_, Qt::ElideRight, room);
  const int width = std::clamp(metrics.horizontalAdvance(shown) + 2, kStatusMinWidth, room);
  labStatus_->setGeometry(kMargin, kStatusTop, width, std::max(kStatusHeight, metrics.height()));
  labStatus_->setText(shown);
}

void THyProgressDialog::LetMessagesRun() {
  QCoreApplication::processEvents();
  lastPumpMs_ = NowMs();
}

void THyProgressDialog::CheckCanceled() const {
  if (canceled_) RaiseUserCanceled();
}

void THyDialogProgress::Execute(const TWork& work) {
  // A build started while another one's dialog is up reports into that one.
  if (THyProgressDialog* open = THyProgressDialog::Instance()) {
    work(*open);
    return;
  }
  // Freed on every path before the work's failure travels on.
  auto dialog = std::make_unique<THyProgressDialog>(QApplication::activeWindow());
  dialog->RunWithProgress(work);
}

std::unique_ptr<TCubeProgress> MakeBuildProgress(bool showDialog) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return std::make_unique<TSilentProgress>();
  }
  if (showDialog) return std::make_unique<THyDialogProgress>();
  return std::make_unique<TBusyCursorProgress>();
}

void UseProgressDialogForBuilds() { SetProgressFactory(&MakeBuildProgress); }

}  // namespace hy
