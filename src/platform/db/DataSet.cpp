#include "platform/db/DataSet.h"

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"

namespace hy {

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case ftString: return "String";
    case ftFixedChar: return "FixedChar";
    case ftWideString: return "WideString";
    case ftSmallint: return "SmallInt";
    case ftWord: return "Word";
    case ftInteger: return "Integer";
    case ftAutoInc: return "AutoInc";
    case ftLargeint: return "LargeInt";
    case ftBoolean: return "Boolean";
    case ftFloat: return "Float";
    case ftCurrency: return "Currency";
    case ftBCD: return "BCD";
    case ftFMTBcd: return "FMTBcd";
    case ftDate: return "Date";
    case ftTime: return "Time";
    case ftDateTime: return "DateTime";
    case ftTimeStamp: return "TimeStamp";
    case ftBlob: return "Blob";
    case ftMemo: return "Memo";
    case ftBytes: return "Bytes";
    case ftUnknown: break;
  }
  return "Unknown";
}

// ---------------------------------------------------------------- TField

TField::TField(TDataSet* dataSet, int fieldNo, std::string name, TFieldType type, int size,
               int precision)
    : dataSet_(dataSet),
      fieldNo_(fieldNo),
      name_(std::move(name)),
      type_(type),
      size_(size),
      precision_(precision) {}

int TField::DataSize() const {
  // Record-buffer sizes of the classic field classes: strings keep a
  // terminator, BCDs a packed 34-byte number, timestamps six words and a
  // fraction; dates and times are 4-byte day and millisecond counts.
  switch (type_) {
    case ftString:
    case ftFixedChar: return size_ + 1;
    case ftWideString: return (size_ + 1) * 2;
    case ftSmallint:
    case ftWord:
    case ftBoolean: return 2;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime: return 4;
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftDateTime: return 8;
    case ftBCD:
    case ftFMTBcd: return 34;
    case ftTimeStamp: return 16;
    case ftBytes: return size_;
    case ftBlob:
    case ftMemo:
    case ftUnknown: break;
  }
  return 0;
}

Variant TField::Value() const {
  dataSet_->CheckActive();
  if (dataSet_->Eof()) return Variant::Null();
  return dataSet_->GetFieldValue(*this);
}

bool TField::GetData(TFieldData& data) const {
  dataSet_->CheckActive();
  if (dataSet_->Eof()) {
    data.kind = TFieldData::fdNull;
    return true;
  }
  return dataSet_->GetFieldData(*this, data);
}

int32_t TField::AsInteger() const {
  Variant v = Value();
  return v.IsNull() ? 0 : v.AsInteger();
}

std::string TField::AsString() const {
  Variant v = Value();
  if (v.IsNull()) return std::string();
  if (v.VarType() == varBoolean) return v.AsBoolean() ? "True" : "False";
  return v.AsString();
}

// ---------------------------------------------------------------- TDataSet

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

// A leaf class closes itself (its InternalClose is gone by the time this runs).
TDataSet::~TDataSet() = default;

void TDataSet::SetActive(bool value) {
  if (IsLoading()) {
    streamedActive_ = value;
    return;
  }
  if (value) DoOpen();
  else DoClose();
}

void TDataSet::Open() { DoOpen(); }

void TDataSet::Close() {
  streamedActive_ = false;
  DoClose();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (streamedActive_) {
    streamedActive_ = false;
    DoOpen();
  }
}

void TDataSet::DoOpen() {
  if (active_) return;
  // A failed open leaves the dataset closed, with no fields.
  auto undo = ScopeExit([this] {
    active_ = false;
    InternalClose();
    fields_.clear();
    eof_ = true;
    recNo_ = 0;
  });
  InternalOpen();
  active_ = true;
  First();
  undo.Dismiss();
}

void TDataSet::DoClose() {
  if (!active_) return;
  active_ = false;
  eof_ = true;
  recNo_ = 0;
  InternalClose();
  fields_.clear();
}

TField* TDataSet::Fields(int index) const {
  if (index < 0 || index >= FieldCount())
    throw EListError(Format("List index out of bounds (%d)", index));
  return fields_[index].get();
}

TField* TDataSet::FindField(std::string_view name) const {
  for (const auto& f : fields_)
    if (SameText(f->FieldName(), name)) return f.get();
  return nullptr;
}

TField* TDataSet::FieldByName(std::string_view name) const {
  if (TField* f = FindField(name)) return f;
  throw EDatabaseError(
      Prefixed(Format("Field '%.*s' not found", static_cast<int>(name.size()), name.data())));
}

std::vector<TField*> TDataSet::GetFieldList(std::string_view names) const {
  std::vector<TField*> list;
  for (const std::string& part : SplitString(names, ';')) {
    std::string name = Trim(part);
    if (!name.empty()) list.push_back(FieldByName(name));
  }
  return list;
}

bool TDataSet::IsEmpty() {
  CheckActive();
  return InternalIsEmpty();
}

void TDataSet::First() {
  CheckActive();
  recNo_ = 0;
  eof_ = true;
  if (InternalFirst()) {
    eof_ = false;
    recNo_ = 1;
  }
}

void TDataSet::Next() {
  CheckActive();
  if (eof_) return;
  // A failed read ends the scan.
  auto end = ScopeExit([this] { eof_ = true; });
  const bool more = InternalNext();
  end.Dismiss();
  if (more) ++recNo_;
  else eof_ = true;
}

bool TDataSet::GetFieldData(const TField&, TFieldData&) const { return false; }

void TDataSet::EnableControls() {
  if (disableCount_ > 0) --disableCount_;
}

std::string TDataSet::DisplayName() const { return Name(); }

std::string TDataSet::Prefixed(const std::string& text) const {
  std::string name = DisplayName();
  return name.empty() ? text : name + ": " + text;
}

TField* TDataSet::AddField(std::string name, TFieldType type, int size, int precision) {
  fields_.push_back(
      std::make_unique<TField>(this, FieldCount(), std::move(name), type, size, precision));
  return fields_.back().get();
}

void TDataSet::CheckActive() const {
  if (!active_) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive() const {
  if (active_) throw EDatabaseError("Cannot perform this operation on an open dataset");
}

}  // namespace hy
