// The record of runs: how each run path reports its outcome, the bounded list under the
// settings key, and the preview of the next starts against what the minute tick then does.
#include <algorithm>
#include <deque>
#include <functional>
#include <random>
#include <thread>

#include "net/http.h"
#include "platform/prompter.h"
#include "platform/socket.h"
#include "engine/task_store.h"
#include "store/run_history.h"
#include "support/fake_tls.h"
#include "unit/counting_registry.h"
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

struct NoPump : MessagePump {
  void PumpOnce() override {}
};
struct Timer : JobTimer {
  bool on = true;
  void SetEnabled(bool enabled) override { on = enabled; }
  bool Enabled() const override { return on; }
};
// Answers every question with `answer`.
struct Answering : Prompter {
  int answer = kAnswerYes;
  int asked = 0;
  PromptResult AskConfirm(const std::string&) override { return {answer, (++asked, false)}; }
  PromptResult AskRecover(const std::string&) override { return {answer, (++asked, false)}; }
};

class RunRecord : public EngineTest {
 public:
  RunRecord() {
    engine.SetServices(Services{&shell, &files, &power, &http, &prompter, &pump, &timer});
    files.existing = {"C:\\run.exe"};
  }
  const std::deque<RunEntry>& Entries() { return engine.History().Entries(); }
  using EngineTest::clock;
  using EngineTest::engine;
  using EngineTest::files;
  using EngineTest::http;
  using EngineTest::registry;
  using EngineTest::shell;
  using EngineTest::Task;

  NoPump pump;
  Timer timer;
  Answering prompter;
};

// A fixture of its own for each case of a table.
template <class Fixture>
struct Fresh : Fixture {
  void TestBody() override {}
};

// How each trigger is set up on a task and then fired.
struct TriggerCase {
  const char* name;
  RunTrigger trigger;
  std::map<std::string, int> ints;
  std::function<void(RunRecord&, const std::string&)> fire;
  bool asks;  // the path asks the confirmation or recovery question
};

// What makes a run end one way or the other.
struct OutcomeCase {
  const char* name;
  RunOutcome outcome;
  const char* reasonPart;
  std::map<std::string, int> ints;
  std::map<std::string, std::string> texts;
  std::function<void(RunRecord&)> arrange;
};

std::vector<TriggerCase> Triggers() {
  const auto tickAt = [](int minute) {
    return [minute](RunRecord& t, const std::string&) {
      t.clock.Set(2003, 7, 9, 10, minute);
      t.engine.TimerJobsTimer();
    };
  };
  return {
      {"Uhrzeit", RunTrigger::kTime, {{rec::kIntervall, 1}}, tickAt(1), true},
      {"Leerlauf", RunTrigger::kIdle, {{rec::kTaskAuto, 1}, {rec::kIdleTime, 1}},
       [](RunRecord& t, const std::string&) {
         t.engine.SetIdleLabelVisible(true);
         t.clock.Set(2003, 7, 9, 10, 1);
         t.engine.TimerJobsTimer();
       },
       true},
      {"Änderung", RunTrigger::kChange, {{rec::kTaskAuto, 2}},
       [](RunRecord& t, const std::string& name) {
         RegistryAccessor reg(t.registry);
         reg.OpenKey(rec::FilesKey(name), true);
         reg.WriteDateTime("C:\\watched.txt", 1.0);
         t.files.stamps["C:\\watched.txt"] = 2.0;
         t.clock.Set(2003, 7, 9, 10, 1);
         t.engine.TimerJobsTimer();
       },
       true},
      {"Systemstart", RunTrigger::kSystemStart,
       {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, rec::kOnWindowsStart}},
       [](RunRecord& t, const std::string&) { t.engine.GetTasks(); }, false},
      {"Shutdown", RunTrigger::kShutdown,
       {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, rec::kOnWindowsShutdown}},
       [](RunRecord& t, const std::string&) { t.engine.QueryEndSession(); }, false},
      {"Starten", RunTrigger::kStart, {},
       [](RunRecord& t, const std::string& name) {
         t.engine.Tasks().Row(*t.engine.Tasks().Find(name)).selected = true;
         t.engine.FlatButtonExecuteClick();
       },
       false},
      {"nachgeholt", RunTrigger::kRecovered,
       {{rec::kIntervall, 600}, {rec::kRecover, rec::kRecoverCatchUp}},
       [](RunRecord& t, const std::string& name) {
         RegistryAccessor reg(t.registry);
         reg.OpenKey(rec::TaskKey(name), false);
         reg.WriteDateTime(rec::kNextExecution, EncodeDate(2003, 7, 9) + 0.25);  // 06:00
         t.clock.Set(2003, 7, 9, 10, 1);
         t.engine.TimerJobsTimer();
       },
       true},
  };
}

