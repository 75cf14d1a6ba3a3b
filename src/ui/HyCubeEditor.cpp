#include "ui/HyCubeEditor.h"

#include <algorithm>
#include <climits>

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "cube/HyMap.h"
#include "cube/HyStore.h"
#include "pivot/HyDBCube.h"

namespace hy {
namespace {

// The combo boxes list their texts in the order of the enumerations.
const char* const kActiveTexts[] = {"Active", "As Needed", "Inactive"};
const char* const kGroupingTexts[] = {"None", "Year", "Quarter", "Month", "Week", "Single Value"};
const char* const kTypeTexts[] = {"Dimension", "Sum", "Count", "Average", "Min", "Max", "Derived"};
const char* const kAlignTexts[] = {"Left", "Right", "Center"};

const QDate kDayZero(1899, 12, 30);

template <size_t N>
QComboBox* Combo(const char* const (&texts)[N], QWidget* parent) {
  auto* box = new QComboBox(parent);
  for (const char* t : texts) box->addItem(t);
  return box;
}

uint64_t SatMul(uint64_t a, uint64_t b) {
  if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
  return a * b;
}

QString Thousands(uint64_t n) {
  return QLocale(QLocale::English).toString(static_cast<qulonglong>(n));
}

}  // namespace

TCubeEstimate EstimateCube(const THyMap& map, int32_t maxDimensions, int32_t maxSummaries,
                           uint64_t maxCells) {
  TCubeEstimate e;
  std::vector<bool> taken(map.Count(), false);
  auto consider = [&](int i) {
    const THyMapItem& item = *map.Items(i);
    if (item.IsDimension()) {
      const uint64_t n = item.ValueCount() ? item.ValueCount() : 50;
      const uint64_t cells = SatMul(e.cells, n);
      if (e.dimensions >= maxDimensions || SatMul(cells, std::max(e.summaries, 0)) > maxCells)
        return;
      e.cells = cells;
      ++e.dimensions;
    } else {
      if (e.summaries >= maxSummaries || SatMul(e.cells, e.summaries + 1) > maxCells) return;
      ++e.summaries;
    }
    taken[i] = true;
  };
  // Items set to Active first, then summaries, then dimensions, in map order.
  for (int i = 0; i < map.Count(); ++i)
    if (map.Items(i)->ActiveFlag() == diActive) consider(i);
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < map.Count(); ++i) {
      const THyMapItem& item = *map.Items(i);
      if (item.ActiveFlag() == diAsNeeded && item.IsSummary() == (pass == 0)) consider(i);
    }
  for (int i = 0; i < map.Count(); ++i)
    if (!taken[i] && map.Items(i)->ActiveFlag() != diInactive) ++e.leftOut;
  e.memoryBytes = SatMul(SatMul(e.cells, std::max(e.summaries, 1)), 8);
  return e;
}

THyCubeEditor::THyCubeEditor(const THyCustomStore& cube, QWidget* parent)
    : QDialog(parent), scratch_(std::make_unique<THyCube>()) {
  setWindowTitle(kCaption);
  setObjectName("HyCubeEditor");
  scratch_->SetMaxDimensions(cube.MaxDimensions());
  scratch_->SetMaxSummaries(cube.MaxSummaries());
  scratch_->SetMaxCells(cube.MaxCells());
  scratch_->DimensionMap().Assign(cube.DimensionMap());

  tabs_ = new QTabWidget(this);
  tabs_->addTab(CreateDimensionPage(), "Dimension Settings");
  tabs_->addTab(CreateMemoryPage(), "Memory Control");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);

  const THyMap& map = scratch_->DimensionMap();
  for (int i = 0; i < map.Count(); ++i)
    fields_->addItem(QString::fromStdString(map.Items(i)->DisplayName()));
  connect(fields_, &QListWidget::currentRowChanged, this, [this](int row) { ShowItem(row); });
  if (map.Count() > 0) fields_->setCurrentRow(0);
  else ShowItem(-1);
  UpdateEstimate();
  resize(520, 360);
}

