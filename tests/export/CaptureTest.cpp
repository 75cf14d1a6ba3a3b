// Cell capture and grid normalisation, on pages drawn with the metafile
// canvas as the report draws them.
#include <gtest/gtest.h>

#include <random>

#include "ExportTestSupport.h"
#include "export/KyRExportAttributes.h"
#include "platform/gdi/EmfFormat.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/MetafileCanvas.h"

namespace hy {
namespace {

using namespace test;

// The texts of the normalised grid, row by row.
TGrid Cells(const TKyRExportAttributes& ex) {
  TGrid grid;
  for (size_t i = 0; i < ex.Records().size(); ++i) {
    if (i % size_t(ex.ColumnCount()) == 0) grid.emplace_back();
    grid.back().push_back(ex.Records()[i].Text);
  }
  return grid;
}

TGrid Normalised(const std::vector<std::vector<TMetafile>>& pictures, std::vector<int> selected,
                 TKyRExportAttributes& ex) {
  // the base writes no file; SaveToFile only arranges the grid
  ex.SetPageWidth(kPageW);
  ex.SetPageHeight(kPageH);
  ex.BeginExport();
  for (int p = 0; p < int(pictures.size()); ++p) {
    if (std::find(selected.begin(), selected.end(), p + 1) == selected.end()) continue;
    ex.StartPage(p, 0);
    ex.SetOffsetY(kPageH * p);
    ex.ProcessPicture(pictures[size_t(p)][0]);
  }
  ex.SaveToFile("unused");
  return Cells(ex);
}

TEST(CaptureTest, FragmentsDrawnBackToBackBecomeOneCellAndSingleByteRecordsReadAsBytes) {
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.TextOut(100, 50, "Temp");
    c.TextOut(c.PenPos().X, 50, "érature 20°");  // continues the first fragment
    c.TextOut(300, 50, "x|y");
  });
  MakeSingleByte(page, [](const std::string& t) { return t != "Temp"; });
  int single = 0;
  EnumerateMetafile(page, [&](const TEmfRecord& r) { single += r.Type == emf::EMR_EXTTEXTOUTA; });
  ASSERT_EQ(single, 2);

  TKyRExportAttributes ex;
  TGrid cells = Normalised({{page}}, {1}, ex);
  EXPECT_EQ(cells, (TGrid{{"Température 20°", "x|y"}}));
  EXPECT_EQ(ex.Records()[0].Font->Name(), "Arial");
}

TEST(CaptureTest, ATextEightUnitsLeftJoinsAColumnElevenStartsOne) {
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.TextOut(100, 50, "a");
    c.TextOut(92, 80, "b");  // 8 left of the column at 100
    c.TextOut(200, 50, "c");
    c.TextOut(189, 110, "d");  // 11 left of the column at 200
  });
  TKyRExportAttributes ex;
  TGrid cells = Normalised({{page}}, {1}, ex);
  EXPECT_EQ(ex.ColumnCount(), 3);
  EXPECT_EQ(ex.RowCount(), 3);
  EXPECT_EQ(cells, (TGrid{{"a", "", "c"}, {"b", "", ""}, {"", "d", ""}}));
  // a blank filler sits at its column's left and its row's top
  const TKyRERecord& filler = ex.Records()[1];
  EXPECT_TRUE(filler.IsText());
  EXPECT_EQ(filler.Left, ex.Columns()[1]);
  EXPECT_EQ(filler.Top, ex.Records()[0].Top);
}