std::vector<OutcomeCase> Outcomes() {
  return {
      {"Ausgeführt", RunOutcome::kDone, "", {}, {}, nullptr},
      {"kein Programm", RunOutcome::kFailed, "Programm nicht gefunden: C:\\fehlt.exe", {},
       {{rec::kProgram, "C:\\fehlt.exe"}}, nullptr},
      {"Shell lehnt ab", RunOutcome::kFailed, "kann nicht geöffnet werden", {}, {},
       [](RunRecord& t) { t.shell.fail = true; }},
      {"HTTP", RunOutcome::kFailed, "Verbindung fehlgeschlagen",
       {{rec::kTaskType, rec::kTaskInternet}, {rec::kInBrowser, 0}}, {},
       [](RunRecord& t) { t.http.fail = true; }},
      {"Bedingung", RunOutcome::kSkipped, "Programmbedingung",
       {{rec::kProgramActionEnabled, 1}, {rec::kProgramAction, rec::kProgramActive}},
       {{rec::kProgramActionFile, "C:\\tool.exe"}},
       [](RunRecord& t) { t.files.existing.insert("C:\\tool.exe"); }},  // present, not running
      {"Wert unlesbar", RunOutcome::kFailed, "Registrierungswert 'ProgramShow'",
       {{rec::kProgramShow, 5}}, {}, nullptr},  // a number where a name belongs
      {"Nein", RunOutcome::kDeclined, "", {{rec::kConfirm, 1}, {rec::kRecover, rec::kRecoverAsk}},
       {}, [](RunRecord& t) { t.prompter.answer = kAnswerNo; }},
  };
}

TEST_F(RunRecord, EachOutcomeOfEachTrigger) {
  for (const TriggerCase& trigger : Triggers()) {
    for (const OutcomeCase& outcome : Outcomes()) {
      if (outcome.outcome == RunOutcome::kDeclined && !trigger.asks) continue;
      SCOPED_TRACE(std::string(trigger.name) + " / " + outcome.name);
      Fresh<RunRecord> t;  // a fresh registry and engine for each pair
      std::map<std::string, int> ints = trigger.ints;
      ints.emplace(rec::kConfirm, 0);
      ints.emplace(rec::kRecover, rec::kRecoverSkip);
      for (const auto& [k, v] : outcome.ints) ints[k] = v;
      if (outcome.outcome == RunOutcome::kDeclined && trigger.trigger != RunTrigger::kRecovered)
        ints[rec::kRecover] = rec::kRecoverSkip;
      if (trigger.trigger == RunTrigger::kRecovered)
        ints[rec::kConfirm] = 0;
      std::map<std::string, std::string> texts{{rec::kProgram, "C:\\run.exe"}};
      for (const auto& [k, v] : outcome.texts) texts[k] = v;
      t.Task("Job", {}, texts);
      for (const auto& [k, v] : ints) {
        if (k == rec::kProgramShow) {
          t.registry.SetRaw(rec::TaskKey("Job"), k, RawValue{kRegDword, {5, 0, 0, 0}});
          continue;
        }
        RegistryAccessor reg(t.registry);
        reg.OpenKey(rec::TaskKey("Job"), false);
        reg.WriteInteger(k, v);
      }
      if (outcome.arrange) outcome.arrange(t);
      if (trigger.trigger != RunTrigger::kSystemStart) t.engine.GetTasks();
      t.clock.Set(2003, 7, 9, 10, 0);
      trigger.fire(t, "Job");

      const auto& entries = t.Entries();
      ASSERT_EQ(entries.size(), 1u);
      const RunEntry& e = entries.back();
      EXPECT_EQ(e.task, "Job");
      EXPECT_EQ(e.trigger, trigger.trigger);
      EXPECT_EQ(e.outcome, outcome.outcome);
      EXPECT_NE(e.reason.find(outcome.reasonPart), std::string::npos) << e.reason;
      EXPECT_EQ(RunTriggerText(e.trigger), std::string(trigger.name));
      EXPECT_GT(e.when, EncodeDate(2003, 7, 9));
    }
  }
}

