// A table dataset over an SQLite 3 database file, opened read-only.
//
// DatabaseName is an alias (see Aliases.h) or a folder; TableName is a file
// in that folder ("orders.db" reads the table "orders", the file's stem) or
// "file.db:table" for another table of the file; an absolute path in
// TableName ignores DatabaseName. Rows come in rowid order.
//
// Field types follow the declared column types (case-insensitive):
//   INTEGER INT MEDIUMINT INT4 -> Integer     SMALLINT INT2 TINYINT -> SmallInt
//   WORD -> Word                              BIGINT INT8 LARGEINT -> LargeInt
//   AUTOINC AUTOINCREMENT COUNTER -> AutoInc  REAL FLOAT DOUBLE -> Float
//   CURRENCY MONEY -> Currency                BOOLEAN BOOL LOGICAL -> Boolean
//   DECIMAL/NUMERIC(p,s) -> BCD (precision p, size s; FMTBcd when p > 18 or
//     s > 4; without (p,s) precision 18, size 4)
//   CHAR(n) CHARACTER(n) NCHAR(n) -> FixedChar n (1 without n)
//   VARCHAR(n) -> String n (255 without n)     TEXT STRING -> String 255
//   NVARCHAR(n) NTEXT -> WideString            CLOB MEMO -> Memo
//   DATE TIME DATETIME TIMESTAMP -> Date Time DateTime TimeStamp
//   BLOB -> Blob                              BINARY VARBINARY BYTES -> Bytes
//   no declared type -> Unknown (values as stored)
//   any other name: SQLite's affinity rules (INT -> LargeInt; CHAR, CLOB or
//   TEXT -> String 255; BLOB -> Blob; anything else -> Float).
//
// Values: Integer, AutoInc, Word -> Integer; SmallInt -> Smallint; LargeInt
// -> Int64; Float -> Double; Currency and BCD -> Currency; FMTBcd -> Double
// (more digits than a currency holds); Boolean -> Boolean (numbers: non-zero
// is True; texts true/false, t/f, yes/no, y/n); dates and times -> Date;
// strings, memos, blobs -> String (bytes as stored); NULL -> Null.
// Dates are ISO texts ("2004-01-03", "2004-01-03 10:20:00", with "T" too, or
// a time alone) or numbers, taken as day numbers since 30 December 1899 with
// the time as the fraction (not Julian days, not Unix times). A Date field
// drops the time of day, a Time field the day. String sizes are declarative:
// longer texts are returned whole.
// A value that does not fit its field raises EDatabaseError naming the table,
// the row number (from 1, in scan order) and the field.
#pragma once

#include <string>
#include <string_view>

#include "platform/db/DataSet.h"

struct sqlite3;
struct sqlite3_stmt;

namespace hy {

struct TColumnType {
  TFieldType type = ftUnknown;
  int size = 0;
  int precision = 0;
};

// The field type of a declared SQLite column type (see above).
TColumnType ColumnTypeFromDeclaration(std::string_view declared);

// A date text as TryISOStrToDateTime reads it, with the common exact forms
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "...:SS" and "...:SS.fff" (or "T" for the
// blank) read without the general scanner: a scan parses one per row.
bool TryTableDateText(std::string_view text, TDateTime& out);

// Where a table lives: the database file and the table inside it.
struct TTableLocation {
  std::string fileName;
  std::string tableName;
};

// Resolves DatabaseName and TableName; raises EDatabaseError for an empty
// table name, an unknown alias or a missing folder (not for a missing file).
TTableLocation ResolveTableLocation(std::string_view databaseName, std::string_view tableName);

class TTable : public TDataSet {
public:
  explicit TTable(TComponent* owner = nullptr);
  ~TTable() override;

  const std::string& DatabaseName() const { return databaseName_; }
  // Raises EDatabaseError "Cannot perform this operation on an open dataset"
  // while active.
  void SetDatabaseName(std::string_view value);
  const std::string& TableName() const { return tableName_; }
  void SetTableName(std::string_view value);

  // The database file and table the names resolve to (see ResolveTableLocation).
  TTableLocation Location() const { return ResolveTableLocation(databaseName_, tableName_); }

  Variant GetFieldValue(const TField& field) const override;
  bool GetFieldData(const TField& field, TFieldData& data) const override;

protected:
  void InternalOpen() override;
  void InternalClose() override;
  bool InternalFirst() override;
  bool InternalNext() override;
  bool InternalIsEmpty() override;
  std::string DisplayName() const override;

private:
  sqlite3_stmt* Prepare(const std::string& sql, unsigned flags = 0);
  bool Step(sqlite3_stmt* stmt);
  [[noreturn]] void RaiseSqlError(const char* doing) const;
  [[noreturn]] void RaiseBadValue(const TField& field, int column) const;

  std::string databaseName_;
  std::string tableName_;
  // While open: the file, the table's name as the database spells it, the
  // connection, the scan and the is-empty probe.
  std::string fileName_;
  std::string sqlTable_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* scan_ = nullptr;
  sqlite3_stmt* probe_ = nullptr;
};

}  // namespace hy
