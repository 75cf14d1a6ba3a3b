#include "export/KyRExportSpreadsheet.h"

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "export/KyRCodePage.h"

namespace hy {

uint8_t AlignmentIndex(uint8_t textAlign) {
  // TA_RIGHT 2, TA_CENTER 6
  switch (textAlign & 6) {
    case 2: return kAlignRight;
    case 6: return kAlignCenter;
    default: return kAlignLeft;
  }
}

void CheckGridLimits(std::string_view format, int32_t maxRows, int32_t maxColumns, int32_t rows,
                     int32_t columns) {
  if (rows <= maxRows && columns <= maxColumns) return;
  throw EKyRExportError(
      Format("The %.*s format holds at most %d rows and %d columns; the report's grid has %d rows "
             "and %d columns",
             int(format.size()), format.data(), maxRows, maxColumns, rows, columns));
}

void TKyRExportToSpreadsheet::WriteRecordHeader(uint16_t recordType, uint16_t length) {
  stream_->WriteU16(recordType);
  stream_->WriteU16(length);
}

void TKyRExportToSpreadsheet::SaveToFile(const std::string& fileName) {
  TKyRExportAttributes::SaveToFile(fileName);
  auto clear = ScopeExit([this] { ClearCells(); });
  TExportFile file(fileName);
  stream_ = &file;
  auto detach = ScopeExit([this] { stream_ = nullptr; });

  WriteHeader();
  WriteDimensions(RowCount(), ColumnCount());
  const std::vector<TKyRERecord>& cells = Records();
  for (size_t i = 0; i < cells.size(); ++i) {
    const int32_t column = CellColumn(i);
    const int32_t row = CellRow(i);
    if (column == 0) StartRow();
    const TKyRERecord& cell = cells[i];
    if (cell.HasText())
      WriteCell(kCellText, cell, cell.Color, AlignmentIndex(cell.Align),
                CutChars(cell.Text, kMaxCellChars), column, row);
    else WriteCell(kCellEmpty, cell, clWhite, kAlignLeft, {}, column, row);
    if (column == ColumnCount() - 1) EndRow();
  }
  WriteFooter();
  file.Commit();
}

}  // namespace hy
