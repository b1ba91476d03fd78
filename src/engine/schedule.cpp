// The next-start text of a task list row and the date of a task's next fixed-time run.
#include <optional>

#include "engine/engine.h"
#include "store/task_record.h"

namespace orv {

namespace {

bool MonthDayChosen(const std::string& monthDays, int day) {
  // A position beyond the end of a shorter text counts as not chosen.
  return day >= 1 && static_cast<std::size_t>(day) <= monthDays.size() &&
         monthDays[static_cast<std::size_t>(day) - 1] == '1';
}

// Day `day` of the first month after the current one that has it. Every day up to 31 lies within
// the next two months.
double DayInLaterMonth(const LocalTime& now, int day) {
  int year = now.year, month = now.month;
  for (int step = 0; step < 12; ++step) {
    if (++month > 12) {
      month = 1;
      ++year;
    }
    if (day <= DaysInMonth(year, month)) return EncodeDate(year, month, day);
  }
  return 0.0;
}

// The month-day rule's search beyond today: the next chosen day of this month, else the first
// chosen day in a later month. std::nullopt when no day is chosen.
std::optional<double> LaterMonthDay(const std::string& monthDays, const LocalTime& now,
                                    double today) {
  const int dom = now.day;
  const int daysInMonth = DaysInMonth(now.year, now.month);
  for (int d = dom + 1; d <= daysInMonth; ++d)
    if (MonthDayChosen(monthDays, d)) return today + (d - dom);
  for (int d = 1; d <= 31; ++d)
    if (MonthDayChosen(monthDays, d)) return DayInLaterMonth(now, d);
  return std::nullopt;
}

}  // namespace

ScheduleTexts Engine::SetMinutesText(const std::string& taskName) {
  RegistryAccessor reg(registry_);
  reg.OpenKeyReadOnly(rec::TaskKey(taskName));
  return SetMinutesText(reg);
}

ScheduleTexts Engine::SetMinutesText(RegistryAccessor& reg) {
  const MessageTable& m = messages_;
  ScheduleTexts out{m[kMsgNotAvailable], {}};

  // Bound to Windows start or shutdown: the binding's text replaces a later day.
  const auto applyBinding = [&] {
    if (reg.ReadBoolIfPresent(rec::kOnWindowsEnabled).value_or(false))
      out.next = reg.ReadInteger(rec::kOnWindows) == rec::kOnWindowsStart ? m[kMsgOnSystemStart]
                                                                          : m[kMsgOnShutdown];
  };

  const std::int32_t taskAuto = reg.ReadInteger(rec::kTaskAuto);
  if (taskAuto == rec::kAutoIdle) {
    out.kind = m[kMsgKindIdle];
    if (reg.ReadBool(rec::kOnIdle))
      out.next = std::to_string(reg.ReadInteger(rec::kIdleTime)) + m[kMsgMinutes];
    else
      applyBinding();
    return out;
  }
  if (taskAuto == rec::kAutoFileChange) {
    out.kind = m[kMsgKindWatch];
    out.next = reg.ReadBool(rec::kChangeFiles) ? m[kMsgOnFileChange] : m[kMsgNotAvailable];
    return out;
  }

  out.kind = m[kMsgKindClock];
  FillDaysArray(reg);

  const std::optional<bool> timeEnabled = reg.ReadBoolIfPresent(rec::kTimeEnabled);
  const std::optional<bool> intEnabled = reg.ReadBoolIfPresent(rec::kIntEnabled);
  const bool timeExists = timeEnabled.has_value(), intExists = intEnabled.has_value();
  const bool timeOn = timeEnabled.value_or(false), intOn = intEnabled.value_or(false);
  if (timeExists && !timeOn && intExists && !intOn) {  // an absent value does not count as off
    applyBinding();
    return out;
  }

  // The next time of day: the fixed time or the end of one interval from now, the earlier one.
  const std::string now = NowTimeText();
  const std::string fixed = timeOn ? StoredTime(reg) : std::string();
  const std::int32_t interval = intOn ? reg.ReadInteger(rec::kIntervall) : 0;
  const auto oneIntervalFromNow = [&] { return TimeText(CurrentTimeOfDay() + interval / 1440.0); };
  std::string next;
  if (timeOn && intOn)
    next = GetMinutes(fixed, now) < interval ? fixed : oneIntervalFromNow();
  else if (timeOn)
    next = fixed;
  else if (intOn)
    next = oneIntervalFromNow();

  const LocalTime clock = clock_.Now();
  const double today = EncodeDate(clock.year, clock.month, clock.day);
  bool runsToday = false;

  if (reg.ReadIntegerIfPresent(rec::kDayRestriction) == rec::kRestrictMonthDays) {
    if (!reg.ValueExists(rec::kMonthDays)) {
      applyBinding();
      return out;
    }
    const std::string monthDays = reg.ReadString(rec::kMonthDays);
    if (MonthDayChosen(monthDays, clock.day) && !GetDateOver(next, now)) {
      runsToday = true;
    } else if (const auto later = LaterMonthDay(monthDays, clock, today)) {
      out.next = DateText(*later);
      applyBinding();
    }
  } else {
    const int w = DayOfWeek(today);
    if (DayFlag(w) && !GetDateOver(next, now)) {
      runsToday = true;
    } else {
      for (int k = 1; k <= 7; ++k) {
        const int i = w + k > 7 ? w + k - 7 : w + k;
        if (DayFlag(i)) {
          out.next = m.WeekdayName(i);
          applyBinding();
          break;
        }
      }
    }
  }

  if (runsToday) {
    if (timeOn && intOn)
      out.next = GetMinutes(fixed, now) < interval ? fixed + m[kMsgUhr]
                                                   : std::to_string(interval) + m[kMsgMinutes];
    else if (timeOn)
      out.next = fixed + m[kMsgUhr];
    else if (intOn)
      out.next = std::to_string(interval) + m[kMsgMinutes];
  }
  return out;
}

// The stored time of day as "hh:mm". Another program may have stored "8:00": taken as it was
// meant, since every comparison with the clock's "hh:mm" would otherwise fail and the task would
// be found due at every tick. ConvertError for a text that is no time of day.
std::string Engine::StoredTime(RegistryAccessor& reg) {
  return TimeText(TimeOfText(reg.ReadString(rec::kTime)));
}

double Engine::GetTaskDate(const std::string& taskName) {
  RegistryAccessor reg(registry_);
  reg.OpenKeyReadOnly(rec::TaskKey(taskName));
  return GetTaskDate(reg);
}

double Engine::GetTaskDate(RegistryAccessor& reg) {
  FillDaysArray(reg);
  if (!reg.ReadBoolIfPresent(rec::kTimeEnabled).value_or(false)) return 0.0;

  const std::string fixed = StoredTime(reg);
  const std::string now = NowTimeText();
  const LocalTime clock = clock_.Now();
  const double today = EncodeDate(clock.year, clock.month, clock.day);
  std::optional<double> day;

  if (reg.ReadIntegerIfPresent(rec::kDayRestriction) == rec::kRestrictMonthDays) {
    if (!reg.ValueExists(rec::kMonthDays)) return 0.0;
    const std::string monthDays = reg.ReadString(rec::kMonthDays);
    if (MonthDayChosen(monthDays, clock.day) && !GetDateOver(fixed, now))
      day = today;
    else
      day = LaterMonthDay(monthDays, clock, today);
  } else {
    const int w = DayOfWeek(today);
    if (DayFlag(w) && !GetDateOver(fixed, now)) {
      day = today;
    } else {
      for (int k = 1; k <= 7 && !day; ++k) {
        const int i = w + k > 7 ? w + k - 7 : w + k;
        if (DayFlag(i)) day = today + k;
      }
    }
  }
  if (!day) return 0.0;
  return *day + TimeOfText(fixed);
}

}  // namespace orv
