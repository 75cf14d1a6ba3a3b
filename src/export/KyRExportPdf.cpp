#include "export/KyRExportPdf.h"

#include <algorithm>
#include <ctime>

#include <QImage>
#include <QString>

#include "common/ScopeGuard.h"
#include "common/StrUtils.h"
#include "export/KyRCodePage.h"
#include "export/KyRExportFile.h"

namespace hy {

namespace {

const char kCrLf[] = "\r\n";
constexpr size_t kHexLineChars = 78;  // 13 pixels

std::string Num(int64_t v) { return std::to_string(v); }

// Floor division: elements a little above the first page still belong to it.
int32_t FloorDiv(int32_t a, int32_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// One document being written. Object numbers are handed out in the order
// the objects are first needed; each object's offset is noted as it opens,
// counted from the bytes really written.
class TPdfDocument {
public:
  TPdfDocument(TExportFile& file, int32_t totalWidth, int32_t pageHeight, int32_t pagesPerNode)
      : file_(file),
        totalWidth_(totalWidth),
        pageHeight_(pageHeight),
        pagesPerNode_(pagesPerNode) {}

  void Start();
  void StartPage();
  void EndPage();
  void Finish(const TKyRExport& properties);

  void Text(const TKyRERecord& e, int32_t y);
  void Line(const TKyRERecord& e, int32_t y);
  void Picture(const TKyRERecord& e, int32_t y);

private:
  struct TNode {
    int Object;
    std::vector<int> Kids;
  };

  int TakeObject() { return nextObject_++; }
  void Write(std::string_view line) {
    file_.Write(line);
    file_.Write(kCrLf);
    offset_ += line.size() + 2;
  }
  void Open(int object) {
    xref_.push_back({object, offset_});
    Write(Num(object) + " 0 obj");
  }
  void Content(std::string_view line) {
    content_ += line;
    content_ += kCrLf;
  }
  int FontIndex(const TFont& font);
  void WriteImage(size_t index);

  TExportFile& file_;
  int32_t totalWidth_;
  int32_t pageHeight_;
  int32_t pagesPerNode_;
  uint64_t offset_ = 0;
  int nextObject_ = 4;
  std::vector<std::pair<int, uint64_t>> xref_;
  std::vector<std::string> fontNames_;
  std::vector<int> fontObjects_;
  std::vector<std::pair<int, const TBitmap*>> images_;
  std::vector<TNode> nodes_;
  int pageCount_ = 0;
  int contentsObject_ = 0, lengthObject_ = 0, procSetObject_ = 0, resourcesObject_ = 0;
  std::string content_;  // the current page's content stream
};

void TPdfDocument::Start() {
  Write("%PDF-1.2");
  // Bytes above 127 mark the file as binary for programs that copy it.
  Write("%\xE2\xE3\xCF\xD3");
  Open(1);
  Write("<< /Type /Catalog ");
  Write("/Pages 3 0 R >> ");
  Write("endobj");
}

void TPdfDocument::StartPage() {
  if (pageCount_ % pagesPerNode_ == 0) nodes_.push_back({TakeObject(), {}});
  ++pageCount_;
  int page = TakeObject();
  nodes_.back().Kids.push_back(page);
  Open(page);
  Write("<< /Type /Page ");
  Write("/Parent " + Num(nodes_.back().Object) + " 0 R ");
  contentsObject_ = TakeObject();
  lengthObject_ = TakeObject();
  procSetObject_ = TakeObject();
  resourcesObject_ = TakeObject();
  Write("/MediaBox [0 0 " + Num(totalWidth_) + " " + Num(pageHeight_) + "] ");
  Write("/Resources " + Num(resourcesObject_) + " 0 R");
  Write("/Contents " + Num(contentsObject_) + " 0 R >> ");
  Write("endobj");
  content_.clear();
}

void TPdfDocument::EndPage() {
  // Fonts and pictures are document-wide: each page names all used so far.
  Open(resourcesObject_);
  Write("<<");
  if (!fontNames_.empty()) {
    std::string line = "/Font << ";
    for (size_t i = 0; i < fontNames_.size(); ++i)
      line += "/F" + Num(int64_t(i)) + " " + Num(fontObjects_[i]) + " 0 R ";
    Write(line + ">>");
  }
  if (!images_.empty()) {
    std::string line = "/XObject << ";
    for (size_t i = 0; i < images_.size(); ++i)
      line += "/Im" + Num(int64_t(i) + 1) + " " + Num(images_[i].first) + " 0 R ";
    Write(line + ">>");
  }
  Write("/ProcSet " + Num(procSetObject_) + " 0 R");
  Write(">>");
  Write("endobj");

  // The line end after the last operator separates the data from
  // "endstream"; it is not part of the data.
  const size_t length = content_.empty() ? 0 : content_.size() - 2;
  Open(contentsObject_);
  Write("<< /Length " + Num(lengthObject_) + " 0 R >> ");
  Write("stream");
  file_.Write(content_);
  offset_ += content_.size();
  content_.clear();
  Write("endstream");
  Write("endobj");
  Open(lengthObject_);
  Write(Num(int64_t(length)));
  Write("endobj");
  Open(procSetObject_);
  Write(images_.empty() ? "[ /PDF /Text ] " : "[ /PDF /Text /ImageC ] ");
  Write("endobj");
}

int TPdfDocument::FontIndex(const TFont& font) {
  std::string name = PdfBaseFontName(font);
  auto it = std::find(fontNames_.begin(), fontNames_.end(), name);
  if (it != fontNames_.end()) return int(it - fontNames_.begin());
  fontNames_.push_back(name);
  fontObjects_.push_back(TakeObject());
  return int(fontNames_.size()) - 1;
}

void TPdfDocument::Text(const TKyRERecord& e, int32_t y) {
  const TFont& font = *e.Font;
  int32_t points = std::max(1, std::abs(font.Size()));
  // A text the page cut at its cell's edge is cut here too, where it is
  // drawn, instead of running over the cells to its right.
  if (e.Clipped) {
    Content("q");
    Content(Num(e.Left + 10) + " 0 " + Num(e.Width) + " " + Num(pageHeight_) + " re W n");
  }
  Content("BT");
  Content(PdfColorOperator(font.Color(), false));
  Content("/F" + Num(FontIndex(font)) + " " + Num(points) + " Tf");
  Content(Num(points + 2) + " TL");
  Content(Num(e.Left + 10) + " " + Num(y - 10) + " Td " + PdfLiteralString(e.Text) + " Tj ");
  Content(PdfColorOperator(clBlack, true));
  Content("ET");
  if (e.Clipped) Content("Q");
}

void TPdfDocument::Line(const TKyRERecord& e, int32_t y) {
  const bool colored = ColorToRGB(e.Font->Color()) != clBlack;
  const bool framed = ColorToRGB(e.Color) != clWhite;
  if (colored) Content(PdfColorOperator(e.Font->Color(), false));
  if (framed) Content(PdfColorOperator(e.Color, true));
  Content(Num(e.Left) + " " + Num(y) + " " + Num(e.Width - 1) + " " + Num(e.Height - 1) + " re");
  Content("B");
  if (framed) Content(PdfColorOperator(clWhite, true));
  if (colored) Content(PdfColorOperator(clBlack, false));
}

void TPdfDocument::Picture(const TKyRERecord& e, int32_t y) {
  const TBitmap& picture = *e.Picture;
  images_.push_back({TakeObject(), &picture});
  // The image hangs from its top edge: the element's box less the capture's
  // one-unit margin.
  const int32_t w = picture.Width(), h = picture.Height();
  Content("q");
  Content(Num(w) + " 0 0 " + Num(h) + " " + Num(e.Left + 1) + " " + Num(y - 1 - h) + " cm");
  Content("/Im" + Num(int64_t(images_.size())) + " Do");
  Content("Q");
}

void TPdfDocument::WriteImage(size_t index) {
  static const char kHex[] = "0123456789ABCDEF";
  const auto [object, image] = images_[index];
  const TBitmap& picture = *image;
  const int length = TakeObject();
  Open(object);
  Write("<< ");
  Write("/Type /XObject");
  Write("/Subtype /Image");
  Write("/Name /Im" + Num(int64_t(index) + 1));
  Write("/Width " + Num(picture.Width()));
  Write("/Height " + Num(picture.Height()));
  Write("/BitsPerComponent 8");
  Write("/ColorSpace /DeviceRGB");
  Write("/Filter /ASCIIHexDecode ");
  Write("/Length " + Num(length) + " 0 R >> ");
  Write("stream");
  uint64_t bytes = 0;
  std::string line;
  const QImage rgb = picture.Image().convertToFormat(QImage::Format_RGB888);
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* p = rgb.constScanLine(y);
    for (int x = 0; x < rgb.width() * 3; ++x) {
      line += kHex[p[x] >> 4];
      line += kHex[p[x] & 15];
      if (x % 3 == 2 && line.size() >= kHexLineChars) {
        Write(line);
        bytes += line.size() + 2;
        line.clear();
      }
    }
  }
  Write(line + ">");
  bytes += line.size() + 1;  // the last line end only ends the data
  Write("endstream");
  Write("endobj");
  Open(length);
  Write(Num(int64_t(bytes)));
  Write("endobj");
}

void TPdfDocument::Finish(const TKyRExport& properties) {
  EndPage();
  for (size_t i = 0; i < fontNames_.size(); ++i) {
    Open(fontObjects_[i]);
    Write("<< /Type /Font ");
    Write("/Subtype /Type1 ");
    Write("/Name /F" + Num(int64_t(i)) + " ");
    Write("/BaseFont /" + fontNames_[i] + " ");
    Write("/FirstChar 32 ");
    Write("/LastChar 255 ");
    Write("/Encoding /WinAnsiEncoding >> ");
    Write("endobj");
  }
  for (size_t i = 0; i < images_.size(); ++i) WriteImage(i);

  char date[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y%m%d%H%M%S", &local);
  Open(2);
  Write("<< /Creator " + PdfTextString(kKyRCreatorCredit));
  Write(std::string("/CreationDate (D:") + date + ")");
  Write("/Title " + PdfTextString(properties.Title()));
  Write("/Author " + PdfTextString(properties.Author()));
  Write("/Producer " + PdfTextString(kKyRGenerator));
  Write("/Keywords " + PdfTextString(properties.Keywords()));
  Write("/Subject " + PdfTextString(properties.Subject()) + " >>");
  Write("endobj");

  Open(3);
  Write("<< /Type /Pages ");
  std::string kids = "/Kids [ ";
  for (const TNode& n : nodes_) kids += Num(n.Object) + " 0 R ";
  Write(kids + " ] ");
  Write("/Count " + Num(pageCount_) + " >> ");
  Write("endobj");
  for (const TNode& n : nodes_) {
    Open(n.Object);
    Write("<< /Type /Pages ");
    std::string line = "/Kids [ ";
    for (int page : n.Kids) line += Num(page) + " 0 R ";
    Write(line + " ] ");
    Write("/Count " + Num(int64_t(n.Kids.size())) + " ");
    Write("/Parent 3 0 R >> ");
    Write("endobj");
  }

  const uint64_t xrefOffset = offset_;
  std::sort(xref_.begin(), xref_.end());
  Write("xref");
  Write("0 " + Num(int64_t(xref_.size()) + 1));
  // Each entry is exactly 20 bytes with its line end.
  Write("0000000000 65535 f");
  for (const auto& [object, at] : xref_)
    Write(Format("%010llu 00000 n", static_cast<unsigned long long>(at)));
  Write("trailer");
  Write("<< /Root 1 0 R ");
  Write("/Info 2 0 R ");
  Write("/Size " + Num(int64_t(xref_.size()) + 1) + " >> ");
  Write("startxref");
  Write(Num(int64_t(xrefOffset)));
  Write("%%EOF");
}

}  // namespace

std::string PdfBaseFontName(const TFont& font) {
  std::string face = UpperCase(font.Name());
  const bool bold = font.HasStyle(fsBold);
  std::string name = "Times-Roman";
  if (face.find("COURIER") != std::string::npos) name = bold ? "Courier-Bold" : "Courier";
  if (face.find("ARIAL") != std::string::npos) name = bold ? "Helvetica-Bold" : "Helvetica";
  if (face.find("TIMES") != std::string::npos) name = bold ? "Times-Bold" : "Times-Roman";
  return name;
}

std::string PdfColorOperator(TColor color, bool stroke) {
  // Whole thousandths, so no locale can put a comma in.
  TColor rgb = ColorToRGB(color);
  std::string out;
  for (uint8_t c : {GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)}) {
    int thousandths = (c * 1000 + 127) / 255;
    out += Format("%d.%03d ", thousandths / 1000, thousandths % 1000);
  }
  out += stroke ? "RG" : "rg";
  return out;
}

std::string PdfLiteralString(std::string_view utf8) {
  std::string bytes;
  AppendAnsi(bytes, utf8);
  std::string out = "(";
  for (char ch : bytes) {
    uint8_t b = uint8_t(ch);
    if (ch == '\\' || ch == '(' || ch == ')') {
      out += '\\';
      out += ch;
    } else if (b < 0x20 || b == 0x7F) {
      out += Format("\\%03o", b);
    } else {
      out += ch;
    }
  }
  out += ')';
  return out;
}

std::string PdfTextString(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return uint8_t(c) < 0x80; }))
    return PdfLiteralString(utf8);
  std::u16string wide = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
  std::string out = "<FEFF";
  for (char16_t c : wide) out += Format("%04X", unsigned(c));
  out += '>';
  return out;
}

