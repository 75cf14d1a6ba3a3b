// Export of a large report to cell formats.
//
// Export/csv, html, xml, xls, wk1, wq1 and rtf: a page set of 2,000,000
// cells (the report of a 10,000-row pivot with 200 columns: 200 pages of 50
// rows, 20 bars of 10 columns, each picture drawn with the metafile canvas
// as the report draws its cells) exported into one file: every record of every
// picture through the cell capture, the grid normalisation and the writer.
// Counters: cells per second and the resident growth at the export's peak.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/KyRExportExcel.h"
#include "export/KyRExportHtml.h"
#include "export/KyRExportLotus.h"
#include "export/KyRExportRtf.h"
#include "export/KyRExportText.h"
#include "platform/gdi/GuiApp.h"
#include "platform/gdi/MetafileCanvas.h"

namespace {

using namespace hy;

constexpr int kPages = 200, kBars = 20, kRows = 50, kCols = 10;
constexpr int kPageW = 794, kPageH = 1123;
constexpr int kDistinct = 40;  // pictures drawn; the page set cycles through them
constexpr int64_t kCells = int64_t(kPages) * kBars * kRows * kCols;

const std::vector<TMetafile>& Pictures() {
  static const std::vector<TMetafile> pictures = [] {
    EnsureGuiApplication();
    std::vector<TMetafile> out(kDistinct);
    for (int i = 0; i < kDistinct; ++i) {
      TMetafile& m = out[size_t(i)];
      m.SetWidth(kPageW);
      m.SetHeight(kPageH);
      TMetafileCanvas c(m);
      c.SetFont(TFont("Arial", -11, 0, clBlack));
      c.Brush().SetStyle(bsClear);
      for (int r = 0; r < kRows; ++r)
        for (int k = 0; k < kCols; ++k) {
          char text[32];
          if (k == 0) std::snprintf(text, sizeof text, "Customer %d", i * kRows + r);
          else
            std::snprintf(text, sizeof text, "%d.%02d", (i * 7919 + r * 104729 + k * 31) % 100000,
                          (r + k) % 100);
          c.TextOut(40 + k * 74, 40 + r * 20, text);
        }
      c.Close();
    }
    return out;
  }();
  return pictures;
}

double StatusMB(const char* key) {
  double mb = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
      if (std::strncmp(line, key, n) == 0 && line[n] == ':') mb = std::atof(line + n + 1) / 1024.0;
    std::fclose(f);
  }
  return mb;
}

void ResetPeakResident() {
  malloc_trim(0);
  if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

template <class T>
void Export(benchmark::State& state, const char* ext) {
  const auto& pictures = Pictures();
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("hy_bench_export_" + std::to_string(::getpid()) + "." + ext))
                               .string();
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ResetPeakResident();
    const double resident = StatusMB("VmRSS");
    state.ResumeTiming();
    T ex;
    ex.SetPageWidth(kPageW);
    ex.SetPageHeight(kPageH);
    ex.SetTotalWidth(kBars * kPageW);
    ex.SetTotalHeight(kPages * kPageH);
    ex.BeginExport();
    for (int p = 0; p < kPages; ++p)
      for (int b = 0; b < kBars; ++b) {
        const TMetafile& pic = pictures[size_t((p * kBars + b) % kDistinct)];
        ex.StartPage(p, b);
        ex.SetOffsetX(kPageW * b);
        ex.SetOffsetY(kPageH * p);
        ex.ProcessPicture(pic);
        ex.EndPage(pic);
      }
    ex.SaveToFile(file);
    ex.EndExport();
    state.PauseTiming();
    peak = StatusMB("VmHWM") - resident;
    state.ResumeTiming();
  }
  std::filesystem::remove(file);
  state.counters["cells_per_s"] =
      benchmark::Counter(double(kCells), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_MB"] = peak;
}

void BM_ExportCsv(benchmark::State& state) { Export<TKyRExportToCSV>(state, "csv"); }
void BM_ExportHtml(benchmark::State& state) { Export<TKyRExportToHTML>(state, "htm"); }
void BM_ExportXml(benchmark::State& state) { Export<TKyRExportToXML>(state, "xml"); }

BENCHMARK(BM_ExportCsv)->Name("Export/csv")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportHtml)->Name("Export/html")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportXml)->Name("Export/xml")->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ExportXls(benchmark::State& state) { Export<TKyRExportToExcel>(state, "xls"); }
void BM_ExportWk1(benchmark::State& state) { Export<TKyRExportToLotus>(state, "wk1"); }
void BM_ExportWq1(benchmark::State& state) { Export<TKyRExportToQuattroPro>(state, "wq1"); }
void BM_ExportRtf(benchmark::State& state) { Export<TKyRExportToRTF>(state, "rtf"); }

BENCHMARK(BM_ExportXls)->Name("Export/xls")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportWk1)->Name("Export/wk1")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportWq1)->Name("Export/wq1")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportRtf)->Name("Export/rtf")->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
