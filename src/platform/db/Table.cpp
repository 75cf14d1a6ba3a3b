#include "platform/db/Table.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

#include "common/Format.h"
#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "platform/db/Aliases.h"

namespace hy {

namespace fs = std::filesystem;

namespace {

// Day numbers of 1 January 0001 and of the day after 31 December 9999.
constexpr double kMinDay = -693593.0;
constexpr double kMaxDay = 2958466.0;

std::string QuoteIdent(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ParseInt64(std::string_view s, int64_t& out) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

bool ParseDouble(std::string_view s, double& out) {
  s = TrimBlanks(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty() && std::isfinite(out);
}

std::string_view ColumnText(sqlite3_stmt* stmt, int col) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
  int bytes = sqlite3_column_bytes(stmt, col);
  return text ? std::string_view(text, static_cast<size_t>(bytes)) : std::string_view();
}

// The stored value as a whole number; false when it is not one.
bool ColumnInt64(sqlite3_stmt* stmt, int col, int storage, int64_t& out) {
  switch (storage) {
    case SQLITE_INTEGER: out = sqlite3_column_int64(stmt, col); return true;
    case SQLITE_FLOAT: {
      double d = sqlite3_column_double(stmt, col);
      // 2^63 is exactly representable; anything below it converts safely.
      if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) || d != std::trunc(d))
        return false;
      out = static_cast<int64_t>(d);
      return true;
    }
    case SQLITE_TEXT: {
      std::string_view text = ColumnText(stmt, col);
      if (ParseInt64(text, out)) return true;
      double d;
      if (!ParseDouble(text, d) || d != std::trunc(d) ||
          !(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
        return false;
      out = static_cast<int64_t>(d);
      return true;
    }
    default: return false;
  }
}

bool ColumnDouble(sqlite3_stmt* stmt, int col, int storage, double& out) {
  switch (storage) {
    case SQLITE_INTEGER: out = static_cast<double>(sqlite3_column_int64(stmt, col)); return true;
    case SQLITE_FLOAT: out = sqlite3_column_double(stmt, col); return std::isfinite(out);
    case SQLITE_TEXT: return ParseDouble(ColumnText(stmt, col), out);
    default: return false;
  }
}

bool ColumnCurrency(sqlite3_stmt* stmt, int col, int storage, Currency& out) {
  constexpr int64_t kMaxWhole = std::numeric_limits<int64_t>::max() / Currency::kScale;
  if (storage == SQLITE_INTEGER) {
    int64_t v = sqlite3_column_int64(stmt, col);
    if (v > kMaxWhole || v < -kMaxWhole) return false;
    out = Currency::FromInt(v);
    return true;
  }
  double d;
  if (!ColumnDouble(stmt, col, storage, d)) return false;
  try {
    out = Currency::FromDouble(d);
  } catch (const EConvertError&) {
    return false;
  }
  return true;
}

bool ColumnBoolean(sqlite3_stmt* stmt, int col, int storage, bool& out) {
  if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
    out = sqlite3_column_double(stmt, col) != 0.0;
    return true;
  }
  if (storage != SQLITE_TEXT) return false;
  std::string_view text = TrimBlanks(ColumnText(stmt, col));
  for (const char* t : {"true", "t", "yes", "y", "1"})
    if (SameText(text, t)) return out = true, true;
  for (const char* f : {"false", "f", "no", "n", "0"})
    if (SameText(text, f)) return out = false, true;
  return false;
}

bool ColumnDate(sqlite3_stmt* stmt, int col, int storage, TDateTime& out) {
  if (storage == SQLITE_TEXT) return TryTableDateText(TrimBlanks(ColumnText(stmt, col)), out);
  double d;
  if (storage == SQLITE_BLOB || !ColumnDouble(stmt, col, storage, d)) return false;
  if (!(d >= kMinDay && d < kMaxDay)) return false;
  out = d;
  return true;
}

// The number of `count` decimal digits at p; -1 when one is not a digit.
int Digits(const char* p, int count) {
  int v = 0;
  for (int i = 0; i < count; ++i) {
    const unsigned d = static_cast<unsigned char>(p[i]) - unsigned('0');
    if (d > 9) return -1;
    v = v * 10 + static_cast<int>(d);
  }
  return v;
}

// The exact forms only; false sends the text to the general parser.
bool TryFastDateText(std::string_view text, TDateTime& out) {
  const size_t n = text.size();
  if (n != 10 && n != 16 && n != 19 && n != 23) return false;
  const char* p = text.data();
  if (p[4] != '-' || p[7] != '-') return false;
  const int y = Digits(p, 4), mo = Digits(p + 5, 2), d = Digits(p + 8, 2);
  if (y < 0 || mo < 0 || d < 0) return false;
  TDateTime date;
  if (!TryEncodeDate(y, mo, d, date)) return false;
  if (n == 10) {
    out = date;
    return true;
  }
  if ((p[10] != ' ' && p[10] != 'T') || p[13] != ':') return false;
  const int h = Digits(p + 11, 2), mi = Digits(p + 14, 2);
  int sec = 0, ms = 0;
  if (n >= 19) {
    if (p[16] != ':') return false;
    sec = Digits(p + 17, 2);
  }
  if (n == 23) {
    if (p[19] != '.') return false;
    ms = Digits(p + 20, 3);
  }
  TDateTime time;
  if (h < 0 || mi < 0 || sec < 0 || ms < 0 || !TryEncodeTime(h, mi, sec, ms, time)) return false;
  out = ComposeDateTime(date, time);
  return true;
}

// Upper-cased declared type split into its name (single blanks) and the
// numbers in parentheses.
struct Declaration {
  std::string name;
  int args[2] = {-1, -1};
  int argCount = 0;
};

Declaration ParseDeclaration(std::string_view declared) {
  Declaration d;
  std::string_view rest = declared;
  size_t open = rest.find('(');
  std::string_view head = rest.substr(0, open);
  for (size_t i = 0; i < head.size();) {
    while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i]))) ++i;
    size_t start = i;
    while (i < head.size() && !std::isspace(static_cast<unsigned char>(head[i]))) ++i;
    if (i > start) {
      if (!d.name.empty()) d.name += ' ';
      d.name += UpperCase(head.substr(start, i - start));
    }
  }
  if (open != std::string_view::npos) {
    std::string_view inside = rest.substr(open + 1);
    inside = inside.substr(0, inside.find(')'));
    for (const std::string& part : SplitString(inside, ',')) {
      int64_t v;
      if (d.argCount < 2 && ParseInt64(part, v) && v >= 0 && v <= 1000000)
        d.args[d.argCount++] = static_cast<int>(v);
    }
  }
  return d;
}

