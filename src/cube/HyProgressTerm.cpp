#include "cube/HyProgressTerm.h"

#include "common/ScopeGuard.h"

#include <unistd.h>

namespace hy {

TTerminalProgress::TTerminalProgress(std::FILE* out, TMode mode) : out_(out) {
  inPlace_ = mode == TMode::Line || (mode == TMode::Auto && isatty(fileno(out)) == 1);
}

void TTerminalProgress::ProgressStage(const std::string& text, int32_t max) {
  text_ = text;
  stepper_.SetMax(max);
  Show("");
}

void TTerminalProgress::ProgressStatus(const std::string& text) {
  text_ = text;
  stepper_.SetMax(0);
  Show(" 0");
}

void TTerminalProgress::ProgressCount(int64_t n) { Show(" " + std::to_string(n)); }

void TTerminalProgress::ProgressStep() {
  // Percentages would flood a log; only the in-place line shows them.
  if (stepper_.StepCheck() && inPlace_) {
    Show(" " + std::to_string(int64_t{stepper_.Position()} * 100 / stepper_.Max()) + "%");
  }
}

void TTerminalProgress::Execute(const TWork& work) {
  const auto endLine = ScopeExit([this] { EndLine(); });
  work(*this);
}

void TTerminalProgress::Show(const std::string& suffix) {
  if (inPlace_) {
    // Carriage return, the text, then erase the rest of the old line.
    std::fprintf(out_, "\r%s%s\x1b[K", text_.c_str(), suffix.c_str());
    lineOpen_ = true;
  } else {
    std::fprintf(out_, "%s%s\n", text_.c_str(), suffix.c_str());
  }
  std::fflush(out_);
}

void TTerminalProgress::EndLine() {
  if (!lineOpen_) return;
  std::fputc('\n', out_);
  std::fflush(out_);
  lineOpen_ = false;
}

}  // namespace hy
