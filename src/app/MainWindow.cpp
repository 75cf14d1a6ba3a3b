#include "app/MainWindow.h"

#include <algorithm>

#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>
#include <QScreen>

#include "app/DemoLayout.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "platform/db/Table.h"
#include "platform/printer/QtPrinter.h"
#include "report/KyRAHyDC.h"
#include "ui/HyGridWidget.h"
#include "ui/KyProcesWindow.h"
#include "ui/KyRPreview.h"

namespace hy {

TfrmMain::TfrmMain() : TComponent(nullptr) {
  CreateLayout();
  StartUp();
}

TfrmMain::~TfrmMain() {
  Destroying();
  DestroyComponents();
}

void TfrmMain::CreateLayout() {
  SetName("frmMain");
  BeginLoading();
  setWindowTitle("KyReport: THyCube export");
  resize(688, 446);  // the client area of a 696 × 480 window
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ToQColor(clBtnFace));
  setPalette(palette);
  setFont(ToQFont(TFont()));  // "MS Sans Serif", 11 pixels, mapped to an installed face

  // The cross-tab grid: the whole width below the button bar.
  hyGrid1_ = new THyGrid(this, this);
  hyGrid1_->setObjectName("HyGrid1");
  hyGrid1_->setGeometry(0, 64, 688, 382);
  TCustomHyGrid& grid = *hyGrid1_->Model();
  grid.SetName("HyGrid1");
  grid.BeginLoading();
  grid.SetDefaultColWidth(100);
  grid.SetDefaultRowHeight(20);
  grid.SetCaptionColor(clActiveCaption);
  grid.CaptionFont().SetColor(clCaptionText);
  grid.SetDataColor(clInfoBk);
  grid.SetDataSumColor(clNone);
  grid.DataFont().SetColor(clWindowText);
  grid.SetLabelColor(clBtnFace);
  grid.LabelFont().SetColor(clWindowText);
  grid.SetLabelSumColor(clInactiveCaption);
  grid.LabelSumFont().SetColor(clWindowText);
  for (TFont* font : {&grid.CaptionFont(), &grid.DataFont(), &grid.LabelFont(), &grid.LabelSumFont()}) {
    font->SetCharset(DEFAULT_CHARSET);
    font->SetHeight(-11);
    font->SetName("MS Sans Serif");
    font->SetStyle(0);
  }
  for (int i = 0; i < 4; ++i) {
    TDisplayDim& dim = grid.Dimensions().Add();
    dim.SetColor(clNone);
    dim.SetAlignment(taLeftJustify);
    dim.SetSubtotals(true);
    dim.SetWidth(80);
  }
  grid.SetTotals(true);
  grid.SetShowCubeEditor(false);
  grid.SetColor(clBtnFace);
  grid.SetGridLineWidth(1);
  grid.SetGridLineColor(clWindowText);

  btnExport_ = new QPushButton("Report", this);
  btnExport_->setObjectName("btnExport");
  btnExport_->setGeometry(224, 24, 75, 25);
  connect(btnExport_, &QPushButton::clicked, this, [this] { btnReportClick(); });

  // Non-visual components, in creation order.
  hyCube1_ = new THyCube(this);
  hyCube1_->SetName("HyCube1");
  hyCube1_->BeginLoading();
  hyCube1_->SetActive(true);
  hyCube1_->SetShowProgressDialog(true);
  SetDemoMap(hyCube1_->DimensionMap());

  hySource1_ = new THySource(this);
  hySource1_->SetName("HySource1");
  hySource1_->BeginLoading();
  hySource1_->SetDecisionCube(hyCube1_);
  SetDemoSource(*hySource1_);

  tblTable1_ = new TTable(this);
  tblTable1_->SetName("tblTable1");
  tblTable1_->BeginLoading();
  tblTable1_->SetActive(true);
  tblTable1_->SetDatabaseName("DBDEMOS");
  tblTable1_->SetTableName("orders.db");

  kyPrintHyCube1_ = new TKyPrintHyCube(this);
  kyPrintHyCube1_->SetName("KyPrintHyCube1");
  kyPrintHyCube1_->BeginLoading();
  SetDemoReport(*kyPrintHyCube1_);
  reportProcess_ = std::make_unique<TKyRWindowProcess>();
  kyPrintHyCube1_->SetProcess(reportProcess_.get());

  // References are resolved once every component exists.
  hyCube1_->SetDataSet(tblTable1_);
  grid.SetDecisionSource(hySource1_);
  kyPrintHyCube1_->SetDecisionGrid(&grid);
}

TCustomHyGrid* TfrmMain::HyGrid1Model() const { return hyGrid1_ ? hyGrid1_->Model() : nullptr; }

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!hyGrid1_) return;
  const int height = hyGrid1_->height();
  hyGrid1_->setGeometry(0, std::max(0, this->height() - height), width(), height);
}

void TfrmMain::StartUp() {
  // The cube, told before the table, opens the table itself and builds.
  TComponent::FinishLoading(this);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TfrmMain::btnReportClick() {
  if (!PreviewFunction()) UsePreviewWindow();
  if (!kyPrintHyCube1_->Printer()) {
    reportPrinter_ = std::make_unique<TQtPrinter>();
    kyPrintHyCube1_->SetPrinter(reportPrinter_.get());
  }
  kyPrintHyCube1_->Preview();
}

}  // namespace hy
