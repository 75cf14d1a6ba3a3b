#include "app/cli/OutputOptions.h"

#include <cstdio>
#include <filesystem>

#include <QImage>

#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "export/KyRExportTypes.h"
#include "platform/gdi/GuiApp.h"
#include "platform/printer/QtPrinter.h"
#include "platform/printer/RecordingPrinter.h"
#include "report/KyRFile.h"
#include "report/KyROutput.h"
#include "report/PrintKy.h"

namespace hy::cli {

const char* const kPageFlagsHelp =
    "  --pages RANGE     page numbers of every sheet, e.g. 1,3,5-12 (default: all)\n"
    "  --separate        one file per page and sheet: OUT's name gets P_S before its\n"
    "                    extension (report.txt -> report0_0.txt, 0-based)\n";
const char* const kPrintFlagsHelp =
    "  --printer NAME    print on the queue NAME (default: the default printer);\n"
    "                    record:DIR prints nowhere and writes each sheet as\n"
    "                    DIR/sheet<N>.png\n"
    "  --copies N        copies of every page (1 to 999999999, default 1)\n"
    "  --collate         whole copies one after another (1 2 3 1 2 3)\n"
    "  --pages RANGE     as above\n";

namespace {

std::string TakeValue(Args& args, size_t i) {
  if (i + 1 >= args.size()) throw Exception(Format("%s needs a value", args[i].c_str()));
  std::string v = args[i + 1];
  args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i + 2));
  return v;
}

int WriteSheets(const TRecordingPrinter& printer, const std::string& dir) {
  MakeOutputFolder(dir);
  int n = 0;
  for (const TRecordedJob& job : printer.Jobs())
    for (const QPicture& page : job.Pages) {
      const std::string name = dir + "/sheet" + std::to_string(++n) + ".png";
      if (!printer.RenderPage(page).save(QString::fromStdString(name), "PNG"))
        throw Exception(Format("Cannot write \"%s\"", name.c_str()));
    }
  return n;
}

}  // namespace

TPageList ChosenPages(const TKyPrintBaseComponent& report, const OutputOptions& o) {
  if (o.Pages.empty()) return AllPages(report);
  TPageList list;
  ParsePageRange(o.Pages, list);
  if (list.empty()) throw Exception(Format("--pages \"%s\" names no page", o.Pages.c_str()));
  return list;
}

void MakeOutputFolder(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (std::filesystem::is_directory(dir)) return;
  const std::string reason = ec ? ec.message() : std::string("a file of that name is in the way");
  throw Exception(Format("Cannot make the folder \"%s\": %s", dir.c_str(), reason.c_str()));
}

OutputOptions TakeOutputOptions(Args& args) {
  OutputOptions o;
  for (size_t i = 0; i < args.size();) {
    const std::string& a = args[i];
    if (a == "--pages") {
      o.Pages = TakeValue(args, i);
    } else if (a == "--printer") {
      o.Printer = TakeValue(args, i);
    } else if (a == "--copies") {
      const std::string v = TakeValue(args, i);
      int64_t n = 0;
      if (!TryStrToInt64(v, n) || n < 1 || n > 999999999)
        throw Exception(Format("--copies \"%s\" is not a number from 1 to 999999999", v.c_str()));
      o.Copies = int(n);
    } else if (a == "--separate" || a == "--collate") {
      (a == "--separate" ? o.Separate : o.Collate) = true;
      args.erase(args.begin() + std::ptrdiff_t(i));
    } else {
      ++i;
    }
  }
  return o;
}

void PrintPages(TKyPrintBaseComponent& report, const OutputOptions& o) {
  EnsureGuiApplication();
  const bool record = o.Printer.rfind("record:", 0) == 0;
  std::unique_ptr<TPlatformPrinter> printer;
  if (record) {
    auto recorder = std::make_unique<TRecordingPrinter>();
    recorder->SetResolution(96, 96);  // one pixel per page unit
    recorder->SetUnprintable(15, 15, 15, 15);
    printer = std::move(recorder);
  } else {
    printer = std::make_unique<TQtPrinter>();
  }
  TPlatformPrinter* const previous = report.Printer();
  report.SetPrinter(printer.get());
  struct Restore {
    TKyPrintBaseComponent& r;
    TPlatformPrinter* p;
    ~Restore() { r.SetPrinter(p); }
  } restore{report, previous};

  if (!record && !o.Printer.empty()) report.PrinterSetting().SetPrinterName(o.Printer);
  if (!record && printer->Printers().empty())
    throw Exception("There is no printer installed (is the print server running?)");
  report.PrinterSetting().SetCopies(o.Copies);
  report.PrinterSetting().SetCollate(o.Collate);
  const TKyPrintResult result = Print(report, ChosenPages(report, o));
  if (!result.Ok())
    throw Exception(Format("Printing on \"%s\" failed: %s", printer->DeviceName().c_str(),
                           result.PrinterError.c_str()));
  // Print itself starts no job without a page; the command must not report
  // that as a success.
  if (result.Sheets == 0) throw Exception("No page of the report is selected");
  if (record) {
    const int n = WriteSheets(static_cast<TRecordingPrinter&>(*printer), o.Printer.substr(7));
    std::printf("recorded %d sheets in %s\n", n, o.Printer.substr(7).c_str());
  } else {
    std::printf("printed %d sheets on %s\n", int(result.Sheets), printer->DeviceName().c_str());
  }
}

void SavePages(TKyPrintBaseComponent& report, const std::string& out, const OutputOptions& o) {
  const TPageList list = ChosenPages(report, o);
  SaveToFile(report, out, o.Separate, &list);
}

void ExportPages(TKyPrintBaseComponent& report, const std::string& type, const std::string& out,
                 const OutputOptions& o) {
  if (out.empty()) throw Exception("--export needs --out FILE");
  if (UpperCase(type) == "KRP" || UpperCase(type) == ".KRP") {
    SavePages(report, out, o);
  } else {
    const TPageList list = ChosenPages(report, o);
    const TKyRExportType* t = FindExportType(type);
    if (!t) {
      std::string known = "krp";
      for (const TKyRExportType& k : KyRExportTypes())
        if (k.Available()) known += ", " + LowerCase(k.Extension);
      throw Exception(
          Format("Unknown export type \"%s\" (known: %s)", type.c_str(), known.c_str()));
    }
    Export(report, out, o.Separate, *t, list);
  }
}

}  // namespace hy::cli
