// `hycube report`: prepares the report of a pivot with the demo window's
// report settings, changed by the flags, and writes the outputs asked for.
// The flags are one table; each output is one step, run in the table's order.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include "app/DemoLayout.h"
#include "app/cli/OutputOptions.h"
#include "app/cli/PivotOptions.h"
#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StrUtils.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/EmfPlayer.h"
#include "platform/gdi/GuiApp.h"
#include "report/KyRAHyDC.h"
#include "report/KyRAutoText.h"
#include "report/KyRFile.h"
#include "report/KyROutput.h"
#include "report/KyRPars.h"

namespace hy::cli {

namespace {

struct HighLightOption {
  std::string expression;
  TColor color = clWhite;
  TFontStyles style = 0;
};

// Everything the command line says about one report.
struct ReportOptions {
  PivotFlags pivot;
  std::vector<std::string> header, footer;
  bool headerGiven = false, footerGiven = false;
  std::optional<TKyRPaperSize> paper;
  int32_t paperWidth = 0, paperHeight = 0;  // WIDTHxHEIGHT
  bool landscape = false;
  std::optional<TKyRPageMargins> margins;
  std::optional<TKyRRowStyle> rowStyle;
  bool autoFit = false, wordWrap = false, noFixedRows = false, twoPass = false;
  std::vector<HighLightOption> highLights;
  std::optional<std::string> title, author, subject, keywords;
  std::optional<TKyRLangID> language;
  // Outputs.
  bool info = false, text = false;
  std::string pngDir, emfDir;
  std::string krp, exportType, out;
  bool print = false;
  OutputOptions output;  // --pages, --separate, --printer, --copies, --collate
};

[[noreturn]] void Fail(const std::string& message) { throw Exception("hycube report: " + message); }

int32_t PageUnits(const std::string& text, const char* what) {
  int64_t n = 0;
  if (!TryStrToInt64(Trim(text), n) || n < 0 || n > 100000)
    Fail(Format("'%s' is not a %s in page units (0 to 100000)", text.c_str(), what));
  return static_cast<int32_t>(n);
}

void TakePaper(ReportOptions& o, const std::string& v) {
  static const struct {
    const char* name;
    TKyRPaperSize size;
  } kPapers[] = {
      {"a4", psA4}, {"letter", psLetter}, {"legal", psLegal}, {"a3", psA3}, {"a5", psA5}};
  const std::string name = LowerCase(v);
  for (const auto& p : kPapers) {
    if (name != p.name) continue;
    o.paper = p.size;
    return;
  }
  const size_t x = name.find('x');
  if (x == std::string::npos)
    Fail("--paper takes a4, letter, legal, a3, a5 or WIDTHxHEIGHT, not '" + v + "'");
  o.paper = psCustom;
  o.paperWidth = PageUnits(name.substr(0, x), "paper width");
  o.paperHeight = PageUnits(name.substr(x + 1), "paper height");
  if (o.paperWidth < 10 || o.paperHeight < 10) Fail("a paper needs at least 10 x 10 page units");
}

void TakeMargins(ReportOptions& o, const std::string& v) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t comma; (comma = v.find(',', start)) != std::string::npos; start = comma + 1)
    parts.push_back(v.substr(start, comma - start));
  parts.push_back(v.substr(start));
  if (parts.size() != 4) Fail("--margins takes L,T,R,B in page units, not '" + v + "'");
  TKyRPageMargins m;
  m.ByDefault = false;
  m.Left = PageUnits(parts[0], "margin");
  m.Top = PageUnits(parts[1], "margin");
  m.Right = PageUnits(parts[2], "margin");
  m.Bottom = PageUnits(parts[3], "margin");
  o.margins = m;
}

void TakeRowStyle(ReportOptions& o, const std::string& v) {
  TKyRRowStyle style;
  if (!RowStyleFromName(v, style)) {
    std::string names;
    for (int i = 0; i < kKyRRowStyleCount; ++i)
      names += std::string(i ? ", " : "") + (RowStyleName(static_cast<TKyRRowStyle>(i)) + 2);
    Fail("unknown row style '" + v + "' (one of " + names + ")");
  }
  o.rowStyle = style;
}

TColor ParseColor(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) return clWhite;
  if (t[0] == '$' || t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0) {
    const std::string digits = t.substr(t[0] == '$' ? 1 : 2);
    char* end = nullptr;
    const unsigned long v = std::strtoul(digits.c_str(), &end, 16);
    if (!digits.empty() && end && !*end && v <= 0xFFFFFF) return static_cast<TColor>(v);
  } else {
    const QColor c = QColor::fromString(QString::fromStdString(t));
    if (c.isValid()) return FromQColor(c);
  }
  Fail("'" + text + "' is not a colour (a name such as yellow, #RRGGBB or $BBGGRR)");
}