TEST_F(RunRecord, SkippedRunsAndWhatTheyAreCalled) {
  // A missed run skipped by its rule.
  Task("Verpasst", {{rec::kIntervall, 600}, {rec::kConfirm, 0}, {rec::kRecover, rec::kRecoverSkip}},
       {{rec::kProgram, "C:\\run.exe"}});
  // A once-per-session task bound to the shutdown that ran already.
  Task("Einmal", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, rec::kOnWindowsShutdown},
                  {rec::kOncePerSession, 1}, {rec::kConfirm, 0}},
       {{rec::kProgram, "C:\\run.exe"}});
  engine.GetTasks();
  {
    RegistryAccessor reg(registry);
    reg.OpenKey(rec::TaskKey("Verpasst"), false);
    reg.WriteDateTime(rec::kNextExecution, EncodeDate(2003, 7, 9) + 0.25);
  }
  clock.Set(2003, 7, 9, 10, 1);
  engine.TimerJobsTimer();
  engine.QueryEndSession();  // runs "Einmal"
  engine.QueryEndSession();  // the session's end comes again: once is enough
  ASSERT_EQ(Entries().size(), 3u);
  EXPECT_EQ(RunOutcomeText(Entries()[0]), "Übersprungen (verpasster Start)");
  EXPECT_EQ(Entries()[0].trigger, RunTrigger::kRecovered);
  EXPECT_EQ(RunOutcomeText(Entries()[1]), "Ausgeführt");
  EXPECT_EQ(RunOutcomeText(Entries()[2]), "Übersprungen (einmal pro Sitzung)");
  EXPECT_EQ(Entries()[2].trigger, RunTrigger::kShutdown);
  EXPECT_EQ(shell.calls.size(), 1u);
}

TEST_F(RunRecord, KeepsTheLast500AndReadsThemBackAfterARestart) {
  Task("A", {{rec::kConfirm, 0}}, {{rec::kProgram, "C:\\run.exe"}});
  for (int i = 0; i < 503; ++i) {
    clock.Set(AddMinutes(LocalTime{2003, 7, 9, 10, 0, 0, 0}, i));
    engine.ExecuteTask("A");
  }
  ASSERT_EQ(Entries().size(), RunHistory::kCapacity);
  const double oldestKept = EncodeDateTime(AddMinutes(LocalTime{2003, 7, 9, 10, 0, 0, 0}, 3));
  EXPECT_NEAR(Entries().front().when, oldestKept, 1e-9);

  Engine restarted(registry, clock, locale, messages);
  const auto& again = restarted.History().Entries();
  ASSERT_EQ(again.size(), RunHistory::kCapacity);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), Entries().begin()));
  ASSERT_TRUE(restarted.History().LastOf("a"));
  EXPECT_NEAR(restarted.History().LastOf("a")->when, Entries().back().when, 1e-9);

  restarted.History().Clear();
  EXPECT_TRUE(Engine(registry, clock, locale, messages).History().Entries().empty());
}

TEST_F(RunRecord, AFailedWriteOfTheRecordLeavesTheRunAlone) {
  // The settings key refuses the record; the task's own values are written as ever.
  struct HistoryRefused : CountingRegistry {
    using CountingRegistry::CountingRegistry;
    bool Set(Key& key, const std::string& name, const RawValue& value) override {
      if (name == rec::kHistory) throw RegistryError("Zugriff verweigert");
      return CountingRegistry::Set(key, name, value);
    }
  } refusing(registry);
  Engine other(refusing, clock, locale, messages);
  other.SetServices(Services{&shell, &files, &power, &http});
  other.SetRunObserver([](const RunEntry&) { throw std::runtime_error("observer"); });
  Task("A", {{rec::kConfirm, 0}, {rec::kTimeEnabled, 1}}, {{rec::kProgram, "C:\\run.exe"}});
  other.ExecuteTask("A");
  EXPECT_EQ(shell.calls.size(), 1u);
  EXPECT_GT(NextExecution("A"), 0.0);  // the run went to its end
  ASSERT_EQ(other.History().Entries().size(), 1u);  // kept for this session
  EXPECT_EQ(other.History().Entries()[0].outcome, RunOutcome::kDone);
}

