// The next-start text of a task list row and the date of a task's next fixed-time run.
#include <cstdio>
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

// A date-time put on its whole minute (the sums of minutes gather rounding errors).
double WholeMinute(double t) {
  const LocalTime v = DecodeDateTime(t + 1.0 / 172800);  // half a second on, then cut
  return EncodeDate(v.year, v.month, v.day) + EncodeTime(v.hour, v.minute);
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

  ClockRule rule;
  rule.days = dayFlags_;
  rule.timeOn = timeOn;
  rule.intervalOn = intOn;
  if (timeOn) rule.time = StoredTime(reg);
  if (intOn) rule.interval = reg.ReadInteger(rec::kIntervall);
  if (reg.ReadIntegerIfPresent(rec::kDayRestriction) == rec::kRestrictMonthDays) {
    if (!reg.ValueExists(rec::kMonthDays)) {
      applyBinding();
      return out;
    }
    rule.byMonthDays = true;
    rule.monthDays = reg.ReadString(rec::kMonthDays);
  }

  const NextStep step = StepAt(rule, clock_.Now());
  switch (step.kind) {
    case NextStep::kMinutes:
      out.next = std::to_string(step.minutes) + m[kMsgMinutes];
      break;
    case NextStep::kAt:
      out.next = step.at + m[kMsgUhr];
      break;
    case NextStep::kLaterDay:
      out.next = rule.byMonthDays ? DateText(step.day) : m.WeekdayName(step.weekday);
      applyBinding();
      break;
    case NextStep::kNone:
      break;
  }
  return out;
}

Engine::NextStep Engine::StepAt(const ClockRule& rule, const LocalTime& clock) const {
  // The next time of day: the fixed time or the end of one interval from now, the earlier one.
  char nowBuffer[8];
  std::snprintf(nowBuffer, sizeof nowBuffer, "%02d:%02d", clock.hour % 100, clock.minute % 100);
  const std::string now = nowBuffer;
  const std::string& fixed = rule.time;
  const int interval = rule.interval;
  const bool timeOn = rule.timeOn, intOn = rule.intervalOn;
  const auto oneIntervalFromNow = [&] {
    const double timeOfDay = EncodeTime(clock.hour, clock.minute, clock.second, clock.millisecond);
    return TimeText(timeOfDay + interval / 1440.0);
  };
  std::string next;
  if (timeOn && intOn)
    next = GetMinutes(fixed, now) < interval ? fixed : oneIntervalFromNow();
  else if (timeOn)
    next = fixed;
  else if (intOn)
    next = oneIntervalFromNow();

  const double today = EncodeDate(clock.year, clock.month, clock.day);
  NextStep step;
  bool runsToday = false;

  if (rule.byMonthDays) {
    if (MonthDayChosen(rule.monthDays, clock.day) && !GetDateOver(next, now)) {
      runsToday = true;
    } else if (const auto later = LaterMonthDay(rule.monthDays, clock, today)) {
      step.kind = NextStep::kLaterDay;
      step.day = *later;
      step.weekday = DayOfWeek(*later);
    }
  } else {
    const int w = DayOfWeek(today);
    if (rule.days[static_cast<std::size_t>(w)] && !GetDateOver(next, now)) {
      runsToday = true;
    } else {
      for (int k = 1; k <= 7; ++k) {
        const int i = w + k > 7 ? w + k - 7 : w + k;
        if (rule.days[static_cast<std::size_t>(i)]) {
          step.kind = NextStep::kLaterDay;
          step.day = today + k;
          step.weekday = i;
          break;
        }
      }
    }
  }

  if (runsToday) {
    const bool fixedFirst = timeOn && (!intOn || GetMinutes(fixed, now) < interval);
    if (fixedFirst) {
      step.kind = NextStep::kAt;
      step.at = fixed;
    } else if (intOn) {
      step.kind = NextStep::kMinutes;
      step.minutes = interval;
    }
  }
  return step;
}