TFontStyles ParseFontStyle(const std::string& text) {
  TFontStyles style = 0;
  std::string word;
  auto take = [&] {
    const std::string w = LowerCase(Trim(word));
    word.clear();
    if (w.empty()) return;
    if (w == "bold" || w == "b") style |= fsBold;
    else if (w == "italic" || w == "i") style |= fsItalic;
    else if (w == "underline" || w == "u") style |= fsUnderline;
    else if (w == "strikeout" || w == "s") style |= fsStrikeOut;
    else Fail("'" + w + "' is no font style (bold, italic, underline, strikeout)");
  };
  for (char c : text) {
    if (c == ',' || c == '+' || c == ' ') take();
    else word += c;
  }
  take();
  return style;
}

void TakeHighLight(ReportOptions& o, const std::string& v) {
  const size_t bar1 = v.find('|');
  const size_t bar2 = bar1 == std::string::npos ? std::string::npos : v.find('|', bar1 + 1);
  HighLightOption h;
  h.expression = v.substr(0, bar1);
  if (Trim(h.expression).empty()) Fail("--highlight needs an expression: \"EXPR|COLOR|FONTSTYLE\"");
  if (bar1 != std::string::npos) h.color = ParseColor(v.substr(bar1 + 1, bar2 - bar1 - 1));
  if (bar2 != std::string::npos) h.style = ParseFontStyle(v.substr(bar2 + 1));
  o.highLights.push_back(std::move(h));
}

void TakeLanguage(ReportOptions& o, const std::string& v) {
  static const char* const kCodes[kKyRLangCount] = {"en", "ru", "uk", "de", "fr", "es", "sv", "cs"};
  for (int i = 0; i < kKyRLangCount; ++i) {
    if (LowerCase(v) != kCodes[i]) continue;
    o.language = static_cast<TKyRLangID>(i);
    return;
  }
  Fail("--language takes en, ru, uk, de, fr, es, sv or cs, not '" + v + "'");
}

// One flag: its name, the name of its value (none for a switch), its help
// and what it does to the options.
struct ReportFlag {
  const char* name;
  const char* value;
  const char* help;
  void (*take)(ReportOptions&, const std::string&);
};

const ReportFlag kReportFlags[] = {
    {"--header", "LINE", "a header line (repeatable; the first replaces the demo's lines)",
     [](ReportOptions& o, const std::string& v) {
       o.headerGiven = true;
       o.header.push_back(v);
     }},
    {"--footer", "LINE", "a footer line (repeatable; the first replaces the demo's line)",
     [](ReportOptions& o, const std::string& v) {
       o.footerGiven = true;
       o.footer.push_back(v);
     }},
    {"--paper", "SIZE", "a4, letter, legal, a3, a5 or WIDTHxHEIGHT in page units (96 per inch)",
     TakePaper},
    {"--landscape", nullptr, "turn the paper",
     [](ReportOptions& o, const std::string&) { o.landscape = true; }},
    {"--margins", "L,T,R,B", "page margins in page units", TakeMargins},
    {"--row-style", "NAME", "alternating row colours: Normal, PriceList, MSMoney, Brick, ...",
     TakeRowStyle},
    {"--autofit", nullptr, "scale the columns so that one sheet holds them all",
     [](ReportOptions& o, const std::string&) { o.autoFit = true; }},
    {"--wordwrap", nullptr, "wrap cell and header texts",
     [](ReportOptions& o, const std::string&) { o.wordWrap = true; }},
    {"--no-fixed-rows", nullptr, "print the caption and label rows once, not on every page",
     [](ReportOptions& o, const std::string&) { o.noFixedRows = true; }},
    {"--highlight", "\"EXPR|COLOR|FONTSTYLE\"",
     "cells drawn while EXPR holds get COLOR (name, #RRGGBB, $BBGGRR) and\n"
     "                         FONTSTYLE (bold,italic,underline,strikeout); repeatable",
     TakeHighLight},
    {"--two-pass", nullptr, "build twice, so that page and sheet counts are known on every page",
     [](ReportOptions& o, const std::string&) { o.twoPass = true; }},
    {"--title", "TEXT", "document title",
     [](ReportOptions& o, const std::string& v) { o.title = v; }},
    {"--author", "TEXT", "document author",
     [](ReportOptions& o, const std::string& v) { o.author = v; }},
    {"--subject", "TEXT", "document subject",
     [](ReportOptions& o, const std::string& v) { o.subject = v; }},
    {"--keywords", "TEXT", "document keywords",
     [](ReportOptions& o, const std::string& v) { o.keywords = v; }},
    {"--language", "CODE",
     "report language: en, ru, uk, de, fr, es, sv, cs (the default footer\n"
     "                         follows it)",
     TakeLanguage},
    {"--info", nullptr, "print \"pages N bars B\", then \"P B WIDTHxHEIGHT\" for every page",
     [](ReportOptions& o, const std::string&) { o.info = true; }},
    {"--text", nullptr,
     "print every page's texts as read back from its picture: \"=== page P bar B\",\n"
     "                         then x<TAB>y<TAB>text per text",
     [](ReportOptions& o, const std::string&) { o.text = true; }},
    {"--png-dir", "DIR", "render the pages to DIR/page<P>_<B>.png (with --pages)",
     [](ReportOptions& o, const std::string& v) { o.pngDir = v; }},
    {"--emf-dir", "DIR", "write the pages' pictures to DIR/page<P>_<B>.emf (with --pages)",
     [](ReportOptions& o, const std::string& v) { o.emfDir = v; }},
    {"--krp", "FILE", "save the pages as a prepared report file (with --pages, --separate)",
     [](ReportOptions& o, const std::string& v) { o.krp = v; }},
    {"--print", nullptr, "print the pages (with --printer, --copies, --collate, --pages)",
     [](ReportOptions& o, const std::string&) { o.print = true; }},
    {"--export", "TYPE", "export the pages as TYPE (txt, csv, html, xml, ...) into --out FILE",
     [](ReportOptions& o, const std::string& v) { o.exportType = v; }},
    {"--out", "FILE", "the file of --export",
     [](ReportOptions& o, const std::string& v) { o.out = v; }},
};

