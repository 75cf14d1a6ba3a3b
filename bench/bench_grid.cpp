// Micro-benchmarks of the cross-tab grid model.
//
// GridCellTexts/again:0 and again:1: the text of every cell of a
//   963 x 2004 grid (rows: 120 months by 7 payment methods with their
//   subtotals; columns: 2,000 customers and the total), pivoted from a cube
//   over 1,000,000 in-memory rows, read the way `hycube pivot` and the
//   report read it. The first pass after the pivot also computes the cube's
//   totals and makes each value's text; later passes only read. Counters: cells, cells per second,
//   and the heap allocations of the pass per cell.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "common/DateUtils.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "pivot/HyGrid.h"
#include "platform/db/MemDataSet.h"
#include "support/MapItems.h"

// Every allocation of the program is counted.
namespace {
int64_t gAllocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace hy;

constexpr int64_t kRows = 1000000;
const char* const kPayments[] = {"Cash", "Check", "Credit", "AmEx", "MC", "Visa", "COD"};

// Orders spread evenly: every customer in most months, the payment method
// turning with the row.
struct Orders {
  Orders() {
    data.AddColumn("CustNo", ftInteger);
    data.AddColumn("SaleDate", ftDate);
    data.AddColumn("PaymentMethod", ftString, 7);
    data.AddColumn("ItemsTotal", ftFloat);
    data.Reserve(kRows);
    for (int64_t i = 0; i < kRows; ++i) {
      const int month = static_cast<int>((i / 2000 + i % 13) % 120);
      data.AppendRow({static_cast<int32_t>(1000 + i % 2000),
                      Variant::Date(EncodeDate(1995 + month / 12, 1 + month % 12, 1 + i % 28)),
                      kPayments[(i / 3) % 7], static_cast<double>((i * 7919) % 1000000) / 100});
    }
  }
  TMemDataSet data;
};

struct PivotedGrid {
  PivotedGrid() {
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(&orders.data);
    THyMap& map = cube->DimensionMap();
    test::AddMapItem(map, "Customer", "CustNo", dimDimension);
    test::AddMapItem(map, "SaleDate", "SaleDate", dimDimension)->SetBinType(binMonth);
    test::AddMapItem(map, "Payment", "PaymentMethod", dimDimension);
    test::AddMapItem(map, "Total", "ItemsTotal", dimSum);
    source = new THySource(&owner);
    grid = new TCustomHyGrid(&owner);
    grid->SetTextMeasure(
        [](const TFont&, const std::string& text) { return 8 * int32_t(text.size()); });
    source->SetDecisionCube(cube);
    source->SetDimensionInfo("(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 1 1 1 -1 'Payment')");
    grid->SetDecisionSource(source);
    cube->SetActive(true);
  }
  Orders orders;
  TComponent owner;
  THyCube* cube = nullptr;
  THySource* source = nullptr;
  TCustomHyGrid* grid = nullptr;
};

// Every cell's text, row by row; answers the cells read.
int64_t ReadAllTexts(const TCustomHyGrid& grid, size_t& sink) {
  std::string text;
  TPivotDrawState state;
  int64_t cells = 0;
  for (int32_t row = 0; row < grid.RowCount(); ++row)
    for (int32_t col = 0; col < grid.ColCount(); ++col) {
      grid.CellQuery(col - grid.FixedCols(), row - grid.FixedRows(), state, text);
      sink += text.size();
      ++cells;
    }
  return cells;
}

void GridCellTexts(benchmark::State& state) {
  const bool first = state.range(0) == 0;
  std::unique_ptr<PivotedGrid> pivot;
  int64_t cells = 0, allocated = 0;
  size_t sink = 0;
  if (!first) {
    pivot = std::make_unique<PivotedGrid>();
    ReadAllTexts(*pivot->grid, sink);
  }
  for (auto _ : state) {
    if (first) {
      state.PauseTiming();
      pivot.reset();
      pivot = std::make_unique<PivotedGrid>();
      state.ResumeTiming();
    }
    const int64_t before = gAllocations;
    cells = ReadAllTexts(*pivot->grid, sink);
    allocated = gAllocations - before;
    benchmark::DoNotOptimize(sink);
  }
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["cells/s"] =
      benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["allocs/cell"] = static_cast<double>(allocated) / static_cast<double>(cells);
  state.counters["grid_rows"] = pivot->grid->RowCount();
  state.counters["grid_cols"] = pivot->grid->ColCount();
}
BENCHMARK(GridCellTexts)
    ->ArgName("again")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
