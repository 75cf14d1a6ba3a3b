#include <gtest/gtest.h>

#include <cmath>

#include "common/Exceptions.h"
#include "common/Format.h"

namespace hy {
namespace {

class FormatDateTimeTest : public ::testing::Test {
protected:
  TFormatSettings fs = TFormatSettings::EnglishUS();
  // Friday, 5 March 2004, 14:07:09.045
  TDateTime when = EncodeDate(2004, 3, 5) + EncodeTime(14, 7, 9, 45);
  std::string F(std::string_view format, TDateTime value) {
    return FormatDateTime(format, value, fs);
  }
};

TEST_F(FormatDateTimeTest, CubeBinFormats) {
  EXPECT_EQ(F("mmm, yyyy", EncodeDate(2004, 1, 1)), "Jan, 2004");
  EXPECT_EQ(F("\"Q.\"m, yyyy", EncodeDate(2004, 4, 1)), "Q.4, 2004");
  EXPECT_EQ(F("\"Q.\"m, yyyy", EncodeDate(2004, 10, 1)), "Q.10, 2004");
  EXPECT_EQ(F("ddd dd.mm.yy", EncodeDate(2004, 1, 1)), "Thu 01.01.04");
  EXPECT_EQ(F("ddd dd.mm.yy", EncodeDate(2003, 12, 29)), "Mon 29.12.03");
  EXPECT_EQ(F("dd.mm.yy", EncodeDate(1999, 11, 7)), "07.11.99");
  EXPECT_EQ(F("yyyy", EncodeDate(2004, 6, 15)), "2004");
  EXPECT_EQ(F("yyyy", EncodeDate(1, 1, 1)), "0001");
  EXPECT_EQ(F("yy", EncodeDate(2000, 1, 1)), "00");
}

TEST_F(FormatDateTimeTest, MonthOrMinute) {
  EXPECT_EQ(F("hh:nn", when), "14:07");
  EXPECT_EQ(F("hh:mm", when), "14:07");
  EXPECT_EQ(F("h:m", when), "14:7");
  EXPECT_EQ(F("hh'h'mm", when), "14h07");  // literal between: still minutes
  EXPECT_EQ(F("hh \"at\" mm", when), "14 at 07");
  EXPECT_EQ(F("hh dd mm", when), "14 05 03");  // a day in between: month again
  EXPECT_EQ(F("mm/dd hh:mm", when), "03/05 14:07");
  EXPECT_EQ(F("m/d/yyyy", when), "3/5/2004");
  EXPECT_EQ(F("mmmm", when), "March");
  EXPECT_EQ(F("mmm", when), "Mar");
  EXPECT_EQ(F("yyyy-mm-dd hh:nn:ss.zzz", when), "2004-03-05 14:07:09.045");
  EXPECT_EQ(F("s z", when), "9 45");
}

TEST_F(FormatDateTimeTest, DayNamesAndLocaleFormats) {
  EXPECT_EQ(F("dddd, mmmm d", when), "Friday, March 5");
  EXPECT_EQ(F("ddd", when), "Fri");
  EXPECT_EQ(F("ddddd", when), "3/5/2004");
  EXPECT_EQ(F("dddddd", when), "Friday, March 5, 2004");
  EXPECT_EQ(F("t", when), "2:07 PM");
  EXPECT_EQ(F("tt", when), "2:07:09 PM");
  EXPECT_EQ(F("c", when), "3/5/2004 2:07:09 PM");
  EXPECT_EQ(F("c", EncodeDate(2004, 3, 5)), "3/5/2004");
  EXPECT_EQ(F("", when), "3/5/2004 2:07:09 PM");
  EXPECT_EQ(DateTimeToStr(when, fs), "3/5/2004 2:07:09 PM");
  EXPECT_EQ(DateToStr(when, fs), "3/5/2004");
  EXPECT_EQ(TimeToStr(when, fs), "2:07:09 PM");
}

TEST_F(FormatDateTimeTest, TwelveHourClock) {
  EXPECT_EQ(F("h:nn am/pm", when), "2:07 pm");
  EXPECT_EQ(F("h:nn AM/PM", when), "2:07 PM");
  EXPECT_EQ(F("h:nn Am/pM", when), "2:07 pM");
  EXPECT_EQ(F("h:nn a/p", when), "2:07 p");
  EXPECT_EQ(F("h:nn A/P", EncodeTime(9, 5, 0, 0)), "9:05 A");
  EXPECT_EQ(F("h ampm", EncodeTime(0, 0, 0, 0)), "12 AM");
  EXPECT_EQ(F("h ampm", EncodeTime(12, 0, 0, 0)), "12 PM");
  EXPECT_EQ(F("hh ampm", EncodeTime(23, 0, 0, 0)), "11 PM");
  EXPECT_EQ(F("hh:nn", EncodeTime(0, 30, 0, 0)), "00:30");  // no mark: 24-hour clock
  EXPECT_EQ(F("\"am/pm\" h", when), "am/pm 14");            // quoted marks do not count
  fs.TimeAMString = "vorm.";
  fs.TimePMString = "nachm.";
  EXPECT_EQ(F("h ampm", when), "2 nachm.");
}

TEST_F(FormatDateTimeTest, SeparatorsCaseAndLiterals) {
  fs.DateSeparator = '.';
  fs.TimeSeparator = '-';
  EXPECT_EQ(F("dd/mm/yyyy hh:nn", when), "05.03.2004 14-07");
  EXPECT_EQ(F("ddddd", when), "3.5.2004");
  EXPECT_EQ(F("YYYY-MM-DD HH:NN", when), "2004-03-05 14-07");
  EXPECT_EQ(F("DDD", when), "Fri");
  EXPECT_EQ(F("\"yyyy\" yyyy", when), "yyyy 2004");
  EXPECT_EQ(F("'d/m' d", when), "d/m 5");
  EXPECT_EQ(F("\"open", when), "open");  // an unclosed quote runs to the end
  EXPECT_EQ(F("x#q", when), "x#q");
}

TEST_F(FormatDateTimeTest, RoundingAndNegativeDates) {
  TDateTime late = EncodeDate(2004, 12, 31) + 86399999.6 / kMSecsPerDay;
  EXPECT_EQ(F("yyyy-mm-dd hh:nn:ss.zzz", late), "2005-01-01 00:00:00.000");
  EXPECT_EQ(F("yyyy-mm-dd hh:nn", -1.25), "1899-12-29 06:00");
  EXPECT_EQ(F("ddd", -1.25), "Fri");
  EXPECT_THROW(F("yyyy", NAN), EConvertError);
}

TEST_F(FormatDateTimeTest, NestedFormatsDoNotRecurseForever) {
  fs.ShortDateFormat = "ddddd";
  EXPECT_NO_THROW(F("c", when));
  fs.ShortDateFormat = "d/m/yy";
  fs.LongDateFormat = "dddd d mmmm yyyy";
  EXPECT_EQ(F("ddddd", when), "5/3/04");
  EXPECT_EQ(F("dddddd", when), "Friday 5 March 2004");
}

}  // namespace
}  // namespace hy
