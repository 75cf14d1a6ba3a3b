// The pivot quick menu: the entries the grid puts up at a right click, the
// context of the click they act on, and the code of the entry chosen. The
// menu is plain data; a presenter (the widget side) shows it and reports
// the entry the user picks through EntryClicked.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Component.h"

namespace hy {

class TQuickMenu;

class TQuickMenuItem {
public:
  enum TCheckKind : uint8_t { ckChecked = 0, ckRadioChecked = 1, ckPlain = 2 };

  TQuickMenuItem(std::string caption, TCheckKind checkKind, int32_t code)
      : caption_(std::move(caption)), checkKind_(checkKind), code_(code) {}

  const std::string& Caption() const { return caption_; }
  TCheckKind CheckKind() const { return checkKind_; }
  bool Checked() const { return checkKind_ != ckPlain; }
  bool RadioItem() const { return checkKind_ == ckRadioChecked; }
  bool IsSeparator() const { return caption_ == "-"; }
  bool Enabled() const { return enabled_; }
  int32_t Code() const { return code_; }

private:
  std::string caption_;
  TCheckKind checkKind_;
  int32_t code_;
  bool enabled_ = true;
};

class TQuickMenu : public TComponent {
public:
  using TChooseEvent = std::function<void(TQuickMenu& sender)>;
  // Shows the menu at a point of the control's client area; set by the
  // widget that presents the menu. The control is opaque to the model.
  using TPopupHandler = std::function<void(TQuickMenu& menu, void* control, int32_t x, int32_t y)>;

  // Command codes of the grid's entries.
  static constexpr int32_t kSeparatorCode = -1;
  static constexpr int32_t kDimensionCode = 100;  // + dimension index
  static constexpr int32_t kSummaryCode = 200;    // + summary index

  explicit TQuickMenu(TComponent* owner = nullptr);
  ~TQuickMenu() override;

  void Clear();
  void RemoveLast();
  TQuickMenuItem& AddEntry(const std::string& caption, int32_t checkKind, int32_t code);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TQuickMenuItem& Items(int32_t index) const;
  // The entry with the caption, or nullptr.
  const TQuickMenuItem* FindEntry(const std::string& caption) const;
  std::vector<std::string> Captions() const;

  // Calls the popup handler (nothing happens without one).
  void PopupAt(void* control, int32_t x, int32_t y);
  // The user chose `item` (an entry of this menu; others are ignored).
  void EntryClicked(const TQuickMenuItem& item);
  // The same by position, for presenters that track indexes.
  void EntryClickedAt(int32_t index);

  const TChooseEvent& OnChoose() const { return onChoose_; }
  void SetOnChoose(TChooseEvent handler) { onChoose_ = std::move(handler); }
  void SetOnPopup(TPopupHandler handler) { onPopup_ = std::move(handler); }

  int32_t SelectedCode() const { return selectedCode_; }
  // Context of the click the entries act on.
  uint8_t Axis() const { return axis_; }
  void SetAxis(uint8_t axis) { axis_ = axis; }
  bool GroupStart() const { return groupStart_; }
  void SetGroupStart(bool value) { groupStart_ = value; }
  int32_t Level() const { return level_; }
  void SetLevel(int32_t level) { level_ = level; }
  int32_t Pos() const { return pos_; }
  void SetPos(int32_t pos) { pos_ = pos; }
  int32_t ValueIndex() const { return valueIndex_; }
  void SetValueIndex(int32_t value) { valueIndex_ = value; }

private:
  std::vector<std::unique_ptr<TQuickMenuItem>> items_;
  TChooseEvent onChoose_;
  TPopupHandler onPopup_;
  int32_t selectedCode_ = -1;
  uint8_t axis_ = 0;
  bool groupStart_ = false;
  int32_t level_ = 0;
  int32_t pos_ = 0;
  int32_t valueIndex_ = -1;
};

}  // namespace hy
