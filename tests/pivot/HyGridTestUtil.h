// A small sales cube with a decision source, shared by the grid model tests
// and the grid widget tests. Region and Product lie on the rows, Year on the
// columns; Amount is summed.
//
//   East A 2020 10    East B 2020 20    East A 2021 5
//   West A 2020 7     West C 2021 3
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HyDBTestUtil.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "pivot/HyGrid.h"
#include "support/MapItems.h"
#include "support/TestDatabase.h"

namespace hy::test {

inline constexpr char kSalesState[] =
    "(1 0 1 0 -1 'Region' 1 1 1 1 -1 'Product' 2 0 1 0 -1 'Year')";

// Every character 8 pixels wide: "W0" gives 8 pixels per map width unit.
inline int32_t FixedWidthMeasure(const TFont&, const std::string& text) {
  return 8 * static_cast<int32_t>(text.size());
}

class SalesCube {
public:
  SalesCube() {
    db.Exec(
        "CREATE TABLE sales (Region VARCHAR(10), Product VARCHAR(10), Yr INTEGER, Amount REAL);"
        "INSERT INTO sales VALUES ('East', 'A', 2020, 10), ('East', 'B', 2020, 20),"
        " ('East', 'A', 2021, 5), ('West', 'A', 2020, 7), ('West', 'C', 2021, 3);");
    table = db.Table("sales", &owner).release();
    cube = new THyCube(&owner);
    cube->SetShowProgressDialog(false);
    cube->SetDataSet(table);
    AddItem("Region", "Region", dimDimension);
    AddItem("Product", "Product", dimDimension);
    AddItem("Year", "Yr", dimDimension);
    AddItem("Amount", "Amount", dimSum);
    source = new THySource(&owner);
    source->SetDecisionCube(cube);
  }

  THyMapItem* AddItem(const std::string& name, const std::string& field, TDimFlags type) {
    return test::AddMapItem(cube->DimensionMap(), name, field, type);
  }

  // Applies a stored pivot state and opens the cube.
  void Open(const std::string& state = kSalesState) {
    source->BeginLoading();
    source->SetDimensionCount(3);
    source->SetSummaryCount(1);
    source->SetCurrentSummary(0);
    source->SetDimensionInfo(state);
    source->Loaded();
    cube->SetActive(true);
  }

  test::TestDatabase db;
  TComponent owner;  // frees the source, the cube and the table
  TTable* table = nullptr;
  THyCube* cube = nullptr;
  THySource* source = nullptr;
};

// The whole grid as the report sees it: CellText of every cell, by grid row.
inline std::vector<std::vector<std::string>> GridMatrix(const TCustomHyGrid& grid) {
  std::vector<std::vector<std::string>> rows;
  for (int32_t r = 0; r < grid.RowCount(); ++r) {
    std::vector<std::string> row;
    for (int32_t c = 0; c < grid.ColCount(); ++c)
      row.push_back(grid.CellText(c - grid.FixedCols(), r - grid.FixedRows()));
    rows.push_back(std::move(row));
  }
  return rows;
}

// "rows | cols", e.g. "Region+ Product+ | Year+".
inline std::string Pivot(const THySource& source) {
  return Describe(source.AxisList(TDimAxis::Rows)) + " | " +
         Describe(source.AxisList(TDimAxis::Cols));
}

}  // namespace hy::test
