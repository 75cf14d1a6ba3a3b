#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/PivotOptions.h"
#include "common/Exceptions.h"
#include "common/StrUtils.h"
#include "pivot/HyGrid.h"
#include "platform/gdi/GuiApp.h"
#include "ui/HyGridWidgetRender.h"

namespace hy::cli {

namespace {

const char* const kPivotHelp =
    "usage: hycube pivot [source] [items] [limits] [--layout TEXT] [--summary N]\n"
    "                    [--sparse-rows] [--sparse-cols] [--no-totals] [--png FILE]\n\n"
    "Opens the cube, pivots it and prints the cross-tab grid's whole cell matrix as\n"
    "CSV: one line per grid row (captions, column labels, data rows with their row\n"
    "labels, subtotal \"Sum\" rows), each cell exactly the text the grid shows.\n";

const char* const kPivotOwnHelp =
    "  --png FILE      also draw the grid at its full size into a PNG file\n"
    "Errors print the message on stderr with exit status 2.\n\n";

// One CSV field, quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

int CmdPivot(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s%s%s%s", kPivotHelp, kPivotFlagsHelp, kPivotOwnHelp, kCubeOptionsHelp);
    return 0;
  }
  const CubeOptions options = ParseCubeOptions(args);
  PivotFlags flags;
  std::string png;
  for (size_t i = 0; i < options.rest.size(); ++i) {
    if (TakePivotFlag(options.rest, i, flags, "pivot")) continue;
    if (options.rest[i] == "--png") {
      png = FlagValue(options.rest, i, "pivot");
      continue;
    }
    throw Exception(
        Format("hycube pivot: unknown argument '%s' (see hycube pivot --help)", options.rest[i].c_str()));
  }
  // Widths come from text metrics; a picture needs the widget application.
  if (!png.empty()) EnsureWidgetApplication();
  else EnsureGuiApplication();

  CliPivot pivot(options, flags, "pivot");
  const TCustomHyGrid* grid = &pivot.Grid();
  std::string line;
  for (int32_t row = 0; row < grid->RowCount(); ++row) {
    line.clear();
    for (int32_t col = 0; col < grid->ColCount(); ++col) {
      if (col) line += ',';
      line += CsvField(grid->CellText(col - grid->FixedCols(), row - grid->FixedRows()));
    }
    line += '\n';
    std::fputs(line.c_str(), stdout);
  }
  std::fflush(stdout);
  if (!png.empty()) SaveGridPng(pivot.Grid(), png);
  return 0;
}

}  // namespace hy::cli
