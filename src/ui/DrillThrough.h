// The drill-through window: the source rows behind one cell of the cross-tab,
// with the source's fields as columns, sortable, a row count, and Copy (the
// selected rows, or all rows read so far, as tab-separated text with a header
// line). Rows are read in pages as the list scrolls; the window may be closed
// at any time and frees its query then.
#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>

#include "pivot/HyDrill.h"

class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace hy {

class THySource;
class TDrillRowsModel;

class TDrillThroughWindow : public QDialog {
public:
  // Takes the rows of a filter; `title` says which cell they belong to.
  TDrillThroughWindow(QWidget* parent, std::unique_ptr<TDrillRows> rows, const QString& title);
  ~TDrillThroughWindow() override;

  QTableView* View() const { return view_; }
  QLabel* CountLabel() const { return count_; }
  QPushButton* CopyButton() const { return copy_; }
  // Rows read from the source so far.
  int LoadedRows() const;
  // The copied text: the selected rows, or every row read so far.
  QString CopyText() const;
  void CopyToClipboard() const;

private:
  void UpdateCount();

  TDrillRowsModel* model_;
  QSortFilterProxyModel* proxy_;
  QTableView* view_;
  QLabel* count_;
  QPushButton* copy_;
};

// Opens a drill-through window for the data, subtotal or total cell at data
// coordinates (x, y) of the source's pivot (the cross-tab grid's X and Y).
// The window shows itself and frees itself when closed; a cell that cannot
// be drilled into gets a message box instead (and nullptr comes back).
TDrillThroughWindow* ShowDrillThrough(QWidget* parent, const THySource& source, int32_t x,
                                      int32_t y);

}  // namespace hy
