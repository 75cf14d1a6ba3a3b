// Highlights (a condition with a font and a background colour) and report
// variables with their calculation settings, kept in collections owned by
// the report component; and the highlight check of the grid report.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Component.h"
#include "common/Exceptions.h"
#include "common/ScopeGuard.h"
#include "common/Variant.h"
#include "platform/gdi/Colors.h"

namespace hy {

class TFont;
class TMetafileCanvas;
struct TRect;
struct TKyRExprContext;

// Update bracket and change notification shared by the report collections:
// changes between BeginUpdate and the outermost EndUpdate are reported once.
class TKyRCollection {
public:
  explicit TKyRCollection(TComponent* owner) : owner_(owner) {}
  TKyRCollection(const TKyRCollection&) = delete;
  TKyRCollection& operator=(const TKyRCollection&) = delete;

  TComponent* Owner() const { return owner_; }
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  void SetOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }
  void Changed();

private:
  TComponent* owner_;
  int updateCount_ = 0;
  bool pending_ = false;
  std::function<void()> onChange_;
};

// The owned items of one collection, read by index.
template <class Item>
class TKyRItems : public TKyRCollection {
public:
  using TKyRCollection::TKyRCollection;
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index out of range.
  Item* Items(int index) const {
    if (index < 0 || index >= Count())
      throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[static_cast<size_t>(index)].get();
  }
  Item* Add() {
    items_.push_back(std::unique_ptr<Item>(new Item(this)));
    Changed();
    return items_.back().get();
  }
  void Delete(int index) {
    Items(index);
    items_.erase(items_.begin() + index);
    Changed();
  }
  void Clear() {
    items_.clear();
    Changed();
  }
  // Replaces the items by copies of `source`'s, reported as one change.
  void Assign(const TKyRItems& source) {
    if (&source == this) return;
    TUpdateScope update(*this);
    items_.clear();
    for (const auto& item : source.items_) Add()->Assign(*item);
  }

private:
  std::vector<std::unique_ptr<Item>> items_;
};

class TKyRHighLight {
public:
  ~TKyRHighLight();

  const std::string& Expression() const { return expression_; }
  void SetExpression(const std::string& value);
  // Face "Arial" by default; setting it copies the font.
  const TFont& Font() const { return *font_; }
  void SetFont(const TFont& value);
  // White (the default) means the cell keeps its background.
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  // Expression, Font and Color, inside one update of the collection.
  void Assign(const TKyRHighLight& source);
  TKyRCollection& Collection() const { return *collection_; }

private:
  friend class TKyRItems<TKyRHighLight>;
  explicit TKyRHighLight(TKyRCollection* collection);

  TKyRCollection* collection_;
  std::string expression_;
  std::unique_ptr<TFont> font_;
  TColor color_ = clWhite;
};

using TKyRHighLights = TKyRItems<TKyRHighLight>;

enum TKyRResetType : uint8_t { rtEndReport, rtEndPage, rtEndGroup };
enum TKyRCalcType : uint8_t { ctNothing, ctCount, ctSum, ctAverage, ctLowest, ctHighest };
enum TKyRCalculateOn : uint8_t { rcOnEveryRow, rcGroupChange, rcVariableChange };

// Calculation settings of a variable; carried as data (no report of this
// system computes variables with them).
class TKyRCalculation {
public:
  const std::string& ResetGroup() const { return resetGroup_; }
  void SetResetGroup(const std::string& value) { resetGroup_ = value; }
  TKyRResetType ResetType() const { return resetType_; }
  void SetResetType(TKyRResetType value) { resetType_ = value; }
  TKyRCalcType CalcType() const { return calcType_; }
  void SetCalcType(TKyRCalcType value) { calcType_ = value; }
  TKyRCalculateOn Calculate() const { return calculate_; }
  void SetCalculate(TKyRCalculateOn value) { calculate_ = value; }
  const std::string& GroupChange() const { return groupChange_; }
  void SetGroupChange(const std::string& value) { groupChange_ = value; }
  const std::string& VariableChange() const { return variableChange_; }
  void SetVariableChange(const std::string& value) { variableChange_ = value; }
  void Assign(const TKyRCalculation& source) { *this = source; }
  friend bool operator==(const TKyRCalculation&, const TKyRCalculation&) = default;

private:
  std::string resetGroup_;
  TKyRResetType resetType_ = rtEndReport;
  TKyRCalcType calcType_ = ctNothing;
  TKyRCalculateOn calculate_ = rcOnEveryRow;
  std::string groupChange_;
  std::string variableChange_;
};

class TKyRVariable {
public:
  const std::string& Expression() const { return expression_; }
  void SetExpression(const std::string& value);
  const TKyRCalculation& Calculation() const { return calculation_; }
  void SetCalculation(const TKyRCalculation& value);  // copies
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);
  const Variant& PrevValue() const { return prevValue_; }
  void SetPrevValue(const Variant& value) { prevValue_ = value; }
  const Variant& CurValue() const { return curValue_; }
  void SetCurValue(const Variant& value) { curValue_ = value; }
  // The two values are written to a stored layout only when not Null.
  bool PrevValueStored() const { return !prevValue_.IsNull(); }
  bool CurValueStored() const { return !curValue_.IsNull(); }
  // Expression, Calculation and Name (not the values), inside one update.
  void Assign(const TKyRVariable& source);
  TKyRCollection& Collection() const { return *collection_; }

private:
  friend class TKyRItems<TKyRVariable>;
  explicit TKyRVariable(TKyRCollection* collection) : collection_(collection) {}

  TKyRCollection* collection_;
  std::string expression_;
  TKyRCalculation calculation_;
  std::string name_;
  Variant prevValue_ = Variant::Null();
  Variant curValue_ = Variant::Null();
};

class TKyRVariables : public TKyRItems<TKyRVariable> {
public:
  using TKyRItems::TKyRItems;
  // The first variable whose name equals `name` without regard to case, or none.
  TKyRVariable* Find(const std::string& name) const;
};

// The highlight check: the first highlight whose expression holds, or none.
// An expression that fails (unknown field, bad syntax, mismatching types)
// counts as not holding; nothing is reported and the next one is tried.
const TKyRHighLight* FindHoldingHighLight(const TKyRHighLights& highLights,
                                          const TKyRExprContext& context);

// Applies the holding highlight to a cell being drawn: the canvas takes its
// font, and unless its colour is white the cell is filled with the colour
// and the brush made clear so that the text goes over it. Returns whether a
// highlight held.
bool ApplyHighLights(TMetafileCanvas& canvas, const TRect& cell, const TKyRHighLights& highLights,
                     const TKyRExprContext& context);

}  // namespace hy
