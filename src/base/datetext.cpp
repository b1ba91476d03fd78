#include "base/datetext.h"

#include <array>
#include <cctype>

namespace orv {
namespace {

// By weekday number, 1 Sunday to 7 Saturday (index 0 unused).
constexpr std::array<const char*, 8> kDayNames = {
    "", "Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
constexpr std::array<const char*, 8> kDayShort = {"", "So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
constexpr std::array<const char*, 13> kMonthNames = {
    "",     "Januar", "Februar", "März",  "April",    "Mai",     "Juni",
    "Juli", "August", "September", "Oktober", "November", "Dezember"};
constexpr std::array<const char*, 13> kMonthShort = {"",    "Jan", "Feb", "Mär", "Apr",
                                                     "Mai", "Jun", "Jul", "Aug",        "Sep",
                                                     "Okt", "Nov", "Dez"};

std::string Number(int value, bool twoDigits) {
  std::string s = std::to_string(value);
  if (twoDigits && s.size() < 2) s.insert(0, 1, '0');
  return s;
}

}  // namespace

std::string FormatDateTime(const std::string& pattern, const LocalTime& t) {
  const int weekday = DayOfWeek(EncodeDate(t.year, t.month, t.day));
  const std::size_t month = static_cast<std::size_t>(t.month);
  std::string out;
  bool afterHour = false;  // an "m" right after an hour stands for minutes
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '"' || c == '\'') {
      const std::size_t end = pattern.find(c, i + 1);
      const std::size_t stop = end == std::string::npos ? pattern.size() : end;
      out.append(pattern, i + 1, stop - i - 1);
      i = end == std::string::npos ? stop : end + 1;
      continue;
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == lower)
      ++run;
    bool consumed = true;
    switch (lower) {
      case 'd':
        if (run >= 4)
          out += kDayNames[static_cast<std::size_t>(weekday)];
        else if (run == 3)
          out += kDayShort[static_cast<std::size_t>(weekday)];
        else
          out += Number(t.day, run == 2);
        break;
      case 'm':
        if (afterHour && run <= 2)
          out += Number(t.minute, run == 2);
        else if (run >= 4)
          out += kMonthNames[month];
        else if (run == 3)
          out += kMonthShort[month];
        else
          out += Number(t.month, run == 2);
        break;
      case 'y':
        out += run >= 3 ? Number(t.year, false) : Number(t.year % 100, true);
        break;
      case 'h':
        out += Number(t.hour, run >= 2);
        break;
      case 'n':
        out += Number(t.minute, run >= 2);
        break;
      case 's':
        out += Number(t.second, run >= 2);
        break;
      default:
        consumed = false;
    }
    if (consumed) {
      afterHour = lower == 'h';
      i += run;
    } else {
      // Separators between an hour and its minutes keep the minute meaning of "m".
      if (std::isalpha(static_cast<unsigned char>(c))) afterHour = false;
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace orv
