// The countdown before a warned system action, on the settable clock: it runs the action at
// zero, never after "Abbrechen" or the session's end, starts again after a postponement, and
// never holds up the tick.
#include <optional>

#include "platform/prompter.h"
#include "engine/task_store.h"
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

struct FakeCountdownView : CountdownView {
  std::optional<std::string> line;  // what shows; none while hidden
  std::string task;
  int shown = 0;                    // times it came up from hidden
  void Show(const std::string& name, const std::string& text) override {
    if (!line) ++shown;
    line = text;
    task = name;
  }
  void Hide() override { line.reset(); }
};

struct AnswerYes : Prompter {
  int asked = 0;
  int answer = kAnswerYes;
  PromptResult AskConfirm(const std::string&) override {
    ++asked;
    return {answer, false};
  }
  PromptResult AskRecover(const std::string&) override { return {kAnswerNo, false}; }
};

class Countdown : public EngineTest {
 protected:
  Countdown() {
    engine.SetServices(Services{&shell, &files, &power, &http, &prompter});
    engine.SetCountdownView(&view);
    files.existing = {"C:\\run.exe"};
  }
  // A restart task with the warning of `seconds`, run by the tick every minute when asked.
  void Restart(const std::string& name, int seconds, std::map<std::string, int> ints = {}) {
    ints.emplace(rec::kTaskType, rec::kTaskSystem);
    ints.emplace(rec::kSystem, rec::kSystemRestart);
    ints.emplace(rec::kConfirm, 0);
    ints.emplace(rec::kWarnEnabled, 1);
    ints.emplace(rec::kWarnSeconds, seconds);
    Task(name, ints);
  }
  // The clock at 10:mm:ss on the test's day, then the window's one-second timer.
  void At(int minute, int second) {
    clock.Set(2003, 7, 9, 10, minute, second);
    engine.CountdownTick();
  }

  FakeCountdownView view;
  AnswerYes prompter;
};

TEST(CountdownText, SaysWhatEachActionDoesToTheComputer) {
  SystemAction action;
  action.code = rec::kSystemRestart;
  EXPECT_EQ(CountdownText(action, 30), "Der Computer wird in 30 Sekunden neu gestartet.");
  action.code = rec::kSystemShutdown;
  EXPECT_EQ(CountdownText(action, 30), "Der Computer wird in 30 Sekunden heruntergefahren.");
  action.powerOff = true;
  EXPECT_EQ(CountdownText(action, 30), "Der Computer wird in 30 Sekunden ausgeschaltet.");
  // Switching off belongs to the shutdown alone.
  action.code = rec::kSystemStandby;
  EXPECT_EQ(CountdownText(action, 30),
            "Der Computer wird in 30 Sekunden in den Standby-Modus versetzt.");
  action.code = rec::kSystemLogoff;
  EXPECT_EQ(CountdownText(action, 30), "Der Computer wird in 30 Sekunden abgemeldet.");
  EXPECT_EQ(CountdownText(action, 2), "Der Computer wird in 2 Sekunden abgemeldet.");
  EXPECT_EQ(CountdownText(action, 1), "Der Computer wird in 1 Sekunde abgemeldet.");
}

