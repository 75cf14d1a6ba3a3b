#include "app/MainWindow.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/DemoLayout.h"
#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "cube/HyMapProposal.h"
#include "cube/HyProgress.h"
#include "pivot/HyDB.h"
#include "pivot/HyDBCube.h"
#include "platform/db/CsvFormat.h"
#include "platform/db/Table.h"
#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"
#include "platform/printer/QtPrinter.h"
#include "report/KyRAHyDC.h"
#include "ui/DrillThrough.h"
#include "ui/HyCubeEditor.h"
#include "ui/HyGridWidget.h"
#include "ui/KyProcesWindow.h"
#include "ui/KyRPreview.h"
#include "ui/OpenCsv.h"
#include "ui/OpenTable.h"

namespace hy {
namespace {

constexpr const char* kCaption = "KyReport: THyCube export";
constexpr int kRecentMax = 8;
constexpr const char* kRecentKey = "recent";

QString Q(const std::string& s) { return QString::fromStdString(s); }

QSettings Settings() { return QSettings("cubeview", "cubeview"); }

// The dimension map and the limits of one cube copied into another.
void CopyCubeDesign(const THyCube& from, THyCube& to) {
  to.SetMaxDimensions(from.MaxDimensions());
  to.SetMaxSummaries(from.MaxSummaries());
  to.SetMaxCells(from.MaxCells());
  to.DimensionMap().Assign(from.DimensionMap());
}

}  // namespace

TfrmMain::TfrmMain() : TComponent(nullptr) {
  CreateLayout();
  CreateMenus();
  StartUp();
}

TfrmMain::~TfrmMain() {
  Destroying();
  DestroyComponents();
}

void TfrmMain::CreateLayout() {
  SetName("frmMain");
  BeginLoading();
  setWindowTitle(kCaption);
  resize(688, 446);  // the client area of a 696 × 480 window
  setMinimumSize(420, 240);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ToQColor(clBtnFace));
  setPalette(palette);
  setFont(ToQFont(TFont()));  // "MS Sans Serif", 11 pixels, mapped to an installed face

