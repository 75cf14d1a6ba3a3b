#include "ui/KyRPreview.h"

#include <algorithm>
#include <iterator>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QScrollBar>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWhatsThis>

#include "platform/printer/QtPrinter.h"
#include "report/KyRDMan.h"
#include "report/KyROutput.h"
#include "report/PrintKy.h"
#include "ui/KyNumEd.h"
#include "ui/KyRFind.h"
#include "ui/KyRLens.h"
#include "ui/KyRPESet.h"
#include "ui/KyRPreviewGlyphs.h"
#include "ui/KyRPreviewOutput.h"
#include "ui/KyRView.h"

namespace hy {

namespace {

// Library strings of the window beyond those KyRDMan names.
constexpr int kStrPrint = 1801;
constexpr int kStrSave = 1802;
constexpr int kStrManyPages = 1804;
constexpr int kStrScale = 1805;
constexpr int kStrChangeScale = 1806;
constexpr int kStrFitWidth = 1807;
constexpr int kStrFitPage = 1808;
constexpr int kStrCustom = 1809;
constexpr int kStrZoomIn = 1810;
constexpr int kStrZoomOut = 1811;
constexpr int kStrLens = 1812;
constexpr int kStrRuler = 1813;
constexpr int kStrGrid = 1814;
constexpr int kStrAbout = 1815;
constexpr int kStrClose = 1816;
constexpr int kStrHelp = 1817;
constexpr int kStrPrinterSetup = 1819;
constexpr int kStrFirstPage = 1820;
constexpr int kStrReportFiles = 2164;  // "KyReport generated"

constexpr int kToolBarHeight = 31;
constexpr int kStatusBarHeight = 23;
constexpr int kButton = 25;
constexpr int kNavButton = 17;

struct TButtonDef {
  const char* name;
  TKyRGlyph glyph;
  int group;  // 0: a plain button
  int hint;   // string number, 0: set by Localize from the scale list
  int width;
};

const TButtonDef kToolButtons[] = {
    {"btnPrinterSetup", TKyRGlyph::PrinterSetup, 0, kStrPrinterSetup, kButton},
    {"btnPrint", TKyRGlyph::Print, 0, kStrPrint, kButton},
    {"btnOpenFromFile", TKyRGlyph::Open, 0, kStrOpenReport, kButton},
    {"btnSaveToFile", TKyRGlyph::Save, 0, kStrSave, kButton},
    {"btnFindText", TKyRGlyph::Find, 0, kStrFindFirst, kButton},
    {nullptr, TKyRGlyph::Print, 0, 0, 0},
    {"btnOnePage", TKyRGlyph::OnePage, 1, 0, kButton},
    {"btnZoomTo100", TKyRGlyph::Zoom100, 1, 0, kButton},
    {"btnZoomToWidth", TKyRGlyph::ZoomToWidth, 1, 0, kButton},
    {"btnManyPages", TKyRGlyph::ManyPages, 1, kStrManyPages, kButton},
    {"cbScale", TKyRGlyph::Print, 0, 0, 0},
    {"btnZoomIn", TKyRGlyph::ZoomIn, 2, kStrZoomIn, kButton},
    {"btnZoomOut", TKyRGlyph::ZoomOut, 2, kStrZoomOut, kButton},
    {nullptr, TKyRGlyph::Print, 0, 0, 0},
    {"btnLens", TKyRGlyph::Lens, 5, kStrLens, kButton},
    {"btnRuler", TKyRGlyph::Ruler, 3, kStrRuler, kButton},
    {"btnGrid", TKyRGlyph::Grid, 4, kStrGrid, kButton},
    {nullptr, TKyRGlyph::Print, 0, 0, 0},
    {"btnAbout", TKyRGlyph::About, 0, kStrAbout, 30},
    {"btnClose", TKyRGlyph::Close, 0, kStrClose, kButton},
    {"btnHelp", TKyRGlyph::Help, 0, kStrHelp, kButton},
};

const TButtonDef kNavButtons[] = {
    {"btnFirstPage", TKyRGlyph::FirstPage, 0, kStrFirstPage, kNavButton},
    {"btnPrevPage", TKyRGlyph::PrevPage, 0, kStrFirstPage + 1, kNavButton},
    {"btnNextPage", TKyRGlyph::NextPage, 0, kStrFirstPage + 2, kNavButton},
    {"btnLastPage", TKyRGlyph::LastPage, 0, kStrFirstPage + 3, kNavButton},
};

QToolButton* MakeButton(const TButtonDef& def, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(def.name);
  button->setAutoRaise(true);
  button->setFixedSize(def.width, def.width == kNavButton ? kNavButton : kButton);
  const int icon = def.width == kNavButton ? 13 : 18;
  button->setIconSize(QSize(icon, icon));
  button->setIcon(PreviewGlyph(def.glyph));
  button->setCheckable(def.group != 0);
  button->setProperty("group", def.group);
  button->setProperty("hintString", def.hint);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

// "A (*.x)|*.x|B|*.*" as a file dialog's filter list "A (*.x);;B".
QString DialogFilter(const std::string& pairs) {
  const QStringList parts = QString::fromStdString(pairs).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i];
    if (!name.contains('(')) name += " (" + parts[i + 1] + ")";
    filters << name;
  }
  return filters.join(";;");
}

}  // namespace

