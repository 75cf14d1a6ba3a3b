// TDateTime: days since 30 December 1899 as a double; the fraction is the
// time of day. Negative values count back from that day, with the fraction
// still meaning the time of day (as the classic desktop convention has it).
#pragma once

#include <cstdint>

namespace hy {

using TDateTime = double;

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;
constexpr double kMSecsPerDay = 86400000.0;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Raise EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
// Milliseconds are rounded to the nearest millisecond of the day.
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
// Both halves at once, from one rounding to the millisecond (a time that
// rounds up to 24:00 moves to 00:00 of the next day, in both halves).
void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec);
// A day and a time of day joined into one value; before 30 December 1899 the
// time is subtracted, so that the fraction still reads as the time of day.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
TDateTime DateOf(TDateTime dt);  // the day, time dropped
TDateTime TimeOf(TDateTime dt);  // the time of day, as a fraction

// Values outside [EncodeDate(1, 1, 1), EncodeDate(9999, 12, 31) + 1) are not
// dates; decoding them raises EConvertError "Invalid argument to date decode".
bool IsValidDateTime(TDateTime dt);

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime dt);
// ISO 8601: 1 = Monday .. 7 = Sunday.
int DayOfTheWeek(TDateTime dt);
// ISO 8601 week date. The week-numbering year may differ from the calendar
// year in the first and last days of a year.
void DecodeDateWeek(TDateTime dt, int& year, int& week, int& dayOfWeek);
// Raises EConvertError when week or dayOfWeek is out of range for the year.
TDateTime EncodeDateWeek(int year, int week, int dayOfWeek = 1);
int WeeksInYear(int year);

TDateTime Now();
TDateTime Today();

}  // namespace hy
