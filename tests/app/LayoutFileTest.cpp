#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "app/LayoutFile.h"
#include "pivot/HyDBCube.h"
#include "support/TestDatabase.h"

namespace hy {
namespace {

TLayout SampleLayout() {
  TLayout l;
  l.source.kind = TSourceChoice::scCsv;
  l.source.fileName = "/data/sales \"2024\".csv";
  l.source.csv.separator = ';';
  l.source.csv.quote = '\'';
  l.source.csv.header = false;
  l.source.csv.encoding = TCsvEncoding::Cp1252;
  l.source.csv.decimalSeparator = ',';
  l.source.csv.columns = {{"Region", TCsvType::Text, TCsvDateOrder::YMD},
                          {"Sold", TCsvType::Date, TCsvDateOrder::DMY},
                          {"Amount", TCsvType::Currency, TCsvDateOrder::YMD}};
  l.maxDimensions = 7;
  l.maxSummaries = 3;
  l.maxCells = 123456;
  TLayoutItem region;
  region.name = "Région\tA";
  region.fieldName = "Region";
  region.valueCount = 12;
  region.alignment = taCenter;
  TLayoutItem sold;
  sold.name = "Sold";
  sold.fieldName = "Sold";
  sold.binType = binQuarter;
  sold.startDate = 45292.25;
  sold.activeFlag = diActive;
  sold.format = "\"Q.\"m, yyyy";
  TLayoutItem amount;
  amount.name = "Amount";
  amount.fieldName = "Amount";
  amount.dimensionType = dimDerived;
  amount.sumExpr = "Sum(Amount) / 2";
  amount.caption = "Half \\ amount";
  amount.width = 0;
  l.items = {region, sold, amount};
  l.dimensionInfo = "(1 0 1 0 -1 'Région\tA' 2 0 1 0 -1 'Sold')";
  l.currentSummary = 0;
  l.report.header = {"%A%L%DT%FB", " ", ""};
  l.report.footer = {"line \"two\"\nwrapped"};
  l.report.paperWidth = 1122;
  l.report.paperHeight = 793;
  l.report.margins[0] = 10;
  l.report.margins[3] = 40;
  l.report.autoFit = true;
  l.report.fixedRows = false;
  l.report.gapVertical = 5;
  return l;
}

void ExpectSame(const TLayout& a, const TLayout& b) {
  EXPECT_EQ(a.source.kind, b.source.kind);
  EXPECT_EQ(a.source.fileName, b.source.fileName);
  EXPECT_EQ(a.source.tableName, b.source.tableName);
  EXPECT_EQ(a.source.csv.separator, b.source.csv.separator);
  EXPECT_EQ(a.source.csv.quote, b.source.csv.quote);
  EXPECT_EQ(a.source.csv.header, b.source.csv.header);
  EXPECT_EQ(a.source.csv.encoding, b.source.csv.encoding);
  EXPECT_EQ(a.source.csv.decimalSeparator, b.source.csv.decimalSeparator);
  ASSERT_EQ(a.source.csv.columns.size(), b.source.csv.columns.size());
  for (size_t i = 0; i < a.source.csv.columns.size(); ++i) {
    EXPECT_EQ(a.source.csv.columns[i].name, b.source.csv.columns[i].name);
    EXPECT_EQ(a.source.csv.columns[i].type, b.source.csv.columns[i].type);
    EXPECT_EQ(a.source.csv.columns[i].dateOrder, b.source.csv.columns[i].dateOrder);
  }
  EXPECT_EQ(a.maxDimensions, b.maxDimensions);
  EXPECT_EQ(a.maxSummaries, b.maxSummaries);
  EXPECT_EQ(a.maxCells, b.maxCells);
  ASSERT_EQ(a.items.size(), b.items.size());
  for (size_t i = 0; i < a.items.size(); ++i) {
    const TLayoutItem &x = a.items[i], &y = b.items[i];
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.fieldName, y.fieldName);
    EXPECT_EQ(x.format, y.format);
    EXPECT_EQ(x.caption, y.caption);
    EXPECT_EQ(x.sumExpr, y.sumExpr);
    EXPECT_EQ(x.dimensionType, y.dimensionType);
    EXPECT_EQ(x.binType, y.binType);
    EXPECT_EQ(x.startDate, y.startDate);
    EXPECT_EQ(x.activeFlag, y.activeFlag);
    EXPECT_EQ(x.alignment, y.alignment);
    EXPECT_EQ(x.width, y.width);
    EXPECT_EQ(x.valueCount, y.valueCount);
  }
  EXPECT_EQ(a.dimensionInfo, b.dimensionInfo);
  EXPECT_EQ(a.currentSummary, b.currentSummary);
  EXPECT_EQ(a.report.header, b.report.header);
  EXPECT_EQ(a.report.footer, b.report.footer);
  EXPECT_EQ(a.report.paperWidth, b.report.paperWidth);
  EXPECT_EQ(a.report.paperHeight, b.report.paperHeight);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.report.margins[i], b.report.margins[i]);
  EXPECT_EQ(a.report.autoFit, b.report.autoFit);
  EXPECT_EQ(a.report.wordWrap, b.report.wordWrap);
  EXPECT_EQ(a.report.fixedCols, b.report.fixedCols);
  EXPECT_EQ(a.report.fixedRows, b.report.fixedRows);
  EXPECT_EQ(a.report.gapHorizontal, b.report.gapHorizontal);
  EXPECT_EQ(a.report.gapVertical, b.report.gapVertical);
}

