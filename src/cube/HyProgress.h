// Progress of a cube build. The build reports through one interface that is
// handed to the work explicitly; the window program shows a modal dialog
// with a Cancel button, the command-line tool a terminal line, tests a
// scripted fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/Exceptions.h"

namespace hy {

// The user pressed Cancel while the cube was being built.
HY_DECLARE_EXCEPTION(EUserCanceled, Exception);

inline constexpr const char* kUserCanceledMessage = "User canceled DecisionCube population.";
[[noreturn]] void RaiseUserCanceled();

// The bar arithmetic of a stage: how often ProgressStep advances the bar and
// where the bar stands. Shared by every implementation that draws a bar.
class TProgressStepper {
public:
  // 1 up to 100 steps, a tenth up to 10000, a twentieth above (rounded).
  static int32_t IntervalFor(int32_t max);

  // Starts a stage of `max` steps: position 1, counter 1.
  void SetMax(int32_t max);
  // Counts one step; answers true when the bar advanced by one interval.
  bool StepCheck();

  int32_t Max() const { return max_; }
  int32_t Position() const { return position_; }
  int32_t StepInterval() const { return stepInterval_; }
  int32_t StepCounter() const { return stepCounter_; }

private:
  int32_t max_ = 0;
  int32_t position_ = 0;
  int32_t stepInterval_ = 1;
  int32_t stepCounter_ = 0;
};

class TCubeProgress {
public:
  using TWork = std::function<void(TCubeProgress& progress)>;

  TCubeProgress() = default;
  TCubeProgress(const TCubeProgress&) = delete;
  TCubeProgress& operator=(const TCubeProgress&) = delete;
  virtual ~TCubeProgress();

  // Runs `work`, handing it the progress it is to report to (this object
  // or the window it opens), and passes on whatever `work` raised, after
  // any window of the implementation is gone.
  void RunWithProgress(const TWork& work) { Execute(work); }

  // A stage of `max` steps: shows `text` and a bar.
  virtual void ProgressStage(const std::string& text, int32_t max) = 0;
  // A stage without a bar: shows `text` and a counter at 0.
  virtual void ProgressStatus(const std::string& text) = 0;
  // Shows the counter; raises EUserCanceled when the user has cancelled.
  virtual void ProgressCount(int64_t n) = 0;
  // One step of the current stage; raises EUserCanceled when cancelled.
  virtual void ProgressStep() = 0;

protected:
  // Runs `work` the implementation's way (inside a window, directly, ...).
  virtual void Execute(const TWork& work) = 0;
};

// No output, never cancels.
class TSilentProgress : public TCubeProgress {
public:
  void ProgressStage(const std::string&, int32_t) override {}
  void ProgressStatus(const std::string&) override {}
  void ProgressCount(int64_t) override {}
  void ProgressStep() override {}

protected:
  void Execute(const TWork& work) override { work(*this); }
};

// How a build gets its progress. The cube asks NewBuildProgress with its
// ShowProgressDialog setting; the window program installs a factory that
// answers the dialog, the command-line tool one for the terminal. Without a
// factory every build is silent.
using TProgressFactory = std::function<std::unique_ptr<TCubeProgress>(bool showDialog)>;
void SetProgressFactory(TProgressFactory factory);
std::unique_ptr<TCubeProgress> NewBuildProgress(bool showDialog);

}  // namespace hy
