// "Open CSV": a CSV or TSV file with what detection found in its first
// megabyte (separator, quoting, header, encoding, decimal separator and the
// type of every column) shown for confirmation or change, and a preview of
// its first rows under those settings.
#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "cube/SourceChoice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace hy {

class TOpenCsvDialog : public QDialog {
public:
  explicit TOpenCsvDialog(QWidget* parent = nullptr);
  ~TOpenCsvDialog() override;

  // Reads the start of `fileName` and shows what was detected.
  void SetFile(const QString& fileName);
  // The settings as the controls show them now.
  TCsvSettings Settings() const;
  const std::optional<TSourceChoice>& Choice() const { return choice_; }

  QLineEdit* FileEdit() const { return fileEdit_; }
  QComboBox* SeparatorBox() const { return separator_; }
  QComboBox* QuoteBox() const { return quote_; }
  QCheckBox* HeaderBox() const { return header_; }
  QComboBox* EncodingBox() const { return encoding_; }
  QComboBox* DecimalBox() const { return decimal_; }
  QTableWidget* Columns() const { return columns_; }
  QTableWidget* Preview() const { return preview_; }
  QLabel* Message() const { return message_; }
  QPushButton* OkButton() const { return okButton_; }
  // The type chooser of column `column`.
  QComboBox* TypeBox(int column) const;

  void accept() override;

private:
  void Browse();
  // Detects the columns again under the settings the controls show.
  void Redetect();
  void ShowSettings(const TCsvSettings& settings);
  void ShowColumns(const TCsvSettings& settings, const std::vector<std::vector<std::string>>& rows);
  void ShowMessage(const QString& text, bool error);

  QLineEdit* fileEdit_;
  QComboBox* separator_;
  QComboBox* quote_;
  QCheckBox* header_;
  QComboBox* encoding_;
  QComboBox* decimal_;
  QTableWidget* columns_;
  QTableWidget* preview_;
  QLabel* message_;
  QPushButton* okButton_;
  QString loadedFile_;
  std::string sample_;  // the file's first bytes
  bool sampleComplete_ = false;
  bool updating_ = false;
  TCsvSettings shown_;
  std::optional<TSourceChoice> choice_;
};

// Runs the dialog; the file and its confirmed settings, or nothing after Cancel.
std::optional<TSourceChoice> ChooseCsvFile(QWidget* parent, const QString& startFile = QString());

}  // namespace hy
