// TKyRExportAttributes: turns the drawing records of the page pictures into
// positioned elements (texts, pictures and, on request, lines and shapes),
// and arranges them into a grid of rows and columns for the cell formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/KyRERecord.h"
#include "export/KyRExprt.h"
#include "platform/gdi/GdiTypes.h"

namespace hy {

struct TEmrExtTextOut;

// Which elements are captured (Options).
enum TKyRCaptureOption : uint8_t {
  coText = 1,
  coLines = 2,
  coRectangles = 4,
  coEllipses = 8,
  coPictures = 16,
};

class TKyRExportAttributes : public TKyRExport {
public:
  TKyRExportAttributes() = default;

  int32_t ColumnCount() const { return columnCount_; }
  int32_t RowCount() const { return rowCount_; }
  uint8_t Options() const { return options_; }
  void SetOptions(uint8_t options) { options_ = options; }

  // The drawing state followed through the records.
  const TFont& Font() const { return *font_; }
  uint8_t TextAlign() const { return textAlign_; }
  uint8_t BkMode() const { return bkMode_; }
  TColor BkColor() const { return bkColor_; }
  int32_t CurrentX() const { return currentX_; }
  int32_t CurrentY() const { return currentY_; }

  // The captured elements; after SaveToFile's normalisation, the grid cells
  // row by row, ColumnCount per row.
  std::vector<TKyRERecord>& Records() { return records_; }
  const std::vector<TKyRERecord>& Records() const { return records_; }
  // Left edges of the grid columns, ascending.
  const std::vector<int32_t>& Columns() const { return columns_; }

  void BeginExport() override;
  void EndExport() override;
  void ProcessRecord(const TEmfRecord& record) override;
  // Arranges the elements into the grid (writers call it first).
  void SaveToFile(const std::string& fileName) override;

protected:
  // Forgets the elements of the file just written, so that with separate
  // files the next file holds the next picture only.
  void ClearCells();
  // The 0-based row and column of cell i of the normalised grid.
  int32_t CellRow(size_t i) const { return int32_t(i / size_t(columnCount_)); }
  int32_t CellColumn(size_t i) const { return int32_t(i % size_t(columnCount_)); }

private:
  void CaptureText(const TEmrExtTextOut& text);
  TKyRERecord& AddElement(uint8_t kind, const TRect& inclusiveBounds);
  void SetFontColor(TColor color);
  void NormalizeGrid();

  int32_t columnCount_ = 0;
  int32_t rowCount_ = 0;
  uint8_t options_ = coText | coPictures;
  TSharedFont font_ = DefaultExportFont();
  uint8_t textAlign_ = 0;
  uint8_t bkMode_ = 0;
  TColor bkColor_ = clWhite;
  int32_t currentX_ = 0;
  int32_t currentY_ = 0;
  std::vector<TKyRERecord> records_;
  std::vector<int32_t> columns_;
};

}  // namespace hy
