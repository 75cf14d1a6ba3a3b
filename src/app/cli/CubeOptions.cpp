#include "app/cli/CubeOptions.h"

#include <cstdio>
#include <filesystem>

#include "app/DemoLayout.h"
#include "common/Format.h"
#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "cube/HyMapProposal.h"
#include "pivot/HyDBCube.h"
#include "platform/db/Aliases.h"
#include "platform/db/CsvReader.h"
#include "platform/db/Table.h"

namespace hy::cli {

const char* const kCubeOptionsHelp =
    "source (none means the demo table):\n"
    "  --db FILE --table NAME       an SQLite file and a table in it\n"
    "  --alias NAME --table FILE    an alias and a table file, e.g. --alias DBDEMOS --table orders.db\n"
    "  --csv FILE                   a CSV or TSV file; separator, quoting, header, encoding\n"
    "                               (UTF-8 or Windows-1252) and column types are detected\n"
    "map items, in the order given (none means the demo map; for --csv a proposal: text and\n"
    "date fields as dimensions, dates by month, numeric fields as sums):\n"
    "  --dim NAME=FIELD[,bin=none|year|quarter|month|week|custom|set][,start=YYYY-MM-DD]\n"
    "       [,lookup=TABLE:KEY:RESULT]  captions from RESULT of the row whose KEY matches,\n"
    "                                   TABLE in the same database as the source\n"
    "  --sum|--count|--avg|--min|--max NAME=FIELD\n"
    "  --derived NAME=EXPRESSION    everything after the first '=' is the expression\n"
    "  every item but --derived also takes ,values=N ,flag=active|asneeded|inactive\n"
    "  ,caption=TEXT ,format=TEXT\n"
    "limits:\n"
    "  --max-cells N  --max-dims N  --max-sums N\n";

namespace {

[[noreturn]] void Usage(const std::string& text) { throw Exception(text); }

// Plain decimal digits only: a sign, blanks or a hex prefix in a limit are
// far more likely a slip than a wish.
uint64_t ParseDigits(const std::string& flag, const std::string& text, uint64_t max) {
  uint64_t n = 0;
  bool ok = !text.empty() && text.size() <= 10;
  for (char c : text) {
    if (c < '0' || c > '9') ok = false;
    else n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (!ok || n > max)
    Usage(flag + ": '" + text + "' is not a whole number from 0 to " + std::to_string(max));
  return n;
}

uint32_t ParseCount(const std::string& flag, const std::string& text) {
  return static_cast<uint32_t>(ParseDigits(flag, text, UINT32_MAX));
}

int32_t ParseLimit(const std::string& flag, const std::string& text) {
  return static_cast<int32_t>(ParseDigits(flag, text, INT32_MAX));
}

bool IsItemKey(const std::string& part) {
  static const char* const keys[] = {
      "bin=", "start=", "values=", "flag=", "caption=", "format=", "lookup="};
  for (const char* key : keys)
    if (part.rfind(key, 0) == 0) return true;
  return false;
}

MapItemOption ParseItem(const std::string& kind, const std::string& flag, const std::string& text) {
  MapItemOption item;
  item.kind = kind;
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0)
    Usage(flag + " " + text + ": expected NAME=" + (kind == "derived" ? "EXPRESSION" : "FIELD"));
  item.name = text.substr(0, eq);
  // Names head the columns of tab-separated output, one line each.
  if (item.name.find_first_of("\t\r\n") != std::string::npos)
    Usage(flag + ": the name '" + item.name + "' holds a tab or a line break");
  if (kind == "derived") {
    item.field = text.substr(eq + 1);
    return item;
  }
  // A part that is not "key=..." belongs to the one before it, so that
  // formats such as "#,##0.00" keep their commas.
  std::vector<std::string> parts;
  for (std::string& part : SplitString(text.substr(eq + 1), ',')) {
    if (parts.empty() || IsItemKey(part)) parts.push_back(std::move(part));
    else parts.back() += "," + part;
  }
  item.field = parts.front();
  if (item.field.empty()) Usage(flag + " " + text + ": the field name is missing");
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const size_t at = part.find('=');
    const std::string key = part.substr(0, at), value = part.substr(at + 1);
    if (key == "bin") {
      if (kind != "dim") Usage(flag + ": bin= is only for --dim");
      item.bin = value;
    } else if (key == "start") {
      if (kind != "dim") Usage(flag + ": start= is only for --dim");
      item.start = value;
    } else if (key == "values") {
      item.values = ParseCount(flag + " values", value);
    } else if (key == "flag") {
      item.flag = value;
    } else if (key == "lookup") {
      item.lookup = value;
    } else if (key == "caption") {
      item.caption = value;
    } else {
      item.format = value;
    }
  }
  return item;
}

TBinType BinFromText(const std::string& text) {
  if (text.empty() || text == "none") return binNone;
  if (text == "year") return binYear;
  if (text == "quarter") return binQuarter;
  if (text == "month") return binMonth;
  if (text == "week") return binWeek;
  if (text == "custom") return binCustom;
  if (text == "set") return binSet;  // refused by the map with its own message
  Usage("bin=" + text + ": expected none, year, quarter, month, week or custom");
}

TActiveFlags FlagFromText(const std::string& text) {
  if (text.empty() || text == "asneeded") return diAsNeeded;
  if (text == "active") return diActive;
  if (text == "inactive") return diInactive;
  Usage("flag=" + text + ": expected active, asneeded or inactive");
}

TDimFlags TypeFromKind(const std::string& kind) {
  if (kind == "dim") return dimDimension;
  if (kind == "sum") return dimSum;
  if (kind == "count") return dimCount;
  if (kind == "avg") return dimAverage;
  if (kind == "min") return dimMin;
  if (kind == "max") return dimMax;
  return dimDerived;
}

}  // namespace

