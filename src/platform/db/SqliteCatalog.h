// What an SQLite file offers as cube sources: its tables and views with
// their row counts, with clear messages for a file that is missing, is not a
// database or is locked by another program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hy {

struct TTableEntry {
  std::string name;
  bool isView = false;
  int64_t rowCount = -1;  // -1 when the rows cannot be counted (a broken view)
};

// The tables and views of `fileName` in name order (SQLite's own tables left
// out). Raises EDatabaseError naming the file when it cannot be read, or
// holds neither.
std::vector<TTableEntry> ListSqliteTables(const std::string& fileName);

}  // namespace hy
