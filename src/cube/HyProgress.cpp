#include "cube/HyProgress.h"

#include <algorithm>

namespace hy {

namespace {

TProgressFactory& Factory() {
  static TProgressFactory factory;
  return factory;
}

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

TCubeProgress::~TCubeProgress() = default;

void SetProgressFactory(TProgressFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<TCubeProgress> NewBuildProgress(bool showDialog) {
  if (Factory()) {
    if (auto progress = Factory()(showDialog)) return progress;
  }
  return std::make_unique<TSilentProgress>();
}

}  // namespace hy
