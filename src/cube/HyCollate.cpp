#include "cube/HyCollate.h"

#include <QCollator>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <numeric>

namespace hy {

namespace {

// One collator per thread: a collator is not meant for concurrent use.
// The "C" locale would compare code points (upper case before all lower
// case), so it collates as English instead.
QCollator& Collator() {
  thread_local QCollator collator([] {
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
  }());
  return collator;
}

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int CollateCompare(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  const int c = Collator().compare(ToQString(a), ToQString(b));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::vector<uint32_t> CollationRanks(const std::deque<std::string>& texts) {
  QCollator& collator = Collator();
  std::vector<QCollatorSortKey> keys;
  keys.reserve(texts.size());
  for (const std::string& text : texts) keys.push_back(collator.sortKey(ToQString(text)));
  std::vector<uint32_t> ids(texts.size());
  std::iota(ids.begin(), ids.end(), 0u);
  std::sort(ids.begin(), ids.end(),
            [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
  std::vector<uint32_t> rank(ids.size());
  uint32_t r = 0;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0 && keys[ids[i - 1]].compare(keys[ids[i]]) != 0) ++r;
    rank[ids[i]] = r;
  }
  return rank;
}

}  // namespace hy
