#include "ui/KyRPreviewOutput.h"

#include "common/Exceptions.h"
#include "report/KyRFile.h"
#include "report/KyROutput.h"

namespace hy {

namespace {

// The report's own output operations; a printer that ends the job is told
// to the user like any other failure.
TKyRPreviewOutput ReportOutput() {
  TKyRPreviewOutput output;
  output.PrintWithDialog = [](TKyPrintBaseComponent& report) {
    TKyPrintResult result;
    const bool done = hy::PrintWithDialog(report, &result);
    if (!result.Ok()) throw EKyROutputError(result.PrinterError);
    return done;
  };
  output.ExportWithDialog = [](TKyPrintBaseComponent& report, std::string& fileName) {
    return hy::ExportWithDialog(report, fileName);
  };
  output.LoadFromFile = [](TKyPrintBaseComponent& report, const std::string& fileName) {
    hy::LoadFromFile(report, fileName);
  };
  return output;
}

TKyRPreviewOutput& Table() {
  static TKyRPreviewOutput table = ReportOutput();
  return table;
}

}  // namespace

void SetPreviewOutput(TKyRPreviewOutput output) { Table() = std::move(output); }
const TKyRPreviewOutput& PreviewOutput() { return Table(); }
void UseReportOutput() { Table() = ReportOutput(); }

}  // namespace hy
