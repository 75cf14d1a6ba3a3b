// Database aliases: names (case-insensitive) that stand for a folder holding
// database files. "DBDEMOS" stands for the folder "dbdemos" beside the
// executables until SetAlias says otherwise.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hy {

inline constexpr const char* kDemoAlias = "DBDEMOS";
inline constexpr const char* kDemoFolderName = "dbdemos";

// The folder of the running executable (from /proc/self/exe).
std::string ExecutableFolder();

// The folder an alias stands for; nothing when the name is no alias.
std::optional<std::string> AliasFolder(std::string_view name);
// Adds or replaces an alias. Raises EDatabaseError for an empty name or folder.
void SetAlias(std::string_view name, std::string_view folder);
void RemoveAlias(std::string_view name);
// Back to the built-in aliases only.
void ResetAliases();
std::vector<std::string> AliasNames();

// The folder a dataset's DatabaseName means: an alias, else a folder path
// (relative to the working directory); an empty name means the working
// directory. Raises EDatabaseError when the name is neither an alias nor an
// existing folder, or when an alias's folder does not exist.
std::string DatabaseFolder(std::string_view databaseName);

}  // namespace hy
