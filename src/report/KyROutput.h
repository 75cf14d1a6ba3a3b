// The output operations of a report component: choosing pages, printing
// them with copies and collation, driving an export filter over them, and
// the two dialog-driven entry points. The setup dialog itself is a window
// (src/ui); the program installs it here, as it installs the preview window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Exceptions.h"

namespace hy {

class TKyPrintBaseComponent;
class TPlatformPrinter;
struct TKyRExportType;

// A request the pages cannot serve (nothing selected, no pages prepared, a
// printer that does not exist).
HY_DECLARE_EXCEPTION(EKyROutputError, Exception);

// 1-based page numbers within a bar, as decimal text ("1", "2", ...); a page
// of every bar is selected when its number is listed.
using TPageList = std::vector<std::string>;

bool PageListHas(const TPageList& pages, int32_t pageNumber);
// Every page number 1..PageCount of the report.
TPageList AllPages(const TKyPrintBaseComponent& report);

enum TKyPageRange : uint8_t { prAll, prCurrent, prEven, prOdd, prRange };

// What the setup dialog is opened with.
struct TKySetupRequest {
  bool ExportMode = false;
  int Language = 0;
  TPlatformPrinter* Printer = nullptr;
  // Print mode: the entry to preselect, by name when one is given.
  std::string PrinterName;
  int32_t PrinterIndex = -1;
  // Export mode: the file name of the previous export, if any.
  std::string FileName;
};

// What the setup dialog hands back on OK.
struct TKySetupChoice {
  TKyPageRange Range = prAll;
  std::string PagesText;  // for prRange
  // Print mode.
  int32_t PrinterIndex = -1;  // the printer chosen in the list (-1: none)
  int32_t Copies = 1;
  bool Collate = false;
  // Export mode: 0 is the prepared report file, n >= 1 registry entry n - 1.
  int ExportTypeIndex = 0;
  std::string FileName;
  bool SeparateFiles = false;
};

// Shows the setup dialog; true when the user pressed OK (`choice` filled).
using TSetupDialogFunction =
    std::function<bool(const TKySetupRequest& request, TKySetupChoice& choice)>;
void SetSetupDialogFunction(TSetupDialogFunction function);
const TSetupDialogFunction& SetupDialogFunction();

// The page list of a dialog choice: the parsed pages text, the current page,
// or all / even / odd page numbers up to the report's PageCount.
TPageList SelectPages(const TKyPrintBaseComponent& report, const TKySetupChoice& choice);

// One printed sheet: page and bar (0-based) of copy `Copy` (1-based).
struct TKySheet {
  int32_t Page;
  int32_t Bar;
  int32_t Copy;
  friend bool operator==(const TKySheet&, const TKySheet&) = default;
};
// The sheets a print run produces, in order: with collation whole copies of
// the selection one after another, otherwise every page's copies together;
// the bars of a page side by side. Pages the report lacks are left out.
std::vector<TKySheet> PrintOrder(const TKyPrintBaseComponent& report, const TPageList& pages,
                                 int32_t copies, bool collate);

struct TKyPrintResult {
  int32_t Sheets = 0;        // sheets sent to the printer
  std::string PrinterError;  // why the printer ended the job; empty when it did not
  bool Ok() const { return PrinterError.empty(); }
};

// Prints the listed pages on the report's printer with PrinterSetting's
// copies and collation, the printer's own copy count held at 1 meanwhile. A
// printer error ends the job; it is not raised but returned, so the caller
// can tell the user. EKyROutputError when there is no printer or the one
// PrinterSetting names does not exist.
TKyPrintResult Print(TKyPrintBaseComponent& report, const TPageList& pages);

// Drives one exporter of `type` over the listed pages into `fileName`, or
// into one file per page and bar when `separateFiles`. The selected pages lie
// on the export surface one below the other in the order of their numbers,
// the bars side by side.
void Export(TKyPrintBaseComponent& report, const std::string& fileName, bool separateFiles,
            const TKyRExportType& type, const TPageList& pages);

// The setup dialog in print mode, then Print. False when the user cancelled
// (or no dialog is installed).
bool PrintWithDialog(TKyPrintBaseComponent& report, TKyPrintResult* result = nullptr);
// The setup dialog in export mode, then the prepared report file or Export;
// `fileName` comes in as the proposal and goes out as the chosen name.
bool ExportWithDialog(TKyPrintBaseComponent& report, std::string& fileName);

}  // namespace hy
