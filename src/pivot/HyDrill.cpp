#include "pivot/HyDrill.h"

#include <sqlite3.h>

#include <cmath>

#include "common/DateUtils.h"
#include "common/StrUtils.h"
#include "cube/HyMap.h"
#include "pivot/HyDB.h"
#include "platform/db/MemDataSet.h"
#include "platform/db/Table.h"

namespace hy {

namespace {

// Half a millisecond in days: the tolerance of a date-time key.
constexpr double kHalfMs = 0.5 / 86400000.0;
// Half of a currency's last digit.
constexpr double kHalfCent = 0.00005;

bool IsDateField(TFieldType t) { return t == ftDate || t == ftDateTime || t == ftTimeStamp; }

// Runs of whole days whose group under `item` is `group`. The built-in
// groupings depend on the day alone and never reach further than a year
// and a week from their group's date.
std::vector<std::pair<double, double>> GroupDays(const TDimensionItem& item, double group) {
  std::vector<std::pair<double, double>> runs;
  const double start = std::floor(group) - 400;
  for (int i = 0; i <= 800; ++i) {
    const double day = start + i;
    Variant v = Variant::Date(day);
    item.TransformValue(v);
    if (v.AsDouble() != group) continue;
    if (!runs.empty() && runs.back().second == day) runs.back().second = day + 1;
    else runs.push_back({day, day + 1});
  }
  return runs;
}

TDrillCondition ConditionFor(const THySource& source, int32_t dimIndex, int32_t valueIndex) {
  const TDimension* dim = source.GetDimension(dimIndex);
  const TDimensionItem* item = dim ? dim->MapItem() : nullptr;
  if (!item || !item->Field()) throw EDrillError("The cube is not open");
  TDrillCondition c;
  c.fieldName = item->FieldName();
  c.fieldType = item->Field()->DataType();
  const std::string dimension = source.GetDimensionCaption(dimIndex);
  c.caption = (dimension.empty() ? item->Name() : dimension) + " = " +
              source.GetValueText(dimIndex, valueIndex);
  const Variant value = dim->GetValue(valueIndex);
  if (value.IsNull()) {
    c.kind = TDrillCondition::dcNull;
    return c;
  }
  const TBinType bin = item->BinType();
  if (IsDateField(c.fieldType) && bin != binNone) {
    if (bin == binCustom)
      throw EDrillError(Format("Dimension '%s' has a custom grouping: its rows cannot be listed",
                               item->Name().c_str()));
    c.kind = TDrillCondition::dcRanges;
    c.ranges = GroupDays(*item, value.AsDouble());
    return c;
  }
  const double d = value.IsNumeric() || value.VarType() == varDate ? value.AsDouble() : 0;
  if (c.fieldType == ftDate) {
    c.kind = TDrillCondition::dcRanges;
    c.ranges = {{std::floor(d), std::floor(d) + 1}};
  } else if (IsDateField(c.fieldType) || c.fieldType == ftTime) {
    c.kind = TDrillCondition::dcRanges;
    c.ranges = {{d - kHalfMs, d + kHalfMs}};
  } else if (c.fieldType == ftCurrency || c.fieldType == ftBCD) {
    c.kind = TDrillCondition::dcRanges;
    c.ranges = {{d - kHalfCent, d + kHalfCent}};
  } else {
    c.value = value;
  }
  return c;
}

std::string QuoteIdent(const std::string& name) {
  std::string out = "\"";
  for (char ch : name) {
    if (ch == '"') out += '"';
    out += ch;
  }
  return out + "\"";
}

// The SQL of a column's key as the cube compares it: dates as day numbers
// (texts through julianday), times as day fractions, Booleans as 0 or 1.
std::string KeyExpression(const TDrillCondition& c) {
  const std::string col = QuoteIdent(c.fieldName);
  const std::string numeric = "typeof(" + col + ") IN ('integer', 'real')";
  if (IsDateField(c.fieldType))
    return "(CASE WHEN " + numeric + " THEN " + col + " ELSE julianday(" + col +
           ") - 2415018.5 END)";
  if (c.fieldType == ftTime)
    return "(CASE WHEN " + numeric + " THEN " + col + " - CAST(" + col +
           " AS INTEGER) ELSE julianday('2000-01-01 ' || time(" + col + ")) - 2451544.5 END)";
  if (c.fieldType == ftBoolean)
    return "(CASE WHEN " + numeric + " THEN " + col + " <> 0 ELSE lower(" + col +
           ") IN ('true', 't', 'yes', 'y') END)";
  return col;
}

void Bind(sqlite3_stmt* stmt, int index, const Variant& v) {
  switch (v.VarType()) {
    case varNull:
    case varEmpty: sqlite3_bind_null(stmt, index); break;
    case varSmallint:
    case varInteger:
    case varInt64: sqlite3_bind_int64(stmt, index, v.AsInt64()); break;
    case varBoolean: sqlite3_bind_int(stmt, index, v.AsBoolean() ? 1 : 0); break;
    case varString: {
      const std::string s = v.AsString();
      sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
    }
    default: sqlite3_bind_double(stmt, index, v.AsDouble()); break;
  }
}

// ------------------------------------------------------------ SQLite rows

class TTableDrillRows : public TDrillRows {
public:
  TTableDrillRows(const TTableLocation& location, const TDrillFilter& filter) {
    if (sqlite3_open_v2(location.fileName.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
      Raise("Cannot open database file");
    sqlite3_busy_timeout(db_, 5000);
    const TDrillSql sql = BuildDrillWhere(filter);
    const std::string from = " FROM " + QuoteIdent(location.tableName) + " WHERE " + sql.where;
    // Tables come in rowid order, as the cube read them; views in their own.
    select_ = TryPrepare("SELECT *" + from + " ORDER BY rowid");
    if (!select_) select_ = Prepare("SELECT *" + from);
    count_ = Prepare("SELECT COUNT(*)" + from);
    for (size_t i = 0; i < sql.params.size(); ++i) {
      Bind(select_, static_cast<int>(i + 1), sql.params[i]);
      Bind(count_, static_cast<int>(i + 1), sql.params[i]);
    }
    const int columns = sqlite3_column_count(select_);
    for (int i = 0; i < columns; ++i) {
      names_.push_back(sqlite3_column_name(select_, i));
      const char* declared = sqlite3_column_decltype(select_, i);
      types_.push_back(ColumnTypeFromDeclaration(declared ? declared : "").type);
    }
  }

  ~TTableDrillRows() override {
    sqlite3_finalize(select_);
    sqlite3_finalize(count_);
    sqlite3_close(db_);
  }

  int64_t Count() override {
    if (total_ < 0) {
      const int rc = sqlite3_step(count_);
      if (rc != SQLITE_ROW) Raise("Cannot count the rows");
      total_ = sqlite3_column_int64(count_, 0);
    }
    return total_;
  }

  bool Fetch(int max, std::vector<std::vector<Variant>>& rows) override {
    for (int n = 0; n < max && !done_; ++n) {
      const int rc = sqlite3_step(select_);
      if (rc == SQLITE_DONE) {
        done_ = true;
        break;
      }
      if (rc != SQLITE_ROW) Raise("Cannot read the rows");
      std::vector<Variant>& row = rows.emplace_back();
      for (int c = 0; c < static_cast<int>(names_.size()); ++c) row.push_back(Value(c));
    }
    return !done_;
  }

private:
  Variant Value(int c) const {
    const bool date = IsDateField(types_[c]) || types_[c] == ftTime;
    switch (sqlite3_column_type(select_, c)) {
      case SQLITE_NULL: return Variant::Null();
      case SQLITE_INTEGER: {
        const int64_t i = sqlite3_column_int64(select_, c);
        return date ? Variant::Date(static_cast<double>(i)) : Variant(i);
      }
      case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(select_, c);
        return date ? Variant::Date(d) : Variant(d);
      }
      default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(select_, c));
        std::string text(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(select_, c)));
        TDateTime dt = 0;
        if (date && TryTableDateText(text, dt)) return Variant::Date(dt);
        return Variant(std::move(text));
      }
    }
  }

