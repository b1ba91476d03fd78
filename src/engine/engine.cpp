#include "engine/engine.h"

#include <cmath>
#include <cstdio>

#include "store/task_record.h"
#include "base/text.h"

namespace orv {

namespace {

// A decimal integer with an optional sign and nothing else around it.
int ParseDecimal(const std::u16string& s, const std::string& whole) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  if (i == s.size()) throw ConvertError("'" + whole + "' ist keine gültige Uhrzeit.");
  int value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < u'0' || s[i] > u'9') throw ConvertError("'" + whole + "' ist keine gültige Uhrzeit.");
    value = value * 10 + (s[i] - u'0');  // at most two digits: no overflow
  }
  return negative ? -value : value;
}

// Hour (characters 1 and 2) and minute (characters 4 and 5) of a time text; character 3 is not
// examined and ranges are not checked.
struct HourMinute {
  int hour, minute;
  int Total() const { return 60 * hour + minute; }
};

HourMinute SplitTime(const std::string& text) {
  const std::u16string w = Utf8ToUtf16(text);
  const std::u16string hour = w.substr(0, 2);
  const std::u16string minute = w.size() > 3 ? w.substr(3, 2) : std::u16string();
  return {ParseDecimal(hour, text), ParseDecimal(minute, text)};
}

}  // namespace

double Engine::Now() { return EncodeDateTime(clock_.Now()); }

double Engine::Today() {
  const LocalTime t = clock_.Now();
  return EncodeDate(t.year, t.month, t.day);
}

double Engine::CurrentTimeOfDay() {
  const LocalTime t = clock_.Now();
  return EncodeTime(t.hour, t.minute, t.second, t.millisecond);
}

int Engine::WeekdayOfNow() {
  const LocalTime t = clock_.Now();
  return DayOfWeek(EncodeDate(t.year, t.month, t.day));
}

int Engine::DayOfMonthOfNow() { return clock_.Now().day; }

int Engine::DaysInCurrentMonth() {
  const LocalTime t = clock_.Now();
  return DaysInMonth(t.year, t.month);
}

std::string Engine::NowTimeText() {
  const LocalTime t = clock_.Now();
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d:%02d", t.hour % 100, t.minute % 100);
  return buf;
}

std::string Engine::TimeText(double t) {
  if (!std::isfinite(t)) t = 0.0;
  const long long ms = TimeOfDayMs(t);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60));
  return buf;
}

double Engine::TimeOfText(const std::string& text) {
  const std::size_t colon = text.find(':');
  const auto digits = [](const std::string& s) {
    if (s.empty() || s.size() > 2) return -1;
    int v = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return -1;
      v = v * 10 + (c - '0');
    }
    return v;
  };
  const int h = colon == std::string::npos ? -1 : digits(text.substr(0, colon));
  const int m = colon == std::string::npos ? -1 : digits(text.substr(colon + 1));
  if (h < 0 || h > 23 || m < 0 || m > 59 || (colon != std::string::npos && text.size() - colon != 3))
    throw ConvertError("'" + text + "' ist keine gültige Uhrzeit.");
  return EncodeTime(h, m);
}

std::string Engine::ConvertToInt(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c >= '0' && c <= '9') digits.push_back(c);
  if (digits.empty()) return "0";
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return digits;  // all zeros
  const std::string significant = digits.substr(first);
  if (significant.size() > 10 || (significant.size() == 10 && significant > "2147483647"))
    return "0";
  return digits;
}

void Engine::FillDaysArray(const std::string& taskName) {
  RegistryAccessor reg(registry_);
  reg.OpenKeyReadOnly(rec::TaskKey(taskName));
  FillDaysArray(reg);
}

void Engine::FillDaysArray(RegistryAccessor& taskKey) {
  for (int day = 1; day <= 7; ++day) {
    const char* value = rec::kWeekdayValue[static_cast<std::size_t>(day)];
    dayFlags_[static_cast<std::size_t>(day)] = taskKey.ReadBoolIfPresent(value).value_or(true);
  }
}

int Engine::GetMinutes(const std::string& a, const std::string& b) const {
  HourMinute ta = SplitTime(a);
  const HourMinute tb = SplitTime(b);
  if (ta.hour < tb.hour || (ta.hour == tb.hour && ta.minute < tb.minute))
    ta.hour += 24;  // the target lies on the next day
  const int d = ta.Total() - tb.Total();
  if (d == 0 && !dueCheckMode_) return 1439;
  return d;
}

bool Engine::GetDateOver(const std::string& a, const std::string& b) const {
  if (Utf16Length(a) != 5 || Utf16Length(b) != 5) return false;
  const int ta = SplitTime(a).Total();
  const int tb = SplitTime(b).Total();
  return dueCheckMode_ ? tb > ta : tb >= ta;
}

}  // namespace orv
