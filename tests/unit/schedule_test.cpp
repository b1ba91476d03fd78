// Next-start texts and next fixed-time runs, on a simulated clock. Unless a case says otherwise
// it is Wednesday 9 July 2003, the weekday rule applies and every weekday is allowed.
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

using rec::kDayRestriction, rec::kIntEnabled, rec::kIntervall, rec::kTimeEnabled, rec::kTime;

class Schedule : public EngineTest {
 protected:
  void At(int day, int hour, int minute, int month = 7, int year = 2003) {
    clock.Set(year, month, day, hour, minute);
  }
  void FixedTime(const std::string& name, const std::string& time, std::map<std::string, int> ints = {}) {
    ints[kTimeEnabled] = 1;
    ints.emplace(kIntEnabled, 0);
    Task(name, ints, {{kTime, time}});
  }
  static double Date(int y, int m, int d, int h = 0, int mi = 0) {
    return EncodeDate(y, m, d) + EncodeTime(h, mi);
  }
  std::string Due(const std::string& name) {
    engine.SetDueCheckMode(true);
    std::string text = Next(name);
    engine.SetDueCheckMode(false);
    return text;
  }
};

TEST_F(Schedule, FixedTimeAcrossItsMinute) {
  FixedTime("Backup", "18:00");
  At(9, 10, 0);
  EXPECT_EQ(engine.SetMinutesText("Backup").kind, "Uhrzeit");
  EXPECT_EQ(Next("Backup"), "18:00 Uhr");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Backup"), Date(2003, 7, 9, 18));
  At(9, 18, 0);
  EXPECT_EQ(Next("Backup"), "Donnerstag");
  EXPECT_EQ(Due("Backup"), "18:00 Uhr");  // found due in its own minute
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Backup"), Date(2003, 7, 10, 18));
  At(9, 18, 1);
  EXPECT_EQ(Next("Backup"), "Donnerstag");
  EXPECT_EQ(Due("Backup"), "Donnerstag");
}

TEST_F(Schedule, AOneDigitHourStoredByAnotherProgramMeansThatHour) {
  // "8:00" never equals the clock's "08:00": taken as it stands, the task would be found due
  // (and missed) at every tick after eight.
  FixedTime("Frueh", "8:00");
  At(9, 7, 0);
  EXPECT_EQ(Next("Frueh"), "08:00 Uhr");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Frueh"), Date(2003, 7, 9, 8));
  At(9, 8, 0);
  EXPECT_EQ(Due("Frueh"), "08:00 Uhr");
  At(9, 10, 0);
  EXPECT_EQ(Next("Frueh"), "Donnerstag");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Frueh"), Date(2003, 7, 10, 8));
  // Anything that is no time of day is a broken task, not a task due every minute.
  for (const char* bad : {"8", "24:00", "8:0", "08:60", "ab:cd", ""}) {
    FixedTime("Frueh", bad);
    EXPECT_THROW(Next("Frueh"), ConvertError) << bad;
    EXPECT_THROW(engine.GetTaskDate("Frueh"), ConvertError) << bad;
  }
}

TEST_F(Schedule, IntervalAloneAndItsWrapPastMidnight) {
  Task("Poll", {{kIntervall, 30}});
  At(9, 10, 0);
  EXPECT_EQ(Next("Poll"), "30 Minute(n)");
  EXPECT_EQ(engine.GetTaskDate("Poll"), 0.0);
  At(9, 23, 50);  // 00:20 counts as reached: the next allowed day
  EXPECT_EQ(Next("Poll"), "Donnerstag");
  At(10, 0, 0);
  EXPECT_EQ(Next("Poll"), "30 Minute(n)");
  At(9, 23, 29);  // 23:59 is still today
  EXPECT_EQ(Next("Poll"), "30 Minute(n)");
}

TEST_F(Schedule, FixedTimeAndIntervalTakeTheEarlier) {
  FixedTime("Both", "18:00", {{kIntEnabled, 1}, {kIntervall, 30}});
  At(9, 17, 45);
  EXPECT_EQ(Next("Both"), "18:00 Uhr");
  At(9, 10, 0);
  EXPECT_EQ(Next("Both"), "30 Minute(n)");
  At(9, 17, 30);  // the fixed time is exactly one interval away
  EXPECT_EQ(Next("Both"), "30 Minute(n)");
  At(9, 18, 10);
  EXPECT_EQ(Next("Both"), "30 Minute(n)");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Both"), Date(2003, 7, 10, 18));
}

