// The layout file, version 1. UTF-8 text, one statement a line; blank lines
// are skipped and a '#' outside quotes starts a comment. A statement is a keyword
// and its arguments, separated by spaces: words, decimal numbers, and
// strings in double quotes ("\\" "\"" "\n" "\t" are the only escapes).
//
//   cubeview-layout 1                          first statement, always
//   source table "FILE" "TABLE"                an SQLite table or view, or
//   source csv "FILE" SEP QUOTE HEADER ENC DEC  a CSV file: separator, quote
//                                              (0 none) and decimal character
//                                              codes, header 0/1, utf8/cp1252
//   column "NAME" TYPE ORDER                   CSV column, in file order
//                                              (integer float currency date
//                                              datetime text; ymd dmy mdy)
//   limits MAXDIMS MAXSUMS MAXCELLS            the cube's maximums (0 cells:
//                                              no limit of its own)
//   item "NAME" "FIELD" TYPE BIN START ACTIVE ALIGN WIDTH VALUES "FORMAT"
//        "CAPTION" "EXPR"                      one dimension map item, in order
//                                              (TYPE dimension sum count average
//                                              min max derived; BIN none year
//                                              quarter month week set custom;
//                                              START the day number of the date
//                                              grouping's start; ACTIVE active
//                                              asneeded inactive; ALIGN left
//                                              right center)
//   pivot "STATE" SUMMARY                      the decision source's stored
//                                              pivot state and current summary
//   header "TEXT" / footer "TEXT"              report header and footer lines
//   paper WIDTH HEIGHT                         page units (96 per inch)
//   margins LEFT TOP RIGHT BOTTOM
//   report AUTOFIT WORDWRAP FIXEDCOLS FIXEDROWS GAPH GAPV   0/1 flags, gaps
//   end                                        last statement, always
//
// Every statement but column, item, header and footer appears at most once;
// source, pivot and at least one item are required.
#include "app/LayoutFile.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/StrUtils.h"
#include "cube/HyStore.h"
#include "pivot/HyDB.h"
#include "report/KyRAHyDC.h"

namespace hy {
namespace {

constexpr size_t kMaxLayoutBytes = 4 << 20;
constexpr size_t kMaxItems = 1024;
constexpr size_t kMaxLines = 4096;  // of header, footer or columns

template <typename E>
struct TWord {
  const char* word;
  E value;
};

constexpr TWord<TDimFlags> kDimWords[] = {
    {"dimension", dimDimension}, {"sum", dimSum}, {"count", dimCount},
    {"average", dimAverage},     {"min", dimMin}, {"max", dimMax},
    {"derived", dimDerived}};
constexpr TWord<TBinType> kBinWords[] = {
    {"none", binNone}, {"year", binYear}, {"quarter", binQuarter}, {"month", binMonth},
    {"week", binWeek}, {"set", binSet},   {"custom", binCustom}};
constexpr TWord<TActiveFlags> kActiveWords[] = {
    {"active", diActive}, {"asneeded", diAsNeeded}, {"inactive", diInactive}};
constexpr TWord<TAlignment> kAlignWords[] = {
    {"left", taLeftJustify}, {"right", taRightJustify}, {"center", taCenter}};
constexpr TWord<TCsvType> kCsvTypeWords[] = {
    {"integer", TCsvType::Integer},   {"float", TCsvType::Float},
    {"currency", TCsvType::Currency}, {"date", TCsvType::Date},
    {"datetime", TCsvType::DateTime}, {"text", TCsvType::Text}};
constexpr TWord<TCsvDateOrder> kOrderWords[] = {
    {"ymd", TCsvDateOrder::YMD}, {"dmy", TCsvDateOrder::DMY}, {"mdy", TCsvDateOrder::MDY}};
constexpr TWord<TCsvEncoding> kEncodingWords[] = {{"utf8", TCsvEncoding::Utf8},
                                                  {"cp1252", TCsvEncoding::Cp1252}};

template <typename E, size_t N>
const char* WordOf(const TWord<E> (&words)[N], E value) {
  for (const TWord<E>& w : words)
    if (w.value == value) return w.word;
  return words[0].word;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out + '"';
}

std::string Number(double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, ec == std::errc() ? end : buf);
}

// One line split into tokens; strings keep a mark so that a word and a
// quoted word differ.
struct TToken {
  std::string text;
  bool quoted = false;
};

class TLayoutReader {
public:
  TLayoutReader(std::string_view text, const std::string& name) : text_(text), name_(name) {}

