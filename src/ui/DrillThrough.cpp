#include "ui/DrillThrough.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "common/StrUtils.h"
#include "pivot/HyDB.h"

namespace hy {

// The rows of a drill-through query, read a page at a time as the view asks.
class TDrillRowsModel : public QAbstractTableModel {
public:
  static constexpr int kPage = 500;

  explicit TDrillRowsModel(std::unique_ptr<TDrillRows> rows) : rows_(std::move(rows)) {
    total_ = rows_->Count();
    FetchPage();
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(data_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_->FieldNames().size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return QVariant();
    const Variant& v = data_[index.row()][index.column()];
    if (role == Qt::DisplayRole) return QString::fromStdString(DrillValueText(v));
    if (role == Qt::UserRole) {  // sorting: numbers as numbers, dates as days
      if (v.IsNull() || v.IsEmpty()) return QVariant();
      if (v.IsNumeric() || v.VarType() == varDate) return v.AsDouble();
      return QString::fromStdString(v.AsString());
    }
    if (role == Qt::TextAlignmentRole && (v.IsNumeric() || v.VarType() == varDate))
      return int(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Horizontal) return QString::fromStdString(rows_->FieldNames()[section]);
    return section + 1;
  }

  bool canFetchMore(const QModelIndex& parent) const override { return !parent.isValid() && more_; }
  void fetchMore(const QModelIndex& parent) override {
    if (!parent.isValid()) FetchPage();
  }

  // Reads every remaining row (before sorting: a sort covers all rows).
  void FetchAll() {
    while (more_) FetchPage();
  }

  int64_t Total() const { return total_; }
  bool More() const { return more_; }
  const QString& Error() const { return error_; }

private:
  void FetchPage() {
    if (!more_) return;
    std::vector<std::vector<Variant>> page;
    try {
      more_ = rows_->Fetch(kPage, page);
    } catch (const std::exception& e) {
      more_ = false;
      error_ = QString::fromUtf8(e.what());
    }
    if (page.empty()) return;
    const int first = static_cast<int>(data_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
    for (auto& row : page) data_.push_back(std::move(row));
    endInsertRows();
  }

  std::unique_ptr<TDrillRows> rows_;
  std::vector<std::vector<Variant>> data_;
  int64_t total_ = 0;
  bool more_ = true;
  QString error_;
};

TDrillThroughWindow::TDrillThroughWindow(QWidget* parent, std::unique_ptr<TDrillRows> rows,
                                         const QString& title)
    : QDialog(parent) {
  setWindowTitle("Drill-through: " + title);
  setAttribute(Qt::WA_DeleteOnClose);
  model_ = new TDrillRowsModel(std::move(rows));
  model_->setParent(this);
  proxy_ = new QSortFilterProxyModel(this);
  proxy_->setSourceModel(model_);
  proxy_->setSortRole(Qt::UserRole);

  auto* layout = new QVBoxLayout(this);
  view_ = new QTableView;
  view_->setModel(proxy_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // source order
  view_->horizontalHeader()->setSortIndicatorShown(true);
  view_->horizontalHeader()->setSectionsClickable(true);
  layout->addWidget(view_, 1);

  auto* bottom = new QHBoxLayout;
  count_ = new QLabel;
  bottom->addWidget(count_, 1);
  copy_ = new QPushButton("Copy");
  auto* close = new QPushButton("Close");
  bottom->addWidget(copy_);
  bottom->addWidget(close);
  layout->addLayout(bottom);
  resize(760, 420);

  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    // A sort covers every row: read the rest first.
    if (model_->More()) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      model_->FetchAll();
      QApplication::restoreOverrideCursor();
    }
    const Qt::SortOrder order = view_->horizontalHeader()->sortIndicatorOrder();
    proxy_->sort(section, order);
    UpdateCount();
  });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { UpdateCount(); });
  connect(copy_, &QPushButton::clicked, this, [this] { CopyToClipboard(); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  auto* shortcut = new QShortcut(QKeySequence::Copy, this);
  connect(shortcut, &QShortcut::activated, this, [this] { CopyToClipboard(); });
  for (int c = 0; c < model_->columnCount(QModelIndex()); ++c) view_->resizeColumnToContents(c);
  UpdateCount();
}

TDrillThroughWindow::~TDrillThroughWindow() = default;

int TDrillThroughWindow::LoadedRows() const { return model_->rowCount(QModelIndex()); }

void TDrillThroughWindow::UpdateCount() {
  const QLocale locale;
  QString text = model_->Total() == 1
                     ? QString("1 row")
                     : QString("%1 rows").arg(locale.toString(qlonglong(model_->Total())));
  if (model_->More()) text += QString(", %1 read so far").arg(locale.toString(LoadedRows()));
  if (!model_->Error().isEmpty()) text += " - " + model_->Error();
  count_->setText(text);
}

QString TDrillThroughWindow::CopyText() const {
  auto clean = [](QString s) { return s.replace('\t', ' ').replace('\r', ' ').replace('\n', ' '); };
  QStringList lines;
  QStringList header;
  const int columns = proxy_->columnCount();
  for (int c = 0; c < columns; ++c)
    header << clean(proxy_->headerData(c, Qt::Horizontal).toString());
  lines << header.join('\t');
  std::vector<int> rows;
  for (const QModelIndex& index : view_->selectionModel()->selectedRows())
    rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  if (rows.empty())
    for (int r = 0; r < proxy_->rowCount(); ++r) rows.push_back(r);
  for (int r : rows) {
    QStringList cells;
    for (int c = 0; c < columns; ++c) cells << clean(proxy_->index(r, c).data().toString());
    lines << cells.join('\t');
  }
  return lines.join('\n') + '\n';
}

void TDrillThroughWindow::CopyToClipboard() const {
  QApplication::clipboard()->setText(CopyText());
}

TDrillThroughWindow* ShowDrillThrough(QWidget* parent, const THySource& source, int32_t x,
                                      int32_t y) {
  try {
    const TDrillFilter filter = DrillFilterForCell(source, x, y);
    std::unique_ptr<TDrillRows> rows = OpenDrillRows(source, filter);
    auto* window =
        new TDrillThroughWindow(parent, std::move(rows), QString::fromStdString(filter.Describe()));
    window->show();
    return window;
  } catch (const std::exception& e) {
    QMessageBox::warning(parent, "Drill-through", QString::fromUtf8(e.what()));
    return nullptr;
  }
}

}  // namespace hy
