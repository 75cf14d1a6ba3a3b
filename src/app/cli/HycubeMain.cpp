// `hycube`: the engine without a window, for batch work and checks.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/cli/Commands.h"
#include "common/Exceptions.h"
#include "cube/HyArrays.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(const hy::cli::Args&);
  const char* summary;
};

const Subcommand kSubcommands[] = {
    {"demo-db", hy::cli::CmdDemoDb, "demo-db FOLDER        write FOLDER/orders.db, the demo table"},
    {"map", hy::cli::CmdMap,
     "map [source] [items] [limits]   resolve a dimension map and show its plan"},
    {"cube", hy::cli::CmdCube,
     "cube [source] [items] [limits] [--empty] [--progress]   print every cell"},
    {"pivot", hy::cli::CmdPivot,
     "pivot [source] [items] [limits] [--layout TEXT] [--png FILE]   print the cross-tab as CSV"},
    {"drill", hy::cli::CmdDrill,
     "drill --cell X,Y [source] [items] [limits] [pivot flags]   print the rows of one cell as CSV"},
    {"eval", hy::cli::CmdEval,
     "eval EXPR [--db FILE --table NAME] [--var NAME=VALUE]...   evaluate a report expression"},
    {"report", hy::cli::CmdReport,
     "report [source] [items] [limits] [pivot flags] [report flags] [--info] [--text] [--png-dir DIR]\n"
     "         [--emf-dir DIR]   prepare the report of the cross-tab and dump or render its pages"},
    {"emf", hy::cli::CmdEmf, "emf info FILE | emf render FILE OUT.png [--scale PERCENT]"},
    {"krp", hy::cli::CmdKrp,
     "krp info|export|render|print FILE ...   inspect, export, render or print a prepared report"},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: hycube COMMAND [ARGS]\n\ncommands:\n");
  for (const Subcommand& s : kSubcommands) std::fprintf(out, "  %s\n", s.summary);
  std::fprintf(out, "\n'hycube COMMAND --help' documents each command's flags.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const Subcommand& s : kSubcommands) {
    if (std::strcmp(argv[1], s.name) != 0) continue;
    hy::cli::Args args(argv + 2, argv + argc);
    try {
      return s.run(args);
    } catch (const std::bad_alloc&) {
      // Whatever ran out of memory, the user is told what the cube says then.
      std::fprintf(stderr, "%s\n", hy::kLowCapacityMessage);
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 2;
    }
  }
  std::fprintf(stderr, "hycube: unknown command '%s'\n\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
