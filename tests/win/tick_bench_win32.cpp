// Times the scheduler on the real registry under Windows (or Wine): list loading and one minute
// tick over 10, 100 and 1000 stored tasks, and the registry calls per task; and the ticks once
// with the record of runs written and once with its writes going nowhere, in alternating rounds
// of the same run. Prints the figures; exit 1 only far beyond budget.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/prompter.h"
#include "engine/engine.h"
#include "platform/win32/registry_win32.h"
#include "store/task_record.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"
#include "../unit/counting_registry.h"
#if __has_include("store/run_history.h")
#include "store/run_history.h"
#include "../unit/record_switch_registry.h"
#define ORV_BENCH_HISTORY 1
#endif

namespace {

struct NullTimer : orv::JobTimer {
  bool on = true;
  void SetEnabled(bool enabled) override { on = enabled; }
  bool Enabled() const override { return on; }
};

void Store(orv::RegistryBackend& registry, int count) {
  using namespace orv;
  RegistryAccessor reg(registry);
  reg.DeleteKey(rec::kSettingsKey);
  for (int i = 0; i < count; ++i) {
    reg.OpenKey(rec::TaskKey("Task " + std::to_string(i)), true);
    reg.WriteInteger(rec::kTaskAuto, i % 10 == 8 ? 1 : i % 10 == 9 ? 2 : 0);
    reg.WriteBool(rec::kOnIdle, true);
    reg.WriteInteger(rec::kIdleTime, 10);
    reg.WriteBool(rec::kChangeFiles, true);
    reg.WriteBool(rec::kIntEnabled, i % 3 != 1);
    reg.WriteInteger(rec::kIntervall, 5 + i % 50);
    reg.WriteBool(rec::kTimeEnabled, i % 3 != 0);
    reg.WriteString(rec::kTime, i % 2 ? "18:00" : "07:30");
    reg.WriteInteger(rec::kDayRestriction, 0);
    for (int d = 1; d <= 7; ++d) reg.WriteBool(rec::kWeekdayValue[static_cast<std::size_t>(d)], true);
    reg.WriteBool(rec::kConfirm, false);
    reg.WriteInteger(rec::kRecover, 1);
    reg.WriteDateTime(rec::kNextExecution, 0.0);
    reg.WriteInteger(rec::kTaskType, 0);
    reg.WriteString(rec::kProgram, "C:\\nowhere.exe");
    reg.WriteBool(rec::kParam, false);
    reg.WriteString(rec::kProgramShow, "SW_SHOW");
  }
  reg.CloseKey();
#ifdef ORV_BENCH_HISTORY
  // A full record of runs, as after some days: each run rewrites all of it.
  std::deque<RunEntry> full;
  for (std::size_t i = 0; i < RunHistory::kCapacity; ++i)
    full.push_back({37000.0 + static_cast<double>(i) / 1440, "Task " + std::to_string(i % 1000),
                    RunTrigger::kTime, i % 7 ? RunOutcome::kDone : RunOutcome::kFailed,
                    i % 7 ? "" : "Programm nicht gefunden: C:\\nowhere.exe"});
  if (auto key = registry.Open("Software\\Velmora\\Orvalis", true, true))
    registry.Set(*key, rec::kHistory, RawValue{kRegBinary, RunHistory::Encode(full)});
#endif
}

double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

// Each figure is the median of several runs: the machine may be busy with other work. Every
// round stores the tasks and the full record afresh and times one list loading and seven ticks
// on a fresh engine; the rounds with and without the record's writes take turns, so that a
// busy spell of the machine falls on both alike.
int main() {
  using namespace orv;
  Win32Registry real;
#ifdef ORV_BENCH_HISTORY
  testing::RecordSwitchRegistry switched(real);
  testing::CountingRegistry registry(switched);
  const bool modes[] = {true, false};  // the record written, and not
#else
  testing::CountingRegistry registry(real);
  const bool modes[] = {true};
#endif
  registry.record = false;
  GermanTestLocale locale;
  MessageTable messages;
  messages.Fill();
  int status = 0;
  constexpr int kRounds = 5, kTicks = 7, kFirstWithRuns = 4;
  for (int count : {10, 100, 1000}) {
    // Per mode: the loadings, all ticks, and the ticks in which tasks run (the 5th to 7th: the
    // first ticks only count down; from the fifth on, tasks with short intervals run).
    std::vector<double> loads[2], ticks[2], withRuns[2];
    double slowest[2] = {0.0, 0.0};
    long loadCalls = 0, tickCalls = 0, tickCount = 0;
    for (int round = 0; round < kRounds; ++round) {
      for (std::size_t turn = 0; turn < std::size(modes); ++turn) {
        const std::size_t mode = (turn + static_cast<std::size_t>(round)) % std::size(modes);
#ifdef ORV_BENCH_HISTORY
        switched.writeRecord = modes[mode];
#endif
        Store(real, count);
        SettableClock clock(LocalTime{2003, 7, 9, 10, 0, 0, 0});
        Engine engine(registry, clock, locale, messages);
        NullTimer timer;
        engine.SetServices(Services{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &timer});
        registry.Reset();
        auto t0 = std::chrono::steady_clock::now();
        engine.GetTasks();
        loads[mode].push_back(Ms(std::chrono::steady_clock::now() - t0));
        loadCalls = registry.Total();
        if (engine.Tasks().Size() != static_cast<std::size_t>(count)) status = 1;
        for (int i = 0; i < kTicks; ++i) {
          clock.AdvanceMinutes(1);
          registry.Reset();
          t0 = std::chrono::steady_clock::now();
          engine.TimerJobsTimer();
          const double ms = Ms(std::chrono::steady_clock::now() - t0);
          ticks[mode].push_back(ms);
          if (i >= kFirstWithRuns) withRuns[mode].push_back(ms);
          slowest[mode] = std::max(slowest[mode], ms);
          if (modes[mode]) {
            tickCalls += registry.Total();
            ++tickCount;
          }
        }
      }
    }
    const double tick = Median(ticks[0]);
    std::printf("real registry, %4d tasks: list loaded in %8.1f ms (%.1f calls per task), "
                "one tick %8.1f ms (%.1f calls per task)\n",
                count, Median(loads[0]), static_cast<double>(loadCalls) / count, tick,
                static_cast<double>(tickCalls) / static_cast<double>(tickCount) / count);
    std::printf("real registry, %4d tasks: ticks with runs (5th to 7th) %8.1f ms (median), "
                "slowest %8.1f ms\n", count, Median(withRuns[0]), slowest[0]);
    if (std::size(modes) > 1) {
      std::printf("real registry, %4d tasks: record of runs written / not written, medians of "
                  "%d rounds each, alternating: all ticks %8.1f / %8.1f ms, ticks with runs "
                  "%8.1f / %8.1f ms, slowest %8.1f / %8.1f ms\n",
                  count, kRounds, Median(ticks[0]), Median(ticks[1]), Median(withRuns[0]),
                  Median(withRuns[1]), slowest[0], slowest[1]);
    }
    if (tick > 30000) status = 1;
  }
  RegistryAccessor(real).DeleteKey(rec::kSettingsKey);
  return status;
}
