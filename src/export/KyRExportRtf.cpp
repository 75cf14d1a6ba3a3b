#include "export/KyRExportRtf.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include <QTemporaryFile>

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "export/KyRCodePage.h"
#include "export/KyRExportFile.h"
#include "export/KyRExportSpreadsheet.h"

namespace hy {

namespace {

const char kCrLf[] = "\r\n";
const char kBorders[] =
    "\\clbrdrl\\brdrth \\clbrdrr\\brdrth \\clbrdrt\\brdrth \\clbrdrb\\brdrth \\cellx";
// A table line is broken before it reaches this length.
constexpr size_t kTableLine = 255;

void AppendUnicode(std::string& out, char32_t c) {
  out += "\\u";
  out += std::to_string(int16_t(uint16_t(c)));  // signed 16 bits, as RTF has it
  out += '?';
}

// Numbers in order of first use.
template <class Key>
class TNumbering {
public:
  explicit TNumbering(int first) : first_(first) {}
  int Number(const Key& key) {
    auto [it, added] = numbers_.try_emplace(key, first_ + int(order_.size()));
    if (added) order_.push_back(key);
    return it->second;
  }
  const std::vector<Key>& Order() const { return order_; }

private:
  int first_;
  std::unordered_map<Key, int> numbers_;
  std::vector<Key> order_;
};

// The body, buffered into a temporary file beside the target that goes
// whatever happens.
class TBodyFile {
public:
  explicit TBodyFile(const std::string& target) {
    std::filesystem::path p(target);
    p.replace_extension();
    file_.setFileTemplate(QString::fromStdString(p.string() + "_XXXXXX.$$$"));
    if (!file_.open()) Fail("Cannot create file");
  }
  void Write(std::string_view s) {
    buffer_.append(s);
    if (buffer_.size() >= kFlush) Flush();
  }
  // Everything written, from the start, onto `out`.
  void CopyTo(TExportFile& out) {
    Flush();
    if (!file_.seek(0)) Fail("Cannot read file");
    std::string chunk(kFlush, '\0');
    for (;;) {
      qint64 n = file_.read(chunk.data(), qint64(chunk.size()));
      if (n < 0) Fail("Cannot read file");
      if (n == 0) break;
      out.Write(std::string_view(chunk.data(), size_t(n)));
    }
  }

private:
  static constexpr size_t kFlush = 1 << 20;
  void Flush() {
    if (!buffer_.empty() &&
        file_.write(buffer_.data(), qint64(buffer_.size())) != qint64(buffer_.size()))
      Fail("Cannot write file");
    buffer_.clear();
  }
  [[noreturn]] void Fail(const char* what) const {
    throw EKyRExportError(Format("%s \"%s\": %s", what, file_.fileTemplate().toStdString().c_str(),
                                 file_.errorString().toStdString().c_str()));
  }

