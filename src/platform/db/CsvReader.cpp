#include "platform/db/CsvReader.h"

#include "common/StrUtils.h"

namespace hy {

namespace {

[[noreturn]] void Fail(const std::string& name, const std::string& text) {
  throw ECsvError(name + ": " + text);
}

}  // namespace

std::unique_ptr<TMemDataSet> ReadCsv(std::string_view data, const TCsvSettings& given,
                                     const std::string& name, const TCsvProgressEvent& progress) {
  TCsvSettings settings = given;
  std::string text;
  try {
    text = DecodeCsvText(data, settings.encoding, 1);
    if (settings.columns.empty()) DetectCsvColumns(text, settings, true);
  } catch (const ECsvError& e) {
    Fail(name, e.what());
  }
  if (settings.columns.empty()) Fail(name, "the file holds no records");

  auto dataSet = std::make_unique<TMemDataSet>();
  for (const TCsvColumn& column : settings.columns)
    dataSet->AddColumn(column.name, CsvFieldType(column.type),
                       column.type == TCsvType::Text ? 255 : 0);

  const int64_t total = static_cast<int64_t>(text.size());
  const int columns = static_cast<int>(settings.columns.size());
  TCsvParser parser(text, settings.separator, settings.quote);
  std::vector<std::string> fields;
  bool headerPending = settings.header;
  size_t reported = 0;
  if (progress) progress(0, total);
  for (;;) {
    try {
      if (!parser.Next(fields)) break;
    } catch (const ECsvError& e) {
      Fail(name, e.what());
    }
    if (progress && parser.Offset() - reported >= 65536) {
      reported = parser.Offset();
      progress(static_cast<int64_t>(reported), total);
    }
    if (fields.empty()) continue;
    if (headerPending) {
      headerPending = false;
      continue;
    }
    const long long line = static_cast<long long>(parser.Line());
    if (static_cast<int>(fields.size()) != columns)
      Fail(name,
           Format("line %lld: %zu fields where %d are expected", line, fields.size(), columns));
    const int64_t row = dataSet->AppendRow();
    for (int c = 0; c < columns; ++c) {
      const TCsvColumn& column = settings.columns[c];
      Variant value;
      if (!ParseCsvValue(fields[c], column, settings.decimalSeparator, value))
        Fail(name, Format("line %lld, field '%s': '%s' is not a valid %s value", line,
                          column.name.c_str(), std::string(fields[c].substr(0, 60)).c_str(),
                          CsvTypeName(column.type)));
      dataSet->SetValue(row, c, value);
    }
  }
  if (progress) progress(total, total);
  return dataSet;
}

std::unique_ptr<TMemDataSet> ReadCsvFile(const std::string& fileName, const TCsvSettings* settings,
                                         const TCsvProgressEvent& progress) {
  const std::string bytes = ReadCsvBytes(fileName);
  if (settings) return ReadCsv(bytes, *settings, fileName, progress);
  // Columns from the whole file; a file detection could not parse has none,
  // and the reader then reports the fault with its line.
  return ReadCsv(bytes, DetectCsv(bytes, true, 0).settings, fileName, progress);
}

}  // namespace hy
