// Scratch folders and direct SQLite access for the database tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace hy::test {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
  std::filesystem::path path_;
};

// Runs SQL on a database file, creating it when missing; throws
// std::runtime_error with SQLite's message on failure.
void ExecSql(const std::string& file, const std::string& sql);
// Every row of a query, each value as text ("<null>" for NULL).
std::vector<std::vector<std::string>> QuerySql(const std::string& file, const std::string& sql);
// The single value of a one-row, one-column query.
std::string QueryValue(const std::string& file, const std::string& sql);

}  // namespace hy::test
