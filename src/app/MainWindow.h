// The main window of the demo: a table, a cube over it, and the "Report"
// button, created from the stored layout.
#pragma once

#include <memory>

#include <QWidget>

#include "common/Component.h"

class QPushButton;

namespace hy {

class TCustomHyGrid;
class TKyPrintHyCube;
class TKyProcess;
class TQtPrinter;
class THyCube;
class THyGrid;
class THySource;
class TTable;

class TfrmMain : public QWidget, public TComponent {
public:
  // Creates the components, sets their stored properties while they are
  // loading, then tells each in creation order that loading has finished,
  // which builds the cube over the table. Exceptions propagate: a window
  // that cannot start is not shown.
  TfrmMain();
  ~TfrmMain() override;

  TTable* tblTable1() const { return tblTable1_; }
  THyCube* HyCube1() const { return hyCube1_; }
  THySource* HySource1() const { return hySource1_; }
  // The cross-tab on screen, and its model (the component "HyGrid1").
  THyGrid* HyGrid1() const { return hyGrid1_; }
  TCustomHyGrid* HyGrid1Model() const;
  QPushButton* btnExport() const { return btnExport_; }
  // The report of the grid, prepared and previewed by the "Report" button.
  TKyPrintHyCube* KyPrintHyCube1() const { return kyPrintHyCube1_; }

  // Prepares the report of the grid and previews it in the preview window
  // (installed here when the program has not installed one).
  void btnReportClick();

protected:
  // Keeps the grid aligned to the bottom, across the whole width.
  void resizeEvent(QResizeEvent* event) override;

private:
  void CreateLayout();
  void StartUp();

  THyGrid* hyGrid1_ = nullptr;
  QPushButton* btnExport_ = nullptr;
  THyCube* hyCube1_ = nullptr;
  THySource* hySource1_ = nullptr;
  TTable* tblTable1_ = nullptr;
  TKyPrintHyCube* kyPrintHyCube1_ = nullptr;
  // The progress window the report prepares in.
  std::unique_ptr<TKyProcess> reportProcess_;
  // The printers of the system, asked for at the first report only.
  std::unique_ptr<TQtPrinter> reportPrinter_;
};

}  // namespace hy
