// A cube source the user chose: an SQLite table or view, or a CSV file with
// its confirmed settings. The dialogs return one; the window opens it, keeps
// it with a layout and shows it in its title.
#pragma once

#include <memory>
#include <string>

#include "platform/db/CsvFormat.h"

namespace hy {

class TComponent;
class TDataSet;

struct TSourceChoice {
  enum TKind { scTable, scCsv };
  TKind kind = scTable;
  std::string fileName;   // the database file or the CSV file
  std::string tableName;  // scTable: the table or view
  TCsvSettings csv;       // scCsv: separator, quoting, header, encoding, columns

  // "orders (sales.db)" or "sales.csv", for titles.
  std::string Caption() const;
};

class TCubeProgress;

// The dataset of a choice, closed: a TTable owned by `owner`, or the rows of
// the CSV file read as a stage of `progress` when one is given (a bar; its
// Cancel raises EUserCanceled and leaves nothing behind). For a window, call
// it inside TCubeProgress::RunWithProgress with the progress handed to the
// work. Raises EDatabaseError (ECsvError for the file) with the file's name.
std::unique_ptr<TDataSet> OpenSourceChoice(const TSourceChoice& choice, TComponent* owner,
                                           TCubeProgress* progress = nullptr);

}  // namespace hy
