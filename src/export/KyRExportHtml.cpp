#include "export/KyRExportHtml.h"

#include <algorithm>
#include <filesystem>

#include "common/StrUtils.h"
#include "export/KyRCodePage.h"

namespace hy {

namespace {

const char kCrLf[] = "\r\n";

void AppendReference(std::string& out, char32_t c) {
  out += "&#";
  out += std::to_string(uint32_t(c));
  out += ';';
}

// Percent-encoding for a relative address (folders stay separated by "/").
std::string UrlPath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : path) {
    uint8_t b = uint8_t(ch);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
        std::string_view("-._~/").find(ch) != std::string_view::npos) {
      out += ch;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

}  // namespace

std::string HtmlColorAttribute(TColor color, bool background) {
  TColor rgb = ColorToRGB(color);
  if (rgb == 0) return {};
  return Format("%scolor=\"#%02X%02X%02X\"", background ? "bg" : "", GetRValue(rgb), GetGValue(rgb),
                GetBValue(rgb));
}

const char* HtmlFontSize(int points) {
  if (points == 6 || points == 7) return "1";
  if (points == 8 || points == 9) return "2";
  if (points >= 14 && points <= 17) return "4";
  if (points >= 18 && points <= 23) return "5";
  if (points >= 24 && points <= 35) return "6";
  return "-1";
}

namespace {

struct TEntity {
  char32_t Char;
  const char* Text;
};

// HTML's entities for the few signs that have well-known names.
constexpr TEntity kHtmlEntities[] = {
    {'"', "&quot;"},     {'&', "&amp;"},   {'\'', "&#39;"}, {'<', "&lt;"},      {'>', "&gt;"},
    {0x2122, "&trade;"}, {0xA9, "&copy;"}, {0xB0, "&deg;"}, {0xB1, "&plusmn;"}, {0xB6, "&para;"}};
// XML's five, and the line breaks and tabs a parser would turn into blanks
// inside an attribute.
constexpr TEntity kXmlEntities[] = {{'"', "&quot;"}, {'&', "&amp;"}, {'\'', "&apos;"},
                                    {'<', "&lt;"},   {'>', "&gt;"},  {'\t', "&#9;"},
                                    {'\n', "&#10;"}, {'\r', "&#13;"}};

template <size_t N>
void AppendMarkup(std::string& out, std::string_view utf8, const TEntity (&entities)[N], bool xml) {
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = NextCodePoint(utf8, i);
    const TEntity* e =
        std::find_if(entities, entities + N, [c](const TEntity& x) { return x.Char == c; });
    if (e != entities + N) {
      out += e->Text;
    } else if (xml && (c < 0x20 || c == 0xFFFE || c == 0xFFFF)) {
      AppendReference(out, 0xFFFD);  // not a character of XML, even as a reference
    } else if (c < 0x80) {
      out += char(c);
    } else if (uint8_t b = AnsiByte(c)) {
      out += char(b);
    } else {
      AppendReference(out, c);
    }
  }
}

}  // namespace

void AppendHtmlText(std::string& out, std::string_view utf8) {
  AppendMarkup(out, utf8, kHtmlEntities, false);
}

void AppendXmlText(std::string& out, std::string_view utf8) {
  AppendMarkup(out, utf8, kXmlEntities, true);
}

// ---- HTML ----

void TKyRExportToHTML::SaveToFile(const std::string& fileName) {
  pictures_ = 0;
  TKyRExportToSpreadsheet::SaveToFile(fileName);
}

void TKyRExportToHTML::WriteHeader() {
  bodyColor_ = BkColor();
  std::string h =
      "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\"\r\ncontent=\"text/html; charset=windows-";
  h += std::to_string(kAnsiCodePage);
  h += "\">\r\n<meta name=\"AUTHOR\" content=\"";
  AppendHtmlText(h, Author());
  h += "\">\r\n<meta name=\"KEYWORDS\" content=\"";
  AppendHtmlText(h, Keywords());
  h += "\">\r\n<meta name=\"GENERATOR\" content=\"";
  h += kKyRGenerator;
  h += "\">\r\n<title>";
  AppendHtmlText(h, Title());
  h += "</title>\r\n</head>\r\n\r\n<body ";
  h += HtmlColorAttribute(bodyColor_, true);
  h += ">\r\n<table border=1>\r\n";
  WriteString(h);
}

