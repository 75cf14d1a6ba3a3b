// WK1 and WQ1: the grid as a worksheet of label and blank cells in the two
// related record formats. Neither format carries a code page: labels are
// written in ours, and readers must be told it.
#pragma once

#include <string>

#include "export/KyRExportSpreadsheet.h"

namespace hy {

// What the two formats share: the beginning and end records, the active
// range and the blank cells; they differ in their labels.
class TKyRExportLotusFamily : public TKyRExportToSpreadsheet {
public:
  // Readers take the row word for a signed number and refuse a whole file
  // with a row index of 32,768 or more.
  static constexpr int32_t kMaxRows = 32768;
  static constexpr int32_t kMaxColumns = 256;

protected:
  struct TLayout {
    const char* Name;     // in messages
    uint16_t Version;     // of the beginning-of-file record
    uint8_t BlankFormat;  // format byte of a blank cell
    bool ColumnAndSheet;  // a column byte and a sheet byte rather than a column word
  };
  explicit TKyRExportLotusFamily(const TLayout& layout) : layout_(layout) {}

  // Refuses a grid beyond kMaxRows x kMaxColumns before any cell is written.
  void WriteHeader() override;
  void WriteFooter() override;
  void WriteDimensions(int32_t rowCount, int32_t columnCount) override;
  // Blank cells here; labels in WriteLabel.
  void WriteCell(uint8_t cellType, const TKyRERecord& record, TColor color, uint8_t alignment,
                 std::string_view value, int32_t column, int32_t row) final;
  // `label`: the alignment prefix and the code-page text, together at most
  // 255 characters.
  virtual void WriteLabel(std::string_view label, int32_t column, int32_t row) = 0;
  void WriteByte(uint8_t b);
  void WriteColumn(int32_t column);

private:
  TLayout layout_;
  std::string label_;
};

class TKyRExportToLotus : public TKyRExportLotusFamily {
public:
  TKyRExportToLotus();

protected:
  void WriteLabel(std::string_view label, int32_t column, int32_t row) override;
};

class TKyRExportToQuattroPro : public TKyRExportLotusFamily {
public:
  TKyRExportToQuattroPro();

protected:
  // A label carries a length byte after its prefix: without it readers
  // take the first character for the length.
  void WriteLabel(std::string_view label, int32_t column, int32_t row) override;
};

}  // namespace hy
