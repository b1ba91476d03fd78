#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "engine/engine.h"
#include "platform/locale.h"
#include "store/registry.h"
#include "support/registry_memory.h"
#include "store/task_record.h"
#include "base/messages.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"

namespace orv {
namespace {

std::string Hm(int h, int m) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d", h, m);
  return buf;
}

class EngineTime : public ::testing::Test {
 protected:
  EngineTime() { messages.Fill(); }
  MemoryRegistry registry;
  SettableClock clock;
  GermanTestLocale locale;
  MessageTable messages;
  Engine engine{registry, clock, locale, messages};
};

TEST(EngineText, TimeTextCutsSecondsAndWrapsAtMidnight) {
  EXPECT_EQ(Engine::TimeText(EncodeTime(12, 34, 59)), "12:34");
  EXPECT_EQ(Engine::TimeText(EncodeTime(12, 34, 59, 999)), "12:34");
  EXPECT_EQ(Engine::TimeText(0.0), "00:00");
  EXPECT_EQ(Engine::TimeText(EncodeTime(7, 5)), "07:05");
  EXPECT_EQ(Engine::TimeText(EncodeTime(23, 50) + 30 / 1440.0), "00:20");
  EXPECT_EQ(Engine::TimeText(EncodeTime(25, 5)), "01:05");
  EXPECT_EQ(Engine::TimeText(37809.75), "18:00");
  for (int m = 0; m < 1440; ++m) {
    const std::string text = Hm(m / 60, m % 60);
    ASSERT_EQ(Engine::TimeText(Engine::TimeOfText(text)), text);
    ASSERT_EQ(Engine::TimeText(m / 1440.0), text);
  }
}

TEST(EngineText, TimeOfTextAcceptsOnlyTimesOfDay) {
  EXPECT_EQ(Engine::TimeOfText("00:00"), 0.0);
  EXPECT_EQ(Engine::TimeOfText("18:00"), 0.75);
  EXPECT_EQ(Engine::TimeOfText("23:59"), EncodeTime(23, 59));
  for (const char* bad : {"", "18", "18:", ":30", "24:00", "23:60", "18:0", "18:000", "ab:cd",
                          "-1:30", "12:34:56", "12-30", "1x:00"})
    EXPECT_THROW(Engine::TimeOfText(bad), ConvertError) << bad;
}

TEST(EngineText, ConvertToIntKeepsDigitsWithinInt32) {
  const std::pair<std::string, std::string> cases[] = {
      {"15 Minute(n)", "15"}, {"007", "007"}, {" Minute(n)", "0"}, {"", "0"},
      {"-3 Minute(n)", "3"}, {"1a2b3", "123"}, {"ä5€", "5"},
      {"2147483647", "2147483647"}, {"2147483648", "0"}, {"4294967296", "0"},
      {"02147483647", "02147483647"}, {"02147483648", "0"}, {std::string(30, '9'), "0"},
      {"000000000000000000001", "000000000000000000001"}};
  for (const auto& [text, want] : cases) EXPECT_EQ(Engine::ConvertToInt(text), want) << text;
}

TEST_F(EngineTime, FillDaysArrayReadsWeekdayValuesAndRejectsOtherTypes) {
  RegistryAccessor reg(registry);
  ASSERT_TRUE(reg.OpenKey(rec::TaskKey("Backup"), true));
  reg.WriteBool(rec::kOnMonday, false);
  reg.CloseKey();
  engine.FillDaysArray("Backup");
  for (int d = 1; d <= 7; ++d) EXPECT_EQ(engine.DayFlag(d), d != 2) << d;
  EXPECT_FALSE(engine.DayFlag(0));
  EXPECT_FALSE(engine.DayFlag(8));

  // Every day written, non-zero values of any size count as true.
  ASSERT_TRUE(reg.OpenKey(rec::TaskKey("Week"), true));
  for (int d = 1; d <= 7; ++d) reg.WriteInteger(rec::kWeekdayValue[d], d % 2 ? 0 : d * 1000);
  reg.CloseKey();
  registry.SetRaw(rec::TaskKey("Week"), rec::kOnSaturday, RawValue{kRegDword, {0, 0, 0, 0x80}});
  engine.FillDaysArray("week");  // task names are case-blind like the registry
  for (int d = 1; d <= 6; ++d) EXPECT_EQ(engine.DayFlag(d), d % 2 == 0) << d;
  EXPECT_TRUE(engine.DayFlag(7));

  // A task without a key allows every day again.
  engine.FillDaysArray("Missing");
  for (int d = 1; d <= 7; ++d) EXPECT_TRUE(engine.DayFlag(d)) << d;

  // A weekday value of another type is an error, not a guess.
  registry.SetRaw(rec::TaskKey("Text"), rec::kOnFriday, RawValue{kRegSz, {'0', 0, 0, 0}});
  EXPECT_THROW(engine.FillDaysArray("Text"), RegistryError);
  registry.SetRaw(rec::TaskKey("Bin"), rec::kOnSunday, RawValue{kRegBinary, {1, 0, 0, 0}});
  EXPECT_THROW(engine.FillDaysArray("Bin"), RegistryError);
}

TEST_F(EngineTime, GetMinutesCountsForwardToTheTarget) {
  EXPECT_EQ(engine.GetMinutes("00:00", "23:59"), 1);
  EXPECT_EQ(engine.GetMinutes("08:00", "22:00"), 600);
  EXPECT_EQ(engine.GetMinutes("18:00", "17:30"), 30);
  EXPECT_EQ(engine.GetMinutes("17:30", "18:00"), 1410);
  EXPECT_EQ(engine.GetMinutes("18.30", "18:00"), 30);  // the separator is not looked at
  EXPECT_EQ(engine.GetMinutes("25:70", "00:00"), 1570);
  for (int m = 0; m < 1440; ++m) {
    const std::string t = Hm(m / 60, m % 60);
    engine.SetDueCheckMode(false);
    ASSERT_EQ(engine.GetMinutes(t, t), 1439) << t;
    engine.SetDueCheckMode(true);
    ASSERT_EQ(engine.GetMinutes(t, t), 0) << t;
  }
  engine.SetDueCheckMode(false);
  for (int a = 0; a < 1440; a += 13)
    for (int b = 0; b < 1440; b += 17) {
      if (a == b) continue;
      const int d = engine.GetMinutes(Hm(a / 60, a % 60), Hm(b / 60, b % 60));
      ASSERT_TRUE(d >= 1 && d <= 1439 && (b + d) % 1440 == a) << a << " " << b;
    }
  for (const char* bad : {"", "1", "ab:cd", "12:xx", "1x:00", "12:"})
    EXPECT_THROW(engine.GetMinutes(bad, "12:00"), ConvertError) << bad;
  EXPECT_THROW(engine.GetMinutes("12:00", "xx:00"), ConvertError);
}

TEST_F(EngineTime, GetDateOverInBothModes) {
  for (bool due : {false, true}) {
    engine.SetDueCheckMode(due);
    EXPECT_EQ(engine.GetDateOver("18:00", "18:00"), !due);
    EXPECT_FALSE(engine.GetDateOver("18:00", "17:59"));
    EXPECT_TRUE(engine.GetDateOver("18:00", "18:01"));
    EXPECT_TRUE(engine.GetDateOver("00:00", "23:59"));
    for (const auto& [a, b] : {std::pair{"8:00", "18:00"}, std::pair{"18:00", "8:00"},
                               std::pair{"18:000", "18:00"}, std::pair{"18:00", "18:00 "},
                               std::pair{"", "18:00"}, std::pair{"18:00", ""},
                               std::pair{"ä1:0", "18:00"}})
      EXPECT_FALSE(engine.GetDateOver(a, b)) << a << "|" << b << " due " << due;
    EXPECT_THROW(engine.GetDateOver("ab:cd", "18:00"), ConvertError);
    EXPECT_THROW(engine.GetDateOver("18:00", "18:0x"), ConvertError);
    EXPECT_THROW(engine.GetDateOver("1ä:00", "18:00"), ConvertError);
  }
}

TEST_F(EngineTime, CalendarFollowsTheClock) {
  clock.Set(2003, 7, 7, 14, 35, 20);
  EXPECT_EQ(engine.Today(), 37809.0);
  EXPECT_EQ(engine.Now(), 37809.0 + EncodeTime(14, 35, 20));
  EXPECT_EQ(engine.CurrentTimeOfDay(), EncodeTime(14, 35, 20));
  EXPECT_EQ(engine.WeekdayOfNow(), 2);
  EXPECT_EQ(engine.DayOfMonthOfNow(), 7);
  EXPECT_EQ(engine.DaysInCurrentMonth(), 31);
  EXPECT_EQ(engine.NowTimeText(), "14:35");
  EXPECT_EQ(engine.DateText(engine.Today()), "07.07.2003");

  clock.Set(2000, 2, 10, 0, 0);
  EXPECT_EQ(engine.DaysInCurrentMonth(), 29);
  clock.Set(2100, 2, 10, 0, 0);
  EXPECT_EQ(engine.DaysInCurrentMonth(), 28);
  clock.Set(2003, 4, 30, 23, 59, 59);
  EXPECT_EQ(engine.DaysInCurrentMonth(), 30);
  EXPECT_EQ(engine.Today(), EncodeDate(2003, 4, 30));
  EXPECT_EQ(engine.WeekdayOfNow(), 4);  // Wednesday
}

TEST_F(EngineTime, AdvanceMinutesCrossesMonthAndYearEnds) {
  const auto now = [&] { return engine.DateText(engine.Today()) + " " + engine.NowTimeText(); };
  const struct {
    int y, mo, d, h, mi, minutes;
    const char* want;
  } cases[] = {{2003, 12, 31, 23, 30, 45, "01.01.2004 00:15"},
               {2004, 2, 28, 23, 59, 1, "29.02.2004 00:00"},
               {2004, 2, 29, 0, 0, 1440, "01.03.2004 00:00"},
               {2003, 2, 28, 23, 59, 1, "01.03.2003 00:00"},
               {2003, 8, 1, 0, 10, -20, "31.07.2003 23:50"}};
  for (const auto& c : cases) {
    clock.Set(c.y, c.mo, c.d, c.h, c.mi, 15);
    clock.AdvanceMinutes(c.minutes);
    EXPECT_EQ(now(), c.want);
    EXPECT_EQ(clock.Now().second, 15);
  }
  clock.Set(2003, 7, 9, 10, 0);
  for (int i = 0; i < 1440 * 3; ++i) clock.AdvanceMinutes(1);  // no drift minute by minute
  EXPECT_EQ(now(), "12.07.2003 10:00");
  EXPECT_EQ(engine.WeekdayOfNow(), 7);
}

TEST_F(EngineTime, DaylightSavingJumpGivesWallClockTexts) {
  // Sunday 30 March 2003: the clock goes from 01:59 straight to 03:00.
  clock.Set(2003, 3, 30, 1, 59);
  EXPECT_EQ(engine.WeekdayOfNow(), 1);
  EXPECT_EQ(engine.NowTimeText(), "01:59");
  EXPECT_EQ(engine.GetMinutes("02:30", engine.NowTimeText()), 31);
  clock.Set(2003, 3, 30, 3, 0);
  EXPECT_EQ(engine.NowTimeText(), "03:00");
  EXPECT_TRUE(engine.GetDateOver("02:30", engine.NowTimeText()));
  EXPECT_EQ(engine.GetMinutes("02:30", engine.NowTimeText()), 1410);
}

}  // namespace
}  // namespace orv
