// String keys in the order of the user's locale: accents next to their
// letters, lower case before upper case on otherwise equal words. The
// dimension value arrays and the bin table's final sort use the same order.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace hy {

// Three-way comparison of two UTF-8 texts by the locale's collation. The
// program's locale decides; the plain "C" locale collates as English.
int CollateCompare(std::string_view a, std::string_view b);

// The rank of every text among `texts` in collation order; texts that
// collate equal share a rank. Each text's sort key is computed once.
std::vector<uint32_t> CollationRanks(const std::deque<std::string>& texts);

}  // namespace hy
