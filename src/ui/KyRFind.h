// The find dialog of the preview: the text to find, case sensitivity, the
// way the text must match, and the scope (the page on screen or every page
// of every sheet). Its texts follow the report's language.
#pragma once

#include <QDialog>

#include "ui/KyRFindSearch.h"

class QComboBox;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace hy {

class TfrmKyRFind : public QDialog {
public:
  explicit TfrmKyRFind(QWidget* parent = nullptr);

  int Language() const { return language_; }
  void SetLanguage(int language) { language_ = language; }
  // Puts the texts of the language on the controls; the choices stay.
  void Localize();

  TKyRFindOptions Options() const;
  bool Global() const;

  QLineEdit* edTextValue() const { return edTextValue_; }
  QCheckBox* chkCaseSensitive() const { return chkCaseSensitive_; }
  QComboBox* cbMode() const { return cbMode_; }
  QRadioButton* rbGlobal() const { return rbGlobal_; }
  QRadioButton* rbCurrentPage() const { return rbCurrentPage_; }
  QPushButton* btnOK() const { return btnOK_; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  int language_ = 0;
  QLabel* lblText_;
  QLineEdit* edTextValue_;
  QGroupBox* gbOptions_;
  QCheckBox* chkCaseSensitive_;
  QComboBox* cbMode_;
  QGroupBox* rgScope_;
  QRadioButton* rbGlobal_;
  QRadioButton* rbCurrentPage_;
  QPushButton* btnOK_;
  QPushButton* btnCancel_;
};

}  // namespace hy
