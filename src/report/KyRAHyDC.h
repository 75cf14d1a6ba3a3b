// The report of a cross-tab grid: answers the grid generator's cell queries
// from the grid model. The grid's whole cell matrix becomes the report's,
// its fixed rows and columns the repeated title rows and columns; rows and
// columns the grid hides (no height or width) are not printed.
#pragma once

#include <cstdint>
#include <string>

#include "pivot/HyGrid.h"
#include "report/KyRAuto.h"

namespace hy {

class TKyPrintHyCube : public TKyPrintCustomGrid {
public:
  explicit TKyPrintHyCube(TComponent* owner = nullptr);
  ~TKyPrintHyCube() override;

  TCustomHyGrid* DecisionGrid() const { return grid_; }
  void SetDecisionGrid(TCustomHyGrid* grid);

  void BuildReport() override;
  bool DrawHorzLines() override;
  bool DrawVertLines() override;
  void CheckSource() override;
  int32_t GetColCount() override;
  int32_t GetRowCount() override;
  int32_t GetFixedColCount() override;
  int32_t GetFixedRowCount() override;
  void GetCellText(int32_t col, int32_t row, std::string& text) override;
  TAlignment GetCellAlignment(int32_t col, int32_t row) override;
  const TFont& GetCellFont(int32_t col, int32_t row) override;
  bool RowHidden(int32_t row) override;
  void BuildColumns() override;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  // The grid's answer for one cell, kept for the next query of the same cell
  // (text and alignment are asked one after the other).
  const std::string& QueryCell(int32_t col, int32_t row);

  TCustomHyGrid* grid_ = nullptr;
  int32_t cachedCol_ = -1, cachedRow_ = -1;
  TPivotDrawState cachedState_;
  std::string cachedText_;
  bool cachedInGrid_ = false;
};

}  // namespace hy
