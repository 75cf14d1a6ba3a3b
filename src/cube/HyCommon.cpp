#include "cube/HyCommon.h"

#include "cube/HyMap.h"

namespace hy {

TCommonDimItem::~TCommonDimItem() { SetMapItem(nullptr); }

void TCommonDimItem::SetMapItem(TDimensionItem* item) {
  if (item == mapItem_) return;
  if (mapItem_ && mapItem_->CacheLink() == this) mapItem_->SetCacheLink(nullptr);
  mapItem_ = item;
  if (item) {
    if (TCommonDimItem* old = item->CacheLink(); old && old != this) old->mapItem_ = nullptr;
    item->SetCacheLink(this);
  }
}

Variant TCommonDimItem::GetRecordValue(int32_t) const {
  throw EHyError(mapItem_ ? "'" + mapItem_->Name() + "' has no summary values"
                          : "No summary values");
}

std::string TCommonDimItem::GetCaption() const { return mapItem_ ? mapItem_->Caption() : ""; }

}  // namespace hy