  sqlite3_stmt* TryPrepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return nullptr;
    }
    return stmt;
  }

  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* stmt = TryPrepare(sql);
    if (!stmt) Raise("Cannot query the table");
    return stmt;
  }

  [[noreturn]] void Raise(const char* doing) const {
    throw EDatabaseError(Format("%s: %s", doing, db_ ? sqlite3_errmsg(db_) : "out of memory"));
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* select_ = nullptr;
  sqlite3_stmt* count_ = nullptr;
  std::vector<TFieldType> types_;
  int64_t total_ = -1;
  bool done_ = false;
};

// -------------------------------------------------------- in-memory rows

class TMemDrillRows : public TDrillRows {
public:
  TMemDrillRows(TMemDataSet& dataSet, const TDrillFilter& filter)
      : watch_(this), dataSet_(&dataSet) {
    dataSet.FreeNotification(&watch_);
    std::vector<int> columns;
    for (const TDrillCondition& c : filter.conditions) {
      const int column = dataSet.FindColumn(c.fieldName);
      if (column < 0) throw EDrillError(Format("Field '%s' not found", c.fieldName.c_str()));
      columns.push_back(column);
    }
    for (int c = 0; c < dataSet.ColumnCount(); ++c) names_.push_back(dataSet.ColumnName(c));
    for (int64_t row = 0; row < dataSet.RowCount(); ++row) {
      bool match = true;
      for (size_t i = 0; i < columns.size() && match; ++i)
        match = DrillValueMatches(filter.conditions[i], dataSet.Value(row, columns[i]));
      if (match) rows_.push_back(row);
    }
  }

