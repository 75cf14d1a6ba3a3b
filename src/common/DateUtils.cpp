#include "common/DateUtils.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "common/Exceptions.h"

namespace hy {

namespace {

constexpr int64_t kMSecsPerDayInt = 86400000;
// Day number of 30 December 1899 counted from 1 January 1970.
constexpr int64_t kDelphiEpochFromUnix = -25569;

// Proleptic Gregorian day count from 1 January 1970 (H. Hinnant's algorithm).
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

constexpr int64_t kMinDay = DaysFromCivil(1, 1, 1) - kDelphiEpochFromUnix;
constexpr int64_t kMaxDay = DaysFromCivil(9999, 12, 31) - kDelphiEpochFromUnix;

struct DayAndTime {
  int64_t day;   // serial day number (0 = 30 December 1899)
  int64_t msec;  // milliseconds of the day, 0 .. 86399999
};

// The fraction is the time of day on either side of day 0, so the day is the
// value truncated toward zero and the time its absolute fraction.
DayAndTime Split(TDateTime dt) {
  if (!IsValidDateTime(dt)) throw EConvertError("Invalid argument to date decode");
  double whole = std::trunc(dt);
  DayAndTime r{static_cast<int64_t>(whole), std::llround(std::fabs(dt - whole) * kMSecsPerDay)};
  if (r.msec >= kMSecsPerDayInt) {  // 23:59:59.9995 and later: next day, 00:00
    r.msec -= kMSecsPerDayInt;
    r.day += 1;
  }
  return r;
}

int FloorMod(int64_t a, int b) {
  int r = static_cast<int>(a % b);
  return r < 0 ? r + b : r;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < kMinYear || year > kMaxYear || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      kDelphiEpochFromUnix);
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
    return false;
  out = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime r;
  if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
  return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime r;
  if (!TryEncodeTime(hour, min, sec, msec, r))
    throw EConvertError("Invalid argument to time encode");
  return r;
}

bool IsValidDateTime(TDateTime dt) {
  if (!std::isfinite(dt)) return false;
  double whole = std::trunc(dt);
  return whole >= static_cast<double>(kMinDay) && whole <= static_cast<double>(kMaxDay);
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
  CivilFromDays(Split(dt).day + kDelphiEpochFromUnix, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec) {
  int64_t ms = Split(dt).msec;
  msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  sec = static_cast<int>(ms % 60);
  ms /= 60;
  min = static_cast<int>(ms % 60);
  hour = static_cast<int>(ms / 60);
}

void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec) {
  DayAndTime s = Split(dt);
  CivilFromDays(s.day + kDelphiEpochFromUnix, year, month, day);
  int64_t ms = s.msec;
  msec = static_cast<int>(ms % 1000);
  sec = static_cast<int>(ms / 1000 % 60);
  min = static_cast<int>(ms / 60000 % 60);
  hour = static_cast<int>(ms / 3600000);
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  double day = std::trunc(date);
  double t = std::fabs(time - std::trunc(time));
  return day < 0 ? day - t : day + t;
}

TDateTime DateOf(TDateTime dt) { return static_cast<double>(Split(dt).day); }

TDateTime TimeOf(TDateTime dt) { return static_cast<double>(Split(dt).msec) / kMSecsPerDay; }

int DayOfWeek(TDateTime dt) { return FloorMod(Split(dt).day - 1, 7) + 1; }  // day 1 was a Sunday

int DayOfTheWeek(TDateTime dt) { return FloorMod(Split(dt).day - 2, 7) + 1; }  // day 2: Monday

void DecodeDateWeek(TDateTime dt, int& year, int& week, int& dayOfWeek) {
  int64_t day = Split(dt).day;
  dayOfWeek = FloorMod(day - 2, 7) + 1;
  // The week belongs to the year that holds its Thursday.
  int64_t thursday = day - (dayOfWeek - 1) + 3;
  int m, d;
  CivilFromDays(thursday + kDelphiEpochFromUnix, year, m, d);
  int64_t jan1 = DaysFromCivil(year, 1, 1) - kDelphiEpochFromUnix;
  week = static_cast<int>((thursday - jan1) / 7 + 1);
}

int WeeksInYear(int year) {
  // 53 weeks when the year starts on a Thursday, or on a Wednesday in a leap year.
  int64_t jan1 = DaysFromCivil(year, 1, 1) - kDelphiEpochFromUnix;
  int dow = FloorMod(jan1 - 2, 7) + 1;
  return (dow == 4 || (dow == 3 && IsLeapYear(year))) ? 53 : 52;
}

TDateTime EncodeDateWeek(int year, int week, int dayOfWeek) {
  if (year < kMinYear || year > kMaxYear || week < 1 || week > WeeksInYear(year) || dayOfWeek < 1 ||
      dayOfWeek > 7)
    throw EConvertError("Invalid argument to date encode");
  // 4 January always lies in week 1.
  int64_t jan4 = DaysFromCivil(year, 1, 4) - kDelphiEpochFromUnix;
  int64_t monday1 = jan4 - FloorMod(jan4 - 2, 7);
  int64_t day = monday1 + (week - 1) * 7 + (dayOfWeek - 1);
  if (day < kMinDay || day > kMaxDay) throw EConvertError("Invalid argument to date encode");
  return static_cast<double>(day);
}

TDateTime Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t secs = system_clock::to_time_t(now);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  if (ms < 0) ms += 1000;
  std::tm local{};
  localtime_r(&secs, &local);
  return ComposeDateTime(
      EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
      EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, ms));
}

TDateTime Today() { return DateOf(Now()); }

}  // namespace hy
