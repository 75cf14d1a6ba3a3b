// A saved layout of the main window: where the data comes from, the cube's
// dimension map and limits, the pivot state and the report settings, in one
// small versioned text file (the format is described in LayoutFile.cpp).
// Reading checks the whole file before anything is used, so a broken or
// foreign file changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/DateUtils.h"
#include "common/Exceptions.h"
#include "cube/HyMap.h"
#include "cube/SourceChoice.h"

namespace hy {

class TCommonDataStore;
class TKyPrintHyCube;

// A layout file that cannot be read; the message names the file and line.
HY_DECLARE_EXCEPTION(ELayoutError, Exception);

inline constexpr int kLayoutVersion = 1;

// One dimension map item, as much of it as a layout keeps.
struct TLayoutItem {
  std::string name, fieldName, format, caption, sumExpr;
  TDimFlags dimensionType = dimDimension;
  TBinType binType = binNone;
  TDateTime startDate = 0;
  TActiveFlags activeFlag = diAsNeeded;
  TAlignment alignment = taLeftJustify;
  int32_t width = 10;
  uint32_t valueCount = 0;
};

struct TLayoutReport {
  std::vector<std::string> header, footer;
  int32_t paperWidth = 793, paperHeight = 1122;
  int32_t margins[4] = {0, 0, 0, 0};  // left, top, right, bottom
  bool autoFit = false, wordWrap = false, fixedCols = true, fixedRows = true;
  int32_t gapHorizontal = 2, gapVertical = 2;
};

struct TLayout {
  TSourceChoice source;
  int32_t maxDimensions = 5, maxSummaries = 10;
  uint32_t maxCells = 0;  // 0: the store's default
  std::vector<TLayoutItem> items;
  std::string dimensionInfo;  // the decision source's stored pivot state
  int32_t currentSummary = 0;
  TLayoutReport report;
};

// Copies between a layout and the live objects.
void CaptureMap(const THyMap& map, const TCommonDataStore& store, TLayout& layout);
void ApplyMap(const TLayout& layout, THyMap& map, TCommonDataStore& store);
void CaptureReport(const TKyPrintHyCube& report, TLayoutReport& out);
void ApplyReport(const TLayoutReport& in, TKyPrintHyCube& report);

std::string WriteLayoutText(const TLayout& layout);
// Raises ELayoutError naming `name` and the line for anything it cannot use.
TLayout ReadLayoutText(std::string_view text, const std::string& name);

// Written to a temporary file beside the target and renamed at the end.
void SaveLayoutFile(const std::string& fileName, const TLayout& layout);
TLayout LoadLayoutFile(const std::string& fileName);

}  // namespace hy
