#include "platform/db/Aliases.h"

#include <filesystem>
#include <map>
#include <system_error>

#include "common/StrUtils.h"
#include "platform/db/DataSet.h"

namespace hy {

namespace fs = std::filesystem;

namespace {

struct Registry {
  std::map<std::string, std::pair<std::string, std::string>> byKey;  // upper name -> (name, folder)
  Registry() { Reset(); }
  void Reset() {
    byKey.clear();
    byKey[UpperCase(kDemoAlias)] = {kDemoAlias,
                                    (fs::path(ExecutableFolder()) / kDemoFolderName).string()};
  }
};

Registry& Aliases() {
  static Registry registry;
  return registry;
}

}  // namespace

std::string ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec).string();
  return exe.parent_path().string();
}

std::optional<std::string> AliasFolder(std::string_view name) {
  auto& map = Aliases().byKey;
  auto it = map.find(UpperCase(name));
  if (it == map.end()) return std::nullopt;
  return it->second.second;
}

void SetAlias(std::string_view name, std::string_view folder) {
  if (Trim(name).empty()) throw EDatabaseError("A database alias needs a name");
  if (folder.empty())
    throw EDatabaseError(
        Format("Database alias '%.*s' needs a folder", static_cast<int>(name.size()), name.data()));
  Aliases().byKey[UpperCase(name)] = {std::string(name), std::string(folder)};
}

void RemoveAlias(std::string_view name) { Aliases().byKey.erase(UpperCase(name)); }

void ResetAliases() { Aliases().Reset(); }

std::vector<std::string> AliasNames() {
  std::vector<std::string> names;
  for (const auto& [key, entry] : Aliases().byKey) names.push_back(entry.first);
  return names;
}

std::string DatabaseFolder(std::string_view databaseName) {
  std::error_code ec;
  if (databaseName.empty()) return fs::current_path(ec).string();
  std::string name(databaseName);
  if (auto folder = AliasFolder(name)) {
    if (!fs::is_directory(*folder, ec))
      throw EDatabaseError(Format("The folder '%s' of database alias '%s' does not exist",
                                  folder->c_str(), name.c_str()));
    return *folder;
  }
  if (fs::is_directory(name, ec)) return name;
  if (name.find('/') != std::string::npos)
    throw EDatabaseError(Format("Database folder '%s' does not exist", name.c_str()));
  throw EDatabaseError(
      Format("Unknown database alias '%s' (and no folder of that name exists)", name.c_str()));
}

}  // namespace hy