TKyRExportToPDF::TKyRExportToPDF() { SetOptions(coText | coLines | coPictures); }

void TKyRExportToPDF::BeginExport() {
  TKyRExportAttributes::BeginExport();
  runs_.clear();
}

void TKyRExportToPDF::EndExport() {
  TKyRExportAttributes::EndExport();
  runs_.clear();
}

void TKyRExportToPDF::StartPage(int32_t pageIndex, int32_t) {
  pictureFirst_ = Records().size();
  picturePage_ = pageIndex;
}

void TKyRExportToPDF::EndPage(const TMetafile&) {
  // The driver places the picture after StartPage: its offset is known now.
  runs_.push_back({pictureFirst_, picturePage_, OffsetY()});
}

// Without the pictures' own runs (elements handed in directly), an
// element's page is the band of page heights its top edge lies in.
std::vector<TKyRExportToPDF::TPictureRun> TKyRExportToPDF::PageRuns() const {
  if (!runs_.empty()) return runs_;
  std::vector<TPictureRun> runs;
  const int32_t height = std::max(1, PageHeight());
  const auto& records = Records();
  for (size_t i = 0; i < records.size(); ++i) {
    int32_t page = FloorDiv(records[i].Top, height);
    if (runs.empty() || runs.back().Page != page) runs.push_back({i, page, page * height});
  }
  return runs;
}