TfrmKyPreview::TfrmKyPreview(TKyPrintBaseComponent* report, QWidget* parentControl)
    : QDialog(nullptr), report_(report) {
  setObjectName("frmKyPreview");
  setWindowIcon(PreviewGlyph(TKyRGlyph::WindowIcon));
  setSizeGripEnabled(false);

  auto* toolBar = new QWidget(this);
  toolBar->setObjectName("pnlButton");
  toolBar->setFixedHeight(kToolBarHeight);
  CreateToolBar(toolBar);

  preview_ = new TKyRPreview(this);
  preview_->SetZoomByClick(zcNone);

  tsSheets_ = new QTabBar(this);
  tsSheets_->setObjectName("tsSheets");
  tsSheets_->setShape(QTabBar::TriangularSouth);
  tsSheets_->setDrawBase(false);
  tsSheets_->setUsesScrollButtons(true);
  tsSheets_->setExpanding(false);
  tsSheets_->setFocusPolicy(Qt::NoFocus);

  auto* statusBar = new QWidget(this);
  statusBar->setObjectName("pnlStatus");
  statusBar->setFixedHeight(kStatusBarHeight);
  CreateStatusBar(statusBar);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolBar);
  layout->addWidget(preview_, 1);
  layout->addWidget(tsSheets_);
  layout->addWidget(statusBar);

  preview_->SetZoomChangeEvent([this] { ZoomChanged(); });
  preview_->SetPageNumberChangeEvent([this] { PageChanged(); });
  preview_->SetBarNumberChangeEvent([this] { BarChanged(); });
  preview_->SetOnMouseMove(
      [this](Qt::MouseButton, Qt::MouseButtons, QPoint pos) { LensMouseMove(pos); });
  preview_->SetOnFindDone([this](int32_t hits) {
    lblStatus_->setText(
        QString::fromStdString(LoadString(report_->Language().EffectiveLanguage(), kStrFindFirst)) +
        ": " + QString::number(hits));
  });
  connect(tsSheets_, &QTabBar::currentChanged, this, [this](int tab) {
    if (syncingTabs_ || tab < 0 || !report_) return;
    report_->SetBarIndex(tab);
    preview_->SetBarNumber(tab + 1);
  });

  // The selected scale entry and its zoom at creation.
  cbScale_->setCurrentIndex(kScaleFitWidth);
  scaleZoom_ = 75;
  preview_->SetReport(report_);
  resize(kLayoutWidth, kLayoutHeight);

  const TKyRPreviewOutput& output = PreviewOutput();
  Button("btnPrint")->setEnabled(bool(output.PrintWithDialog));
  Button("btnSaveToFile")->setEnabled(bool(output.ExportWithDialog));
  Button("btnOpenFromFile")->setEnabled(bool(output.LoadFromFile));
  Button("btnPrinterSetup")->setEnabled(report_ && dynamic_cast<TQtPrinter*>(report_->Printer()));

  if (parentControl) Embed(parentControl);
  else
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  Localize();
  qApp->installEventFilter(this);
}

