#include "report/KyProcesTerm.h"

#include <unistd.h>

#include <algorithm>

namespace hy {

TKyTerminalProcess::TKyTerminalProcess(std::FILE* out, TMode mode)
    : out_(out), inPlace_(mode == TMode::Line || (mode == TMode::Auto && isatty(fileno(out)))) {}

void TKyTerminalProcess::Opened() {
  lastShown_.clear();
  std::fprintf(out_, "%s\n", View().Caption.c_str());
  ShowStatus();
}

void TKyTerminalProcess::Updated() { ShowStatus(); }

void TKyTerminalProcess::Closed() {
  if (lineOpen_) std::fputc('\n', out_);
  lineOpen_ = false;
  std::fflush(out_);
}

void TKyTerminalProcess::ShowStatus() {
  const TKyProcessView& v = View();
  std::string line = v.Text;
  if (v.BarVisible() && v.Max > v.Min) {
    const int64_t pos = std::clamp<int64_t>(v.Position, v.Min, v.Max);
    line += " " + std::to_string((pos - v.Min) * 100 / (int64_t(v.Max) - v.Min)) + "%";
  }
  if (line == lastShown_) return;
  lastShown_ = line;
  if (inPlace_) {
    std::fprintf(out_, "\r%s\033[K", line.c_str());
    lineOpen_ = true;
  } else {
    std::fprintf(out_, "%s\n", line.c_str());
  }
  std::fflush(out_);
}

}  // namespace hy
