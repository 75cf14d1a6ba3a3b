#include "DbTestUtil.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>

namespace hy::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("hy_db_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

namespace {

struct Db {
  sqlite3* db = nullptr;
  explicit Db(const std::string& file) {
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) Fail("open");
  }
  ~Db() { sqlite3_close_v2(db); }
  [[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
};

}  // namespace

void ExecSql(const std::string& file, const std::string& sql) {
  Db db(file);
  if (sqlite3_exec(db.db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) db.Fail("exec");
}

std::vector<std::vector<std::string>> QuerySql(const std::string& file, const std::string& sql) {
  Db db(file);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) db.Fail("prepare");
  std::vector<std::vector<std::string>> rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* text = sqlite3_column_text(stmt, i);
      row.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) db.Fail("step");
  return rows;
}

std::string QueryValue(const std::string& file, const std::string& sql) {
  auto rows = QuerySql(file, sql);
  if (rows.size() != 1 || rows[0].size() != 1)
    throw std::runtime_error("expected one value from: " + sql);
  return rows[0][0];
}

}  // namespace hy::test
