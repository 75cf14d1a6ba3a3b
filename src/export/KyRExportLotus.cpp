#include "export/KyRExportLotus.h"

#include "export/KyRCodePage.h"

namespace hy {

namespace {

constexpr uint16_t kBof = 0x0000;
constexpr uint16_t kEof = 0x0001;
constexpr uint16_t kRange = 0x0006;
constexpr uint16_t kBlank = 0x000C;
constexpr uint16_t kLabel = 0x000F;
constexpr uint8_t kLotusLabelFormat = 0xF1;
// The prefix and the text together.
constexpr size_t kMaxLabelChars = 255;

// The label prefix that gives the alignment.
char LabelPrefix(uint8_t alignment) {
  switch (alignment) {
    case kAlignRight: return '"';
    case kAlignCenter: return '^';
    default: return '\'';
  }
}

}  // namespace

void TKyRExportLotusFamily::WriteByte(uint8_t b) {
  const char c = char(b);
  WriteString({&c, 1});
}

void TKyRExportLotusFamily::WriteColumn(int32_t column) {
  Stream().WriteU16(layout_.ColumnAndSheet ? uint8_t(column) : uint16_t(column));
}

void TKyRExportLotusFamily::WriteHeader() {
  CheckGridLimits(layout_.Name, kMaxRows, kMaxColumns, RowCount(), ColumnCount());
  WriteRecordHeader(kBof, 2);
  Stream().WriteU16(layout_.Version);
}

void TKyRExportLotusFamily::WriteDimensions(int32_t rowCount, int32_t columnCount) {
  WriteRecordHeader(kRange, 8);
  Stream().WriteU16(0);
  Stream().WriteU16(0);
  WriteColumn(columnCount - 1);
  Stream().WriteU16(uint16_t(rowCount - 1));
}

void TKyRExportLotusFamily::WriteCell(uint8_t cellType, const TKyRERecord&, TColor,
                                      uint8_t alignment, std::string_view value, int32_t column,
                                      int32_t row) {
  if (cellType == kCellText) {
    label_.assign(1, LabelPrefix(alignment));
    AppendAnsi(label_, CutChars(value, kMaxLabelChars - 1));
    WriteLabel(label_, column, row);
    return;
  }
  WriteRecordHeader(kBlank, 5);
  WriteByte(layout_.BlankFormat);
  WriteColumn(column);
  Stream().WriteU16(uint16_t(row));
}

void TKyRExportLotusFamily::WriteFooter() { WriteRecordHeader(kEof, 0); }

TKyRExportToLotus::TKyRExportToLotus() : TKyRExportLotusFamily({"WK1", 0x0404, 0x22, false}) {}

void TKyRExportToLotus::WriteLabel(std::string_view label, int32_t column, int32_t row) {
  WriteRecordHeader(kLabel, uint16_t(label.size() + 6));
  WriteByte(kLotusLabelFormat);
  WriteColumn(column);
  Stream().WriteU16(uint16_t(row));
  WriteString(label);
  WriteByte(0);
}

TKyRExportToQuattroPro::TKyRExportToQuattroPro()
    : TKyRExportLotusFamily({"WQ1", 0x5120, 0, true}) {}

void TKyRExportToQuattroPro::WriteLabel(std::string_view label, int32_t column, int32_t row) {
  WriteRecordHeader(kLabel, uint16_t(label.size() + 7));
  WriteByte(0);
  WriteColumn(column);
  Stream().WriteU16(uint16_t(row));
  WriteString(label.substr(0, 1));
  WriteByte(uint8_t(label.size() - 1));
  WriteString(label.substr(1));
  WriteByte(0);
}

}  // namespace hy
