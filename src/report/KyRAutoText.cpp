#include "report/KyRAutoText.h"

#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/Metafile.h"

namespace hy {

std::vector<TKyRPageText> PageTexts(const TMetafile& picture) {
  std::vector<TKyRPageText> texts;
  EnumerateMetafile(picture, [&](const TEmfRecord& r) {
    if (r.Type != emf::EMR_EXTTEXTOUTW && r.Type != emf::EMR_EXTTEXTOUTA) return;
    const TEmrExtTextOut t = ReadExtTextOut(r);
    texts.push_back({t.Reference.X, t.Reference.Y, t.Text()});
  });
  return texts;
}

}  // namespace hy
