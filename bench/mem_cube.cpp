// bench_mem_cube [source and map flags of `hycube cube`] [--runs K]
//
// Loads the source table into a TMemDataSet once, then opens a cube on it K
// times and prints each open's wall time as "time=SECONDS": the engine's own
// build speed, without SQLite's row decoding.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/cli/CubeOptions.h"
#include "platform/db/MemDataSet.h"
#include "platform/db/Table.h"
#if __has_include("pivot/HyDB.h")
#include "pivot/HyDB.h"
#else
#include "cube/HyDB.h"
#endif

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    hy::cli::CubeOptions options = hy::cli::ParseCubeOptions(hy::cli::Args(argv + 1, argv + argc));
    int runs = 5;
    for (size_t i = 0; i < options.rest.size(); ++i) {
      if (options.rest[i] == "--runs" && i + 1 < options.rest.size()) {
        runs = std::atoi(options.rest[++i].c_str());
      } else {
        std::fprintf(stderr, "bench_mem_cube: unknown argument '%s'\n", options.rest[i].c_str());
        return 2;
      }
    }
    if (runs < 1) {
      std::fprintf(stderr, "bench_mem_cube: --runs needs a number >= 1\n");
      return 2;
    }

    hy::TComponent owner;
    std::unique_ptr<hy::TTable> table = hy::cli::MakeSourceTable(options, &owner);
    hy::TMemDataSet data(&owner);
    auto start = std::chrono::steady_clock::now();
    data.LoadFromDataSet(*table);
    data.Open();
    std::fprintf(stderr, "loaded %lld rows in %.3f s\n", static_cast<long long>(data.RowCount()),
                 Seconds(start));

    for (int run = 0; run < runs; ++run) {
      hy::THyCube cube(&owner);
      cube.SetShowProgressDialog(false);
      cube.SetDataSet(&data);
      hy::cli::ApplyMapItems(options, cube.DimensionMap(), &owner);
      hy::cli::ApplyLimits(options, cube);
      start = std::chrono::steady_clock::now();
      cube.SetActive(true);
      const double seconds = Seconds(start);
      if (!cube.Active()) {
        std::fprintf(stderr, "bench_mem_cube: the cube did not open\n");
        return 1;
      }
      std::printf("time=%.6f\n", seconds);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
