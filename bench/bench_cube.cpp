// Micro-benchmarks of the cube engine.
//
// BinTableLoad/N: the record scan of 1,000,000 in-memory rows into bins,
//   N distinct dimension combinations arriving in scrambled order.
// CubeBuild/memory, CubeBuild/sqlite: the whole open of a cube over
//   1,000,000 rows (dimensions of 1,000 customers, 120 months and 7 payment
//   methods; a sum and a maximum), from an in-memory dataset and from an
//   SQLite table. Counters: the bytes the open cube holds and the process's
//   peak resident size.
// CubeReadAll/first, CubeReadAll/again: every cell of both summaries, totals
//   included; the first pass computes the totals, later passes only read.
//   The cube of CubeBuild is built from the in-memory rows for these.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/DateUtils.h"
#include "common/StrUtils.h"
#include "cube/HyBin.h"
#include "cube/HyProgress.h"
#include "pivot/HyDBCube.h"
#include "platform/db/MemDataSet.h"
#include "platform/db/Table.h"

namespace {

using namespace hy;

constexpr int64_t kRows = 1000000;

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

THyMapItem& AddItem(THyCube& cube, const char* name, const char* field, TDimFlags type) {
  THyMapItem* item = cube.DimensionMap().Add();
  item->SetName(name);
  item->SetDimensionType(type);
  item->SetFieldName(field);
  return *item;
}

// ---------------------------------------------------------------- bin load

// Rows whose (A, B) key takes `combinations` distinct values: row i gets
// combination (i × 7919) mod N, a scrambled order covering every value.
struct LoadData {
  explicit LoadData(int64_t combinations) {
    data.AddColumn("A", ftInteger);
    data.AddColumn("B", ftString, 12);
    data.AddColumn("Amount", ftFloat);
    data.Reserve(kRows);
    for (int64_t i = 0; i < kRows; ++i) {
      const int64_t combo = (i * 7919) % combinations;
      data.AppendRow({static_cast<int32_t>(combo % 1000),
                      Format("c%lld", static_cast<long long>(combo / 1000)),
                      static_cast<double>(Mix(i) % 10000) / 4});
    }
    cube.SetShowProgressDialog(false);
    cube.SetDataSet(&data);
    AddItem(cube, "A", "A", dimDimension);
    AddItem(cube, "B", "B", dimDimension);
    AddItem(cube, "Total", "Amount", dimSum);
    AddItem(cube, "Count", "Amount", dimCount);
    cube.SetActive(true);  // resolves the map the loads below use
  }
  TMemDataSet data;
  THyCube cube;
};

void BinTableLoad(benchmark::State& state) {
  static std::unique_ptr<LoadData> data;
  static int64_t made = 0;
  if (made != state.range(0)) {
    data.reset();
    data = std::make_unique<LoadData>(state.range(0));
    made = state.range(0);
  }
  int32_t records = 0;
  for (auto _ : state) {
    TBinTable bins(data->cube.DimensionMap());
    TSilentProgress progress;
    bins.LoadFromDataSet(progress);
    records = bins.RecordCount();
    benchmark::DoNotOptimize(records);
  }
  state.counters["bins"] = records;
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BinTableLoad)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- the cube

int32_t Customer(int64_t i) { return 1000 + static_cast<int32_t>(Mix(i) % 1000); }
TDateTime SaleDate(int64_t i) {
  const uint64_t m = Mix(i + 7) % 120;
  return EncodeDate(1995 + static_cast<int>(m / 12), 1 + static_cast<int>(m % 12),
                    1 + static_cast<int>(Mix(i + 11) % 28));
}
const char* const kPayments[] = {"Cash", "Check", "Credit", "AmEx", "MC", "Visa", "COD"};
const char* Payment(int64_t i) { return kPayments[Mix(i + 13) % 7]; }
double ItemsTotal(int64_t i) { return static_cast<double>(Mix(i + 17) % 1000000) / 100; }

struct OrdersInMemory {
  OrdersInMemory() {
    data.AddColumn("CustNo", ftInteger);
    data.AddColumn("SaleDate", ftDate);
    data.AddColumn("PaymentMethod", ftString, 7);
    data.AddColumn("ItemsTotal", ftFloat);
    data.Reserve(kRows);
    for (int64_t i = 0; i < kRows; ++i)
      data.AppendRow({Customer(i), Variant::Date(SaleDate(i)), Payment(i), ItemsTotal(i)});
  }
  TMemDataSet data;
};

// The same rows in an SQLite file in a temporary folder.
struct OrdersFile {
  OrdersFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hybench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temp folder");
    folder = pattern;
    const std::string file = folder + "/orders.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE orders (CustNo INTEGER, SaleDate DATE, PaymentMethod VARCHAR(7), "
                 "ItemsTotal REAL); BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO orders VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    for (int64_t i = 0; i < kRows; ++i) {
      int y, m, d;
      DecodeDate(SaleDate(i), y, m, d);
      char date[16];
      std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
      sqlite3_bind_int(insert, 1, Customer(i));
      sqlite3_bind_text(insert, 2, date, -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 3, Payment(i), -1, SQLITE_STATIC);
      sqlite3_bind_double(insert, 4, ItemsTotal(i));
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    table.SetDatabaseName(folder);
    table.SetTableName("orders.db");
  }
  ~OrdersFile() {
    table.Close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  std::string folder;
  TTable table;
};

void DefineOrdersCube(THyCube& cube, TDataSet& data) {
  cube.SetShowProgressDialog(false);
  cube.SetDataSet(&data);
  AddItem(cube, "Customer", "CustNo", dimDimension);
  AddItem(cube, "SaleDate", "SaleDate", dimDimension).SetBinType(binMonth);
  AddItem(cube, "Payment", "PaymentMethod", dimDimension);
  AddItem(cube, "Total", "ItemsTotal", dimSum);
  AddItem(cube, "Largest", "ItemsTotal", dimMax);
}

// A line "Name:   1234 kB" of /proc/self/status, in megabytes.
double StatusMB(const char* name) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  double mb = 0;
  const size_t n = std::strlen(name);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, name, n) == 0 && line[n] == ':') {
      mb = std::atof(line + n + 1) / 1024;
      break;
    }
  }
  std::fclose(f);
  return mb;
}

