#include "ui/KyRPESet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QToolButton>

#include "export/KyRExportIcon.h"
#include "export/KyRExportTypes.h"
#include "platform/gdi/Fonts.h"
#include "platform/printer/QtPrinter.h"
#include "report/KyRDMan.h"
#include "ui/KyNumEd.h"

namespace hy {

namespace {

// Setup dialog strings, numbered from kStrSetupFirst.
enum : int {
  kSetupPrintCaption = kStrSetupFirst,  // 2150
  kSetupExportCaption,
  kSetupProperty,
  kSetupCopies,
  kSetupCollate,
  kSetupPageRange,
  kSetupAll,
  kSetupCurrent,
  kSetupEven,
  kSetupOdd,
  kSetupPages,
  kSetupPrompt,
  kSetupSaveAs,
  kSetupSeparate,
  kSetupKrpType,  // 2164
};

// A list item drawn as the dialog wants it: glyph at (glyphX, glyphY) from
// the item's corner, text at left + 24, top + 1.
class TGlyphItemDelegate : public QStyledItemDelegate {
public:
  TGlyphItemDelegate(int itemHeight, int glyphX, int glyphY, QObject* parent)
      : QStyledItemDelegate(parent), height_(itemHeight), glyphX_(glyphX), glyphY_(glyphY) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const bool enabled = index.flags() & Qt::ItemIsEnabled;
    p->fillRect(option.rect, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    const QIcon icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
    if (!icon.isNull()) {
      const QSize size = option.decorationSize.isValid() ? option.decorationSize : QSize(16, 16);
      icon.paint(p, QRect(option.rect.topLeft() + QPoint(glyphX_, glyphY_), size),
                 Qt::AlignLeft | Qt::AlignTop, enabled ? QIcon::Normal : QIcon::Disabled);
    }
    p->setPen(option.palette.color(enabled ? QPalette::Normal : QPalette::Disabled,
                                   selected ? QPalette::HighlightedText : QPalette::Text));
    p->setFont(option.font);
    p->drawText(option.rect.adjusted(24, 1, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                index.data(Qt::DisplayRole).toString());
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width() + 24, height_};
  }

private:
  int height_, glyphX_, glyphY_;
};

QString Text(int language, int k) { return QString::fromStdString(LoadString(language, k)); }

template <class W>
W* Place(W* w, int x, int y, int width, int height) {
  w->setGeometry(x, y, width, height);
  return w;
}

QFrame* BevelPanel(QWidget* parent) {
  auto* f = new QFrame(parent);
  f->setFrameStyle(QFrame::Panel | QFrame::Raised);
  f->setLineWidth(2);
  return f;
}

// "Text|*.TXT|All files (*.*)|*.*" as Qt's "Text (*.TXT);;All files (*.*)".
QStringList QtFilters(const std::string& pipeFilter) {
  const QStringList parts = QString::fromStdString(pipeFilter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString pattern = parts[i + 1];
    out << (parts[i].contains("(" + pattern + ")") ? parts[i] : parts[i] + " (" + pattern + ")");
  }
  return out;
}

bool RunQtPrinterSetup(TPlatformPrinter& printer, QWidget* parent) {
  auto* qt = dynamic_cast<TQtPrinter*>(&printer);
  if (!qt) return false;
  QPrintDialog dialog(&qt->Device(), parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  // The dialog changed the Qt printer; the platform printer follows it.
  qt->SetPrinterIndex(qt->IndexOf(qt->Device().printerName().toStdString()));
  return true;
}

std::string RunSaveDialog(QWidget* parent, const std::string& title, const std::string& filter,
                          const std::string& defaultExt, const std::string& name) {
  QFileDialog dialog(parent, QString::fromStdString(title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(QtFilters(filter));
  dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
  dialog.selectFile(QString::fromStdString(name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace

QPixmap PrinterGlyph() {
  QPixmap pm(18, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QColor(64, 64, 64));
  p.setBrush(Qt::white);
  p.drawRect(5, 0, 8, 6);  // paper going in
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(1, 5, 16, 7);  // body
  p.setBrush(Qt::white);
  p.drawRect(4, 10, 10, 5);  // paper coming out
  p.setPen(QColor(0, 160, 0));
  p.drawPoint(14, 7);
  return pm;
}

QPixmap KrpGlyph() { return QPixmap::fromImage(ExportTypeGlyph("KRP", 16)); }

std::string ChangeFileExt(const std::string& name, const std::string& extension) {
  const size_t slash = name.find_last_of("/\\");
  const size_t dot = name.rfind('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExt ? name.substr(0, dot) : name) + "." + extension;
}

TfrmPrintSetup::TfrmPrintSetup(TPlatformPrinter* printer, QWidget* parent)
    : QDialog(parent), printer_(printer) {
  printerSetup_ = RunQtPrinterSetup;
  saveDialog_ = [this](const std::string& t, const std::string& f, const std::string& e,
                       const std::string& n) { return RunSaveDialog(this, t, f, e, n); };
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);
  setFont(ToQFont(TFont("MS Sans Serif", -11)));
  BuildControls();
  SetTabOrder();

  if (printer_) {
    createdPrinterIndex_ = printer_->PrinterIndex();
    for (const std::string& name : printer_->Printers())
      cbPrinterName_->addItem(QIcon(PrinterGlyph()), QString::fromStdString(name));
    cbPrinterName_->setCurrentIndex(printer_->IndexOf(printer_->DeviceName()));
  }
  SetExportMode(false);
}

TfrmPrintSetup::~TfrmPrintSetup() = default;

void TfrmPrintSetup::BuildControls() {
  pnlExport_ = Place(BevelPanel(this), 8, 8, 273, 85);
  lblExportType_ = Place(new QLabel(pnlExport_), 3, 12, 70, 13);
  lblExportType_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  cbExportType_ = Place(new QComboBox(pnlExport_), 75, 8, 190, 24);
  cbExportType_->setItemDelegate(new TGlyphItemDelegate(18, 1, 1, cbExportType_));
  cbExportType_->setIconSize(QSize(16, 16));
  lblFileName_ = Place(new QLabel(pnlExport_), 3, 40, 70, 13);
  lblFileName_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  edFileName_ = Place(new QLineEdit("REPORT", pnlExport_), 75, 36, 190, 21);
  lblFileName_->setBuddy(edFileName_);
  pnlFileName_ = Place(new QToolButton(pnlExport_), 244, 38, 19, 17);
  pnlFileName_->setText("...");
  QFont bold = font();
  bold.setBold(true);
  bold.setPointSize(10);
  pnlFileName_->setFont(bold);
  cbSeparateFile_ = Place(new QCheckBox(pnlExport_), 24, 62, 241, 17);

  pnlPrinter_ = Place(BevelPanel(this), 8, 8, 273, 85);
  cbPrinterName_ = Place(new QComboBox(pnlPrinter_), 8, 8, 257, 22);
  cbPrinterName_->setItemDelegate(new TGlyphItemDelegate(16, 2, 0, cbPrinterName_));
  cbPrinterName_->setIconSize(QSize(18, 16));
  lblCopy_ = Place(new QLabel(pnlPrinter_), 8, 41, 50, 13);
  lblCopy_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  edCopy_ = Place(new TKyNumberEdit(pnlPrinter_), 64, 38, 40, 21);
  edCopy_->SetIntegerOnly(true);
  edCopy_->SetMinValue(1);
  edCopy_->SetMaxValue(999999999);
  edCopy_->SetValue(1);
  lblCopy_->setBuddy(edCopy_);
  btnPrinter_ = Place(new QPushButton(pnlPrinter_), 190, 34, 75, 25);
  cbCollate_ = Place(new QCheckBox(pnlPrinter_), 24, 62, 97, 17);

  gbPageRange_ = Place(new QGroupBox(this), 8, 100, 273, 153);
  rbAll_ = Place(new QRadioButton(gbPageRange_), 8, 16, 113, 17);
  rbAll_->setChecked(true);
  rbCurrent_ = Place(new QRadioButton(gbPageRange_), 8, 32, 113, 17);
  rbEven_ = Place(new QRadioButton(gbPageRange_), 8, 48, 113, 17);
  rbOdd_ = Place(new QRadioButton(gbPageRange_), 8, 64, 113, 17);
  rbRange_ = Place(new QRadioButton(gbPageRange_), 8, 80, 73, 17);
  edPages_ = Place(new QLineEdit(gbPageRange_), 82, 78, 183, 21);
  lblPrompt_ = Place(new QLabel(gbPageRange_), 8, 100, 257, 50);
  lblPrompt_->setWordWrap(true);
  lblPrompt_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  btnOk_ = Place(new QPushButton(this), 300, 16, 70, 25);
  btnOk_->setDefault(true);
  btnCancel_ = Place(new QPushButton(this), 300, 43, 70, 25);
  auto* bvlButtons = Place(new QFrame(this), 290, 4, 10, 250);
  bvlButtons->setFrameStyle(QFrame::VLine | QFrame::Sunken);

  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnPrinter_, &QPushButton::clicked, this, [this] { PrinterProperties(); });
  connect(pnlFileName_, &QToolButton::clicked, this, [this] { ChooseFileName(); });
  connect(cbExportType_, qOverload<int>(&QComboBox::activated), this,
          [this](int) { ExportTypeChanged(); });
  connect(rbRange_, &QRadioButton::clicked, this, [this] { edPages_->setFocus(); });
  edPages_->installEventFilter(this);
}

void TfrmPrintSetup::SetTabOrder() {
  // The page range first, then Cancel, OK, the export and the printer panel.
  QWidget* chain[] = {rbAll_,         rbCurrent_,  rbEven_,      rbOdd_,
                      rbRange_,       edPages_,    btnCancel_,   btnOk_,
                      cbExportType_,  edFileName_, pnlFileName_, cbSeparateFile_,
                      cbPrinterName_, edCopy_,     btnPrinter_,  cbCollate_};
  for (size_t i = 0; i + 1 < std::size(chain); ++i) setTabOrder(chain[i], chain[i + 1]);
}

void TfrmPrintSetup::SetExportMode(bool exportMode) {
  exportMode_ = exportMode;
  pnlExport_->setVisible(exportMode);
  pnlPrinter_->setVisible(!exportMode);
}

void TfrmPrintSetup::Localize() {
  const int l = language_;
  setWindowTitle(Text(l, exportMode_ ? kSetupExportCaption : kSetupPrintCaption));
  btnPrinter_->setText(Text(l, kSetupProperty));
  lblCopy_->setText(Text(l, kSetupCopies));
  cbCollate_->setText(Text(l, kSetupCollate));
  gbPageRange_->setTitle(Text(l, kSetupPageRange));
  rbAll_->setText(Text(l, kSetupAll));
  rbCurrent_->setText(Text(l, kSetupCurrent));
  rbEven_->setText(Text(l, kSetupEven));
  rbOdd_->setText(Text(l, kSetupOdd));
  rbRange_->setText(Text(l, kSetupPages));
  lblPrompt_->setText(Text(l, kSetupPrompt).replace("%s", "\n"));
  lblExportType_->setText(Text(l, kSetupSaveAs));
  lblFileName_->setText(Text(l, kStrFile) + ":");
  cbSeparateFile_->setText(Text(l, kSetupSeparate));
  btnOk_->setText(Text(l, kStrOK));
  btnCancel_->setText(Text(l, kStrCancel));
}

void TfrmPrintSetup::SelectPrinter(const std::string& name, int32_t index) {
  int entry = -1;
  if (!name.empty())
    entry = cbPrinterName_->findText(QString::fromStdString(name), Qt::MatchExactly);
  else if (index >= 0 && index < cbPrinterName_->count()) entry = index;
  if (entry < 0 && printer_) entry = printer_->IndexOf(printer_->DeviceName());
  cbPrinterName_->setCurrentIndex(entry);
}

void TfrmPrintSetup::FillExportTypes() {
  cbExportType_->clear();
  cbExportType_->addItem(QIcon(KrpGlyph()), Text(language_, kSetupKrpType));
  auto* model = qobject_cast<QStandardItemModel*>(cbExportType_->model());
  for (const TKyRExportType& t : KyRExportTypes()) {
    cbExportType_->addItem(t.DescriptionId >= 1 ? Text(language_, t.DescriptionId)
                                                : QString::fromStdString(t.Description));
    if (!t.Available() && model) model->item(cbExportType_->count() - 1)->setEnabled(false);
  }
  iconsAdded_ = false;
  if (isVisible()) AddExportIcons();
  cbExportType_->setCurrentIndex(0);
  ExportTypeChanged();
}

void TfrmPrintSetup::AddExportIcons() {
  if (iconsAdded_ || !exportMode_) return;
  const auto& types = KyRExportTypes();
  for (int i = 1; i < cbExportType_->count() && i - 1 < int(types.size()); ++i)
    cbExportType_->setItemIcon(i, ExportTypeIcon(types[size_t(i - 1)]));
  iconsAdded_ = true;
}

void TfrmPrintSetup::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  AddExportIcons();
}

void TfrmPrintSetup::SetFileName(const std::string& name) {
  edFileName_->setText(QString::fromStdString(name));
  ExportTypeChanged();
}

void TfrmPrintSetup::ExportTypeChanged() {
  cbSeparateFile_->setEnabled(true);
  const int i = cbExportType_->currentIndex();
  const auto& types = KyRExportTypes();
  const std::string ext =
      i >= 1 && i - 1 < int(types.size()) ? types[size_t(i - 1)].Extension : "KRP";
  edFileName_->setText(
      QString::fromStdString(ChangeFileExt(edFileName_->text().toStdString(), ext)));
}

std::string TfrmPrintSetup::SaveDialogFilter() const {
  const int i = cbExportType_->currentIndex();
  const auto& types = KyRExportTypes();
  const std::string all = LoadString(language_, kStrAllFiles);
  if (i >= 1 && i - 1 < int(types.size())) {
    const TKyRExportType& t = types[size_t(i - 1)];
    const std::string filter = t.FilterId >= 1 ? LoadString(language_, t.FilterId) : t.Filter;
    return filter + "|*." + t.Extension + "|" + all;
  }
  return cbExportType_->itemText(0).toStdString() + " (*.krp)|*.KRP|" + all;
}

std::string TfrmPrintSetup::SaveDialogDefaultExt() const {
  const int i = cbExportType_->currentIndex();
  const auto& types = KyRExportTypes();
  return i >= 1 && i - 1 < int(types.size()) ? types[size_t(i - 1)].Extension : "KRP";
}

void TfrmPrintSetup::ChooseFileName() {
  if (!saveDialog_) return;
  const std::string chosen = saveDialog_(LoadString(language_, kStrSavePage), SaveDialogFilter(),
                                         SaveDialogDefaultExt(), edFileName_->text().toStdString());
  if (!chosen.empty()) edFileName_->setText(QString::fromStdString(chosen));
}

void TfrmPrintSetup::PrinterProperties() {
  if (!printer_ || !printerSetup_) return;
  printerSetup_(*printer_, this);
  cbPrinterName_->setCurrentIndex(printer_->IndexOf(printer_->DeviceName()));
}

TKySetupChoice TfrmPrintSetup::Choice() const {
  TKySetupChoice c;
  c.Range = rbRange_->isChecked()     ? prRange
            : rbCurrent_->isChecked() ? prCurrent
            : rbEven_->isChecked()    ? prEven
            : rbOdd_->isChecked()     ? prOdd
                                      : prAll;
  c.PagesText = edPages_->text().toStdString();
  c.PrinterIndex = cbPrinterName_->currentIndex();
  try {
    c.Copies = static_cast<int32_t>(edCopy_->Value());
  } catch (const Exception&) {
    c.Copies = 0;
  }
  c.Collate = cbCollate_->isChecked();
  c.ExportTypeIndex = cbExportType_->currentIndex() < 0 ? 0 : cbExportType_->currentIndex();
  c.FileName = edFileName_->text().toStdString();
  c.SeparateFiles = cbSeparateFile_->isChecked();
  return c;
}

void TfrmPrintSetup::accept() {
  // A copy count out of range is refused here too: OK may be pressed with
  // the focus still in the edit.
  if (!exportMode_ && !edCopy_->ValidateOnLeave()) return;
  QDialog::accept();
}

void TfrmPrintSetup::done(int result) {
  // Anything but OK takes back a printer chosen through "Property...".
  if (result != QDialog::Accepted && printer_) printer_->SetPrinterIndex(createdPrinterIndex_);
  QDialog::done(result);
}

bool TfrmPrintSetup::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edPages_ && event->type() == QEvent::MouseButtonPress) rbRange_->setChecked(true);
  return QDialog::eventFilter(watched, event);
}

void InstallSetupDialog() {
  SetSetupDialogFunction([](const TKySetupRequest& request, TKySetupChoice& choice) {
    TfrmPrintSetup dialog(request.Printer, QApplication::activeWindow());
    dialog.SetExportMode(request.ExportMode);
    dialog.SetLanguage(request.Language);
    dialog.Localize();
    if (request.ExportMode) {
      dialog.FillExportTypes();
      if (!request.FileName.empty()) dialog.SetFileName(request.FileName);
    } else {
      dialog.SelectPrinter(request.PrinterName, request.PrinterIndex);
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    choice = dialog.Choice();
    return true;
  });
}

}  // namespace hy