bool NameIs(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

std::string ShownValue(sqlite3_stmt* stmt, int col) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER:
      return Format("%lld", static_cast<long long>(sqlite3_column_int64(stmt, col)));
    case SQLITE_FLOAT: return Format("%.17g", sqlite3_column_double(stmt, col));
    case SQLITE_TEXT: {
      std::string_view text = ColumnText(stmt, col);
      if (text.size() > 40) return "'" + std::string(text.substr(0, 40)) + "...'";
      return "'" + std::string(text) + "'";
    }
    case SQLITE_BLOB: return Format("a BLOB of %d bytes", sqlite3_column_bytes(stmt, col));
    default: return "NULL";
  }
}

}  // namespace

bool TryTableDateText(std::string_view text, TDateTime& out) {
  return TryFastDateText(text, out) || TryISOStrToDateTime(text, out);
}

TColumnType ColumnTypeFromDeclaration(std::string_view declared) {
  Declaration d = ParseDeclaration(declared);
  const std::string& n = d.name;
  auto arg = [&](int i, int dflt) { return i < d.argCount ? d.args[i] : dflt; };
  if (n.empty()) return {ftUnknown, 0, 0};
  if (NameIs(n, {"INTEGER", "INT", "MEDIUMINT", "INT4"})) return {ftInteger, 0, 0};
  if (NameIs(n, {"SMALLINT", "INT2", "TINYINT"})) return {ftSmallint, 0, 0};
  if (n == "WORD") return {ftWord, 0, 0};
  if (NameIs(n, {"BIGINT", "INT8", "LARGEINT", "UNSIGNED BIG INT"})) return {ftLargeint, 0, 0};
  if (NameIs(n, {"AUTOINC", "AUTOINCREMENT", "COUNTER"})) return {ftAutoInc, 0, 0};
  if (NameIs(n, {"REAL", "FLOAT", "DOUBLE", "DOUBLE PRECISION"})) return {ftFloat, 0, 15};
  if (NameIs(n, {"CURRENCY", "MONEY"})) return {ftCurrency, 0, 15};
  if (NameIs(n, {"DECIMAL", "NUMERIC"})) {
    int precision = arg(0, 18);
    int scale = d.argCount == 0 ? 4 : arg(1, 0);
    if (precision < 1) precision = 18;
    bool fits = precision <= 18 && scale <= 4;
    return {fits ? ftBCD : ftFMTBcd, scale, precision};
  }
  if (NameIs(n, {"CHAR", "CHARACTER", "NCHAR", "NATIVE CHARACTER", "NATIONAL CHARACTER"}))
    return {ftFixedChar, arg(0, 1), 0};
  if (NameIs(n, {"VARCHAR", "CHARACTER VARYING", "VARYING CHARACTER", "CHAR VARYING"}))
    return {ftString, arg(0, 255), 0};
  if (NameIs(n, {"NVARCHAR", "NATIONAL VARCHAR", "NATIONAL CHARACTER VARYING"}))
    return {ftWideString, arg(0, 255), 0};
  if (NameIs(n, {"TEXT", "STRING"})) return {ftString, 255, 0};
  if (n == "NTEXT") return {ftWideString, 255, 0};
  if (NameIs(n, {"CLOB", "MEMO"})) return {ftMemo, 0, 0};
  if (NameIs(n, {"BOOLEAN", "BOOL", "LOGICAL"})) return {ftBoolean, 0, 0};
  if (n == "DATE") return {ftDate, 0, 0};
  if (n == "TIME") return {ftTime, 0, 0};
  if (n == "DATETIME") return {ftDateTime, 0, 0};
  if (n == "TIMESTAMP") return {ftTimeStamp, 0, 0};
  if (n == "BLOB") return {ftBlob, 0, 0};
  if (NameIs(n, {"BINARY", "VARBINARY", "BYTES"})) return {ftBytes, arg(0, 0), 0};
  // Unknown names: SQLite's own affinity rules, in its order.
  if (n.find("INT") != std::string::npos) return {ftLargeint, 0, 0};
  if (n.find("CHAR") != std::string::npos || n.find("CLOB") != std::string::npos ||
      n.find("TEXT") != std::string::npos)
    return {ftString, arg(0, 255), 0};
  if (n.find("BLOB") != std::string::npos) return {ftBlob, 0, 0};
  return {ftFloat, 0, 15};
}

