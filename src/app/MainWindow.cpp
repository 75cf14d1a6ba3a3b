#include "app/MainWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "app/DemoLayout.h"
#include "cube/HyStore.h"
#include "platform/db/Table.h"

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
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  setFont(font);

  // Where the cross-tab grid goes: the whole width below the button bar.
  gridArea_ = new QFrame(this);
  gridArea_->setObjectName("HyGrid1");
  gridArea_->setFrameShape(QFrame::StyledPanel);
  gridArea_->setFrameShadow(QFrame::Sunken);
  gridArea_->setGeometry(0, 64, 688, 382);

  btnExport_ = new QPushButton("Report", this);
  btnExport_->setObjectName("btnExport");
  btnExport_->setGeometry(224, 24, 75, 25);
  connect(btnExport_, &QPushButton::clicked, this, [this] { btnReportClick(); });

  // Non-visual components, in creation order.
  hyCube1_ = new THyCustomStore(this);
  hyCube1_->SetName("HyCube1");
  hyCube1_->BeginLoading();
  SetDemoMap(hyCube1_->DimensionMap());

  tblTable1_ = new TTable(this);
  tblTable1_->SetName("tblTable1");
  tblTable1_->BeginLoading();
  tblTable1_->SetActive(true);
  tblTable1_->SetDatabaseName("DBDEMOS");
  tblTable1_->SetTableName("orders.db");

  hyCube1_->SetDataSet(tblTable1_);
}

void TfrmMain::StartUp() {
  TComponent::FinishLoading(this);
  // Until the cube can build itself, opening it stops after its design is
  // resolved: fields found, date grouping fixed, capacity planned.
  hyCube1_->DimensionMap().SetActive(true);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}


void TfrmMain::btnReportClick() {
  // The report component connects here; until then the button has no target.
}

}  // namespace hy
