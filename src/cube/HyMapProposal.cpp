#include "cube/HyMapProposal.h"

#include <string>
#include <vector>

#include "cube/HyMap.h"
#include "platform/db/DataSet.h"

namespace hy {

namespace {

enum class TRole { Skip, Dimension, DateDimension, Sum };

TRole RoleOf(TFieldType type) {
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftBoolean: return TRole::Dimension;
    case ftDate:
    case ftDateTime:
    case ftTimeStamp: return TRole::DateDimension;
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd: return TRole::Sum;
    default: return TRole::Skip;  // counters, times, memos, blobs, unknown
  }
}

struct TProposed {
  std::string name;
  std::string field;
  TDimFlags type;
  TBinType bin;
};

}  // namespace

int ProposeDimensionMap(const TDataSet& dataSet, THyMap& map) {
  std::vector<TProposed> items;
  bool anySum = false;
  std::string firstDimensionField;
  for (int i = 0; i < dataSet.FieldCount(); ++i) {
    const TField& field = *dataSet.Fields(i);
    switch (RoleOf(field.DataType())) {
      case TRole::Dimension:
        items.push_back({field.FieldName(), field.FieldName(), dimDimension, binNone});
        break;
      case TRole::DateDimension:
        items.push_back({field.FieldName(), field.FieldName(), dimDimension, binMonth});
        break;
      case TRole::Sum:
        items.push_back({"Sum of " + field.FieldName(), field.FieldName(), dimSum, binNone});
        anySum = true;
        break;
      case TRole::Skip: break;
    }
    if (firstDimensionField.empty() && !items.empty() && items.back().type == dimDimension)
      firstDimensionField = items.back().field;
  }
  if (firstDimensionField.empty()) return 0;  // nothing to lay out on the axes
  if (!anySum) items.push_back({"Count", firstDimensionField, dimCount, binNone});

  map.BeginUpdate();
  map.Clear();
  for (const TProposed& p : items) {
    THyMapItem* item = map.Add();
    item->SetName(p.name);
    item->SetFieldName(p.field);
    item->SetDimensionType(p.type);
    item->SetBinType(p.bin);
  }
  map.EndUpdate();
  return static_cast<int>(items.size());
}

}  // namespace hy