TTableLocation ResolveTableLocation(std::string_view databaseName, std::string_view tableName) {
  std::string name = Trim(tableName);
  if (name.empty()) throw EDatabaseError("No table name given");
  TTableLocation loc;
  std::string file = name;
  size_t colon = name.rfind(':');
  if (colon != std::string::npos && name.find('/', colon) == std::string::npos) {
    file = name.substr(0, colon);
    loc.tableName = Trim(name.substr(colon + 1));
    if (file.empty()) throw EDatabaseError(Format("No database file given in '%s'", name.c_str()));
  }
  fs::path path(file);
  if (loc.tableName.empty()) loc.tableName = path.stem().string();
  if (path.is_relative()) path = fs::path(DatabaseFolder(databaseName)) / path;
  loc.fileName = path.lexically_normal().string();
  return loc;
}

TTable::TTable(TComponent* owner) : TDataSet(owner) {}

TTable::~TTable() {
  Destroying();
  Close();
}

void TTable::SetDatabaseName(std::string_view value) {
  CheckInactive();
  databaseName_ = std::string(value);
}

void TTable::SetTableName(std::string_view value) {
  CheckInactive();
  tableName_ = std::string(value);
}

std::string TTable::DisplayName() const { return Name().empty() ? tableName_ : Name(); }