  // The cross-tab grid: everything below the menu and tool bars.
  hyGrid1_ = new THyGrid(this, this);
  hyGrid1_->setObjectName("HyGrid1");
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
  for (TFont* font :
       {&grid.CaptionFont(), &grid.DataFont(), &grid.LabelFont(), &grid.LabelSumFont()}) {
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
  grid.SetOnCubeEditor([this](TCustomHyGrid&) { Guarded([this] { ShowCubeEditor(); }); });
  hyGrid1_->viewport()->installEventFilter(this);

  btnExport_ = new QPushButton("Report", this);
  btnExport_->setObjectName("btnExport");
  btnExport_->setFixedSize(75, 25);
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
  dataSet_ = tblTable1_;

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

void TfrmMain::CreateMenus() {
  auto action = [this](const char* name, const QString& text, auto slot) {
    QAction* a = new QAction(text, this);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this,
            [this, slot] { Guarded([this, slot] { (this->*slot)(); }); });
    return a;
  };
  QAction* openTable = action("actOpenTable", "Open &Table...", &TfrmMain::MenuOpenTable);
  openTable->setShortcut(QKeySequence::Open);
  QAction* openCsv = action("actOpenCsv", "Open &CSV...", &TfrmMain::MenuOpenCsv);
  QAction* openLayout = action("actOpenLayout", "Open &Layout...", &TfrmMain::MenuOpenLayout);
  QAction* saveLayout = action("actSaveLayout", "&Save Layout...", &TfrmMain::MenuSaveLayout);
  saveLayout->setShortcut(QKeySequence::Save);
  QAction* report = action("actReport", "&Report...", &TfrmMain::btnReportClick);
  report->setShortcut(QKeySequence::Print);
  QAction* exitAction = new QAction("E&xit", this);
  exitAction->setObjectName("actExit");
  connect(exitAction, &QAction::triggered, this, &QWidget::close);
  QAction* editor = action("actCubeEditor", "Cube &Editor...", &TfrmMain::ShowCubeEditor);
  QAction* refresh = action("actRefresh", "&Refresh", &TfrmMain::RefreshCube);
  refresh->setShortcut(QKeySequence::Refresh);
  QAction* about = action("actAbout", "&About", &TfrmMain::MenuAbout);

  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName("MainMenu");
  QMenu* file = menuBar_->addMenu("&File");
  file->setObjectName("mnuFile");
  file->addAction(openTable);
  file->addAction(openCsv);
  recentMenu_ = file->addMenu("Recent");
  recentMenu_->setObjectName("mnuRecent");
  connect(recentMenu_, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
  file->addSeparator();
  file->addAction(openLayout);
  file->addAction(saveLayout);
  file->addSeparator();
  file->addAction(report);
  file->addSeparator();
  file->addAction(exitAction);
  QMenu* cube = menuBar_->addMenu("&Cube");
  cube->setObjectName("mnuCube");
  cube->addAction(editor);
  cube->addAction(refresh);
  QMenu* help = menuBar_->addMenu("&Help");
  help->setObjectName("mnuHelp");
  help->addAction(about);
  FillRecentMenu();

  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName("MainToolBar");
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // The report comes first: it stays in view when a narrow window folds the rest.
  toolBar_->addWidget(btnExport_);
  toolBar_->addSeparator();
  toolBar_->addAction(openTable);
  toolBar_->addAction(openCsv);
  toolBar_->addSeparator();
  toolBar_->addAction(openLayout);
  toolBar_->addAction(saveLayout);
  toolBar_->addSeparator();
  toolBar_->addAction(editor);
  toolBar_->addAction(refresh);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(menuBar_);
  layout->addWidget(toolBar_);
  layout->addWidget(hyGrid1_, 1);
}

QAction* TfrmMain::Action(const char* name) const { return findChild<QAction*>(name); }

TTable* TfrmMain::tblTable1() const { return dataSet_ == tblTable1_ ? tblTable1_ : nullptr; }

TCustomHyGrid* TfrmMain::HyGrid1Model() const { return hyGrid1_ ? hyGrid1_->Model() : nullptr; }

void TfrmMain::StartUp() {
  // The cube, told before the table, opens the table itself and builds.
  TComponent::FinishLoading(this);
  const TTableLocation where = tblTable1_->Location();
  source_.kind = TSourceChoice::scTable;
  source_.fileName = where.fileName;
  source_.tableName = where.tableName;

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

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick && hyGrid1_ && watched == hyGrid1_->viewport()) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    TCustomHyGrid* model = HyGrid1Model();
    const TGridCoord c = hyGrid1_->MouseCoord(mouse->position().toPoint());
    if (mouse->button() == Qt::LeftButton && model && c.X >= model->FixedCols() &&
        c.Y >= model->FixedRows()) {
      const int32_t x = c.X - model->FixedCols(), y = c.Y - model->FixedRows();
      Guarded([this, x, y] { DrillThrough(x, y); });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// --- sources

std::unique_ptr<TDataSet> TfrmMain::LoadSource(const TSourceChoice& choice) {
  std::unique_ptr<TDataSet> data;
  if (choice.kind == TSourceChoice::scTable) {
    data = OpenSourceChoice(choice, nullptr);
  } else {
    NewBuildProgress(true)->RunWithProgress(
        [&](TCubeProgress& progress) { data = OpenSourceChoice(choice, nullptr, &progress); });
  }
  data->Open();
  return data;
}

void TfrmMain::BuildAndSwap(std::unique_ptr<TDataSet> dataSet, const TSourceChoice* choice,
                            const std::function<void(THyCube& cube)>& setup,
                            const std::string& pivot, int32_t summary) {
  TDataSet* data = dataSet ? dataSet.get() : dataSet_;
  THyCube* cube = new THyCube(this);
  auto drop = ScopeExit([&] { delete cube; });
  cube->SetShowProgressDialog(hyCube1_->ShowProgressDialog());
  cube->SetDataSet(data);
  setup(*cube);
  cube->SetActive(true);  // builds in the progress dialog; raises on failure or Cancel
  drop.Dismiss();

  THyCube* old = hyCube1_;
  hySource1_->SetDecisionCube(cube);
  hyCube1_ = cube;
  delete old;
  cube->SetName("HyCube1");
  if (!pivot.empty()) hySource1_->SetDimensionInfo(pivot);
  hySource1_->SetCurrentSummary(summary);
  if (dataSet) {
    if (dataSet_ == tblTable1_) {
      delete tblTable1_;
      tblTable1_ = nullptr;
    }
    ownedDataSet_ = std::move(dataSet);
    dataSet_ = ownedDataSet_.get();
    source_ = *choice;
  }
  UpdateTitle();
}

void TfrmMain::OpenTable(const std::string& fileName, const std::string& tableName) {
  TSourceChoice choice;
  choice.kind = TSourceChoice::scTable;
  choice.fileName = fileName;
  choice.tableName = tableName;
  OpenSource(choice);
}

void TfrmMain::OpenCsv(const std::string& fileName, const TCsvSettings& settings) {
  TSourceChoice choice;
  choice.kind = TSourceChoice::scCsv;
  choice.fileName = fileName;
  choice.csv = settings;
  OpenSource(choice);
}

void TfrmMain::OpenSource(const TSourceChoice& choice) {
  std::unique_ptr<TDataSet> data = LoadSource(choice);
  BuildAndSwap(
      std::move(data), &choice,
      [&](THyCube& cube) {
        if (ProposeDimensionMap(*cube.DataSet(), cube.DimensionMap()) == 0)
          throw EHyMapError(Format("'%s' has no field a cube can use", choice.Caption().c_str()));
      },
      std::string(), 0);
  AddRecent(Q(choice.kind == TSourceChoice::scTable
                  ? "table\t" + choice.fileName + "\t" + choice.tableName
                  : "csv\t" + choice.fileName));
}

void TfrmMain::RebuildCube(const std::function<void(THyCube& cube)>& setup) {
  BuildAndSwap(nullptr, nullptr, setup, hySource1_->DimensionInfo(), hySource1_->CurrentSummary());
}

void TfrmMain::RefreshCube() {
  const TSourceChoice choice = source_;
  std::unique_ptr<TDataSet> data = LoadSource(choice);
  THyCube& current = *hyCube1_;
  BuildAndSwap(
      std::move(data), &choice, [&](THyCube& cube) { CopyCubeDesign(current, cube); },
      hySource1_->DimensionInfo(), hySource1_->CurrentSummary());
}

void TfrmMain::OpenFileGuarded(const std::string& fileName) {
  Guarded([&] {
    const QString file = QString::fromStdString(fileName);
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == "cvl") {
      OpenLayout(fileName);
    } else if (suffix == "csv" || suffix == "tsv" || suffix == "txt") {
      if (const std::optional<TSourceChoice> choice = ChooseCsvFile(this, file))
        OpenSource(*choice);
    } else if (const std::optional<TSourceChoice> choice = ChooseSqliteTable(this, file)) {
      OpenSource(*choice);
    }
  });
}

// --- layouts

TLayout TfrmMain::CaptureLayout() const {
  TLayout layout;
  layout.source = source_;
  CaptureMap(hyCube1_->DimensionMap(), *hyCube1_, layout);
  layout.dimensionInfo = hySource1_->DimensionInfo();
  layout.currentSummary = hySource1_->CurrentSummary();
  CaptureReport(*kyPrintHyCube1_, layout.report);
  return layout;
}

void TfrmMain::SaveLayout(const std::string& fileName) {
  SaveLayoutFile(fileName, CaptureLayout());
  AddRecent(Q("layout\t" + fileName));
}

void TfrmMain::OpenLayout(const std::string& fileName) {
  const TLayout layout = LoadLayoutFile(fileName);
  std::unique_ptr<TDataSet> data = LoadSource(layout.source);
  BuildAndSwap(
      std::move(data), &layout.source,
      [&](THyCube& cube) { ApplyMap(layout, cube.DimensionMap(), cube); }, layout.dimensionInfo,
      layout.currentSummary);
  ApplyReport(layout.report, *kyPrintHyCube1_);
  AddRecent(Q("layout\t" + fileName));
}

// --- dialogs

void TfrmMain::ShowCubeEditor() {
  THyCubeEditor editor(*hyCube1_, this);
  if (editor.exec() != QDialog::Accepted) return;
  RebuildCube([&](THyCube& cube) { editor.ApplyTo(cube); });
}

void TfrmMain::DrillThrough(int32_t x, int32_t y) { ShowDrillThrough(this, *hySource1_, x, y); }

void TfrmMain::MenuOpenTable() {
  if (const std::optional<TSourceChoice> choice = ChooseSqliteTable(this)) OpenSource(*choice);
}

void TfrmMain::MenuOpenCsv() {
  if (const std::optional<TSourceChoice> choice = ChooseCsvFile(this)) OpenSource(*choice);
}

void TfrmMain::MenuOpenLayout() {
  const QString file = QFileDialog::getOpenFileName(this, "Open Layout", QString(),
                                                    "Cube layouts (*.cvl);;All files (*)");
  if (!file.isEmpty()) OpenLayout(file.toStdString());
}

void TfrmMain::MenuSaveLayout() {
  QString file = QFileDialog::getSaveFileName(this, "Save Layout", QString(),
                                              "Cube layouts (*.cvl);;All files (*)");
  if (file.isEmpty()) return;
  if (QFileInfo(file).suffix().isEmpty()) file += ".cvl";
  SaveLayout(file.toStdString());
}

void TfrmMain::MenuAbout() {
  QMessageBox::about(this, "About cubeview",
                     "cubeview\n\nDecision cubes, cross-tabs and reports over SQLite tables "
                     "and CSV files.");
}

void TfrmMain::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    if (onError_) onError_(e.what());
    else QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
  }
}

