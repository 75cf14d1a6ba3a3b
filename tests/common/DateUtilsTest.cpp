#include <gtest/gtest.h>

#include <cmath>

#include "common/DateUtils.h"
#include "common/Exceptions.h"

namespace hy {
namespace {

struct Ymd {
  int y, m, d;
};

Ymd Decode(TDateTime dt) {
  Ymd r{};
  DecodeDate(dt, r.y, r.m, r.d);
  return r;
}

TEST(DateUtils, KnownSerials) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1899, 12, 31), 1);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(1900, 3, 1), 61);  // 1900 is not a leap year
  EXPECT_EQ(EncodeDate(2004, 1, 1), 37987);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
}

TEST(DateUtils, LeapYearsAndMonthLengths) {
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2004));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_EQ(DaysInMonth(2004, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2003, 4), 30);
  EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
  EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(2003, 4, 31), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeDate(10000, 1, 1), EConvertError);
  TDateTime dt = 0;
  EXPECT_FALSE(TryEncodeDate(2004, 13, 1, dt));
  try {
    EncodeDate(2004, 0, 1);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Invalid argument to date encode");
  }
}

// Walks every day of the supported range: each serial decodes to the day
// after the previous one and encodes back to itself.
TEST(DateUtils, EveryDayRoundTrips) {
  Ymd prev = Decode(EncodeDate(1, 1, 1));
  ASSERT_EQ(prev.y, 1);
  for (int64_t serial = -693592; serial <= 2958465; ++serial) {
    Ymd cur = Decode(static_cast<double>(serial));
    Ymd expect = prev;
    if (++expect.d > DaysInMonth(expect.y, expect.m)) {
      expect.d = 1;
      if (++expect.m > 12) {
        expect.m = 1;
        ++expect.y;
      }
    }
    ASSERT_TRUE(cur.y == expect.y && cur.m == expect.m && cur.d == expect.d) << serial;
    ASSERT_EQ(EncodeDate(cur.y, cur.m, cur.d), serial);
    prev = cur;
  }
  EXPECT_EQ(prev.y, 9999);
}

TEST(DateUtils, NegativeValuesKeepTimeOfDay) {
  // -1.25 is 29 December 1899, 06:00: the fraction is the time, not an offset.
  int y, m, d, h, n, s, ms;
  DecodeDateTime(-1.25, y, m, d, h, n, s, ms);
  EXPECT_EQ(y, 1899);
  EXPECT_EQ(m, 12);
  EXPECT_EQ(d, 29);
  EXPECT_EQ(h, 6);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 31), EncodeTime(6, 0, 0, 0)), 1.25);
  EXPECT_EQ(DateOf(-1.25), -1);
  EXPECT_EQ(TimeOf(-1.25), 0.25);
  DecodeDateTime(-693593.5, y, m, d, h, n, s, ms);
  EXPECT_EQ(y, 1);
  EXPECT_EQ(h, 12);
  // Times round trip on both sides of day 0.
  for (int day : {-700, -1, 0, 1, 38000}) {
    for (int msec = 0; msec < 86400000; msec += 7777777) {
      TDateTime t = EncodeTime(msec / 3600000, msec / 60000 % 60, msec / 1000 % 60, msec % 1000);
      TDateTime dt = ComposeDateTime(day, t);
      DecodeTime(dt, h, n, s, ms);
      EXPECT_EQ(((h * 60 + n) * 60 + s) * 1000 + ms, msec) << day;
      EXPECT_EQ(DateOf(dt), day);
    }
  }
}

TEST(DateUtils, MillisecondRoundingNeverGives24Hours) {
  int y, m, d, h, n, s, ms;
  TDateTime late = EncodeDate(2004, 12, 31) + 86399999.6 / kMSecsPerDay;  // 23:59:59.9996
  DecodeTime(late, h, n, s, ms);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(ms, 0);
  DecodeDateTime(late, y, m, d, h, n, s, ms);
  EXPECT_EQ(y, 2005);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(d, 1);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(DateOf(late), EncodeDate(2005, 1, 1));

  TDateTime almost = EncodeDate(2004, 12, 31) + 86399999.4 / kMSecsPerDay;
  DecodeDateTime(almost, y, m, d, h, n, s, ms);
  EXPECT_EQ(d, 31);
  EXPECT_EQ(h, 23);
  EXPECT_EQ(n, 59);
  EXPECT_EQ(s, 59);
  EXPECT_EQ(ms, 999);

  // Before day 0 the next calendar day is the one nearer to day 0.
  TDateTime negLate = -1 - 86399999.6 / kMSecsPerDay;
  DecodeDateTime(negLate, y, m, d, h, n, s, ms);
  EXPECT_EQ(d, 30);
  EXPECT_EQ(h, 0);
}

