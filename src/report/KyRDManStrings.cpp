#include "report/KyRDManStrings.h"

#include "report/KyRDMan.h"

namespace hy {

TKyRStringBlock KyRStringBlock(int language) {
  switch (language) {
    case lnEnglish: return kKyRStringsEnglish;
    case lnRussian: return kKyRStringsRussian;
    case lnUkrainian: return kKyRStringsUkrainian;
    case lnGerman: return kKyRStringsGerman;
    case lnFrench: return kKyRStringsFrench;
    case lnSpanish: return kKyRStringsSpanish;
    case lnSwedish: return kKyRStringsSwedish;
    case lnCzech: return kKyRStringsCzech;
    default: return {nullptr, 0};
  }
}

}  // namespace hy
