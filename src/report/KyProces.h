// The progress of long report work (preparing, printing, exporting): a
// status window with a caption, one status line, an optional bar and a
// Cancel button. The work gets a TKyProcess and drives it through the five
// procedures; the window program passes the Qt window (src/ui), `hycube` a
// silent or a terminal one, tests a scripted one. The rules every
// implementation keeps (what each procedure answers, when the cancel flag is
// cleared) live here; implementations only show and run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace hy {

// What ShowProcess opened and UpdateProcess changed.
struct TKyProcessView {
  int Language = 0;
  std::string Caption;
  std::string Text;
  std::string CancelCaption;
  int32_t Position = 0;
  int32_t Max = 0;
  int32_t Min = 0;
  // A minimum and maximum of 0 mean no bar.
  bool BarVisible() const { return Min != 0 || Max != 0; }
};

class TKyProcess {
public:
  using TMethod = std::function<void()>;

  TKyProcess() = default;
  TKyProcess(const TKyProcess&) = delete;
  TKyProcess& operator=(const TKyProcess&) = delete;
  virtual ~TKyProcess();

  // Opens the status (closing one that is open) and clears the cancel flag.
  bool ShowProcess(int language, const std::string& caption, const std::string& text,
                   int32_t position, int32_t max, int32_t min, const std::string& cancelCaption);
  // False when nothing is open.
  bool UpdateProcess(const std::string& text, int32_t position);
  // False when nothing was open.
  bool HideProcess();
  // Whether the user asked to cancel since the status was opened.
  bool ProcessCancelled() const { return cancelled_; }
  // Runs `method` inside the open status (modally, for a window); without an
  // open status it runs directly. A failure of `method` passes to the caller.
  void RunInProcess(const TMethod& method);

  bool IsOpen() const { return open_; }
  const TKyProcessView& View() const { return view_; }

  // The user asked to cancel (Cancel button, Escape, closing the window).
  // The work goes on until it polls ProcessCancelled.
  void Cancel();

  // Brackets work the user waits for, shown or not (the busy cursor).
  virtual void BeginBusy() {}
  virtual void EndBusy() {}

protected:
  // Called after the state changed; View() holds the new state.
  virtual void Opened() {}
  virtual void Updated() {}
  virtual void Closed() {}
  virtual void Run(const TMethod& method) { method(); }

private:
  TKyProcessView view_;
  bool open_ = false;
  bool cancelled_ = false;
};

// Shows nothing and is never cancelled: the default of a report component
// and `hycube` without --progress.
class TKySilentProcess : public TKyProcess {};

}  // namespace hy
