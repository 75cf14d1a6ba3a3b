#include "export/KyRExportExcel.h"

#include <algorithm>

#include "export/KyRCodePage.h"

namespace hy {

namespace {

constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kDimensions = 0x0200;
constexpr uint16_t kBlank = 0x0001;
constexpr uint16_t kLabel = 0x0004;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kWorksheet = 0x0010;

// The third cell attribute byte: the horizontal alignment.
uint8_t AlignmentCode(uint8_t alignment) {
  switch (alignment) {
    case kAlignRight: return 3;
    case kAlignCenter: return 2;
    default: return 1;
  }
}

}  // namespace

void TKyRExportToExcel::WriteHeader() {
  CheckGridLimits("XLS", kMaxRows, kMaxColumns, RowCount(), ColumnCount());
  WriteRecordHeader(kBof, 6);
  Stream().WriteU16(0);  // version 0: every reader opens it
  Stream().WriteU16(kWorksheet);
  Stream().WriteU16(0);
  WriteRecordHeader(kCodePage, 2);
  Stream().WriteU16(uint16_t(kAnsiCodePage));
}

void TKyRExportToExcel::WriteDimensions(int32_t rowCount, int32_t columnCount) {
  WriteRecordHeader(kDimensions, 10);
  Stream().WriteU16(0);
  Stream().WriteU16(
      uint16_t(std::min(rowCount, 0xFFFF)));  // 65,536 rows: the largest count the word holds
  Stream().WriteU16(0);
  Stream().WriteU16(uint16_t(columnCount));
  Stream().WriteU16(0);
}

void TKyRExportToExcel::WriteCell(uint8_t cellType, const TKyRERecord&, TColor, uint8_t alignment,
                                  std::string_view value, int32_t column, int32_t row) {
  text_.clear();
  if (cellType == kCellText) AppendAnsi(text_, value);  // at most 255 characters, one byte each
  const bool label = cellType == kCellText;
  WriteRecordHeader(label ? kLabel : kBlank, uint16_t(label ? text_.size() + 8 : 7));
  Stream().WriteU16(uint16_t(row));
  Stream().WriteU16(uint16_t(column));
  const char attributes[3] = {0, 0, char(AlignmentCode(label ? alignment : kAlignLeft))};
  WriteString({attributes, 3});
  if (!label) return;
  const char length = char(uint8_t(text_.size()));
  WriteString({&length, 1});
  WriteString(text_);
}

void TKyRExportToExcel::WriteFooter() { WriteRecordHeader(kEof, 0); }

}  // namespace hy
