#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/GuiApp.h"
#include "report/KyRAuto.h"
#include "report/KyRAutoText.h"
#include "support/ScriptedProcess.h"

namespace hy {
namespace {

// A grid whose cell (c, r) says "rRcC"; columns as wide as asked.
class TTestGrid : public TKyPrintCustomGrid {
public:
  std::vector<int32_t> Widths{60, 60, 60};
  int32_t Rows = 5;
  int32_t FixedRowN = 1;
  int32_t FixedColN = 1;
  std::set<int32_t> HiddenRows;
  std::map<std::pair<int32_t, int32_t>, std::string> Texts;  // overrides
  TFont Font{"Liberation Sans", -11};
  int RowMeasures = 0;

  int32_t GetColCount() override { return static_cast<int32_t>(Widths.size()); }
  int32_t GetRowCount() override { return Rows; }
  int32_t GetFixedColCount() override { return FixedColN; }
  int32_t GetFixedRowCount() override { return Style().FixedRows() ? FixedRowN : 0; }
  void GetCellText(int32_t col, int32_t row, std::string& text) override {
    auto it = Texts.find({col, row});
    text = it != Texts.end() ? it->second : "r" + std::to_string(row) + "c" + std::to_string(col);
  }
  const TFont& GetCellFont(int32_t, int32_t) override { return Font; }
  bool RowHidden(int32_t row) override { return HiddenRows.count(row) > 0; }
  int32_t Measure(bool isWidth, int32_t row, int32_t lastCol, int32_t firstCol) override {
    if (!isWidth) ++RowMeasures;
    return TKyPrintCustomGrid::Measure(isWidth, row, lastCol, firstCol);
  }
  void BuildColumns() override {
    ColumnList().clear();
    for (size_t i = 0; i < Widths.size(); ++i) {
      TColumnInfo& c = ColumnList().emplace_back();
      c.Width = Widths[i];
      c.Left = GapHorizontal();
      c.Fixed = static_cast<int32_t>(i) < FixedColN;
      c.Hidden = Widths[i] == 0;
      c.WordWrap = WordWrap();
    }
    TKyPrintCustomGrid::BuildColumns();
  }
};

struct GridReport : ::testing::Test {
  GridReport() {
    EnsureGuiApplication();
    grid.SetProcess(&process);
    grid.PrinterSetting().SetPaperSizeWidth(400);
    grid.PrinterSetting().SetPaperSizeHeight(300);
    TKyRPageMargins m;
    m.ByDefault = false;
    m.Left = 10;
    m.Top = 10;
    m.Right = 10;
    m.Bottom = 10;
    grid.PrinterSetting().SetMargins(m);
  }
  // The texts of page (p, b), blanks left out.
  std::vector<TKyRPageText> Texts(int32_t p, int32_t b) {
    TPageInfo* page = grid.FindPage(p, b);
    EXPECT_NE(page, nullptr);
    std::vector<TKyRPageText> out;
    if (!page) return out;
    for (TKyRPageText& t : PageTexts(page->Picture()))
      if (t.Text.find_first_not_of(' ') != std::string::npos) out.push_back(std::move(t));
    return out;
  }
  std::vector<std::string> Words(int32_t p, int32_t b) {
    std::vector<std::string> out;
    for (const TKyRPageText& t : Texts(p, b)) out.push_back(t.Text);
    return out;
  }
  static bool Has(const std::vector<std::string>& words, const std::string& w) {
    return std::find(words.begin(), words.end(), w) != words.end();
  }
  // Texts of every page of a bar that look like cells, by page.
  std::vector<std::string> CellsOfBar(int32_t b) {
    std::vector<std::string> out;
    for (int32_t p = 0; grid.FindPage(p, b); ++p)
      for (const std::string& w : Words(p, b))
        if (w.size() > 1 && w[0] == 'r' && isdigit(static_cast<unsigned char>(w[1])))
          out.push_back(w);
    return out;
  }
  int CountRecords(const TPageInfo& page, uint32_t type) {
    int n = 0;
    EnumerateMetafile(page.Picture(), [&](const TEmfRecord& r) { n += r.Type == type; });
    return n;
  }

