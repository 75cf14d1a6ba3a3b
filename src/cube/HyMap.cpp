#include "cube/HyMap.h"

#include <algorithm>

#include "common/Format.h"
#include "common/StrUtils.h"
#include "cube/HyArrays.h"
#include "cube/HyCommon.h"
#include "cube/HyStore.h"
#include "platform/db/DataSet.h"

namespace hy {

namespace {

constexpr const char* kUnit = "HyMap";

const char* BinDisplayFormat(TBinType type) {
  switch (type) {
    case binYear: return "yyyy";
    case binQuarter: return "\"Q.\"m, yyyy";
    case binMonth: return "mmm, yyyy";
    case binWeek: return "ddd dd.mm.yy";
    case binCustom: return "dd.mm.yy";
    default: return "";
  }
}

// Saturates instead of wrapping, so an enormous product never looks small.
uint64_t SatMul(uint64_t a, uint64_t b) {
  return (a != 0 && b > UINT64_MAX / a) ? UINT64_MAX : a * b;
}

bool IsDateType(TFieldType type) {
  return type == ftDate || type == ftDateTime || type == ftTimeStamp;
}

}  // namespace

// ---------------------------------------------------------------- TBinData

TBinData::TBinData() = default;
TBinData::~TBinData() = default;

void TBinData::Assign(const TBinData& source) {
  if (&source == this) return;
  Strings = source.Strings;
  Caption = source.Caption;
  Arrays.clear();
  for (const auto& array : source.Arrays) {
    auto copy = std::make_unique<TCustomArray>(0, array->VarType());
    copy->Assign(*array, array->Items().SortOrder() == saDescending,
                 array->Items().Duplicates() == dpIgnore);
    Arrays.push_back(std::move(copy));
  }
}

// ---------------------------------------------------------- TDimensionItem

TDimensionItem::TDimensionItem(THyMap* collection) : collection_(collection) {}

TDimensionItem::~TDimensionItem() {
  if (cacheLink_) cacheLink_->mapItem_ = nullptr;
}

int TDimensionItem::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

void TDimensionItem::Changed() {
  if (collection_) collection_->ItemChanged(false);
}

void TDimensionItem::Invalidate() {
  if (collection_) collection_->ItemChanged(true);
}

void TDimensionItem::SetActiveFlag(TActiveFlags value) {
  activeFlag_ = value;
  Invalidate();
}

void TDimensionItem::SetAlignment(TAlignment value) {
  alignment_ = value;
  Changed();
}

void TDimensionItem::SetBinType(TBinType value) {
  if (value == binSet) throw EHyMapError("binSet not implemented");
  binType_ = value;
  binFormat_ = BinDisplayFormat(value);
  Invalidate();
}

void TDimensionItem::SetCaption(const std::string& value) {
  caption_ = value;
  Changed();
}

void TDimensionItem::SetFieldName(const std::string& value) {
  if (dimensionType_ != dimDerived && collection_) {
    TDataSet* dataSet = collection_->DataSet();
    if (dataSet && dataSet->Active()) dataSet->FieldByName(value);  // raises when absent
  }
  fieldName_ = value;
  Invalidate();
}

void TDimensionItem::SetKind(TDimKind value) {
  if (dimensionType_ != dimDimension)
    throw EHyMapError(hy::Format("%s: DimensionType dimDimension required", fieldName_.c_str()));
  kind_ = value;
  Invalidate();
}

void TDimensionItem::SetFormat(const std::string& value) {
  format_ = value;
  Changed();
}

void TDimensionItem::SetKeyFields(const std::string& value) {
  keyFields_ = value;
  Invalidate();
}

void TDimensionItem::SetLookupDataSet(TDataSet* value) {
  // The lookup table going away (its free notification) only clears the
  // reference: a teardown must never rebuild, and a rebuild here would raise
  // "Lookup info incomplete" inside a destructor. The next open reports it.
  if (!value && lookupDataSet_ && lookupDataSet_->IsDestroying()) {
    lookupDataSet_ = nullptr;
    if (collection_) collection_->MarkInvalid();
    return;
  }
  lookupDataSet_ = value;
  if (value && collection_ && collection_->Store()) value->FreeNotification(collection_->Store());
  Invalidate();
}

void TDimensionItem::SetLookupResultField(const std::string& value) {
  lookupResultField_ = value;
  Invalidate();
}

void TDimensionItem::SetName(const std::string& value) {
  if (collection_ && collection_->Active()) throw EHyMapError("DataStore in Active State");
  name_ = value;
  Changed();
}

void TDimensionItem::SetSumExpr(const std::string& value) {
  std::string text = Trim(value);
  if (!text.empty() && dimensionType_ != dimDerived) throw EHyMapError("Invalid Summary Type");
  sumExpr_ = std::move(text);
  Changed();
}

void TDimensionItem::SetDimensionType(TDimFlags value) {
  dimensionType_ = value;
  kind_ = dkDirect;
  lookupDataSet_ = nullptr;
  lookupResultField_.clear();
  keyFields_.clear();
  Invalidate();
}

void TDimensionItem::SetWidth(int32_t value) {
  width_ = value;
  Changed();
}

void TDimensionItem::SetStartDate(TDateTime value) {
  if (value == startDate_) return;
  startDate_ = value;
  if (value != 0) startDateText_ = DateToStr(value);
}

void TDimensionItem::SetVisible(bool value) {
  visible_ = value;
  Changed();
}

void TDimensionItem::Assign(const TDimensionItem& source) {
  if (&source == this) return;
  active_ = source.active_;
  activeFlag_ = source.activeFlag_;
  alignment_ = source.alignment_;
  if (source.binData_) {
    binData_ = std::make_unique<TBinData>();
    binData_->Assign(*source.binData_);
  } else {
    binData_.reset();
  }
  binFormat_ = source.binFormat_;
  binType_ = source.binType_;
  caption_ = source.caption_;
  fieldName_ = source.fieldName_;
  kind_ = source.kind_;
  format_ = source.format_;
  keyFields_ = source.keyFields_;
  lookupDataSet_ = source.lookupDataSet_;
  lookupResultField_ = source.lookupResultField_;
  name_ = source.name_;
  sumExpr_ = source.sumExpr_;
  dimensionType_ = source.dimensionType_;
  width_ = source.width_;
  params_ = source.params_;
  startDate_ = source.startDate_;
  startDateText_ = source.startDateText_;
  tag_ = source.tag_;
  onTransform_ = source.onTransform_;
  valueCount_ = source.valueCount_;
  visible_ = source.visible_;
  Invalidate();
}

std::string TDimensionItem::DisplayName() const {
  std::string text;
  switch (dimensionType_) {
    case dimDimension: text = fieldName_; break;
    case dimSum: text = "Sum(" + fieldName_ + ")"; break;
    case dimCount: text = "Count(" + fieldName_ + ")"; break;
    case dimAverage: text = "Avg(" + fieldName_ + ")"; break;
    case dimMin: text = "Min(" + fieldName_ + ")"; break;
    case dimMax: text = "Max(" + fieldName_ + ")"; break;
    case dimDerived: text = sumExpr_; break;
  }
  return text.empty() ? DefaultDisplayName() : text;
}

std::string TDimensionItem::FormatValue(const Variant& value) const {
  if (!binFormat_.empty()) return FormatDateTime(binFormat_, value.AsDate());
  if (value.IsNull() || value.IsEmpty()) return value.ToText();
  const TFieldType type = field_ ? field_->DataType() : ftUnknown;
  const int precision = field_ ? field_->Precision() : 15;
  if (type == ftBoolean) return value.AsBoolean() ? "True" : "False";
  if (format_.empty()) {
    switch (type) {
      case ftFloat: return FloatToStrF(value.AsDouble(), ffGeneral, precision, 2);
      case ftCurrency: return FloatToStrF(value.AsDouble(), ffCurrency, precision, 2);
      case ftDate: return DateToStr(value.AsDate());
      case ftTime: return TimeToStr(value.AsDate());
      case ftDateTime:
      case ftTimeStamp: return DateTimeToStr(value.AsDate());
      default: return value.ToText();
    }
  }
  switch (type) {
    case ftFloat:
    case ftCurrency: return FormatFloat(format_, value.AsDouble());
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: return FormatDateTime(format_, value.AsDate());
    default: return value.ToText();
  }
}

void TDimensionItem::TransformValue(Variant& value) const {
  if (value.VarType() != varDate) return;
  if (binType_ == binCustom) {
    if (onTransform_) onTransform_(value, const_cast<TDimensionItem&>(*this));
    return;
  }
  if (binType_ != binYear && binType_ != binQuarter && binType_ != binMonth && binType_ != binWeek)
    return;

  const TDateTime v = value.AsDate();
  int startY = 0, startM = 0, startD = 0;
  bool shifted = false;
  if (startDate_ != 0) {
    DecodeDate(startDate_, startY, startM, startD);
    shifted = !(startM == 1 && startD == 1);
  }
  int y, m, d;
  DecodeDate(v, y, m, d);
  const bool inNextYear = shifted && (m > startM || (m == startM && d >= startD));
  TDateTime result = v;
  switch (binType_) {
    case binYear: result = EncodeDate(inNextYear ? y + 1 : y, 1, 1); break;
    case binMonth: result = EncodeDate(inNextYear ? y + 1 : y, m, 1); break;
    case binQuarter: result = EncodeDate(y, 3 * ((m - 1) / 3) + 1, 1); break;
    case binWeek: {
      int wy, w, wd, sy, sw, swd;
      DecodeDateWeek(v, wy, w, wd);
      if (shifted) {
        DecodeDateWeek(startDate_, sy, sw, swd);
        if (w > sw || (w == sw && wd >= swd)) ++wy;
      }
      // Week 53 does not exist in every year; the last week stands for it.
      result = EncodeDateWeek(wy, std::min(w, WeeksInYear(wy)), 1);
      break;
    }
    default: break;
  }
  value = Variant::Date(result);
}

void TDimensionItem::DropResolved() {
  field_ = nullptr;
  expression_.reset();
  symbol_.reset();
}

// ----------------------------------------------------------- TCapacityPlan

bool TCapacityPlan::TryActivate(TDimensionItem& item) {
  if (item.Active()) return true;
  // "Never activate" holds also when a derived summary asks for the item.
  if (item.ActiveFlag() == diInactive) return false;
  const uint64_t sums = static_cast<uint64_t>(std::max(Sums, 0));
  switch (item.DimensionType()) {
    case dimDimension: {
      if (!item.Field()) return false;
      const uint64_t n = item.ValueCount() ? item.ValueCount() : 50;
      if (SatMul(SatMul(Cells, n), sums) > MaxCells) return false;
      item.SetActive(true);
      Cells = SatMul(Cells, n);
      ++Dims;
      return true;
    }
    case dimSum:
    case dimCount:
    case dimAverage:
    case dimMin:
    case dimMax:
      if (!item.Field()) return false;
      if (SatMul(Cells, sums + 1) > MaxCells) return false;
      item.SetActive(true);
      ++Sums;
      return true;
    case dimDerived:
      if (!item.Expression() || !item.Expression()->ActivateItems(*this)) return false;
      if (SatMul(Cells, static_cast<uint64_t>(std::max(Sums, 0)) + 1) > MaxCells) return false;
      item.SetActive(true);
      return true;
  }
  HyAssert(false, kUnit, "Unknown Dimension Type");
  return false;
}

// ------------------------------------------------------------------- THyMap

THyMap::THyMap(TCommonDataStore* store) : store_(store) {}

THyMap::~THyMap() {
  ++updateCount_;  // no change reports while the items go
  items_.clear();
}

THyMapItem* THyMap::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EListError(hy::Format("List index out of bounds (%d)", index));
  return items_[index].get();
}

