// The cell cache's display orders: lookup dimensions sorted by their looked
// up texts, and the header paths of an axis with subtotals.
#include <algorithm>
#include <numeric>

#include "common/StrUtils.h"
#include "cube/HyArrays.h"
#include "cube/HyCache.h"
#include "cube/HyMap.h"
#include "cube/HyProgress.h"
#include "platform/db/DataSet.h"

namespace hy {

namespace {

// Quicksort of display positions by their texts, byte-wise: middle pivot,
// Hoare partition, recursion on the left part and iteration on the right.
void SortByText(std::vector<int16_t>& order, const std::vector<std::string>& text, int32_t left,
                int32_t right) {
  int32_t i;
  do {
    i = left;
    int32_t j = right;
    const std::string& pivot = text[order[(left + right) >> 1]];
    do {
      while (text[order[i]].compare(pivot) < 0) ++i;
      while (text[order[j]].compare(pivot) > 0) --j;
      if (i <= j) {
        std::swap(order[i], order[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) SortByText(order, text, left, j);
    left = i;
  } while (i < right);
}

}  // namespace

void TDataCache::SortLookupDimensions(TCubeProgress& progress) {
  progress.ProgressStage("Sort Dimensions with lookups...", GetDimensionCount());
  for (auto& dimension : dimensions_) {
    TDimensionItem* item = dimension->MapItem();
    if (item && item->Kind() == dkLookup) {
      const int32_t n = dimension->GetValueCount();
      dimension->order_.resize(n);
      std::iota(dimension->order_.begin(), dimension->order_.end(), int16_t{0});
      dimension->lookupText_.assign(n, std::string());
      TDataSet* lookup = item->LookupDataSet();
      if (!lookup) throw EHyCache(Format("%s: Lookup info incomplete", item->FieldName().c_str()));
      {
        TControlsDisabled disabled(*lookup);
        TField* key = lookup->FieldByName(item->KeyFields());
        const std::vector<TField*> results = lookup->GetFieldList(item->LookupResultField());
        if (results.empty())
          throw EHyCache(Format("%s: Lookup info incomplete", item->FieldName().c_str()));
        TField* result = results.front();
        for (lookup->First(); !lookup->Eof(); lookup->Next()) {
          int32_t v;
          bool found;
          try {
            found = dimension->values_->Find(Variant(key->AsInteger()), v);
          } catch (const EVariantError&) {
            found = false;  // a key the value type cannot hold is in no row
          }
          if (found) dimension->lookupText_[v] = result->AsString();
        }
      }
      if (n > 1) SortByText(dimension->order_, dimension->lookupText_, 0, n - 1);
    }
    progress.ProgressStep();
  }
}

int32_t TDataCache::BuildAxisIndex(const std::vector<int32_t>& axisDims, TAxisEntries& entries,
                                   bool subtotals, TCoords& coords) const {
  const int32_t high = static_cast<int32_t>(axisDims.size()) - 1;
  if (high + 1 < 1) return 1;
  int64_t size = 1;
  for (int32_t dim : axisDims) size *= Dimensions(dim)->GetValueCount() + 1;
  // The entries grow as the walk finds them: with empty rows suppressed an
  // axis holds far fewer than every combination. Each growth is checked
  // against the memory budget, and a refusal of the allocator is the same
  // capacity error.
  entries.assign(high + 1, std::vector<int16_t>());
  const auto ensure = [&](int32_t index) {
    const int64_t have = static_cast<int64_t>(entries[0].size());
    if (index < have) return;
    const int64_t grown = std::min(size, std::max<int64_t>({index + int64_t{1}, have * 2, 1024}));
    CheckMemoryBudget((grown - have) * (high + 1) * static_cast<int64_t>(sizeof(int16_t)));
    try {
      for (std::vector<int16_t>& level : entries) level.resize(static_cast<size_t>(grown), 0);
    } catch (...) {
      RethrowAllocationFailure();
    }
  };
  ensure(0);

  const bool suppress = SuppressEmpty();
  int32_t e = 0, level = 0, v = 0;
  bool fresh = false;
  // Whether entry e holds anything: with empty suppression nothing at all
  // may qualify, and a subtotal must not follow an entry never written.
  bool started = false;
  for (;;) {
    const int32_t dim = axisDims[level];
    const int32_t n = Dimensions(dim)->GetValueCount();
    bool descended = false;
    for (; v < n; ++v) {
      if (suppress) {
        coords[dim] = static_cast<int16_t>(v);
        if (IsEmptyCell(coords)) continue;
      }
      if (fresh) {
        ensure(++e);
        for (int32_t l = 0; l < level; ++l) entries[l][e] = entries[l][e - 1];
        fresh = false;
      }
      entries[level][e] = static_cast<int16_t>(v);
      started = true;
      if (level < high) {
        ++level;
        v = 0;
        descended = true;
        break;
      }
      fresh = true;
    }
    if (descended) continue;
    if (suppress) coords[dim] = -1;
    if (subtotals) {
      if (started) ensure(++e);
      for (int32_t l = 0; l < level; ++l) entries[l][e] = entries[l][e - 1];
      for (int32_t l = level; l <= high; ++l) entries[l][e] = -1;
      started = true;
    }
    if (level == 0) break;
    --level;
    v = entries[level][e] + 1;
    fresh = true;
  }
  const int32_t count = started ? e + 1 : 0;
  for (std::vector<int16_t>& level : entries) level.resize(static_cast<size_t>(count));
  return count;
}

}  // namespace hy
