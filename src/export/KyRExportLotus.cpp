#include "export/KyRExportLotus.h"

#include "export/KyRCodePage.h"

namespace hy {

namespace {

constexpr uint16_t kBof = 0x0000;
constexpr uint16_t kEof = 0x0001;
constexpr uint16_t kRange = 0x0006;
constexpr uint16_t kBlank = 0x000C;
constexpr uint16_t kLabel = 0x000F;
constexpr uint16_t kLotusVersion = 0x0404;
constexpr uint16_t kQuattroVersion = 0x5120;
constexpr uint8_t kLotusBlankFormat = 0x22;
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

// The prefix and the code-page text, cut to what a label holds.
void MakeLabel(std::string& out, uint8_t alignment, std::string_view value) {
  out.assign(1, LabelPrefix(alignment));
  AppendAnsi(out, CutChars(value, kMaxLabelChars - 1));
}

void WriteByte(TExportFile& s, uint8_t b) {
  const char c = char(b);
  s.Write({&c, 1});
}

}  // namespace

// ---- WK1 ----

void TKyRExportToLotus::WriteHeader() {
  CheckGridLimits("WK1", kMaxRows, kMaxColumns, RowCount(), ColumnCount());
  WriteRecordHeader(kBof, 2);
  Stream().WriteU16(kLotusVersion);
}

void TKyRExportToLotus::WriteDimensions(int32_t rowCount, int32_t columnCount) {
  WriteRecordHeader(kRange, 8);
  Stream().WriteU16(0);
  Stream().WriteU16(0);
  Stream().WriteU16(uint16_t(columnCount - 1));
  Stream().WriteU16(uint16_t(rowCount - 1));
}

void TKyRExportToLotus::WriteCell(uint8_t cellType, const TKyRERecord&, TColor, uint8_t alignment,
                                  std::string_view value, int32_t column, int32_t row) {
  if (cellType != kCellText) {
    WriteRecordHeader(kBlank, 5);
    WriteByte(Stream(), kLotusBlankFormat);
    Stream().WriteU16(uint16_t(column));
    Stream().WriteU16(uint16_t(row));
    return;
  }
  MakeLabel(text_, alignment, value);
  text_ += '\0';
  WriteRecordHeader(kLabel, uint16_t(text_.size() + 5));
  WriteByte(Stream(), kLotusLabelFormat);
  Stream().WriteU16(uint16_t(column));
  Stream().WriteU16(uint16_t(row));
  WriteString(text_);
}

void TKyRExportToLotus::WriteFooter() { WriteRecordHeader(kEof, 0); }

// ---- WQ1 ----

void TKyRExportToQuattroPro::WriteHeader() {
  CheckGridLimits("WQ1", kMaxRows, kMaxColumns, RowCount(), ColumnCount());
  WriteRecordHeader(kBof, 2);
  Stream().WriteU16(kQuattroVersion);
}

void TKyRExportToQuattroPro::WriteDimensions(int32_t rowCount, int32_t columnCount) {
  WriteRecordHeader(kRange, 8);
  Stream().WriteU16(0);
  Stream().WriteU16(0);
  Stream().WriteU16(uint8_t(columnCount - 1));  // the column as a byte and the sheet 0
  Stream().WriteU16(uint16_t(rowCount - 1));
}

void TKyRExportToQuattroPro::WriteCell(uint8_t cellType, const TKyRERecord&, TColor, uint8_t alignment,
                                       std::string_view value, int32_t column, int32_t row) {
  if (cellType != kCellText) {
    WriteRecordHeader(kBlank, 5);
    WriteByte(Stream(), 0);
    Stream().WriteU16(uint8_t(column));
    Stream().WriteU16(uint16_t(row));
    return;
  }
  MakeLabel(text_, alignment, value);
  const uint8_t length = uint8_t(text_.size() - 1);
  WriteRecordHeader(kLabel, uint16_t(text_.size() + 7));
  WriteByte(Stream(), 0);
  Stream().WriteU16(uint8_t(column));
  Stream().WriteU16(uint16_t(row));
  WriteString(std::string_view(text_).substr(0, 1));
  WriteByte(Stream(), length);
  WriteString(std::string_view(text_).substr(1));
  WriteByte(Stream(), 0);
}

void TKyRExportToQuattroPro::WriteFooter() { WriteRecordHeader(kEof, 0); }

}  // namespace hy
