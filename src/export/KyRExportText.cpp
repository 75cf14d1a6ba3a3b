#include "export/KyRExportText.h"

#include <algorithm>
#include <cmath>

#include <QString>

#include "common/ScopeGuard.h"
#include "export/KyRCodePage.h"
#include "export/KyRExportFile.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/EmfRecords.h"

namespace hy {

void TKyRExportToText::BeginExport() {
  charWidth_ = 6.5;
  charHeight_ = 16.0;
  lines_.clear();
}

void TKyRExportToText::EndExport() { lines_.clear(); }

void TKyRExportToText::StartPage(int32_t pageIndex, int32_t barIndex) {
  if (pageIndex >= 1 && barIndex == 0 && lines_.size() >= 2) lines_.back() += U'\f';
}

void TKyRExportToText::ProcessRecord(const TEmfRecord& r) {
  if (r.Type != emf::EMR_EXTTEXTOUTW && r.Type != emf::EMR_EXTTEXTOUTA) return;
  TEmrExtTextOut t = ReadExtTextOut(r);
  std::string utf8 = t.Text();
  if (IsBlankText(utf8)) return;
  TRect rect = t.Bounds.Inflate(1, 1);
  // nearbyint rounds halves to even
  double line = std::nearbyint((OffsetY() + rect.Top) / charHeight_);
  double column = std::nearbyint((OffsetX() + rect.Left) / charWidth_);
  size_t lineNo = line < 0 ? 0 : size_t(line);
  // the column is 1-based: text at column c starts at character c - 1
  size_t at = column < 1 ? 0 : size_t(column) - 1;

  std::u32string text;
  for (size_t i = 0; i < utf8.size();) text += NextCodePoint(utf8, i);
  // A text the page cut at its cell's edge keeps only the characters of its
  // box, so that it does not reach into the next cell's columns.
  if (t.Clipped())
    text.resize(
        std::min(text.size(), size_t(std::max(1.0, std::floor(rect.Width() / charWidth_)))));
  if (lines_.size() <= lineNo) lines_.resize(lineNo + 1);
  std::u32string& l = lines_[lineNo];
  if (l.size() < at) l.resize(at, U' ');
  l.replace(at, std::min(text.size(), l.size() - at), text);
}

void TKyRExportToText::SaveToFile(const std::string& fileName) {
  TKyRExport::SaveToFile(fileName);
  auto clear = ScopeExit([this] { lines_.clear(); });
  auto blank = [](const std::u32string& l) {
    for (char32_t c : l)
      if (c > U' ') return false;
    return true;
  };
  while (!lines_.empty() && blank(lines_.back())) lines_.pop_back();

  bool ansi = true;
  for (const std::u32string& l : lines_)
    for (char32_t c : l)
      if (c >= 0x80 && !AnsiByte(c)) ansi = false;
  TExportFile file(fileName);
  std::string out;
  if (!ansi) out += kUtf8Bom;
  for (const std::u32string& l : lines_) {
    if (ansi) {
      for (char32_t c : l) out += char(c < 0x80 ? uint8_t(c) : AnsiByte(c));
    } else {
      out += QString::fromUcs4(l.data(), qsizetype(l.size())).toStdString();
    }
    out += "\r\n";
    file.Write(out);
    out.clear();
  }
  file.Commit();
}

namespace {

void AppendCsvCell(std::string& out, std::string_view text, bool ansi) {
  auto append = [&](std::string_view s) {
    if (ansi) AppendAnsi(out, s);
    else out += s;
  };
  if (text.find_first_of(";\"\r\n") == std::string_view::npos) {
    append(text);
    return;
  }
  out += '"';
  for (size_t from = 0;;) {
    size_t quote = text.find('"', from);
    append(text.substr(from, quote - from));
    if (quote == std::string_view::npos) break;
    out += "\"\"";
    from = quote + 1;
  }
  out += '"';
}

}  // namespace

void TKyRExportToCSV::SaveToFile(const std::string& fileName) {
  TKyRExportAttributes::SaveToFile(fileName);
  auto clear = ScopeExit([this] { ClearCells(); });
  const std::vector<TKyRERecord>& cells = Records();
  bool ansi = true;
  for (const TKyRERecord& cell : cells)
    if (!FitsAnsi(cell.Text)) {
      ansi = false;
      break;
    }
  TExportFile file(fileName);
  std::string out;
  if (!ansi) out += kUtf8Bom;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (CellColumn(i) > 0) out += ';';
    else if (i > 0) out += "\r\n";
    AppendCsvCell(out, cells[i].Text, ansi);
    if (out.size() > 65536) {
      file.Write(out);
      out.clear();
    }
  }
  file.Write(out);
  file.Commit();
}

}  // namespace hy
