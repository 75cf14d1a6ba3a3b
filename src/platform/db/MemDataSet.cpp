#include "platform/db/MemDataSet.h"

#include <algorithm>

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"

namespace hy {

namespace {

[[noreturn]] void RaiseIndex(long long index) {
  throw EListError(Format("List index out of bounds (%lld)", index));
}

}  // namespace

// ---------------------------------------------------------------- Column

void TMemDataSet::Column::Reserve(int64_t rows) {
  const size_t n = static_cast<size_t>(rows);
  switch (storage) {
    case TStorage::Int32: int32s.reserve(n); break;
    case TStorage::Int64: int64s.reserve(n); break;
    case TStorage::Double: doubles.reserve(n); break;
    case TStorage::Boolean: bools.reserve(n); break;
    case TStorage::Text:
      textStart.reserve(n);
      textLength.reserve(n);
      break;
    case TStorage::Any: anys.reserve(n); break;
  }
  nulls.reserve((n + 63) / 64);
}

void TMemDataSet::Column::PushNull(int64_t row) {
  switch (storage) {
    case TStorage::Int32: int32s.push_back(0); break;
    case TStorage::Int64: int64s.push_back(0); break;
    case TStorage::Double: doubles.push_back(0); break;
    case TStorage::Boolean: bools.push_back(0); break;
    case TStorage::Text:
      textStart.push_back(0);
      textLength.push_back(0);
      break;
    case TStorage::Any: anys.push_back(Variant::Null()); break;
  }
  if ((row & 63) == 0) nulls.push_back(0);
  nulls[row >> 6] |= uint64_t{1} << (row & 63);
}

void TMemDataSet::Column::Store(int64_t row, const Variant& value) {
  uint64_t& word = nulls[row >> 6];
  const uint64_t bit = uint64_t{1} << (row & 63);
  if (value.IsNull() || value.IsEmpty()) {
    word |= bit;
    return;
  }
  // Convert first: a value that does not fit raises before anything changes.
  switch (type) {
    case ftSmallint:
    case ftWord: {
      const int32_t v = value.AsInteger();
      const bool fits =
          type == ftWord ? v >= 0 && v <= UINT16_MAX : v >= INT16_MIN && v <= INT16_MAX;
      if (!fits) throw EConvertError(Format("%d is not a valid %s value", v, FieldTypeName(type)));
      int32s[row] = v;
      break;
    }
    case ftInteger:
    case ftAutoInc: int32s[row] = value.AsInteger(); break;
    case ftLargeint: int64s[row] = value.AsInt64(); break;
    case ftCurrency:
    case ftBCD: int64s[row] = value.AsCurrency().raw; break;
    case ftFloat:
    case ftFMTBcd: doubles[row] = value.AsDouble(); break;
    case ftDate: doubles[row] = DateOf(value.AsDate()); break;
    case ftTime: doubles[row] = TimeOf(value.AsDate()); break;
    case ftDateTime:
    case ftTimeStamp: doubles[row] = value.AsDate(); break;
    case ftBoolean: bools[row] = value.AsBoolean(); break;
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftBlob:
    case ftBytes: {
      const std::string v = value.AsString();
      if (v.size() > UINT32_MAX) throw EConvertError("Text too long for a field value");
      textStart[row] = text.size();
      textLength[row] = static_cast<uint32_t>(v.size());
      text.append(v);
      break;
    }
    case ftUnknown: anys[row] = value; break;
  }
  word &= ~bit;
}

Variant TMemDataSet::Column::Get(int64_t row) const {
  if (NullAt(row)) return Variant::Null();
  switch (type) {
    case ftSmallint: return Variant::Smallint(static_cast<int16_t>(int32s[row]));
    case ftWord:
    case ftInteger:
    case ftAutoInc: return Variant(int32s[row]);
    case ftLargeint: return Variant(int64s[row]);
    case ftCurrency:
    case ftBCD: return Variant(Currency::FromRaw(int64s[row]));
    case ftFloat:
    case ftFMTBcd: return Variant(doubles[row]);
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: return Variant::Date(doubles[row]);
    case ftBoolean: return Variant(bools[row] != 0);
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftBlob:
    case ftBytes: return Variant(std::string_view(text).substr(textStart[row], textLength[row]));
    case ftUnknown: break;
  }
  return anys[row];
}

// ---------------------------------------------------------------- TMemDataSet

TMemDataSet::TMemDataSet(TComponent* owner) : TDataSet(owner) {}

TMemDataSet::~TMemDataSet() {
  Destroying();
  Close();
}

const TMemDataSet::Column& TMemDataSet::At(int column) const {
  if (column < 0 || column >= ColumnCount()) RaiseIndex(column);
  return columns_[column];
}

void TMemDataSet::CheckRow(int64_t row) const {
  if (row < 0 || row >= rowCount_) RaiseIndex(row);
}

int TMemDataSet::AddColumn(std::string name, TFieldType type, int size, int precision) {
  CheckInactive();
  if (Trim(name).empty()) throw EDatabaseError(Prefixed("Field name missing"));
  if (FindColumn(name) >= 0)
    throw EDatabaseError(Prefixed(Format("Duplicate field name '%s'", name.c_str())));
  Column c;
  c.name = std::move(name);
  c.type = type;
  c.size = size;
  c.precision = precision == 0 && (type == ftFloat || type == ftCurrency) ? 15 : precision;
  switch (type) {
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc: c.storage = TStorage::Int32; break;
    case ftLargeint:
    case ftCurrency:
    case ftBCD: c.storage = TStorage::Int64; break;
    case ftFloat:
    case ftFMTBcd:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: c.storage = TStorage::Double; break;
    case ftBoolean: c.storage = TStorage::Boolean; break;
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftBlob:
    case ftBytes: c.storage = TStorage::Text; break;
    case ftUnknown: c.storage = TStorage::Any; break;
  }
  c.Reserve(rowCount_);
  for (int64_t row = 0; row < rowCount_; ++row) c.PushNull(row);
  columns_.push_back(std::move(c));
  return ColumnCount() - 1;
}

int TMemDataSet::FindColumn(std::string_view name) const {
  for (int i = 0; i < ColumnCount(); ++i)
    if (SameText(columns_[i].name, name)) return i;
  return -1;
}

void TMemDataSet::Reserve(int64_t rows) {
  for (Column& c : columns_) c.Reserve(rows);
}

int64_t TMemDataSet::AppendRow() {
  for (Column& c : columns_) c.PushNull(rowCount_);
  return rowCount_++;
}

int64_t TMemDataSet::AppendRow(std::initializer_list<Variant> values) {
  if (static_cast<int>(values.size()) != ColumnCount())
    throw EDatabaseError(Prefixed(
        Format("%d values given for %d fields", static_cast<int>(values.size()), ColumnCount())));
  const int64_t row = AppendRow();
  auto drop = ScopeExit([&] { DropRowsFrom(row); });
  int column = 0;
  for (const Variant& v : values) StoreChecked(columns_[column++], row, v);
  drop.Dismiss();
  return row;
}

void TMemDataSet::SetValue(int64_t row, int column, const Variant& value) {
  At(column);
  CheckRow(row);
  StoreChecked(columns_[column], row, value);
}

void TMemDataSet::StoreChecked(Column& column, int64_t row, const Variant& value) const {
  try {
    column.Store(row, value);
  } catch (const EDatabaseError&) {
    throw;
  } catch (const Exception& e) {
    throw EDatabaseError(
        Prefixed(Format("Row %lld, field '%s': %s", static_cast<long long>(row + 1),
                        column.name.c_str(), e.Message().c_str())));
  }
}

Variant TMemDataSet::Value(int64_t row, int column) const {
  const Column& c = At(column);
  CheckRow(row);
  return c.Get(row);
}

bool TMemDataSet::IsNull(int64_t row, int column) const {
  const Column& c = At(column);
  CheckRow(row);
  return c.NullAt(row);
}

void TMemDataSet::DropRowsFrom(int64_t row) {
  for (Column& c : columns_) {
    c.int32s.resize(std::min(c.int32s.size(), static_cast<size_t>(row)));
    c.int64s.resize(std::min(c.int64s.size(), static_cast<size_t>(row)));
    c.doubles.resize(std::min(c.doubles.size(), static_cast<size_t>(row)));
    c.bools.resize(std::min(c.bools.size(), static_cast<size_t>(row)));
    c.textStart.resize(std::min(c.textStart.size(), static_cast<size_t>(row)));
    c.textLength.resize(std::min(c.textLength.size(), static_cast<size_t>(row)));
    c.anys.resize(std::min(c.anys.size(), static_cast<size_t>(row)));
    c.nulls.resize((static_cast<size_t>(row) + 63) / 64);
  }
  rowCount_ = row;
}

void TMemDataSet::LoadFromDataSet(TDataSet& source) {
  if (&source == this) throw EDatabaseError(Prefixed("Cannot load a dataset from itself"));
  const bool wasActive = Active();
  Close();
  const bool sourceWasActive = source.Active();
  // The copy is built aside and swapped in, so a failure keeps the old rows.
  TMemDataSet copy;
  copy.SetName(Name());
  // Either way out, the source is left as found and this dataset opened
  // again if it was open (with its former rows after a failure).
  auto restore = ScopeExit([&] {
    if (!sourceWasActive) source.Close();
    if (wasActive) Open();
  });
  source.Open();
  for (int i = 0; i < source.FieldCount(); ++i) {
    const TField* f = source.Fields(i);
    copy.AddColumn(f->FieldName(), f->DataType(), f->Size(), f->Precision());
    copy.columns_.back().precision = f->Precision();
  }
  {
    TControlsDisabled quiet(source);
    const int n = source.FieldCount();
    for (source.First(); !source.Eof(); source.Next()) {
      const int64_t row = copy.AppendRow();
      for (int i = 0; i < n; ++i)
        copy.StoreChecked(copy.columns_[i], row, source.GetFieldValue(*source.Fields(i)));
    }
  }
  columns_ = std::move(copy.columns_);
  rowCount_ = copy.rowCount_;
}

void TMemDataSet::ClearRows() {
  CheckInactive();
  DropRowsFrom(0);
  for (Column& c : columns_) {
    c.text.clear();
    c.anys.clear();
  }
}

void TMemDataSet::Clear() {
  CheckInactive();
  columns_.clear();
  rowCount_ = 0;
}

Variant TMemDataSet::GetFieldValue(const TField& field) const {
  return columns_[field.FieldNo()].Get(cursor_);
}

bool TMemDataSet::GetFieldData(const TField& field, TFieldData& data) const {
  const Column& c = columns_[field.FieldNo()];
  const int64_t row = cursor_;
  switch (c.type) {
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc:
      data.kind = TFieldData::fdInt;
      data.i = c.int32s[row];
      break;
    case ftLargeint:
      data.kind = TFieldData::fdInt;
      data.i = c.int64s[row];
      break;
    case ftFloat:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
      data.kind = TFieldData::fdDouble;
      data.d = c.doubles[row];
      break;
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
      data.kind = TFieldData::fdText;
      data.text = std::string_view(c.text).substr(c.textStart[row], c.textLength[row]);
      break;
    default: return false;
  }
  if (c.NullAt(row)) data.kind = TFieldData::fdNull;
  return true;
}

void TMemDataSet::InternalOpen() {
  for (const Column& c : columns_) AddField(c.name, c.type, c.size, c.precision);
}

bool TMemDataSet::InternalFirst() {
  cursor_ = 0;
  return rowCount_ > 0;
}

bool TMemDataSet::InternalNext() { return ++cursor_ < rowCount_; }

}  // namespace hy
