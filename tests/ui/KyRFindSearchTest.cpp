#include <gtest/gtest.h>

#include <QString>

#include "export/ExportTestSupport.h"
#include "platform/gdi/MetafileCanvas.h"
#include "ui/KyRFindSearch.h"
#include "ui/PreviewTestReport.h"

namespace hy {
namespace {

// A page with the texts of a summary block; "  Total  " is a cell text with
// surrounding blanks.
TMetafile SummaryPage() {
  return test::DrawPage([](TMetafileCanvas& c) {
    int y = 40;
    for (const char* text : {"Total", "Totals", "Grand Total", "  Total  ", "Subtotal", "total"}) {
      c.TextOut(50, y, text);
      y += 30;
    }
  });
}

size_t Count(const TMetafile& page, const std::string& text, TKyRFindMode mode,
             bool caseSensitive) {
  return FindOnPage(page, TKyRFindOptions{text, mode, caseSensitive}).size();
}

TEST(KyRFindSearch, ModesMatchAtTheBeginningExactlyOrAnywhere) {
  const TMetafile page = SummaryPage();
  // Case sensitive: Total, Totals and the blank-padded Total begin with it.
  EXPECT_EQ(Count(page, "Total", fmBeginning, true), 3u);
  EXPECT_EQ(Count(page, "Total", fmExact, true), 2u);
  EXPECT_EQ(Count(page, "Total", fmAnywhere, true), 4u);
  // Without regard to case "total" joins in, and "Subtotal" in mode 2.
  EXPECT_EQ(Count(page, "total", fmBeginning, false), 4u);
  EXPECT_EQ(Count(page, "TOTAL", fmExact, false), 3u);
  EXPECT_EQ(Count(page, "total", fmAnywhere, false), 6u);
  EXPECT_EQ(Count(page, "total", fmAnywhere, true), 2u);
  // An empty text finds nothing rather than everything.
  EXPECT_EQ(Count(page, "", fmAnywhere, false), 0u);
  EXPECT_TRUE(FindTextMatches("  Grand Total ", TKyRFindOptions{"Grand Total", fmExact, true}));
}

TEST(KyRFindSearch, MarksCoverTheTextAndGrowByOne) {
  const TMetafile page =
      test::DrawPage([](TMetafileCanvas& c) { c.TextOut(100, 200, "Grand Total"); });
  const std::vector<TRect> found = FindOnPage(page, TKyRFindOptions{"Grand", fmBeginning, false});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Left, 99);
  EXPECT_EQ(found[0].Top, 199);
  EXPECT_GT(found[0].Width(), 40);
  EXPECT_GT(found[0].Height(), 10);
}

TEST(KyRFindSearch, SingleByteTextRecordsAreReadAsSingleByteText) {
  TMetafile page = SummaryPage();
  const std::vector<TRect> wide = FindOnPage(page, TKyRFindOptions{"Total", fmBeginning, true});
  test::MakeSingleByte(page, [](const std::string&) { return true; });
  // The records changed kind, so a search reading 16-bit characters would
  // find nothing here.
  const std::vector<TRect> narrow = FindOnPage(page, TKyRFindOptions{"Total", fmBeginning, true});
  ASSERT_EQ(narrow.size(), wide.size());
  for (size_t i = 0; i < wide.size(); ++i) EXPECT_EQ(narrow[i].Top, wide[i].Top);
  const TMetafile accented = [] {
    TMetafile m = test::DrawPage([](TMetafileCanvas& c) { c.TextOut(10, 10, "Café Total"); });
    test::MakeSingleByte(m, [](const std::string&) { return true; });
    return m;
  }();
  EXPECT_EQ(Count(accented, "CAFÉ", fmBeginning, false), 1u);
}

TEST(KyRFindSearch, ADamagedPictureHoldsNothingToFind) {
  TMetafile empty;
  EXPECT_TRUE(FindOnPage(empty, TKyRFindOptions{"Total", fmAnywhere, false}).empty());
}

TEST(KyRFindSearch, TheWholeReportIsSearchedSheetBySheet) {
  test::TPreviewTestReport report(3, 2);
  report.Texts[{1, 0}] = {"Grand Total"};
  report.Texts[{0, 2}] = {"Total", "Grand Total"};
  report.Texts[{1, 1}] = {"Totals"};
  report.Prepare();
  const std::vector<TKyRFindHit> hits =
      FindInReport(report, TKyRFindOptions{"Total", fmAnywhere, true});
  ASSERT_EQ(hits.size(), 4u);
  EXPECT_EQ(std::make_pair(hits[0].Bar, hits[0].Page), std::make_pair(0, 1));
  EXPECT_EQ(std::make_pair(hits[1].Bar, hits[1].Page), std::make_pair(1, 1));
  EXPECT_EQ(std::make_pair(hits[2].Bar, hits[2].Page), std::make_pair(2, 0));
  EXPECT_EQ(std::make_pair(hits[3].Bar, hits[3].Page), std::make_pair(2, 0));
  EXPECT_LT(hits[2].Rect.Top, hits[3].Rect.Top);
}

}  // namespace
}  // namespace hy
