// The report's progress window: a small animation drawn by the program, one
// status line, a bar shown only when its range is not 0..0, and a Cancel
// button (Escape and closing the window count as Cancel). TKyRWindowProcess
// drives it through the report's progress procedures: ShowProcess creates
// the window and disables every other window of the program until
// HideProcess; RunInProcess shows it modally and runs the work from inside.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>

#include "report/KyProces.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace hy {

// A sheet flying from one folder to another, frame by frame.
class TKyRAnimate : public QWidget {
public:
  static constexpr int kFrameCount = 34;
  static constexpr int kFrameMs = 60;

  explicit TKyRAnimate(QWidget* parent = nullptr);

  bool Active() const { return timer_.isActive(); }
  void Play();
  void Stop();
  int Frame() const { return frame_; }
  void SetFrame(int frame);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QTimer timer_;
  int frame_ = 0;
};

class TfrmKyRProcess : public QDialog {
public:
  static constexpr int kClientWidth = 442;
  static constexpr int kClientHeight = 87;

  // `onCancel` is called for every press of Cancel, Escape or close.
  explicit TfrmKyRProcess(std::function<void()> onCancel);

  TKyRAnimate* Animate() const { return animate_; }
  QLabel* LblStatus() const { return lblStatus_; }
  QProgressBar* ProgressBar() const { return progressBar_; }
  QPushButton* BtnCancel() const { return btnCancel_; }

  // Shows the window modally and runs `method` once it is on screen; the
  // window closes when `method` returns. What `method` raises is raised here.
  void RunModal(const std::function<void()>& method);
  bool Running() const { return running_; }

protected:
  void showEvent(QShowEvent* event) override;
  void customEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

private:
  TKyRAnimate* animate_;
  QLabel* lblStatus_;
  QProgressBar* progressBar_;
  QPushButton* btnCancel_;
  std::function<void()> onCancel_;
  std::function<void()> method_;
  std::exception_ptr error_;
  bool running_ = false;
};

class TKyRWindowProcess : public TKyProcess {
public:
  TKyRWindowProcess();
  ~TKyRWindowProcess() override;

  // The open window, or nullptr.
  TfrmKyRProcess* Window() const { return window_.get(); }

  void BeginBusy() override;
  void EndBusy() override;

protected:
  void Opened() override;
  void Updated() override;
  void Closed() override;
  void Run(const TMethod& method) override;

private:
  void ShowState();
  void DisableOtherWindows();
  void EnableOtherWindows();

  std::unique_ptr<TfrmKyRProcess> window_;
  std::vector<QPointer<QWidget>> disabled_;
};

}  // namespace hy