ReportOptions ParseReportOptions(Args rest) {
  ReportOptions o;
  o.output = TakeOutputOptions(rest);
  for (size_t i = 0; i < rest.size(); ++i) {
    if (TakePivotFlag(rest, i, o.pivot, "report")) continue;
    const ReportFlag* flag = nullptr;
    for (const ReportFlag& f : kReportFlags)
      if (rest[i] == f.name) flag = &f;
    if (!flag) Fail("unknown argument '" + rest[i] + "' (see hycube report --help)");
    flag->take(o, flag->value ? FlagValue(rest, i, "report") : std::string());
  }
  if (!o.out.empty() && o.exportType.empty()) Fail("--out is the file of --export TYPE");
  return o;
}

void Configure(TKyPrintHyCube& report, const ReportOptions& o) {
  if (o.language) {
    TKyRLanguage language;
    language.SetLanguageID(*o.language);
    report.SetLanguage(language);
  }
  if (o.headerGiven) report.SetHeader(o.header);
  if (o.footerGiven) report.SetFooter(o.footer);
  else if (o.language) report.SetFooter(DefaultFooter(*o.language));
  TKyRPrinter& printer = report.PrinterSetting();
  if (o.paper) {
    printer.SetPaperSize(*o.paper);
    if (*o.paper == psCustom) {
      printer.SetPaperSizeWidth(o.paperWidth);
      printer.SetPaperSizeHeight(o.paperHeight);
    }
  }
  if (o.landscape) {
    // The stored paper is upright; turning it from there swaps its sides.
    if (printer.Orientation() == spoDefault) printer.SetOrientation(spoPortrait);
    printer.SetOrientation(spoLandscape);
  }
  if (o.margins) printer.SetMargins(*o.margins);
  if (o.rowStyle) report.Style().SetRowStyle(*o.rowStyle);
  if (o.autoFit) report.SetAutoFit(true);
  if (o.wordWrap) report.SetWordWrap(true);
  if (o.noFixedRows) report.Style().SetFixedRows(false);
  if (o.twoPass) report.SetTwoPass(true);
  TKyProperty& doc = report.KyProperty();
  if (o.title) doc.SetTitle(*o.title);
  if (o.author) doc.SetAuthor(*o.author);
  if (o.subject) doc.SetSubject(*o.subject);
  if (o.keywords) doc.SetKeywords(*o.keywords);

  const TKyRExprContext check(&report.DataManager(), KyRReportVariables(report));
  for (const HighLightOption& h : o.highLights) {
    try {
      ParseKyRExpression(h.expression, check);
    } catch (const std::exception& e) {
      Fail("highlight '" + h.expression + "': " + e.what());
    }
    TKyRHighLight* item = report.HighLights().Add();
    item->SetExpression(h.expression);
    item->SetColor(h.color);
    TFont font = item->Font();
    font.SetStyle(h.style);
    item->SetFont(font);
  }
}

std::string PageFileName(const std::string& dir, const TPageInfo& page, const char* extension) {
  return (std::filesystem::path(dir) / ("page" + std::to_string(page.PageIndex()) + "_" +
                                        std::to_string(page.BarIndex()) + extension))
      .string();
}

void WriteInfo(TKyPrintHyCube& report, const ReportOptions&) {
  std::printf("pages %zu bars %d\n", report.Pages().size(), report.BarCount());
  for (const auto& page : report.Pages())
    std::printf("%d %d %dx%d\n", page->PageIndex(), page->BarIndex(), page->Width(),
                page->Height());
}

