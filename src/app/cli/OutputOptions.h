// The output flags `hycube report` and `hycube krp` share: which pages, one
// file per page, and where and how often to print. Parsing takes its flags
// out of the argument list and leaves the others for the command.
#pragma once

#include <string>
#include <vector>

#include "app/cli/Commands.h"

namespace hy {
class TKyPrintBaseComponent;
}

namespace hy::cli {

struct OutputOptions {
  std::string Pages;      // --pages RANGE; empty: all pages
  bool Separate = false;  // --separate
  std::string Printer;    // --printer NAME | record:DIR; empty: the default printer
  int Copies = 1;         // --copies N
  bool Collate = false;   // --collate
};

// The flags' lines for a command's --help.
extern const char* const kPageFlagsHelp;
extern const char* const kPrintFlagsHelp;

// Removes the flags it knows from `args`; EConvertError-like messages
// (hy::Exception) for bad values.
OutputOptions TakeOutputOptions(Args& args);

// The pages --pages names, all without it; raises for a range that names
// no page.
std::vector<std::string> ChosenPages(const TKyPrintBaseComponent& report,
                                     const OutputOptions& options);
// Makes the folder `dir` and its parents; raises "Cannot make the folder"
// with the reason (a file in the way, no permission) when it cannot.
void MakeOutputFolder(const std::string& dir);

// Prints the chosen pages and says where on stdout; a printer that fails
// the job raises its message.
void PrintPages(TKyPrintBaseComponent& report, const OutputOptions& options);
// Exports the chosen pages as TYPE (a registry extension, or krp for the
// prepared report file) into `out`.
void ExportPages(TKyPrintBaseComponent& report, const std::string& type, const std::string& out,
                 const OutputOptions& options);
// The chosen pages as a prepared report file.
void SavePages(TKyPrintBaseComponent& report, const std::string& out, const OutputOptions& options);

}  // namespace hy::cli
