#include "report/KyROutput.h"

#include <QPainter>
#include <QRectF>

#include <algorithm>

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "export/KyRExportTypes.h"
#include "export/KyRExprt.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/printer/Printer.h"
#include "report/KyProces.h"
#include "report/KyRFile.h"
#include "report/PrintKy.h"

namespace hy {

namespace {

TSetupDialogFunction& SetupDialogSlot() {
  static TSetupDialogFunction function;
  return function;
}

std::string Caption(const TKyPrintBaseComponent& report) {
  return report.KyProperty().Title().empty() ? report.ProductCaption()
                                             : report.KyProperty().Title();
}

void ShowStatus(TKyPrintBaseComponent& report, int textId, int32_t max) {
  if (!report.AnimatedStatus()) return;
  const int lang = report.Language().EffectiveLanguage();
  report.Process().ShowProcess(lang, Caption(report), LoadString(lang, textId), 0, max, 0,
                               LoadString(lang, kStrCancel));
}

void UpdateStatus(TKyPrintBaseComponent& report, int textId, std::initializer_list<int64_t> numbers,
                  int32_t position) {
  if (!report.AnimatedStatus()) return;
  report.Process().UpdateProcess(
      FormatNumbers(LoadString(report.Language().EffectiveLanguage(), textId), numbers), position);
}

// The selected page rows (0-based) that the report has.
// A loaded selection may lack pages in between (pages 1 and 3 of a file):
// a page number without any page is no row.
std::vector<int32_t> SelectedRows(const TKyPrintBaseComponent& report, const TPageList& pages) {
  std::vector<bool> held(static_cast<size_t>(std::max(report.PageCount(), 0)), false);
  for (const auto& page : report.Pages())
    if (page->PageIndex() >= 0 && static_cast<size_t>(page->PageIndex()) < held.size())
      held[page->PageIndex()] = true;
  std::vector<int32_t> rows;
  for (int32_t p = 0; p < report.PageCount(); ++p)
    if (held[p] && PageListHas(pages, p + 1)) rows.push_back(p);
  return rows;
}

}  // namespace

bool PageListHas(const TPageList& pages, int32_t pageNumber) {
  return std::find(pages.begin(), pages.end(), std::to_string(pageNumber)) != pages.end();
}

TPageList AllPages(const TKyPrintBaseComponent& report) {
  TPageList list;
  for (int32_t i = 1; i <= report.PageCount(); ++i) list.push_back(std::to_string(i));
  return list;
}

void SetSetupDialogFunction(TSetupDialogFunction function) {
  SetupDialogSlot() = std::move(function);
}
const TSetupDialogFunction& SetupDialogFunction() { return SetupDialogSlot(); }

TPageList SelectPages(const TKyPrintBaseComponent& report, const TKySetupChoice& choice) {
  TPageList list;
  switch (choice.Range) {
    case prRange: ParsePageRange(choice.PagesText, list); break;
    case prCurrent: list.push_back(std::to_string(report.PageIndex() + 1)); break;
    default:
      for (int32_t i = 1; i <= report.PageCount(); ++i)
        if (choice.Range == prAll || (choice.Range == prEven) == (i % 2 == 0))
          list.push_back(std::to_string(i));
  }
  return list;
}

std::vector<TKySheet> PrintOrder(const TKyPrintBaseComponent& report, const TPageList& pages,
                                 int32_t copies, bool collate) {
  std::vector<TKySheet> sheets;
  const std::vector<int32_t> rows = SelectedRows(report, pages);
  auto add = [&](int32_t p, int32_t c) {
    for (int32_t b = 0; b < report.BarCount(); ++b)
      if (report.FindPage(p, b)) sheets.push_back({p, b, c});
  };
  if (collate) {
    for (int32_t c = 1; c <= copies; ++c)
      for (int32_t p : rows) add(p, c);
  } else {
    for (int32_t p : rows)
      for (int32_t c = 1; c <= copies; ++c) add(p, c);
  }
  return sheets;
}

TKyPrintResult Print(TKyPrintBaseComponent& report, const TPageList& pages) {
  TKyPrintResult result;
  if (!report.Prepared()) report.BuildReport();
  if (!report.Prepared()) return result;
  TPlatformPrinter* printer = report.Printer();
  if (!printer) throw EKyROutputError("There is no printer to print on");
  // A printer that is not there must not silently become the default one.
  const std::string& wanted = report.PrinterSetting().PrinterName();
  if (!wanted.empty() && printer->IndexOf(wanted) < 0)
    throw EKyROutputError(Format("The printer \"%s\" does not exist", wanted.c_str()));

  if (report.OnBeforePrint()) report.OnBeforePrint()(report);
  const int32_t copies = std::max<int32_t>(1, report.PrinterSetting().Copies());
  const std::vector<TKySheet> sheets =
      PrintOrder(report, pages, copies, report.PrinterSetting().Collate());
  {
    // Copies come from the loops below, not from the printer.
    const int32_t printerCopies = printer->Copies();
    printer->SetCopies(1);
    bool applied = false;
    auto restore = ScopeExit([&] {
      if (printer->Printing()) printer->Abort();
      printer->SetCopies(printerCopies);
      if (applied) report.SavedPrinterSetting().ApplyToPrinter();
      if (report.AnimatedStatus()) report.Process().HideProcess();
    });
    try {
      ShowStatus(report, kStrPrinting, static_cast<int32_t>(report.Pages().size()));
      report.SavedPrinterSetting().ReadFromPrinter();
      report.PrinterSetting().ApplyToPrinter();
      applied = true;
      if (!sheets.empty()) {
        printer->BeginDoc(Caption(report));
        for (const TKySheet& s : sheets) {
          UpdateStatus(report, kStrPrintingPage, {s.Page + 1, s.Bar + 1, s.Copy},
                       s.Bar + report.BarCount() * s.Page);
          if (result.Sheets > 0) printer->NewPage();
          const TPrinterCaps caps = printer->Caps();
          PlayMetafile(printer->Canvas(), report.FindPage(s.Page, s.Bar)->Picture(),
                       QRectF(0, 0, caps.PrintableWidth, caps.PrintableHeight));
          ++result.Sheets;
        }
        printer->EndDoc();
      }
    } catch (const EPrinterError& e) {
      result.PrinterError = e.what();
    }
  }
  if (report.OnAfterPrint()) report.OnAfterPrint()(report);
  return result;
}

void Export(TKyPrintBaseComponent& report, const std::string& fileName, bool separateFiles,
            const TKyRExportType& type, const TPageList& pages) {
  if (!report.Prepared() || report.Pages().empty())
    throw EKyROutputError("The report has no prepared pages");
  const std::vector<int32_t> rows = SelectedRows(report, pages);
  if (rows.empty()) throw EKyROutputError("No page of the report is selected");

  std::unique_ptr<TKyRExport> exporter = type.Create();
  const TKyProperty& prop = report.KyProperty();
  exporter->SetAuthor(prop.Author());
  exporter->SetTitle(prop.Title());
  exporter->SetSubject(prop.Subject());
  exporter->SetKeywords(prop.Keywords());
  exporter->SetComments(prop.Comments());

  auto hide = ScopeExit([&] {
    if (report.AnimatedStatus()) report.Process().HideProcess();
  });
  ShowStatus(report, kStrExporting, static_cast<int32_t>(report.Pages().size()));

  const TPageInfo* sizePage =
      report.CurrentPage() ? report.CurrentPage() : report.Pages().front().get();
  const int32_t width = sizePage->Width(), height = sizePage->Height();
  const int32_t bars = report.BarCount();
  exporter->BeginExport();
  for (size_t rank = 0; rank < rows.size(); ++rank) {
    const int32_t p = rows[rank];
    for (int32_t b = 0; b < bars; ++b) {
      UpdateStatus(report, kStrExportingPage, {p + 1, b + 1}, bars * p + b);
      const TPageInfo* page = report.FindPage(p, b);
      if (!page) continue;
      // The sizes are set for every page: saving a separate file resets them.
      exporter->SetPageWidth(width);
      exporter->SetPageHeight(height);
      exporter->SetTotalWidth(separateFiles ? width : bars * width);
      exporter->SetTotalHeight(separateFiles ? height : static_cast<int32_t>(rows.size()) * height);
      // Placed by rank: pages 1 and 3 lie one below the other.
      exporter->SetOffsetX(separateFiles ? 0 : page->Picture().Width() * b);
      exporter->SetOffsetY(separateFiles ? 0
                                         : page->Picture().Height() * static_cast<int32_t>(rank));
      exporter->StartPage(p, b);
      exporter->ProcessPicture(page->Picture());
      exporter->EndPage(page->Picture());
      if (separateFiles) exporter->SaveToFile(SeparateFileName(fileName, p, b));
    }
  }
  if (!separateFiles) exporter->SaveToFile(fileName);
  exporter->EndExport();
}

namespace {

// The dialog's request for `report`; the page choice counts the report's
// pages, so they are built first.
TKySetupRequest SetupRequest(TKyPrintBaseComponent& report, bool exportMode) {
  if (!report.Prepared()) report.BuildReport();
  TKySetupRequest request;
  request.ExportMode = exportMode;
  request.Language = report.Language().EffectiveLanguage();
  request.Printer = report.Printer();
  return request;
}

}  // namespace

bool PrintWithDialog(TKyPrintBaseComponent& report, TKyPrintResult* result) {
  if (!SetupDialogFunction()) return false;
  TKySetupRequest request = SetupRequest(report, false);
  request.PrinterName = report.PrinterSetting().PrinterName();
  request.PrinterIndex = report.PrinterSetting().PrinterIndex();
  TKySetupChoice choice;
  if (!SetupDialogFunction()(request, choice)) return false;
  const TPageList list = SelectPages(report, choice);
  report.PrinterSetting().SetCopies(choice.Copies);
  report.PrinterSetting().SetCollate(choice.Collate);
  // The printer chosen in the list is the one the pages go to.
  if (report.Printer() && choice.PrinterIndex >= 0) {
    report.Printer()->SetPrinterIndex(choice.PrinterIndex);
    if (!report.PrinterSetting().PrinterName().empty())
      report.PrinterSetting().SetPrinterName(report.Printer()->DeviceName());
  }
  TKyPrintResult r = Print(report, list);
  if (result) *result = r;
  return true;
}

bool ExportWithDialog(TKyPrintBaseComponent& report, std::string& fileName) {
  if (!SetupDialogFunction()) return false;
  TKySetupRequest request = SetupRequest(report, true);
  request.FileName = fileName;
  TKySetupChoice choice;
  if (!SetupDialogFunction()(request, choice)) return false;
  const TPageList list = SelectPages(report, choice);
  fileName = choice.FileName;
  const auto& types = KyRExportTypes();
  if (choice.ExportTypeIndex <= 0) {
    SaveToFile(report, choice.FileName, choice.SeparateFiles, &list);
  } else {
    if (choice.ExportTypeIndex > static_cast<int>(types.size()))
      throw EKyROutputError(Format("There is no export type %d", choice.ExportTypeIndex));
    Export(report, choice.FileName, choice.SeparateFiles, types[choice.ExportTypeIndex - 1], list);
  }
  return true;
}

}  // namespace hy