TEST(DateUtils, TimeEncoding) {
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
  int h, n, s, ms;
  DecodeTime(EncodeDate(2004, 3, 5) + EncodeTime(14, 7, 9, 45), h, n, s, ms);
  EXPECT_EQ(h, 14);
  EXPECT_EQ(n, 7);
  EXPECT_EQ(s, 9);
  EXPECT_EQ(ms, 45);
}

TEST(DateUtils, NonDatesAreRejected) {
  int y, m, d;
  EXPECT_THROW(DecodeDate(NAN, y, m, d), EConvertError);
  EXPECT_THROW(DecodeDate(INFINITY, y, m, d), EConvertError);
  EXPECT_THROW(DecodeDate(3e6, y, m, d), EConvertError);
  EXPECT_THROW(DecodeDate(-693594, y, m, d), EConvertError);
  EXPECT_TRUE(IsValidDateTime(-693593.99));
  EXPECT_TRUE(IsValidDateTime(2958465.99));
}

TEST(DateUtils, DaysOfWeek) {
  TDateTime thu = EncodeDate(2004, 1, 1);
  EXPECT_EQ(DayOfWeek(thu), 5);     // Sunday = 1
  EXPECT_EQ(DayOfTheWeek(thu), 4);  // Monday = 1
  EXPECT_EQ(DayOfWeek(0), 7);       // 30 December 1899: Saturday
  EXPECT_EQ(DayOfTheWeek(0), 6);
  EXPECT_EQ(DayOfWeek(-1.25), 6);  // Friday
  EXPECT_EQ(DayOfTheWeek(-1.75), 5);
  EXPECT_EQ(DayOfTheWeek(EncodeDate(1, 1, 1)), 1);  // a Monday, proleptically
  for (int k = 0; k < 14; ++k) EXPECT_EQ(DayOfTheWeek(thu + k), (DayOfWeek(thu + k) + 5) % 7 + 1);
}

TEST(DateUtils, IsoWeeksAroundYearBoundaries) {
  struct Case {
    int y, m, d, wy, w, wd;
  } cases[] = {
      {2004, 12, 31, 2004, 53, 5}, {2005, 1, 1, 2004, 53, 6},   {2005, 1, 2, 2004, 53, 7},
      {2005, 1, 3, 2005, 1, 1},    {2008, 12, 29, 2009, 1, 1},  {2010, 1, 3, 2009, 53, 7},
      {2010, 1, 4, 2010, 1, 1},    {2004, 1, 1, 2004, 1, 4},    {2003, 12, 29, 2004, 1, 1},
      {2016, 1, 1, 2015, 53, 5},   {2020, 12, 31, 2020, 53, 4},
  };
  for (const Case& c : cases) {
    int wy, w, wd;
    DecodeDateWeek(EncodeDate(c.y, c.m, c.d), wy, w, wd);
    EXPECT_EQ(wy, c.wy) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(w, c.w) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(wd, c.wd) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(EncodeDateWeek(c.wy, c.w, c.wd), EncodeDate(c.y, c.m, c.d));
  }
  EXPECT_EQ(WeeksInYear(2004), 53);
  EXPECT_EQ(WeeksInYear(2009), 53);
  EXPECT_EQ(WeeksInYear(2015), 53);
  EXPECT_EQ(WeeksInYear(2005), 52);
  EXPECT_EQ(WeeksInYear(2008), 52);
  EXPECT_THROW(EncodeDateWeek(2005, 53), EConvertError);
  EXPECT_THROW(EncodeDateWeek(2004, 1, 8), EConvertError);
  EXPECT_THROW(EncodeDateWeek(2004, 0), EConvertError);
}

TEST(DateUtils, IsoWeeksRoundTripOverCenturies) {
  int lastWeek, lastYear, lastDay;
  DecodeDateWeek(EncodeDate(1899, 1, 1), lastYear, lastWeek, lastDay);
  for (TDateTime dt = EncodeDate(1899, 1, 2); dt <= EncodeDate(2101, 1, 1); dt += 1) {
    int wy, w, wd;
    DecodeDateWeek(dt, wy, w, wd);
    ASSERT_EQ(EncodeDateWeek(wy, w, wd), dt);
    ASSERT_EQ(wd, DayOfTheWeek(dt));
    if (wd == 1) {  // weeks advance by one each Monday, or restart at 1
      if (w == 1) EXPECT_EQ(lastWeek, WeeksInYear(lastYear)) << dt;
      else EXPECT_EQ(w, lastWeek + 1) << dt;
    }
    lastWeek = w;
    lastYear = wy;
  }
}

TEST(DateUtils, NowAndToday) {
  TDateTime now = Now();
  TDateTime today = Today();
  EXPECT_GT(now, EncodeDate(2020, 1, 1));
  EXPECT_EQ(today, std::trunc(today));
  EXPECT_LE(today, now + 1e-6);
  EXPECT_LT(now - today, 1.0 + 1e-6);
}

}  // namespace
}  // namespace hy