// A network of the test's own behind the real HTTP client: "status.example" answers 500,
// "still.example" accepts and never answers, "zertifikat.example" fails the TLS handshake over
// its certificate, any other name does not resolve.
class ScriptedNetwork : public SocketLayer {
 public:
  std::vector<SocketAddress> Resolve(const std::string& host, std::uint16_t port,
                                     bool) override {
    const char* const hosts[] = {"status.example", "still.example", "zertifikat.example"};
    for (std::uint8_t i = 0; i < 3; ++i)
      if (host == hosts[i]) return {SocketAddress::Ipv4(10, 0, 0, i, port)};
    return {};
  }
  std::unique_ptr<Connection> Connect(const SocketAddress& address, NetStatus* status) override {
    *status = NetStatus::kOk;
    switch (address.bytes[3]) {
      case 0:
        return std::make_unique<Answer>(
            "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
      case 1:
        return std::make_unique<Answer>("", true);
      default:
        return std::make_unique<Answer>(FakeRecord(22, "bad certificate"));
    }
  }
  std::unique_ptr<Listener> ListenLoopback() override { return nullptr; }

 private:
  // Plays `data` back, then ends the stream; or, with `silent`, waits out every read.
  class Answer : public Connection {
   public:
    explicit Answer(std::string data, bool silent = false)
        : data_(std::move(data)), silent_(silent) {}
    NetStatus FinishConnect(int) override { return NetStatus::kOk; }
    NetStatus Send(const char*, std::size_t size, std::size_t* sent, int) override {
      *sent = size;
      return NetStatus::kOk;
    }
    NetStatus Receive(char* buffer, std::size_t size, std::size_t* received, int ms) override {
      if (silent_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return NetStatus::kWouldBlock;
      }
      if (data_.empty()) return NetStatus::kClosed;
      *received = std::min(size, data_.size());
      std::copy_n(data_.data(), *received, buffer);
      data_.erase(0, *received);
      return NetStatus::kOk;
    }
    void ShutdownSend() override {}
    void Abort() override {}

   private:
    std::string data_;
    bool silent_;
  };
};

TEST_F(RunRecord, AFailedFetchIsRecordedWithAShortReason) {
  HttpClient client(std::make_shared<ScriptedNetwork>(), std::make_shared<FakeTlsLayer>());
  engine.SetServices(Services{&shell, &files, &power, &client, &prompter, &pump, &timer});
  // A long address: the reason names the kind of failure, not the address, and is not cut.
  const std::string path = "/cron/" + std::string(150, 'p') + "?schluessel=geheim";
  const struct {
    const char* task;
    std::string url;
    std::vector<std::string> kind;  // what the reason names
  } cases[] = {{"Status", "http://status.example" + path, {"Status 500"}},
               {"Still", "http://still.example" + path, {"Zeitüberschreitung"}},
               {"Name", "http://niemand.example" + path, {"Name", "niemand.example"}},
               {"Zertifikat", "https://zertifikat.example" + path, {"Zertifikat"}}};
  for (const auto& c : cases) {
    Task(c.task, {{rec::kTaskType, rec::kTaskInternet}, {rec::kInBrowser, 0}, {rec::kConfirm, 0},
                  {rec::kTimeoutEnabled, 1}, {rec::kTimeout, 200}},
         {{rec::kURL, c.url}});
    engine.ExecuteTask(c.task);
  }
  ASSERT_EQ(Entries().size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const RunEntry& e = Entries()[i];
    const std::string text = RunOutcomeText(e);
    EXPECT_EQ(e.task, cases[i].task);
    EXPECT_EQ(e.outcome, RunOutcome::kFailed) << text;
    EXPECT_EQ(text.rfind("Fehler: ", 0), 0u) << text;
    for (const std::string& part : cases[i].kind)
      EXPECT_NE(e.reason.find(part), std::string::npos) << text;
    EXPECT_EQ(e.reason.find("ppp"), std::string::npos) << text;
    EXPECT_LT(e.reason.size(), 80u) << text;
    EXPECT_EQ(e.reason.back(), '.') << text;
  }
  // The failures only went into the record: nothing was shown.
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(shell.calls.empty());
}

// Damaged stored values: never a crash, never a read past the data, never an impossible entry.
TEST(RunHistoryValue, DamageIsIgnored) {
  std::deque<RunEntry> sound;
  for (int i = 0; i < 20; ++i)
    sound.push_back({EncodeDate(2026, 12, 8) + i / 1440.0, "Task " + std::to_string(i),
                     static_cast<RunTrigger>(i % kRunTriggerCount),
                     static_cast<RunOutcome>(i % kRunOutcomeCount), i % 2 ? "Grund" : ""});
  const std::vector<std::uint8_t> good = RunHistory::Encode(sound);
  ASSERT_EQ(RunHistory::Decode(good), sound);

  const auto plausible = [](const std::deque<RunEntry>& entries) {
    for (const RunEntry& e : entries) {
      if (static_cast<int>(e.trigger) >= kRunTriggerCount) return false;
      if (static_cast<int>(e.outcome) >= kRunOutcomeCount) return false;
      if (!(e.when > -657435.0 && e.when < 2958466.0)) return false;
      if (e.reason.size() > RunHistory::kMaxReason) return false;
    }
    return entries.size() <= RunHistory::kCapacity;
  };
  // Every cut keeps exactly the entries that are whole.
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
    const auto entries = RunHistory::Decode(cut);
    ASSERT_TRUE(plausible(entries));
    ASSERT_LE(entries.size(), sound.size());
    EXPECT_TRUE(std::equal(entries.begin(), entries.end(), sound.begin()));
  }
  // Random damage and random values.
  std::mt19937 random(16);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> data = good;
    if (round % 3 == 0) {
      data.resize(random() % 300);
      for (auto& b : data) b = static_cast<std::uint8_t>(random());
      if (data.size() >= 4 && round % 2) std::copy(good.begin(), good.begin() + 4, data.begin());
    } else {
      for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips)
        data[random() % data.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
    }
    ASSERT_TRUE(plausible(RunHistory::Decode(data)));
  }

  // In the registry: a damaged value, or one of another type, reads as an empty record, and
  // the next run writes a sound one over it.
  MemoryRegistry registry;
  for (const RawValue& bad : {RawValue{kRegBinary, {'O', 'R', 'H'}},
                              RawValue{kRegSz, {'x', 0}},
                              RawValue{kRegBinary, std::vector<std::uint8_t>(70000, 0xFF)}}) {
    registry.SetRaw(rec::kSettingsKey, rec::kHistory, bad);
    RunHistory history(registry);
    EXPECT_TRUE(history.Entries().empty());
    history.Add(sound.front());
    EXPECT_EQ(RunHistory(registry).Entries().size(), 1u);
  }
}

