// What the preview window's print, save/export and open commands call: the
// report's output operations (PrintWithDialog, ExportWithDialog,
// LoadFromFile) unless something else is set, as tests do. A command whose
// entry is empty is disabled.
#pragma once

#include <functional>
#include <string>

namespace hy {

class TKyPrintBaseComponent;

struct TKyRPreviewOutput {
  // The setup dialog in print mode, then printing; false when cancelled.
  // A printer failure is raised (std::exception) with its message.
  std::function<bool(TKyPrintBaseComponent& report)> PrintWithDialog;
  // The setup dialog in export mode with `fileName` proposed; the chosen
  // name comes back in it.
  std::function<bool(TKyPrintBaseComponent& report, std::string& fileName)> ExportWithDialog;
  // Replaces the report's pages with a prepared report file's; a file that
  // cannot be read raises and leaves the report as it was.
  std::function<void(TKyPrintBaseComponent& report, const std::string& fileName)> LoadFromFile;
};

// The table every preview window uses from its creation on.
void SetPreviewOutput(TKyRPreviewOutput output);
const TKyRPreviewOutput& PreviewOutput();
// Back to the report's own output operations.
void UseReportOutput();

}  // namespace hy