std::vector<double> Engine::NextStarts(const ClockRule& rule, double from, int count) {
  // The tick's own steps, from one event to the next: a countdown runs out after its minutes,
  // a time of day today is run at its minute, a later day is looked at again at midnight (the
  // schedule gives the same until then). After a run the text is computed anew as the run
  // leaves it; on every other tick in due-check mode, where the current minute is not over.
  std::vector<double> starts;
  if (count <= 0) return starts;
  const bool savedMode = dueCheckMode_;
  dueCheckMode_ = false;
  const LocalTime begin = DecodeDateTime(from);
  double minute =
      EncodeDate(begin.year, begin.month, begin.day) + EncodeTime(begin.hour, begin.minute);
  const double limit = minute + 400.0;
  NextStep step = StepAt(rule, DecodeDateTime(minute));
  const auto ran = [&](double at) {
    starts.push_back(at);
    dueCheckMode_ = false;
    step = StepAt(rule, DecodeDateTime(at));
  };
  while (static_cast<int>(starts.size()) < count && minute < limit) {
    switch (step.kind) {
      case NextStep::kNone:
        minute = limit;
        break;
      case NextStep::kMinutes:
        if (step.minutes <= 0) {  // a countdown at or below zero never runs out again
          minute = limit;
          break;
        }
        minute = WholeMinute(minute + step.minutes / 1440.0);
        ran(minute);
        break;
      case NextStep::kAt: {
        const LocalTime t = DecodeDateTime(minute);
        const double at = EncodeDate(t.year, t.month, t.day) + TimeOfText(step.at);
        minute = at;
        ran(at);
        break;
      }
      case NextStep::kLaterDay: {
        const LocalTime t = DecodeDateTime(minute);
        minute = EncodeDate(t.year, t.month, t.day) + 1.0;
        dueCheckMode_ = true;
        step = StepAt(rule, DecodeDateTime(minute));
        dueCheckMode_ = false;
        if (step.kind == NextStep::kAt && step.at == "00:00") ran(minute);
        break;
      }
    }
  }
  dueCheckMode_ = savedMode;
  return starts;
}

ClockRule Engine::ReadClockRule(RegistryAccessor& reg) {
  ClockRule rule;
  FillDaysArray(reg);
  rule.days = dayFlags_;
  const std::optional<bool> timeEnabled = reg.ReadBoolIfPresent(rec::kTimeEnabled);
  const std::optional<bool> intEnabled = reg.ReadBoolIfPresent(rec::kIntEnabled);
  if (timeEnabled && !*timeEnabled && intEnabled && !*intEnabled) return rule;
  rule.timeOn = timeEnabled.value_or(false);
  rule.intervalOn = intEnabled.value_or(false);
  if (rule.timeOn) rule.time = StoredTime(reg);
  if (rule.intervalOn) rule.interval = reg.ReadInteger(rec::kIntervall);
  if (reg.ReadIntegerIfPresent(rec::kDayRestriction) == rec::kRestrictMonthDays) {
    rule.byMonthDays = true;
    if (!reg.ValueExists(rec::kMonthDays)) {
      rule.timeOn = rule.intervalOn = false;
      return rule;
    }
    rule.monthDays = reg.ReadString(rec::kMonthDays);
  }
  return rule;
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

  ClockRule rule;
  rule.days = dayFlags_;
  rule.timeOn = true;
  rule.time = StoredTime(reg);
  if (reg.ReadIntegerIfPresent(rec::kDayRestriction) == rec::kRestrictMonthDays) {
    if (!reg.ValueExists(rec::kMonthDays)) return 0.0;
    rule.byMonthDays = true;
    rule.monthDays = reg.ReadString(rec::kMonthDays);
  }
  return FixedStartAt(rule, clock_.Now());
}

double Engine::FixedStartAt(const ClockRule& rule, const LocalTime& clock) const {
  if (!rule.timeOn) return 0.0;
  const std::string& fixed = rule.time;
  char nowBuffer[8];
  std::snprintf(nowBuffer, sizeof nowBuffer, "%02d:%02d", clock.hour % 100, clock.minute % 100);
  const std::string now = nowBuffer;
  const double today = EncodeDate(clock.year, clock.month, clock.day);
  std::optional<double> day;

  if (rule.byMonthDays) {
    if (MonthDayChosen(rule.monthDays, clock.day) && !GetDateOver(fixed, now))
      day = today;
    else
      day = LaterMonthDay(rule.monthDays, clock, today);
  } else {
    const int w = DayOfWeek(today);
    if (rule.days[static_cast<std::size_t>(w)] && !GetDateOver(fixed, now)) {
      day = today;
    } else {
      for (int k = 1; k <= 7 && !day; ++k) {
        const int i = w + k > 7 ? w + k - 7 : w + k;
        if (rule.days[static_cast<std::size_t>(i)]) day = today + k;
      }
    }
  }
  if (!day) return 0.0;
  return *day + TimeOfText(fixed);
}

}  // namespace orv
