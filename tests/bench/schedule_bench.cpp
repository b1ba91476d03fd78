// How long the scheduler's routines take over many stored tasks, on the in-memory registry.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/platform.h"
#include "idle/dsrSleeper.h"
#include "platform/prompter.h"
#include "engine/engine.h"
#include "support/registry_memory.h"
#include "store/task_record.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"
#include "../unit/counting_registry.h"
#include "../unit/record_switch_registry.h"

namespace orv {
namespace {

// 1000 tasks of the usual mix: interval, fixed time, month days, idle and file change.
struct Fixture {
  MemoryRegistry registry;
  SettableClock clock{LocalTime{2003, 7, 9, 10, 0, 0, 0}};
  GermanTestLocale locale;
  MessageTable messages;
  Engine engine{registry, clock, locale, messages};
  std::vector<std::string> names;

  explicit Fixture(int count) {
    messages.Fill();
    RegistryAccessor reg(registry);
    for (int i = 0; i < count; ++i) {
      const std::string name = "Task " + std::to_string(i);
      names.push_back(name);
      reg.OpenKey(rec::TaskKey(name), true);
      reg.WriteInteger(rec::kTaskAuto, i % 10 == 8 ? 1 : i % 10 == 9 ? 2 : 0);
      reg.WriteBool(rec::kOnIdle, true);
      reg.WriteInteger(rec::kIdleTime, 10);
      reg.WriteBool(rec::kChangeFiles, true);
      reg.WriteBool(rec::kIntEnabled, i % 3 != 1);
      reg.WriteInteger(rec::kIntervall, 5 + i % 50);
      reg.WriteBool(rec::kTimeEnabled, i % 3 != 0);
      reg.WriteString(rec::kTime, i % 2 ? "18:00" : "07:30");
      reg.WriteInteger(rec::kDayRestriction, i % 7 == 0 ? 1 : 0);
      reg.WriteString(rec::kMonthDays, "1000000000000001000000000000001");
      for (int d = 1; d <= 7; ++d)
        reg.WriteBool(rec::kWeekdayValue[static_cast<std::size_t>(d)], d != 1);
      reg.WriteBool(rec::kOnWindowsEnabled, false);
      reg.WriteInteger(rec::kOnWindows, 0);
      reg.WriteInteger(rec::kTaskType, 0);
      reg.WriteString(rec::kProgram, "C:\\nowhere.exe");
      reg.WriteBool(rec::kParam, false);
      reg.WriteString(rec::kProgramShow, "SW_SHOW");
    }
  }
};

void BM_SetMinutesText1000(benchmark::State& state) {
  Fixture f(1000);
  for (auto _ : state)
    for (const auto& name : f.names) benchmark::DoNotOptimize(f.engine.SetMinutesText(name));
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SetMinutesText1000)->Unit(benchmark::kMillisecond);

void BM_GetTaskDate1000(benchmark::State& state) {
  Fixture f(1000);
  for (auto _ : state)
    for (const auto& name : f.names) benchmark::DoNotOptimize(f.engine.GetTaskDate(name));
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_GetTaskDate1000)->Unit(benchmark::kMillisecond);

struct NullTimer : JobTimer {
  bool on = true;
  void SetEnabled(bool enabled) override { on = enabled; }
  bool Enabled() const override { return on; }
};

// One minute tick over the whole list, minute after minute (countdowns run down and fire,
// fixed times are recomputed twice, every row gets its missed-run check).
// Registry calls (round trips) per task of one list loading and of the tick after it, counted
// outside the timed loop on an engine of their own.
void CountCalls(Fixture& f, benchmark::State& state, bool tick) {
  testing::CountingRegistry counting(f.registry);
  counting.record = false;
  Engine engine{counting, f.clock, f.locale, f.messages};
  NullTimer timer;
  engine.SetServices(Services{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &timer});
  engine.GetTasks();
  if (tick) {
    counting.Reset();
    f.clock.AdvanceMinutes(1);
    engine.TimerJobsTimer();
  }
  state.counters["calls/task"] =
      static_cast<double>(counting.Total()) / static_cast<double>(f.names.size());
}

// The second argument: 1 with the record of runs written as ever, 0 with its writes going
// nowhere (the same ticks otherwise). For the two side by side, alternating:
// --benchmark_filter=TimerJobsTimer/1000 --benchmark_repetitions=5
// --benchmark_enable_random_interleaving=true
void BM_TimerJobsTimer(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  testing::RecordSwitchRegistry switched(f.registry);
  switched.writeRecord = state.range(1) != 0;
  Engine engine{switched, f.clock, f.locale, f.messages};
  NullTimer timer;
  engine.SetServices(Services{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &timer});
  engine.GetTasks();
  for (auto _ : state) {
    f.clock.AdvanceMinutes(1);
    engine.TimerJobsTimer();
  }
  CountCalls(f, state, true);
}
BENCHMARK(BM_TimerJobsTimer)
    ->Args({10, 1})
    ->Args({100, 1})
    ->Args({1000, 1})
    ->Args({1000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_GetTasks(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  for (auto _ : state) f.engine.GetTasks();
  CountCalls(f, state, false);
}
BENCHMARK(BM_GetTasks)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv

// One input event as the hook procedures handle it: a mouse move to a new place while the
// user is present, and a key press that ends an idle period (a broadcast to two windows).
void BM_HookMouseMove(benchmark::State& state) {
  orv::TSleeperShared block{};
  std::uint32_t posts = 0;
  std::int32_t x = 0;
  for (auto _ : state) {
    orv::OnMouseEvent(block, orv::kWmMouseMove, ++x & 1023, 10, 1234, [&](std::uint32_t) { ++posts; });
    benchmark::DoNotOptimize(block.LastTick);
  }
  benchmark::DoNotOptimize(posts);
}
BENCHMARK(BM_HookMouseMove);

void BM_HookKeyWake(benchmark::State& state) {
  orv::TSleeperShared block{};
  orv::RegisterSleeperWindow(block, 1);
  orv::RegisterSleeperWindow(block, 2);
  std::uint32_t posts = 0;
  for (auto _ : state) {
    block.Sleeping = 1;
    orv::OnKeyboardEvent(block, 1234, [&](std::uint32_t w) { posts += w; });
    benchmark::DoNotOptimize(block.Sleeping);
  }
  benchmark::DoNotOptimize(posts);
}
BENCHMARK(BM_HookKeyWake);

BENCHMARK_MAIN();
