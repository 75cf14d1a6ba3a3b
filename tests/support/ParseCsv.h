// CSV as `hycube pivot` writes it, read back for comparisons.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace hy::test {

using Csv = std::vector<std::vector<std::string>>;

// RFC 4180 fields, one record per line (the grid's texts hold no line breaks).
inline Csv ParseCsv(const std::string& text) {
  Csv rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted) {
        if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back() += line[++i];
        else if (c == '"') quoted = false;
        else fields.back() += c;
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        fields.emplace_back();
      } else {
        fields.back() += c;
      }
    }
    rows.push_back(std::move(fields));
  }
  return rows;
}

}  // namespace hy::test
