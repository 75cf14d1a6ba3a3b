#include "ui/OpenTable.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/Exceptions.h"
#include "cube/HyMap.h"
#include "cube/HyMapProposal.h"
#include "platform/db/SqliteCatalog.h"

namespace hy {

// Closing the dialog takes the focus from the file field, whose signal would
// then reach this half-destroyed dialog.
TOpenTableDialog::~TOpenTableDialog() { fileEdit_->disconnect(this); }

TOpenTableDialog::TOpenTableDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Open Table");
  auto* layout = new QVBoxLayout(this);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(new QLabel("Database file:"));
  fileEdit_ = new QLineEdit;
  fileRow->addWidget(fileEdit_, 1);
  auto* browse = new QPushButton("Browse...");
  fileRow->addWidget(browse);
  layout->addLayout(fileRow);

  layout->addWidget(new QLabel("Tables and views:"));
  tables_ = new QTableWidget(0, 3);
  tables_->setHorizontalHeaderLabels({"Name", "Kind", "Rows"});
  tables_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tables_->setSelectionMode(QAbstractItemView::SingleSelection);
  tables_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tables_->verticalHeader()->hide();
  tables_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  layout->addWidget(tables_, 1);

  message_ = new QLabel;
  message_->setWordWrap(true);
  message_->setStyleSheet("color: #b00000");
  message_->hide();
  layout->addWidget(message_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  okButton_ = buttons->button(QDialogButtonBox::Ok);
  layout->addWidget(buttons);
  resize(520, 360);

  connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
  connect(fileEdit_, &QLineEdit::editingFinished, this, [this] {
    if (fileEdit_->text() != listedFile_) SetFile(fileEdit_->text());
  });
  connect(tables_, &QTableWidget::itemSelectionChanged, this, [this] { UpdateOk(); });
  connect(tables_, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
  UpdateOk();
}

void TOpenTableDialog::Browse() {
  const QString file =
      QFileDialog::getOpenFileName(this, "Open Table", fileEdit_->text(),
                                   "SQLite databases (*.db *.sqlite *.sqlite3);;All files (*)");
  if (!file.isEmpty()) SetFile(file);
}

void TOpenTableDialog::SetFile(const QString& fileName) {
  fileEdit_->setText(fileName);
  listedFile_ = fileName;
  tables_->setRowCount(0);
  ShowMessage(QString());
  try {
    const std::vector<TTableEntry> entries = ListSqliteTables(fileName.toStdString());
    tables_->setRowCount(static_cast<int>(entries.size()));
    const QLocale locale;
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
      const TTableEntry& e = entries[i];
      tables_->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(e.name)));
      tables_->setItem(i, 1, new QTableWidgetItem(e.isView ? "view" : "table"));
      auto* rows = new QTableWidgetItem(e.rowCount < 0 ? QString("?")
                                                       : locale.toString(qlonglong(e.rowCount)));
      rows->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      tables_->setItem(i, 2, rows);
    }
    if (!entries.empty()) tables_->selectRow(0);
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()));
  }
  UpdateOk();
}

bool TOpenTableDialog::SelectTable(const QString& name) {
  for (int i = 0; i < tables_->rowCount(); ++i) {
    if (tables_->item(i, 0)->text() == name) {
      tables_->selectRow(i);
      return true;
    }
  }
  return false;
}

void TOpenTableDialog::ShowMessage(const QString& text) {
  message_->setText(text);
  message_->setVisible(!text.isEmpty());
}

void TOpenTableDialog::UpdateOk() { okButton_->setEnabled(!tables_->selectedItems().isEmpty()); }

void TOpenTableDialog::accept() {
  const QList<QTableWidgetItem*> selected = tables_->selectedItems();
  if (selected.isEmpty()) return;
  TSourceChoice choice;
  choice.kind = TSourceChoice::scTable;
  choice.fileName = listedFile_.toStdString();
  choice.tableName = tables_->item(selected.front()->row(), 0)->text().toStdString();
  // The table must open and offer a cube something to lay out.
  try {
    std::unique_ptr<TDataSet> table = OpenSourceChoice(choice, nullptr);
    table->Open();
    THyMap map(nullptr);
    if (!ProposeDimensionMap(*table, map)) {
      ShowMessage(
          QString("Table '%1' has no field a cube can use: it needs a text, Boolean or date "
                  "field for the dimensions.")
              .arg(QString::fromStdString(choice.tableName)));
      return;
    }
  } catch (const std::exception& e) {
    ShowMessage(QString::fromUtf8(e.what()));
    return;
  }
  choice_ = choice;
  QDialog::accept();
}

std::optional<TSourceChoice> ChooseSqliteTable(QWidget* parent, const QString& startFile) {
  TOpenTableDialog dialog(parent);
  if (!startFile.isEmpty()) dialog.SetFile(startFile);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

}  // namespace hy
