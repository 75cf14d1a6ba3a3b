#include <cstdio>

#include "app/cli/Commands.h"
#include "platform/db/DemoDatabase.h"

namespace hy::cli {

int CmdDemoDb(const Args& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::printf(
        "usage: hycube demo-db FOLDER\n\n"
        "Writes FOLDER/orders.db, the demo table 'orders' (the same data every run).\n"
        "The folder is created when missing; an existing orders.db is replaced whole.\n");
    return 0;
  }
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    std::fprintf(stderr, "usage: hycube demo-db FOLDER\n");
    return 2;
  }
  WriteDemoDatabase(args[0]);
  return 0;
}

}  // namespace hy::cli