void TTable::InternalOpen() {
  TTableLocation loc = ResolveTableLocation(databaseName_, tableName_);
  fileName_ = loc.fileName;
  std::error_code ec;
  fs::file_status status = fs::status(fileName_, ec);
  if (!fs::exists(status))
    throw EDatabaseError(Format("Database file '%s' not found", fileName_.c_str()));
  if (fs::is_directory(status))
    throw EDatabaseError(Format("'%s' is a folder, not a database file", fileName_.c_str()));

  // Read-only: a missing file is never created, and nothing is written.
  // One connection per table, used by one thread at a time: without the
  // connection's mutex every column read of a scan saves a lock and unlock.
  int rc =
      sqlite3_open_v2(fileName_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) RaiseSqlError("Cannot open database file");
  sqlite3_busy_timeout(db_, 5000);

  sqlite3_stmt* find = Prepare(
      "SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 "
      "COLLATE NOCASE");
  sqlite3_bind_text(find, 1, loc.tableName.data(), static_cast<int>(loc.tableName.size()),
                    SQLITE_TRANSIENT);
  bool found = false, isView = false;
  {
    auto done = ScopeExit([&] { sqlite3_finalize(find); });
    found = Step(find);
    if (found) {
      sqlTable_ = std::string(ColumnText(find, 0));
      isView = ColumnText(find, 1) == "view";
    }
  }
  if (!found)
    throw EDatabaseError(Format("Table '%s' not found in database file '%s'", loc.tableName.c_str(),
                                fileName_.c_str()));

  sqlite3_stmt* info = Prepare("SELECT name, type FROM pragma_table_info(?1)");
  sqlite3_bind_text(info, 1, sqlTable_.data(), static_cast<int>(sqlTable_.size()),
                    SQLITE_TRANSIENT);
  std::string columns;
  {
    auto done = ScopeExit([&] { sqlite3_finalize(info); });
    while (Step(info)) {
      std::string column(ColumnText(info, 0));
      TColumnType type = ColumnTypeFromDeclaration(ColumnText(info, 1));
      AddField(column, type.type, type.size, type.precision);
      if (!columns.empty()) columns += ", ";
      columns += QuoteIdent(column);
    }
  }
  if (columns.empty())
    throw EDatabaseError(
        Format("Table '%s' in '%s' has no columns", sqlTable_.c_str(), fileName_.c_str()));

  std::string from = " FROM " + QuoteIdent(sqlTable_);
  // Views (whose rowid is NULL) and WITHOUT ROWID tables keep their own order.
  sqlite3_stmt* rowid = nullptr;
  bool hasRowid = !isView && sqlite3_prepare_v2(db_, ("SELECT rowid" + from + " LIMIT 0").c_str(),
                                                -1, &rowid, nullptr) == SQLITE_OK;
  sqlite3_finalize(rowid);
  scan_ = Prepare("SELECT " + columns + from + (hasRowid ? " ORDER BY rowid" : ""),
                  SQLITE_PREPARE_PERSISTENT);
  probe_ = Prepare("SELECT 1" + from + " LIMIT 1", SQLITE_PREPARE_PERSISTENT);
}

void TTable::InternalClose() {
  sqlite3_finalize(scan_);
  sqlite3_finalize(probe_);
  scan_ = probe_ = nullptr;
  sqlite3_close_v2(db_);
  db_ = nullptr;
  fileName_.clear();
  sqlTable_.clear();
}

bool TTable::InternalFirst() {
  sqlite3_reset(scan_);
  return Step(scan_);
}

bool TTable::InternalNext() { return Step(scan_); }

bool TTable::InternalIsEmpty() {
  sqlite3_reset(probe_);
  bool any = Step(probe_);
  sqlite3_reset(probe_);
  return !any;
}

sqlite3_stmt* TTable::Prepare(const std::string& sql, unsigned flags) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), flags, &stmt, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(stmt);
    RaiseSqlError("Cannot read database file");
  }
  return stmt;
}

// Steps a statement; at its end the statement is reset, which releases the
// file's read lock between scans.
bool TTable::Step(sqlite3_stmt* stmt) {
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) {
    sqlite3_reset(stmt);
    return false;
  }
  std::string message = sqlite3_errmsg(db_);
  int code = sqlite3_extended_errcode(db_);
  sqlite3_reset(stmt);
  if ((code & 0xff) == SQLITE_NOTADB)
    throw EDatabaseError(Format("'%s' is not an SQLite database file", fileName_.c_str()));
  throw EDatabaseError(Format("Cannot read table '%s' of '%s': %s", sqlTable_.c_str(),
                              fileName_.c_str(), message.c_str()));
}

void TTable::RaiseSqlError(const char* doing) const {
  int code = db_ ? sqlite3_extended_errcode(db_) : SQLITE_NOMEM;
  if ((code & 0xff) == SQLITE_NOTADB)
    throw EDatabaseError(Format("'%s' is not an SQLite database file", fileName_.c_str()));
  std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
  throw EDatabaseError(Format("%s '%s': %s", doing, fileName_.c_str(), message.c_str()));
}

void TTable::RaiseBadValue(const TField& field, int column) const {
  throw EDatabaseError(Format("Table '%s' (%s), row %lld, field '%s': %s is not a valid %s value",
                              sqlTable_.c_str(), fileName_.c_str(), static_cast<long long>(RecNo()),
                              field.FieldName().c_str(), ShownValue(scan_, column).c_str(),
                              field.TypeName()));
}