TfrmKyPreview::~TfrmKyPreview() {
  qApp->removeEventFilter(this);
  // Closing takes the focus from the page field, whose signal would then
  // reach this half-destroyed window.
  if (edNumPage_) edNumPage_->disconnect(this);
  delete lens_;
}

QToolButton* TfrmKyPreview::Button(const char* name) const { return findChild<QToolButton*>(name); }

void TfrmKyPreview::CreateToolBar(QWidget* bar) {
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(3, 3, 3, 3);
  row->setSpacing(1);
  for (const TButtonDef& def : kToolButtons) {
    if (!def.name) {
      row->addSpacing(8);
      continue;
    }
    if (QLatin1String(def.name) == QLatin1String("cbScale")) {
      cbScale_ = new QComboBox(bar);
      cbScale_->setObjectName("cbScale");
      for (int zoom : kScaleZooms) cbScale_->addItem(QString::number(zoom) + "%");
      cbScale_->addItems({QString(), QString(), QString()});
      cbScale_->setMinimumContentsLength(14);
      cbScale_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      cbScale_->setFocusPolicy(Qt::NoFocus);
      connect(cbScale_, &QComboBox::activated, this, [this](int index) { SelectScale(index); });
      row->addSpacing(4);
      row->addWidget(cbScale_);
      row->addSpacing(4);
      continue;
    }
    QToolButton* button = MakeButton(def, bar);
    row->addWidget(button);
    if (def.group != 0)
      connect(button, &QToolButton::toggled, this, [this, button, g = def.group](bool down) {
        if (down) GroupToggled(button, g);
      });
  }
  row->addStretch();

  Button("btnZoomTo100")->setChecked(true);
  Button("btnManyPages")->setEnabled(false);
  connect(Button("btnPrinterSetup"), &QToolButton::clicked, this, [this] { PrinterSetup(); });
  connect(Button("btnPrint"), &QToolButton::clicked, this, [this] { PrintReport(); });
  connect(Button("btnOpenFromFile"), &QToolButton::clicked, this, [this] { OpenFromFile(); });
  connect(Button("btnSaveToFile"), &QToolButton::clicked, this, [this] { SaveToFile(); });
  connect(Button("btnFindText"), &QToolButton::clicked, this, [this] { FindText(); });
  connect(Button("btnOnePage"), &QToolButton::clicked, this, [this] {
    preview_->SetZoom(preview_->FitToHeight());
    ZoomChanged();
  });
  connect(Button("btnZoomTo100"), &QToolButton::clicked, this, [this] {
    preview_->SetZoom(100);
    ZoomChanged();
  });
  connect(Button("btnZoomToWidth"), &QToolButton::clicked, this, [this] {
    preview_->SetZoom(preview_->FitToWidth());
    ZoomChanged();
  });
  connect(Button("btnZoomIn"), &QToolButton::clicked, this, [this] { ZoomByClickChanged(); });
  connect(Button("btnZoomOut"), &QToolButton::clicked, this, [this] { ZoomByClickChanged(); });
  connect(Button("btnLens"), &QToolButton::clicked, this, [this](bool down) { ShowLens(down); });
  connect(Button("btnRuler"), &QToolButton::toggled, this,
          [this](bool down) { preview_->SetShowMargins(down); });
  connect(Button("btnGrid"), &QToolButton::toggled, this,
          [this](bool down) { preview_->SetShowGrid(down); });
  connect(Button("btnAbout"), &QToolButton::clicked, this, [this] { About(); });
  connect(Button("btnClose"), &QToolButton::clicked, this, [this] { close(); });
  connect(Button("btnHelp"), &QToolButton::clicked, this, [] { QWhatsThis::enterWhatsThisMode(); });
}

