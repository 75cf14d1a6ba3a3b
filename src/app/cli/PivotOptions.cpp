#include "app/cli/PivotOptions.h"

#include "app/DemoLayout.h"
#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "pivot/HyGrid.h"

namespace hy::cli {

const char* const kPivotFlagsHelp =
    "  --layout TEXT   the pivot state in the stored DimensionInfo form, e.g.\n"
    "                  \"(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 1 1 1 -1 'Payment')\"\n"
    "                  (default: the demo window's stored state)\n"
    "  --summary N     show summary N (0-based) instead of the first\n"
    "  --sparse-rows   keep rows whose cells are all empty\n"
    "  --sparse-cols   keep columns whose cells are all empty\n"
    "  --no-totals     hide the subtotal rows and columns of every dimension\n";

const std::string& FlagValue(const Args& rest, size_t& i, const char* command) {
  if (i + 1 >= rest.size())
    throw Exception(Format("hycube %s: %s needs a value", command, rest[i].c_str()));
  return rest[++i];
}

bool TakePivotFlag(const Args& rest, size_t& i, PivotFlags& flags, const char* command) {
  const std::string& word = rest[i];
  if (word == "--layout") {
    flags.layout = FlagValue(rest, i, command);
    flags.hasLayout = true;
  } else if (word == "--summary") {
    const std::string& text = FlagValue(rest, i, command);
    int64_t n = 0;
    if (!TryStrToInt64(text, n) || n < 0 || n > 1000000)
      throw Exception(Format("hycube %s: '%s' is not a summary number", command, text.c_str()));
    flags.summary = static_cast<int32_t>(n);
  } else if (word == "--sparse-rows") {
    flags.sparseRows = true;
  } else if (word == "--sparse-cols") {
    flags.sparseCols = true;
  } else if (word == "--no-totals") {
    flags.noTotals = true;
  } else {
    return false;
  }
  return true;
}

CliPivot::CliPivot(const CubeOptions& options, const PivotFlags& flags, const char* command)
    : cube_(options) {
  source_ = new THySource(&owner_);
  grid_ = new TCustomHyGrid(&owner_);
  source_->SetDecisionCube(&cube_.Cube());
  if (flags.hasLayout) {
    source_->SetDimensionInfo(flags.layout);
  } else {
    source_->BeginLoading();
    SetDemoSource(*source_);
    source_->Loaded();
  }
  grid_->SetDecisionSource(source_);
  cube_.Cube().SetActive(true);

  if (flags.summary >= 0) {
    if (flags.summary >= source_->SummaryCount())
      throw Exception(Format("hycube %s: the cube has no summary %d (it has %d)", command,
                             flags.summary, source_->SummaryCount()));
    source_->SetCurrentSummary(flags.summary);
  }
  if (flags.sparseRows) source_->SetSparseRows(true);
  if (flags.sparseCols) source_->SetSparseCols(true);
  if (flags.noTotals) grid_->SetTotals(false);
}

CliPivot::~CliPivot() = default;

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

}  // namespace hy::cli