THyCubeEditor::~THyCubeEditor() = default;

QWidget* THyCubeEditor::CreateDimensionPage() {
  auto* page = new QWidget(this);
  fields_ = new QListWidget(page);
  fields_->setObjectName("FieldList");
  fields_->setMinimumWidth(160);
  name_ = new QLineEdit(page);
  active_ = Combo(kActiveTexts, page);
  grouping_ = Combo(kGroupingTexts, page);
  // The cube cannot group by a value set yet.
  if (auto* model = qobject_cast<QStandardItemModel*>(grouping_->model()))
    model->item(binSet)->setEnabled(false);
  type_ = Combo(kTypeTexts, page);
  format_ = new QLineEdit(page);
  start_ = new QDateEdit(page);
  start_->setDisplayFormat("yyyy-MM-dd");
  start_->setCalendarPopup(true);
  start_->setMinimumDate(kDayZero);
  align_ = Combo(kAlignTexts, page);
  width_ = new QSpinBox(page);
  width_->setRange(0, 10000);

  auto* form = new QFormLayout;
  form->addRow("Display name:", name_);
  form->addRow("Active type:", active_);
  form->addRow("Grouping:", grouping_);
  form->addRow("Type:", type_);
  form->addRow("Format:", format_);
  form->addRow("Initial value:", start_);
  form->addRow("Alignment:", align_);
  form->addRow("Width:", width_);
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel("Fields:", page));
  left->addWidget(fields_);
  auto* row = new QHBoxLayout(page);
  row->addLayout(left);
  row->addLayout(form, 1);

  auto store = [this] { StoreItem(); };
  connect(name_, &QLineEdit::textEdited, this, store);
  connect(format_, &QLineEdit::textEdited, this, store);
  for (QComboBox* box : {active_, grouping_, type_, align_})
    connect(box, &QComboBox::currentIndexChanged, this, store);
  connect(start_, &QDateEdit::dateChanged, this, store);
  connect(width_, &QSpinBox::valueChanged, this, store);
  return page;
}

QWidget* THyCubeEditor::CreateMemoryPage() {
  auto* page = new QWidget(this);
  maxDims_ = new QSpinBox(page);
  maxDims_->setRange(1, TCommonDataStore::kMaxDimensionsLimit);
  maxDims_->setValue(scratch_->MaxDimensions());
  maxSums_ = new QSpinBox(page);
  maxSums_->setRange(1, 1000);
  maxSums_->setValue(scratch_->MaxSummaries());
  maxCells_ = new QSpinBox(page);
  maxCells_->setRange(1, INT_MAX);
  maxCells_->setGroupSeparatorShown(true);
  maxCells_->setValue(static_cast<int>(std::min<uint32_t>(scratch_->MaxCells(), INT_MAX)));
  estimate_ = new QLabel(page);
  estimate_->setObjectName("Estimate");
  estimate_->setWordWrap(true);
  auto* form = new QFormLayout(page);
  form->addRow("Maximum dimensions:", maxDims_);
  form->addRow("Maximum summaries:", maxSums_);
  form->addRow("Maximum cells:", maxCells_);
  form->addRow("Capacity plan:", estimate_);
  for (QSpinBox* box : {maxDims_, maxSums_, maxCells_})
    connect(box, &QSpinBox::valueChanged, this, [this] {
      scratch_->SetMaxDimensions(maxDims_->value());
      scratch_->SetMaxSummaries(maxSums_->value());
      scratch_->SetMaxCells(static_cast<uint32_t>(maxCells_->value()));
      UpdateEstimate();
    });
  return page;
}

const THyMap& THyCubeEditor::Map() const { return scratch_->DimensionMap(); }

void THyCubeEditor::ApplyTo(THyCube& cube) const {
  cube.SetMaxDimensions(scratch_->MaxDimensions());
  cube.SetMaxSummaries(scratch_->MaxSummaries());
  cube.SetMaxCells(scratch_->MaxCells());
  cube.DimensionMap().Assign(scratch_->DimensionMap());
}

