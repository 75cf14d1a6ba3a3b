// The prepared report file ("krp"): the document properties and the page
// pictures of a report, so that it can be previewed, printed and exported
// again without its source. Integers are 32-bit little-endian; a string is
// a byte count and that many code-page 1252 bytes; each page record is eight
// integers (page and bar index, width, height, left, right, top and bottom
// margin) followed by the page's complete EMF picture.
//
// The header counts what the file holds (distinct page rows and bars of the
// written records), and every record keeps its page's own indexes, so a file
// of a page selection or of one page loads like any other. The reader checks
// every size against the bytes really there and changes nothing when it
// refuses a file.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "report/KyROutput.h"

namespace hy {

class TPageInfo;

// A file that is not a sound prepared report file; the message names the
// file and the place.
HY_DECLARE_EXCEPTION(EKyRFileError, Exception);

inline constexpr const char* kKrpSignature = "KyRP prepared report of the HyCube report writer";

struct TKyReportFile {
  std::string Author, Keywords, Subject, Title;
  int32_t PageCount = 0;  // as the header announces them
  int32_t BarCount = 0;
  std::vector<std::unique_ptr<TPageInfo>> Pages;
  TKyReportFile();
  ~TKyReportFile();
  TKyReportFile(TKyReportFile&&) noexcept;
  TKyReportFile& operator=(TKyReportFile&&) noexcept;
};

// Parses a whole file's bytes; `name` goes into the messages.
TKyReportFile ParseReportFile(const std::vector<uint8_t>& bytes, const std::string& name);
TKyReportFile ReadReportFile(const std::string& fileName);

// Writes the listed pages (all without a list) in page order, the bars of a
// page one after another, into `fileName`, or each into its own file named
// by SeparateFileName when `separateFiles`. Builds the report first when it
// is not prepared. Every file is written whole or not at all.
// EKyROutputError when the list selects no page.
void SaveToFile(TKyPrintBaseComponent& report, const std::string& fileName, bool separateFiles,
                const TPageList* pages = nullptr);

// Replaces the report's pages and its author, keywords, subject and title
// with the file's, and makes the first page of the first bar current. A file
// that cannot be read leaves the report as it was (EKyRFileError).
void LoadFromFile(TKyPrintBaseComponent& report, const std::string& fileName);
void LoadFromStream(TKyPrintBaseComponent& report, std::istream& in,
                    const std::string& name = "the stream");

}  // namespace hy
