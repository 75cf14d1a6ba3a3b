#include "report/KyRFile.h"

#include <fstream>
#include <istream>
#include <set>
#include <utility>

#include "common/StrUtils.h"
#include "export/KyRCodePage.h"
#include "export/KyRExprt.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Bytes.h"
#include "platform/gdi/EmfFormat.h"
#include "report/PrintKy.h"

namespace hy {

namespace {

constexpr int32_t kReservedLength = 200;
// Larger pages or indexes than these are no report's: the file is damaged.
constexpr int32_t kMaxPageSide = 1 << 20;
constexpr int32_t kMaxIndex = 1 << 20;
constexpr size_t kPageFields = 8;

void PutInt(std::vector<uint8_t>& out, int32_t v) {
  le::TWriter(out).U32(static_cast<uint32_t>(v));
}

void PutString(std::vector<uint8_t>& out, std::string_view utf8) {
  std::string bytes;
  AppendAnsi(bytes, utf8);
  PutInt(out, static_cast<int32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutHeader(std::vector<uint8_t>& out, const TKyProperty& prop, int32_t pageCount,
               int32_t barCount) {
  PutString(out, kKrpSignature);
  PutString(out, std::string(kReservedLength, ' '));
  PutString(out, prop.Author());
  PutString(out, prop.Keywords());
  PutString(out, prop.Subject());
  PutString(out, prop.Title());
  PutInt(out, pageCount);
  PutInt(out, barCount);
}

void PutPage(std::vector<uint8_t>& out, const TPageInfo& page) {
  for (int32_t v : {page.PageIndex(), page.BarIndex(), page.Width(), page.Height(),
                    page.LeftMargin(), page.RightMargin(), page.TopMargin(), page.BottomMargin()})
    PutInt(out, v);
  const std::vector<uint8_t>& picture = page.Picture().Data();
  if (picture.empty())
    throw EKyROutputError(Format("Page %d of sheet %d has no picture to save",
                                 int(page.PageIndex() + 1), int(page.BarIndex() + 1)));
  out.insert(out.end(), picture.begin(), picture.end());
}

std::vector<uint8_t> FileBytes(const TKyProperty& prop,
                               const std::vector<const TPageInfo*>& pages) {
  std::set<int32_t> rows, bars;
  for (const TPageInfo* p : pages) {
    rows.insert(p->PageIndex());
    bars.insert(p->BarIndex());
  }
  std::vector<uint8_t> out;
  PutHeader(out, prop, static_cast<int32_t>(rows.size()), static_cast<int32_t>(bars.size()));
  for (const TPageInfo* p : pages) PutPage(out, *p);
  return out;
}

// Reads a file's bytes front to back; every size is checked against what is
// left before anything is taken or allocated.
class TKrpReader {
public:
  TKrpReader(const std::vector<uint8_t>& bytes, const std::string& name)
      : data_(bytes), name_(name) {}

  size_t Left() const { return data_.size() - at_; }
  bool AtEnd() const { return at_ == data_.size(); }

  [[noreturn]] void Fail(const std::string& what) const {
    throw EKyRFileError(Format("\"%s\": %s", name_.c_str(), what.c_str()));
  }

  int32_t Int(const char* where) {
    if (Left() < 4) Fail(Format("the file ends inside %s", where));
    const int32_t v = static_cast<int32_t>(le::U32(data_.data() + at_));
    at_ += 4;
    return v;
  }

  std::string String(const char* where) {
    const int32_t n = Int(where);
    if (n < 0 || size_t(n) > Left())
      Fail(Format("the length %d of %s does not fit in the file", int(n), where));
    std::string s(reinterpret_cast<const char*>(data_.data() + at_), size_t(n));
    at_ += size_t(n);
    return s;
  }

  std::vector<uint8_t> Take(size_t n) {
    std::vector<uint8_t> out(data_.begin() + std::ptrdiff_t(at_),
                             data_.begin() + std::ptrdiff_t(at_ + n));
    at_ += n;
    return out;
  }
  const uint8_t* Here() const { return data_.data() + at_; }

private:
  const std::vector<uint8_t>& data_;
  const std::string& name_;
  size_t at_ = 0;
};

std::unique_ptr<TPageInfo> ReadPage(TKrpReader& in, int ordinal) {
  const std::string where = Format("page %d", ordinal);
  if (in.Left() < kPageFields * 4) in.Fail("the file ends inside " + where);
  int32_t f[kPageFields];
  for (int32_t& v : f) v = in.Int(where.c_str());
  if (f[0] < 0 || f[1] < 0 || f[0] > kMaxIndex || f[1] > kMaxIndex)
    in.Fail(Format("page %d has the impossible indexes %d, %d", ordinal, int(f[0]), int(f[1])));
  if (f[2] <= 0 || f[3] <= 0 || f[2] > kMaxPageSide || f[3] > kMaxPageSide)
    in.Fail(Format("page %d has the impossible size %d x %d", ordinal, int(f[2]), int(f[3])));
  for (size_t i = 4; i < kPageFields; ++i)
    if (f[i] < 0 || f[i] > kMaxPageSide)
      in.Fail(Format("page %d has the impossible margin %d", ordinal, int(f[i])));

  if (in.Left() < emf::kHeaderSizeBase) in.Fail("the file ends inside the picture of " + where);
  const uint8_t* h = in.Here();
  if (le::U32(h) != emf::EMR_HEADER || le::U32(h + 40) != emf::ENHMETA_SIGNATURE)
    in.Fail(Format("page %d holds no enhanced metafile", ordinal));
  const uint32_t bytes = le::U32(h + 48);
  if (bytes < emf::kHeaderSizeBase || bytes > in.Left())
    in.Fail(Format("the file ends inside the picture of page %d (%u bytes announced, %zu left)",
                   ordinal, unsigned(bytes), in.Left()));

  auto page = std::make_unique<TPageInfo>(f[0], f[1]);
  // The sizes go in before the picture, so the picture stays byte for byte.
  page->SetWidth(f[2]);
  page->SetHeight(f[3]);
  page->SetMargins(f[4], f[5], f[6], f[7]);
  try {
    page->Picture().SetData(in.Take(bytes));
  } catch (const Exception& e) {
    in.Fail(Format("the picture of page %d is damaged: %s", ordinal, e.what()));
  }
  return page;
}

std::vector<uint8_t> ReadStream(std::istream& in, const std::string& name) {
  std::vector<uint8_t> bytes;
  constexpr size_t kSlice = size_t(1) << 20;
  while (in) {
    const size_t at = bytes.size();
    bytes.resize(at + kSlice);
    in.read(reinterpret_cast<char*>(bytes.data() + at), std::streamsize(kSlice));
    bytes.resize(at + size_t(in.gcount()));
  }
  if (in.bad()) throw EKyRFileError(Format("\"%s\": the file cannot be read", name.c_str()));
  return bytes;
}

void Apply(TKyPrintBaseComponent& report, TKyReportFile file) {
  TKyProperty& prop = report.KyProperty();
  prop.SetAuthor(file.Author);
  prop.SetKeywords(file.Keywords);
  prop.SetSubject(file.Subject);
  prop.SetTitle(file.Title);
  report.LoadPages(std::move(file.Pages));
}

}  // namespace

TKyReportFile::TKyReportFile() = default;
TKyReportFile::~TKyReportFile() = default;
TKyReportFile::TKyReportFile(TKyReportFile&&) noexcept = default;
TKyReportFile& TKyReportFile::operator=(TKyReportFile&&) noexcept = default;

TKyReportFile ParseReportFile(const std::vector<uint8_t>& bytes, const std::string& name) {
  TKrpReader in(bytes, name);
  if (in.Left() < 8 || le::U32(bytes.data()) < 4 || le::U32(bytes.data()) > in.Left() - 4 ||
      std::string_view(reinterpret_cast<const char*>(bytes.data() + 4), 4) != "KyRP")
    in.Fail("not a prepared report file");
  in.String("the signature");
  in.String("the header");
  TKyReportFile file;
  file.Author = le::Cp1252ToUtf8(in.String("the author"));
  file.Keywords = le::Cp1252ToUtf8(in.String("the keywords"));
  file.Subject = le::Cp1252ToUtf8(in.String("the subject"));
  file.Title = le::Cp1252ToUtf8(in.String("the title"));
  file.PageCount = in.Int("the header");
  file.BarCount = in.Int("the header");
  if (file.PageCount < 0 || file.BarCount < 0)
    in.Fail(Format("the header announces %d pages on %d sheets", int(file.PageCount),
                   int(file.BarCount)));
  std::set<std::pair<int32_t, int32_t>> seen;
  while (!in.AtEnd()) {
    const int ordinal = static_cast<int>(file.Pages.size()) + 1;
    auto page = ReadPage(in, ordinal);
    if (!seen.insert({page->PageIndex(), page->BarIndex()}).second)
      in.Fail(Format("page %d repeats page %d of sheet %d", ordinal, int(page->PageIndex() + 1),
                     int(page->BarIndex() + 1)));
    file.Pages.push_back(std::move(page));
  }
  if (file.Pages.empty()) in.Fail("the file holds no pages");
  return file;
}

TKyReportFile ReadReportFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EKyRFileError(Format("Cannot open file \"%s\"", fileName.c_str()));
  return ParseReportFile(ReadStream(in, fileName), fileName);
}

void SaveToFile(TKyPrintBaseComponent& report, const std::string& fileName, bool separateFiles,
                const TPageList* pages) {
  if (!report.Prepared()) report.BuildReport();
  if (!report.Prepared()) return;
  std::vector<const TPageInfo*> chosen;
  for (int32_t p = 0; p < report.PageCount(); ++p) {
    if (pages && !PageListHas(*pages, p + 1)) continue;
    for (int32_t b = 0; b < report.BarCount(); ++b)
      if (const TPageInfo* page = report.FindPage(p, b)) chosen.push_back(page);
  }
  if (chosen.empty()) throw EKyROutputError("No page of the report is selected");
  try {
    if (!separateFiles) {
      WriteFileAtomically(fileName, FileBytes(report.KyProperty(), chosen));
      return;
    }
    for (const TPageInfo* page : chosen)
      WriteFileAtomically(SeparateFileName(fileName, page->PageIndex(), page->BarIndex()),
                          FileBytes(report.KyProperty(), {page}));
  } catch (const EGdiError& e) {
    throw EKyROutputError(e.what());
  }
}

void LoadFromFile(TKyPrintBaseComponent& report, const std::string& fileName) {
  Apply(report, ReadReportFile(fileName));
}

void LoadFromStream(TKyPrintBaseComponent& report, std::istream& in, const std::string& name) {
  Apply(report, ParseReportFile(ReadStream(in, name), name));
}

}  // namespace hy