bool TTable::GetFieldData(const TField& field, TFieldData& data) const {
  const int col = field.FieldNo();
  const TFieldType type = field.DataType();
  switch (type) {
    case ftInteger:
    case ftAutoInc:
    case ftSmallint:
    case ftWord:
    case ftLargeint:
    case ftFloat:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo: break;
    default: return false;
  }
  const int storage = sqlite3_column_type(scan_, col);
  if (storage == SQLITE_NULL) {
    data.kind = TFieldData::fdNull;
    return true;
  }
  switch (type) {
    case ftFloat:
      if (!ColumnDouble(scan_, col, storage, data.d)) break;
      data.kind = TFieldData::fdDouble;
      return true;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: {
      TDateTime dt;
      if (!ColumnDate(scan_, col, storage, dt)) break;
      // A date text is a whole day already; zero goes through for its sign.
      if (type == ftDate && (dt != std::trunc(dt) || dt == 0)) dt = DateOf(dt);
      if (type == ftTime) dt = TimeOf(dt);
      data.kind = TFieldData::fdDouble;
      data.d = dt;
      return true;
    }
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
      data.kind = TFieldData::fdText;
      if (storage != SQLITE_BLOB) {
        data.text = ColumnText(scan_, col);
      } else {
        const void* bytes = sqlite3_column_blob(scan_, col);
        const int size = sqlite3_column_bytes(scan_, col);
        data.text = std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(size));
      }
      return true;
    default: {  // the integer types
      int64_t v;
      if (!ColumnInt64(scan_, col, storage, v)) break;
      const bool fits = type == ftLargeint   ? true
                        : type == ftSmallint ? v >= INT16_MIN && v <= INT16_MAX
                        : type == ftWord     ? v >= 0 && v <= UINT16_MAX
                                             : v >= INT32_MIN && v <= INT32_MAX;
      if (!fits) break;
      data.kind = TFieldData::fdInt;
      data.i = v;
      return true;
    }
  }
  RaiseBadValue(field, col);
}

Variant TTable::GetFieldValue(const TField& field) const {
  const int col = field.FieldNo();
  const int storage = sqlite3_column_type(scan_, col);
  if (storage == SQLITE_NULL) return Variant::Null();
  switch (field.DataType()) {
    case ftInteger:
    case ftAutoInc:
    case ftSmallint:
    case ftWord:
    case ftLargeint: {
      int64_t v;
      if (!ColumnInt64(scan_, col, storage, v)) break;
      switch (field.DataType()) {
        case ftLargeint: return Variant(v);
        case ftSmallint:
          if (v < INT16_MIN || v > INT16_MAX) break;
          return Variant::Smallint(static_cast<int16_t>(v));
        case ftWord:
          if (v < 0 || v > UINT16_MAX) break;
          return Variant(static_cast<int32_t>(v));
        default:
          if (v < INT32_MIN || v > INT32_MAX) break;
          return Variant(static_cast<int32_t>(v));
      }
      break;
    }
    case ftFloat:
    case ftFMTBcd: {
      double d;
      if (!ColumnDouble(scan_, col, storage, d)) break;
      return Variant(d);
    }
    case ftCurrency:
    case ftBCD: {
      Currency c;
      if (!ColumnCurrency(scan_, col, storage, c)) break;
      return Variant(c);
    }
    case ftBoolean: {
      bool b;
      if (!ColumnBoolean(scan_, col, storage, b)) break;
      return Variant(b);
    }
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: {
      TDateTime dt;
      if (!ColumnDate(scan_, col, storage, dt)) break;
      if (field.DataType() == ftDate) dt = DateOf(dt);
      if (field.DataType() == ftTime) dt = TimeOf(dt);
      return Variant::Date(dt);
    }
    case ftUnknown:
      if (storage == SQLITE_INTEGER) {
        int64_t v = sqlite3_column_int64(scan_, col);
        if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
        return Variant(v);
      }
      if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(scan_, col));
      [[fallthrough]];
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
      if (storage != SQLITE_BLOB) return Variant(ColumnText(scan_, col));
      [[fallthrough]];
    case ftBlob:
    case ftBytes: {
      const void* bytes = sqlite3_column_blob(scan_, col);
      int size = sqlite3_column_bytes(scan_, col);
      return Variant(std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(size)));
    }
  }
  RaiseBadValue(field, col);
}

}  // namespace hy
