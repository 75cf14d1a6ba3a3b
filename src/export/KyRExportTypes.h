// The registry of export types, in the order the export-type list shows
// them. Descriptions and filters are report string numbers; the report and
// the windows turn them into texts (the texts here serve when a number is
// below 1). A type whose class does not exist yet has no factory.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hy {

class TKyRExport;

using TKyRExportFactory = std::unique_ptr<TKyRExport> (*)();

struct TKyRExportType {
  std::string ClassName;
  std::string Extension;  // upper case, without the dot
  int DescriptionId = 0;
  std::string Description;
  int FilterId = 0;
  std::string Filter;
  TKyRExportFactory Factory = nullptr;

  bool Available() const { return Factory != nullptr; }
  // A new exporter of this type; EKyRExportError when it has no class yet.
  std::unique_ptr<TKyRExport> Create() const;
};

const std::vector<TKyRExportType>& KyRExportTypes();
// By extension (with or without the dot, any case) or by class name.
const TKyRExportType* FindExportType(std::string_view extensionOrClass);
// Appends a type; a type of the same class name is replaced in place.
void RegisterExportType(TKyRExportType type);
// Removes every entry of the class.
void UnregisterExportType(std::string_view className);

}  // namespace hy
