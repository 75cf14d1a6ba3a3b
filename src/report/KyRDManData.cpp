#include <algorithm>

#include "common/Exceptions.h"
#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "platform/db/DataSet.h"
#include "report/KyRDMan.h"

namespace hy {

// ---- TKyRDataset ----

void TKyRDataset::SetDataset(TDataSet* value) {
  if (value == dataset_) return;
  TDataSet* old = dataset_;
  dataset_ = value;
  TKyRDataManager& manager = collection_->Owner();
  // The manager hears of a dataset's end and clears every item naming it.
  if (old && !collection_->Refers(old)) manager.RemoveFreeNotification(old);
  if (value) {
    value->FreeNotification(&manager);
    if (caption_.empty()) caption_ = value->Name();
  } else {
    caption_.clear();
  }
  collection_->Changed();
}

void TKyRDataset::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  collection_->Changed();
}

void TKyRDataset::Assign(const TKyRDataset& source) {
  if (&source == this) return;
  TUpdateScope update(*collection_);
  SetCaption(source.caption_);
  SetDataset(source.dataset_);
}

int TKyRDataset::Index() const {
  const auto& items = collection_->items_;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == this) return static_cast<int>(i);
  return -1;
}

// ---- TKyRDatasets ----

TKyRDatasets::~TKyRDatasets() = default;

TKyRDataset* TKyRDatasets::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EListError(Format("List index out of bounds (%d)", index));
  return items_[index].get();
}

TKyRDataset* TKyRDatasets::Add() {
  items_.push_back(std::unique_ptr<TKyRDataset>(new TKyRDataset(this)));
  Changed();
  return items_.back().get();
}

void TKyRDatasets::Clear() {
  if (items_.empty()) return;
  TUpdateScope update(*this);
  while (!items_.empty()) {
    items_.back()->SetDataset(nullptr);  // drops the free notification
    items_.pop_back();
  }
  Changed();
}

void TKyRDatasets::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ == 0 && pendingChange_) Changed();
}

void TKyRDatasets::Changed() {
  if (updateCount_ > 0) {
    pendingChange_ = true;
    return;
  }
  pendingChange_ = false;
  if (onChange_) onChange_();
}

bool TKyRDatasets::Refers(const TDataSet* dataset) const {
  return std::any_of(items_.begin(), items_.end(),
                     [dataset](const auto& item) { return item->dataset_ == dataset; });
}

// ---- TKyRDataManager ----

TKyRDataManager::TKyRDataManager(TComponent* owner) : TComponent(owner) {}

TKyRDataManager::~TKyRDataManager() {
  Destroying();
  datasets_.onChange_ = nullptr;
}

void TKyRDataManager::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  TUpdateScope update(datasets_);
  for (const auto& item : datasets_.items_)
    if (item->Dataset() == component) item->SetDataset(nullptr);
}

namespace {

void CollectOwned(TKyRDatasets& list, TDataSet* main, const TComponent& owner) {
  for (int i = 0; i < owner.ComponentCount(); ++i) {
    TComponent* component = owner.Components(i);
    if (component == main) {
      CollectOwned(list, main, *main);
    } else if (auto* dataset = dynamic_cast<TDataSet*>(component)) {
      list.Add()->SetDataset(dataset);
    }
  }
}

}  // namespace

void TKyRDataManager::CollectDatasets(TDataSet* main, TComponent* root) {
  TUpdateScope update(datasets_);
  datasets_.Clear();
  if (main) datasets_.Add()->SetDataset(main);
  if (root) CollectOwned(datasets_, main, *root);
}

}  // namespace hy
