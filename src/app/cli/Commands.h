// The subcommands of the `hycube` command-line tool. Each takes the words
// after its name and returns the process exit status; errors are printed to
// stderr by the dispatcher (status 2) when they escape as exceptions.
#pragma once

#include <string>
#include <vector>

namespace hy::cli {

using Args = std::vector<std::string>;

int CmdDemoDb(const Args& args);
int CmdMap(const Args& args);
int CmdCube(const Args& args);
int CmdPivot(const Args& args);
int CmdEmf(const Args& args);
int CmdEval(const Args& args);
int CmdReport(const Args& args);
int CmdKrp(const Args& args);
int CmdDrill(const Args& args);

}  // namespace hy::cli
