#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/PivotOptions.h"
#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "pivot/HyGrid.h"
#include "platform/gdi/GuiApp.h"
#include "ui/HyGridWidgetRender.h"

namespace hy::cli {

namespace {

const char* const kPivotHelp =
    "usage: hycube pivot [source] [items] [limits] [--layout TEXT] [--summary N]\n"
    "                    [--sparse-rows] [--sparse-cols] [--no-totals] [--png FILE]\n"
    "                    [--png-max PIXELS]\n\n"
    "Opens the cube, pivots it and prints the cross-tab grid's whole cell matrix as\n"
    "CSV: one line per grid row (captions, column labels, data rows with their row\n"
    "labels, subtotal \"Sum\" rows), each cell exactly the text the grid shows;\n"
    "rows and columns the grid hides (subtotals turned off) are left out.\n";

const char* const kPivotOwnHelp =
    "  --png FILE      also draw the grid at its full size into a PNG file; the\n"
    "                  target is checked before the cube is built\n"
    "  --png-max PIXELS  refuse a picture of more pixels than this (default\n"
    "                  100000000, at most 500000000; a side is at most 32767)\n"
    "Errors print the message on stderr with exit status 2.\n\n";

int64_t ParsePngMax(const std::string& text) {
  int64_t n = 0;
  const bool digits = !text.empty() && text.size() <= 12 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || !TryStrToInt64(text, n) || n < 1 || n > kGridPngHardMaxPixels)
    throw Exception(Format("hycube pivot: --png-max '%s' is not a pixel count from 1 to %lld",
                           text.c_str(), static_cast<long long>(kGridPngHardMaxPixels)));
  return n;
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
  int64_t pngMax = kGridPngMaxPixels;
  for (size_t i = 0; i < options.rest.size(); ++i) {
    if (TakePivotFlag(options.rest, i, flags, "pivot")) continue;
    if (options.rest[i] == "--png") {
      png = FlagValue(options.rest, i, "pivot");
      continue;
    }
    if (options.rest[i] == "--png-max") {
      pngMax = ParsePngMax(FlagValue(options.rest, i, "pivot"));
      continue;
    }
    throw Exception(Format("hycube pivot: unknown argument '%s' (see hycube pivot --help)",
                           options.rest[i].c_str()));
  }
  // Widths come from text metrics; a picture needs the widget application.
  if (!png.empty()) EnsureWidgetApplication();
  else EnsureGuiApplication();
  // A target that cannot be written fails before any work.
  std::unique_ptr<TGridPngFile> picture;
  if (!png.empty()) picture = std::make_unique<TGridPngFile>(png);

  CliPivot pivot(options, flags, "pivot");
  TCustomHyGrid* grid = &pivot.Grid();
  // A picture too large is refused before anything is printed.
  if (picture) picture->CheckSize(*grid, pngMax);

  // What the grid shows: hidden rows and columns are not printed.
  std::string line, text;
  TPivotDrawState state;
  for (int32_t row = 0; row < grid->RowCount(); ++row) {
    if (grid->RowHeights(row) == 0) continue;
    line.clear();
    bool first = true;
    for (int32_t col = 0; col < grid->ColCount(); ++col) {
      if (grid->ColWidths(col) == 0) continue;
      if (!first) line += ',';
      first = false;
      grid->CellQuery(col - grid->FixedCols(), row - grid->FixedRows(), state, text);
      AppendCsvField(line, text);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  std::fflush(stdout);
  if (picture) picture->Write(*grid);
  return 0;
}

}  // namespace hy::cli
