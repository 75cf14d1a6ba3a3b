// The demo's stored design: the dimension map of the main window's cube.
#pragma once

namespace hy {

class THyMap;

// Customer (CustNo), SaleDate (by month, business year from 1 January
// 2004), Payment (PaymentMethod) and the sum of ItemsTotal as "Total", with
// the value counts the last build wrote back.
void SetDemoMap(THyMap& map);

}  // namespace hy
