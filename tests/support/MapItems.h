// Adding an item to a dimension map the way the tests' cubes are set up.
#pragma once

#include <string>

#include "cube/HyMap.h"

namespace hy::test {

// Name first: the field name is checked at once when the dataset is open.
inline THyMapItem* AddMapItem(THyMap& map, const std::string& name, const std::string& field,
                              TDimFlags type) {
  THyMapItem* item = map.Add();
  item->SetName(name);
  item->SetDimensionType(type);
  item->SetFieldName(field);
  return item;
}

}  // namespace hy::test