  test::TScriptedProcess process;
  TTestGrid grid;
};

TEST_F(GridReport, NarrowGridIsOneSheetAndAWideOneRepeatsTheFixedColumnsOnEverySheet) {
  grid.SetHeader({});
  grid.SetFooter({});
  grid.Prepare();
  EXPECT_EQ(grid.BarCount(), 1);
  EXPECT_EQ(CellsOfBar(0).size(), 15u);

  // 380 units available; 64 per column: five columns a sheet.
  grid.Widths.assign(8, 60);
  grid.Prepare();
  ASSERT_EQ(grid.BarCount(), 2);
  std::vector<std::string> first = CellsOfBar(0), second = CellsOfBar(1);
  for (int32_t r = 0; r < 5; ++r) {
    for (int32_t c = 0; c < 8; ++c) {
      const std::string cell = "r" + std::to_string(r) + "c" + std::to_string(c);
      const auto n1 = std::count(first.begin(), first.end(), cell);
      const auto n2 = std::count(second.begin(), second.end(), cell);
      if (c == 0) {
        EXPECT_EQ(n1, 1) << cell;
        EXPECT_EQ(n2, 1) << cell;
      } else {
        EXPECT_EQ(n1 + n2, 1) << cell;
      }
    }
  }
  // The second sheet's columns start right after the repeated fixed column.
  const std::vector<TKyRPageText> texts = Texts(0, 1);
  auto at = [&](const std::string& w) {
    for (const TKyRPageText& t : texts)
      if (t.Text == w) return t.X;
    return -1;
  };
  EXPECT_EQ(at("r1c0"), 10 + 2);
  EXPECT_EQ(at("r1c5"), 10 + 64 + 2);
}

TEST_F(GridReport, AColumnWiderThanThePageIsAloneOnItsSheetAndCutAtTheEdge) {
  grid.Widths = {60, 60, 1000, 60};
  grid.Prepare();
  ASSERT_EQ(grid.BarCount(), 3);
  EXPECT_TRUE(Has(CellsOfBar(0), "r1c1"));
  const std::vector<std::string> wide = CellsOfBar(1);
  EXPECT_TRUE(Has(wide, "r1c2"));
  EXPECT_TRUE(Has(wide, "r1c0"));
  EXPECT_FALSE(Has(wide, "r1c1"));
  EXPECT_FALSE(Has(wide, "r1c3"));
  EXPECT_TRUE(Has(CellsOfBar(2), "r1c3"));
  // No text box reaches past the printable right edge.
  EnumerateMetafile(grid.FindPage(0, 1)->Picture(), [](const TEmfRecord& r) {
    if (r.Type == emf::EMR_EXTTEXTOUTW) {
      EXPECT_LE(ReadExtTextOut(r).Rect.Right, 390);
    }
  });
}

TEST_F(GridReport, AutoFitScalesColumnsOntoOneSheetEndingAtTheRightMargin) {
  grid.Widths = {100, 150, 200, 250};
  grid.SetAutoFit(true);
  grid.Prepare();
  EXPECT_EQ(grid.BarCount(), 1);
  const TColumnInfo& last = grid.Columns().back();
  EXPECT_EQ(last.Left + last.Width + grid.GapHorizontal(), 380);
  EXPECT_LT(grid.Columns()[0].Width, 100);
  for (size_t i = 1; i < grid.Columns().size(); ++i)
    EXPECT_EQ(grid.Columns()[i].Left, grid.Columns()[i - 1].Left + grid.Columns()[i - 1].Width + 4);

  // Many columns: the gaps alone take a third of the page, still one sheet.
  grid.Widths.assign(30, 40);
  grid.Prepare();
  EXPECT_EQ(grid.BarCount(), 1);
  EXPECT_EQ(grid.Columns().back().Left + grid.Columns().back().Width + grid.GapHorizontal(), 380);
  for (const TColumnInfo& c : grid.Columns()) EXPECT_NEAR(c.Width, (380 - 30 * 4) / 30, 1);
}

TEST_F(GridReport, PriceListColoursRowsAlternatelyAndAddsAPixelBetweenRows) {
  auto rowTops = [&] {
    std::vector<int32_t> tops;
    for (const TKyRPageText& t : Texts(0, 0))
      if (t.Text.rfind("r", 0) == 0 && t.Text.size() > 3 &&
          t.Text.substr(t.Text.size() - 2) == "c1")
        tops.push_back(t.Y);
    return tops;
  };
  grid.Prepare();
  const std::vector<int32_t> plain = rowTops();
  grid.Style().SetRowStyle(rsPriceList);
  EXPECT_EQ(grid.Style().OddColor(), cl3DLight);
  EXPECT_EQ(grid.Style().EvenColor(), 0xFFFFFFu);
  grid.Prepare();
  const std::vector<int32_t> styled = rowTops();
  ASSERT_EQ(plain.size(), 5u);
  ASSERT_EQ(styled.size(), 5u);
  for (size_t i = 1; i < plain.size(); ++i)
    EXPECT_EQ(styled[i] - styled[i - 1], plain[i] - plain[i - 1] + 1);
  std::set<TColor> brushes;
  EnumerateMetafile(grid.FindPage(0, 0)->Picture(), [&](const TEmfRecord& r) {
    if (r.Type == emf::EMR_CREATEBRUSHINDIRECT) brushes.insert(ReadCreateBrush(r).Color);
  });
  EXPECT_TRUE(brushes.count(ColorToRGB(cl3DLight)));
  EXPECT_TRUE(brushes.count(0xFFFFFF));

  grid.Style().SetRowStyle(rsNormal);
  EXPECT_EQ(grid.Style().OddColor(), cl3DLight);  // kept, no longer used
  grid.Prepare();
  EXPECT_EQ(rowTops(), plain);
}

TEST_F(GridReport, HeaderLinesWithoutAPrintOnlyOnTheFirstPageOfEachSheet) {
  grid.Rows = 60;
  grid.Widths.assign(8, 60);
  grid.SetHeader({"%Aevery", "once", "%Aa%Ob"});
  grid.SetFooter({"%A%Rpage #%PN/Sheet%BN"});
  grid.Prepare();
  ASSERT_EQ(grid.BarCount(), 2);
  ASSERT_GE(grid.PageCount(), 2);
  for (int32_t b = 0; b < 2; ++b) {
    for (int32_t p = 0; grid.FindPage(p, b); ++p) {
      const std::vector<std::string> words = Words(p, b);
      EXPECT_TRUE(Has(words, "every"));
      EXPECT_EQ(Has(words, "once"), p == 0) << p << "/" << b;
      EXPECT_EQ(Has(words, "ab"), p == 0) << p << "/" << b;
    }
  }
  // The footer of the second page of the first sheet, at the right margin.
  const TPageInfo& page = *grid.FindPage(1, 0);
  bool found = false;
  EnumerateMetafile(page.Picture(), [&](const TEmfRecord& r) {
    if (r.Type != emf::EMR_EXTTEXTOUTW) return;
    const TEmrExtTextOut t = ReadExtTextOut(r);
    if (t.Text() != "page #2/Sheet1") return;
    found = true;
    EXPECT_GE(t.Bounds.Right, 380);
    EXPECT_LE(t.Bounds.Right, 390);
    EXPECT_GT(t.Reference.Y, 250);
  });
  EXPECT_TRUE(found);
}

TEST_F(GridReport, MacroLanguage) {
  grid.SetPageIndex(1);
  EXPECT_EQ(grid.ParseLine("100%% sure", false).Text, "100% sure");
  EXPECT_EQ(grid.ParseLine("%x and %a", false).Text, "x and a");
  EXPECT_EQ(grid.ParseLine("tail%", false).Text, "tail");
  EXPECT_EQ(grid.ParseLine("p%PN", false).Text, "p2");
  EXPECT_EQ(grid.ParseLine("%Rr", false).Alignment, DT_RIGHT);
  EXPECT_EQ(grid.ParseLine("%Cc", false).Alignment, DT_CENTER);
  EXPECT_EQ(grid.ParseLine("%FBx", false).FrameLine, 'B');
  EXPECT_EQ(grid.ParseLine("%FQx", false).FrameLine, 0);
  EXPECT_EQ(grid.ParseLine("%FQx", false).Text, "x");
  EXPECT_TRUE(grid.ParseLine("%Aa", true).Visible);
  EXPECT_FALSE(grid.ParseLine("%Aa", false).Visible);
  EXPECT_FALSE(grid.ParseLine("plain", true).Visible);
  const TKyRParsedLine picture = grid.ParseLine("logo%IB  /no/such.bmp ", false);
  EXPECT_EQ(picture.Text, "logo");
  EXPECT_EQ(picture.Picture, "/no/such.bmp");
  EXPECT_EQ(picture.PicturePlace, 'B');

  grid.SetMacroChar('#');
  EXPECT_EQ(grid.Header()[0], "#A#L#DT#FB");
  EXPECT_EQ(grid.Footer()[0], "#A#Rpage ##PN/Sheet#BN");
  EXPECT_EQ(grid.ParseLine("50%", false).Text, "50%");
  EXPECT_EQ(grid.ParseLine("##", false).Text, "#");
}

TEST_F(GridReport, AMissingPictureIsIgnored) {
  grid.SetHeader({"%A%IP/no/such/picture.bmp", "%Atitle"});
  grid.Prepare();
  EXPECT_TRUE(grid.Prepared());
  EXPECT_FALSE(Has(Words(0, 0), "title"));  // lines after a named picture are not printed
  EXPECT_EQ(CountRecords(*grid.FindPage(0, 0), emf::EMR_STRETCHDIBITS), 0);
}

TEST_F(GridReport, FixedRowsOffPrintsThemOnceAsOrdinaryRows) {
  grid.Rows = 60;
  grid.Prepare();
  ASSERT_GE(grid.PageCount(), 2);
  EXPECT_TRUE(Has(Words(1, 0), "r0c1"));
  grid.Style().SetFixedRows(false);
  grid.Prepare();
  std::vector<std::string> all = CellsOfBar(0);
  EXPECT_EQ(std::count(all.begin(), all.end(), "r0c1"), 1);
  EXPECT_TRUE(Has(Words(0, 0), "r0c1"));
}

TEST_F(GridReport, CancelEndsTheSheetButEverySheetKeepsItsHeaderAndFooter) {
  grid.Rows = 200;
  grid.Widths.assign(8, 60);
  grid.SetHeader({"head"});
  grid.SetFooter({"foot"});
  process.CancelAtUpdate = 2;  // during the first sheet's second page
  grid.Prepare();
  ASSERT_EQ(grid.BarCount(), 2);
  EXPECT_LE(grid.PageCount(), 3);
  EXPECT_FALSE(Has(CellsOfBar(0), "r199c1"));
  for (int32_t b = 0; b < 2; ++b) {
    int heads = 0, feet = 0;
    for (int32_t p = 0; grid.FindPage(p, b); ++p) {
      const std::vector<std::string> w = Words(p, b);
      heads += static_cast<int>(std::count(w.begin(), w.end(), "head"));
      feet += static_cast<int>(std::count(w.begin(), w.end(), "foot"));
    }
    EXPECT_EQ(heads, 1) << b;
    EXPECT_EQ(feet, 1) << b;
  }
  EXPECT_TRUE(CellsOfBar(1).empty());
}

TEST_F(GridReport, HiddenRowsAndColumnsAreNotPrintedAndTakeNoRoom) {
  grid.Widths = {60, 0, 60};
  grid.HiddenRows = {2};
  grid.Prepare();
  const std::vector<std::string> cells = CellsOfBar(0);
  EXPECT_FALSE(Has(cells, "r1c1"));
  EXPECT_FALSE(Has(cells, "r2c0"));
  EXPECT_TRUE(Has(cells, "r3c2"));
  for (const TKyRPageText& t : Texts(0, 0)) {
    if (t.Text == "r1c2") {
      EXPECT_EQ(t.X, 10 + 64 + 2);
    }
  }
}

TEST_F(GridReport, EveryRowIsMeasuredOncePerBuild) {
  grid.Rows = 300;
  grid.Widths.assign(20, 60);
  grid.Prepare();
  ASSERT_GE(grid.BarCount(), 3);
  ASSERT_GE(grid.PageCount(), 3);
  EXPECT_EQ(grid.RowMeasures, 300);
}

TEST_F(GridReport, RowsAreAsHighAsTheirTallestWrappedCell) {
  grid.Texts[{1, 2}] = "one two three four five six seven";
  grid.Texts[{2, 3}] = "first\nsecond";
  grid.SetWordWrap(true);
  auto heights = [&] {
    std::map<int32_t, int32_t> top;  // row -> y of its "rRc0"
    for (const TKyRPageText& t : Texts(0, 0))
      if (t.Text.size() > 2 && t.Text.substr(t.Text.size() - 2) == "c0")
        top[std::stoi(t.Text.substr(1))] = t.Y;
    return top;
  };
  grid.Prepare();
  std::map<int32_t, int32_t> top = heights();
  const int32_t line = MetricsFor(grid.Font).LineHeight();
  EXPECT_EQ(top[2] - top[1], line + 4);
  EXPECT_GE(top[3] - top[2], 3 * line + 4);  // seven words in 60 units
  EXPECT_EQ((top[3] - top[2] - 4) % line, 0);
  EXPECT_EQ(top[4] - top[3], 2 * line + 4);
  grid.SetWordWrap(false);  // the line break still counts
  grid.Prepare();
  top = heights();
  EXPECT_EQ(top[3] - top[2], line + 4);
  EXPECT_EQ(top[4] - top[3], 2 * line + 4);
  // The page shows both lines of the broken text.
  const std::vector<std::string> words = Words(0, 0);
  EXPECT_TRUE(Has(words, "first"));
  EXPECT_TRUE(Has(words, "second"));
}

TEST_F(GridReport, WithoutAPrinterALargePaperIsPrintableToItsEdge) {
  grid.PrinterSetting().SetPaperSizeWidth(1500);
  grid.Widths.assign(14, 100);  // 14 x 104 = 1456 of 1480 available
  grid.Prepare();
  EXPECT_EQ(grid.BarCount(), 1);
  EXPECT_EQ(grid.FindPage(0, 0)->RightMargin(), 10);
}

TEST_F(GridReport, DrawTextHookAndHighLightsReachEveryCell) {
  grid.SetHeader({});
  grid.SetFooter({});
  grid.SetOnDrawText([](TMetafileCanvas&, std::string& text, const TRect&, uint16_t&,
                        int32_t& height, bool& drawDefault) {
    if (text == "r1c1") text = "changed";
    if (text == "r2c2") {
      drawDefault = false;
      height = 5;
    }
  });
  TKyRHighLight* highLight = grid.HighLights().Add();
  highLight->SetExpression("PageNo = 1");
  highLight->SetColor(clYellow);
  TFont bold = highLight->Font();
  bold.SetStyle(fsBold);
  highLight->SetFont(bold);
  grid.Prepare();
  const std::vector<std::string> words = Words(0, 0);
  EXPECT_TRUE(Has(words, "changed"));
  EXPECT_FALSE(Has(words, "r1c1"));
  EXPECT_FALSE(Has(words, "r2c2"));
  EXPECT_TRUE(Has(words, "r2c1"));
  bool yellow = false, boldFont = false;
  EnumerateMetafile(grid.FindPage(0, 0)->Picture(), [&](const TEmfRecord& r) {
    if (r.Type == emf::EMR_CREATEBRUSHINDIRECT)
      yellow = yellow || ReadCreateBrush(r).Color == clYellow;
    if (r.Type == emf::EMR_EXTCREATEFONTINDIRECTW)
      boldFont = boldFont || ReadCreateFont(r).LogFont.Weight == 700;
  });
  EXPECT_TRUE(yellow);
  EXPECT_TRUE(boldFont);

  highLight->SetExpression("PageNo = 7");  // holds on no page
  grid.Prepare();
  boldFont = false;
  EnumerateMetafile(grid.FindPage(0, 0)->Picture(), [&](const TEmfRecord& r) {
    if (r.Type == emf::EMR_EXTCREATEFONTINDIRECTW)
      boldFont = boldFont || ReadCreateFont(r).LogFont.Weight == 700;
  });
  EXPECT_FALSE(boldFont);
}

}  // namespace
}  // namespace hy