CubeOptions ParseCubeOptions(const Args& args) {
  CubeOptions options;
  static const char* const itemKinds[] = {"dim", "sum", "count", "avg", "min", "max", "derived"};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) Usage(flag + " needs a value");
      return args[++i];
    };
    bool isItem = false;
    for (const char* kind : itemKinds) {
      if (flag == std::string("--") + kind) {
        options.items.push_back(ParseItem(kind, flag, value()));
        isItem = true;
        break;
      }
    }
    if (isItem) continue;
    if (flag == "--db") options.db = value();
    else if (flag == "--alias") options.alias = value();
    else if (flag == "--table") options.table = value();
    else if (flag == "--csv") options.csv = value();
    else if (flag == "--max-cells") options.maxCells = ParseCount(flag, value());
    else if (flag == "--max-dims") options.maxDims = ParseLimit(flag, value());
    else if (flag == "--max-sums") options.maxSums = ParseLimit(flag, value());
    else options.rest.push_back(flag);
  }
  if (!options.db.empty() && !options.alias.empty()) Usage("--db and --alias exclude each other");
  if (!options.csv.empty() &&
      (!options.db.empty() || !options.alias.empty() || !options.table.empty()))
    Usage("--csv excludes --db, --alias and --table");
  if ((!options.db.empty() || !options.alias.empty()) && options.table.empty())
    Usage("--table is missing");
  if (options.db.empty() && options.alias.empty() && !options.table.empty())
    Usage("--table needs --db or --alias");
  return options;
}

namespace {

// A table named the way the source is: in the --db file, or a table file
// under the alias (the demo's alias when none is given).
void NameTable(const CubeOptions& options, const std::string& name, TTable& table) {
  if (!options.db.empty()) {
    const std::filesystem::path file = std::filesystem::absolute(options.db);
    table.SetDatabaseName(file.parent_path().string());
    table.SetTableName(file.filename().string() + ":" + name);
  } else {
    table.SetDatabaseName(options.alias.empty() ? kDemoAlias : options.alias);
    table.SetTableName(name);
  }
}

void ApplyLookup(const CubeOptions& options, const std::string& text, THyMapItem& item,
                 TComponent* owner) {
  const std::vector<std::string> parts = SplitString(text, ':');
  if (parts.size() < 3) Usage("lookup=" + text + ": expected TABLE:KEY:RESULT");
  // The table part may itself hold a colon ("file.db:table").
  std::string table = parts[0];
  for (size_t i = 1; i + 2 < parts.size(); ++i) table += ":" + parts[i];
  item.SetKind(dkLookup);
  auto* lookup = new TTable(owner);
  NameTable(options, table, *lookup);
  item.SetLookupDataSet(lookup);
  item.SetKeyFields(parts[parts.size() - 2]);
  item.SetLookupResultField(parts.back());
}

}  // namespace

