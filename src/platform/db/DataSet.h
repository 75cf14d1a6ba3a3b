// What the cube requires of a dataset and its fields: open and active state,
// field lookup, is-empty, nested disabling of linked controls, a forward
// scan, field lists and free notification (through TComponent).
// Concrete engines (the SQLite table, in-memory datasets) implement the
// protected Internal... operations.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Component.h"
#include "common/Exceptions.h"
#include "common/Variant.h"

namespace hy {

// Errors of the database engine: missing tables or fields, bad files, values
// that do not fit their declared type.
HY_DECLARE_EXCEPTION(EDatabaseError, Exception);

enum TFieldType {
  ftUnknown,
  ftString,
  ftFixedChar,
  ftWideString,
  ftSmallint,
  ftWord,
  ftInteger,
  ftAutoInc,
  ftLargeint,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftFMTBcd,
  ftDate,
  ftTime,
  ftDateTime,
  ftTimeStamp,
  ftBlob,
  ftMemo,
  ftBytes,
};

// The standard name of a field type, for messages ("Integer", "Blob", ...).
const char* FieldTypeName(TFieldType type);

class TDataSet;

// A field's value on the current row as a plain number or text, for scans
// that cannot afford a Variant per value. Integer, AutoInc, SmallInt, Word
// and LargeInt fields give fdInt; Float fdDouble; Date, Time, DateTime and
// TimeStamp fdDouble (the date number, as Value() gives it); String,
// FixedChar, WideString and Memo fdText, valid until the dataset moves or
// closes. NULL gives fdNull.
struct TFieldData {
  enum TKind : uint8_t { fdNull, fdInt, fdDouble, fdText };
  TKind kind = fdNull;
  int64_t i = 0;
  double d = 0;
  std::string_view text;
};

class TField {
public:
  TField(TDataSet* dataSet, int fieldNo, std::string name, TFieldType type, int size,
         int precision);

  TDataSet* DataSet() const { return dataSet_; }
  int FieldNo() const { return fieldNo_; }  // 0-based position in the dataset
  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  const char* TypeName() const { return FieldTypeName(type_); }
  int Size() const { return size_; }  // characters of a string, digits after the point of a BCD
  int Precision() const { return precision_; }  // significant digits (floats 15, BCD its precision)
  int DataSize() const;                         // bytes a value takes in a record buffer

  // The value of the current row; Null for NULL and when there is no
  // current row (empty dataset, past the end).
  Variant Value() const;
  bool IsNull() const { return Value().IsNull(); }
  // Value() without the Variant (see TFieldData), with the same conversions
  // and errors. False when the engine or the field type has no such read:
  // the caller asks Value() instead.
  bool GetData(TFieldData& data) const;
  int32_t AsInteger() const;     // 0 for NULL
  std::string AsString() const;  // "" for NULL; "True"/"False" for Booleans

private:
  TDataSet* dataSet_;
  int fieldNo_;
  std::string name_;
  TFieldType type_;
  int size_;
  int precision_;
};

class TDataSet : public TComponent {
public:
  explicit TDataSet(TComponent* owner = nullptr);
  // A leaf class's destructor calls Destroying() and then Close(): the base
  // cannot reach InternalClose any more.
  ~TDataSet() override;

  bool Active() const { return active_; }
  // The stored property: while loading, only remembered (applied in
  // Loaded). Opening an open dataset does nothing. An open positions on the
  // first row.
  void SetActive(bool value);
  // Open and Close act at once, also while loading: a component that needs
  // the dataset during its own Loaded (the cube, told before the table) opens
  // it with Open(); the table's Loaded then finds it open. Close() also
  // forgets a remembered Active.
  void Open();
  void Close();
  void Loaded() override;

  // Fields exist while the dataset is open; Close destroys them.
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField* Fields(int index) const;
  // Case-insensitive; nullptr when absent.
  TField* FindField(std::string_view name) const;
  // Raises EDatabaseError "<dataset>: Field '<name>' not found" when absent.
  TField* FieldByName(std::string_view name) const;
  // The fields named by a ";"-separated list, in list order; raises like
  // FieldByName for a missing name.
  std::vector<TField*> GetFieldList(std::string_view names) const;

  // Whether the dataset has no row; never scans.
  bool IsEmpty();
  void First();
  void Next();
  // True when closed, when empty, and after Next has passed the last row.
  bool Eof() const { return eof_; }
  // Number of the current row, counted from 1 (0 before the first).
  int64_t RecNo() const { return recNo_; }

  // Nested: controls stay disabled until every DisableControls is matched.
  void DisableControls() { ++disableCount_; }
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

  // Value of field `field` on the current row (called by TField::Value,
  // which handles a closed dataset and Eof). Raises EDatabaseError when the
  // stored value does not fit the field's type.
  virtual Variant GetFieldValue(const TField& field) const = 0;
  // The current row's value of `field` as plain data (see TField::GetData);
  // the base class has none and returns false.
  virtual bool GetFieldData(const TField& field, TFieldData& data) const;

  // Raises EDatabaseError "Cannot perform this operation on a closed dataset".
  void CheckActive() const;
  // Raises EDatabaseError "Cannot perform this operation on an open dataset".
  void CheckInactive() const;

protected:
  // Opens the source and calls AddField for every column.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  // Positions on the first row; returns false when there is none.
  virtual bool InternalFirst() = 0;
  // Moves to the next row; returns false at the end.
  virtual bool InternalNext() = 0;
  virtual bool InternalIsEmpty() = 0;
  // A name for messages: the component's name, else what the engine knows.
  virtual std::string DisplayName() const;

  TField* AddField(std::string name, TFieldType type, int size, int precision);
  // "<DisplayName>: <text>", or the text alone when there is no name.
  std::string Prefixed(const std::string& text) const;

private:
  void DoOpen();
  void DoClose();

  std::vector<std::unique_ptr<TField>> fields_;
  bool active_ = false;
  bool streamedActive_ = false;
  bool eof_ = true;
  int64_t recNo_ = 0;
  int disableCount_ = 0;
};

// Disables a dataset's linked controls for a scope and enables them again
// on every exit from it, exceptions included.
class TControlsDisabled {
public:
  explicit TControlsDisabled(TDataSet& dataSet) : dataSet_(dataSet) { dataSet_.DisableControls(); }
  ~TControlsDisabled() { dataSet_.EnableControls(); }
  TControlsDisabled(const TControlsDisabled&) = delete;
  TControlsDisabled& operator=(const TControlsDisabled&) = delete;

private:
  TDataSet& dataSet_;
};

}  // namespace hy
