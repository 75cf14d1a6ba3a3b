#include "report/KyRDManStrings.h"

#include "report/KyRDMan.h"

namespace hy {
namespace {

const TKyRStringEntry kEnglish[] = {
    {1828, "page #"},
    {1831, "Sheet"},
};

}  // namespace

TKyRStringBlock KyRStringBlock(int language) {
  switch (language) {
    case lnEnglish: return {kEnglish, std::size(kEnglish)};
    default: return {nullptr, 0};
  }
}

}  // namespace hy
