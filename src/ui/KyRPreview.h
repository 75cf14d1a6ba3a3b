// The preview window: a tool bar (print, open, save or export, find, zoom
// and view commands), the preview control, sheet tabs when the report has
// more than one bar, and a status bar with page navigation. Shown modally
// by the report's Preview, or embedded in a parent control. The window sets
// itself up (zoom to the page width, first page of the first sheet) when it
// is first shown and after a report is loaded or prepared again, never on a
// later activation, so the user keeps their place.
#pragma once

#include <cstdint>
#include <string>

#include <QDialog>

class QComboBox;
class QLabel;
class QTabBar;
class QToolButton;

namespace hy {

class TKyNumberEdit;
class TKyPrintBaseComponent;
class TKyRPreview;
class TfrmKyRLens;

class TfrmKyPreview : public QDialog {
public:
  static constexpr int kLayoutWidth = 644;
  static constexpr int kLayoutHeight = 400;
  // The zooms of scale list entries 0 to 8; then fit to width, fit to whole
  // page and custom.
  static constexpr int kScaleZooms[] = {500, 400, 200, 150, 100, 75, 50, 25, 10};
  static constexpr int kScaleFitWidth = 9;
  static constexpr int kScaleFitPage = 10;
  static constexpr int kScaleCustom = 11;

  // With a parent control the window is embedded in it (filling it, no
  // border, no close button); without, it is a window of its own.
  explicit TfrmKyPreview(TKyPrintBaseComponent* report, QWidget* parentControl = nullptr);
  ~TfrmKyPreview() override;

  TKyPrintBaseComponent* Report() const { return report_; }
  bool Embedded() const { return embedded_; }
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name) { fileName_ = name; }

  // The texts of the report's language on captions and hints.
  void Localize();
  // Zoom to the page width, first page of the first sheet, page count and
  // sheet tabs.
  void SetUpPages();

  // Commands, as the buttons and keys run them.
  void PrinterSetup();
  void PrintReport();
  void OpenFromFile();
  void SaveToFile();
  void FindText();
  void FindNext(bool backwards);
  void ShowLens(bool show);
  void About();
  void SelectScale(int index);
  void GoTo(int tag);  // 1 first, 2 previous, 3 next, 4 last

  TKyRPreview* KyRPreview() const { return preview_; }
  TfrmKyRLens* Lens() const { return lens_; }
  QComboBox* cbScale() const { return cbScale_; }
  QTabBar* tsSheets() const { return tsSheets_; }
  TKyNumberEdit* edNumPage() const { return edNumPage_; }
  QLabel* lblPages() const { return lblPages_; }
  QLabel* lblNumPages() const { return lblNumPages_; }
  QLabel* lblStatus() const { return lblStatus_; }
  // Tool bar and status bar buttons by their names ("btnPrint", ...).
  QToolButton* Button(const char* name) const;

protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateToolBar(QWidget* bar);
  void CreateStatusBar(QWidget* bar);
  void Embed(QWidget* parentControl);
  bool HandleKey(QKeyEvent* event);
  void ZoomChanged();
  void PageChanged();
  void GoToTypedPage();
  void BarChanged();
  void ZoomByClickChanged();
  void GroupToggled(QToolButton* button, int group);
  void ReloadReport();
  void ShowError(const std::exception& e);
  void LensMouseMove(QPoint pos);

  TKyPrintBaseComponent* report_;
  TKyRPreview* preview_ = nullptr;
  TfrmKyRLens* lens_ = nullptr;
  QComboBox* cbScale_ = nullptr;
  QTabBar* tsSheets_ = nullptr;
  TKyNumberEdit* edNumPage_ = nullptr;
  QLabel* lblPages_ = nullptr;
  QLabel* lblNumPages_ = nullptr;
  QLabel* lblStatus_ = nullptr;
  QWidget* parentControl_ = nullptr;
  int scaleZoom_ = 75;
  std::string fileName_;
  bool embedded_ = false;
  bool setUp_ = false;
  bool syncingTabs_ = false;
};

// Installs the preview window as what the report's Preview and ShowPreview
// open: modally and maximized without a parent control, embedded with one;
// and the setup dialog its print and export commands open, when none is.
void UsePreviewWindow();

}  // namespace hy