void TfrmKyPreview::CreateStatusBar(QWidget* bar) {
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 2, 4, 2);
  row->setSpacing(3);
  int tag = 1;
  for (const TButtonDef& def : kNavButtons) {
    QToolButton* button = MakeButton(def, bar);
    connect(button, &QToolButton::clicked, this, [this, tag] { GoTo(tag); });
    ++tag;
    if (tag == 4) {  // the page field between previous and next
      row->addWidget(button);
      lblPages_ = new QLabel(bar);
      lblPages_->setObjectName("lblPages");
      edNumPage_ = new TKyNumberEdit(bar);
      edNumPage_->setObjectName("edNumPage");
      edNumPage_->SetIntegerOnly(true);
      edNumPage_->SetMinValue(1);
      edNumPage_->setFixedWidth(48);
      lblNumPages_ = new QLabel(bar);
      lblNumPages_->setObjectName("lblNumPages");
      row->addWidget(lblPages_);
      row->addWidget(edNumPage_);
      row->addWidget(lblNumPages_);
      connect(edNumPage_, &QLineEdit::editingFinished, this, [this] { GoToTypedPage(); });
      continue;
    }
    row->addWidget(button);
  }
  lblStatus_ = new QLabel(bar);
  lblStatus_->setObjectName("lblStatus");
  lblStatus_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont font = lblStatus_->font();
  font.setBold(true);
  lblStatus_->setFont(font);
  QPalette palette = lblStatus_->palette();
  palette.setColor(QPalette::WindowText, Qt::red);
  lblStatus_->setPalette(palette);
  row->addWidget(lblStatus_, 1);
}

void TfrmKyPreview::Embed(QWidget* parentControl) {
  embedded_ = true;
  parentControl_ = parentControl;
  setParent(parentControl, Qt::Widget);
  setGeometry(parentControl->rect());
  parentControl->installEventFilter(this);
  Button("btnClose")->setEnabled(false);
  Button("btnClose")->hide();
}

void TfrmKyPreview::Localize() {
  const int lang = report_ ? report_->Language().EffectiveLanguage() : 0;
  const auto str = [lang](int k) { return QString::fromStdString(LoadString(lang, k)); };
  setWindowTitle(str(kStrPreviewCaption) + " / " +
                 QString::fromStdString(report_ ? report_->KyProperty().Title() : std::string()));
  for (QToolButton* button : findChildren<QToolButton*>()) {
    const int k = button->property("hintString").toInt();
    if (k != 0) {
      button->setToolTip(str(k));
      button->setWhatsThis(str(k));
    }
  }
  cbScale_->setItemText(kScaleFitWidth, str(kStrFitWidth));
  cbScale_->setItemText(kScaleFitPage, str(kStrFitPage));
  cbScale_->setItemText(kScaleCustom, str(kStrCustom));
  if (cbScale_->toolTip().isEmpty()) cbScale_->setToolTip(str(kStrChangeScale));
  for (auto [name, entry] : {std::pair{"btnOnePage", kScaleFitPage},
                             {"btnZoomTo100", 4},
                             {"btnZoomToWidth", kScaleFitWidth}}) {
    Button(name)->setToolTip(cbScale_->itemText(entry));
    Button(name)->setWhatsThis(cbScale_->itemText(entry));
  }
  lblPages_->setText(str(kStrPageNo));
  if (lens_) lens_->Localize(lang);
}

