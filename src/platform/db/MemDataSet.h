// An in-memory dataset: one typed vector per column plus a null bitmap,
// filled from another dataset or built in code (generated data). It serves
// the cube like a table, without a database engine's row decoding: reading a
// value is an index into a vector, and only strings allocate (the copy of
// the text the cell value holds).
//
// Columns are defined while the dataset is closed; opening makes one field
// per column. Closing keeps the rows, so the dataset can be opened again;
// Clear and ClearRows drop them. Rows may be appended and values set while
// open; a scan sees them from its next First.
//
// Values are kept the way the table engine hands them out (Table.h): Integer,
// AutoInc and Word as 32-bit integers, SmallInt as Smallint, LargeInt as
// Int64, Currency and BCD as currency, Float and FMTBcd as doubles, dates and
// times as dates (a Date drops the time of day, a Time the day), Booleans,
// strings, memos and blobs as text, and Unknown as the value given. An Empty
// value is stored as Null.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/DataSet.h"

namespace hy {

class TMemDataSet : public TDataSet {
public:
  explicit TMemDataSet(TComponent* owner = nullptr);
  ~TMemDataSet() override;

  // Definition, only while closed. AddColumn raises EDatabaseError for an
  // empty or duplicate name (case-insensitive); rows already present get Null
  // in the new column. Returns the column's index. A Float or Currency
  // column without a precision gets 15 digits, as a table's.
  int AddColumn(std::string name, TFieldType type, int size = 0, int precision = 0);
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  const std::string& ColumnName(int column) const { return At(column).name; }
  TFieldType ColumnType(int column) const { return At(column).type; }
  // Case-insensitive; -1 when absent.
  int FindColumn(std::string_view name) const;

  int64_t RowCount() const { return rowCount_; }
  void Reserve(int64_t rows);
  // Appends a row of Nulls; returns its index (from 0).
  int64_t AppendRow();
  // Appends a row with one value per column, converted to the column's
  // type; nothing is appended when a value does not fit.
  int64_t AppendRow(std::initializer_list<Variant> values);
  // Raises EDatabaseError naming the row (from 1) and field when the value
  // does not fit the column's type; the stored value is then unchanged.
  void SetValue(int64_t row, int column, const Variant& value);
  Variant Value(int64_t row, int column) const;
  bool IsNull(int64_t row, int column) const;

  // Replaces columns and rows with a copy of every row of `source`, with its
  // field names, types, sizes and precisions. The source is opened when
  // closed (and closed again afterwards) and scanned from its first row with
  // its controls disabled. On failure this dataset keeps its former contents.
  // An open dataset is closed for the load and opened again after it.
  void LoadFromDataSet(TDataSet& source);

  // Drops the rows and keeps the columns; drops everything. Only while closed.
  void ClearRows();
  void Clear();

  Variant GetFieldValue(const TField& field) const override;
  bool GetFieldData(const TField& field, TFieldData& data) const override;

protected:
  void InternalOpen() override;
  void InternalClose() override {}
  bool InternalFirst() override;
  bool InternalNext() override;
  bool InternalIsEmpty() override { return rowCount_ == 0; }

private:
  enum class TStorage : uint8_t { Int32, Int64, Double, Boolean, Text, Any };

  struct Column {
    std::string name;
    TFieldType type = ftUnknown;
    int size = 0;
    int precision = 0;
    TStorage storage = TStorage::Any;
    // Only the vector of the column's storage is used.
    std::vector<int32_t> int32s;  // Integer, AutoInc, Word, SmallInt
    std::vector<int64_t> int64s;  // LargeInt; currency as its raw value
    std::vector<double> doubles;  // floats, dates and times
    std::vector<uint8_t> bools;
    std::vector<uint64_t> textStart;  // into `text`; a rewritten value is appended
    std::vector<uint32_t> textLength;
    std::string text;
    std::vector<Variant> anys;
    std::vector<uint64_t> nulls;  // bit set: the row is Null

    bool NullAt(int64_t row) const { return (nulls[row >> 6] >> (row & 63)) & 1; }
    void Reserve(int64_t rows);
    void PushNull(int64_t row);  // appends row `row` (== current count)
    void Store(int64_t row, const Variant& value);
    Variant Get(int64_t row) const;
  };

  const Column& At(int column) const;
  void CheckRow(int64_t row) const;
  // Converts and stores, naming row and field in the error.
  void StoreChecked(Column& column, int64_t row, const Variant& value) const;
  void DropRowsFrom(int64_t row);

  std::vector<Column> columns_;
  int64_t rowCount_ = 0;
  int64_t cursor_ = 0;
};

}  // namespace hy