void THyCubeEditor::SelectItem(int index) { fields_->setCurrentRow(index); }

void THyCubeEditor::ShowItem(int index) {
  const THyMap& map = scratch_->DimensionMap();
  const THyMapItem* item = index >= 0 && index < map.Count() ? map.Items(index) : nullptr;
  filling_ = true;
  for (QWidget* w : std::initializer_list<QWidget*>{name_, active_, grouping_, type_, format_,
                                                    start_, align_, width_})
    w->setEnabled(item != nullptr);
  if (item) {
    name_->setText(QString::fromStdString(item->Name()));
    active_->setCurrentIndex(item->ActiveFlag());
    grouping_->setCurrentIndex(item->BinType() <= binSet ? item->BinType() : 0);
    type_->setCurrentIndex(item->DimensionType());
    format_->setText(QString::fromStdString(item->Format()));
    start_->setDate(kDayZero.addDays(static_cast<qint64>(item->StartDate())));
    align_->setCurrentIndex(item->Alignment());
    width_->setValue(item->Width());
    // Grouping and its start mean something for dimensions only.
    grouping_->setEnabled(item->IsDimension());
    start_->setEnabled(item->IsDimension() && item->BinType() != binNone);
  }
  filling_ = false;
}

void THyCubeEditor::StoreItem() {
  if (filling_) return;
  const int index = fields_->currentRow();
  THyMap& map = scratch_->DimensionMap();
  if (index < 0 || index >= map.Count()) return;
  THyMapItem& item = *map.Items(index);
  item.SetName(name_->text().toStdString());
  item.SetActiveFlag(static_cast<TActiveFlags>(active_->currentIndex()));
  item.SetDimensionType(static_cast<TDimFlags>(type_->currentIndex()));
  item.SetBinType(item.IsDimension() ? static_cast<TBinType>(grouping_->currentIndex()) : binNone);
  item.SetFormat(format_->text().toStdString());
  if (item.BinType() != binNone) item.SetStartDate(kDayZero.daysTo(start_->date()));
  item.SetAlignment(static_cast<TAlignment>(align_->currentIndex()));
  item.SetWidth(width_->value());
  fields_->item(index)->setText(QString::fromStdString(item.DisplayName()));
  ShowItem(index);  // enables what the new type and grouping allow
  UpdateEstimate();
}

void THyCubeEditor::UpdateEstimate() {
  const TCubeEstimate e = EstimateCube(scratch_->DimensionMap(), scratch_->MaxDimensions(),
                                       scratch_->MaxSummaries(), scratch_->MaxCells());
  QString text = QString("%1 %2 and %3 %4 active\n%5 cells, about %6 KB of memory")
                     .arg(e.dimensions)
                     .arg(e.dimensions == 1 ? "dimension" : "dimensions")
                     .arg(e.summaries)
                     .arg(e.summaries == 1 ? "summary" : "summaries")
                     .arg(Thousands(e.cells))
                     .arg(Thousands((e.memoryBytes + 1023) / 1024));
  if (e.leftOut > 0) text += QString("\n%1 items stay inactive within these limits").arg(e.leftOut);
  estimate_->setText(text);
}

void THyCubeEditor::accept() {
  const THyMap& map = scratch_->DimensionMap();
  for (int i = 0; i < map.Count(); ++i) {
    const std::string& name = map.Items(i)->Name();
    QString fault;
    if (name.empty()) fault = "Every item needs a display name.";
    else if (map.FindItem(name) != map.Items(i))
      fault = QString("Two items are named \"%1\".").arg(QString::fromStdString(name));
    if (!fault.isEmpty()) {
      SelectItem(i);
      QMessageBox::warning(this, kCaption, fault);
      return;
    }
  }
  QDialog::accept();
}

}  // namespace hy
