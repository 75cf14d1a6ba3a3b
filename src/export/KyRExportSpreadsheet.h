// TKyRExportToSpreadsheet: writes the normalised grid cell by cell, row by
// row, through overridable writers; the file formats of cells (HTML, XML,
// the worksheets) override the writers only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "export/KyRExportAttributes.h"
#include "export/KyRExportFile.h"

namespace hy {

// Cell types of WriteCell.
constexpr uint8_t kCellEmpty = 0;
constexpr uint8_t kCellText = 3;
// Alignment indexes of WriteCell.
constexpr uint8_t kAlignLeft = 0;
constexpr uint8_t kAlignRight = 1;
constexpr uint8_t kAlignCenter = 2;
// A cell value holds at most this many characters.
constexpr size_t kMaxCellChars = 255;

// The alignment index of text-alignment flags (right and centre; else left).
uint8_t AlignmentIndex(uint8_t textAlign);

// Refuses (EKyRExportError naming the limit and the grid's size) a grid the
// format cannot address, rather than writing wrapped indexes.
void CheckGridLimits(std::string_view format, int32_t maxRows, int32_t maxColumns, int32_t rows,
                     int32_t columns);

class TKyRExportToSpreadsheet : public TKyRExportAttributes {
public:
  // Normalises the grid, then: WriteHeader, WriteDimensions, per row StartRow,
  // WriteCell per cell, EndRow; WriteFooter.
  void SaveToFile(const std::string& fileName) override;

protected:
  // Two 16-bit little-endian words.
  virtual void WriteRecordHeader(uint16_t recordType, uint16_t length);
  virtual void WriteHeader() {}
  virtual void WriteFooter() {}
  virtual void WriteDimensions(int32_t rowCount, int32_t columnCount) {}
  virtual void StartRow() {}
  virtual void EndRow() {}
  // cellType kCellText with the text (UTF-8, at most kMaxCellChars
  // characters), or kCellEmpty with an empty value and white; column and
  // row are 0-based.
  virtual void WriteCell(uint8_t cellType, const TKyRERecord& record, TColor color,
                         uint8_t alignment, std::string_view value, int32_t column, int32_t row) {}

  // Bytes to the file as they are.
  void WriteString(std::string_view bytes) { stream_->Write(bytes); }
  TExportFile& Stream() { return *stream_; }
  // The target's name while SaveToFile runs.
  const std::string& FileName() const { return stream_->FileName(); }

private:
  TExportFile* stream_ = nullptr;
};

}  // namespace hy
