// The dimension map: the cube's design. An ordered collection of items, each
// naming a dataset field (or an expression) and saying whether it becomes a
// dimension or a summary, how its values are grouped and shown. When the
// store opens, the map resolves its items against the dataset, plans which
// of them fit within the store's limits, and compiles derived summaries.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Alignment.h"
#include "common/Exceptions.h"
#include "common/Variant.h"

namespace hy {

class TCommonDataStore;
class TCommonDimItem;
class TCustomArray;
class TDataSet;
class TField;
class THyMap;
class TDimensionItem;

HY_DECLARE_EXCEPTION(EHyMapError, Exception);
HY_DECLARE_EXCEPTION(EHyMapWarn, Exception);

enum TActiveFlags { diActive, diAsNeeded, diInactive };
enum TBinType { binNone, binYear, binQuarter, binMonth, binWeek, binSet, binCustom };
enum TDimFlags { dimDimension, dimSum, dimCount, dimAverage, dimMin, dimMax, dimDerived };
enum TDimKind { dkDirect, dkLookup };

// Counters of the capacity plan, shared with derived-summary expressions,
// which activate the items they refer to. Cells is kept in 64 bits so that a
// product of large dimensions cannot wrap around and appear to fit.
struct TCapacityPlan {
  uint64_t Cells = 1;
  int32_t Dims = 0;
  int32_t Sums = 0;
  uint32_t MaxCells = 0;

  // Activates `item` when it fits; answers whether it is active afterwards.
  bool TryActivate(TDimensionItem& item);
};

// A compiled derived-summary expression as the map sees it. The expression
// language implements it; the map only owns it and asks it to plan.
class TMapExpression {
public:
  virtual ~TMapExpression() = default;
  // Activates every item the expression refers to; false when one cannot be.
  virtual bool ActivateItems(TCapacityPlan& plan) = 0;
};

// The name under which an item is known to the expression compiler.
class TMapSymbol {
public:
  virtual ~TMapSymbol() = default;
};

// Optional value set of an item: kept, copied and freed with it; the engine
// itself does not group by it.
class TBinData {
public:
  TBinData();
  ~TBinData();
  void Assign(const TBinData& source);

  std::vector<std::string> Strings;
  std::vector<std::unique_ptr<TCustomArray>> Arrays;
  std::string Caption = "Other Values";
};

class TDimensionItem {
public:
  using TTransformEvent = std::function<void(Variant& value, TDimensionItem& item)>;

  explicit TDimensionItem(THyMap* collection);
  virtual ~TDimensionItem();
  TDimensionItem(const TDimensionItem&) = delete;
  TDimensionItem& operator=(const TDimensionItem&) = delete;