  ~TMemDrillRows() override {
    if (dataSet_) dataSet_->RemoveFreeNotification(&watch_);
  }

  int64_t Count() override { return static_cast<int64_t>(rows_.size()); }

  bool Fetch(int max, std::vector<std::vector<Variant>>& rows) override {
    if (!dataSet_) throw EDrillError("The rows' source was closed");
    for (int n = 0; n < max && next_ < rows_.size(); ++n, ++next_) {
      std::vector<Variant>& row = rows.emplace_back();
      for (int c = 0; c < static_cast<int>(names_.size()); ++c)
        row.push_back(c < dataSet_->ColumnCount() ? dataSet_->Value(rows_[next_], c)
                                                  : Variant::Null());
    }
    return next_ < rows_.size();
  }

private:
  // Told when the dataset goes away.
  class TWatch : public TComponent {
  public:
    explicit TWatch(TMemDrillRows* rows) : rows_(rows) {}

  protected:
    void Notification(TComponent* component, TOperation operation) override {
      TComponent::Notification(component, operation);
      if (operation == opRemove && component == rows_->dataSet_) rows_->dataSet_ = nullptr;
    }

  private:
    TMemDrillRows* rows_;
  };

  TWatch watch_;
  TMemDataSet* dataSet_;
  std::vector<int64_t> rows_;
  size_t next_ = 0;
};

}  // namespace

std::string TDrillFilter::Describe() const {
  if (conditions.empty()) return "all rows";
  std::string text;
  for (const TDrillCondition& c : conditions) text += (text.empty() ? "" : ", ") + c.caption;
  return text;
}

TDrillFilter DrillFilterForCoords(const THySource& source, const TCoords& coords) {
  const THyCube* cube = source.DecisionCube();
  if (!source.IsActive() || !cube || source.DataState() != dsAllData)
    throw EDrillError("The cube is not open");
  if (static_cast<int32_t>(coords.size()) != cube->GetDimensionCount())
    throw EDrillError("The cell's coordinates do not match the cube");
  TDrillFilter filter;
  for (int32_t d = 0; d < static_cast<int32_t>(coords.size()); ++d)
    if (coords[d] >= 0) filter.conditions.push_back(ConditionFor(source, d, coords[d]));
  return filter;
}

