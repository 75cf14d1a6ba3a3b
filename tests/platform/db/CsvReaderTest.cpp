// The CSV reader: RFC 4180 quoting, detection of the file's shape and of its
// column types, both encodings, bad lines reported with their line numbers,
// Cancel, and a fuzz run over mutated files.
#include <gtest/gtest.h>

#include <random>

#include "common/DateUtils.h"
#include "platform/db/CsvReader.h"

namespace hy {
namespace {

std::unique_ptr<TMemDataSet> Read(const std::string& text) {
  const TCsvDetection detection = DetectCsv(text, true);
  TCsvSettings settings = detection.settings;
  settings.columns.clear();
  return ReadCsv(text, settings, "test.csv");
}

std::string ErrorOf(const std::string& text, const TCsvSettings* settings = nullptr) {
  try {
    if (settings) ReadCsv(text, *settings, "test.csv");
    else Read(text);
  } catch (const ECsvError& e) {
    return e.what();
  }
  return "no error";
}

TEST(CsvReader, QuotedFieldsKeepSeparatorsQuotesAndLineBreaks) {
  const std::string text =
      "Name,Note,Qty\r\n"
      "\"Smith, John\",\"said \"\"hi\"\"\",1\r\n"
      "Jones,\"two\r\nlines\",2\r\n"
      "\"Lee\",\"a\nb\nc\",3\n"
      "Ray,,4";  // no line break at the end
  auto data = Read(text);
  ASSERT_EQ(data->RowCount(), 4);
  ASSERT_EQ(data->ColumnCount(), 3);
  EXPECT_EQ(data->ColumnName(1), "Note");
  EXPECT_EQ(data->Value(0, 0).AsString(), "Smith, John");
  EXPECT_EQ(data->Value(0, 1).AsString(), "said \"hi\"");
  EXPECT_EQ(data->Value(1, 1).AsString(), "two\r\nlines");
  EXPECT_EQ(data->Value(2, 1).AsString(), "a\nb\nc");
  EXPECT_TRUE(data->Value(3, 1).IsNull());
  EXPECT_EQ(data->ColumnType(2), ftLargeint);
  EXPECT_EQ(data->Value(3, 2).AsInt64(), 4);
}

TEST(CsvReader, BadLinesStopTheLoadNamingTheLineWhereTheRecordStarts) {
  // The record with too few fields is on line 7: the line breaks inside
  // the quoted fields before it count.
  EXPECT_NE(ErrorOf("a,b\n1,\"x\ny\"\n2,z\n3,\"p\nq\"\n4\n5,w\n")
                .find("test.csv: line 7: 1 fields where 2"),
            std::string::npos);
  EXPECT_NE(ErrorOf("a,b\n1,2\n3,\"open\n4,5\n").find("line 3: field 2: the quote is not closed"),
            std::string::npos);
  EXPECT_NE(ErrorOf("a,b\n1,\"x\"y\n").find("line 2: field 2: text after the closing quote"),
            std::string::npos);
  EXPECT_NE(ErrorOf("a,b\n1,2\n3,4,5\n").find("line 3: 3 fields where 2 are expected"),
            std::string::npos);
  // A value that the user's type does not fit.
  TCsvSettings settings;
  settings.columns = {{"Qty", TCsvType::Integer, TCsvDateOrder::YMD}};
  EXPECT_NE(ErrorOf("Qty\n1\n\n2\nmany\n", &settings)
                .find("line 5, field 'Qty': 'many' is not a valid Integer"),
            std::string::npos);
}

TEST(CsvReader, BlankLinesCarryNoRows) {
  auto data = Read("a,b\n\n1,2\n\r\n3,4\n\n");
  EXPECT_EQ(data->RowCount(), 2);
}

TEST(CsvReader, BothEncodingsBecomeUtf8) {
  const std::string utf8 = "\xEF\xBB\xBFName,Price\nCaf\xC3\xA9,1\n\xE2\x82\xAC uro,2\n";
  TCsvDetection d = DetectCsv(utf8, true);
  EXPECT_EQ(d.settings.encoding, TCsvEncoding::Utf8);
  auto data = Read(utf8);
  EXPECT_EQ(data->ColumnName(0), "Name");  // the byte-order mark is not part of the name
  EXPECT_EQ(data->Value(0, 0).AsString(), "Caf\xC3\xA9");

  const std::string cp1252 = "Name,Price\nCaf\xE9,1\n\x80 uro \x93q\x94,2\n";
  d = DetectCsv(cp1252, true);
  EXPECT_EQ(d.settings.encoding, TCsvEncoding::Cp1252);
  data = Read(cp1252);
  EXPECT_EQ(data->Value(0, 0).AsString(), "Caf\xC3\xA9");
  EXPECT_EQ(data->Value(1, 0).AsString(), "\xE2\x82\xAC uro \xE2\x80\x9Cq\xE2\x80\x9D");

  // Code-page bytes read as UTF-8 are refused at their line.
  TCsvSettings settings = d.settings;
  settings.encoding = TCsvEncoding::Utf8;
  EXPECT_NE(ErrorOf(cp1252, &settings).find("line 2: the bytes are not UTF-8"), std::string::npos);
}

TEST(CsvDetection, SeparatorQuoteHeaderAndDecimalComma) {
  TCsvDetection d = DetectCsv("Region;Amount;Note\nNorth;1,5;\"a;b\"\nSouth;2,25;c\n", true);
  EXPECT_EQ(d.settings.separator, ';');
  EXPECT_EQ(d.settings.decimalSeparator, ',');
  EXPECT_TRUE(d.settings.header);
  ASSERT_EQ(d.settings.columns.size(), 3u);
  EXPECT_EQ(d.settings.columns[1].type, TCsvType::Float);
  ASSERT_EQ(d.preview.size(), 2u);
  EXPECT_EQ(d.preview[0][2], "a;b");

  d = DetectCsv("x\ty\tz\n1\t2\t3\n4\t5\t6\n", true);
  EXPECT_EQ(d.settings.separator, '\t');
  EXPECT_TRUE(d.settings.header);

  // Numbers from the first line on: no header, generated names.
  d = DetectCsv("1,2.5\n3,4.5\n", true);
  EXPECT_FALSE(d.settings.header);
  EXPECT_EQ(d.settings.columns[0].name, "Field1");
  EXPECT_EQ(d.settings.columns[1].type, TCsvType::Float);

  // A header with repeated or missing names is not taken for one; told that
  // it is, its names still come out distinct.
  d = DetectCsv("a,A,,b\n1,2,3,4\n", true);
  EXPECT_FALSE(d.settings.header);
  d.settings.header = true;
  DetectCsvColumns("a,A,,b\n1,2,3,4\n", d.settings, true);
  ASSERT_EQ(d.settings.columns.size(), 4u);
  EXPECT_EQ(d.settings.columns[1].name, "A_2");
  EXPECT_EQ(d.settings.columns[2].name, "Field3");
}

TEST(CsvDetection, ColumnTypesComeFromTheValues) {
  const std::string text =
      "Id,Price,Money,Iso,European,American,Stamp,Word,Empty\n"
      "1,1.5,\"$1,234.50\",2024-01-31,31.12.2024,12/31/2024,2024-01-31 10:20:30,x,\n"
      "-7,2e3,(12.00),2024-02-29,01.02.2024,02/01/2024,2024-02-01T08:00,12,\n"
      "9000000000,-0.25,7,2024-03-01,15.03.2024,03/15/2024,2024-03-01 00:00,3.5,\n";
  auto data = Read(text);
  const TFieldType expected[] = {ftLargeint, ftFloat,    ftCurrency, ftDate,  ftDate,
                                 ftDate,     ftDateTime, ftString,   ftString};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(data->ColumnType(c), expected[c]) << data->ColumnName(c);
  EXPECT_EQ(data->Value(2, 0).AsInt64(), 9000000000LL);
  EXPECT_DOUBLE_EQ(data->Value(1, 1).AsDouble(), 2000);
  EXPECT_EQ(data->Value(0, 2).AsCurrency().raw, 12345000);
  EXPECT_EQ(data->Value(1, 2).AsCurrency().raw, -120000);
  EXPECT_EQ(data->Value(1, 3).AsDate(), EncodeDate(2024, 2, 29));
  EXPECT_EQ(data->Value(0, 4).AsDate(), EncodeDate(2024, 12, 31));  // day first
  EXPECT_EQ(data->Value(1, 4).AsDate(), EncodeDate(2024, 2, 1));
  EXPECT_EQ(data->Value(1, 5).AsDate(), EncodeDate(2024, 2, 1));  // month first
  EXPECT_NEAR(data->Value(0, 6).AsDate(), EncodeDate(2024, 1, 31) + EncodeTime(10, 20, 30, 0),
              1e-9);
  EXPECT_EQ(data->Value(1, 7).AsString(), "12");
  EXPECT_TRUE(data->Value(0, 8).IsNull());
}

TEST(CsvDetection, ImpossibleDatesAreText) {
  const TCsvColumn c = DetectCsvColumn({"2024-02-30", "2024-01-01"}, '.');
  EXPECT_EQ(c.type, TCsvType::Text);
}

TEST(CsvReader, ProgressReachesTheEndAndCancelLeavesNothing) {
  std::string text = "Region,Amount\n";
  for (int i = 0; i < 20000; ++i) text += "North," + std::to_string(i) + "\n";
  int64_t last = -1, calls = 0;
  auto data =
      ReadCsv(text, DetectCsv(text, true).settings, "big.csv", [&](int64_t done, int64_t total) {
        EXPECT_GE(done, last);
        EXPECT_EQ(total, static_cast<int64_t>(text.size()));
        last = done;
        ++calls;
      });
  EXPECT_EQ(data->RowCount(), 20000);
  EXPECT_EQ(last, static_cast<int64_t>(text.size()));
  EXPECT_GT(calls, 2);

  struct Cancelled {};
  EXPECT_THROW(ReadCsv(text, DetectCsv(text, true).settings, "big.csv",
                       [](int64_t done, int64_t) {
                         if (done > 100000) throw Cancelled();
                       }),
               Cancelled);
}

TEST(CsvReader, ASampleCutInsideAQuotedFieldStillDetects) {
  std::string text = "Name,Note\n";
  for (int i = 0; i < 100; ++i) text += "n" + std::to_string(i) + ",\"long\nnote\"\n";
  const TCsvDetection d = DetectCsv(std::string_view(text).substr(0, text.size() - 6), false);
  EXPECT_EQ(d.settings.separator, ',');
  EXPECT_TRUE(d.settings.header);
  EXPECT_TRUE(d.sampleCut);
  ASSERT_EQ(d.settings.columns.size(), 2u);
}

// Thousands of mutations of a valid file: each run ends in a dataset whose
// rows have every column, or in an ECsvError naming the file. No crash, no
// hang, no other exception.
TEST(CsvFuzz, MutatedFilesLoadOrFailCleanly) {
  const std::string base =
      "Region;Date;Amount;Note\r\n"
      "North;2024-01-05;\"1,5\";\"a \"\"b\"\"\r\nc\"\r\n"
      "South;2024-02-06;2,25;plain\r\n"
      "\"We;st\";2024-03-07;3;\xC3\xA9t\xC3\xA9\r\n";
  const char pieces[] = {'"', ';', ',', '\r', '\n', '\t', '\0', 'x', '1', '-', '\x80', '\xC3', ' '};
  std::mt19937 random(20241208);
  int loaded = 0, refused = 0;
  for (int run = 0; run < 4000; ++run) {
    std::string text = base;
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
      const char c = pieces[random() % sizeof pieces];
      switch (random() % 3) {
        case 0: text.insert(at, 1, c); break;
        case 1:
          if (at < text.size()) text.erase(at, 1 + random() % 4);
          break;
        default:
          if (at < text.size()) text[at] = c;
          break;
      }
    }
    try {
      const TCsvDetection detection = DetectCsv(text, run % 2 == 0);
      TCsvSettings settings = detection.settings;
      if (run % 3 == 0) settings.columns.clear();
      auto data = ReadCsv(text, settings, "fuzz.csv");
      ASSERT_GE(data->ColumnCount(), 1);
      for (int64_t r = 0; r < data->RowCount(); ++r)
        for (int c = 0; c < data->ColumnCount(); ++c) (void)data->Value(r, c);
      ++loaded;
    } catch (const ECsvError& e) {
      ASSERT_EQ(std::string(e.what()).rfind("fuzz.csv: ", 0), 0u) << e.what();
      ++refused;
    }
  }
  // Both outcomes occur: the mutations are neither all harmless nor all fatal.
  EXPECT_GT(loaded, 100);
  EXPECT_GT(refused, 100);
}

}  // namespace
}  // namespace hy