// The preview against the tick: a week of ticks, one each minute, runs exactly what the preview
// said at the rule's save.
class Preview : public RunRecord {
 public:
  std::vector<double> TickAWeek(const std::string& name, const LocalTime& start) {
    clock.Set(start);
    engine.GetTasks();
    for (int i = 1; i <= 7 * 1440; ++i) {
      clock.AdvanceMinutes(1);
      engine.TimerJobsTimer();
    }
    // Runs by the rule itself; a fixed time that an interval's countdown hid is a missed run
    // for the Recover rule ("nachgeholt"), which the preview does not show.
    std::vector<double> runs;
    for (const RunEntry& e : Entries())
      if (e.task == name && e.trigger == RunTrigger::kTime) runs.push_back(e.when);
    return runs;
  }
  void Compare(const std::string& name, const LocalTime& start) {
    RegistryAccessor reg(registry);
    reg.OpenKeyReadOnly(rec::TaskKey(name));
    const ClockRule rule = engine.ReadClockRule(reg);
    reg.CloseKey();
    const double from = EncodeDateTime(start);
    const std::vector<double> runs = TickAWeek(name, start);
    ASSERT_FALSE(runs.empty());
    const std::vector<double> preview =
        engine.NextStarts(rule, from, static_cast<int>(runs.size()) + 1);
    ASSERT_GT(preview.size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i)
      EXPECT_NEAR(preview[i], runs[i], 0.5 / 86400) << "start " << i;
    EXPECT_GT(preview[runs.size()], from + 7.0);  // the next one lies beyond the week
  }
};

