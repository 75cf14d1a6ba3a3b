// XLS: the grid as a worksheet of label and blank cells, every cell a
// record of its own. The labels are code-page text, declared by a code-page
// record so that every reader in every locale reads the same characters.
#pragma once

#include "export/KyRExportSpreadsheet.h"

namespace hy {

class TKyRExportToExcel : public TKyRExportToSpreadsheet {
public:
  static constexpr int32_t kMaxRows = 65536;
  static constexpr int32_t kMaxColumns = 256;

protected:
  // Refuses a grid beyond kMaxRows x kMaxColumns before any cell is written.
  void WriteHeader() override;
  void WriteFooter() override;
  void WriteDimensions(int32_t rowCount, int32_t columnCount) override;
  void WriteCell(uint8_t cellType, const TKyRERecord& record, TColor color, uint8_t alignment,
                 std::string_view value, int32_t column, int32_t row) override;

private:
  std::string text_;  // the label being written, reused
};

}  // namespace hy