void TfrmKyPreview::SetUpPages() {
  setUp_ = true;
  lblStatus_->clear();
  Localize();
  if (!report_) return;
  preview_->SetZoom(preview_->FitToWidth());
  preview_->SetPageNumber(1);
  preview_->SetBarNumber(1);
  lblNumPages_->setText(
      QString::fromStdString(LoadString(report_->Language().EffectiveLanguage(), kStrOf)) +
      QString::number(report_->PageCount()));
  {
    syncingTabs_ = true;
    while (tsSheets_->count() > 0) tsSheets_->removeTab(0);
    const int bars = report_->BarCount();
    if (bars >= 2) {
      const QString sheet =
          QString::fromStdString(LoadString(report_->Language().EffectiveLanguage(), kStrSheet));
      for (int i = 1; i <= bars; ++i) tsSheets_->addTab(sheet + " " + QString::number(i));
      tsSheets_->setCurrentIndex(0);
    }
    tsSheets_->setVisible(bars >= 2);
    tsSheets_->setEnabled(bars >= 2);
    syncingTabs_ = false;
  }
  ZoomChanged();
  PageChanged();
}

void TfrmKyPreview::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!setUp_) SetUpPages();
}

void TfrmKyPreview::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // A fitting zoom keeps fitting as the window changes size.
  if (!setUp_) return;
  if (cbScale_->currentIndex() == kScaleFitWidth) preview_->SetZoom(preview_->FitToWidth());
  else if (cbScale_->currentIndex() == kScaleFitPage) preview_->SetZoom(preview_->FitToHeight());
}

// ---- zoom ----

void TfrmKyPreview::SelectScale(int index) {
  int zoom = scaleZoom_;
  if (index >= 0 && index < int(std::size(kScaleZooms))) zoom = kScaleZooms[index];
  else if (index == kScaleFitWidth) zoom = preview_->FitToWidth();
  else if (index == kScaleFitPage) zoom = preview_->FitToHeight();
  scaleZoom_ = zoom;
  cbScale_->setCurrentIndex(index);
  preview_->SetZoom(zoom);
  ZoomChanged();
}

void TfrmKyPreview::ZoomChanged() {
  const int zoom = preview_->Zoom();
  const int lang = report_ ? report_->Language().EffectiveLanguage() : 0;
  cbScale_->setToolTip(QString::fromStdString(LoadString(lang, kStrScale)) + QString::number(zoom) +
                       "%");
  QToolButton* to100 = Button("btnZoomTo100");
  QToolButton* toWidth = Button("btnZoomToWidth");
  QToolButton* onePage = Button("btnOnePage");
  for (QToolButton* b : {to100, toWidth, onePage}) b->setChecked(false);
  const int* entry = std::find(std::begin(kScaleZooms), std::end(kScaleZooms), zoom);
  if (entry != std::end(kScaleZooms)) {
    cbScale_->setCurrentIndex(int(entry - std::begin(kScaleZooms)));
    if (zoom == 100) to100->setChecked(true);
  } else if (zoom == preview_->FitToWidth()) {
    cbScale_->setCurrentIndex(kScaleFitWidth);
    toWidth->setChecked(true);
  } else if (zoom == preview_->FitToHeight()) {
    cbScale_->setCurrentIndex(kScaleFitPage);
    onePage->setChecked(true);
  } else {
    cbScale_->setCurrentIndex(kScaleCustom);
  }
}

void TfrmKyPreview::ZoomByClickChanged() {
  const bool in = Button("btnZoomIn")->isChecked();
  const bool out = Button("btnZoomOut")->isChecked();
  preview_->SetZoomByClick(in && !out ? zcInc : out && !in ? zcDec : zcNone);
}

void TfrmKyPreview::GroupToggled(QToolButton* button, int group) {
  for (QToolButton* other : findChildren<QToolButton*>())
    if (other != button && other->property("group").toInt() == group) other->setChecked(false);
}

// ---- navigation ----

