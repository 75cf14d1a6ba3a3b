// The compiled-in string table: one list of (number, text) per language, in
// any order, each in its own file. Only KyRDMan.cpp and the tests read it
// directly; everything else asks LoadString.
#pragma once

#include <cstddef>

namespace hy {

struct TKyRStringEntry {
  int number;
  const char* text;  // UTF-8
};

struct TKyRStringBlock {
  const TKyRStringEntry* entries;
  std::size_t count;
};

// Constant-initialised, so usable from any static initialiser.
extern const TKyRStringBlock kKyRStringsEnglish;
extern const TKyRStringBlock kKyRStringsRussian;
extern const TKyRStringBlock kKyRStringsUkrainian;
extern const TKyRStringBlock kKyRStringsGerman;
extern const TKyRStringBlock kKyRStringsFrench;
extern const TKyRStringBlock kKyRStringsSpanish;
extern const TKyRStringBlock kKyRStringsSwedish;
extern const TKyRStringBlock kKyRStringsCzech;

// The block of `language` (0..kKyRLangCount-1), empty for any other.
TKyRStringBlock KyRStringBlock(int language);

}  // namespace hy
