#include "report/KyRAHyDC.h"

#include "common/Exceptions.h"
#include "report/KyRDMan.h"
#include "report/KyRPars.h"

namespace hy {

TKyPrintHyCube::TKyPrintHyCube(TComponent* owner) : TKyPrintCustomGrid(owner) {}

TKyPrintHyCube::~TKyPrintHyCube() {
  Destroying();
  if (grid_) grid_->RemoveFreeNotification(this);
}

void TKyPrintHyCube::SetDecisionGrid(TCustomHyGrid* grid) {
  if (grid == grid_) return;
  if (grid_) grid_->RemoveFreeNotification(this);
  grid_ = grid;
  if (grid_) grid_->FreeNotification(this);
  cachedCol_ = cachedRow_ = -1;
}

void TKyPrintHyCube::Notification(TComponent* component, TOperation operation) {
  TKyPrintCustomGrid::Notification(component, operation);
  if (operation == opRemove && component == grid_) {
    grid_ = nullptr;
    cachedCol_ = cachedRow_ = -1;
  }
}

void TKyPrintHyCube::BuildReport() {
  cachedCol_ = cachedRow_ = -1;
  TKyPrintCustomGrid::BuildReport();
}

bool TKyPrintHyCube::DrawHorzLines() { return grid_ && grid_->HasOption(cgGridLines); }
bool TKyPrintHyCube::DrawVertLines() { return grid_ && grid_->HasOption(cgGridLines); }

void TKyPrintHyCube::CheckSource() {
  if (grid_) return;
  std::string message = LoadString(Language().EffectiveLanguage(), kStrPropertyMissing);
  const size_t at = message.find("%s");
  if (at != std::string::npos) message.replace(at, 2, "DecisionGrid");
  throw Exception(message);
}

int32_t TKyPrintHyCube::GetColCount() { return grid_ ? grid_->ColCount() : 0; }
int32_t TKyPrintHyCube::GetRowCount() { return grid_ ? grid_->RowCount() : 0; }
int32_t TKyPrintHyCube::GetFixedColCount() {
  return grid_ && Style().FixedCols() ? grid_->FixedCols() : 0;
}
int32_t TKyPrintHyCube::GetFixedRowCount() {
  return grid_ && Style().FixedRows() ? grid_->FixedRows() : 0;
}

const std::string& TKyPrintHyCube::QueryCell(int32_t col, int32_t row) {
  if (col != cachedCol_ || row != cachedRow_) {
    cachedInGrid_ = grid_->CellQuery(col - grid_->FixedCols(), row - grid_->FixedRows(),
                                     cachedState_, cachedText_);
    if (!cachedInGrid_) cachedText_ = "[Error]";
    cachedCol_ = col;
    cachedRow_ = row;
  }
  return cachedText_;
}

void TKyPrintHyCube::GetCellText(int32_t col, int32_t row, std::string& text) {
  if (!grid_) {
    text.clear();
    return;
  }
  text = QueryCell(col, row);
}

TAlignment TKyPrintHyCube::GetCellAlignment(int32_t col, int32_t row) {
  const TAlignment fallback = TKyPrintCustomGrid::GetCellAlignment(col, row);
  if (!grid_ || grid_->Dimensions().Count() == 0 || !grid_->DecisionSource()) return fallback;
  QueryCell(col, row);
  if (!cachedInGrid_) return fallback;
  const int32_t x = col - grid_->FixedCols(), y = row - grid_->FixedRows();
  const TDisplayDim* dim = nullptr;
  if (cachedState_.Has(dsRowValue)) {
    dim = grid_->DisplayDimOf(grid_->DimAtLevel(TDimAxis::Rows, x + grid_->RowLevels()));
  } else if (cachedState_.Has(dsColValue)) {
    dim = grid_->DisplayDimOf(grid_->DimAtLevel(TDimAxis::Cols, y + grid_->ColLevels()));
  } else if (cachedState_.Has(dsRowCaption) || cachedState_.Has(dsColCaption)) {
    return taCenter;
  } else {
    dim = grid_->SummaryDisplayDim();
  }
  return dim ? dim->Alignment() : fallback;
}

const TFont& TKyPrintHyCube::GetCellFont(int32_t col, int32_t row) {
  if (!grid_) return TKyPrintCustomGrid::GetCellFont(col, row);
  const TCustomHyGrid& grid = *grid_;
  return col >= grid.FixedCols() && row >= grid.FixedRows() ? grid.DataFont() : grid.LabelFont();
}

bool TKyPrintHyCube::RowHidden(int32_t row) { return grid_ && grid_->RowHeights(row) == 0; }

void TKyPrintHyCube::BuildColumns() {
  std::vector<TColumnInfo>& columns = ColumnList();
  columns.clear();
  if (grid_) {
    const bool fixedCols = Style().FixedCols();
    for (int32_t i = 0; i < grid_->ColCount(); ++i) {
      TColumnInfo& c = columns.emplace_back();
      c.Width = grid_->ColWidths(i);
      c.Left = GapHorizontal();
      c.WordWrap = WordWrap();
      c.Fixed = fixedCols && i < grid_->FixedCols();
      c.Hidden = c.Width == 0;
    }
  }
  TKyPrintCustomGrid::BuildColumns();
}

}  // namespace hy
