// Plain text and CSV. Both are 8-bit files in the code page; a file whose
// texts the code page cannot hold is written in UTF-8 with a byte-order
// mark instead, so that no character is lost.
#pragma once

#include <string>
#include <vector>

#include "export/KyRExportAttributes.h"

namespace hy {

// Each text at the character cell nearest its position on the export
// surface; later text overwrites earlier text at the same place.
class TKyRExportToText : public TKyRExport {
public:
  double CharWidth() const { return charWidth_; }
  void SetCharWidth(double v) { charWidth_ = v; }
  double CharHeight() const { return charHeight_; }
  void SetCharHeight(double v) { charHeight_ = v; }
  const std::vector<std::u32string>& Lines() const { return lines_; }

  void BeginExport() override;
  void EndExport() override;
  // A form feed ends the text of the previous page.
  void StartPage(int32_t pageIndex, int32_t barIndex) override;
  void ProcessRecord(const TEmfRecord& record) override;
  void SaveToFile(const std::string& fileName) override;

private:
  double charWidth_ = 6.5;
  double charHeight_ = 16.0;
  std::vector<std::u32string> lines_;
};

// The grid as rows of ";"-separated cells, CR LF between rows. A cell
// holding ";", a double quote, CR or LF is quoted (quotes doubled); every
// other cell is written as it is.
class TKyRExportToCSV : public TKyRExportAttributes {
public:
  void SaveToFile(const std::string& fileName) override;
};

// The byte-order mark that starts a UTF-8 text file.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace hy
