#include "pivot/HyButton.h"

#include "common/Exceptions.h"

namespace hy {

TQuickMenu::TQuickMenu(TComponent* owner) : TComponent(owner) {}

TQuickMenu::~TQuickMenu() { Destroying(); }

void TQuickMenu::Clear() { items_.clear(); }

void TQuickMenu::RemoveLast() {
  if (!items_.empty()) items_.pop_back();
}

TQuickMenuItem& TQuickMenu::AddEntry(const std::string& caption, int32_t checkKind, int32_t code) {
  const auto kind = checkKind == 0   ? TQuickMenuItem::ckChecked
                    : checkKind == 1 ? TQuickMenuItem::ckRadioChecked
                                     : TQuickMenuItem::ckPlain;
  items_.push_back(std::make_unique<TQuickMenuItem>(caption, kind, code));
  return *items_.back();
}

const TQuickMenuItem& TQuickMenu::Items(int32_t index) const {
  HyAssert(index >= 0 && index < Count(), "HyButton", "menu entry index");
  return *items_[index];
}

const TQuickMenuItem* TQuickMenu::FindEntry(const std::string& caption) const {
  for (const auto& item : items_)
    if (item->Caption() == caption) return item.get();
  return nullptr;
}

std::vector<std::string> TQuickMenu::Captions() const {
  std::vector<std::string> out;
  out.reserve(items_.size());
  for (const auto& item : items_) out.push_back(item->Caption());
  return out;
}

void TQuickMenu::PopupAt(void* control, int32_t x, int32_t y) {
  if (onPopup_) onPopup_(*this, control, x, y);
}

void TQuickMenu::EntryClicked(const TQuickMenuItem& item) {
  for (const auto& entry : items_) {
    if (entry.get() != &item) continue;
    selectedCode_ = item.Code();
    // The handler may clear the menu; keep nothing of the entry past here.
    if (selectedCode_ >= 0 && onChoose_) {
      TChooseEvent handler = onChoose_;
      handler(*this);
    }
    return;
  }
}

void TQuickMenu::EntryClickedAt(int32_t index) {
  if (index >= 0 && index < Count()) EntryClicked(*items_[index]);
}

}  // namespace hy