TEST_F(Schedule, ExcludedWeekdays) {
  Task("Work", {{kIntervall, 30}, {rec::kOnSaturday, 0}, {rec::kOnSunday, 0}});
  At(12, 9, 0);  // Saturday
  EXPECT_EQ(Next("Work"), "Montag");
  At(13, 23, 59);
  EXPECT_EQ(Next("Work"), "Montag");
  At(14, 0, 0);
  EXPECT_EQ(Next("Work"), "30 Minute(n)");

  FixedTime("Weekly", "18:00", {{rec::kOnMonday, 0}, {rec::kOnTuesday, 0}, {rec::kOnThursday, 0},
                                {rec::kOnFriday, 0}, {rec::kOnSaturday, 0}, {rec::kOnSunday, 0}});
  At(9, 19, 0);
  EXPECT_EQ(Next("Weekly"), "Mittwoch");  // today's name, one week ahead
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Weekly"), Date(2003, 7, 16, 18));
}

TEST_F(Schedule, WindowsBinding) {
  FixedTime("Nowhere", "18:00",
            {{rec::kOnMonday, 0}, {rec::kOnTuesday, 0}, {rec::kOnWednesday, 0}, {rec::kOnThursday, 0},
             {rec::kOnFriday, 0}, {rec::kOnSaturday, 0}, {rec::kOnSunday, 0},
             {rec::kOnWindowsEnabled, 1}});
  EXPECT_EQ(Next("Nowhere"), "n/a");  // no day at all: the binding does not apply
  EXPECT_EQ(engine.GetTaskDate("Nowhere"), 0.0);

  FixedTime("Thu", "18:00", {{rec::kOnMonday, 0}, {rec::kOnTuesday, 0}, {rec::kOnWednesday, 0},
                             {rec::kOnFriday, 0}, {rec::kOnSaturday, 0}, {rec::kOnSunday, 0},
                             {rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 0}});
  EXPECT_EQ(Next("Thu"), "Bei Systemstart");  // a later day gives way to the binding
  At(10, 8, 0);
  EXPECT_EQ(Next("Thu"), "18:00 Uhr");  // never when the run is today
  At(9, 10, 0);
  Task("Thu", {{rec::kOnWindows, 1}}, {}, false);
  EXPECT_EQ(Next("Thu"), "Bei Shutdown");
  Task("Thu", {{rec::kOnWindows, 7}}, {}, false);
  EXPECT_EQ(Next("Thu"), "Bei Shutdown");

  Task("Off", {{kTimeEnabled, 0}, {kIntEnabled, 0}, {rec::kOnWindowsEnabled, 1}});
  EXPECT_EQ(Next("Off"), "Bei Systemstart");
  Task("Off", {{rec::kOnWindowsEnabled, 0}}, {}, false);
  EXPECT_EQ(Next("Off"), "n/a");
}

TEST_F(Schedule, MonthDays) {
  std::string days(31, '0');
  days[0] = days[14] = '1';  // the 1st and the 15th
  FixedTime("Monthly", "08:00", {{kDayRestriction, 1}});
  Task("Monthly", {}, {{rec::kMonthDays, days}}, false);
  At(10, 12, 0);
  EXPECT_EQ(Next("Monthly"), "15.07.2003");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Monthly"), Date(2003, 7, 15, 8));
  At(20, 12, 0);
  EXPECT_EQ(Next("Monthly"), "01.08.2003");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Monthly"), Date(2003, 8, 1, 8));
  At(15, 7, 0);
  EXPECT_EQ(Next("Monthly"), "08:00 Uhr");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Monthly"), Date(2003, 7, 15, 8));
  At(31, 9, 0, 12, 2003);  // over the year's end
  EXPECT_EQ(Next("Monthly"), "01.01.2004");
}