  THyMap* Collection() const { return collection_; }
  int Index() const;

  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  TActiveFlags ActiveFlag() const { return activeFlag_; }
  void SetActiveFlag(TActiveFlags value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TBinData* BinData() const { return binData_.get(); }
  void SetBinData(std::unique_ptr<TBinData> value) { binData_ = std::move(value); }
  const std::string& BinFormat() const { return binFormat_; }
  TBinType BinType() const { return binType_; }
  void SetBinType(TBinType value);
  TCommonDimItem* CacheLink() const { return cacheLink_; }
  // Called by the cache object that takes this item as its map item.
  void SetCacheLink(TCommonDimItem* link) { cacheLink_ = link; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  TMapExpression* Expression() const { return expression_.get(); }
  void SetExpression(std::unique_ptr<TMapExpression> value) { expression_ = std::move(value); }
  TField* Field() const { return field_; }
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& value);
  TDimKind Kind() const { return kind_; }
  void SetKind(TDimKind value);
  const std::string& Format() const { return format_; }
  void SetFormat(const std::string& value);
  const std::string& KeyFields() const { return keyFields_; }
  void SetKeyFields(const std::string& value);
  TDataSet* LookupDataSet() const { return lookupDataSet_; }
  void SetLookupDataSet(TDataSet* value);
  const std::string& LookupResultField() const { return lookupResultField_; }
  void SetLookupResultField(const std::string& value);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);
  const std::string& SumExpr() const { return sumExpr_; }
  void SetSumExpr(const std::string& value);
  TDimFlags DimensionType() const { return dimensionType_; }
  void SetDimensionType(TDimFlags value);
  int32_t Width() const { return width_; }
  void SetWidth(int32_t value);
  int32_t Params() const { return params_; }
  void SetParams(int32_t value) { params_ = value; }
  TDateTime StartDate() const { return startDate_; }
  void SetStartDate(TDateTime value);
  const std::string& StartDateText() const { return startDateText_; }
  TMapSymbol* Symbol() const { return symbol_.get(); }
  void SetSymbol(std::unique_ptr<TMapSymbol> value) { symbol_ = std::move(value); }
  int32_t Tag() const { return tag_; }
  void SetTag(int32_t value) { tag_ = value; }
  const TTransformEvent& OnTransform() const { return onTransform_; }
  void SetOnTransform(TTransformEvent value) { onTransform_ = std::move(value); }
  uint32_t ValueCount() const { return valueCount_; }
  void SetValueCount(uint32_t value) { valueCount_ = value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  bool IsDimension() const { return dimensionType_ == dimDimension; }
  bool IsSummary() const { return dimensionType_ != dimDimension; }

  // Copies every property except what a build resolves (cache link, field,
  // compiled expression, symbol); the value set is copied into a new object.
  void Assign(const TDimensionItem& source);
  // What design tools list: the field name, "Sum(Field)", ..., the expression.
  std::string DisplayName() const;
  // The caption of one dimension value.
  std::string FormatValue(const Variant& value) const;
  // Applies the item's date grouping to one value.
  void TransformValue(Variant& value) const;

  // Resolution by the map (and nothing else).
  void SetField(TField* field) { field_ = field; }
  void DropResolved();

protected:
  // The collection item's default display name.
  virtual std::string DefaultDisplayName() const { return "TDimensionItem"; }
  void Changed();
  void Invalidate();

private:
  friend class THyMap;  // resolving fixes the grouping of non-date fields

  THyMap* collection_;
  bool active_ = true;
  TActiveFlags activeFlag_ = diAsNeeded;
  TAlignment alignment_ = taLeftJustify;
  std::unique_ptr<TBinData> binData_;
  std::string binFormat_;
  TBinType binType_ = binNone;
  TCommonDimItem* cacheLink_ = nullptr;
  std::string caption_;
  std::unique_ptr<TMapExpression> expression_;
  TField* field_ = nullptr;
  std::string fieldName_;
  TDimKind kind_ = dkDirect;
  std::string format_;
  std::string keyFields_;
  TDataSet* lookupDataSet_ = nullptr;
  std::string lookupResultField_;
  std::string name_;
  std::string sumExpr_;
  TDimFlags dimensionType_ = dimDimension;
  int32_t width_ = 10;
  int32_t params_ = 0;
  TDateTime startDate_ = 0;
  std::string startDateText_;
  std::unique_ptr<TMapSymbol> symbol_;
  int32_t tag_ = 0;
  TTransformEvent onTransform_;
  uint32_t valueCount_ = 0;
  bool visible_ = true;
};

// The item class every map uses.
class THyMapItem final : public TDimensionItem {
public:
  explicit THyMapItem(THyMap* collection) : TDimensionItem(collection) {}

protected:
  std::string DefaultDisplayName() const override { return "THyMapItem"; }
};

class THyMap {
public:
  explicit THyMap(TCommonDataStore* store);
  ~THyMap();
  THyMap(const THyMap&) = delete;
  THyMap& operator=(const THyMap&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  THyMapItem* Items(int index) const;
  THyMapItem* Add();
  void Delete(int index);
  void Clear();
  // The item with this Name (case-insensitive), or nullptr.
  THyMapItem* FindItem(const std::string& name) const;
  // Replaces the items by copies of `source`'s.
  void Assign(const THyMap& source);
  int IndexOf(const TDimensionItem* item) const;

  // Item changes are gathered while updating and reported once at the end.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  bool Active() const { return active_; }
  // True: resolve, plan capacity, compile; the map stays inactive when one
  // of them raises. False: drop everything resolved.
  void SetActive(bool value);
  bool Valid() const { return valid_; }

  TCommonDataStore* Store() const { return store_; }
  TDataSet* DataSet() const;

  // Called by an item whose property changed (`structural` clears Valid).
  void ItemChanged(bool structural);
  // Clears Valid without rebuilding: the next refresh or open resolves again.
  void MarkInvalid() { valid_ = false; }

private:
  void Resolve();
  void ResolveLookup(TDimensionItem& item);
  void PlanCapacity();
  // Compiles the derived summaries' expressions into the items (the
  // expression language's part of resolving).
  void CompileExpressions();
  void Update();
  void Notify();

  TCommonDataStore* store_;
  std::vector<std::unique_ptr<THyMapItem>> items_;
  bool active_ = false;
  bool valid_ = true;
  int updateCount_ = 0;
  bool changedWhileUpdating_ = false;
};

}  // namespace hy
