// The flags every cube command shares: where the table is, the map items and
// the limits. Parsing only records them; applying them builds the objects.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/Commands.h"

#include "common/Component.h"

namespace hy {
class TCommonDataStore;
class TDataSet;
class THyCube;
class THyMap;
class TTable;
}  // namespace hy

namespace hy::cli {

struct MapItemOption {
  std::string kind;  // "dim", "sum", "count", "avg", "min", "max", "derived"
  std::string name;
  std::string field;  // the expression for "derived"
  std::string bin;    // none|year|quarter|month|week
  std::string start;  // YYYY-MM-DD
  std::optional<uint32_t> values;
  std::string flag;  // active|asneeded|inactive
  std::optional<std::string> caption;
  std::optional<std::string> format;
  std::string lookup;  // TABLE:KEY:RESULT
};

struct CubeOptions {
  std::string db;  // --db FILE
  std::string alias;
  std::string table;
  std::string csv;  // --csv FILE
  std::vector<MapItemOption> items;
  std::optional<uint32_t> maxCells;
  std::optional<int32_t> maxDims;
  std::optional<int32_t> maxSums;
  Args rest;  // words no shared flag took, in order
};

// Raises hy::Exception with a usage message for a malformed shared flag.
CubeOptions ParseCubeOptions(const Args& args);

// The table the options name (the demo table when they name none), not yet open.
std::unique_ptr<TTable> MakeSourceTable(const CubeOptions& options, TComponent* owner);
// The source the options name: the rows of the --csv file (read and kept in
// memory, not owned by `owner`), else the table of MakeSourceTable.
std::unique_ptr<TDataSet> MakeSourceDataSet(const CubeOptions& options, TComponent* owner);
// The items given; when none is, the proposal for the --csv file's fields
// (ProposeDimensionMap, the map's dataset is opened for it) or the demo map.
// Lookup tables are made as components of `owner`, in the same database as
// the source.
void ApplyMapItems(const CubeOptions& options, THyMap& map, TComponent* owner);
void ApplyLimits(const CubeOptions& options, TCommonDataStore& store);

// Tells on stderr of every item whose field the table does not have.
void WarnMissingFields(const THyMap& map);

// The table, the cube over it and any lookup tables, set up from the
// options (demo map and table when they name none) but not opened. Each
// open warns of items left out for want of their field.
class CliCube {
public:
  explicit CliCube(const CubeOptions& options);
  ~CliCube();
  // The table, or the rows of the --csv file.
  TDataSet& Source() { return *source_; }
  THyCube& Cube() { return *cube_; }

private:
  std::unique_ptr<TDataSet> csv_;  // outlives the cube
  TComponent owner_;               // frees the cube first, then the tables
  TDataSet* source_ = nullptr;
  THyCube* cube_ = nullptr;
};

// The help text of the shared flags, for each command's --help.
extern const char* const kCubeOptionsHelp;

}  // namespace hy::cli
