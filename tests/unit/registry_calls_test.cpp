// How many registry calls the list loading and the minute tick make per task. Each call is a
// round trip (under Wine to the wineserver): a task key is opened once, each of its values read
// at most once, and a row that only counts down reads no more than its missed-run check needs.
#include <map>
#include <set>
#include <utility>

#include "platform/prompter.h"
#include "unit/counting_registry.h"
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

struct NullTimer : JobTimer {
  bool on = true;
  void SetEnabled(bool enabled) override { on = enabled; }
  bool Enabled() const override { return on; }
};

class RegistryCalls : public EngineTest {
 protected:
  RegistryCalls() {
    counted.SetServices(Services{&shell, &files, &power, &http, nullptr, nullptr, &timer});
    counted.SetReporter([this](const std::string& text) { reports.push_back(text); });
  }

  // The usual mix of tasks as the editor saves them, `perKind` of each: an interval countdown,
  // a fixed time, a fixed time on chosen month days, an idle countdown and a file watch.
  void StoreMix(int perKind) {
    for (int i = 0; i < perKind; ++i) {
      const std::string n = std::to_string(i);
      Task("Intervall " + n, {{rec::kIntervall, 30}});
      Task("Uhrzeit " + n, {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}},
           {{rec::kTime, "18:00"}});
      Task("Monatstage " + n,
           {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}, {rec::kDayRestriction, 1}},
           {{rec::kTime, "07:30"}, {rec::kMonthDays, "1000000000000001000000000000001"}});
      Task("Leerlauf " + n, {{rec::kTaskAuto, 1}, {rec::kIdleTime, 60}});
      Task("Akte " + n, {{rec::kTaskAuto, 2}});
      registry.SetRaw(rec::FilesKey("Akte " + n), "C:\\akte.txt",
                      RawValue{kRegBinary, {0, 0, 0, 0, 0, 0, 0xF0, 0xBF}});  // -1.0: no file
    }
  }

  // Every task key opened once and none of its values read twice since the last reset.
  void ExpectEachKeyOnceAndEachValueOnce() {
    std::map<std::string, int> opens;
    std::set<std::pair<std::string, std::string>> queried;
    for (const auto& call : counting.Calls()) {
      if (call.op == CountingRegistry::Op::Open) ++opens[call.key];
      if (call.op == CountingRegistry::Op::Query) {
        EXPECT_TRUE(queried.emplace(call.key, call.name).second)
            << call.key << " " << call.name << " read twice";
      }
    }
    for (const TaskRow& row : counted.Tasks().Rows()) {
      const std::string key = *NormaliseKeyPath(rec::TaskKey(row.name));
      EXPECT_EQ(opens[key], 1) << row.name;
    }
  }

  double PerTask() const {
    return static_cast<double>(counting.Total()) / static_cast<double>(counted.Tasks().Size());
  }

  CountingRegistry counting{registry};
  NullTimer timer;
  Engine counted{counting, clock, locale, messages};
};

TEST_F(RegistryCalls, ListLoadingOpensEachTaskOnce) {
  StoreMix(20);
  counted.GetTasks();
  ASSERT_EQ(counted.Tasks().Size(), 100u);
  EXPECT_TRUE(reports.empty());
  ExpectEachKeyOnceAndEachValueOnce();
  // Per task its key's open and close and the values its row's text and its start binding
  // need: 5 for a watch, 6 for an idle task, 15 or 16 for a clock task with its seven weekday
  // values (an average of 11.4 over the mix), and the enumeration of the task keys.
  EXPECT_LE(PerTask(), 13.0);
}

TEST_F(RegistryCalls, OneTickReadsEachValueOnce) {
  StoreMix(20);
  counted.GetTasks();
  counting.Reset();
  clock.Set(2003, 7, 9, 10, 1);  // nothing is due
  counted.TimerJobsTimer();
  ExpectEachKeyOnceAndEachValueOnce();
  // The fixed-time rows recompute their text once (15 and 17 calls with the open, the close
  // and the stored next start), the countdowns read only their stored next start (3), a watch
  // row its list (5) and its key (5): 9.6 over the mix.
  EXPECT_LE(PerTask(), 10.0);
}

TEST_F(RegistryCalls, ACountdownRowOnlyOpensItsKeyForTheMissedRunCheck) {
  for (int i = 0; i < 50; ++i) {
    Task("Intervall " + std::to_string(i), {{rec::kIntervall, 30}});
    Task("Leerlauf " + std::to_string(i), {{rec::kTaskAuto, 1}, {rec::kIdleTime, 60}});
  }
  counted.GetTasks();
  counting.Reset();
  clock.Set(2003, 7, 9, 10, 1);
  counted.TimerJobsTimer();
  EXPECT_EQ(counting.Count(CountingRegistry::Op::Open), 100);
  EXPECT_EQ(counting.Count(CountingRegistry::Op::Query), 100);  // NextExecution
  EXPECT_EQ(counting.Total(), 300);
  EXPECT_EQ(counted.Tasks().Row(0).next, "29 Minute(n)");
  EXPECT_EQ(counted.Tasks().Row(50).next, "60 Minute(n)");  // idle: counts only while idle
}

}  // namespace
}  // namespace orv::testing
