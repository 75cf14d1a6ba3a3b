#include "cube/HyStore.h"

#include <algorithm>
#include <cstdarg>

#include "common/StrUtils.h"
#include "cube/HyBin.h"
#include "cube/HyProgress.h"
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
  va_list args;
  va_start(args, fmt);
  const std::string text = FormatV(fmt, args);
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
    : TCommonDataStore(owner),
      dataCache_(std::make_unique<TDataCache>(this)),
      dimensionMap_(std::make_unique<THyMap>(this)) {}

THyCustomStore::~THyCustomStore() {
  Destroying();
  if (Active()) {
    dataState_ = dsNoData;  // no StateChanged: the derived part is gone
    CloseCache();
  }
  dataCache_.reset();
  dimensionMap_.reset();
}

void THyCustomStore::SetDataSet(TDataSet* value) {
  if (value == dataSet_) return;
  if (dataSet_) RemoveFreeNotification(dataSet_);
  dataSet_ = value;
  if (value) value->FreeNotification(this);
}

void THyCustomStore::SetActive(bool value) {
  if (IsLoading()) {
    streamedActive_ = value;
    return;
  }
  if (value == Active()) return;
  if (value) {
    DoBeforeOpen();
    Open();
    DoAfterOpen();
  } else {
    SetDataState(dsNoData);
    if (!IsDestroying()) DoBeforeClose();
    CloseCache();
    if (!IsDestroying()) DoAfterClose();
  }
}

void THyCustomStore::CloseCache() {
  dataCache_->SetActive(false);
  dimensionMap_->SetActive(false);
}

void THyCustomStore::Loaded() {
  TCommonDataStore::Loaded();
  if (streamedActive_) SetActive(true);
}

void THyCustomStore::Open() {
  if (!GetDataSet()) throw ECacheError("DataSet not assigned*");
  try {
    // Open() acts at once, also while the dataset's own loading has not
    // finished; its Loaded() then finds it open. An open dataset stays so.
    GetDataSet()->Open();
    dimensionMap_->SetActive(true);
    dataCache_->SetActive(true);
    std::unique_ptr<TCubeProgress> progress = NewBuildProgress(showProgressDialog_);
    progress->RunWithProgress([this](TCubeProgress& reporter) { Build(reporter); });
    SetDataState(designState_);
  } catch (...) {
    SetDataState(dsNoData);
    CloseCache();
    RethrowAllocationFailure();
  }
}

void THyCustomStore::Build(TCubeProgress& progress) {
  dataCache_->SetBinTable(nullptr);
  dataCache_->SetBinTable(std::make_unique<TBinTable>(*dimensionMap_));
  dataCache_->CreateMetaData();
  dataCache_->BinTable()->LoadFromDataSet(progress, parallelLoad_);
  dataCache_->CompressDimensions(progress);
  dataCache_->SortLookupDimensions(progress);
  dataCache_->BuildCellIndex();
}

void THyCustomStore::Refresh(bool rebuild) {
  if (!Active()) return;
  if (rebuild) {
    SetActive(false);
    SetActive(true);
  } else {
    NotifyDataSources(3);
  }
}

void THyCustomStore::SetDataState(TCubeDataState state) {
  if (state == dataState_) return;
  dataState_ = state;
  StateChanged();
}

void THyCustomStore::DoBeforeOpen() {
  if (beforeOpen_) beforeOpen_(*this);
}
void THyCustomStore::DoAfterOpen() {
  if (afterOpen_) afterOpen_(*this);
}
void THyCustomStore::DoBeforeClose() {
  if (beforeClose_) beforeClose_(*this);
}
void THyCustomStore::DoAfterClose() {
  if (afterClose_) afterClose_(*this);
}
void THyCustomStore::DoRefresh(THyMap& map) {
  if (onRefresh_) onRefresh_(*this, map);
}

void THyCustomStore::SetCurrentSummary(int32_t index) {
  if (index == dataCache_->CurrentSummary()) return;
  dataCache_->SetCurrentSummary(index);
  NotifyDataSources(1);
}

void THyCustomStore::SetSuppressEmpty(bool value) { dataCache_->SetSuppressEmpty(value); }

int32_t THyCustomStore::BuildAxisIndex(const std::vector<int32_t>& axisDims, TAxisEntries& entries,
                                       bool subtotals, TCoords& coords) const {
  return dataCache_->BuildAxisIndex(axisDims, entries, subtotals, coords);
}

std::string THyCustomStore::GetSummaryAsString(const TCoords& coords) const {
  return dataCache_->GetSummaryAsString(coords);
}

int32_t THyCustomStore::GetDimensionCount() const { return dataCache_->GetDimensionCount(); }
int32_t THyCustomStore::GetSummaryCount() const { return dataCache_->GetSummaryCount(); }
TDimension* THyCustomStore::Dimensions(int32_t index) const {
  return dataCache_->Dimensions(index);
}
TAbstractSummary* THyCustomStore::Summaries(int32_t index) const {
  return dataCache_->Summaries(index);
}

std::string THyCustomStore::GetDimensionValueCaption(int32_t dimIndex, int32_t valueIndex) const {
  return dataCache_->Dimensions(dimIndex)->GetValueCaption(valueIndex);
}

Variant THyCustomStore::GetSummaryValue(const TCoords& coords) const {
  return dataCache_->GetSummaryValue(coords);
}

void THyCustomStore::Notification(TComponent* component, TOperation operation) {
  TCommonDataStore::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == dataSet_) {
    SetActive(false);
    dimensionMap_->SetActive(false);
    dataSet_ = nullptr;
  }
  for (int i = 0; i < dimensionMap_->Count(); ++i) {
    THyMapItem* item = dimensionMap_->Items(i);
    if (item->LookupDataSet() == component) item->SetLookupDataSet(nullptr);
  }
}

}  // namespace hy
