// TfrmPrintSetup: the one dialog in front of printing and exporting a
// prepared report. Its printer panel chooses the printer, copies and
// collation; its export panel the export type, file name and one file per
// page; both share the page range. InstallSetupDialog makes it what the
// report's PrintWithDialog / ExportWithDialog open.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "report/KyROutput.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace hy {

class TKyNumberEdit;
class TPlatformPrinter;

class TfrmPrintSetup : public QDialog {
public:
  static constexpr int kClientWidth = 376;
  static constexpr int kClientHeight = 258;

  // The system's printer-setup dialog for `printer`; true when confirmed.
  using TPrinterSetupFunction = std::function<bool(TPlatformPrinter& printer, QWidget* parent)>;
  // The file-save dialog: title, filter ("Text|*.TXT|All files (*.*)|*.*"),
  // default extension and proposed name; the chosen name or "" for Cancel.
  using TSaveDialogFunction =
      std::function<std::string(const std::string& title, const std::string& filter,
                                const std::string& defaultExt, const std::string& name)>;

  // Remembers `printer`'s current printer and lists every printer (none:
  // an empty list).
  explicit TfrmPrintSetup(TPlatformPrinter* printer, QWidget* parent = nullptr);
  ~TfrmPrintSetup() override;

  // Printer panel (print) or export panel (export); then Localize.
  void SetExportMode(bool exportMode);
  bool ExportMode() const { return exportMode_; }
  void SetLanguage(int language) { language_ = language; }
  void Localize();

  // Print mode: the entry named `name`, else entry `index`, else the current
  // printer.
  void SelectPrinter(const std::string& name, int32_t index);
  // Export mode: the prepared report file first, then every registered
  // export type (types without a class yet are shown but cannot be chosen);
  // selects the first and runs the type change.
  void FillExportTypes();
  // Export mode: the name of an earlier export.
  void SetFileName(const std::string& name);
  // Puts the extension of export type `index` on the file name.
  void ExportTypeChanged();

  // What the controls say (read on OK).
  TKySetupChoice Choice() const;
  // The save dialog's filter for the chosen type (pipe form).
  std::string SaveDialogFilter() const;
  std::string SaveDialogDefaultExt() const;

  void SetPrinterSetupFunction(TPrinterSetupFunction f) { printerSetup_ = std::move(f); }
  void SetSaveDialogFunction(TSaveDialogFunction f) { saveDialog_ = std::move(f); }

  // Controls, for the program and the tests.
  QFrame* PnlExport() const { return pnlExport_; }
  QFrame* PnlPrinter() const { return pnlPrinter_; }
  QComboBox* CbExportType() const { return cbExportType_; }
  QLineEdit* EdFileName() const { return edFileName_; }
  QToolButton* PnlFileName() const { return pnlFileName_; }
  QCheckBox* CbSeparateFile() const { return cbSeparateFile_; }
  QComboBox* CbPrinterName() const { return cbPrinterName_; }
  TKyNumberEdit* EdCopy() const { return edCopy_; }
  QPushButton* BtnPrinter() const { return btnPrinter_; }
  QCheckBox* CbCollate() const { return cbCollate_; }
  QGroupBox* GbPageRange() const { return gbPageRange_; }
  QRadioButton* RbAll() const { return rbAll_; }
  QRadioButton* RbCurrent() const { return rbCurrent_; }
  QRadioButton* RbEven() const { return rbEven_; }
  QRadioButton* RbOdd() const { return rbOdd_; }
  QRadioButton* RbRange() const { return rbRange_; }
  QLineEdit* EdPages() const { return edPages_; }
  QLabel* LblPrompt() const { return lblPrompt_; }
  QPushButton* BtnOk() const { return btnOk_; }
  QPushButton* BtnCancel() const { return btnCancel_; }

  void done(int result) override;
  void accept() override;

  // Runs the printer-setup dialog and selects the printer it leaves current.
  void PrinterProperties();
  // Runs the save dialog and takes the chosen name.
  void ChooseFileName();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void BuildControls();
  void SetTabOrder();
  void AddExportIcons();

  TPlatformPrinter* printer_;
  int32_t createdPrinterIndex_ = -1;
  int language_ = 0;
  bool exportMode_ = false;
  bool iconsAdded_ = false;
  TPrinterSetupFunction printerSetup_;
  TSaveDialogFunction saveDialog_;

  QFrame* pnlExport_ = nullptr;
  QLabel* lblExportType_ = nullptr;
  QComboBox* cbExportType_ = nullptr;
  QLabel* lblFileName_ = nullptr;
  QLineEdit* edFileName_ = nullptr;
  QToolButton* pnlFileName_ = nullptr;
  QCheckBox* cbSeparateFile_ = nullptr;
  QFrame* pnlPrinter_ = nullptr;
  QComboBox* cbPrinterName_ = nullptr;
  QLabel* lblCopy_ = nullptr;
  TKyNumberEdit* edCopy_ = nullptr;
  QPushButton* btnPrinter_ = nullptr;
  QCheckBox* cbCollate_ = nullptr;
  QGroupBox* gbPageRange_ = nullptr;
  QRadioButton* rbAll_ = nullptr;
  QRadioButton* rbCurrent_ = nullptr;
  QRadioButton* rbEven_ = nullptr;
  QRadioButton* rbOdd_ = nullptr;
  QRadioButton* rbRange_ = nullptr;
  QLineEdit* edPages_ = nullptr;
  QLabel* lblPrompt_ = nullptr;
  QPushButton* btnOk_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
};

// The printer and prepared-report glyphs of the two lists (18 x 16 and
// 16 x 16).
QPixmap PrinterGlyph();
QPixmap KrpGlyph();

// `name` with its extension replaced by (or, without one, followed by)
// "." + `extension`; a dot in a folder name is not an extension.
std::string ChangeFileExt(const std::string& name, const std::string& extension);

// Makes TfrmPrintSetup the dialog of PrintWithDialog / ExportWithDialog.
void InstallSetupDialog();

}  // namespace hy
