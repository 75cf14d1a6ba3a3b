// TKyRExport: the base of every export filter. The report's export driver
// sets the sizes and document properties, then calls, in this order:
// BeginExport; per selected picture StartPage, ProcessRecord for each of its
// records, EndPage; SaveToFile once (or once per picture with separate
// files); EndExport. One exporter serves one export.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Exceptions.h"

namespace hy {

struct TEmfRecord;
class TMetafile;

// A file the export cannot create or write, or an export type that cannot
// be made.
HY_DECLARE_EXCEPTION(EKyRExportError, Exception);

// Who made the document: written into the XML comment, the RTF and PDF
// document information.
inline constexpr std::string_view kKyRCreatorCredit = "HyCube report writer";
// The generator the HTML header and the PDF producer name.
inline constexpr std::string_view kKyRGenerator = "Orvane KyReport";

class TKyRExport {
public:
  TKyRExport() = default;
  virtual ~TKyRExport() = default;
  TKyRExport(const TKyRExport&) = delete;
  TKyRExport& operator=(const TKyRExport&) = delete;

  // Position of the current picture on the export surface, the size of one
  // page picture and of the whole surface, in page units.
  int32_t OffsetX() const { return offsetX_; }
  void SetOffsetX(int32_t v) { offsetX_ = v; }
  int32_t OffsetY() const { return offsetY_; }
  void SetOffsetY(int32_t v) { offsetY_ = v; }
  int32_t PageWidth() const { return pageWidth_; }
  void SetPageWidth(int32_t v) { pageWidth_ = v; }
  int32_t PageHeight() const { return pageHeight_; }
  void SetPageHeight(int32_t v) { pageHeight_ = v; }
  int32_t TotalWidth() const { return totalWidth_; }
  void SetTotalWidth(int32_t v) { totalWidth_ = v; }
  int32_t TotalHeight() const { return totalHeight_; }
  void SetTotalHeight(int32_t v) { totalHeight_ = v; }

  // Document properties copied from the report (UTF-8).
  const std::string& Author() const { return author_; }
  void SetAuthor(std::string v) { author_ = std::move(v); }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string v) { title_ = std::move(v); }
  const std::string& Subject() const { return subject_; }
  void SetSubject(std::string v) { subject_ = std::move(v); }
  const std::string& Keywords() const { return keywords_; }
  void SetKeywords(std::string v) { keywords_ = std::move(v); }
  const std::vector<std::string>& Comments() const { return comments_; }
  void SetComments(std::vector<std::string> v) { comments_ = std::move(v); }

  virtual void BeginExport() {}
  virtual void EndExport() {}
  // Before the records of picture (pageIndex, barIndex), both 0-based.
  virtual void StartPage(int32_t pageIndex, int32_t barIndex) {}
  // One record of the current picture, in recorded order.
  virtual void ProcessRecord(const TEmfRecord& record) {}
  // Writes what was collected; the file is complete or not there at all.
  // The base resets the six sizes.
  virtual void SaveToFile(const std::string& fileName);
  // After the records of a picture, with the picture itself.
  virtual void EndPage(const TMetafile& picture) {}

  // Every record of `picture` through ProcessRecord (EEmfError when the
  // picture is damaged; then no record is passed).
  void ProcessPicture(const TMetafile& picture);

private:
  int32_t offsetX_ = 0;
  int32_t offsetY_ = 0;
  int32_t pageWidth_ = 0;
  int32_t pageHeight_ = 0;
  int32_t totalWidth_ = 0;
  int32_t totalHeight_ = 0;
  std::string author_;
  std::string title_;
  std::string subject_;
  std::string keywords_;
  std::vector<std::string> comments_;
};

// The file of picture (pageIndex, barIndex) when each picture gets its own:
// the page and bar numbers go before the first dot of the name's last part
// ("REPORT.txt", 0, 0 -> "REPORT0_0.txt"), or at its end without a dot.
std::string SeparateFileName(const std::string& fileName, int32_t pageIndex, int32_t barIndex);

}  // namespace hy
