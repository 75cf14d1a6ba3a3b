#include <cstdio>
#include <memory>
#include <string>

#include "app/DemoLayout.h"
#include "app/cli/CubeOptions.h"
#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
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
    "rows and columns the grid hides (subtotals turned off) are left out.\n"
    "  --layout TEXT   the pivot state in the stored DimensionInfo form, e.g.\n"
    "                  \"(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 1 1 1 -1 'Payment')\"\n"
    "                  (default: the demo window's stored state)\n"
    "  --summary N     show summary N (0-based) instead of the first\n"
    "  --sparse-rows   keep rows whose cells are all empty\n"
    "  --sparse-cols   keep columns whose cells are all empty\n"
    "  --no-totals     hide the subtotal rows and columns of every dimension\n"
    "  --png FILE      also draw the grid at its full size into a PNG file; the\n"
    "                  target is checked before the cube is built\n"
    "  --png-max PIXELS  refuse a picture of more pixels than this (default\n"
    "                  100000000, at most 500000000; a side is at most 32767)\n"
    "Errors print the message on stderr with exit status 2.\n\n";

struct Flags {
  std::string layout;
  bool hasLayout = false;
  int32_t summary = -1;
  bool sparseRows = false;
  bool sparseCols = false;
  bool noTotals = false;
  std::string png;
  int64_t pngMax = kGridPngMaxPixels;
};

// One CSV field, quoted when it holds a separator, a quote or a line break.
void AppendCsvField(std::string& out, const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

Flags ParseFlags(const Args& rest) {
  Flags flags;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& word = rest[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= rest.size()) throw Exception(Format("hycube pivot: %s needs a value", word.c_str()));
      return rest[++i];
    };
    if (word == "--layout") {
      flags.layout = value();
      flags.hasLayout = true;
    } else if (word == "--summary") {
      const std::string& text = value();
      int64_t n = 0;
      if (!TryStrToInt64(text, n) || n < 0 || n > 1000000)
        throw Exception(Format("hycube pivot: '%s' is not a summary number", text.c_str()));
      flags.summary = static_cast<int32_t>(n);
    } else if (word == "--sparse-rows") {
      flags.sparseRows = true;
    } else if (word == "--sparse-cols") {
      flags.sparseCols = true;
    } else if (word == "--no-totals") {
      flags.noTotals = true;
    } else if (word == "--png") {
      flags.png = value();
    } else if (word == "--png-max") {
      const std::string& text = value();
      int64_t n = 0;
      const bool digits = !text.empty() && text.size() <= 12 &&
                          text.find_first_not_of("0123456789") == std::string::npos;
      if (!digits || !TryStrToInt64(text, n) || n < 1 || n > kGridPngHardMaxPixels)
        throw Exception(Format("hycube pivot: --png-max '%s' is not a pixel count from 1 to %lld",
                               text.c_str(), static_cast<long long>(kGridPngHardMaxPixels)));
      flags.pngMax = n;
    } else {
      throw Exception(Format("hycube pivot: unknown argument '%s' (see hycube pivot --help)", word.c_str()));
    }
  }
  return flags;
}

}  // namespace

int CmdPivot(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s%s", kPivotHelp, kCubeOptionsHelp);
    return 0;
  }
  const CubeOptions options = ParseCubeOptions(args);
  const Flags flags = ParseFlags(options.rest);
  // Widths come from text metrics; a picture needs the widget application.
  if (!flags.png.empty()) EnsureWidgetApplication();
  else EnsureGuiApplication();
  // A target that cannot be written fails before any work.
  std::unique_ptr<TGridPngFile> picture;
  if (!flags.png.empty()) picture = std::make_unique<TGridPngFile>(flags.png);

  CliCube cube(options);
  // Declared after the cube so that they go first.
  TComponent owner;
  auto* source = new THySource(&owner);
  auto* grid = new TCustomHyGrid(&owner);
  source->SetDecisionCube(&cube.Cube());
  if (flags.hasLayout) {
    source->SetDimensionInfo(flags.layout);
  } else {
    source->BeginLoading();
    SetDemoSource(*source);
    source->Loaded();
  }
  grid->SetDecisionSource(source);
  cube.Cube().SetActive(true);

  if (flags.summary >= 0) {
    if (flags.summary >= source->SummaryCount())
      throw Exception(Format("hycube pivot: the cube has no summary %d (it has %d)", flags.summary,
                             source->SummaryCount()));
    source->SetCurrentSummary(flags.summary);
  }
  if (flags.sparseRows) source->SetSparseRows(true);
  if (flags.sparseCols) source->SetSparseCols(true);
  if (flags.noTotals) grid->SetTotals(false);

  // A picture too large is refused before anything is printed.
  if (picture) picture->CheckSize(*grid, flags.pngMax);

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
