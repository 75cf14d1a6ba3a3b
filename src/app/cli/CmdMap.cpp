#include <cstdio>

#include "app/cli/CubeOptions.h"
#include "pivot/HyDBCube.h"
#include "platform/db/Table.h"

namespace hy::cli {

int CmdMap(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf(
        "usage: hycube map [source] [items] [limits]\n\n"
        "Opens the table, resolves the dimension map against it and runs the capacity\n"
        "plan. Prints one line per item: its name, what it shows (field, Sum(field),\n"
        "expression ...) and whether the plan made it active, tab-separated.\n"
        "A map error is printed on stderr with exit status 2.\n\n%s",
        kCubeOptionsHelp);
    return 0;
  }
  const CubeOptions options = ParseCubeOptions(args);
  if (!options.rest.empty()) {
    std::fprintf(stderr, "hycube map: unknown argument '%s' (see hycube map --help)\n",
                 options.rest.front().c_str());
    return 2;
  }
  CliCube source(options);
  source.Source().Open();
  THyMap& map = source.Cube().DimensionMap();
  map.SetActive(true);
  for (int i = 0; i < map.Count(); ++i) {
    const THyMapItem& item = *map.Items(i);
    const char* state = item.Active() ? "active" : "inactive";
    const bool missing = item.DimensionType() != dimDerived && !item.Field();
    std::printf("%s\t%s\t%s%s\n", item.Name().c_str(), item.DisplayName().c_str(), state,
                missing ? " (no such field)" : "");
  }
  return 0;
}

}  // namespace hy::cli