void TfrmKyPreview::GoTo(int tag) {
  if (!report_) return;
  int p = report_->PageIndex();
  const int n = report_->PageCount();
  switch (tag) {
    case 1: p = 0; break;
    case 2:
      if (p > 0) --p;
      break;
    case 3:
      if (p < n - 1) ++p;
      break;
    case 4: p = n - 1; break;
  }
  preview_->SetPageNumber(p + 1);
}

void TfrmKyPreview::GoToTypedPage() {
  // A number outside the report leaves the page; the field shows it again.
  const QString text = edNumPage_->text().trimmed();
  bool ok = false;
  const int n = text.toInt(&ok);
  if (ok) preview_->SetPageNumber(n);
  PageChanged();
}

void TfrmKyPreview::PageChanged() {
  if (!report_) return;
  const int p = report_->PageIndex();
  const int n = report_->PageCount();
  Button("btnFirstPage")->setEnabled(p >= 0);
  Button("btnPrevPage")->setEnabled(p >= 1);
  Button("btnNextPage")->setEnabled(p < n - 1);
  Button("btnLastPage")->setEnabled(p < n);
  edNumPage_->SetMaxValue(std::max(1, n));
  edNumPage_->SetValue(p + 1);
}

void TfrmKyPreview::BarChanged() {
  if (!report_ || tsSheets_->count() == 0) return;
  if (tsSheets_->currentIndex() != report_->BarIndex()) {
    syncingTabs_ = true;
    tsSheets_->setCurrentIndex(report_->BarIndex());
    syncingTabs_ = false;
  }
}

// ---- keys ----

bool TfrmKyPreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentControl_ && event->type() == QEvent::Resize) {
    setGeometry(parentControl_->rect());
    return false;
  }
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget != this && !isAncestorOf(widget)) return false;
  return HandleKey(static_cast<QKeyEvent*>(event));
}

bool TfrmKyPreview::HandleKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods =
      event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  if (mods == Qt::ControlModifier) {
    switch (event->key()) {
      case Qt::Key_P:
        if (Button("btnPrint")->isEnabled()) PrintReport();
        return true;
      case Qt::Key_O:
        if (Button("btnOpenFromFile")->isEnabled()) OpenFromFile();
        return true;
      case Qt::Key_S:
        if (Button("btnSaveToFile")->isEnabled()) SaveToFile();
        return true;
      case Qt::Key_A: About(); return true;
      case Qt::Key_F: FindText(); return true;
      default: return false;
    }
  }
  switch (event->key()) {
    case Qt::Key_Home: GoTo(1); return true;
    case Qt::Key_PageUp: GoTo(2); return true;
    case Qt::Key_PageDown: GoTo(3); return true;
    case Qt::Key_End: GoTo(4); return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      QScrollBar* bar = preview_->horizontalScrollBar();
      bar->setValue(bar->value() + (event->key() == Qt::Key_Left ? -1 : 1) * bar->singleStep() * 3);
      return true;
    }
    case Qt::Key_F3: FindNext(mods & Qt::ShiftModifier); return true;
    case Qt::Key_Escape:
      if (!embedded_) close();  // an embedded preview belongs to its host
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (edNumPage_->hasFocus()) {
        GoToTypedPage();
        return true;
      }
      return false;
    default: return false;
  }
}

// ---- commands ----

void TfrmKyPreview::ShowError(const std::exception& e) {
  QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
}

void TfrmKyPreview::ReloadReport() {
  preview_->SetReport(report_);
  SetUpPages();
  preview_->viewport()->update();
}