TEST_F(Preview, EqualsWhatTheTickRunsOverAWeek) {
  const LocalTime wednesday{2003, 7, 9, 10, 0, 0, 0};
  const std::map<std::string, int> base{{rec::kConfirm, 0}, {rec::kRecover, rec::kRecoverSkip}};
  const auto with = [&](std::map<std::string, int> more) {
    for (const auto& [k, v] : base) more.emplace(k, v);
    return more;
  };
  struct Case {
    const char* name;
    std::map<std::string, int> ints;
    std::string time, monthDays;
    LocalTime start;
  };
  std::string lastDays(31, '0');
  lastDays[29] = lastDays[30] = lastDays[0] = '1';  // the 30th, 31st and 1st
  const Case cases[] = {
      {"Intervall", with({{rec::kIntervall, 97}}), "18:00", "", wednesday},
      {"Werktage", with({{rec::kIntervall, 300}, {rec::kOnSaturday, 0}, {rec::kOnSunday, 0}}),
       "18:00", "", LocalTime{2003, 7, 11, 22, 7, 0, 0}},
      {"Uhrzeit", with({{rec::kIntEnabled, 0}, {rec::kTimeEnabled, 1}}), "07:30", "", wednesday},
      {"Uhrzeit und Intervall", with({{rec::kIntervall, 45}, {rec::kTimeEnabled, 1}}), "18:20",
       "", wednesday},
      {"Mo Mi Fr", with({{rec::kIntEnabled, 0}, {rec::kTimeEnabled, 1}, {rec::kOnTuesday, 0},
                         {rec::kOnThursday, 0}, {rec::kOnSaturday, 0}, {rec::kOnSunday, 0}}),
       "00:00", "", wednesday},
      // April has no 31st: the 30th, then the 1st of May.
      {"Monatsende", with({{rec::kIntEnabled, 0}, {rec::kTimeEnabled, 1},
                           {rec::kDayRestriction, rec::kRestrictMonthDays}}),
       "06:15", lastDays, LocalTime{2026, 4, 27, 9, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh<Preview> t;
    std::map<std::string, std::string> texts{{rec::kProgram, "C:\\run.exe"}, {rec::kTime, c.time}};
    if (!c.monthDays.empty()) texts[rec::kMonthDays] = c.monthDays;
    t.Task(c.name, c.ints, texts);
    t.Compare(c.name, c.start);
  }
}

TEST_F(Preview, AMonthWithoutTheChosenDayIsPassedOver) {
  std::string days(31, '0');
  days[30] = '1';
  ClockRule rule;
  rule.timeOn = true;
  rule.time = "12:00";
  rule.byMonthDays = true;
  rule.monthDays = days;
  const auto starts = engine.NextStarts(rule, EncodeDate(2026, 1, 31) + 0.6, 4);
  ASSERT_EQ(starts.size(), 4u);
  const double noon = 0.5;
  EXPECT_NEAR(starts[0], EncodeDate(2026, 3, 31) + noon, 1e-9);
  EXPECT_NEAR(starts[1], EncodeDate(2026, 5, 31) + noon, 1e-9);
  EXPECT_NEAR(starts[2], EncodeDate(2026, 7, 31) + noon, 1e-9);
  EXPECT_NEAR(starts[3], EncodeDate(2026, 8, 31) + noon, 1e-9);
  rule.monthDays = std::string(31, '0');
  EXPECT_TRUE(engine.NextStarts(rule, EncodeDate(2026, 1, 31), 5).empty());
}

TEST_F(Preview, TheEditorsRuleIsTheStoredOne) {
  // What the editor holds, saved, gives the rule the scheduler then reads.
  TaskEditorState state;
  state.name = "Gespeichert";
  state.program = "C:\\run.exe";
  state.intEnabled = false;
  state.timeEnabled = true;
  state.time = "7:05";
  state.weekdays = {true, false, false, false, true, false, true};  // Mo, Fr, So
  SaveTask(engine, files, state, std::string());
  RegistryAccessor reg(registry);
  reg.OpenKeyReadOnly(rec::TaskKey("Gespeichert"));
  const ClockRule stored = engine.ReadClockRule(reg);
  const ClockRule edited = ClockRuleOf(state);
  const double from = EncodeDateTime(LocalTime{2003, 7, 9, 10, 0, 0, 0});  // a Wednesday
  const auto starts = engine.NextStarts(edited, from, 4);
  EXPECT_EQ(starts, engine.NextStarts(stored, from, 4));
  ASSERT_EQ(starts.size(), 4u);
  EXPECT_NEAR(starts[0], EncodeDate(2003, 7, 11) + EncodeTime(7, 5), 1e-9);  // Friday
  EXPECT_NEAR(starts[1], EncodeDate(2003, 7, 13) + EncodeTime(7, 5), 1e-9);  // Sunday
  EXPECT_NEAR(starts[2], EncodeDate(2003, 7, 14) + EncodeTime(7, 5), 1e-9);  // Monday
}

}  // namespace
}  // namespace orv::testing
