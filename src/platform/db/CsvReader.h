// Loads a CSV or TSV file into an in-memory dataset, the way its settings
// (CsvFormat.h) describe it. Every record becomes a row; a record with the
// wrong number of fields or a value that does not fit its column's type
// stops the load with a message naming the file, the line and the field:
// no line is dropped silently. Blank lines carry no data and are skipped.
// Empty fields are Null.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/CsvFormat.h"
#include "platform/db/MemDataSet.h"

namespace hy {

// Told how far the load has come, in bytes of the file. It may raise to
// cancel (a progress dialog's Cancel): the load then leaves nothing behind.
using TCsvProgressEvent = std::function<void(int64_t done, int64_t total)>;

// The rows of `data` (the file's bytes) in a new, closed dataset. Settings
// without columns are completed by detection over the whole data. `name`
// names the source in messages. Raises ECsvError.
std::unique_ptr<TMemDataSet> ReadCsv(std::string_view data, const TCsvSettings& settings,
                                     const std::string& name,
                                     const TCsvProgressEvent& progress = nullptr);
// The same for a file; settings from detection over the whole file when
// `settings` is null.
std::unique_ptr<TMemDataSet> ReadCsvFile(const std::string& fileName, const TCsvSettings* settings,
                                         const TCsvProgressEvent& progress = nullptr);

}  // namespace hy
