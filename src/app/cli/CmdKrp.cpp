// `hycube krp`: work from a saved prepared report file without its source.
#include <cstdio>
#include <filesystem>
#include <string>

#include <QImage>

#include "app/cli/Commands.h"
#include "app/cli/OutputOptions.h"
#include "common/StrUtils.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/GuiApp.h"
#include "report/KyRFile.h"
#include "report/KyROutput.h"
#include "report/PrintKy.h"

namespace hy::cli {

namespace {

const char kUsage[] =
    "usage: hycube krp info FILE\n"
    "       hycube krp export FILE --type TYPE --out OUT [--pages RANGE] [--separate]\n"
    "       hycube krp render FILE DIR [--pages RANGE]\n"
    "       hycube krp print FILE [--printer NAME] [--copies N] [--collate] [--pages RANGE]\n"
    "\n"
    "  info     the document properties, the counts the header announces and one\n"
    "           line per page record (page, sheet, size, margins, picture)\n"
    "  export   the pages into OUT as TYPE: an export type's extension (txt, csv,\n"
    "           html, xml, ...) or krp for a prepared report file of the selection\n"
    "  render   each page as DIR/page<P>-sheet<S>.png, one pixel per page unit\n"
    "  print    the pages on a printer, copies made page by page or collated\n"
    "\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "hycube krp: %s\n\n%s%s%s", message.c_str(), kUsage, kPageFlagsHelp,
               kPrintFlagsHelp);
  return 2;
}

int Info(const std::string& fileName) {
  TKyReportFile f = ReadReportFile(fileName);
  std::printf("Title: %s\nAuthor: %s\nSubject: %s\nKeywords: %s\n", f.Title.c_str(),
              f.Author.c_str(), f.Subject.c_str(), f.Keywords.c_str());
  std::printf("Header: %d pages per sheet, %d sheets\nRecords: %zu\n", int(f.PageCount),
              int(f.BarCount), f.Pages.size());
  for (const auto& p : f.Pages)
    std::printf("page %d sheet %d: %d x %d, margins %d %d %d %d, picture %zu bytes, %u records\n",
                int(p->PageIndex() + 1), int(p->BarIndex() + 1), int(p->Width()), int(p->Height()),
                int(p->LeftMargin()), int(p->RightMargin()), int(p->TopMargin()),
                int(p->BottomMargin()), p->Picture().Data().size(),
                unsigned(p->Picture().RecordCount()));
  return 0;
}

int Render(TKyPrintBaseComponent& report, const std::string& dir, const OutputOptions& o) {
  EnsureGuiApplication();
  MakeOutputFolder(dir);
  const TPageList list = ChosenPages(report, o);
  int n = 0;
  for (const auto& p : report.Pages()) {
    if (!PageListHas(list, p->PageIndex() + 1)) continue;
    const std::string name = dir + "/page" + std::to_string(p->PageIndex() + 1) + "-sheet" +
                             std::to_string(p->BarIndex() + 1) + ".png";
    if (!RenderMetafile(p->Picture()).save(QString::fromStdString(name), "PNG"))
      throw Exception(Format("Cannot write \"%s\"", name.c_str()));
    ++n;
  }
  std::printf("rendered %d pages into %s\n", n, dir.c_str());
  return 0;
}

std::string TakeFlag(Args& args, const std::string& flag) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != flag) continue;
    std::string v = args[i + 1];
    args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i + 2));
    return v;
  }
  return {};
}

}  // namespace

int CmdKrp(const Args& input) {
  Args args = input;
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      std::printf("%s%s%s", kUsage, kPageFlagsHelp, kPrintFlagsHelp);
      return 0;
    }
  if (args.size() < 2) return UsageError("an action and a FILE are needed");
  const std::string action = args[0], file = args[1];
  args.erase(args.begin(), args.begin() + 2);
  if (action == "info") {
    if (!args.empty()) return UsageError("unexpected \"" + args[0] + "\"");
    return Info(file);
  }
  if (action != "export" && action != "render" && action != "print")
    return UsageError("unknown action \"" + action + "\"");
  const std::string type = TakeFlag(args, "--type");
  const std::string out = TakeFlag(args, "--out");
  const OutputOptions options = TakeOutputOptions(args);
  std::string dir;
  if (action == "render" && !args.empty()) {
    dir = args[0];
    args.erase(args.begin());
  }
  if (!args.empty()) return UsageError("unexpected \"" + args[0] + "\"");
  if (action != "export" && (!type.empty() || !out.empty()))
    return UsageError("--type and --out belong to export");

  TKyPrintComponent report;
  LoadFromFile(report, file);
  if (action == "export") {
    if (type.empty() || out.empty()) return UsageError("export needs --type TYPE and --out OUT");
    ExportPages(report, type, out, options);
    return 0;
  }
  if (action == "render") {
    if (dir.empty()) return UsageError("render needs a folder DIR");
    return Render(report, dir, options);
  }
  PrintPages(report, options);
  return 0;
}

}  // namespace hy::cli
