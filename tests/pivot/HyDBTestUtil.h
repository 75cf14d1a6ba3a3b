// Helpers shared by the decision source tests: a link and event handlers
// that write what they are told into one log, and a source loaded from a
// stored pivot state.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "pivot/HyDB.h"

namespace hy::test {

inline constexpr char kDemoState[] =
    "(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 1 1 1 -1 'Payment')";

inline const char* EventName(TDecisionDataEvent event) {
  switch (event) {
    case TDecisionDataEvent::StateChanged: return "StateChanged";
    case TDecisionDataEvent::SummaryChanged: return "SummaryChanged";
    case TDecisionDataEvent::PivotChanged: return "PivotChanged";
    case TDecisionDataEvent::NewDimensions: return "NewDimensions";
    case TDecisionDataEvent::SourceChanged: return "SourceChanged";
  }
  return "?";
}

class RecordingLink : public TDecisionDataLink {
public:
  RecordingLink(std::vector<std::string>& log, std::string name)
      : log_(log), name_(std::move(name)) {}
  void DataEvent(TDecisionDataEvent event) override {
    log_.push_back(name_ + ":" + EventName(event));
  }

private:
  std::vector<std::string>& log_;
  std::string name_;
};

// Every source event goes into `log` under its own name.
inline void RecordSourceEvents(THySource& source, std::vector<std::string>& log) {
  source.SetOnBeforePivot([&log](THySource&) { log.push_back("BeforePivot"); });
  source.SetOnAfterPivot([&log](THySource&) { log.push_back("AfterPivot"); });
  source.SetOnStateChange([&log](THySource&) { log.push_back("OnStateChange"); });
  source.SetOnNewDimensions([&log](THySource&) { log.push_back("OnNewDimensions"); });
  source.SetOnLayoutChange([&log](THySource&) { log.push_back("OnLayoutChange"); });
  source.SetOnSummaryChange([&log](THySource&) { log.push_back("OnSummaryChange"); });
}

// Reads a stored state the way a window layout does.
inline void LoadState(THySource& source, int32_t dimensionCount, const std::string& text,
                      int32_t summaryCount = 1, int32_t currentSummary = 0) {
  source.BeginLoading();
  source.SetDimensionCount(dimensionCount);
  source.SetSummaryCount(summaryCount);
  source.SetCurrentSummary(currentSummary);
  source.SetSparseRows(false);
  source.SetSparseCols(false);
  source.SetDimensionInfo(text);
  source.Loaded();
}

// Names of an axis list, in order, with their states: "SaleDate+ Payment-".
inline std::string Describe(const TDimInfoList& list) {
  std::string text;
  for (const TDimInfo* info : list.List()) {
    if (!text.empty()) text += ' ';
    text += info->Name;
    switch (info->State) {
      case TDimState::Open: text += '+'; break;
      case TDimState::Closed: text += '-'; break;
      case TDimState::Drilled: text += "=" + std::to_string(info->Value); break;
      case TDimState::Fixed: text += "#" + std::to_string(info->Value); break;
      case TDimState::Unplaced: text += '?'; break;
    }
  }
  return text;
}

}  // namespace hy::test
