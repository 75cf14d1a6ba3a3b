#include <gtest/gtest.h>

#include "common/Exceptions.h"
#include "common/Format.h"

namespace hy {
namespace {

TEST(Parse, Floats) {
  TFormatSettings fs;
  EXPECT_EQ(StrToFloat("1.5", fs), 1.5);
  EXPECT_EQ(StrToFloat("  -2.5e3 ", fs), -2500);
  EXPECT_EQ(StrToFloat("+.5", fs), 0.5);
  EXPECT_EQ(StrToFloat("7.", fs), 7);
  EXPECT_EQ(StrToFloat("1E-2", fs), 0.01);
  double v;
  for (const char* bad :
       {"", ".", "1e", "1e+", "1,5", "abc", "1.2.3", "0x10", "inf", "nan", "1e999", "- 1"})
    EXPECT_FALSE(TryStrToFloat(bad, v, fs)) << bad;
  try {
    StrToFloat("abc", fs);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' is not a valid floating point value");
  }
  fs.DecimalSeparator = ',';
  EXPECT_EQ(StrToFloat("1,5", fs), 1.5);
  EXPECT_FALSE(TryStrToFloat("1.5", v, fs));
}

TEST(Parse, Integers) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt(" -2147483648 "), INT32_MIN);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("0x10"), 16);
  try {
    StrToInt("2147483648");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'2147483648' is not a valid integer value");
  }
  EXPECT_THROW(StrToInt("12a"), EConvertError);
  EXPECT_THROW(StrToInt("1.0"), EConvertError);
  EXPECT_THROW(StrToInt(""), EConvertError);
  int64_t v;
  EXPECT_TRUE(TryStrToInt64("9223372036854775807", v));
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", v));
  EXPECT_FALSE(TryStrToInt64("-", v));
}

TEST(Parse, IsoDateTimes) {
  TDateTime dt;
  ASSERT_TRUE(TryISOStrToDateTime("2004-01-01", dt));
  EXPECT_EQ(dt, EncodeDate(2004, 1, 1));
  ASSERT_TRUE(TryISOStrToDateTime("2004-01-01 12:30", dt));
  EXPECT_EQ(dt, EncodeDate(2004, 1, 1) + EncodeTime(12, 30, 0, 0));
  ASSERT_TRUE(TryISOStrToDateTime("2004-01-01T12:30:15.5", dt));
  EXPECT_EQ(dt, EncodeDate(2004, 1, 1) + EncodeTime(12, 30, 15, 500));
  ASSERT_TRUE(TryISOStrToDateTime("2004-01-01 12:30:15.123456", dt));
  EXPECT_EQ(dt, EncodeDate(2004, 1, 1) + EncodeTime(12, 30, 15, 123));
  ASSERT_TRUE(TryISOStrToDateTime("12:30:15", dt));
  EXPECT_EQ(dt, EncodeTime(12, 30, 15, 0));
  ASSERT_TRUE(TryISOStrToDateTime("1899-12-29 06:00", dt));
  EXPECT_EQ(dt, -1.25);
  ASSERT_TRUE(TryISOStrToDateTime("2000-02-29", dt));
  for (const char* bad : {"2023-02-30", "2100-02-29", "2004-13-01", "2004-1-01", "04-01-01",
                          "2004-01-01X", "2004-01-01 24:00", "2004-01-01 12:60", "2004-01-01 12",
                          "12:30:", "12:30:15.", "", "0000-01-01"})
    EXPECT_FALSE(TryISOStrToDateTime(bad, dt)) << bad;
}

TEST(Parse, LocaleDates) {
  TFormatSettings fs;
  TDateTime dt;
  ASSERT_TRUE(TryStrToDate("3/5/2004", dt, fs));
  EXPECT_EQ(dt, EncodeDate(2004, 3, 5));
  ASSERT_TRUE(TryStrToDate("3/5/2004 2:07 PM", dt, fs));
  EXPECT_EQ(dt, EncodeDate(2004, 3, 5) + EncodeTime(14, 7, 0, 0));
  ASSERT_TRUE(TryStrToDate("3/5/2004 12:00:01 am", dt, fs));
  EXPECT_EQ(dt, EncodeDate(2004, 3, 5) + EncodeTime(0, 0, 1, 0));
  ASSERT_TRUE(TryStrToDate("3/5/2004 14:07:09", dt, fs));
  EXPECT_EQ(dt, EncodeDate(2004, 3, 5) + EncodeTime(14, 7, 9, 0));
  ASSERT_TRUE(TryStrToDate("3/5/04", dt, fs));  // within 50 years of now
  EXPECT_EQ(dt, EncodeDate(2004, 3, 5));
  ASSERT_TRUE(TryStrToDate("3/5", dt, fs));
  int y, m, d, cy;
  DecodeDate(dt, y, m, d);
  DecodeDate(Today(), cy, m, d);
  EXPECT_EQ(y, cy);
  for (const char* bad :
       {"13/5/2004", "2/30/2004", "3/5/2004 13:00 PM", "3/5/2004 x", "3", "3-5-2004", ""})
    EXPECT_FALSE(TryStrToDate(bad, dt, fs)) << bad;

  fs.ShortDateFormat = "dd.mm.yyyy";
  fs.DateSeparator = '.';
  ASSERT_TRUE(TryStrToDate("05.03.2004", dt, fs));
  EXPECT_EQ(dt, EncodeDate(2004, 3, 5));
}

// Short date text reads back to the same day, for several locales' orders.
TEST(Parse, ShortDateRoundTrip) {
  for (const char* format : {"M/d/yyyy", "dd/mm/yyyy", "yyyy/mm/dd"}) {
    TFormatSettings fs;
    fs.ShortDateFormat = format;
    for (TDateTime day = EncodeDate(1, 1, 1); day < EncodeDate(9999, 12, 31); day += 997) {
      TDateTime back;
      ASSERT_TRUE(TryStrToDate(DateToStr(day, fs), back, fs)) << DateToStr(day, fs);
      ASSERT_EQ(back, day) << format;
    }
  }
}

}  // namespace
}  // namespace hy