void WriteText(TKyPrintHyCube& report, const ReportOptions&) {
  std::string out;
  for (const auto& page : report.Pages()) {
    out = "=== page " + std::to_string(page->PageIndex()) + " bar " +
          std::to_string(page->BarIndex()) + "\n";
    for (const TKyRPageText& t : PageTexts(page->Picture()))
      out += std::to_string(t.X) + '\t' + std::to_string(t.Y) + '\t' + t.Text + '\n';
    std::fputs(out.c_str(), stdout);
  }
}

void WritePngs(TKyPrintHyCube& report, const ReportOptions& o) {
  MakeOutputFolder(o.pngDir);
  const TPageList chosen = ChosenPages(report, o.output);
  for (const auto& page : report.Pages()) {
    if (!PageListHas(chosen, page->PageIndex() + 1)) continue;
    const QImage image = RenderMetafile(page->Picture());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) Fail("cannot encode a page as PNG");
    WriteFileAtomically(PageFileName(o.pngDir, *page, ".png"),
                        std::vector<uint8_t>(png.begin(), png.end()));
  }
}

void WriteEmfs(TKyPrintHyCube& report, const ReportOptions& o) {
  MakeOutputFolder(o.emfDir);
  const TPageList chosen = ChosenPages(report, o.output);
  for (const auto& page : report.Pages())
    if (PageListHas(chosen, page->PageIndex() + 1))
      page->Picture().SaveToFile(PageFileName(o.emfDir, *page, ".emf"));
}

// The outputs, in the order they run.
struct ReportOutput {
  bool (*wanted)(const ReportOptions&);
  void (*run)(TKyPrintHyCube&, const ReportOptions&);
};

const ReportOutput kReportOutputs[] = {
    {[](const ReportOptions& o) { return o.info; }, WriteInfo},
    {[](const ReportOptions& o) { return o.text; }, WriteText},
    {[](const ReportOptions& o) { return !o.pngDir.empty(); }, WritePngs},
    {[](const ReportOptions& o) { return !o.emfDir.empty(); }, WriteEmfs},
    {[](const ReportOptions& o) { return !o.krp.empty(); },
     [](TKyPrintHyCube& r, const ReportOptions& o) { SavePages(r, o.krp, o.output); }},
    {[](const ReportOptions& o) { return o.print; },
     [](TKyPrintHyCube& r, const ReportOptions& o) { PrintPages(r, o.output); }},
    {[](const ReportOptions& o) { return !o.exportType.empty(); },
     [](TKyPrintHyCube& r, const ReportOptions& o) {
       ExportPages(r, o.exportType, o.out, o.output);
     }},
};

std::string Help() {
  std::string text =
      "usage: hycube report [source] [items] [limits] [pivot flags] [report flags] [outputs]\n\n"
      "Opens the cube, pivots it as `hycube pivot` does and prepares the report of\n"
      "the cross-tab with the demo window's report settings (header with the date,\n"
      "footer \"page #N/SheetB\" at the right, no margins, a 793 x 1122 page).\n"
      "Outputs run in the order listed; without any, --info is written.\n\npivot flags:\n";
  text += kPivotFlagsHelp;
  text += "\nreport flags and outputs:\n";
  for (const ReportFlag& f : kReportFlags) {
    std::string head =
        std::string("  ") + f.name + (f.value ? std::string(" ") + f.value : std::string());
    if (head.size() < 25) head.resize(25, ' ');
    else head += "\n" + std::string(25, ' ');
    text += head + f.help + "\n";
  }
  text += kPageFlagsHelp;
  text += kPrintFlagsHelp;
  text += "Errors print the message on stderr with exit status 2.\n\n";
  return text + kCubeOptionsHelp;
}

}  // namespace

int CmdReport(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(Help().c_str(), stdout);
    return 0;
  }
  const CubeOptions cubeOptions = ParseCubeOptions(args);
  ReportOptions options = ParseReportOptions(cubeOptions.rest);
  bool anyOutput = false;
  for (const ReportOutput& out : kReportOutputs) anyOutput = anyOutput || out.wanted(options);
  if (!anyOutput) options.info = true;

  EnsureGuiApplication();
  CliPivot pivot(cubeOptions, options.pivot, "report");
  auto* report = new TKyPrintHyCube(&pivot.Owner());
  SetDemoReport(*report);
  report->SetDecisionGrid(&pivot.Grid());
  Configure(*report, options);
  report->Prepare();

  for (const ReportOutput& out : kReportOutputs)
    if (out.wanted(options)) out.run(*report, options);
  std::fflush(stdout);
  return 0;
}

}  // namespace hy::cli