TEST_F(Countdown, RunsTheActionWhenItReachesZeroAndShowsTheSecondsMeanwhile) {
  Restart("Neustart", 30);
  engine.ExecuteTask("Neustart");
  EXPECT_TRUE(power.exits.empty()) << "the run hands the restart to the countdown";
  ASSERT_TRUE(view.line);
  EXPECT_EQ(*view.line, "Der Computer wird in 30 Sekunden neu gestartet.");
  EXPECT_EQ(view.task, "Neustart");

  At(0, 29);
  EXPECT_EQ(*view.line, "Der Computer wird in 1 Sekunde neu gestartet.");
  EXPECT_TRUE(power.exits.empty());
  At(0, 30);
  EXPECT_EQ(power.exits, std::vector<std::uint32_t>{kEwxReboot});
  EXPECT_FALSE(view.line) << "the window goes with the countdown";
  At(1, 0);
  EXPECT_EQ(power.exits.size(), 1u) << "once";

  // "Jetzt ausführen" runs the action before its time, with the task's own flags.
  Restart("Aus", 600, {{rec::kSystem, rec::kSystemShutdown}, {rec::kPowerOff, 1},
                       {rec::kForceNot, 0}});
  engine.ExecuteTask("Aus");
  ASSERT_TRUE(view.line);
  EXPECT_EQ(*view.line, "Der Computer wird in 600 Sekunden ausgeschaltet.");
  engine.CountdownDecide(CountdownDecision::kRunNow);
  EXPECT_EQ(power.exits.back(), std::uint32_t{kEwxPoweroff | kEwxForce});
  EXPECT_FALSE(engine.Countdown().Pending());
}

TEST_F(Countdown, CancelAndTheSessionsEndNeverRunTheAction) {
  Restart("Neustart", 30);
  engine.ExecuteTask("Neustart");
  At(0, 10);
  engine.CountdownDecide(CountdownDecision::kCancel);
  EXPECT_FALSE(view.line);
  At(0, 40);
  At(20, 0);
  EXPECT_TRUE(power.exits.empty());
  EXPECT_FALSE(engine.Countdown().Pending());
  // The run itself is done: its next start was written as for any run.
  EXPECT_TRUE(RegistryAccessor(registry).KeyExists(rec::TaskKey("Neustart")));

  // The session ends while it counts, and while it waits after a postponement.
  engine.ExecuteTask("Neustart");
  ASSERT_TRUE(engine.Countdown().Pending());
  engine.QueryEndSession();
  EXPECT_FALSE(engine.Countdown().Pending());
  EXPECT_FALSE(view.line);
  engine.ExecuteTask("Neustart");
  engine.CountdownDecide(CountdownDecision::kPostpone);
  engine.Stop();  // the program ends (WM_ENDSESSION, "Beenden")
  At(59, 0);
  EXPECT_TRUE(power.exits.empty());
}

// The run is recorded when the countdown ends, not when it starts: "Ausgeführt" at zero,
// "Abgelehnt" on "Abbrechen", "Übersprungen" at the session's end or when another counts.
TEST_F(Countdown, TheRecordTellsHowTheCountdownEnded) {
  Restart("Neustart", 30);
  Restart("Zweiter", 30);
  auto last = [&](const char* task) { return engine.History().LastOf(task); };
  clock.Set(2003, 7, 9, 10, 0, 0);
  engine.ExecuteTask("Neustart", RunTrigger::kTime);
  EXPECT_FALSE(last("Neustart")) << "nothing is recorded while it counts";
  engine.ExecuteTask("Zweiter");
  ASSERT_TRUE(last("Zweiter"));
  EXPECT_EQ(last("Zweiter")->outcome, RunOutcome::kSkipped);
  At(0, 30);
  ASSERT_TRUE(last("Neustart"));
  EXPECT_EQ(last("Neustart")->outcome, RunOutcome::kDone);
  EXPECT_EQ(last("Neustart")->trigger, RunTrigger::kTime);

  engine.ExecuteTask("Neustart");
  engine.CountdownDecide(CountdownDecision::kCancel);
  EXPECT_EQ(last("Neustart")->outcome, RunOutcome::kDeclined);
  const std::size_t runs = engine.History().Entries().size();
  engine.ExecuteTask("Neustart");
  engine.QueryEndSession();
  EXPECT_EQ(last("Neustart")->outcome, RunOutcome::kSkipped);
  EXPECT_EQ(engine.History().Entries().size(), runs + 1) << "one record per run";
}