void TfrmKyPreview::PrinterSetup() {
  auto* printer = report_ ? dynamic_cast<TQtPrinter*>(report_->Printer()) : nullptr;
  if (!printer) return;
  QPageSetupDialog dialog(&printer->Device(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  try {
    report_->PrinterSetting().ReadFromPrinter();
    report_->Prepare();  // the pages follow the new paper
  } catch (const std::exception& e) {
    ShowError(e);
  }
  ReloadReport();
}

void TfrmKyPreview::PrintReport() {
  const TKyRPreviewOutput& output = PreviewOutput();
  if (!report_ || !output.PrintWithDialog) return;
  try {
    output.PrintWithDialog(*report_);
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TfrmKyPreview::OpenFromFile() {
  const TKyRPreviewOutput& output = PreviewOutput();
  if (!report_ || !output.LoadFromFile) return;
  const int lang = report_->Language().EffectiveLanguage();
  const QString filter = DialogFilter(LoadString(lang, kStrReportFiles) + " (*.krp)|*.krp|" +
                                      LoadString(lang, kStrAllFiles));
  QFileDialog dialog(this, QString::fromStdString(LoadString(lang, kStrOpenReport)),
                     QString::fromStdString(fileName_), filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix("krp");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  fileName_ = dialog.selectedFiles().first().toStdString();
  try {
    output.LoadFromFile(*report_, fileName_);
  } catch (const std::exception& e) {
    ShowError(e);
    return;
  }
  // The scale list keeps its choice: a fit fits the new pages, a zoom stays.
  const int scale = cbScale_->currentIndex();
  const int zoom = preview_->Zoom();
  ReloadReport();
  if (scale == kScaleFitWidth || scale == kScaleFitPage) {
    SelectScale(scale);
  } else {
    preview_->SetZoom(zoom);
    ZoomChanged();
  }
}

void TfrmKyPreview::SaveToFile() {
  const TKyRPreviewOutput& output = PreviewOutput();
  if (!report_ || !output.ExportWithDialog) return;
  try {
    output.ExportWithDialog(*report_, fileName_);
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TfrmKyPreview::FindText() {
  if (!report_) return;
  preview_->FindText();
}

void TfrmKyPreview::FindNext(bool backwards) { preview_->FindNext(backwards); }

void TfrmKyPreview::About() {
  const int lang = report_ ? report_->Language().EffectiveLanguage() : 0;
  const auto str = [lang](int k) { return QString::fromStdString(LoadString(lang, k)); };
  QMessageBox box(this);
  box.setWindowTitle(str(kStrAboutCaption));
  box.setIconPixmap(PreviewGlyph(TKyRGlyph::WindowIcon).pixmap(48, 48));
  box.setText("<b>" + str(kStrAboutProduct).toHtmlEscaped() + "</b> " +
              str(kStrVersion).toHtmlEscaped());
  box.setInformativeText(str(kStrAboutText) + "\n\n" + str(kStrCopyright));
  box.exec();
}

// ---- lens ----

void TfrmKyPreview::ShowLens(bool show) {
  if (!lens_) {
    lens_ = new TfrmKyRLens(this);
    lens_->Localize(report_ ? report_->Language().EffectiveLanguage() : 0);
    lens_->SetOnVisibleChange([this](bool visible) {
      QToolButton* button = Button("btnLens");
      if (button->isChecked() != visible) button->setChecked(visible);
    });
    const QPoint corner = preview_->mapToGlobal(QPoint(preview_->width(), preview_->height()));
    lens_->move(corner - QPoint(lens_->width() + 20, lens_->height() + 20));
  }
  lens_->setVisible(show);
}

void TfrmKyPreview::LensMouseMove(QPoint pos) {
  if (!lens_ || !lens_->isVisible()) return;
  if (lens_->frameGeometry().contains(preview_->mapToGlobal(pos))) return;
  lens_->UpdateFrom(*preview_, pos);
}

// ---- installing ----

void UsePreviewWindow() {
  if (!SetupDialogFunction()) InstallSetupDialog();
  SetPreviewFunction([](TKyPrintBaseComponent& report, QWidget* parentControl) {
    if (parentControl) {
      auto* window = new TfrmKyPreview(&report, parentControl);
      window->setAttribute(Qt::WA_DeleteOnClose);
      window->show();
      return;
    }
    TfrmKyPreview window(&report);
    window.setWindowState(Qt::WindowMaximized);
    window.exec();
  });
}

}  // namespace hy
