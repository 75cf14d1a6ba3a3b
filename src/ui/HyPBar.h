// The modal dialog a cube build runs in: a status text, a row counter, a bar
// and a Cancel button. The work starts once the dialog is on screen and runs
// inside the dialog's own event handling; every progress call lets pending
// events run, so the Cancel button works while the build goes on.
#pragma once

#include <QDialog>

#include <exception>
#include <memory>

#include "cube/HyProgress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace hy {

class THyProgressDialog : public QDialog, public TCubeProgress {
public:
  static constexpr const char* kCaption = "Building data store...";

  // At most one dialog exists at a time (EAssertionFailed otherwise).
  explicit THyProgressDialog(QWidget* parent = nullptr);
  ~THyProgressDialog() override;

  // The dialog that exists right now, or nullptr.
  static THyProgressDialog* Instance();

  void ProgressStage(const std::string& text, int32_t max) override;
  void ProgressStatus(const std::string& text) override;
  void ProgressCount(int64_t n) override;
  void ProgressStep() override;

  bool Canceled() const { return canceled_; }
  bool Running() const { return running_; }
  bool Done() const { return done_; }
  const TProgressStepper& Stepper() const { return stepper_; }

  QLabel* LabCount() const { return labCount_; }
  QLabel* LabStatus() const { return labStatus_; }
  QProgressBar* ProgressBar() const { return progressBar_; }
  QPushButton* CancelButton() const { return cancelButton_; }

protected:
  // Shows the dialog modally; the work runs once it is on screen.
  void Execute(const TWork& work) override;

  void showEvent(QShowEvent* event) override;
  void customEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

private:
  void RunWork();
  void CancelClicked();
  void SetStatus(const std::string& text);
  void FitStatus();
  void LetMessagesRun();
  void CheckCanceled() const;

  QLabel* labCount_;
  QLabel* labStatus_;
  QProgressBar* progressBar_;
  QPushButton* cancelButton_;

  TWork work_;
  std::exception_ptr capturedError_;
  TProgressStepper stepper_;
  QString statusText_;
  bool canceled_ = false;
  bool running_ = false;
  bool done_ = false;
  bool started_ = false;
  int64_t lastPumpMs_ = 0;
};

// The build's progress when the dialog is wanted: each run creates a dialog
// (over the active window), runs the work in it, handing the work the
// dialog to report to, and frees it. Reports made to this object itself
// go nowhere: the work reports to the dialog.
class THyDialogProgress : public TSilentProgress {
protected:
  void Execute(const TWork& work) override;
};

// The dialog when `showDialog` is set, otherwise a silent progress that shows
// the busy cursor meanwhile. Without a QApplication (no widgets can exist)
// always the silent one.
std::unique_ptr<TCubeProgress> MakeBuildProgress(bool showDialog);

// Makes every cube build of this process ask MakeBuildProgress.
void UseProgressDialogForBuilds();

}  // namespace hy
