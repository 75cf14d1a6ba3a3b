// WK1 and WQ1: the grid as a worksheet of label and blank cells in the two
// related record formats. Neither format carries a code page: labels are
// written in ours, and readers must be told it.
#pragma once

#include <string>

#include "export/KyRExportSpreadsheet.h"

namespace hy {

class TKyRExportToLotus : public TKyRExportToSpreadsheet {
public:
  // Readers take the row word for a signed number and refuse a whole file
  // with a row index of 32,768 or more.
  static constexpr int32_t kMaxRows = 32768;
  static constexpr int32_t kMaxColumns = 256;

protected:
  // Refuses a grid beyond kMaxRows x kMaxColumns before any cell is written.
  void WriteHeader() override;
  void WriteFooter() override;
  void WriteDimensions(int32_t rowCount, int32_t columnCount) override;
  void WriteCell(uint8_t cellType, const TKyRERecord& record, TColor color, uint8_t alignment,
                 std::string_view value, int32_t column, int32_t row) override;

private:
  std::string text_;
};

class TKyRExportToQuattroPro : public TKyRExportToSpreadsheet {
public:
  // As in WK1.
  static constexpr int32_t kMaxRows = 32768;
  static constexpr int32_t kMaxColumns = 256;

protected:
  void WriteHeader() override;
  void WriteFooter() override;
  void WriteDimensions(int32_t rowCount, int32_t columnCount) override;
  // A label carries a length byte after its prefix: without it readers
  // take the first character for the length.
  void WriteCell(uint8_t cellType, const TKyRERecord& record, TColor color, uint8_t alignment,
                 std::string_view value, int32_t column, int32_t row) override;

private:
  std::string text_;
};

}  // namespace hy