  QTemporaryFile file_;
  std::string buffer_;
};

// "{\fonttbl" or "{\colortbl;" and its pieces, broken into lines shorter
// than kTableLine.
std::string TableLines(std::string start, const std::vector<std::string>& pieces) {
  std::string out;
  std::string line = std::move(start);
  for (const std::string& piece : pieces) {
    if (line.size() + piece.size() >= kTableLine) {
      out += line;
      out += kCrLf;
      line.clear();
    }
    line += piece;
  }
  out += line;
  out += '}';
  out += kCrLf;
  return out;
}

void AppendHex(std::string& out, const std::vector<uint8_t>& bytes) {
  static const char kHex[] = "0123456789abcdef";
  out.reserve(out.size() + bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
}

}  // namespace

int32_t RtfTwips(int32_t units) { return int32_t(double(units) * 14.4); }

void AppendRtfText(std::string& out, std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = NextCodePoint(utf8, i);
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += char(c);
    } else if (c == '\t') {
      out += "\\tab ";
    } else if (c == '\n') {
      out += "\\line ";
    } else if (c < 0x20) {
      // other control characters (a CR of a CR LF among them) show nothing
    } else if (c < 0x80) {
      out += char(c);
    } else if (uint8_t b = AnsiByte(c)) {
      out += char(b);
    } else if (c > 0xFFFF) {
      AppendUnicode(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendUnicode(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      AppendUnicode(out, c);
    }
  }
}

TKyRExportToRTF::TKyRExportToRTF() {
  SetOptions(coText | coLines | coRectangles | coEllipses | coPictures);
}

void TKyRExportToRTF::SaveToFile(const std::string& fileName) {
  TKyRExportAttributes::SaveToFile(fileName);
  auto clear = ScopeExit([this] { ClearCells(); });
  TExportFile target(fileName);
  TBodyFile body(fileName);
  TNumbering<std::string> fonts(0);
  TNumbering<TColor> colors(1);

  std::string s = "{\\info{\\operator ";
  AppendRtfText(s, kKyRCreatorCredit);
  s += "}}\r\n{\\header \\pard\\plain {";
  AppendRtfText(s, kKyRCreatorCredit);
  s += " \\par }}\r\n\\par\r\n\\trowd\\trql\\trgaph0\\trleft36\r\n";

  // Each cell ends where the next column starts; the last one at the right
  // edge of its widest element, so that no reader squeezes or drops it.
  const std::vector<TKyRERecord>& cells = Records();
  const int32_t columns = ColumnCount();
  for (int32_t k = 1; k < columns; ++k)
    s += Format("%s%d\r\n", kBorders, RtfTwips(Columns()[size_t(k)]));
  if (columns > 0) {
    int32_t right = Columns().back() + 1;
    for (size_t i = size_t(columns) - 1; i < cells.size(); i += size_t(columns))
      right = std::max(right, cells[i].Left + cells[i].Width);
    s += Format("%s%d\r\n", kBorders, RtfTwips(right));
  }
  body.Write(s);

  std::string row;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (CellColumn(i) == 0 && !row.empty()) {
      row += "\\row\r\n";
      body.Write(row);
      row.clear();
    }
    const TKyRERecord& cell = cells[i];
    row += "\\pard\\intbl\\li30\\ri30";
    if (cell.HasText()) {
      const TFont& f = *cell.Font;
      const uint8_t align = AlignmentIndex(cell.Align);
      if (align == kAlignRight) row += "\\qr";
      if (align == kAlignCenter) row += "\\qc";
      row += "{\\f" + std::to_string(fonts.Number(f.Name()));
      row += "\\fs" + std::to_string(2 * f.Size());
      if (f.HasStyle(fsItalic)) row += "\\i";
      if (f.HasStyle(fsBold)) row += "\\b";
      if (f.HasStyle(fsUnderline)) row += "\\ul";
      const TColor rgb = ColorToRGB(f.Color());
      if (rgb != clWhite) row += "\\cf" + std::to_string(colors.Number(rgb));
      row += ' ';
      AppendRtfText(row, cell.Text);
      row += '}';
    } else if (cell.HasPicture()) {
      row += "{\\pict\\dibitmap ";
      AppendHex(row, cell.Picture->ToPackedDib());
      row += " }";
    }
    row += " \\cell ";
  }
  if (!row.empty()) body.Write(row + "\\row\r\n");
  body.Write("\\pard\\par}");

  s = "{\\rtf1\\ansi\\ansicpg" + std::to_string(kAnsiCodePage) + "\\uc1\r\n";
  if (!fonts.Order().empty()) {
    std::vector<std::string> pieces;
    for (const std::string& name : fonts.Order()) {
      std::string piece = "{\\f" + std::to_string(pieces.size()) + " ";
      AppendRtfText(piece, name);
      pieces.push_back(piece + "}");
    }
    s += TableLines("{\\fonttbl", pieces);
  }
  if (!colors.Order().empty()) {
    std::vector<std::string> pieces;
    for (TColor c : colors.Order())
      pieces.push_back(
          Format("\\red%d\\green%d\\blue%d;", GetRValue(c), GetGValue(c), GetBValue(c)));
    s += TableLines("{\\colortbl;", pieces);
  }
  target.Write(s);
  body.CopyTo(target);
  target.Commit();
}

}  // namespace hy