TEST_F(Schedule, MonthDayThatTheNextMonthLacks) {
  FixedTime("Last", "08:00", {{kDayRestriction, 1}});
  Task("Last", {}, {{rec::kMonthDays, std::string(30, '0') + "1"}}, false);
  At(30, 12, 0, 4);
  EXPECT_EQ(Next("Last"), "31.05.2003");
  At(31, 12, 0, 1);  // February has no 31st: the 31st of March
  EXPECT_EQ(Next("Last"), "31.03.2003");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Last"), Date(2003, 3, 31, 8));

  Task("Leap", {}, {{rec::kMonthDays, std::string(28, '0') + "1"}, {kTime, "08:00"}});
  Task("Leap", {{kTimeEnabled, 1}, {kIntEnabled, 0}, {kDayRestriction, 1}}, {}, false);
  At(31, 12, 0, 1, 2004);
  EXPECT_EQ(Next("Leap"), "29.02.2004");
  EXPECT_DOUBLE_EQ(engine.GetTaskDate("Leap"), Date(2004, 2, 29, 8));
  At(31, 12, 0, 1, 2003);
  EXPECT_EQ(Next("Leap"), "29.03.2003");

  Task("Short", {}, {{rec::kMonthDays, "1"}, {kTime, "08:00"}});  // shorter than 31
  Task("Short", {{kTimeEnabled, 1}, {kIntEnabled, 0}, {kDayRestriction, 1}}, {}, false);
  At(10, 12, 0);
  EXPECT_EQ(Next("Short"), "01.08.2003");
}

TEST_F(Schedule, MonthDayRuleWithoutMonthDays) {
  FixedTime("Bare", "08:00", {{kDayRestriction, 1}});
  Remove("Bare", rec::kMonthDays);
  EXPECT_EQ(Next("Bare"), "n/a");
  EXPECT_EQ(engine.GetTaskDate("Bare"), 0.0);
  Task("Bare", {{rec::kOnWindowsEnabled, 1}}, {}, false);
  EXPECT_EQ(Next("Bare"), "Bei Systemstart");
  Task("Chosen", {{kDayRestriction, 1}}, {{rec::kMonthDays, std::string(31, '0')}});
  EXPECT_EQ(Next("Chosen"), "n/a");  // no day chosen
}

TEST_F(Schedule, IdleAndFileChangeKinds) {
  Task("Idle", {{rec::kTaskAuto, 1}, {rec::kIdleTime, 15}});
  EXPECT_EQ(engine.SetMinutesText("Idle").kind, "Leerlauf");
  EXPECT_EQ(Next("Idle"), "15 Minute(n)");
  Task("Idle", {{rec::kOnIdle, 0}, {rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 1}}, {}, false);
  EXPECT_EQ(Next("Idle"), "Bei Shutdown");
  EXPECT_EQ(engine.GetTaskDate("Idle"), 0.0);

  Task("Watch", {{rec::kTaskAuto, 2}, {rec::kOnWindowsEnabled, 1}});
  EXPECT_EQ(engine.SetMinutesText("Watch").kind, "Überwachung");
  EXPECT_EQ(Next("Watch"), "Bei Dateiänderung");  // the binding never applies here
  Task("Watch", {{rec::kChangeFiles, 0}}, {}, false);
  EXPECT_EQ(Next("Watch"), "n/a");

  Task("Odd", {{rec::kTaskAuto, 7}});
  EXPECT_EQ(engine.SetMinutesText("Odd").kind, "Uhrzeit");
  EXPECT_EQ(Next("Odd"), "10 Minute(n)");
}

TEST_F(Schedule, ValuesOfEarlierVersionsAndBrokenValues) {
  // An early task key: no TimeEnabled, IntEnabled, DayRestriction, MonthDays or weekdays.
  Task("Old", {{rec::kTaskAuto, 0}, {kIntervall, 10}}, {{kTime, "18:00"}}, false);
  EXPECT_EQ(Next("Old"), "n/a");
  EXPECT_EQ(engine.GetTaskDate("Old"), 0.0);

  EXPECT_THROW(engine.SetMinutesText("Missing"), RegistryError);
  EXPECT_EQ(engine.GetTaskDate("Missing"), 0.0);

  Task("NoAuto", {});
  Remove("NoAuto", rec::kTaskAuto);
  EXPECT_THROW(engine.SetMinutesText("NoAuto"), RegistryError);

  Task("BadBinding", {{rec::kOnWindowsEnabled, 1}, {kTimeEnabled, 0}, {kIntEnabled, 0}},
       {{rec::kOnWindows, "0"}});
  EXPECT_THROW(engine.SetMinutesText("BadBinding"), RegistryError);

  FixedTime("BadTime", "ab:cd", {{kIntEnabled, 1}});
  EXPECT_THROW(engine.SetMinutesText("BadTime"), ConvertError);
  EXPECT_THROW(engine.GetTaskDate("BadTime"), ConvertError);
  Task("BadDay", {}, {{rec::kOnFriday, "1"}});
  EXPECT_THROW(engine.SetMinutesText("BadDay"), RegistryError);
}

}  // namespace
}  // namespace orv::testing