THyMapItem* THyMap::Add() {
  items_.push_back(std::make_unique<THyMapItem>(this));
  Notify();
  return items_.back().get();
}

void THyMap::Delete(int index) {
  Items(index);  // range check
  items_.erase(items_.begin() + index);
  Notify();
}

void THyMap::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  items_.clear();
  valid_ = false;
  changedWhileUpdating_ = true;
  EndUpdate();
}

THyMapItem* THyMap::FindItem(const std::string& name) const {
  for (const auto& item : items_)
    if (!item->Name().empty() && SameText(item->Name(), name)) return item.get();
  return nullptr;
}

void THyMap::Assign(const THyMap& source) {
  if (&source == this) return;
  BeginUpdate();
  items_.clear();
  for (const auto& item : source.items_) {
    items_.push_back(std::make_unique<THyMapItem>(this));
    items_.back()->Assign(*item);
  }
  valid_ = false;
  changedWhileUpdating_ = true;
  EndUpdate();
}

int THyMap::IndexOf(const TDimensionItem* item) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i].get() == item) return i;
  return -1;
}

void THyMap::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0 && changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    Update();
  }
}

TDataSet* THyMap::DataSet() const { return store_ ? store_->GetDataSet() : nullptr; }

void THyMap::ItemChanged(bool structural) {
  if (structural) valid_ = false;
  if (updateCount_ > 0) {
    changedWhileUpdating_ = true;
    return;
  }
  Update();
}

