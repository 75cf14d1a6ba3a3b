// Build progress on a terminal: the stage texts, the row counter and the
// bar's percentage on one line that is rewritten in place when the stream is
// a terminal, or as plain lines (texts and counts, no percentages) otherwise.
#pragma once

#include <cstdio>
#include <string>

#include "cube/HyProgress.h"

namespace hy {

class TTerminalProgress : public TCubeProgress {
public:
  enum class TMode { Auto, Line, Plain };

  // `out` stays owned by the caller. Auto picks Line when `out` is a terminal.
  explicit TTerminalProgress(std::FILE* out = stderr, TMode mode = TMode::Auto);

  void ProgressStage(const std::string& text, int32_t max) override;
  void ProgressStatus(const std::string& text) override;
  void ProgressCount(int64_t n) override;
  void ProgressStep() override;

  bool UpdatesInPlace() const { return inPlace_; }

protected:
  void Execute(const TWork& work) override;

private:
  // Line mode: rewrites the line as "<text><suffix>". Plain mode: one line.
  void Show(const std::string& suffix);
  void EndLine();

  std::FILE* out_;
  bool inPlace_;
  bool lineOpen_ = false;
  std::string text_;
  TProgressStepper stepper_;
};

}  // namespace hy
