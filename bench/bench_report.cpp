// bench_report [--rows N] [--cols M] [--fill PERCENT] [--runs K]
//
// Prepares the report of a pivot with N grid rows and M grid columns (default
// 10,000 x 200) with the demo window's report settings and prints, per run,
// the pages prepared, the wall time of the preparation, the pages per second
// and the peak memory of the process. The bench table "grid" (R, C, Amount)
// is written to a temporary SQLite file: one record for PERCENT of the
// (R, C) pairs (default 25), R on the rows and C on the columns, so that the
// grid has R's values plus the "Sum" row and C's values plus the "Sum"
// column besides its fixed cells.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "app/DemoLayout.h"
#include "app/cli/PivotOptions.h"
#include "pivot/HyGrid.h"
#include "platform/gdi/GuiApp.h"
#include "report/KyRAHyDC.h"

namespace {

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "bench_report: %s\n", error ? error : "sqlite error");
    std::exit(1);
  }
}

void WriteTable(const std::string& file, int rows, int cols, int fill) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    std::fprintf(stderr, "bench_report: cannot open %s\n", file.c_str());
    std::exit(1);
  }
  Exec(db,
       "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
       "CREATE TABLE grid (R INTEGER NOT NULL, C INTEGER NOT NULL, Amount REAL NOT NULL); BEGIN;");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO grid VALUES (?, ?, ?)", -1, &insert, nullptr);
  std::mt19937_64 rng(20261208);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      // Every row and column keeps at least one record, so none is left out.
      if (r != c % rows && c != r % cols && static_cast<int>(rng() % 100) >= fill) continue;
      sqlite3_bind_int(insert, 1, 100000 + r);
      sqlite3_bind_int(insert, 2, 1000 + c);
      sqlite3_bind_double(insert, 3, static_cast<double>(rng() % 10000000) / 100);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
  }
  sqlite3_finalize(insert);
  Exec(db, "COMMIT;");
  sqlite3_close(db);
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double PeakMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

int Number(const char* text, const char* flag) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!end || *end || v < 1 || v > 1000000) {
    std::fprintf(stderr, "bench_report: %s takes a whole number from 1 to 1000000\n", flag);
    std::exit(2);
  }
  return static_cast<int>(v);
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 10000, cols = 200, fill = 25, runs = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "bench_report: %s needs a value (or unknown argument)\n", flag.c_str());
      return 2;
    }
    if (flag == "--rows") rows = Number(argv[++i], "--rows");
    else if (flag == "--cols") cols = Number(argv[++i], "--cols");
    else if (flag == "--fill") fill = Number(argv[++i], "--fill");
    else if (flag == "--runs") runs = Number(argv[++i], "--runs");
    else {
      std::fprintf(stderr, "bench_report: unknown argument '%s'\n", flag.c_str());
      return 2;
    }
  }
  try {
    hy::EnsureGuiApplication();
    // Grid rows and columns beyond the table's values: the fixed ones and the sums.
    const int valueRows = std::max(1, rows - 3), valueCols = std::max(1, cols - 3);
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("bench-report-" + std::to_string(getpid()) + ".db"))
                                 .string();
    WriteTable(file, valueRows, valueCols, fill);
    const hy::cli::CubeOptions options =
        hy::cli::ParseCubeOptions({"--db", file, "--table", "grid", "--dim", "R=R", "--dim", "C=C",
                                   "--sum", "Amount=Amount", "--max-cells", "100000000"});
    hy::cli::PivotFlags flags;
    flags.layout = "(1 0 1 0 -1 'R' 2 0 1 0 -1 'C')";
    flags.hasLayout = true;
    hy::cli::CliPivot pivot(options, flags, "bench");
    std::filesystem::remove(file);
    auto* report = new hy::TKyPrintHyCube(&pivot.Owner());
    hy::SetDemoReport(*report);
    report->SetDecisionGrid(&pivot.Grid());
    std::printf("grid %d x %d, peak before the report %.0f MB\n", pivot.Grid().RowCount(),
                pivot.Grid().ColCount(), PeakMb());
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = CpuSeconds();
      report->Prepare();
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const double cpu = CpuSeconds() - cpuStart;
      size_t bytes = 0;
      for (const auto& page : report->Pages()) bytes += page->Picture().Data().size();
      const size_t pages = report->Pages().size();
      // The machine is shared: CPU time is the steadier figure, wall time the user's.
      std::printf(
          "pages=%zu bars=%d wall_s=%.3f cpu_s=%.3f pages_per_second=%.0f (cpu %.0f) pictures_mb=%.1f "
          "peak_mb=%.0f\n",
          pages, report->BarCount(), seconds, cpu, pages / seconds, pages / cpu, bytes / 1048576.0,
          PeakMb());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_report: %s\n", e.what());
    return 1;
  }
  return 0;
}
