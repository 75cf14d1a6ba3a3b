// The shape of a CSV or TSV file: separator, quote, header, encoding and one
// type per column, and the detection of all of them from the file's first
// bytes. Detection is separate from reading (CsvReader.h) so that a dialog can
// show what was found and let the user change it before anything is loaded.
//
// Records follow RFC 4180: a quoted field may hold the separator, line breaks
// and doubled quotes; CR LF, LF and CR all end a record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Variant.h"
#include "platform/db/DataSet.h"

namespace hy {

// A file that cannot be read as the settings say: the message names the file,
// the line (from 1, where the record starts) and the fault.
HY_DECLARE_EXCEPTION(ECsvError, EDatabaseError);

enum class TCsvEncoding : uint8_t { Utf8, Cp1252 };

enum class TCsvType : uint8_t { Integer, Float, Currency, Date, DateTime, Text };

// How the numbers of a date column are ordered (ISO texts are always year first).
enum class TCsvDateOrder : uint8_t { YMD, DMY, MDY };

struct TCsvColumn {
  std::string name;
  TCsvType type = TCsvType::Text;
  TCsvDateOrder dateOrder = TCsvDateOrder::YMD;
};

struct TCsvSettings {
  char separator = ',';
  char quote = '"';  // 0: no quoting
  bool header = true;
  TCsvEncoding encoding = TCsvEncoding::Utf8;
  char decimalSeparator = '.';
  // Empty: the reader detects the columns from the whole file.
  std::vector<TCsvColumn> columns;
};

// What detection found: the settings and the first records as text.
struct TCsvDetection {
  TCsvSettings settings;
  std::vector<std::vector<std::string>> preview;  // data records, header excluded
  bool sampleCut = false;                         // types come from the first part of the file only
};

// Texts for dialogs and messages.
const char* CsvTypeName(TCsvType type);
const char* CsvEncodingName(TCsvEncoding encoding);
// The field type a column of this type becomes in a dataset.
TFieldType CsvFieldType(TCsvType type);

// Splits text into records. Each record is a list of fields (still in the
// file's encoding); Line() is the line its record started on.
class TCsvParser {
public:
  TCsvParser(std::string_view data, char separator, char quote);
  // The next record; false at the end. Raises ECsvError (without a file name:
  // the caller adds it) for a quote left open or text after a closing quote.
  // A blank line gives an empty record.
  bool Next(std::vector<std::string>& fields);
  int64_t Line() const { return recordLine_; }
  size_t Offset() const { return pos_; }

private:
  std::string_view data_;
  char separator_;
  char quote_;
  size_t pos_ = 0;
  int64_t line_ = 1;
  int64_t recordLine_ = 0;
};

// Text of the file's bytes as UTF-8 (a UTF-8 byte-order mark is dropped).
// Raises ECsvError naming the line for bytes that are not UTF-8 when asked
// for UTF-8.
std::string DecodeCsvText(std::string_view bytes, TCsvEncoding encoding, int64_t line = 0);
// UTF-8 when every byte sequence is valid UTF-8, else code page 1252.
TCsvEncoding DetectCsvEncoding(std::string_view bytes);

// The type every non-empty value of `values` fits, the narrowest first
// (Integer, Float, Currency, Date, DateTime, then Text); Text when there is
// no value at all.
TCsvColumn DetectCsvColumn(const std::vector<std::string_view>& values, char decimalSeparator);

// Parses one field text as a value of `column`'s type; false when it does not
// fit. An empty text is Null.
bool ParseCsvValue(std::string_view text, const TCsvColumn& column, char decimalSeparator,
                   Variant& out);

// Detects everything from `data` (the whole file or its first part:
// `complete` says which); the preview keeps up to `previewRows` records.
TCsvDetection DetectCsv(std::string_view data, bool complete, int previewRows = 20);
// Completes the columns of `settings` for `data` without touching the
// settings the user chose (separator, quote, header, encoding): names from
// the header or "Field1".., types from the values of at most `maxRecords`
// records.
void DetectCsvColumns(std::string_view data, TCsvSettings& settings, bool complete,
                      std::vector<std::vector<std::string>>* preview = nullptr,
                      int previewRows = 20, size_t maxRecords = SIZE_MAX);
// Reads the first `maxBytes` of a file and detects from them. Raises
// ECsvError when the file cannot be read.
TCsvDetection DetectCsvFile(const std::string& fileName, int64_t maxBytes = 1 << 20,
                            int previewRows = 20);
// The bytes of a file, at most `maxBytes` (whole file when negative).
std::string ReadCsvBytes(const std::string& fileName, int64_t maxBytes = -1);

}  // namespace hy