TDrillFilter DrillFilterForCell(const THySource& source, int32_t x, int32_t y) {
  if (!source.IsActive()) throw EDrillError("The cube is not open");
  if (x < 0 || y < 0 || x >= source.ColCount() || y >= source.RowCount())
    throw EDrillError(Format("The cell %d,%d is not a data cell (the data cells are 0,0 to %d,%d)",
                             x, y, source.ColCount() - 1, source.RowCount() - 1));
  return DrillFilterForCoords(source, source.CellCoords(y, x));
}

TDrillSql BuildDrillWhere(const TDrillFilter& filter) {
  TDrillSql sql;
  for (const TDrillCondition& c : filter.conditions) {
    if (!sql.where.empty()) sql.where += " AND ";
    const std::string key = KeyExpression(c);
    switch (c.kind) {
      case TDrillCondition::dcNull: sql.where += QuoteIdent(c.fieldName) + " IS NULL"; break;
      case TDrillCondition::dcEqual:
        sql.where += key + " = ?";
        sql.params.push_back(
            c.fieldType == ftBoolean ? Variant(int64_t{c.value.AsBoolean() ? 1 : 0}) : c.value);
        break;
      case TDrillCondition::dcRanges: {
        std::string any;
        for (const auto& [lo, hi] : c.ranges) {
          any += (any.empty() ? "" : " OR ") + ("(" + key + " >= ? AND " + key + " < ?)");
          sql.params.push_back(Variant(lo));
          sql.params.push_back(Variant(hi));
        }
        sql.where += "(" + (any.empty() ? std::string("0") : any) + ")";
        break;
      }
    }
  }
  if (sql.where.empty()) sql.where = "1";
  return sql;
}

bool DrillValueMatches(const TDrillCondition& c, const Variant& value) {
  if (c.kind == TDrillCondition::dcNull) return value.IsNull();
  if (value.IsNull() || value.IsEmpty()) return false;
  if (c.kind == TDrillCondition::dcRanges) {
    const double v = value.AsDouble();
    for (const auto& [lo, hi] : c.ranges)
      if (v >= lo && v < hi) return true;
    return false;
  }
  if (c.value.VarType() == varString || value.VarType() == varString)
    return value.AsString() == c.value.AsString();
  if (c.fieldType == ftBoolean) return value.AsBoolean() == c.value.AsBoolean();
  if (c.value.IsOrdinal() && value.IsOrdinal()) return value.AsInt64() == c.value.AsInt64();
  return value.AsDouble() == c.value.AsDouble();
}

TDrillRows::~TDrillRows() = default;

std::unique_ptr<TDrillRows> OpenDrillRows(TDataSet& source, const TDrillFilter& filter) {
  if (auto* table = dynamic_cast<TTable*>(&source))
    return std::make_unique<TTableDrillRows>(table->Location(), filter);
  if (auto* memory = dynamic_cast<TMemDataSet*>(&source))
    return std::make_unique<TMemDrillRows>(*memory, filter);
  throw EDrillError("The cube's dataset cannot list its rows");
}

std::unique_ptr<TDrillRows> OpenDrillRows(const THySource& source, const TDrillFilter& filter) {
  THyCube* cube = source.DecisionCube();
  if (!cube || !cube->DataSet()) throw EDrillError("The cube has no dataset");
  return OpenDrillRows(*cube->DataSet(), filter);
}

std::string DrillValueText(const Variant& value) {
  switch (value.VarType()) {
    case varEmpty:
    case varNull: return std::string();
    case varDate: {
      const TDateTime v = value.AsDate();
      int y, m, d, h, n, s, ms;
      DecodeDateTime(v, y, m, d, h, n, s, ms);
      if (h == 0 && n == 0 && s == 0 && ms == 0) return Format("%04d-%02d-%02d", y, m, d);
      return Format("%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, n, s);
    }
    case varSingle:
    case varDouble: return Format("%.15g", value.AsDouble());
    case varCurrency: {
      const int64_t raw = value.AsCurrency().raw;
      const uint64_t a = raw < 0 ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
      std::string text =
          Format("%s%llu.%04llu", raw < 0 ? "-" : "", static_cast<unsigned long long>(a / 10000),
                 static_cast<unsigned long long>(a % 10000));
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
      return text;
    }
    default: return value.AsString();
  }
}

}  // namespace hy
