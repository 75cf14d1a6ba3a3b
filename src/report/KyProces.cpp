#include "report/KyProces.h"

namespace hy {

TKyProcess::~TKyProcess() = default;

bool TKyProcess::ShowProcess(int language, const std::string& caption, const std::string& text,
                             int32_t position, int32_t max, int32_t min,
                             const std::string& cancelCaption) {
  HideProcess();
  cancelled_ = false;
  view_ = TKyProcessView{language, caption, text, cancelCaption, position, max, min};
  open_ = true;
  Opened();
  return true;
}

bool TKyProcess::UpdateProcess(const std::string& text, int32_t position) {
  if (!open_) return false;
  view_.Text = text;
  view_.Position = position;
  Updated();
  return true;
}

bool TKyProcess::HideProcess() {
  if (!open_) return false;
  open_ = false;
  cancelled_ = false;
  Closed();
  return true;
}

void TKyProcess::RunInProcess(const TMethod& method) {
  if (open_) Run(method);
  else method();
}

void TKyProcess::Cancel() {
  if (open_) cancelled_ = true;
}

}  // namespace hy
