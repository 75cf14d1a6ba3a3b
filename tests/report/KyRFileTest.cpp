#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/gdi/Bitmap.h"
#include "report/KyRFile.h"
#include "report/OutputTestReport.h"

namespace hy {
namespace {

namespace fs = std::filesystem;

struct KrpFixture : ::testing::Test {
  KrpFixture() {
    dir = (fs::temp_directory_path() / ("hy-krp-" + std::to_string(getpid()))).string();
    fs::remove_all(dir);
    fs::create_directories(dir);
    report.PagesPerBar = {3, 3};
    report.KyProperty().SetAuthor("Ana Müller");
    report.KyProperty().SetTitle("Sales 2026");
    report.KyProperty().SetSubject("Orders by month");
    report.KyProperty().SetKeywords("cube, report");
    report.Prepare();
  }
  ~KrpFixture() override { fs::remove_all(dir); }

  std::vector<std::pair<int32_t, int32_t>> Indexes(const TKyReportFile& f) {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const auto& p : f.Pages) out.push_back({p->PageIndex(), p->BarIndex()});
    return out;
  }

  std::string dir;
  test::TOutputTestReport report;
};

TEST_F(KrpFixture, RoundTripKeepsPicturesByteForByteAndTheProperties) {
  const std::string name = dir + "/all.krp";
  SaveToFile(report, name, false);
  test::TOutputTestReport loaded;
  loaded.PagesPerBar = {1};
  loaded.Prepare();
  loaded.SetPageIndex(0);
  LoadFromFile(loaded, name);
  EXPECT_EQ(loaded.KyProperty().Author(), "Ana Müller");
  EXPECT_EQ(loaded.KyProperty().Title(), "Sales 2026");
  EXPECT_EQ(loaded.KyProperty().Subject(), "Orders by month");
  EXPECT_EQ(loaded.KyProperty().Keywords(), "cube, report");
  ASSERT_EQ(loaded.Pages().size(), report.Pages().size());
  for (const auto& page : report.Pages()) {
    const TPageInfo* back = loaded.FindPage(page->PageIndex(), page->BarIndex());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Picture().Data(), page->Picture().Data());
    EXPECT_EQ((std::vector<int32_t>{back->Width(), back->Height(), back->LeftMargin(),
                                    back->RightMargin(), back->TopMargin(), back->BottomMargin()}),
              (std::vector<int32_t>{page->Width(), page->Height(), page->LeftMargin(),
                                    page->RightMargin(), page->TopMargin(), page->BottomMargin()}));
  }
  EXPECT_TRUE(loaded.Prepared());
  EXPECT_EQ(loaded.CurrentPage(), loaded.FindPage(0, 0));
  EXPECT_EQ(loaded.PageCount(), 3);
  EXPECT_EQ(loaded.BarCount(), 2);
  EXPECT_EQ(loaded.Builds, 1);  // loading built nothing
}

