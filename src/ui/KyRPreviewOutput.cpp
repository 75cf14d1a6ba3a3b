#include "ui/KyRPreviewOutput.h"

namespace hy {

namespace {
TKyRPreviewOutput& Table() {
  static TKyRPreviewOutput table;
  return table;
}
}  // namespace

void SetPreviewOutput(TKyRPreviewOutput output) { Table() = std::move(output); }
const TKyRPreviewOutput& PreviewOutput() { return Table(); }

}  // namespace hy
