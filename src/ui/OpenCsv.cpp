#include "ui/OpenCsv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/ScopeGuard.h"

namespace hy {

namespace {

constexpr int64_t kSampleBytes = 1 << 20;
constexpr int kPreviewRows = 20;

const struct {
  const char* text;
  char value;
} kSeparators[] = {{"Comma ,", ','}, {"Semicolon ;", ';'}, {"Tab", '\t'}, {"Pipe |", '|'}};

const struct {
  const char* text;
  char value;
} kQuotes[] = {{"Double quote \"", '"'}, {"Single quote '", '\''}, {"None", 0}};

const TCsvType kTypes[] = {TCsvType::Integer, TCsvType::Float,    TCsvType::Currency,
                           TCsvType::Date,    TCsvType::DateTime, TCsvType::Text};

QString DateOrderText(TCsvDateOrder order) {
  switch (order) {
    case TCsvDateOrder::YMD: return "year-month-day";
    case TCsvDateOrder::DMY: return "day.month.year";
    case TCsvDateOrder::MDY: return "month/day/year";
  }
  return QString();
}

template <class Table, class T>
int IndexOf(const Table& table, T value) {
  int i = 0;
  for (const auto& entry : table) {
    if (entry.value == value) return i;
    ++i;
  }
  return 0;
}

}  // namespace

// Closing the dialog takes the focus from the file field, whose signal would
// then reach this half-destroyed dialog.
TOpenCsvDialog::~TOpenCsvDialog() { fileEdit_->disconnect(this); }

TOpenCsvDialog::TOpenCsvDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Open CSV");
  auto* layout = new QVBoxLayout(this);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(new QLabel("File:"));
  fileEdit_ = new QLineEdit;
  fileRow->addWidget(fileEdit_, 1);
  auto* browse = new QPushButton("Browse...");
  fileRow->addWidget(browse);
  layout->addLayout(fileRow);

  auto* settingsRow = new QHBoxLayout;
  auto* left = new QFormLayout;
  auto* right = new QFormLayout;
  separator_ = new QComboBox;
  for (const auto& s : kSeparators) separator_->addItem(s.text);
  quote_ = new QComboBox;
  for (const auto& q : kQuotes) quote_->addItem(q.text);
  encoding_ = new QComboBox;
  encoding_->addItem(CsvEncodingName(TCsvEncoding::Utf8));
  encoding_->addItem(CsvEncodingName(TCsvEncoding::Cp1252));
  decimal_ = new QComboBox;
  decimal_->addItem("Point .");
  decimal_->addItem("Comma ,");
  header_ = new QCheckBox("First line holds the field names");
  left->addRow("Separator:", separator_);
  left->addRow("Quote:", quote_);
  right->addRow("Encoding:", encoding_);
  right->addRow("Decimal separator:", decimal_);
  settingsRow->addLayout(left);
  settingsRow->addLayout(right);
  layout->addLayout(settingsRow);
  layout->addWidget(header_);

  layout->addWidget(new QLabel("Columns:"));
  columns_ = new QTableWidget(0, 3);
  columns_->setHorizontalHeaderLabels({"Field", "Type", "Dates"});
  columns_->verticalHeader()->hide();
  columns_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  columns_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  layout->addWidget(columns_, 3);

  layout->addWidget(new QLabel("Preview:"));
  preview_ = new QTableWidget(0, 0);
  preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  layout->addWidget(preview_, 3);

  message_ = new QLabel;
  message_->setWordWrap(true);
  message_->hide();
  layout->addWidget(message_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  okButton_ = buttons->button(QDialogButtonBox::Ok);
  okButton_->setEnabled(false);
  layout->addWidget(buttons);
  resize(660, 640);

  connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
  connect(fileEdit_, &QLineEdit::editingFinished, this, [this] {
    if (fileEdit_->text() != loadedFile_) SetFile(fileEdit_->text());
  });
  for (QComboBox* box : {separator_, quote_, encoding_, decimal_})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { Redetect(); });
  connect(header_, &QCheckBox::toggled, this, [this] { Redetect(); });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
}

void TOpenCsvDialog::Browse() {
  const QString file = QFileDialog::getOpenFileName(
      this, "Open CSV", fileEdit_->text(), "CSV and TSV files (*.csv *.tsv *.txt);;All files (*)");
  if (!file.isEmpty()) SetFile(file);
}

void TOpenCsvDialog::SetFile(const QString& fileName) {
  fileEdit_->setText(fileName);
  loadedFile_ = fileName;
  sample_.clear();
  columns_->setRowCount(0);
  preview_->clear();
  preview_->setRowCount(0);
  preview_->setColumnCount(0);
  okButton_->setEnabled(false);
  try {
    sample_ = ReadCsvBytes(fileName.toStdString(), kSampleBytes + 1);
    sampleComplete_ = static_cast<int64_t>(sample_.size()) <= kSampleBytes;
    if (!sampleComplete_) {
      // Up to the last whole line: no character or record is cut short.
      sample_.resize(kSampleBytes);
      const size_t lastBreak = sample_.find_last_of('\n');
      if (lastBreak != std::string::npos) sample_.resize(lastBreak + 1);
    }
    if (sample_.empty()) throw ECsvError(fileName.toStdString() + " is empty");
    const TCsvDetection detection = DetectCsv(sample_, sampleComplete_, kPreviewRows);
    ShowSettings(detection.settings);
    Redetect();
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()), true);
  }
}

