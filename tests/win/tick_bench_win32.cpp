// Times the scheduler on the real registry under Windows (or Wine): list loading and one minute
// tick over 10, 100 and 1000 stored tasks, and the registry calls per task. Prints the figures;
// exit 1 only far beyond budget.
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

// Each figure is the median of several runs: the machine may be busy with other work.
int main() {
  using namespace orv;
  Win32Registry real;
  testing::CountingRegistry registry(real);
  registry.record = false;
  SettableClock clock(LocalTime{2003, 7, 9, 10, 0, 0, 0});
  GermanTestLocale locale;
  MessageTable messages;
  messages.Fill();
  int status = 0;
  for (int count : {10, 100, 1000}) {
    Store(real, count);
    Engine engine(registry, clock, locale, messages);
    NullTimer timer;
    engine.SetServices(Services{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &timer});
    constexpr int kRuns = 7;
    std::vector<double> loads, ticks;
    long loadCalls = 0, tickCalls = 0;
    for (int i = 0; i < kRuns; ++i) {
      registry.Reset();
      auto t0 = std::chrono::steady_clock::now();
      engine.GetTasks();
      loads.push_back(Ms(std::chrono::steady_clock::now() - t0));
      loadCalls = registry.Total();
    }
    for (int i = 0; i < kRuns; ++i) {
      clock.AdvanceMinutes(1);
      registry.Reset();
      const auto t0 = std::chrono::steady_clock::now();
      engine.TimerJobsTimer();
      ticks.push_back(Ms(std::chrono::steady_clock::now() - t0));
      tickCalls += registry.Total();
    }
    const double tick = Median(ticks);
    // The first ticks only count down; from the fifth on, tasks with short intervals run.
    double slowest = 0.0, withRuns = 0.0;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      slowest = std::max(slowest, ticks[i]);
      if (i >= 4) withRuns += ticks[i] / static_cast<double>(ticks.size() - 4);
    }
    std::printf("real registry, %4d tasks: list loaded in %8.1f ms (%.1f calls per task), "
                "one tick %8.1f ms (%.1f calls per task)\n",
                count, Median(loads), static_cast<double>(loadCalls) / count, tick,
                static_cast<double>(tickCalls) / kRuns / count);
    std::printf("real registry, %4d tasks: ticks with runs (5th to 7th) %8.1f ms on average, "
                "slowest %8.1f ms\n", count, withRuns, slowest);
    if (engine.Tasks().Size() != static_cast<std::size_t>(count)) status = 1;
    if (tick > 30000) status = 1;
  }
  RegistryAccessor(real).DeleteKey(rec::kSettingsKey);
  return status;
}
