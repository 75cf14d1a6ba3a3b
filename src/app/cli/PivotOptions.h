// The pivot flags that `hycube pivot` and `hycube report` share, and the
// cross-tab they build: the cube of the cube options, a decision source with
// the demo's stored state (or the given layout) and the grid model over it.
#pragma once

#include <cstdint>
#include <string>

#include "app/cli/CubeOptions.h"
#include "common/Component.h"

namespace hy {
class TCustomHyGrid;
class THySource;
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

// Takes the pivot flag at rest[i] (with its value, moving i past it); false
// when rest[i] is no pivot flag. `command` names the command in messages.
bool TakePivotFlag(const Args& rest, size_t& i, PivotFlags& flags, const char* command);

// The word after rest[i] (moving i to it), or an error naming the flag.
const std::string& FlagValue(const Args& rest, size_t& i, const char* command);

// The cube opened and pivoted as the flags say.
class CliPivot {
public:
  CliPivot(const CubeOptions& options, const PivotFlags& flags, const char* command);
  ~CliPivot();
  THySource& Source() { return *source_; }
  TCustomHyGrid& Grid() { return *grid_; }
  // The components beside the source and grid (a report, say) go here.
  TComponent& Owner() { return owner_; }

private:
  CliCube cube_;
  TComponent owner_;  // after the cube, so that its components go first
  THySource* source_ = nullptr;
  TCustomHyGrid* grid_ = nullptr;
};

extern const char* const kPivotFlagsHelp;

// One CSV field, quoted when it holds a separator, a quote or a line break.
void AppendCsvField(std::string& out, const std::string& text);

}  // namespace hy::cli
