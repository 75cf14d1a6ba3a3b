// A first dimension map for a table nobody has designed a cube for: text,
// Boolean and date fields become dimensions (dates grouped by month),
// numeric fields sums. Counters (AutoInc), memos, blobs and times are left
// out. Without a numeric field the cube counts the rows of its first
// dimension field, so that every cell still says something.
#pragma once

namespace hy {

class TDataSet;
class THyMap;

// Replaces the items of `map` with the proposal for the fields of `dataSet`
// (which must be open) and returns how many items it made; 0 means the
// dataset has no field a cube can use, and the map is left as it was.
int ProposeDimensionMap(const TDataSet& dataSet, THyMap& map);

}  // namespace hy