std::unique_ptr<TTable> MakeSourceTable(const CubeOptions& options, TComponent* owner) {
  auto table = std::make_unique<TTable>(owner);
  NameTable(options, options.alias.empty() && options.db.empty() ? "orders.db" : options.table,
            *table);
  return table;
}

std::unique_ptr<TDataSet> MakeSourceDataSet(const CubeOptions& options, TComponent* owner) {
  if (options.csv.empty()) return MakeSourceTable(options, owner);
  return ReadCsvFile(options.csv, nullptr);
}

void ApplyMapItems(const CubeOptions& options, THyMap& map, TComponent* owner) {
  if (options.items.empty() && !options.csv.empty() && map.DataSet()) {
    map.DataSet()->Open();
    if (!ProposeDimensionMap(*map.DataSet(), map))
      throw Exception(options.csv + ": no column can be a dimension (text or date) of a cube");
    return;
  }
  if (options.items.empty()) {
    SetDemoMap(map);
    return;
  }
  // One rebuild for all items; a refused item still ends the update.
  TUpdateScope update(map);
  map.Clear();
  for (const MapItemOption& def : options.items) {
    THyMapItem* item = map.Add();
    item->SetName(def.name);
    item->SetDimensionType(TypeFromKind(def.kind));
    if (def.kind == "derived") {
      item->SetSumExpr(def.field);
      continue;
    }
    item->SetFieldName(def.field);
    item->SetBinType(BinFromText(def.bin));
    if (!def.start.empty()) {
      TDateTime start = 0;
      if (!TryISOStrToDateTime(def.start, start))
        Usage("start=" + def.start + ": expected a date YYYY-MM-DD");
      item->SetStartDate(start);
    }
    if (def.values) item->SetValueCount(*def.values);
    item->SetActiveFlag(FlagFromText(def.flag));
    if (def.caption) item->SetCaption(*def.caption);
    if (def.format) item->SetFormat(*def.format);
    if (!def.lookup.empty()) ApplyLookup(options, def.lookup, *item, owner);
  }
}

CliCube::CliCube(const CubeOptions& options) {
  if (options.csv.empty()) {
    source_ = MakeSourceTable(options, &owner_).release();  // owned by owner_
  } else {
    csv_ = MakeSourceDataSet(options, nullptr);
    source_ = csv_.get();
  }
  cube_ = new THyCube(&owner_);
  cube_->SetShowProgressDialog(false);
  cube_->SetDataSet(source_);
  ApplyLimits(options, *cube_);
  ApplyMapItems(options, cube_->DimensionMap(), &owner_);
  // The map leaves an item without its field out of the cube; a user who
  // misspelled the field must hear of it.
  cube_->SetAfterOpen([](THyCustomStore& cube) { WarnMissingFields(cube.DimensionMap()); });
}

void WarnMissingFields(const THyMap& map) {
  for (int i = 0; i < map.Count(); ++i) {
    const THyMapItem& item = *map.Items(i);
    if (item.DimensionType() == dimDerived || item.Field()) continue;
    std::fprintf(stderr, "hycube: warning: %s: there is no field '%s', the item is left out\n",
                 item.Name().c_str(), item.FieldName().c_str());
  }
}

CliCube::~CliCube() = default;

void ApplyLimits(const CubeOptions& options, TCommonDataStore& store) {
  if (options.maxCells) store.SetMaxCells(*options.maxCells);
  if (options.maxDims) store.SetMaxDimensions(*options.maxDims);
  if (options.maxSums) store.SetMaxSummaries(*options.maxSums);
}

}  // namespace hy::cli
