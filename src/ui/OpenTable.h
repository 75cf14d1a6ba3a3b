// "Open Table": an SQLite file, then one of its tables or views from a list
// with row counts. A file that is not a database, is locked or has no table,
// and a table without a field a cube can use, get a message in the dialog;
// nothing is chosen until OK succeeds.
#pragma once

#include <QDialog>

#include <optional>
#include <string>

#include "cube/SourceChoice.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace hy {

class TOpenTableDialog : public QDialog {
public:
  explicit TOpenTableDialog(QWidget* parent = nullptr);
  ~TOpenTableDialog() override;

  // Lists the tables of `fileName` (what Browse does after its file dialog).
  void SetFile(const QString& fileName);
  // Selects a listed table by name; false when it is not listed.
  bool SelectTable(const QString& name);
  // The choice once the dialog was accepted.
  const std::optional<TSourceChoice>& Choice() const { return choice_; }

  QLineEdit* FileEdit() const { return fileEdit_; }
  QTableWidget* Tables() const { return tables_; }
  QLabel* Message() const { return message_; }
  QPushButton* OkButton() const { return okButton_; }

  void accept() override;

private:
  void Browse();
  void ShowMessage(const QString& text);
  void UpdateOk();

  QLineEdit* fileEdit_;
  QTableWidget* tables_;
  QLabel* message_;
  QPushButton* okButton_;
  QString listedFile_;
  std::optional<TSourceChoice> choice_;
};

// Runs the dialog; the chosen file and table, or nothing after Cancel.
std::optional<TSourceChoice> ChooseSqliteTable(QWidget* parent,
                                               const QString& startFile = QString());

}  // namespace hy