void THyMap::Notify() {
  valid_ = false;
  ItemChanged(true);
}

void THyMap::Update() {
  if (!store_ || !active_ || store_->IsDestroying()) return;
  store_->Refresh(!valid_);
  valid_ = true;
}

void THyMap::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    Resolve();
    PlanCapacity();
    valid_ = true;
    active_ = true;
  } else {
    for (auto& item : items_) item->DropResolved();
    active_ = false;
  }
}

void THyMap::Resolve() {
  TDataSet* dataSet = DataSet();
  HyAssert(dataSet != nullptr, kUnit, "DataSet not assigned");
  HyAssert(dataSet->Active(), kUnit, "DataSet not Active***");

  int dims = 0, sums = 0;
  for (auto& item : items_) {
    switch (item->DimensionType()) {
      case dimDimension: {
        TField* field = dataSet->FindField(item->FieldName());
        item->SetField(field);
        ++dims;
        if (!field) break;
        if (!IsDateType(field->DataType())) {
          item->binType_ = binNone;
          item->binFormat_.clear();
        } else if (item->StartDate() == 0) {
          int y, m, d;
          DecodeDate(Today(), y, m, d);
          item->SetStartDate(EncodeDate(y, 1, 1));
        }
        if (item->Kind() == dkLookup) ResolveLookup(*item);
        break;
      }
      case dimDerived: break;
      default:
        item->SetField(dataSet->FindField(item->FieldName()));
        ++sums;
        break;
    }
  }
  if (dims == 0) throw EHyMapError("No dimension fields are defined. ");
  if (sums == 0) throw EHyMapError("No summaries are defined. ");
  CompileExpressions();
}

