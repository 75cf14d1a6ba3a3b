#include "cube/HyStore.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/db/DataSet.h"

namespace hy {

// ------------------------------------------------------------------- THyLog

void THyLog::Clear() {
  lines_.clear();
  errorCount_ = 0;
}

void THyLog::Error(const std::string& text) {
  ++errorCount_;
  lines_.push_back("[Error] " + text);
}

void THyLog::ErrorFmt(const char* fmt, ...) {
  va_list args, copy;
  va_start(args, fmt);
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string text(n > 0 ? n : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, args);
  va_end(args);
  Error(text);
}

std::string THyLog::Text() const {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i) text += '\n';
    text += lines_[i];
  }
  return text;
}

// --------------------------------------------------------- TCommonDataStore

TCommonDataStore::TCommonDataStore(TComponent* owner) : TComponent(owner) {}
TCommonDataStore::~TCommonDataStore() = default;

void TCommonDataStore::SetMaxDimensions(int32_t value) {
  maxDimensions_ = std::min(value, kMaxDimensionsLimit);
}

void TCommonDataStore::SetMaxCells(uint32_t value) {
  maxCells_ = value == 0 ? kDefaultMaxCells : value;
}

// ----------------------------------------------------------- THyCustomStore

THyCustomStore::THyCustomStore(TComponent* owner)
    : TCommonDataStore(owner), dimensionMap_(std::make_unique<THyMap>(this)) {}

THyCustomStore::~THyCustomStore() {
  Destroying();
  dimensionMap_.reset();
}

void THyCustomStore::SetDataSet(TDataSet* value) {
  if (value == dataSet_) return;
  if (dataSet_) RemoveFreeNotification(dataSet_);
  dataSet_ = value;
  if (value) value->FreeNotification(this);
}

void THyCustomStore::Refresh(bool rebuild) {
  // The open/close state machine comes with the cube build; until a store
  // can be open there is nothing to refresh.
  (void)rebuild;
}

void THyCustomStore::Notification(TComponent* component, TOperation operation) {
  TCommonDataStore::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dataSet_) {
    dimensionMap_->SetActive(false);
    dataSet_ = nullptr;
  }
  for (int i = 0; i < dimensionMap_->Count(); ++i) {
    THyMapItem* item = dimensionMap_->Items(i);
    if (item->LookupDataSet() == component) item->SetLookupDataSet(nullptr);
  }
}

}  // namespace hy
