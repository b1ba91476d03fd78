// The scheduling engine: the state and routines that the main window's scheduler shares.
// It holds the day flags of the task looked at last and the due-check mode; everything else is
// read from the task keys when it is needed.
#pragma once

#include <array>
#include <string>

#include "sched/clock.h"
#include "sched/locale.h"
#include "store/registry.h"
#include "ui/messages.h"

namespace orv {

class Engine {
 public:
  Engine(RegistryBackend& registry, Clock& clock, Locale& locale, const MessageTable& messages)
      : registry_(registry), clock_(clock), locale_(locale), messages_(messages) {}

  RegistryBackend& Registry() { return registry_; }
  const MessageTable& Messages() const { return messages_; }

  // Calendar. Each call reads the clock afresh.
  double Now();
  double Today();          // the current date, time of day 0
  double CurrentTimeOfDay();
  int WeekdayOfNow();      // 1 Sunday .. 7 Saturday
  int DayOfMonthOfNow();   // 1 .. 31
  int DaysInCurrentMonth();
  std::string NowTimeText();
  std::string DateText(double date) { return locale_.ShortDate(date); }

  // "hh:mm" of the part of `t` within one day (23:50 plus 30 minutes gives 00:20).
  static std::string TimeText(double t);
  // The time of day of "hh:mm" (hour 0-23, minute 0-59) as a fraction of a day. ConvertError
  // for anything else.
  static double TimeOfText(const std::string& text);

  // The decimal digits of a text, "0" when it has none or they exceed 2147483647.
  static std::string ConvertToInt(const std::string& text);
  // Fills the day flags from the task's weekday values; an absent value (or an absent key)
  // allows the day. RegistryError when a weekday value has another type.
  void FillDaysArray(const std::string& taskName);
  bool DayFlag(int weekday) const { return weekday >= 1 && weekday <= 7 && dayFlags_[weekday]; }
  // Minutes from time text b forward to time text a, 0 to 1439. ConvertError when an hour or
  // minute is not a decimal number.
  int GetMinutes(const std::string& a, const std::string& b) const;
  // True when time a has been reached at time b; false for texts that are not five characters.
  bool GetDateOver(const std::string& a, const std::string& b) const;

  // In due-check mode a time equal to the current minute still counts as not yet over.
  bool DueCheckMode() const { return dueCheckMode_; }
  void SetDueCheckMode(bool on) { dueCheckMode_ = on; }

 private:
  RegistryBackend& registry_;
  Clock& clock_;
  Locale& locale_;
  const MessageTable& messages_;
  std::array<bool, 8> dayFlags_{false, true, true, true, true, true, true, true};
  bool dueCheckMode_ = false;
};

}  // namespace orv