  TLayout Read();

private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw ELayoutError(Format("Layout file '%s', line %lld: %s", name_.c_str(),
                              static_cast<long long>(line_), what.c_str()));
  }
  bool NextLine(std::vector<TToken>& tokens);
  void Expect(const std::vector<TToken>& t, size_t count) const {
    if (t.size() != count)
      Fail(Format("'%s' takes %zu values, not %zu", t[0].text.c_str(), count - 1, t.size() - 1));
  }
  const std::string& Str(const TToken& t) const {
    if (!t.quoted) Fail(Format("a text in quotes was expected, not '%s'", t.text.c_str()));
    return t.text;
  }
  int64_t Int(const TToken& t, int64_t lo, int64_t hi) const {
    int64_t v = 0;
    const char* b = t.text.data();
    const char* e = b + t.text.size();
    auto [p, ec] = std::from_chars(b, e, v);
    if (t.quoted || ec != std::errc() || p != e || v < lo || v > hi)
      Fail(Format("'%s' is not a whole number from %lld to %lld", t.text.c_str(),
                  static_cast<long long>(lo), static_cast<long long>(hi)));
    return v;
  }
  bool Flag(const TToken& t) const { return Int(t, 0, 1) != 0; }
  double Real(const TToken& t) const {
    double v = 0;
    const char* b = t.text.data();
    const char* e = b + t.text.size();
    auto [p, ec] = std::from_chars(b, e, v);
    if (t.quoted || ec != std::errc() || p != e || !(v > -1e7 && v < 1e7))
      Fail(Format("'%s' is not a day number", t.text.c_str()));
    return v;
  }
  template <typename E, size_t N>
  E Word(const TToken& t, const TWord<E> (&words)[N]) const {
    if (!t.quoted)
      for (const TWord<E>& w : words)
        if (t.text == w.word) return w.value;
    Fail(Format("'%s' is not one of the words this value takes", t.text.c_str()));
  }

  std::string_view text_;
  const std::string& name_;
  size_t pos_ = 0;
  int64_t line_ = 0;
};

bool TLayoutReader::NextLine(std::vector<TToken>& tokens) {
  while (pos_ < text_.size()) {
    tokens.clear();
    ++line_;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t i = 0;
    while (i < line.size()) {
      const char c = line[i];
      if (c == ' ' || c == '\t') {
        ++i;
      } else if (c == '#') {
        break;
      } else if (c == '"') {
        TToken t{"", true};
        ++i;
        for (;;) {
          if (i >= line.size()) Fail("a text in quotes is not closed");
          const char d = line[i++];
          if (d == '"') break;
          if (d != '\\') {
            t.text += d;
            continue;
          }
          if (i >= line.size()) Fail("a text in quotes is not closed");
          switch (line[i++]) {
            case '\\': t.text += '\\'; break;
            case '"': t.text += '"'; break;
            case 'n': t.text += '\n'; break;
            case 't': t.text += '\t'; break;
            case 'r': t.text += '\r'; break;
            default: Fail("unknown escape in a text");
          }
        }
        if (i < line.size() && line[i] != ' ' && line[i] != '\t')
          Fail("a space is missing after a text in quotes");
        tokens.push_back(std::move(t));
      } else {
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '"') ++i;
        tokens.push_back({std::string(line.substr(start, i - start)), false});
      }
    }
    if (!tokens.empty()) {
      if (tokens[0].quoted) Fail("a line must start with a keyword");
      return true;
    }
  }
  return false;
}

