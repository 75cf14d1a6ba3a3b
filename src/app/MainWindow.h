// The main window of the demo: a table, a cube over it, and the "Report"
// button, created from the stored layout.
#pragma once

#include <QWidget>

#include "common/Component.h"

class QPushButton;
class QFrame;

namespace hy {

class THyCustomStore;
class TTable;

class TfrmMain : public QWidget, public TComponent {
public:
  // Creates the components, sets their stored properties while they are
  // loading, then tells each in creation order that loading has finished,
  // which opens the table and resolves the cube's map. Exceptions propagate:
  // a window that cannot start is not shown.
  TfrmMain();
  ~TfrmMain() override;

  TTable* tblTable1() const { return tblTable1_; }
  THyCustomStore* HyCube1() const { return hyCube1_; }
  QPushButton* btnExport() const { return btnExport_; }

  void btnReportClick();

private:
  void CreateLayout();
  void StartUp();

  QFrame* gridArea_ = nullptr;
  QPushButton* btnExport_ = nullptr;
  THyCustomStore* hyCube1_ = nullptr;
  TTable* tblTable1_ = nullptr;
};

}  // namespace hy
