#include "ui/KyRFindSearch.h"

#include <algorithm>
#include <functional>

#include <QString>

#include "common/Exceptions.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/Metafile.h"
#include "report/PrintKy.h"

namespace hy {

namespace {

// The options turned into what each record is compared with, once per search.
struct TMatcher {
  explicit TMatcher(const TKyRFindOptions& options)
      : needle(QString::fromStdString(options.Text)),
        upperNeedle(needle.toUpper()),
        mode(options.Mode),
        cs(options.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) {}

  bool Matches(const QString& recordText) const {
    const QString text = recordText.trimmed();
    if (text.isEmpty() || needle.isEmpty()) return false;
    switch (mode) {
      case fmBeginning:
        return text.size() >= needle.size() &&
               QStringView(text).left(needle.size()).compare(needle, cs) == 0;
      case fmExact: return text.compare(needle, cs) == 0;
      case fmAnywhere:
        return cs == Qt::CaseSensitive ? text.contains(needle)
                                       : text.toUpper().contains(upperNeedle);
    }
    return false;
  }

  QString needle;
  QString upperNeedle;
  TKyRFindMode mode;
  Qt::CaseSensitivity cs;
};

void FindWith(const TMatcher& matcher, const TMetafile& picture,
              const std::function<void(const TRect&)>& found) {
  try {
    EnumerateMetafile(picture, [&](const TEmfRecord& r) {
      if (r.Type != emf::EMR_EXTTEXTOUTW && r.Type != emf::EMR_EXTTEXTOUTA) return;
      try {
        const TEmrExtTextOut t = ReadExtTextOut(r);
        if (!matcher.Matches(QString::fromStdString(t.Text()))) return;
        found(TRect{t.Bounds.Left - 1, t.Bounds.Top - 1, t.Bounds.Right + 1, t.Bounds.Bottom + 1});
      } catch (const Exception&) {
        // a damaged record is no match; the search goes on
      }
    });
  } catch (const Exception&) {
    // an unsound picture shows nothing and so holds nothing to find
  }
}

}  // namespace

bool FindTextMatches(const QString& recordText, const TKyRFindOptions& options) {
  return TMatcher(options).Matches(recordText);
}

std::vector<TRect> FindOnPage(const TMetafile& picture, const TKyRFindOptions& options) {
  std::vector<TRect> rects;
  FindWith(TMatcher(options), picture, [&](const TRect& r) { rects.push_back(r); });
  return rects;
}

std::vector<TKyRFindHit> FindInReport(const TKyPrintBaseComponent& report,
                                      const TKyRFindOptions& options) {
  std::vector<const TPageInfo*> pages;
  for (const auto& page : report.Pages()) pages.push_back(page.get());
  std::stable_sort(pages.begin(), pages.end(), [](const TPageInfo* a, const TPageInfo* b) {
    return a->BarIndex() != b->BarIndex() ? a->BarIndex() < b->BarIndex()
                                          : a->PageIndex() < b->PageIndex();
  });
  const TMatcher matcher(options);
  std::vector<TKyRFindHit> hits;
  for (const TPageInfo* page : pages)
    FindWith(matcher, page->Picture(), [&](const TRect& r) {
      hits.push_back(TKyRFindHit{page->PageIndex(), page->BarIndex(), r});
    });
  return hits;
}

}  // namespace hy
