// The compiled-in string table: one list of (number, text) per language, in
// any order. Only KyRDMan.cpp and the tests read it directly.
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

// The block of `language` (0..kKyRLangCount-1).
TKyRStringBlock KyRStringBlock(int language);

}  // namespace hy