void THyMap::ResolveLookup(TDimensionItem& item) {
  if (item.KeyFields().empty() || !item.LookupDataSet() || item.LookupResultField().empty())
    throw EHyMapError(hy::Format("%s: Lookup info incomplete", item.FieldName().c_str()));
  TDataSet* lookup = item.LookupDataSet();
  lookup->Open();
  if (!lookup->FindField(item.KeyFields()))
    throw EHyMapError(hy::Format("%s: Lookup Key \"%s\" not found", item.Name().c_str(),
                                 item.KeyFields().c_str()));
  if (!lookup->FindField(item.LookupResultField()))
    throw EHyMapError(hy::Format("%s: Lookup Result \"%s\" not Found", item.Name().c_str(),
                                 item.LookupResultField().c_str()));
}

void THyMap::PlanCapacity() {
  std::vector<bool> wasActive(items_.size());
  for (size_t i = 0; i < items_.size(); ++i) {
    wasActive[i] = items_[i]->Active();
    items_[i]->SetActive(false);
  }
  TCapacityPlan plan;
  plan.MaxCells = store_->MaxCells();

  auto pass = [&](auto wanted) {
    for (size_t i = 0; i < items_.size(); ++i)
      if (wanted(*items_[i], wasActive[i])) plan.TryActivate(*items_[i]);
  };
  pass([](const TDimensionItem& it, bool) { return it.ActiveFlag() == diActive; });
  pass([](const TDimensionItem& it, bool was) {
    return it.ActiveFlag() == diAsNeeded && it.IsSummary() && was;
  });
  pass([](const TDimensionItem& it, bool was) {
    return it.ActiveFlag() == diAsNeeded && it.IsDimension() && was;
  });
  pass([](const TDimensionItem& it, bool was) {
    return it.ActiveFlag() == diAsNeeded && it.IsSummary() && !was;
  });
  pass([](const TDimensionItem& it, bool was) {
    return it.ActiveFlag() == diAsNeeded && it.IsDimension() && !was;
  });

  if (plan.Sums == 0) throw EHyMapError("Not enough room available to load a summary. ");
  if (plan.Dims == 0) throw EHyMapError("Not enough space available to load a dimension. ");
  if (plan.Dims > store_->MaxDimensions())
    throw EHyMapError(hy::Format("The maximum allowed dimensions of %d has been exceeded.",
                                 store_->MaxDimensions()));
  if (plan.Sums > store_->MaxSummaries())
    throw EHyMapError(hy::Format("The maximum allowed summaries of %d has been exceeded.",
                                 store_->MaxSummaries()));
  const uint64_t total = SatMul(plan.Cells, static_cast<uint64_t>(plan.Sums));
  if (total > plan.MaxCells)
    throw EHyMapError(hy::Format("Total cell count of %llu exceeds the maximum of %u.",
                                 static_cast<unsigned long long>(total), plan.MaxCells));
  if (DataSet()->IsEmpty())
    throw EHyMapWarn("Cannot build the Decision Cube with an empty data set");
}

}  // namespace hy
