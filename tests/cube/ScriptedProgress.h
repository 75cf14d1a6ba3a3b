// A progress for tests: records every call in order and cancels, as a user
// pressing Cancel would, at a chosen call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cube/HyProgress.h"

namespace hy {

class ScriptedProgress : public TCubeProgress {
public:
  enum class Kind { Stage, Status, Count, Step };
  struct Call {
    Kind kind;
    std::string text;  // Stage, Status
    int64_t n = 0;     // Stage: max; Count: the counter
  };

  // Cancel at the given progress call (1-based, counting every call).
  void CancelAtCall(int64_t number) { cancelAtCall_ = number; }
  // Cancel at the first ProgressCount whose counter is at least `n`.
  void CancelAtCount(int64_t n) { cancelAtCount_ = n; }

  void ProgressStage(const std::string& text, int32_t max) override {
    stepper_.SetMax(max);
    Record({Kind::Stage, text, max});
  }
  void ProgressStatus(const std::string& text) override { Record({Kind::Status, text, 0}); }
  void ProgressCount(int64_t n) override {
    if (cancelAtCount_ >= 0 && n >= cancelAtCount_) canceled_ = true;
    Record({Kind::Count, {}, n});
    if (canceled_) RaiseUserCanceled();
  }
  void ProgressStep() override {
    stepper_.StepCheck();
    Record({Kind::Step, {}, 0});
    if (canceled_) RaiseUserCanceled();
  }

  const std::vector<Call>& Calls() const { return calls_; }
  bool Canceled() const { return canceled_; }
  int32_t Runs() const { return runs_; }
  const TProgressStepper& Stepper() const { return stepper_; }

  int64_t CountOf(Kind kind) const {
    int64_t count = 0;
    for (const Call& call : calls_) count += call.kind == kind;
    return count;
  }
  // The texts of the stages and statuses, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Call& call : calls_) {
      if (call.kind == Kind::Stage || call.kind == Kind::Status) texts.push_back(call.text);
    }
    return texts;
  }

protected:
  void Execute(const TWork& work) override {
    ++runs_;
    work(*this);
  }

private:
  // Any call may be the chosen one and raises there; afterwards, as with the
  // dialog, every count and step raises again.
  void Record(Call call) {
    calls_.push_back(std::move(call));
    if (cancelAtCall_ > 0 && static_cast<int64_t>(calls_.size()) == cancelAtCall_) {
      canceled_ = true;
      RaiseUserCanceled();
    }
  }

  std::vector<Call> calls_;
  int64_t cancelAtCall_ = 0;
  int64_t cancelAtCount_ = -1;
  bool canceled_ = false;
  int32_t runs_ = 0;
  TProgressStepper stepper_;
};

}  // namespace hy