// Starts a new peak of the resident size (VmHWM) from the current size,
// after handing free heap memory back so that the build's own allocations
// must grow the resident size again.
void ResetPeakResident() {
  malloc_trim(0);
  if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

void BuildCube(benchmark::State& state, TDataSet& data) {
  int64_t held = 0;
  int64_t slots = 0, records = 0;
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const int64_t before = ProcessAllocatedBytes();
    auto cube = std::make_unique<THyCube>();
    DefineOrdersCube(*cube, data);
    ResetPeakResident();
    const double resident = StatusMB("VmRSS");
    state.ResumeTiming();
    cube->SetActive(true);
    state.PauseTiming();
    peak = StatusMB("VmHWM") - resident;
    held = ProcessAllocatedBytes() - before;
    slots = cube->DataCache().SlotCount();
    records = cube->DataCache().BinTable()->RecordCount();
    cube.reset();
    state.ResumeTiming();
  }
  state.counters["cube_MB"] = static_cast<double>(held) / (1024 * 1024);
  state.counters["build_peak_MB"] = peak;  // resident growth at the build's peak
  state.counters["bins"] = static_cast<double>(records);
  state.counters["slots"] = static_cast<double>(slots);
}

OrdersInMemory& MemoryOrders() {
  static OrdersInMemory orders;
  return orders;
}

void CubeBuildMemory(benchmark::State& state) { BuildCube(state, MemoryOrders().data); }
BENCHMARK(CubeBuildMemory)->Name("CubeBuild/memory")->Unit(benchmark::kMillisecond)->Iterations(3);

void CubeBuildSqlite(benchmark::State& state) {
  static OrdersFile orders;
  BuildCube(state, orders.table);
}
BENCHMARK(CubeBuildSqlite)->Name("CubeBuild/sqlite")->Unit(benchmark::kMillisecond)->Iterations(3);

// Every slot of the dense index in slot order, as coordinates.
void ReadEveryCell(const THyCube& cube, int64_t& cells, double& sink) {
  const int32_t dims = cube.GetDimensionCount();
  std::vector<int32_t> counts(dims);
  for (int32_t d = 0; d < dims; ++d) counts[d] = cube.Dimensions(d)->GetValueCount();
  TCoords coords(dims, -1);
  for (;;) {
    for (int32_t s = 0; s < cube.GetSummaryCount(); ++s) {
      const Variant v = cube.Summaries(s)->GetValue(coords);
      if (!v.IsEmpty() && !v.IsNull()) sink += v.AsDouble();
    }
    ++cells;
    int32_t d = dims - 1;
    while (d >= 0 && ++coords[d] >= counts[d]) coords[d--] = -1;
    if (d < 0) return;
  }
}

void CubeReadAll(benchmark::State& state) {
  OrdersInMemory& orders = MemoryOrders();
  const bool first = state.range(0) == 0;
  std::unique_ptr<THyCube> cube;
  if (!first) {
    cube = std::make_unique<THyCube>();
    DefineOrdersCube(*cube, orders.data);
    cube->SetActive(true);
  }
  int64_t cells = 0;
  double sink = 0;
  for (auto _ : state) {
    if (first) {
      state.PauseTiming();
      cube = std::make_unique<THyCube>();
      DefineOrdersCube(*cube, orders.data);
      cube->SetActive(true);
      state.ResumeTiming();
    }
    cells = 0;
    ReadEveryCell(*cube, cells, sink);
    benchmark::DoNotOptimize(sink);
  }
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["ns/cell"] =
      benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  state.counters["records"] = static_cast<double>(cube->DataCache().BinTable()->RecordCount());
}
BENCHMARK(CubeReadAll)
    ->ArgName("again")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