TEST_F(Countdown, PostponingStartsTheCountdownAgainAfterFifteenMinutes) {
  Restart("Neustart", 30);
  clock.Set(2003, 7, 9, 10, 0, 0);
  engine.ExecuteTask("Neustart");
  At(0, 20);
  engine.CountdownDecide(CountdownDecision::kPostpone);
  EXPECT_FALSE(view.line) << "hidden while it waits";
  At(15, 19);
  EXPECT_FALSE(view.line);
  EXPECT_TRUE(power.exits.empty()) << "the old deadline has passed long ago";
  At(15, 20);
  ASSERT_TRUE(view.line);
  EXPECT_EQ(*view.line, "Der Computer wird in 30 Sekunden neu gestartet.");
  EXPECT_EQ(view.shown, 2);
  At(15, 49);
  EXPECT_TRUE(power.exits.empty());
  At(15, 50);
  EXPECT_EQ(power.exits.size(), 1u);
}

TEST_F(Countdown, TheTickGoesOnWhileItCountsAndAsksBeforeItStarts) {
  // A program task every minute and a warned restart at 10:01 that asks first.
  Task("Lauf", {{rec::kIntervall, 1}, {rec::kConfirm, 0}, {rec::kParam, 1}},
       {{rec::kProgram, "C:\\run.exe"}, {rec::kParamString, "Lauf"}});
  Restart("Neustart", 600, {{rec::kIntervall, 1}, {rec::kConfirm, 1}});
  engine.GetTasks();
  clock.Set(2003, 7, 9, 10, 1, 0);
  engine.TimerJobsTimer();
  EXPECT_EQ(prompter.asked, 1) << "the question comes first";
  EXPECT_TRUE(engine.Countdown().Pending()) << "then the countdown";
  EXPECT_EQ(shell.calls.size(), 1u);

  for (int minute = 2; minute <= 5; ++minute) {
    clock.Set(2003, 7, 9, 10, minute, 0);
    engine.TimerJobsTimer();
    engine.CountdownTick();
  }
  EXPECT_EQ(shell.calls.size(), 5u) << "the program task ran every minute meanwhile";
  EXPECT_TRUE(power.exits.empty());
  EXPECT_EQ(prompter.asked, 5) << "the restart's own later runs were asked about";
  At(11, 0);
  EXPECT_EQ(power.exits.size(), 1u) << "one countdown at a time: the later runs passed over";

  // "Nein" to the question: no countdown at all.
  prompter.answer = kAnswerNo;
  clock.Set(2003, 7, 9, 10, 12, 0);
  engine.TimerJobsTimer();
  EXPECT_FALSE(engine.Countdown().Pending());
}

TEST_F(Countdown, AStoredTaskWithoutTheValuesRunsAtOnceAndBadValuesStillWarn) {
  Restart("Alt", 30);
  Remove("Alt", rec::kWarnEnabled);
  Remove("Alt", rec::kWarnSeconds);
  engine.ExecuteTask("Alt");
  EXPECT_EQ(power.exits, std::vector<std::uint32_t>{kEwxReboot});
  EXPECT_FALSE(view.line);

  Restart("Aus", 30, {{rec::kWarnEnabled, 0}});
  engine.ExecuteTask("Aus");
  EXPECT_EQ(power.exits.size(), 2u);

  // Out of range: brought into 5..600. Of another type: the warning with its default length.
  Restart("Kurz", 1);
  engine.ExecuteTask("Kurz");
  ASSERT_TRUE(view.line);
  EXPECT_EQ(*view.line, "Der Computer wird in 5 Sekunden neu gestartet.");
  engine.CountdownDecide(CountdownDecision::kCancel);
  Restart("Text", 0);
  Task("Text", {}, {{rec::kWarnEnabled, "ja"}, {rec::kWarnSeconds, "viel"}}, false);
  engine.ExecuteTask("Text");
  ASSERT_TRUE(view.line);
  EXPECT_EQ(*view.line, "Der Computer wird in 30 Sekunden neu gestartet.");
  EXPECT_EQ(power.exits.size(), 2u);
}

}  // namespace
}  // namespace orv::testing