void TKyRExportToHTML::WriteFooter() { WriteString("</table>\r\n</body>\r\n</html>\r\n"); }

void TKyRExportToHTML::StartRow() { WriteString("  <TR>\r\n"); }

void TKyRExportToHTML::EndRow() { WriteString("  </TR>\r\n"); }

std::string TKyRExportToHTML::PictureSource(const TBitmap& picture) {
  namespace fs = std::filesystem;
  fs::path target(FileName());
  std::string folder = target.stem().string() + "_files";
  fs::path dir = target.parent_path() / folder;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec)
    throw EKyRExportError(
        Format("Cannot create folder \"%s\": %s", dir.c_str(), ec.message().c_str()));
  std::string name = "img" + std::to_string(++pictures_) + ".bmp";
  picture.SaveToFile((dir / name).string());
  return UrlPath(folder + "/" + name);
}

void TKyRExportToHTML::WriteCell(uint8_t, const TKyRERecord& record, TColor, uint8_t alignment,
                                 std::string_view value, int32_t, int32_t) {
  std::string& c = cell_;
  c.assign("    <TD");
  if (record.IsText() && record.Color != bodyColor_) {
    c += ' ';
    c += HtmlColorAttribute(record.Color, true);
  }
  if (!IsBlankText(value)) {
    if (alignment == kAlignRight) c += " align=\"right\"";
    if (alignment == kAlignCenter) c += " align=\"center\"";
    c += '>';
    if (record.IsText()) {
      const TFont& f = *record.Font;
      c += "<font ";
      if (f.Name() != "MS Sans Serif") {
        c += "face=\"";
        AppendHtmlText(c, f.Name());
        c += "\" ";
      }
      const char* size = HtmlFontSize(f.Size());
      if (std::string_view(size) != "-1") {
        c += "size=";
        c += size;
      }
      std::string color = HtmlColorAttribute(f.Color(), false);
      if (!color.empty()) {
        c += ' ';
        c += color;
      }
      c += '>';
      // bold outermost, underline innermost
      if (f.HasStyle(fsBold)) c += "<b>";
      if (f.HasStyle(fsItalic)) c += "<i>";
      if (f.HasStyle(fsUnderline)) c += "<u>";
      AppendHtmlText(c, value);
      if (f.HasStyle(fsUnderline)) c += "</u>";
      if (f.HasStyle(fsItalic)) c += "</i>";
      if (f.HasStyle(fsBold)) c += "</b>";
      c += "</font>";
    } else {
      AppendHtmlText(c, value);
    }
  } else if (record.HasPicture()) {
    c += Format("><img src=\"%s\" width=\"%d\" height=\"%d\">",
                PictureSource(*record.Picture).c_str(), record.Picture->Width(),
                record.Picture->Height());
  } else {
    c += ">&nbsp;";
  }
  c += "</TD>\r\n";
  WriteString(c);
}

// ---- XML ----

void TKyRExportToXML::WriteHeader() {
  std::string h = "<?xml version=\"1.0\" encoding=\"windows-" + std::to_string(kAnsiCodePage) +
                  "\" standalone=\"yes\"?><!-- Generated by ";
  h += kKyRCreatorCredit;
  h += "-->  \r\n<RECORDS>\r\n";
  WriteString(h);
}

void TKyRExportToXML::WriteFooter() { WriteString("\r\n</RECORDS>"); }

void TKyRExportToXML::StartRow() { WriteString("  <RECORD>\r\n    <ROW"); }

void TKyRExportToXML::EndRow() { WriteString("\r\n    />\r\n  </RECORD>\r\n"); }

void TKyRExportToXML::WriteCell(uint8_t, const TKyRERecord&, TColor, uint8_t,
                                std::string_view value, int32_t column, int32_t) {
  if (value.empty()) return;
  // the value was cut to its length before the entities, so none is cut
  cell_.assign(kCrLf);
  cell_ += "     Column";
  cell_ += std::to_string(column + 1);
  cell_ += "=\"";
  AppendXmlText(cell_, value);
  cell_ += '"';
  WriteString(cell_);
}

}  // namespace hy
