// The main window: menus and a tool bar over the cross-tab grid, with the
// demo table, its cube and the "Report" button created from the stored
// layout. Any SQLite table or CSV file can replace the demo source; a new
// cube is always built beside the one on screen and takes its place only
// when the build succeeded.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QStringList>
#include <QWidget>

#include "app/LayoutFile.h"
#include "common/Component.h"

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolBar;

namespace hy {

class TCustomHyGrid;
class TDataSet;
class TKyPrintHyCube;
class TKyProcess;
class TQtPrinter;
class THyCube;
class THyGrid;
class THySource;
class TTable;

class TfrmMain : public QWidget, public TComponent {
public:
  // Creates the components, sets their stored properties while they are
  // loading, then tells each in creation order that loading has finished,
  // which builds the cube over the table. Exceptions propagate: a window
  // that cannot start is not shown.
  TfrmMain();
  ~TfrmMain() override;

  // The demo's table while it is the source, else null.
  TTable* tblTable1() const;
  TDataSet* DataSet() const { return dataSet_; }
  const TSourceChoice& Source() const { return source_; }
  THyCube* HyCube1() const { return hyCube1_; }
  THySource* HySource1() const { return hySource1_; }
  // The cross-tab on screen, and its model (the component "HyGrid1").
  THyGrid* HyGrid1() const { return hyGrid1_; }
  TCustomHyGrid* HyGrid1Model() const;
  QPushButton* btnExport() const { return btnExport_; }
  // The report of the grid, prepared and previewed by the "Report" button.
  TKyPrintHyCube* KyPrintHyCube1() const { return kyPrintHyCube1_; }
  QMenuBar* MenuBar() const { return menuBar_; }
  QToolBar* ToolBar() const { return toolBar_; }
  // A menu or tool bar command by its object name ("actOpenTable", ...).
  QAction* Action(const char* name) const;

  // Prepares the report of the grid and previews it in the preview window
  // (installed here when the program has not installed one).
  void btnReportClick();

  // --- sources. Each raises when the new cube cannot be built; the cube on
  // screen then stays as it was.
  // A table or view of an SQLite file, with a proposed dimension map.
  void OpenTable(const std::string& fileName, const std::string& tableName);
  // A CSV file read with `settings` (columns detected when it has none).
  void OpenCsv(const std::string& fileName, const TCsvSettings& settings);
  // Either of them, as the source dialogs return it.
  void OpenSource(const TSourceChoice& choice);
  // Rebuilds the cube from the current source with the map and limits that
  // `setup` writes into the new cube; the pivot stays where its dimensions
  // still exist.
  void RebuildCube(const std::function<void(THyCube& cube)>& setup);
  // Reads the source again with the current map.
  void RefreshCube();

  // A file named when the program starts: a layout (.cvl) opens at once, a
  // CSV file (.csv, .tsv, .txt) and a database file in their dialogs. A
  // failure is shown and the demo stays.
  void OpenFileGuarded(const std::string& fileName);

  // --- layouts
  TLayout CaptureLayout() const;
  void SaveLayout(const std::string& fileName);
  // Reads and checks the whole file, then builds its source and map; the
  // window changes only when all of it worked.
  void OpenLayout(const std::string& fileName);

  // --- dialogs and windows
  // The cube editor on the current cube; OK rebuilds with its map.
  void ShowCubeEditor();
  // The source rows of the data cell at data coordinates (x, y).
  void DrillThrough(int32_t x, int32_t y);

  // Recent sources and layouts, newest first, as "kind\tfile[\ttable]".
  QStringList RecentEntries() const;

  // How a failed menu command is shown: a message box unless replaced.
  void SetOnError(std::function<void(const std::string& message)> e) { onError_ = std::move(e); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateLayout();
  void CreateMenus();
  void StartUp();
  // Builds a cube over `dataSet` (the current one when null), set up by
  // `setup`, beside the current cube; on success the source shows it with
  // `pivot` (the current pivot when empty) and the old cube (and the old
  // dataset, when replaced) is freed.
  void BuildAndSwap(std::unique_ptr<TDataSet> dataSet, const TSourceChoice* choice,
                    const std::function<void(THyCube& cube)>& setup, const std::string& pivot,
                    int32_t summary);
  std::unique_ptr<TDataSet> LoadSource(const TSourceChoice& choice);
  void UpdateTitle();
  void AddRecent(const QString& entry);
  void FillRecentMenu();
  void OpenRecent(const QString& entry);
  // Runs a command of the menus: a failure is shown and changes nothing.
  void Guarded(const std::function<void()>& command);

  void MenuOpenTable();
  void MenuOpenCsv();
  void MenuOpenLayout();
  void MenuSaveLayout();
  void MenuAbout();

  THyGrid* hyGrid1_ = nullptr;
  QPushButton* btnExport_ = nullptr;
  THyCube* hyCube1_ = nullptr;
  THySource* hySource1_ = nullptr;
  TTable* tblTable1_ = nullptr;  // the demo table until another source replaces it
  TKyPrintHyCube* kyPrintHyCube1_ = nullptr;
  // The progress window the report prepares in.
  std::unique_ptr<TKyProcess> reportProcess_;

  QMenuBar* menuBar_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* recentMenu_ = nullptr;

  TDataSet* dataSet_ = nullptr;
  std::unique_ptr<TDataSet> ownedDataSet_;  // a source that is not the demo table
  TSourceChoice source_;
  std::function<void(const std::string& message)> onError_;
  // The printers of the system, asked for at the first report only.
  std::unique_ptr<TQtPrinter> reportPrinter_;
};

}  // namespace hy
