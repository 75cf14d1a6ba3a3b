// The report preview: painting a page and searching a long report.
//
// Preview/PaintPage100: one full page of the demo report (the first page of
// the first sheet of the main window's report, about 1,400 records) played
// onto the preview's page image at 100 % and drawn on the screen, as the
// preview does when it shows a new page or zoom. Goal: under 16 ms.
// Preview/RepaintPage100: the same page drawn again (scrolling, marks
// unchanged), which reuses the played image.
// Preview/GlobalSearch1000: a global search for "Sum" over 1,000 pages (the
// demo report's pages recorded again and again). Goal: under one second.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "app/DemoLayout.h"
#include "app/cli/CubeOptions.h"
#include "app/cli/PivotOptions.h"
#include "platform/db/Aliases.h"
#include "platform/db/DemoDatabase.h"
#include "report/KyRAHyDC.h"
#include "ui/KyRFindSearch.h"
#include "ui/KyRView.h"

namespace {

using namespace hy;

// The demo report as the main window prepares it.
class TDemoReport {
public:
  TDemoReport() {
    folder_ =
        std::filesystem::temp_directory_path() / ("hy-bench-preview-" + std::to_string(::getpid()));
    WriteDemoDatabase(folder_.string());
    SetAlias(kDemoAlias, folder_.string());
    pivot_ = std::make_unique<cli::CliPivot>(cli::ParseCubeOptions({}), cli::PivotFlags{}, "bench");
    report_ = new TKyPrintHyCube(&pivot_->Owner());
    SetDemoReport(*report_);
    report_->SetDecisionGrid(&pivot_->Grid());
    report_->Prepare();
  }
  ~TDemoReport() {
    pivot_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TKyPrintHyCube& Report() { return *report_; }

private:
  std::filesystem::path folder_;
  std::unique_ptr<cli::CliPivot> pivot_;
  TKyPrintHyCube* report_ = nullptr;
};

TDemoReport& Demo() {
  static TDemoReport demo;
  return demo;
}

// `count` pages recorded from the demo report's pages in turn.
class TLongReport : public TKyPrintComponent {
public:
  TLongReport(const TKyPrintBaseComponent& source, int count) : source_(source), count_(count) {}
  void BuildReport() override {
    TKyPrintComponent::BuildReport();
    BeginDoc();
    const auto& pages = source_.Pages();
    for (int i = 0; i < count_; ++i) {
      NewPage(false);
      Canvas()->Draw(0, 0, pages[size_t(i) % pages.size()]->Picture());
    }
    EndDoc();
  }

private:
  const TKyPrintBaseComponent& source_;
  int count_;
};

void PaintPage(benchmark::State& state, bool replay) {
  TKyRPreview preview;
  preview.resize(1000, 1300);
  preview.SetReport(&Demo().Report());
  preview.SetZoom(100);
  const QRect rect(QPoint(0, 0), preview.PaintBox()->size());
  QImage screen(rect.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    if (replay) preview.ClearHighlights();  // the played image is stale
    QPainter painter(&screen);
    preview.PaintPage(painter, rect);
  }
  state.counters["records"] = Demo().Report().FindPage(0, 0)->Picture().RecordCount();
}

void BM_PaintPage100(benchmark::State& state) { PaintPage(state, true); }
void BM_RepaintPage100(benchmark::State& state) { PaintPage(state, false); }

void BM_GlobalSearch1000(benchmark::State& state) {
  TLongReport report(Demo().Report(), 1000);
  report.Prepare();
  size_t hits = 0;
  for (auto _ : state) {
    hits = FindInReport(report, TKyRFindOptions{"Sum", fmExact, false}).size();
    benchmark::DoNotOptimize(hits);
  }
  state.counters["pages"] = double(report.Pages().size());
  state.counters["hits"] = double(hits);
}

BENCHMARK(BM_PaintPage100)->Name("Preview/PaintPage100")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintPage100)->Name("Preview/RepaintPage100")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlobalSearch1000)->Name("Preview/GlobalSearch1000")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  ResetAliases();
  return 0;
}
