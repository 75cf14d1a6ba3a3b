// The pivot flags `hycube pivot` and `hycube drill` share, and the cube,
// decision source and grid model they set up from them.
#pragma once

#include <cstdint>
#include <string>

#include "app/cli/CubeOptions.h"
#include "common/Component.h"

namespace hy {
class THySource;
class TCustomHyGrid;
}  // namespace hy

namespace hy::cli {

struct PivotFlags {
  std::string layout;
  bool hasLayout = false;
  int32_t summary = -1;
  bool sparseRows = false;
  bool sparseCols = false;
  bool noTotals = false;
};

// The help text of the pivot flags.
extern const char* const kPivotFlagsHelp;

// Takes the pivot flags out of `words`; other words stay in it, in order.
// Raises hy::Exception (naming `command`) for a flag without its value.
PivotFlags TakePivotFlags(Args& words, const char* command);

// The cube of the options, opened and pivoted as the flags say, with a grid
// model over it.
class CliPivot {
public:
  CliPivot(const CubeOptions& options, const PivotFlags& flags, const char* command);
  ~CliPivot();
  THySource& Source() { return *source_; }
  TCustomHyGrid& Grid() { return *grid_; }
  CliCube& Cube() { return cube_; }

private:
  CliCube cube_;
  TComponent owner_;  // declared after the cube so that source and grid go first
  THySource* source_ = nullptr;
  TCustomHyGrid* grid_ = nullptr;
};

// One CSV field, quoted when it holds a separator, a quote or a line break.
void AppendCsvField(std::string& out, const std::string& text);

}  // namespace hy::cli
