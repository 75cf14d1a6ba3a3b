// The demo's stored design: the dimension map of the main window's cube and
// the stored properties of its decision source.
#pragma once

namespace hy {

class THyMap;
class THySource;
class TKyPrintHyCube;

// Customer (CustNo), SaleDate (by month, business year from 1 January
// 2004), Payment (PaymentMethod) and the sum of ItemsTotal as "Total", with
// the value counts the last build wrote back.
void SetDemoMap(THyMap& map);

// The decision source's stored pivot state: Customer open on the columns,
// SaleDate and Payment open on the rows.
extern const char kDemoDimensionInfo[];

// The stored properties of HySource1 (the cube link is the window's part);
// the source must be loading.
void SetDemoSource(THySource& source);

// The stored properties of the report component KyPrintHyCube1 but its
// grid link: header with the date, footer "page #N/SheetB" at the right, no
// margins, a 793 x 1122 page.
void SetDemoReport(TKyPrintHyCube& report);

}  // namespace hy
