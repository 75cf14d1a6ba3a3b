// PDF: the captured texts, lines and pictures as a PDF 1.2 document, one
// PDF page per report page (its bars side by side), text in the standard
// Type 1 fonts, lines as filled rectangles, pictures as uncompressed RGB
// images in hexadecimal. Elements keep their captured order and absolute
// positions; no grid is made.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/KyRExportAttributes.h"

namespace hy {

class TKyRExportToPDF : public TKyRExportAttributes {
public:
  TKyRExportToPDF();

  // Pages per intermediate node of the page tree.
  int32_t PagesPerNode() const { return pagesPerNode_; }

  void BeginExport() override;
  void EndExport() override;
  // Note which elements each picture gave, so that every element goes on
  // the page of its picture, whatever its kind.
  void StartPage(int32_t pageIndex, int32_t barIndex) override;
  void EndPage(const TMetafile& picture) override;
  // Writes the document; the sizes stay for the next picture (separate
  // files), the elements go.
  void SaveToFile(const std::string& fileName) override;

private:
  // The elements of one picture: from element First on, on page Page, whose
  // top edge lies at Top on the export surface.
  struct TPictureRun {
    size_t First;
    int32_t Page;
    int32_t Top;
  };
  std::vector<TPictureRun> PageRuns() const;

  int32_t pagesPerNode_ = 10;
  std::vector<TPictureRun> runs_;
  size_t pictureFirst_ = 0;
  int32_t picturePage_ = 0;
};

// The pieces of the document, for the tests.
// The standard font standing in for a face: Courier, Helvetica (faces with
// "Arial") or Times, bold or not; italic is not told apart.
std::string PdfBaseFontName(const TFont& font);
// "r g b rg" (filling) or "r g b RG" (stroking), each part 0.000 to 1.000
// with a point whatever the locale.
std::string PdfColorOperator(TColor color, bool stroke);
// The text as a literal string of code-page bytes, "(" ... ")", with "\",
// "(" and ")" escaped and control characters in octal.
std::string PdfLiteralString(std::string_view utf8);
// A document-information text: a literal string when it is plain ASCII,
// otherwise UTF-16 with a byte-order mark in hexadecimal.
std::string PdfTextString(std::string_view utf8);

}  // namespace hy
