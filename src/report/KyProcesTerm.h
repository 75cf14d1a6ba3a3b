// Report progress on a terminal (`hycube --progress`): the caption once,
// then the status text with the bar's percentage, rewritten in place when
// the stream is a terminal and as one line per change otherwise. Never
// cancelled (Ctrl+C ends the program).
#pragma once

#include <cstdio>

#include "report/KyProces.h"

namespace hy {

class TKyTerminalProcess : public TKyProcess {
public:
  enum class TMode { Auto, Line, Plain };

  // `out` stays owned by the caller. Auto picks Line when `out` is a terminal.
  explicit TKyTerminalProcess(std::FILE* out = stderr, TMode mode = TMode::Auto);

  bool UpdatesInPlace() const { return inPlace_; }

protected:
  void Opened() override;
  void Updated() override;
  void Closed() override;

private:
  void ShowStatus();

  std::FILE* out_;
  bool inPlace_;
  bool lineOpen_ = false;
  std::string lastShown_;
};

}  // namespace hy
