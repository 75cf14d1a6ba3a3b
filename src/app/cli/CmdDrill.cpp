// `hycube drill`: the source rows behind one cell of the cross-tab.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/CubeOptions.h"
#include "app/cli/PivotOptions.h"
#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"
#include "pivot/HyDrill.h"
#include "pivot/HyGrid.h"
#include "platform/gdi/GuiApp.h"

namespace hy::cli {

namespace {

const char* const kDrillHelp =
    "usage: hycube drill --cell X,Y [source] [items] [limits] [pivot flags]\n\n"
    "Opens and pivots the cube as 'hycube pivot' does and prints the source rows\n"
    "that make up one data, subtotal or total cell of the grid as CSV: a header\n"
    "line with the source's field names, then one line per row in the source's\n"
    "order. Dates print as YYYY-MM-DD (with HH:MM:SS when they have a time),\n"
    "Null as an empty field.\n"
    "  --cell X,Y      the cell: X counts the data columns of the matrix 'hycube pivot'\n"
    "                  prints from 0 (the first column after the row labels), Y its\n"
    "                  data rows from 0 (the first row after the captions and column\n"
    "                  labels); rows and columns hidden by --no-totals do not count.\n"
    "                  The last column and row of a pivot are its totals.\n"
    "  --count-rows    print only the number of rows\n";

// The grid's data coordinate of the n-th shown data column (or row).
int32_t ShownToData(int32_t shown, int32_t fixed, int32_t count,
                    int32_t (TCustomHyGrid::*size)(int32_t) const, const TCustomHyGrid& grid,
                    const char* what) {
  int32_t seen = 0;
  for (int32_t i = fixed; i < count; ++i) {
    if ((grid.*size)(i) == 0) continue;
    if (seen++ == shown) return i - fixed;
  }
  throw Exception(Format("hycube drill: the grid has %d data %s; %d is not one of them (from 0)",
                         seen, what, shown));
}

}  // namespace

int CmdDrill(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s%sErrors print the message on stderr with exit status 2.\n\n%s", kDrillHelp,
                kPivotFlagsHelp, kCubeOptionsHelp);
    return 0;
  }
  const CubeOptions options = ParseCubeOptions(args);
  PivotFlags pivotFlags;
  int32_t x = -1, y = -1;
  bool haveCell = false, countOnly = false;
  for (size_t i = 0; i < options.rest.size(); ++i) {
    if (TakePivotFlag(options.rest, i, pivotFlags, "drill")) continue;
    const std::string& word = options.rest[i];
    if (word == "--cell") {
      const std::string& text = FlagValue(options.rest, i, "drill");
      const std::vector<std::string> parts = SplitString(text, ',');
      int64_t a = -1, b = -1;
      if (parts.size() != 2 || !TryStrToInt64(Trim(parts[0]), a) ||
          !TryStrToInt64(Trim(parts[1]), b) || a < 0 || b < 0 || a > INT32_MAX || b > INT32_MAX)
        throw Exception(Format("hycube drill: --cell '%s': expected X,Y, two whole numbers from 0",
                               text.c_str()));
      x = static_cast<int32_t>(a);
      y = static_cast<int32_t>(b);
      haveCell = true;
    } else if (word == "--count-rows") {
      countOnly = true;
    } else {
      throw Exception(
          Format("hycube drill: unknown argument '%s' (see hycube drill --help)", word.c_str()));
    }
  }
  if (!haveCell) throw Exception("hycube drill: --cell X,Y is missing (see hycube drill --help)");
  EnsureGuiApplication();  // the grid's widths come from text metrics

  CliPivot pivot(options, pivotFlags, "drill");
  const TCustomHyGrid& grid = pivot.Grid();
  const int32_t dataX =
      ShownToData(x, grid.FixedCols(), grid.ColCount(), &TCustomHyGrid::ColWidths, grid, "columns");
  const int32_t dataY =
      ShownToData(y, grid.FixedRows(), grid.RowCount(), &TCustomHyGrid::RowHeights, grid, "rows");
  const TDrillFilter filter = DrillFilterForCell(pivot.Source(), dataX, dataY);
  std::unique_ptr<TDrillRows> rows = OpenDrillRows(pivot.Source(), filter);
  if (countOnly) {
    std::printf("%lld\n", static_cast<long long>(rows->Count()));
    return 0;
  }
  std::string line;
  for (const std::string& name : rows->FieldNames()) {
    if (!line.empty()) line += ',';
    AppendCsvField(line, name);
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::vector<std::vector<Variant>> page;
  bool more = true;
  while (more) {
    page.clear();
    more = rows->Fetch(4096, page);
    for (const std::vector<Variant>& row : page) {
      line.clear();
      for (size_t c = 0; c < row.size(); ++c) {
        if (c) line += ',';
        AppendCsvField(line, DrillValueText(row[c]));
      }
      line += '\n';
      std::fwrite(line.data(), 1, line.size(), stdout);
    }
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace hy::cli
