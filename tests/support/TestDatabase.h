// A throwaway SQLite database file in its own temporary folder, filled by
// SQL, for tests that read through the real dataset engine.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/db/Table.h"

namespace hy::test {

class TestDatabase {
public:
  explicit TestDatabase(const std::string& fileName = "test.db") {
    std::string pattern = (std::filesystem::temp_directory_path() / "hytest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temp folder");
    folder_ = pattern;
    file_ = (std::filesystem::path(folder_) / fileName).string();
    if (sqlite3_open(file_.c_str(), &db_) != SQLITE_OK)
      throw std::runtime_error("cannot open " + file_);
  }
  ~TestDatabase() {
    sqlite3_close(db_);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  void Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string text = error ? error : "unknown error";
      sqlite3_free(error);
      throw std::runtime_error("SQL failed: " + text + " in: " + sql);
    }
  }

  const std::string& Folder() const { return folder_; }
  const std::string& File() const { return file_; }
  sqlite3* Handle() const { return db_; }

  // A table dataset over `table` of this file, not yet open.
  std::unique_ptr<TTable> Table(const std::string& table, TComponent* owner = nullptr) const {
    auto t = std::make_unique<TTable>(owner);
    t->SetDatabaseName(folder_);
    t->SetTableName(std::filesystem::path(file_).filename().string() + ":" + table);
    return t;
  }

private:
  std::string folder_;
  std::string file_;
  sqlite3* db_ = nullptr;
};

}  // namespace hy::test
