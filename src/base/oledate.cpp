#include "base/oledate.h"

#include <cmath>

namespace orv {

namespace {

constexpr long long kMsPerDay = 86400000LL;
// 1 January 1, 23:59:59.999 and 31 December 9999, 23:59:59.999: before the epoch a later time
// of day lies further from zero.
constexpr double kLowest = -(693593.0 + 86399999.0 / 86400000.0);
constexpr double kHighest = 2958465.0 + 86399999.0 / 86400000.0;

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's civil algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const long long kEpochFrom1970 = DaysFromCivil(1899, 12, 30);

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

double EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) throw ConvertError("Ungültiges Datum.");
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                           static_cast<unsigned>(day)) -
                             kEpochFrom1970);
}

double EncodeTime(int hour, int minute, int second, int millisecond) {
  const long long ms = ((static_cast<long long>(hour) * 60 + minute) * 60 + second) * 1000LL +
                       millisecond;
  return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

double EncodeDateTime(const LocalTime& t) {
  const double date = EncodeDate(t.year, t.month, t.day);
  const double time = EncodeTime(t.hour, t.minute, t.second, t.millisecond);
  // Before the epoch the fraction still counts forward from that day's midnight.
  return date >= 0 ? date + time : date - time;
}

LocalTime DecodeDateTime(double dt) {
  if (!std::isfinite(dt)) dt = 0.0;
  if (dt < kLowest) dt = kLowest;
  if (dt > kHighest) dt = kHighest;
  double whole = std::trunc(dt);
  long long ms = std::llround(std::fabs(dt - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {  // rounding reached the next midnight
    if (whole >= kHighest - 1 || whole <= kLowest + 1) {
      ms = kMsPerDay - 1;  // stay within the years 1 to 9999
    } else {
      ms -= kMsPerDay;
      whole += 1.0;  // the day number after this one, also before the epoch
    }
  }
  LocalTime t;
  CivilFromDays(static_cast<long long>(whole) + kEpochFrom1970, t.year, t.month, t.day);
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

int DayOfWeek(double dt) {
  const LocalTime t = DecodeDateTime(dt);
  const long long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month),
                                       static_cast<unsigned>(t.day));
  // 1 January 1970 was a Thursday (weekday number 5).
  long long w = (days + 4) % 7;  // 0 Sunday
  if (w < 0) w += 7;
  return static_cast<int>(w) + 1;
}

LocalTime AddMinutes(const LocalTime& t, long long minutes) {
  // Linear milliseconds, so that a time before the epoch moves forward too.
  const long long day = DaysFromCivil(t.year, static_cast<unsigned>(t.month),
                                      static_cast<unsigned>(t.day));
  long long total = day * kMsPerDay +
                    ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond +
                    minutes * 60000;
  long long newDay = total / kMsPerDay;
  long long ms = total % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --newDay;
  }
  LocalTime out;
  CivilFromDays(newDay, out.year, out.month, out.day);
  out.hour = static_cast<int>(ms / 3600000);
  out.minute = static_cast<int>(ms / 60000 % 60);
  out.second = static_cast<int>(ms / 1000 % 60);
  out.millisecond = static_cast<int>(ms % 1000);
  return out;
}

long long TimeOfDayMs(double dt) {
  const LocalTime t = DecodeDateTime(dt);
  return ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

}  // namespace orv
