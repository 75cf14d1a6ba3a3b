#include "app/DemoLayout.h"

#include "common/DateUtils.h"
#include "cube/HyMap.h"
#include "pivot/HyDB.h"
#include "report/KyRAHyDC.h"

namespace hy {

void SetDemoMap(THyMap& map) {
  struct Item {
    const char* name;
    const char* field;
    TDimFlags type;
    TBinType bin;
    TDateTime start;
    uint32_t values;
  };
  const Item items[] = {
      {"Customer", "CustNo", dimDimension, binNone, 0, 54},
      {"SaleDate", "SaleDate", dimDimension, binMonth, 37987.0, 49},  // 1 January 2004
      {"Payment", "PaymentMethod", dimDimension, binNone, 0, 7},
      {"Total", "ItemsTotal", dimSum, binNone, 0, 0},
  };
  map.BeginUpdate();
  map.Clear();
  for (const Item& def : items) {
    THyMapItem* item = map.Add();
    item->SetName(def.name);
    item->SetFieldName(def.field);
    item->SetDimensionType(def.type);
    item->SetBinType(def.bin);
    item->SetStartDate(def.start);
    item->SetParams(0);
    item->SetValueCount(def.values);
  }
  map.EndUpdate();
}

const char kDemoDimensionInfo[] =
    "(2 0 1 0 -1 'Customer' 1 0 1 0 -1 'SaleDate' 1 1 1 1 -1 'Payment')";

void SetDemoSource(THySource& source) {
  source.SetControlType(xtCheck);
  source.SetDimensionCount(3);
  source.SetSummaryCount(1);
  source.SetCurrentSummary(0);
  source.SetSparseRows(false);
  source.SetSparseCols(false);
  source.SetDimensionInfo(kDemoDimensionInfo);
}

void SetDemoReport(TKyPrintHyCube& report) {
  TKyRStyle style;
  style.SetFixedCols(true);
  style.SetFixedRows(true);
  style.SetRowStyle(rsNormal);
  style.SetOddColor(clWhite);
  style.SetEvenColor(clWhite);
  report.SetStyle(style);
  report.SetMacroChar('%');
  report.SetWordWrap(false);
  report.SetHeader({"%A%L%DT%FB", " "});
  report.SetFooter({"%A%Rpage #%PN/Sheet%BN"});
  const TFont font("MS Sans Serif", -11, 0, clWindowText);
  report.SetHeaderFont(font);
  report.SetFooterFont(font);
  TKyRPageMargins& margins = report.PrinterSetting().Margins();
  margins.Left = margins.Top = margins.Right = margins.Bottom = 0;
  report.PrinterSetting().SetPaperSizeWidth(793);
  report.PrinterSetting().SetPaperSizeHeight(1122);
  report.PrinterSetting().SetCollate(false);
  report.HighLights().Clear();
  report.SetGapHorizontal(2);
  report.SetGapVertical(2);
  report.GridLine().SetColor(clBtnShadow);
  report.SetAutoFit(false);
}

}  // namespace hy
