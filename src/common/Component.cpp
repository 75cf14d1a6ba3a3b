#include "common/Component.h"

#include <algorithm>

#include "common/Exceptions.h"
#include "common/StrUtils.h"

namespace hy {

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying() {
  if (destroying_) return;
  destroying_ = true;
  // A receiver may remove itself (or others) from the list while being told.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& back = other->freeNotifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    TellRemoved(other);
  }
  if (owner_ && !owner_->destroying_) TellRemoved(owner_);
}

void TComponent::TellRemoved(TComponent* receiver) noexcept {
  // Runs inside a destructor: a receiver's failure must not end the program,
  // and this component goes regardless.
  try {
    receiver->Notification(this, opRemove);
  } catch (...) {
  }
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    delete last;  // its destructor removes it from components_
  }
}

void TComponent::SetName(std::string_view name) {
  if (name == name_) return;
  if (!name.empty() && owner_) {
    if (TComponent* same = owner_->FindComponent(name); same && same != this)
      throw EComponentError(Format("A component named %.*s already exists",
                                   static_cast<int>(name.size()), name.data()));
  }
  name_ = std::string(name);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw EListError(Format("List index out of bounds (%d)", index));
  return components_[index];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::FreeNotification(TComponent* other) {
  // A component on its way out can no longer be told, nor tell.
  if (!other || other == this || destroying_ || other->destroying_) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end()) {
    freeNotifies_.push_back(other);
    other->freeNotifies_.push_back(this);  // both ways: either may go first
  }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (!other) return;
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), other),
                      freeNotifies_.end());
  auto& back = other->freeNotifies_;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TComponent::Loaded() { loading_ = false; }

void TComponent::FinishLoading(TComponent* root) {
  // Copy: a Loaded() handler may create or free components; skip the freed.
  const std::vector<TComponent*> order = root->components_;
  for (TComponent* c : order) {
    const auto& now = root->components_;
    if (std::find(now.begin(), now.end(), c) != now.end()) c->Loaded();
  }
  root->Loaded();
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) {
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                        freeNotifies_.end());
  }
}

void TComponent::InsertComponent(TComponent* component) {
  component->owner_ = this;
  components_.push_back(component);
}

void TComponent::RemoveComponent(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component),
                    components_.end());
  component->owner_ = nullptr;
}

}  // namespace hy
