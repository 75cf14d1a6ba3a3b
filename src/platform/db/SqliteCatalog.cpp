#include "platform/db/SqliteCatalog.h"

#include <sqlite3.h>

#include <filesystem>

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "platform/db/DataSet.h"

namespace hy {

namespace {

[[noreturn]] void Raise(const std::string& fileName, sqlite3* db, int rc) {
  const int code = rc & 0xFF;
  if (code == SQLITE_NOTADB)
    throw EDatabaseError(Format("'%s' is not an SQLite database", fileName.c_str()));
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
    throw EDatabaseError(
        Format("'%s' is locked by another program; try again once it is closed", fileName.c_str()));
  throw EDatabaseError(Format("Cannot read '%s': %s", fileName.c_str(),
                              db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

}  // namespace

std::vector<TTableEntry> ListSqliteTables(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec))
    throw EDatabaseError(Format("Database file '%s' not found", fileName.c_str()));
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(fileName.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  auto close = ScopeExit([&] { sqlite3_close(db); });
  if (rc != SQLITE_OK) Raise(fileName, db, rc);
  sqlite3_busy_timeout(db, 300);

  std::vector<TTableEntry> entries;
  sqlite3_stmt* list = nullptr;
  int step =
      sqlite3_prepare_v2(db,
                         "SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
                         "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name COLLATE NOCASE",
                         -1, &list, nullptr);
  auto finalize = ScopeExit([&] { sqlite3_finalize(list); });
  if (step != SQLITE_OK) Raise(fileName, db, step);
  while ((step = sqlite3_step(list)) == SQLITE_ROW) {
    TTableEntry entry;
    entry.name = reinterpret_cast<const char*>(sqlite3_column_text(list, 0));
    entry.isView =
        std::string(reinterpret_cast<const char*>(sqlite3_column_text(list, 1))) == "view";
    entries.push_back(entry);
  }
  if (step != SQLITE_DONE) Raise(fileName, db, step);

  for (TTableEntry& entry : entries) {
    std::string quoted = "\"";
    for (char c : entry.name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    sqlite3_stmt* count = nullptr;
    const std::string sql = "SELECT COUNT(*) FROM " + quoted + "\"";
    const int prepared = sqlite3_prepare_v2(db, sql.c_str(), -1, &count, nullptr);
    int counted = prepared == SQLITE_OK ? sqlite3_step(count) : prepared;
    if (counted == SQLITE_ROW) entry.rowCount = sqlite3_column_int64(count, 0);
    sqlite3_finalize(count);
    const int code = counted & 0xFF;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) Raise(fileName, db, counted);
  }
  if (entries.empty())
    throw EDatabaseError(Format("'%s' holds no tables or views", fileName.c_str()));
  return entries;
}

}  // namespace hy