TEST(CaptureTest, PagesOneAndThreeLieWherePageIndexesPutThem) {
  std::vector<std::vector<TMetafile>> pages;
  for (const char* t : {"one", "two", "three"}) pages.push_back({DrawGridPage({{t}})});
  TKyRExportAttributes ex;
  std::string dir = TestDir("offsets");
  // the driver gives the export surface two page heights and puts page 3 at 2 x height
  struct TSpy : TKyRExportAttributes {
    int32_t total = 0;
    std::vector<int32_t> tops;
    void SaveToFile(const std::string& name) override {
      total = TotalHeight();
      TKyRExportAttributes::SaveToFile(name);
      for (const TKyRERecord& r : Records()) tops.push_back(r.Top);
    }
  } spy;
  RunExport(spy, pages, {1, 3}, dir + "/x", false);
  EXPECT_EQ(spy.total, 2 * kPageH);
  ASSERT_EQ(spy.tops.size(), 2u);
  EXPECT_LT(spy.tops[0], kPageH);
  EXPECT_GE(spy.tops[1], 2 * kPageH);
}

TEST(CaptureTest, TextsInOneCellJoinInsteadOfShiftingTheRow) {
  TMetafile page = DrawPage([](TMetafileCanvas& c) {
    c.TextOut(100, 50, "left");
    c.SetFont(TFont("Arial", -13, 0, clRed));
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clYellow);  // another background: not a continuation
    c.TextOut(104, 51, "over");
    c.Brush().SetStyle(bsClear);
    c.TextOut(300, 50, "right");
    c.TextOut(100, 80, "next");
  });
  TKyRExportAttributes ex;
  TGrid cells = Normalised({{page}}, {1}, ex);
  EXPECT_EQ(cells, (TGrid{{"left over", "right"}, {"next", ""}}));
}

TEST(CaptureTest, PicturesTakeCellsOnlyWhenAskedFor) {
  TBitmap bmp(12, 8, pf24bit);
  bmp.Fill(clRed);
  auto draw = [&](TMetafileCanvas& c) {
    c.TextOut(100, 50, "caption");
    c.Draw(300, 48, bmp);
  };
  TKyRExportAttributes with;
  TGrid cells = Normalised({{DrawPage(draw)}}, {1}, with);
  ASSERT_EQ(with.Records().size(), 1u);  // the picture lies right of the only column
  EXPECT_EQ(cells, (TGrid{{"caption"}}));

  TMetafile page = DrawPage([&](TMetafileCanvas& c) {
    c.TextOut(100, 50, "caption");
    c.TextOut(300, 50, "pic");
    c.Draw(300, 80, bmp);
  });
  TKyRExportAttributes ex;
  Normalised({{page}}, {1}, ex);
  ASSERT_EQ(ex.Records().size(), 4u);
  const TKyRERecord& pic = ex.Records()[3];
  ASSERT_TRUE(pic.HasPicture());
  EXPECT_EQ(pic.Picture->Width(), 12);
  EXPECT_EQ(pic.Picture->Pixel(3, 3), clRed);

  TKyRExportAttributes textOnly;
  textOnly.SetOptions(coText);
  Normalised({{page}}, {1}, textOnly);
  EXPECT_EQ(textOnly.RowCount(), 1);
}

TEST(CaptureTest, NothingCapturedGivesOneRowAndNoColumns) {
  TKyRExportAttributes ex;
  TGrid cells =
      Normalised({{DrawPage([](TMetafileCanvas& c) { c.TextOut(10, 10, "   "); })}}, {1}, ex);
  EXPECT_TRUE(cells.empty());
  EXPECT_EQ(ex.RowCount(), 1);
  EXPECT_EQ(ex.ColumnCount(), 0);
}

TEST(CaptureTest, RandomGridsComeBackCellForCell) {
  std::mt19937 rng(17);
  for (int round = 0; round < 20; ++round) {
    TGrid grid(size_t(1 + rng() % 30), std::vector<std::string>(size_t(1 + rng() % 8)));
    for (auto& row : grid)
      for (auto& cell : row)
        if (rng() % 3) cell = "v" + std::to_string(rng() % 1000);
    TKyRExportAttributes ex;
    TGrid cells = Normalised({{DrawGridPage(grid)}}, {1}, ex);
    EXPECT_EQ(cells, DropEmpty(grid)) << "round " << round;
  }
}

}  // namespace
}  // namespace hy
