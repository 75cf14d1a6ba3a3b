// Types shared by the store and its cache.
#pragma once

#include <cstdint>
#include <string>

#include "common/Exceptions.h"
#include "common/Variant.h"

namespace hy {

// Errors of the record table and its columns.
HY_DECLARE_EXCEPTION(EHyError, Exception);

class TDimensionItem;

// Base of the cache's dimension and summary objects: the two-way link with
// the map item it was built from.
class TCommonDimItem {
public:
  TCommonDimItem() = default;
  virtual ~TCommonDimItem();
  TCommonDimItem(const TCommonDimItem&) = delete;
  TCommonDimItem& operator=(const TCommonDimItem&) = delete;

  TDimensionItem* MapItem() const { return mapItem_; }
  // Links both ways; the previous item loses its link.
  void SetMapItem(TDimensionItem* item);
  std::string GetCaption() const;
  // The value this object holds in bin-table record `recNo` (Null when the
  // aggregate is Null). Summaries answer it; expressions read through it.
  virtual Variant GetRecordValue(int32_t recNo) const;

private:
  friend class TDimensionItem;  // clears the link when the item goes away
  TDimensionItem* mapItem_ = nullptr;
};

}  // namespace hy
