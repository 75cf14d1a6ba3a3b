// A report progress for tests: keeps a log of every call and presses Cancel
// at a chosen UpdateProcess.
#pragma once

#include <string>
#include <vector>

#include "report/KyProces.h"

namespace hy::test {

class TScriptedProcess : public TKyProcess {
public:
  // The n-th UpdateProcess (1-based) presses Cancel; 0 never does.
  int CancelAtUpdate = 0;
  std::vector<std::string> Log;
  std::vector<TKyProcessView> Shown;  // the state at every ShowProcess
  int Updates = 0;
  int Runs = 0;
  int BusyDepth = 0;

  void BeginBusy() override { ++BusyDepth; }
  void EndBusy() override { --BusyDepth; }

protected:
  void Opened() override {
    Shown.push_back(View());
    Log.push_back("show " + View().Text);
  }
  void Updated() override {
    Log.push_back("update " + View().Text + " @" + std::to_string(View().Position));
    if (++Updates == CancelAtUpdate) Cancel();
  }
  void Closed() override { Log.push_back("hide"); }
  void Run(const TMethod& method) override {
    ++Runs;
    Log.push_back("run");
    method();
  }
};

}  // namespace hy::test