TEST(LayoutFile, TextRoundTripKeepsEveryValueAndAwkwardText) {
  const TLayout layout = SampleLayout();
  const std::string text = WriteLayoutText(layout);
  ExpectSame(ReadLayoutText(text, "a.cvl"), layout);
  // Windows line ends and comments read the same.
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  ExpectSame(ReadLayoutText("# saved elsewhere\r\n\r\n" + crlf, "b.cvl"), layout);
  // A comment may follow a statement; a '#' in a text is text.
  std::string commented = text;
  commented.insert(commented.find("\nend"), "  # the last line");
  ExpectSame(ReadLayoutText(commented, "c.cvl"), layout);
}

TEST(LayoutFile, MapAndLimitsGoThroughACubeUnchanged) {
  const TLayout layout = SampleLayout();
  THyCube cube;
  ApplyMap(layout, cube.DimensionMap(), cube);
  ASSERT_EQ(cube.DimensionMap().Count(), 3);
  EXPECT_EQ(cube.DimensionMap().Items(1)->BinType(), binQuarter);
  EXPECT_EQ(cube.MaxCells(), 123456u);
  TLayout back = layout;
  back.items.clear();
  CaptureMap(cube.DimensionMap(), cube, back);
  ExpectSame(back, layout);
}

TEST(LayoutFile, SavedFileReadsBackAndAFailedSaveKeepsTheOldFile) {
  test::TestDatabase folder;
  const std::string file = folder.Folder() + "/a.cvl";
  SaveLayoutFile(file, SampleLayout());
  ExpectSame(LoadLayoutFile(file), SampleLayout());
  EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));
  // A folder in the way of the temporary file: the old layout stays whole.
  std::filesystem::create_directory(file + ".tmp");
  std::filesystem::create_directory(file + ".tmp/x");
  TLayout other = SampleLayout();
  other.report.header = {"changed"};
  EXPECT_THROW(SaveLayoutFile(file, other), ELayoutError);
  ExpectSame(LoadLayoutFile(file), SampleLayout());
}

TEST(LayoutFile, BrokenAndForeignFilesNameTheLineAndTheFault) {
  const std::string good = WriteLayoutText(SampleLayout());
  auto error = [](const std::string& text) {
    try {
      ReadLayoutText(text, "x.cvl");
    } catch (const ELayoutError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  auto replace = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    const size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return t.replace(at, from.size(), to);
  };
  EXPECT_EQ(error(""), "Layout file 'x.cvl', line 1: this is not a cube layout file");
  EXPECT_EQ(error("<?xml version=\"1.0\"?>\n<a/>"),
            "Layout file 'x.cvl', line 1: this is not a cube layout file");
  EXPECT_EQ(error(replace("cubeview-layout 1", "cubeview-layout 2")),
            "Layout file 'x.cvl', line 2: layout version 2 is not supported (this program reads "
            "version 1)");
  EXPECT_NE(error(replace("\nend\n", "\n")).find("the file ends before 'end'"), std::string::npos);
  EXPECT_EQ(error(replace("limits 7 3 123456", "limits 70 3 123456")),
            "Layout file 'x.cvl', line 7: '70' is not a whole number from 1 to 16");
  EXPECT_NE(error(replace("quarter", "decade")).find("'decade' is not one of the words"),
            std::string::npos);
  EXPECT_NE(error(replace("wrapped\"\n", "wrapped\n")).find("not closed"), std::string::npos);
  EXPECT_NE(error(replace("'Sold')", "'Sold'")).find("the pivot state cannot be read"),
            std::string::npos);
  EXPECT_NE(error(replace("\"Amount\" \"Amount\"", "\"Sold\" \"Amount\""))
                .find("two map items are named 'Sold'"),
            std::string::npos);
  EXPECT_NE(
      error(replace("margins 10 0 0 40", "margins 600 0 600 40")).find("margins leave no room"),
      std::string::npos);
  EXPECT_NE(error(replace("paper", "paper 1 2\npaper")).find("'paper' appears twice"),
            std::string::npos);
  EXPECT_NE(error(replace("derived", "derive")), "no error");
  EXPECT_NE(error(good + "extra\n").find("text after 'end'"), std::string::npos);
}

// Thousands of damaged layouts: each is read completely or refused with a
// layout error; nothing else escapes and nothing hangs.
TEST(LayoutFile, FuzzedLayoutsAreReadOrRefused) {
  const std::string good = WriteLayoutText(SampleLayout());
  const std::string pieces[] = {
      "\"", "\\", "\n", " ",     "-1",  "99999999999999999999", "end\n", "item",
      "(",  ")",  "'",  "1e308", "nan", std::string(1, '\0'),   "\xff"};
  std::mt19937 rng(20261208);
  int accepted = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string text = good;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % (text.size() + 1);
      switch (rng() % 4) {
        case 0:
          if (at < text.size()) text.erase(at, 1 + rng() % 8);
          break;
        case 1: text.insert(at, pieces[rng() % std::size(pieces)]); break;
        case 2:
          if (at < text.size()) text[at] = static_cast<char>(rng() % 256);
          break;
        case 3: text.resize(at); break;
      }
    }
    try {
      const TLayout l = ReadLayoutText(text, "fuzz.cvl");
      EXPECT_FALSE(l.items.empty());
      ++accepted;
    } catch (const ELayoutError&) {
    }
  }
  EXPECT_GT(accepted, 0);  // some damage lands in free text and is harmless
}

}  // namespace
}  // namespace hy
