// `hycube eval`: the report's expression evaluator on the command line.
//   hycube eval EXPR [--db FILE --table NAME | --alias NAME --table FILE | --csv FILE]
//               [--var NAME=VALUE]...
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "app/cli/Commands.h"
#include "app/cli/CubeOptions.h"
#include "common/Format.h"
#include "common/FormatSettings.h"
#include "common/StrUtils.h"
#include "platform/db/Table.h"
#include "report/KyRDMan.h"
#include "report/KyRPars.h"

namespace hy::cli {

namespace {

const char kUsage[] =
    "usage: hycube eval EXPR [--db FILE --table NAME | --alias NAME --table FILE | --csv FILE]\n"
    "                        [--var NAME=VALUE]...\n"
    "\n"
    "Evaluates a report expression (the language of highlight conditions) and\n"
    "prints its text: numbers and dates in fixed English (United States) form,\n"
    "Booleans as True or False, Null as an empty line. An error is printed on\n"
    "stderr with exit status 2.\n"
    "\n"
    "  --db FILE --table NAME     fields come from the first record of this table\n"
    "                             (NAME or Dataset.Field with the table's name);\n"
    "                             without a table no field is known\n"
    "  --alias NAME --table FILE  the same for a table file under a database alias\n"
    "  --csv FILE                 the same for the first record of a CSV or TSV file\n"
    "                             (Dataset.Field with the file's name without extension)\n"
    "  --var NAME=VALUE           a variable; VALUE is an integer or a number (with\n"
    "                             '.'), True or False, an ISO date (YYYY-MM-DD[ HH:MM[:SS]]),\n"
    "                             or else text. Repeatable; a later one wins.\n"
    "  --help                     show this text\n"
    "\n"
    "Example: hycube eval \"IIF(Amount > 100, 'big', 'small')\" --db sales.db --table sales\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "hycube eval: %s\n\n%s", message.c_str(), kUsage);
  return 2;
}

// A variable's text as the value it most plainly reads as.
Variant VariableValue(const std::string& text) {
  const TFormatSettings english = TFormatSettings::EnglishUS();
  int64_t i = 0;
  double d = 0;
  TDateTime date = 0;
  if (TryStrToInt64(text, i))
    return i >= INT32_MIN && i <= INT32_MAX ? Variant(int32_t(i)) : Variant(i);
  if (text.find_first_of("0123456789") != std::string::npos && TryStrToFloat(text, d, english) &&
      text.find(',') == std::string::npos)
    return Variant(d);
  if (SameText(text, "True") || SameText(text, "False")) return Variant(SameText(text, "True"));
  if (TryISOStrToDateTime(text, date)) return Variant::Date(date);
  return Variant(text);
}

}  // namespace

int CmdEval(const Args& args) {
  for (const std::string& word : args) {
    if (word == "--help" || word == "-h") {
      std::printf("%s", kUsage);
      return 0;
    }
  }
  const CubeOptions options = ParseCubeOptions(args);
  if (!options.items.empty() || options.maxCells || options.maxDims || options.maxSums)
    return UsageError("map items and limits do not apply to eval");

  std::string expression;
  bool haveExpression = false;
  std::map<std::string, Variant> variables;  // by upper-case name
  for (size_t i = 0; i < options.rest.size(); ++i) {
    const std::string& word = options.rest[i];
    if (word == "--var") {
      if (i + 1 >= options.rest.size()) return UsageError("--var needs NAME=VALUE");
      const std::string& def = options.rest[++i];
      const size_t eq = def.find('=');
      if (eq == std::string::npos || Trim(def.substr(0, eq)).empty())
        return UsageError("--var " + def + ": expected NAME=VALUE");
      variables[UpperCase(Trim(def.substr(0, eq)))] = VariableValue(def.substr(eq + 1));
    } else if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
      return UsageError("unknown flag '" + word + "'");
    } else if (haveExpression) {
      return UsageError("one expression only; quote it (unexpected '" + word + "')");
    } else {
      expression = word;
      haveExpression = true;
    }
  }
  if (!haveExpression) return UsageError("EXPR is missing");

  // The text of a number must not depend on the machine it runs on.
  FormatSettings() = TFormatSettings::EnglishUS();

  std::unique_ptr<TDataSet> csv;  // outlives the data manager
  TComponent owner;
  TKyRDataManager* manager = new TKyRDataManager(&owner);
  if (!options.db.empty() || !options.alias.empty() || !options.csv.empty()) {
    TDataSet* source = nullptr;
    if (options.csv.empty()) {
      source = MakeSourceTable(options, &owner).release();  // owned by `owner`
    } else {
      csv = MakeSourceDataSet(options, nullptr);
      source = csv.get();
    }
    source->Open();
    TKyRDataset* item = manager->Datasets().Add();
    // Fields are also found as TABLE.Field ("orders.db" as orders.Field).
    const std::string name =
        options.csv.empty() ? SplitString(options.table, ':').back() : options.csv;
    item->SetCaption(std::filesystem::path(name).stem().string());
    item->SetDataset(source);
  }
  const TKyRVariableLookup lookup = [&variables](const std::string& name, TFieldType& type,
                                                 Variant& value) {
    const auto found = variables.find(UpperCase(Trim(name)));
    if (found == variables.end()) return false;
    value = found->second;
    type = value.VarType() == varDate ? ftDateTime : ftString;
    return true;
  };
  const Variant text = Evaluate(manager, expression, "", lookup);
  std::printf("%s\n", text.ToText().c_str());
  return 0;
}

}  // namespace hy::cli
