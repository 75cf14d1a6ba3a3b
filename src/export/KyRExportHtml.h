// HTML and XML: the grid as one HTML table with colours, fonts, alignment
// and pictures, or as a flat XML document with one element per row and one
// attribute per non-empty cell. Both are written in the code page and
// declare it; characters it cannot hold become numeric references.
#pragma once

#include <string>
#include <string_view>

#include "export/KyRExportSpreadsheet.h"

namespace hy {

class TKyRExportToHTML : public TKyRExportToSpreadsheet {
public:
  // The page background, taken from BkColor when the header is written.
  TColor BodyColor() const { return bodyColor_; }
  // Pictures go to NAME_files/imgN.bmp beside the file.
  void SaveToFile(const std::string& fileName) override;

protected:
  void WriteHeader() override;
  void WriteFooter() override;
  void StartRow() override;
  void EndRow() override;
  void WriteCell(uint8_t cellType, const TKyRERecord& record, TColor color, uint8_t alignment,
                 std::string_view value, int32_t column, int32_t row) override;

private:
  std::string PictureSource(const TBitmap& picture);

  TColor bodyColor_ = clWhite;
  int pictures_ = 0;
  std::string cell_;  // the cell being built, reused
};

class TKyRExportToXML : public TKyRExportToSpreadsheet {
protected:
  void WriteHeader() override;
  void WriteFooter() override;
  void StartRow() override;
  void EndRow() override;
  void WriteCell(uint8_t cellType, const TKyRERecord& record, TColor color, uint8_t alignment,
                 std::string_view value, int32_t column, int32_t row) override;

private:
  std::string cell_;
};

// The pieces of the HTML cells.
// `color="#RRGGBB"` (`bgcolor=...` for a background); empty for black.
std::string HtmlColorAttribute(TColor color, bool background);
// The font size code of a point size: "1" to "6", or "-1" for none.
const char* HtmlFontSize(int points);
// The text in the code page with HTML's entities and numeric references.
void AppendHtmlText(std::string& out, std::string_view utf8);
// The text in the code page with XML's five entities and numeric
// references; characters XML cannot carry at all become U+FFFD.
void AppendXmlText(std::string& out, std::string_view utf8);

}  // namespace hy