TEST_F(KrpFixture, ASelectionIsWrittenPageByPageAndLoadsBack) {
  const std::string name = dir + "/sel.krp";
  TPageList first = {"1", "2"};
  SaveToFile(report, name, false, &first);
  TKyReportFile f = ReadReportFile(name);
  EXPECT_EQ(Indexes(f), (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
  EXPECT_EQ(f.PageCount, 2);
  EXPECT_EQ(f.BarCount, 2);

  // Pages 1 and 3 keep their own indexes.
  TPageList odd = {"1", "3"};
  SaveToFile(report, name, false, &odd);
  test::TOutputTestReport loaded;
  LoadFromFile(loaded, name);
  EXPECT_NE(loaded.FindPage(2, 1), nullptr);
  EXPECT_EQ(loaded.FindPage(1, 0), nullptr);
  EXPECT_EQ(loaded.Pages().size(), 4u);
}

TEST_F(KrpFixture, OneFilePerPageAndBar) {
  const std::string name = dir + "/report.krp";
  SaveToFile(report, name, true);
  for (int p = 0; p < 3; ++p)
    for (int b = 0; b < 2; ++b) {
      const std::string one =
          dir + "/report" + std::to_string(p) + "_" + std::to_string(b) + ".krp";
      ASSERT_TRUE(fs::exists(one)) << one;
      TKyReportFile f = ReadReportFile(one);
      EXPECT_EQ(Indexes(f), (std::vector<std::pair<int32_t, int32_t>>{{p, b}}));
      EXPECT_EQ(f.Title, "Sales 2026");
      EXPECT_EQ(f.PageCount, 1);
    }
  EXPECT_FALSE(fs::exists(name));
}

TEST_F(KrpFixture, NothingSelectedWritesNothing) {
  const std::string name = dir + "/keep.krp";
  std::ofstream(name) << "old";
  TPageList none = {"9"};
  EXPECT_THROW(SaveToFile(report, name, false, &none), EKyROutputError);
  EXPECT_EQ(ReadWholeFile(name).size(), 3u);
  EXPECT_THROW(SaveToFile(report, dir + "/missing/x.krp", false), EKyROutputError);
  EXPECT_FALSE(fs::exists(dir + "/missing"));
}

// The message of loading `bytes`, and that the report was left alone.
std::string Refusal(test::TOutputTestReport& target, const std::vector<uint8_t>& bytes) {
  const std::vector<const TPageInfo*> before = [&] {
    std::vector<const TPageInfo*> v;
    for (const auto& p : target.Pages()) v.push_back(p.get());
    return v;
  }();
  const std::string title = target.KyProperty().Title();
  std::string message;
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  try {
    LoadFromStream(target, in, "bad.krp");
  } catch (const EKyRFileError& e) {
    message = e.what();
  }
  EXPECT_EQ(target.Pages().size(), before.size());
  for (size_t i = 0; i < before.size() && i < target.Pages().size(); ++i)
    EXPECT_EQ(target.Pages()[i].get(), before[i]);
  EXPECT_EQ(target.KyProperty().Title(), title);
  return message;
}

TEST_F(KrpFixture, DamagedFilesAreRefusedWithTheirPlaceAndChangeNothing) {
  const std::string name = dir + "/good.krp";
  SaveToFile(report, name, false);
  const std::vector<uint8_t> good = ReadWholeFile(name);
  test::TOutputTestReport target;
  target.Prepare();

  EXPECT_EQ(Refusal(target, {'P', 'K', 3, 4, 0, 0, 0, 0, 1, 2}),
            "\"bad.krp\": not a prepared report file");
  EXPECT_EQ(Refusal(target, {}), "\"bad.krp\": not a prepared report file");

  // Cut inside the third page record's picture.
  size_t third = 0;
  {
    TKyReportFile f = ParseReportFile(good, "x");
    size_t header = good.size();
    for (const auto& p : f.Pages) header -= 32 + p->Picture().Data().size();
    third =
        header + 2 * 32 + f.Pages[0]->Picture().Data().size() + f.Pages[1]->Picture().Data().size();
  }
  std::vector<uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(third + 20));
  EXPECT_NE(Refusal(target, cut).find("the file ends inside page 3"), std::string::npos);
  cut.assign(good.begin(), good.begin() + std::ptrdiff_t(third + 32 + 200));
  EXPECT_NE(Refusal(target, cut).find("the file ends inside the picture of page 3"),
            std::string::npos);

  // A picture that claims four gigabytes is not believed.
  std::vector<uint8_t> huge = good;
  const size_t sizeField = third + 32 + 48;
  huge[sizeField] = huge[sizeField + 1] = huge[sizeField + 2] = huge[sizeField + 3] = 0xFF;
  EXPECT_NE(Refusal(target, huge).find("4294967295 bytes announced"), std::string::npos);

  // A title that claims more bytes than the file has.
  std::vector<uint8_t> title = good;
  const size_t sigLen = 4 + std::string(kKrpSignature).size(), reserved = 4 + 200;
  size_t at = sigLen + reserved;
  for (int i = 0; i < 3; ++i)
    at += 4 + (title[at] | title[at + 1] << 8);  // author, keywords, subject
  title[at + 3] = 0x40;
  EXPECT_NE(Refusal(target, title).find("of the title does not fit"), std::string::npos);

  // The same page twice.
  std::vector<uint8_t> twice = good;
  const size_t second = third - 32 - ParseReportFile(good, "x").Pages[1]->Picture().Data().size();
  twice[second + 4] = 0;  // page 2 was (0, 1); now (0, 0) again
  EXPECT_NE(Refusal(target, twice).find("page 2 repeats page 1 of sheet 1"), std::string::npos);
}

TEST_F(KrpFixture, FuzzedFilesNeverCrashHangOrHalfLoad) {
  TPageList two = {"1", "2"};
  report.PagesPerBar = {2};
  report.Prepare();
  const std::string name = dir + "/fuzz.krp";
  SaveToFile(report, name, false, &two);
  const std::vector<uint8_t> good = ReadWholeFile(name);
  test::TOutputTestReport target;
  target.Prepare();
  std::mt19937 rng(20261208);
  int refused = 0, loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = good;
    const int kind = int(rng() % 4);
    if (kind == 0) {
      bytes.resize(rng() % bytes.size());
    } else if (kind == 1) {
      for (int i = 0, n = 1 + int(rng() % 8); i < n; ++i)
        bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
    } else if (kind == 2) {
      // A large or negative number where a size or index may be.
      const size_t at = (rng() % (bytes.size() / 4)) * 4;
      const uint32_t v = rng() % 2 ? 0x7FFFFFF0u + rng() % 16 : 0x80000000u + rng() % 16;
      for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(v >> (8 * i));
    } else {
      bytes.insert(bytes.begin() + std::ptrdiff_t(rng() % bytes.size()), 1 + rng() % 64,
                   uint8_t(rng()));
    }
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    const size_t pagesBefore = target.Pages().size();
    const TPageInfo* firstBefore = target.Pages().front().get();
    try {
      LoadFromStream(target, in, "fuzz");
      ++loaded;
      ASSERT_FALSE(target.Pages().empty());
      // What loads must be usable: every picture plays its records.
      for (const auto& p : target.Pages()) EXPECT_GT(p->Picture().RecordCount(), 0u);
    } catch (const EKyRFileError&) {
      ++refused;
      ASSERT_EQ(target.Pages().size(), pagesBefore);
      ASSERT_EQ(target.Pages().front().get(), firstBefore);
    }
  }
  EXPECT_GT(refused, 1000);
  EXPECT_GT(loaded, 0);  // changes inside the pictures' drawing may still load
}

}  // namespace
}  // namespace hy