TLayout TLayoutReader::Read() {
  if (text_.size() > kMaxLayoutBytes) Fail("the file is too large for a layout");
  TLayout layout;
  std::vector<TToken> t;
  bool first = false;
  try {
    first = NextLine(t);
  } catch (const ELayoutError&) {
  }
  if (!first || t[0].text != "cubeview-layout") {
    line_ = std::max<int64_t>(line_, 1);
    Fail("this is not a cube layout file");
  }
  Expect(t, 2);
  if (Int(t[1], 0, 1 << 30) != kLayoutVersion)
    Fail(Format("layout version %s is not supported (this program reads version %d)",
                t[1].text.c_str(), kLayoutVersion));

  bool seenSource = false, seenPivot = false, seenLimits = false, seenPaper = false,
       seenMargins = false, seenReport = false, ended = false;
  auto once = [&](bool& seen) {
    if (seen) Fail(Format("'%s' appears twice", t[0].text.c_str()));
    seen = true;
  };
  while (NextLine(t)) {
    if (ended) Fail("text after 'end'");
    const std::string& key = t[0].text;
    if (key == "end") {
      Expect(t, 1);
      ended = true;
    } else if (key == "source") {
      once(seenSource);
      if (t.size() < 2) Fail("'source' needs a kind");
      TSourceChoice& s = layout.source;
      if (t[1].text == "table" && !t[1].quoted) {
        Expect(t, 4);
        s.kind = TSourceChoice::scTable;
        s.fileName = Str(t[2]);
        s.tableName = Str(t[3]);
        if (s.tableName.empty()) Fail("the table name is empty");
      } else if (t[1].text == "csv" && !t[1].quoted) {
        Expect(t, 8);
        s.kind = TSourceChoice::scCsv;
        s.fileName = Str(t[2]);
        s.csv.separator = static_cast<char>(Int(t[3], 1, 127));
        s.csv.quote = static_cast<char>(Int(t[4], 0, 127));
        s.csv.header = Flag(t[5]);
        s.csv.encoding = Word(t[6], kEncodingWords);
        s.csv.decimalSeparator = static_cast<char>(Int(t[7], 1, 127));
        if (s.csv.separator == s.csv.quote || s.csv.separator == '\n' || s.csv.separator == '\r')
          Fail("the CSV separator cannot be used");
      } else {
        Fail(Format("unknown source kind '%s'", t[1].text.c_str()));
      }
      if (s.fileName.empty()) Fail("the source's file name is empty");
    } else if (key == "column") {
      Expect(t, 4);
      if (!seenSource || layout.source.kind != TSourceChoice::scCsv)
        Fail("'column' belongs after a CSV source");
      if (layout.source.csv.columns.size() >= kMaxLines) Fail("too many columns");
      layout.source.csv.columns.push_back(
          {Str(t[1]), Word(t[2], kCsvTypeWords), Word(t[3], kOrderWords)});
    } else if (key == "limits") {
      once(seenLimits);
      Expect(t, 4);
      layout.maxDimensions =
          static_cast<int32_t>(Int(t[1], 1, TCommonDataStore::kMaxDimensionsLimit));
      layout.maxSummaries = static_cast<int32_t>(Int(t[2], 1, 1 << 20));
      layout.maxCells = static_cast<uint32_t>(Int(t[3], 0, UINT32_MAX));
    } else if (key == "item") {
      Expect(t, 13);
      if (layout.items.size() >= kMaxItems) Fail("too many map items");
      TLayoutItem it;
      it.name = Str(t[1]);
      it.fieldName = Str(t[2]);
      it.dimensionType = Word(t[3], kDimWords);
      it.binType = Word(t[4], kBinWords);
      it.startDate = Real(t[5]);
      it.activeFlag = Word(t[6], kActiveWords);
      it.alignment = Word(t[7], kAlignWords);
      it.width = static_cast<int32_t>(Int(t[8], 0, 10000));
      it.valueCount = static_cast<uint32_t>(Int(t[9], 0, UINT32_MAX));
      it.format = Str(t[10]);
      it.caption = Str(t[11]);
      it.sumExpr = Str(t[12]);
      if (it.name.empty()) Fail("a map item has no name");
      if (it.binType == binSet) Fail("grouping by a value set is not supported");
      if (!it.sumExpr.empty() && it.dimensionType != dimDerived)
        Fail("only a derived summary has an expression");
      for (const TLayoutItem& other : layout.items)
        if (SameText(other.name, it.name))
          Fail(Format("two map items are named '%s'", it.name.c_str()));
      layout.items.push_back(std::move(it));
    } else if (key == "pivot") {
      once(seenPivot);
      Expect(t, 3);
      layout.dimensionInfo = Str(t[1]);
      try {
        ReadPivotStateText(layout.dimensionInfo, -1);
      } catch (const std::exception& e) {
        Fail(std::string("the pivot state cannot be read: ") + e.what());
      }
      layout.currentSummary = static_cast<int32_t>(Int(t[2], 0, kMaxItems));
    } else if (key == "header" || key == "footer") {
      Expect(t, 2);
      auto& lines = key == "header" ? layout.report.header : layout.report.footer;
      if (lines.size() >= kMaxLines) Fail("too many header or footer lines");
      lines.push_back(Str(t[1]));
    } else if (key == "paper") {
      once(seenPaper);
      Expect(t, 3);
      layout.report.paperWidth = static_cast<int32_t>(Int(t[1], 1, 100000));
      layout.report.paperHeight = static_cast<int32_t>(Int(t[2], 1, 100000));
    } else if (key == "margins") {
      once(seenMargins);
      Expect(t, 5);
      for (int i = 0; i < 4; ++i)
        layout.report.margins[i] = static_cast<int32_t>(Int(t[1 + i], 0, 100000));
    } else if (key == "report") {
      once(seenReport);
      Expect(t, 7);
      TLayoutReport& r = layout.report;
      r.autoFit = Flag(t[1]);
      r.wordWrap = Flag(t[2]);
      r.fixedCols = Flag(t[3]);
      r.fixedRows = Flag(t[4]);
      r.gapHorizontal = static_cast<int32_t>(Int(t[5], 0, 1000));
      r.gapVertical = static_cast<int32_t>(Int(t[6], 0, 1000));
    } else {
      Fail(Format("unknown keyword '%s'", key.c_str()));
    }
  }
  ++line_;
  if (!ended) Fail("the file ends before 'end'");
  if (!seenSource) Fail("the layout names no source");
  if (!seenPivot) Fail("the layout has no pivot state");
  if (layout.items.empty()) Fail("the layout has no dimension map");
  const TLayoutReport& r = layout.report;
  if (r.margins[0] + r.margins[2] >= r.paperWidth || r.margins[1] + r.margins[3] >= r.paperHeight)
    Fail("the margins leave no room on the paper");
  return layout;
}

}  // namespace

