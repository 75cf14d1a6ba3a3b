#include "cube/HyProgress.h"

#include <algorithm>

namespace hy {

namespace {

TCubeProgress* gCurrent = nullptr;

TProgressFactory& Factory() {
  static TProgressFactory factory;
  return factory;
}

// Makes a progress current for one run and puts the previous one back, also
// when the work fails.
class TCurrentScope {
public:
  explicit TCurrentScope(TCubeProgress* progress) : previous_(gCurrent) { gCurrent = progress; }
  ~TCurrentScope() { gCurrent = previous_; }

private:
  TCubeProgress* previous_;
};

}  // namespace

void RaiseUserCanceled() { throw EUserCanceled(kUserCanceledMessage); }

int32_t TProgressStepper::IntervalFor(int32_t max) {
  if (max <= 100) return 1;
  // Rounded to the nearest integer, halves up, without floating point.
  if (max <= 10000) return static_cast<int32_t>((int64_t{max} + 5) / 10);
  return static_cast<int32_t>((int64_t{max} + 10) / 20);
}

void TProgressStepper::SetMax(int32_t max) {
  // Every stage restarts the bar, also when its maximum equals the previous
  // stage's: otherwise a second stage of the same size would start full.
  max_ = std::max(max, 0);
  position_ = std::min(1, max_);
  stepInterval_ = IntervalFor(max);
  stepCounter_ = 1;
}

bool TProgressStepper::StepCheck() {
  bool advanced = false;
  if (stepCounter_ == stepInterval_ && max_ > 0) {
    position_ = static_cast<int32_t>(std::min<int64_t>(int64_t{position_} + stepInterval_, max_));
    stepCounter_ = 0;
    advanced = true;
  }
  ++stepCounter_;
  return advanced;
}

TCubeProgress::~TCubeProgress() {
  if (gCurrent == this) gCurrent = nullptr;
}

void TCubeProgress::RunWithProgress(const TWork& work) {
  TCurrentScope scope(this);
  Execute(work);
}

TCubeProgress* CurrentProgress() { return gCurrent; }

void ProgressStage(const std::string& text, int32_t max) {
  if (gCurrent) gCurrent->ProgressStage(text, max);
}

void ProgressStatus(const std::string& text) {
  if (gCurrent) gCurrent->ProgressStatus(text);
}

void ProgressCount(int64_t n) {
  if (gCurrent) gCurrent->ProgressCount(n);
}

void ProgressStep() {
  if (gCurrent) gCurrent->ProgressStep();
}

void SetProgressFactory(TProgressFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<TCubeProgress> NewBuildProgress(bool showDialog) {
  if (Factory()) {
    if (auto progress = Factory()(showDialog)) return progress;
  }
  return std::make_unique<TSilentProgress>();
}

}  // namespace hy