void TKyRExportToPDF::SaveToFile(const std::string& fileName) {
  // Not the grid: the elements are written as captured. The sizes are not
  // reset either, since with separate files the next picture needs them.
  auto clear = ScopeExit([this] {
    ClearCells();
    runs_.clear();
  });
  TExportFile file(fileName);
  TPdfDocument doc(file, TotalWidth(), PageHeight(), pagesPerNode_);
  doc.Start();
  doc.StartPage();
  const std::vector<TPictureRun> runs = PageRuns();
  const auto& records = Records();
  for (size_t r = 0; r < runs.size(); ++r) {
    if (r > 0 && runs[r].Page != runs[r - 1].Page) {
      doc.EndPage();
      doc.StartPage();
    }
    const size_t end = r + 1 < runs.size() ? runs[r + 1].First : records.size();
    for (size_t i = runs[r].First; i < end; ++i) {
      const TKyRERecord& e = records[i];
      const int32_t y = PageHeight() - (e.Top - runs[r].Top);
      if (e.HasText()) doc.Text(e, y);
      else if (e.Kind == rkLine) doc.Line(e, y);
      else if (e.Kind == rkPicture && e.HasPicture()) doc.Picture(e, y);
    }
  }
  doc.Finish(*this);
  file.Commit();
}

}  // namespace hy