void CaptureMap(const THyMap& map, const TCommonDataStore& store, TLayout& layout) {
  layout.maxDimensions = store.MaxDimensions();
  layout.maxSummaries = store.MaxSummaries();
  layout.maxCells = store.MaxCells() == TCommonDataStore::kDefaultMaxCells ? 0 : store.MaxCells();
  layout.items.clear();
  for (int i = 0; i < map.Count(); ++i) {
    const THyMapItem& m = *map.Items(i);
    TLayoutItem it;
    it.name = m.Name();
    it.fieldName = m.FieldName();
    it.format = m.Format();
    it.caption = m.Caption();
    it.sumExpr = m.SumExpr();
    it.dimensionType = m.DimensionType();
    it.binType = m.BinType();
    it.startDate = m.StartDate();
    it.activeFlag = m.ActiveFlag();
    it.alignment = m.Alignment();
    it.width = m.Width();
    it.valueCount = m.ValueCount();
    layout.items.push_back(std::move(it));
  }
}

void ApplyMap(const TLayout& layout, THyMap& map, TCommonDataStore& store) {
  store.SetMaxDimensions(layout.maxDimensions);
  store.SetMaxSummaries(layout.maxSummaries);
  store.SetMaxCells(layout.maxCells);
  map.BeginUpdate();
  map.Clear();
  for (const TLayoutItem& it : layout.items) {
    THyMapItem* m = map.Add();
    m->SetName(it.name);
    m->SetFieldName(it.fieldName);
    m->SetDimensionType(it.dimensionType);
    m->SetBinType(it.binType);
    m->SetStartDate(it.startDate);
    m->SetActiveFlag(it.activeFlag);
    m->SetAlignment(it.alignment);
    m->SetWidth(it.width);
    m->SetValueCount(it.valueCount);
    m->SetFormat(it.format);
    m->SetCaption(it.caption);
    m->SetSumExpr(it.sumExpr);
  }
  map.EndUpdate();
}

void CaptureReport(const TKyPrintHyCube& report, TLayoutReport& out) {
  out.header = report.Header();
  out.footer = report.Footer();
  const TKyRPrinter& p = report.PrinterSetting();
  out.paperWidth = p.PaperSizeWidth();
  out.paperHeight = p.PaperSizeHeight();
  out.margins[0] = p.Margins().Left;
  out.margins[1] = p.Margins().Top;
  out.margins[2] = p.Margins().Right;
  out.margins[3] = p.Margins().Bottom;
  out.autoFit = report.AutoFit();
  out.wordWrap = report.WordWrap();
  out.fixedCols = report.Style().FixedCols();
  out.fixedRows = report.Style().FixedRows();
  out.gapHorizontal = report.GapHorizontal();
  out.gapVertical = report.GapVertical();
}

