// Finding text on the report's pages: which text records of a page picture
// match the find dialog's choice, on one page or on every page of every bar.
// Both text record kinds are decoded as what they are (8-bit and 16-bit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/GdiTypes.h"

class QString;

namespace hy {

class TKyPrintBaseComponent;
class TMetafile;

enum TKyRFindMode : uint8_t {
  fmBeginning = 0,  // "At a beginning of string"
  fmExact = 1,      // "Exactly coincidence"
  fmAnywhere = 2,   // "Any position"
};

struct TKyRFindOptions {
  std::string Text;  // UTF-8
  TKyRFindMode Mode = fmBeginning;
  bool CaseSensitive = false;
};

// Whether a record's text, trimmed, matches; an empty text never does.
bool FindTextMatches(const QString& recordText, const TKyRFindOptions& options);

// The bounding rectangles (page units, grown by 1 on every side) of the
// matching text records, in record order. A damaged picture has none.
std::vector<TRect> FindOnPage(const TMetafile& picture, const TKyRFindOptions& options);

struct TKyRFindHit {
  int32_t Page;  // 0-based within the bar
  int32_t Bar;   // 0-based
  TRect Rect;
};

// Every match of the report, sheet by sheet, page by page.
std::vector<TKyRFindHit> FindInReport(const TKyPrintBaseComponent& report,
                                      const TKyRFindOptions& options);

}  // namespace hy
