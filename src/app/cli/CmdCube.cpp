#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/CubeOptions.h"
#include "cube/HyProgress.h"
#include "cube/HyProgressTerm.h"
#include "pivot/HyDBCube.h"

namespace hy::cli {

namespace {

const char* const kCubeHelp =
    "usage: hycube cube [source] [items] [limits] [--empty] [--progress] [--quiet | --read-all]\n\n"
    "Opens the cube without a window and prints a header line (dimension names, then\n"
    "summary names, tab-separated), then one line per slot of the dense cell index in\n"
    "slot order, subtotal and total slots included: for each dimension the value\n"
    "caption or * for all values, then the text of every summary at that cell.\n"
    "  --empty      also print slots without data\n"
    "  --progress   show the build stages on stderr\n"
    "  --quiet      build only, print nothing (for timing)\n"
    "  --read-all   build and read every cell of every summary, print nothing\n"
    "Errors print the message on stderr with exit status 2.\n\n";

struct Flags {
  bool empty = false;
  bool progress = false;
  bool quiet = false;
  bool readAll = false;
};

// Walks every slot of the dense index in slot order: each dimension's
// position runs 0 (all values) .. value count, the last dimension fastest.
template <class Visit>
void ForEachSlot(const THyCube& cube, Visit visit) {
  const int32_t dims = cube.GetDimensionCount();
  // A slot position counts value indexes; coordinates count display positions.
  std::vector<std::vector<int16_t>> displayOf(dims);
  std::vector<int32_t> counts(dims);
  for (int32_t d = 0; d < dims; ++d) {
    const TDimension& dim = *cube.Dimensions(d);
    counts[d] = dim.GetValueCount();
    displayOf[d].resize(counts[d]);
    for (int32_t i = 0; i < counts[d]; ++i)
      displayOf[d][dim.ValueIndex(i)] = static_cast<int16_t>(i);
  }
  std::vector<int32_t> position(dims, 0);
  TCoords coords(dims, -1);
  for (;;) {
    for (int32_t d = 0; d < dims; ++d)
      coords[d] = position[d] == 0 ? int16_t(-1) : displayOf[d][position[d] - 1];
    visit(coords);
    int32_t d = dims - 1;
    while (d >= 0 && ++position[d] > counts[d]) position[d--] = 0;
    if (d < 0) return;
  }
}

void PrintCube(const THyCube& cube, bool withEmpty) {
  const int32_t dims = cube.GetDimensionCount(), sums = cube.GetSummaryCount();
  std::string line;
  for (int32_t d = 0; d < dims; ++d)
    line += (d ? "\t" : "") + cube.Dimensions(d)->MapItem()->Name();
  for (int32_t s = 0; s < sums; ++s)
    line += (dims + s ? "\t" : "") + cube.Summaries(s)->MapItem()->Name();
  std::printf("%s\n", line.c_str());
  const TDataCache& cache = cube.DataCache();
  ForEachSlot(cube, [&](const TCoords& coords) {
    if (!withEmpty && cache.CellRecord(coords) < 0) return;
    line.clear();
    for (int32_t d = 0; d < dims; ++d) {
      if (d) line += '\t';
      line += coords[d] < 0 ? std::string("*") : cube.Dimensions(d)->GetValueCaption(coords[d]);
    }
    for (int32_t s = 0; s < sums; ++s) {
      if (dims + s) line += '\t';
      line += cube.Summaries(s)->GetAsString(coords);
    }
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
  });
}

// Reads every cell of every summary, totals included, as a view would.
void ReadAll(const THyCube& cube) {
  const int32_t sums = cube.GetSummaryCount();
  size_t sink = 0;
  ForEachSlot(cube, [&](const TCoords& coords) {
    for (int32_t s = 0; s < sums; ++s) sink += cube.Summaries(s)->GetValue(coords).IsNull();
  });
  if (sink == SIZE_MAX) std::fputc('\n', stderr);  // keeps the reads from being optimised away
}

}  // namespace

int CmdCube(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s%s", kCubeHelp, kCubeOptionsHelp);
    return 0;
  }
  const CubeOptions options = ParseCubeOptions(args);
  Flags flags;
  for (const std::string& word : options.rest) {
    if (word == "--empty") flags.empty = true;
    else if (word == "--progress") flags.progress = true;
    else if (word == "--quiet") flags.quiet = true;
    else if (word == "--read-all") flags.readAll = true;
    else {
      std::fprintf(stderr, "hycube cube: unknown argument '%s' (see hycube cube --help)\n",
                   word.c_str());
      return 2;
    }
  }
  if (flags.progress)
    SetProgressFactory([](bool) { return std::make_unique<TTerminalProgress>(); });
  CliCube source(options);
  source.Cube().SetActive(true);
  if (flags.readAll) ReadAll(source.Cube());
  else if (!flags.quiet) PrintCube(source.Cube(), flags.empty);
  return 0;
}

}  // namespace hy::cli