void ApplyReport(const TLayoutReport& in, TKyPrintHyCube& report) {
  report.SetHeader(in.header);
  report.SetFooter(in.footer);
  TKyRPrinter& p = report.PrinterSetting();
  p.SetPaperSizeWidth(in.paperWidth);
  p.SetPaperSizeHeight(in.paperHeight);
  p.Margins().Left = in.margins[0];
  p.Margins().Top = in.margins[1];
  p.Margins().Right = in.margins[2];
  p.Margins().Bottom = in.margins[3];
  report.SetAutoFit(in.autoFit);
  report.SetWordWrap(in.wordWrap);
  report.Style().SetFixedCols(in.fixedCols);
  report.Style().SetFixedRows(in.fixedRows);
  report.SetGapHorizontal(in.gapHorizontal);
  report.SetGapVertical(in.gapVertical);
}

std::string WriteLayoutText(const TLayout& layout) {
  std::ostringstream out;
  out << "# cubeview layout: source, dimension map, pivot and report settings\n";
  out << "cubeview-layout " << kLayoutVersion << '\n';
  const TSourceChoice& s = layout.source;
  if (s.kind == TSourceChoice::scTable) {
    out << "source table " << Quote(s.fileName) << ' ' << Quote(s.tableName) << '\n';
  } else {
    out << "source csv " << Quote(s.fileName) << ' ' << int(s.csv.separator) << ' '
        << int(s.csv.quote) << ' ' << int(s.csv.header) << ' '
        << WordOf(kEncodingWords, s.csv.encoding) << ' ' << int(s.csv.decimalSeparator) << '\n';
    for (const TCsvColumn& c : s.csv.columns)
      out << "column " << Quote(c.name) << ' ' << WordOf(kCsvTypeWords, c.type) << ' '
          << WordOf(kOrderWords, c.dateOrder) << '\n';
  }
  out << "limits " << layout.maxDimensions << ' ' << layout.maxSummaries << ' ' << layout.maxCells
      << '\n';
  for (const TLayoutItem& it : layout.items)
    out << "item " << Quote(it.name) << ' ' << Quote(it.fieldName) << ' '
        << WordOf(kDimWords, it.dimensionType) << ' ' << WordOf(kBinWords, it.binType) << ' '
        << Number(it.startDate) << ' ' << WordOf(kActiveWords, it.activeFlag) << ' '
        << WordOf(kAlignWords, it.alignment) << ' ' << it.width << ' ' << it.valueCount << ' '
        << Quote(it.format) << ' ' << Quote(it.caption) << ' ' << Quote(it.sumExpr) << '\n';
  out << "pivot " << Quote(layout.dimensionInfo) << ' ' << layout.currentSummary << '\n';
  const TLayoutReport& r = layout.report;
  for (const std::string& line : r.header) out << "header " << Quote(line) << '\n';
  for (const std::string& line : r.footer) out << "footer " << Quote(line) << '\n';
  out << "paper " << r.paperWidth << ' ' << r.paperHeight << '\n';
  out << "margins " << r.margins[0] << ' ' << r.margins[1] << ' ' << r.margins[2] << ' '
      << r.margins[3] << '\n';
  out << "report " << int(r.autoFit) << ' ' << int(r.wordWrap) << ' ' << int(r.fixedCols) << ' '
      << int(r.fixedRows) << ' ' << r.gapHorizontal << ' ' << r.gapVertical << '\n';
  out << "end\n";
  return out.str();
}

TLayout ReadLayoutText(std::string_view text, const std::string& name) {
  return TLayoutReader(text, name).Read();
}

void SaveLayoutFile(const std::string& fileName, const TLayout& layout) {
  const std::string text = WriteLayoutText(layout);
  const std::string temp = fileName + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      throw ELayoutError(Format("Cannot write the layout file '%s'", fileName.c_str()));
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, fileName, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw ELayoutError(Format("Cannot write the layout file '%s'", fileName.c_str()));
  }
}

TLayout LoadLayoutFile(const std::string& fileName) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(fileName, ec);
  if (ec) throw ELayoutError(Format("Cannot read the layout file '%s'", fileName.c_str()));
  if (size > kMaxLayoutBytes)
    throw ELayoutError(Format("Layout file '%s' is too large for a layout", fileName.c_str()));
  std::ifstream in(fileName, std::ios::binary);
  std::string text(static_cast<size_t>(size), '\0');
  if (!in.read(text.data(), static_cast<std::streamsize>(size)))
    throw ELayoutError(Format("Cannot read the layout file '%s'", fileName.c_str()));
  return ReadLayoutText(text, fileName);
}

}  // namespace hy