void TfrmMain::UpdateTitle() {
  setWindowTitle(Q(std::string(kCaption) + " - " + source_.Caption()));
}

// --- recent files

QStringList TfrmMain::RecentEntries() const { return Settings().value(kRecentKey).toStringList(); }

void TfrmMain::AddRecent(const QString& entry) {
  QStringList list = RecentEntries();
  list.removeAll(entry);
  list.prepend(entry);
  while (list.size() > kRecentMax) list.removeLast();
  Settings().setValue(kRecentKey, list);
}

void TfrmMain::FillRecentMenu() {
  recentMenu_->clear();
  const QStringList list = RecentEntries();
  for (const QString& entry : list) {
    const QStringList parts = entry.split('\t');
    QString text = QFileInfo(parts.value(1)).fileName();
    if (parts.value(0) == "table") text = parts.value(2) + " (" + text + ")";
    else if (parts.value(0) == "layout") text += " (layout)";
    QAction* a = recentMenu_->addAction(text);
    a->setToolTip(parts.value(1));
    connect(a, &QAction::triggered, this,
            [this, entry] { Guarded([this, entry] { OpenRecent(entry); }); });
  }
  recentMenu_->setEnabled(!list.isEmpty());
}

void TfrmMain::OpenRecent(const QString& entry) {
  const QStringList parts = entry.split('\t');
  const std::string file = parts.value(1).toStdString();
  if (parts.value(0) == "table") {
    OpenTable(file, parts.value(2).toStdString());
  } else if (parts.value(0) == "csv") {
    TCsvSettings settings = DetectCsvFile(file).settings;
    settings.columns.clear();  // detected again over the whole file
    OpenCsv(file, settings);
  } else if (parts.value(0) == "layout") {
    OpenLayout(file);
  }
}

}  // namespace hy