void TOpenCsvDialog::ShowSettings(const TCsvSettings& s) {
  auto restore = TValueScope(updating_, true);
  separator_->setCurrentIndex(IndexOf(kSeparators, s.separator));
  quote_->setCurrentIndex(IndexOf(kQuotes, s.quote));
  encoding_->setCurrentIndex(s.encoding == TCsvEncoding::Utf8 ? 0 : 1);
  decimal_->setCurrentIndex(s.decimalSeparator == ',' ? 1 : 0);
  header_->setChecked(s.header);
}

TCsvSettings TOpenCsvDialog::Settings() const {
  TCsvSettings s;
  s.separator = kSeparators[std::max(0, separator_->currentIndex())].value;
  s.quote = kQuotes[std::max(0, quote_->currentIndex())].value;
  s.encoding = encoding_->currentIndex() == 1 ? TCsvEncoding::Cp1252 : TCsvEncoding::Utf8;
  s.decimalSeparator = decimal_->currentIndex() == 1 ? ',' : '.';
  s.header = header_->isChecked();
  s.columns = shown_.columns;
  for (int c = 0; c < static_cast<int>(s.columns.size()); ++c)
    if (QComboBox* box = TypeBox(c)) s.columns[c].type = kTypes[std::max(0, box->currentIndex())];
  return s;
}

QComboBox* TOpenCsvDialog::TypeBox(int column) const {
  return qobject_cast<QComboBox*>(columns_->cellWidget(column, 1));
}

void TOpenCsvDialog::Redetect() {
  if (updating_ || sample_.empty()) return;
  TCsvSettings s = Settings();
  std::vector<std::vector<std::string>> rows;
  try {
    std::string text = DecodeCsvText(sample_, s.encoding, 1);
    DetectCsvColumns(text, s, sampleComplete_, &rows, kPreviewRows);
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()), true);
    columns_->setRowCount(0);
    preview_->setRowCount(0);
    okButton_->setEnabled(false);
    return;
  }
  ShowColumns(s, rows);
  if (s.columns.empty()) {
    ShowMessage("The file holds no records.", true);
  } else {
    ShowMessage(sampleComplete_ ? QString()
                                : "Types come from the first megabyte of the file; a later value "
                                  "that does not fit its type stops the load with its line number.",
                false);
  }
  okButton_->setEnabled(!s.columns.empty());
}

void TOpenCsvDialog::ShowColumns(const TCsvSettings& s,
                                 const std::vector<std::vector<std::string>>& rows) {
  shown_ = s;
  const int count = static_cast<int>(s.columns.size());
  columns_->setRowCount(count);
  QStringList names;
  for (int c = 0; c < count; ++c) {
    const TCsvColumn& column = s.columns[c];
    names << QString::fromStdString(column.name);
    columns_->setItem(c, 0, new QTableWidgetItem(names.back()));
    auto* box = new QComboBox;
    for (TCsvType t : kTypes) box->addItem(CsvTypeName(t));
    box->setCurrentIndex(static_cast<int>(column.type));
    columns_->setCellWidget(c, 1, box);
    const bool dated = column.type == TCsvType::Date || column.type == TCsvType::DateTime;
    columns_->setItem(c, 2,
                      new QTableWidgetItem(dated ? DateOrderText(column.dateOrder) : QString()));
  }
  columns_->resizeColumnToContents(1);
  columns_->resizeColumnToContents(2);
  preview_->clear();
  preview_->setColumnCount(count);
  preview_->setHorizontalHeaderLabels(names);
  preview_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < count && c < static_cast<int>(rows[r].size()); ++c)
      preview_->setItem(r, c, new QTableWidgetItem(QString::fromStdString(rows[r][c])));
}

void TOpenCsvDialog::ShowMessage(const QString& text, bool error) {
  message_->setText(text);
  message_->setStyleSheet(error ? "color: #b00000" : "color: #505050");
  message_->setVisible(!text.isEmpty());
}

void TOpenCsvDialog::accept() {
  if (sample_.empty() || shown_.columns.empty()) return;
  TSourceChoice choice;
  choice.kind = TSourceChoice::scCsv;
  choice.fileName = fileEdit_->text().toStdString();
  choice.csv = Settings();
  choice_ = choice;
  QDialog::accept();
}

std::optional<TSourceChoice> ChooseCsvFile(QWidget* parent, const QString& startFile) {
  TOpenCsvDialog dialog(parent);
  if (!startFile.isEmpty()) dialog.SetFile(startFile);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

}  // namespace hy
