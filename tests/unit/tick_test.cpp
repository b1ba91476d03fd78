// The minute tick on fakes, minute by minute: countdowns, fixed times, confirmations, missed
// runs, watched files, and what happens when tasks change while a question waits.
#include <deque>
#include <functional>
#include <utility>

#include "platform/prompter.h"
#include "engine/task_store.h"
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

struct FakeTimer : JobTimer {
  bool on = true;
  int switchedOn = 0;
  void SetEnabled(bool enabled) override {
    on = enabled;
    switchedOn += enabled;
  }
  bool Enabled() const override { return on; }
};

struct FakePump : MessagePump {
  int pumps = 0;
  std::function<void()> meanwhile;  // once, after `skip` more pumps (a click handled there)
  int skip = 0;
  void PumpOnce() override {
    ++pumps;
    if (meanwhile && skip-- == 0) std::exchange(meanwhile, nullptr)();
  }
};

// Answers questions from a script; a step may also act while "its" question is open.
struct ScriptedPrompter : Prompter {
  struct Step {
    int answer = kAnswerYes;
    bool tick = false;  // the check box; it keeps its state like the real dialogs
    std::function<void()> meanwhile;
  };
  std::deque<Step> confirmSteps, recoverSteps;
  std::vector<std::string> asked;
  bool confirmBox = false, recoverBox = false;

  PromptResult Answer(std::deque<Step>& steps, bool& box, const std::string& line) {
    asked.push_back(line);
    Step step = steps.empty() ? Step{} : steps.front();
    if (!steps.empty()) steps.pop_front();
    if (step.meanwhile) step.meanwhile();
    box = box || step.tick;
    return {step.answer, box};
  }
  PromptResult AskConfirm(const std::string& line) override {
    return Answer(confirmSteps, confirmBox, line);
  }
  PromptResult AskRecover(const std::string& line) override {
    return Answer(recoverSteps, recoverBox, line);
  }
};

class Tick : public EngineTest {
 protected:
  Tick() {
    engine.SetServices(Services{&shell, &files, &power, &http, &prompter, &pump, &timer});
    files.existing = {"C:\\run.exe"};
  }
  // A program task that starts C:\run.exe with its name as the parameter, so runs can be told apart.
  void Job(const std::string& name, std::map<std::string, int> ints,
           std::map<std::string, std::string> texts = {}) {
    ints.emplace(rec::kConfirm, 0);
    ints.emplace(rec::kParam, 1);
    texts.emplace(rec::kProgram, "C:\\run.exe");
    texts.emplace(rec::kParamString, name);
    Task(name, ints, texts);
  }
  void StoreNextExecution(const std::string& name, double when) {
    RegistryAccessor reg(registry);
    reg.OpenKey(rec::TaskKey(name), false);
    reg.WriteDateTime(rec::kNextExecution, when);
  }
  int Runs(const std::string& name) const {
    int n = 0;
    for (const auto& call : shell.calls) n += call.params == name;
    return n;
  }
  std::string Row(const std::string& name) {
    const auto at = engine.Tasks().Find(name);
    return at ? engine.Tasks().Row(*at).next : "(no row)";
  }
  void TickAt(int hour, int minute, int second = 0, int day = 9) {
    clock.Set(2003, 7, day, hour, minute, second);
    engine.TimerJobsTimer();
    EXPECT_TRUE(timer.on) << "the timer runs again after every tick";
  }
  bool KeyExists(const std::string& name) {
    return RegistryAccessor(registry).KeyExists(rec::TaskKey(name));
  }

  FakeTimer timer;
  FakePump pump;
  ScriptedPrompter prompter;
};

TEST_F(Tick, IntervalCountdownRunsInTheTickThatReachesZero) {
  Job("Drei", {{rec::kIntervall, 3}});
  clock.Set(2003, 7, 9, 10, 0);
  engine.GetTasks();
  EXPECT_EQ(Row("Drei"), "3 Minute(n)");
  TickAt(10, 1);
  EXPECT_EQ(Row("Drei"), "2 Minute(n)");
  TickAt(10, 2);
  EXPECT_EQ(Row("Drei"), "1 Minute(n)");
  EXPECT_EQ(Runs("Drei"), 0);
  TickAt(10, 3);
  EXPECT_EQ(Runs("Drei"), 1);
  EXPECT_EQ(Row("Drei"), "3 Minute(n)");
  EXPECT_TRUE(prompter.asked.empty());

  Job("Null", {{rec::kTaskAuto, 1}, {rec::kIdleTime, 0}});  // a stored 0 runs at every tick
  engine.Tasks().Add({"Null", engine.SetMinutesText("Null").next, "Leerlauf", false});
  EXPECT_EQ(Row("Null"), "0 Minute(n)");
  TickAt(10, 4);
  TickAt(10, 5);
  EXPECT_EQ(Runs("Null"), 2);
}

TEST_F(Tick, IdleCountdownCountsOnlyWhileTheIdleLabelShows) {
  Job("Ruhe", {{rec::kTaskAuto, 1}, {rec::kIdleTime, 2}});
  engine.GetTasks();
  TickAt(10, 1);
  TickAt(10, 2);
  EXPECT_EQ(Row("Ruhe"), "2 Minute(n)");
  engine.SetIdleLabelVisible(true);
  TickAt(10, 3);
  EXPECT_EQ(Row("Ruhe"), "1 Minute(n)");
  TickAt(10, 4);
  EXPECT_EQ(Runs("Ruhe"), 1);
  TickAt(10, 5);
  TickAt(10, 6);  // the idle period goes on: it runs again every two ticks
  EXPECT_EQ(Runs("Ruhe"), 2);
}

TEST_F(Tick, InputDuringAnIdlePeriodPutsTheCountBackToTheFullMinutes) {
  Job("Drei", {{rec::kTaskAuto, 1}, {rec::kIdleTime, 3}});
  Job("Uhr", {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}}, {{rec::kTime, "18:00"}});
  engine.GetTasks();
  engine.SetIdleLabelVisible(true);
  TickAt(10, 1);
  TickAt(10, 2);
  EXPECT_EQ(Row("Drei"), "1 Minute(n)");
  const std::string clockRow = Row("Uhr");

  // The awake handler: the label goes, the countdown is full again; twice gives the same.
  engine.SetIdleLabelVisible(false);
  engine.ResetIdleRows();
  EXPECT_EQ(Row("Drei"), "3 Minute(n)");
  engine.ResetIdleRows();
  EXPECT_EQ(Row("Drei"), "3 Minute(n)");
  EXPECT_EQ(Row("Uhr"), clockRow);
  TickAt(10, 3);
  EXPECT_EQ(Row("Drei"), "3 Minute(n)");  // not counted while the user is present
  EXPECT_EQ(Runs("Drei"), 0);

  // A row being run keeps its text; a once-per-session mark lasts only until the next awake.
  const auto row = engine.Tasks().Find("Drei");
  engine.Tasks().Row(*row).next = "Wird durchgeführt...";
  engine.ResetIdleRows();
  EXPECT_EQ(Row("Drei"), "Wird durchgeführt...");
  engine.Tasks().Row(*row).next = "Nächste Session";
  engine.ResetIdleRows();
  EXPECT_EQ(Row("Drei"), "3 Minute(n)");

  // A task key broken by another program keeps its row's text and is reported once.
  Task("Drei", {}, {{rec::kIdleTime, "3"}}, false);  // a text where a number belongs
  engine.Tasks().Row(*row).next = "2 Minute(n)";
  engine.ResetIdleRows();
  engine.ResetIdleRows();
  EXPECT_EQ(Row("Drei"), "2 Minute(n)");
  EXPECT_EQ(reports.size(), 1u);
}

TEST_F(Tick, FixedTimeIsFoundDueInItsMinuteOnce) {
  Job("Abend", {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}}, {{rec::kTime, "18:00"}});
  clock.Set(2003, 7, 9, 10, 0);
  StoreNextExecution("Abend", engine.GetTaskDate("Abend"));
  engine.GetTasks();
  TickAt(17, 59, 40);
  EXPECT_EQ(Row("Abend"), "18:00 Uhr");
  TickAt(18, 0, 41);
  EXPECT_EQ(Runs("Abend"), 1);
  EXPECT_EQ(Row("Abend"), "Donnerstag");
  EXPECT_DOUBLE_EQ(NextExecution("Abend"), EncodeDate(2003, 7, 10) + 0.75);
  TickAt(18, 1, 42);
  EXPECT_EQ(Runs("Abend"), 1);
}

TEST_F(Tick, ASkippedMinuteIsHandledAsAMissedRun) {
  for (int recover : {0, 1, 2}) {
    const std::string name = "R" + std::to_string(recover);
    Job(name, {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}, {rec::kRecover, recover}},
        {{rec::kTime, "18:00"}});
    clock.Set(2003, 7, 9, 10, 0);
    StoreNextExecution(name, engine.GetTaskDate(name));
  }
  engine.GetTasks();
  prompter.recoverSteps.push_back({kAnswerYes, false, {}});
  TickAt(17, 59, 30);
  TickAt(18, 1, 1);  // no tick saw 18:00
  EXPECT_EQ(Runs("R0"), 1);
  EXPECT_EQ(Runs("R1"), 0);
  EXPECT_EQ(Runs("R2"), 1);
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0],
            "Task 'R2' konnte beim letzten Durchführungszeitpunkt nicht gestartet werden.");
  for (const char* name : {"R0", "R1", "R2"})
    EXPECT_DOUBLE_EQ(NextExecution(name), EncodeDate(2003, 7, 10) + 0.75) << name;
  TickAt(18, 2, 2);
  EXPECT_EQ(shell.calls.size(), 2u);  // handled once
}

TEST_F(Tick, RecoveryAnswersAndTheCheckBox) {
  Job("Nach", {{rec::kRecover, 2}, {rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}},
      {{rec::kTime, "08:00"}});
  engine.GetTasks();
  const auto missedAndTick = [&](int hour) {
    StoreNextExecution("Nach", EncodeDate(2003, 7, 1) + 0.5);  // long past
    TickAt(hour, 0);
  };
  prompter.recoverSteps.push_back({kAnswerNo, false, {}});
  missedAndTick(10);
  EXPECT_EQ(Runs("Nach"), 0);
  RegistryAccessor reg(registry);
  reg.OpenKeyReadOnly(rec::TaskKey("Nach"));
  EXPECT_EQ(reg.ReadInteger(rec::kRecover), 2);
  EXPECT_DOUBLE_EQ(reg.ReadDateTime(rec::kNextExecution), EncodeDate(2003, 7, 10) + 8 / 24.0);

  prompter.recoverSteps.push_back({kAnswerYes, true, {}});
  missedAndTick(11);
  EXPECT_EQ(Runs("Nach"), 1);
  EXPECT_EQ(reg.ReadInteger(rec::kRecover), 0);
  missedAndTick(12);  // made up without asking from now on
  EXPECT_EQ(Runs("Nach"), 2);
  EXPECT_EQ(prompter.asked.size(), 2u);

  Task("Nach", {{rec::kRecover, 2}}, {}, false);
  prompter.recoverSteps.push_back({kAnswerNo, false, {}});  // the box is still ticked
  missedAndTick(13);
  EXPECT_EQ(reg.ReadInteger(rec::kRecover), 1);
  missedAndTick(14);
  EXPECT_EQ(Runs("Nach"), 2);
  EXPECT_EQ(prompter.asked.size(), 3u);
}

TEST_F(Tick, ConfirmationAnswers) {
  Job("Frage", {{rec::kConfirm, 1}, {rec::kIntervall, 1}, {rec::kRecover, 1}});
  engine.GetTasks();
  prompter.confirmSteps.push_back({kAnswerNo, false, {}});
  TickAt(10, 1);
  EXPECT_EQ(Runs("Frage"), 0);
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0], "Task 'Frage' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_EQ(Row("Frage"), "1 Minute(n)");
  prompter.confirmSteps.push_back({kAnswerYes, false, {}});
  TickAt(10, 2);
  EXPECT_EQ(Runs("Frage"), 1);
  RegistryAccessor reg(registry);
  reg.OpenKeyReadOnly(rec::TaskKey("Frage"));
  EXPECT_TRUE(reg.ReadBool(rec::kConfirm));  // written back true
  prompter.confirmSteps.push_back({kAnswerNo, true, {}});  // "Nein" with the box ticked
  TickAt(10, 3);
  EXPECT_EQ(Runs("Frage"), 1);
  EXPECT_FALSE(reg.ReadBool(rec::kConfirm));
  TickAt(10, 4);  // no question any more
  EXPECT_EQ(Runs("Frage"), 2);
  EXPECT_EQ(prompter.asked.size(), 3u);

  Job("Ohne", {{rec::kIntervall, 1}});
  Remove("Ohne", rec::kConfirm);  // runs without a question
  engine.Tasks().Add({"Ohne", "1 Minute(n)", "Uhrzeit", false});
  TickAt(10, 5);
  EXPECT_EQ(Runs("Ohne"), 1);
  EXPECT_EQ(prompter.asked.size(), 3u);
}

TEST_F(Tick, RowsThatAreNotScheduled) {
  Job("Nix", {{rec::kTimeEnabled, 0}, {rec::kIntEnabled, 0}, {rec::kRecover, 0}});
  StoreNextExecution("Nix", 1.0);  // in the past, but "n/a" rows get no missed-run check
  Job("Einmal", {{rec::kOncePerSession, 1}, {rec::kOnWindowsEnabled, 1}, {rec::kIntervall, 1},
                 {rec::kRecover, 0}});
  engine.GetTasks();  // "Einmal" runs at start and shows "Nächste Session"
  EXPECT_EQ(Row("Nix"), "n/a");
  EXPECT_EQ(Row("Einmal"), "Nächste Session");
  TickAt(10, 1);
  TickAt(10, 2);
  EXPECT_EQ(Runs("Nix"), 0);
  EXPECT_EQ(Runs("Einmal"), 1);
  EXPECT_EQ(Row("Einmal"), "Nächste Session");
  // Its missed-run check still applies.
  StoreNextExecution("Einmal", 2.0);
  TickAt(10, 3);
  EXPECT_EQ(Runs("Einmal"), 2);

  engine.Tasks().Clear();
  timer.switchedOn = 0;
  TickAt(10, 4);  // an empty list only switches the timer on again
  EXPECT_EQ(timer.switchedOn, 1);
}

TEST_F(Tick, WatchedFilesOneChangedFilePerTick) {
  Job("Akte", {{rec::kTaskAuto, 2}});
  registry.SetRaw(rec::FilesKey("Akte"), "C:\\a.txt", RawValue{kRegBinary, {}});
  RegistryAccessor reg(registry);
  reg.OpenKey(rec::FilesKey("Akte"), false);
  for (const char* path : {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt", "C:\\Ordner"}) {
    files.stamps[path] = 100.5;
    reg.WriteDateTime(path, 100.5);
  }
  files.stamps.erase("C:\\Ordner");  // a folder stamps as -1.0, like a missing file
  reg.WriteDateTime("C:\\Ordner", -1.0);
  engine.GetTasks();
  EXPECT_EQ(Row("Akte"), "Bei Dateiänderung");
  TickAt(10, 1);
  EXPECT_EQ(Runs("Akte"), 0);
  EXPECT_GE(pump.pumps, 4);  // after every unchanged file
  for (const char* path : {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}) files.stamps[path] = 200.25;
  TickAt(10, 2);
  TickAt(10, 3);
  TickAt(10, 4);
  TickAt(10, 5);
  EXPECT_EQ(Runs("Akte"), 3);  // three changed files, three runs in three ticks
  EXPECT_DOUBLE_EQ(reg.ReadDateTime("C:\\b.txt"), 200.25);
  files.stamps.erase("C:\\a.txt");  // deleted: one run, then quiet
  TickAt(10, 6);
  TickAt(10, 7);
  EXPECT_EQ(Runs("Akte"), 4);
  EXPECT_EQ(reg.ReadDateTime("C:\\a.txt"), -1.0);
  EXPECT_EQ(Row("Akte"), "Bei Dateiänderung");
}

TEST_F(Tick, WatchedTaskSavedDuringThePumpIsNoBrokenTask) {
  Job("Akte", {{rec::kTaskAuto, 2}});
  RegistryAccessor reg(registry);
  reg.OpenKey(rec::FilesKey("Akte"), true);
  for (const char* path : {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}) {
    files.stamps[path] = 100.5;
    reg.WriteDateTime(path, 100.5);
  }
  reg.CloseKey();
  engine.GetTasks();
  // The task is opened and saved while the tick pumps after its first file (the tick's own
  // pump comes first); the watch list is written afresh without c.txt, whose stamp changes.
  pump.skip = 1;
  pump.meanwhile = [&] {
    TaskEditorState s = TaskEditorState::AfterReset();
    ASSERT_TRUE(LoadTaskData(engine, "Akte", s).Complete());
    s.files = {"C:\\a.txt", "C:\\b.txt"};
    SaveTask(engine, files, s, "Akte");
    files.stamps["C:\\c.txt"] = 300.0;
  };
  TickAt(10, 1);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(Runs("Akte"), 0);
  EXPECT_EQ(Row("Akte"), "Bei Dateiänderung");
  EXPECT_TRUE(engine.ReportBrokenTaskOnce("Akte"));  // never counted as broken
}

TEST_F(Tick, TasksChangingWhileAQuestionWaits) {
  for (const char* name : {"A", "B", "C"})
    Job(name, {{rec::kConfirm, 1}, {rec::kIntervall, 1}, {rec::kRecover, 0}});
  engine.GetTasks();
  // While A's question is open: B is deleted, C is renamed to D, E is added, "Starten" runs
  // C... and another tick is attempted.
  prompter.confirmSteps.push_back({kAnswerYes, false, [&] {
    RegistryAccessor(registry).DeleteKey(rec::TaskKey("B"));
    engine.Tasks().Remove(*engine.Tasks().Find("B"));
    engine.Tasks().Row(*engine.Tasks().Find("C")).selected = true;
    engine.FlatButtonExecuteClick();
    RegistryAccessor(registry).DeleteKey(rec::TaskKey("C"));
    engine.Tasks().Remove(*engine.Tasks().Find("C"));
    Job("D", {{rec::kConfirm, 1}, {rec::kIntervall, 1}});
    engine.Tasks().Add({"D", "1 Minute(n)", "Uhrzeit", false});
    Job("E", {{rec::kConfirm, 0}, {rec::kIntervall, 1}});
    engine.Tasks().Add({"E", "1 Minute(n)", "Uhrzeit", false});
    engine.TimerJobsTimer();  // must not start a tick inside this one
  }});
  TickAt(10, 1);
  EXPECT_EQ(Runs("A"), 1);
  EXPECT_EQ(Runs("B"), 0);
  EXPECT_EQ(Runs("C"), 1);  // from "Starten" only
  EXPECT_EQ(Runs("D") + Runs("E"), 0);  // added during the tick: handled from the next one
  EXPECT_FALSE(KeyExists("B"));
  EXPECT_FALSE(KeyExists("C"));
  EXPECT_EQ(prompter.asked.size(), 1u);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(Row("E"), "1 Minute(n)");

  // The task being asked about is deleted during its own question: nothing is written.
  prompter.confirmSteps.push_back({kAnswerYes, true, [&] {
    RegistryAccessor(registry).DeleteKey(rec::TaskKey("A"));
    engine.Tasks().Remove(*engine.Tasks().Find("A"));
  }});
  prompter.confirmSteps.push_back({kAnswerYes, false, {}});  // D
  TickAt(10, 2);
  EXPECT_FALSE(KeyExists("A"));
  EXPECT_EQ(Runs("A"), 1);
  EXPECT_EQ(Runs("D"), 1);
  EXPECT_EQ(Runs("E"), 1);

  // Saved anew under the same name during the question: the answer goes to the new key.
  prompter.confirmSteps.push_back({kAnswerNo, true, [&] {
    RegistryAccessor(registry).DeleteKey(rec::TaskKey("D"));
    Job("D", {{rec::kConfirm, 1}, {rec::kIntervall, 1}});
  }});
  TickAt(10, 3);
  RegistryAccessor reg(registry);
  reg.OpenKeyReadOnly(rec::TaskKey("D"));
  EXPECT_FALSE(reg.ReadBool(rec::kConfirm));
  EXPECT_TRUE(reports.empty());
}

TEST_F(Tick, TheEditorOpenedDuringAQuestionKeepsTheTimerOffUntilItCloses) {
  Job("Frage", {{rec::kConfirm, 1}, {rec::kIntervall, 1}});
  engine.GetTasks();
  prompter.confirmSteps.push_back({kAnswerYes, false, [&] { engine.SuspendTicks(true); }});
  clock.Set(2003, 7, 9, 10, 1);
  engine.TimerJobsTimer();
  EXPECT_EQ(Runs("Frage"), 1);
  EXPECT_FALSE(timer.on) << "the tick that waited must not switch the timer on during the edit";
  clock.Set(2003, 7, 9, 10, 2);
  engine.TimerJobsTimer();  // a tick asked for anyway starts nothing while the editor is open
  EXPECT_EQ(Runs("Frage"), 1);
  EXPECT_EQ(prompter.asked.size(), 1u);
  engine.SuspendTicks(false);  // the editor closes
  EXPECT_TRUE(timer.on);
  TickAt(10, 3);
  EXPECT_EQ(Runs("Frage"), 2);
}

TEST_F(Tick, NothingStartsAfterTheProgramEndedDuringAQuestion) {
  // "Beenden" while the first row's question waits: the question is answered "Ja" on the way
  // out, yet neither that task nor the next due one may start (either could be a shutdown).
  Job("A", {{rec::kConfirm, 1}, {rec::kIntervall, 1}});
  Job("B", {{rec::kIntervall, 1}});
  engine.GetTasks();
  prompter.confirmSteps.push_back({kAnswerYes, false, [&] { engine.Stop(); }});
  TickAt(10, 1);
  EXPECT_EQ(Runs("A"), 0);
  EXPECT_EQ(Runs("B"), 0);
  TickAt(10, 2);
  EXPECT_EQ(Runs("B"), 0) << "no tick starts once the program ends";
}

TEST_F(Tick, AnAnswerStandsWhenItCannotBeStored) {
  Job("Frage", {{rec::kConfirm, 1}, {rec::kIntervall, 1}, {rec::kRecover, 0}});
  engine.GetTasks();
  const auto failingWrites = [&] { registry.FailWrites(true); };
  prompter.confirmSteps.push_back({kAnswerNo, true, failingWrites});
  TickAt(10, 1);
  EXPECT_EQ(Runs("Frage"), 0) << "\"Nein\" is never turned into a run";
  registry.FailWrites(false);
  prompter.confirmSteps.push_back({kAnswerYes, false, failingWrites});
  TickAt(10, 2);  // the failed tick left the row to be counted afresh
  TickAt(10, 3);
  EXPECT_EQ(Runs("Frage"), 1);
  registry.FailWrites(false);
  EXPECT_EQ(prompter.asked.size(), 2u);

  // The same for a missed run made up after a question.
  Job("Nach", {{rec::kRecover, 2}, {rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}},
      {{rec::kTime, "08:00"}});
  engine.Tasks().Add({"Nach", "Donnerstag", "Uhrzeit", false});
  StoreNextExecution("Nach", EncodeDate(2003, 7, 1) + 0.5);
  prompter.recoverSteps.push_back({kAnswerYes, true, failingWrites});
  TickAt(10, 4);
  EXPECT_EQ(Runs("Nach"), 1);
  registry.FailWrites(false);
}

TEST_F(Tick, AnAnswerDoesNotOverwriteAChoiceSavedWhileItsQuestionWaited) {
  Job("Frage", {{rec::kConfirm, 1}, {rec::kIntervall, 1}, {rec::kRecover, 0}});
  engine.GetTasks();
  // The editor saves the task anew with confirmation switched off; the answer "Ja" (box not
  // ticked) would switch it back on.
  prompter.confirmSteps.push_back({kAnswerYes, false, [&] {
    RegistryAccessor(registry).DeleteKey(rec::TaskKey("Frage"));
    Job("Frage", {{rec::kConfirm, 0}, {rec::kIntervall, 1}, {rec::kRecover, 0}});
  }});
  TickAt(10, 1);
  EXPECT_EQ(Runs("Frage"), 1);
  RegistryAccessor reg(registry);
  reg.OpenKeyReadOnly(rec::TaskKey("Frage"));
  EXPECT_FALSE(reg.ReadBool(rec::kConfirm));
  TickAt(10, 2);
  EXPECT_EQ(Runs("Frage"), 2);
  EXPECT_EQ(prompter.asked.size(), 1u) << "confirmation stays off";

  // A missed-run question: the editor chose "skip" meanwhile; "Ja" with the box ticked would
  // store "make up without asking".
  Job("Nach", {{rec::kRecover, 2}, {rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}},
      {{rec::kTime, "08:00"}});
  engine.Tasks().Add({"Nach", "Donnerstag", "Uhrzeit", false});
  StoreNextExecution("Nach", EncodeDate(2003, 7, 1) + 0.5);
  prompter.recoverSteps.push_back({kAnswerYes, true, [&] {
    RegistryAccessor(registry).DeleteKey(rec::TaskKey("Nach"));
    Job("Nach", {{rec::kRecover, 1}, {rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}},
        {{rec::kTime, "08:00"}});
  }});
  TickAt(10, 3);
  EXPECT_EQ(Runs("Nach"), 1);
  reg.OpenKeyReadOnly(rec::TaskKey("Nach"));
  EXPECT_EQ(reg.ReadInteger(rec::kRecover), 1);
}

TEST_F(Tick, ABrokenTaskIsPassedOverAndReportedOnce) {
  Job("Alt", {{rec::kIntervall, 1}});
  Job("Kaputt", {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}}, {{rec::kTime, "18:00"}});
  Job("Neu", {{rec::kIntervall, 1}});
  engine.GetTasks();
  Remove("Kaputt", rec::kTaskAuto);  // broken after listing: its recomputation fails
  TickAt(10, 1);
  TickAt(10, 2);
  EXPECT_EQ(Runs("Alt"), 2);
  EXPECT_EQ(Runs("Neu"), 2);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("'Kaputt'"), std::string::npos);
  EXPECT_FALSE(engine.DueCheckMode());
  Job("Zerbrochen", {{rec::kIntervall, 50}});
  registry.SetRaw(rec::TaskKey("Zerbrochen"), rec::kNextExecution, RawValue{kRegBinary, {1, 2, 3, 4}});
  engine.Tasks().Add({"Zerbrochen", "50 Minute(n)", "Uhrzeit", false});
  TickAt(10, 3);
  EXPECT_EQ(Runs("Neu"), 3);
  EXPECT_EQ(reports.size(), 2u);
}

TEST_F(Tick, CountdownIntoAnExcludedDay) {
  Job("Werktag", {{rec::kIntervall, 30}, {rec::kOnSaturday, 0}, {rec::kOnSunday, 0}});
  clock.Set(2003, 7, 11, 23, 29);  // Friday; the countdown ends at 23:59
  engine.GetTasks();
  EXPECT_EQ(Row("Werktag"), "30 Minute(n)");
  for (int i = 1; i <= 29; ++i) {
    clock.AdvanceMinutes(1);
    engine.TimerJobsTimer();
  }
  EXPECT_EQ(Row("Werktag"), "1 Minute(n)");
  clock.AdvanceMinutes(3);  // ticks drift: the last count comes after midnight
  engine.TimerJobsTimer();
  EXPECT_EQ(Runs("Werktag"), 1);  // fires at zero on Saturday all the same
  EXPECT_EQ(Row("Werktag"), "Montag");
}

// Daylight saving in Berlin, 2027: the clock goes from 02:00 to 03:00 on 28 March and from 03:00
// back to 02:00 on 31 October. The ticks come once a real minute, as the timer gives them.
class DaylightSaving : public Tick {
 protected:
  void SetUtc(const LocalTime& utc) {
    const double u = EncodeDateTime(utc);
    const bool summer = u >= EncodeDate(2027, 3, 28) + 1 / 24.0 &&
                        u < EncodeDate(2027, 10, 31) + 1 / 24.0;
    clock.Set(AddMinutes(utc, summer ? 120 : 60));
    clock.SetUtcOffset(summer ? 120 : 60);
  }
  // Three tasks: 02:30 with Recover "skip" and "ask" (the run must not count as missed), and
  // every 30 minutes. Ticks `minutes` real minutes from `utc` on; returns the local times at
  // which "Skip" ran.
  std::vector<std::string> Night(const LocalTime& utc, int minutes) {
    Job("Skip", {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}, {rec::kRecover, 1}},
        {{rec::kTime, "02:30"}});
    Job("Frage", {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}, {rec::kRecover, 2}},
        {{rec::kTime, "02:30"}});
    Job("Halb", {{rec::kIntervall, 30}, {rec::kRecover, 2}});
    SetUtc(utc);
    for (const char* name : {"Skip", "Frage"}) StoreNextExecution(name, engine.GetTaskDate(name));
    engine.GetTasks();
    std::vector<std::string> ranAt;
    for (int i = 1; i <= minutes; ++i) {
      SetUtc(AddMinutes(utc, i));
      const int before = Runs("Skip");
      engine.TimerJobsTimer();
      if (Runs("Skip") > before) ranAt.push_back(engine.NowTimeText());
    }
    return ranAt;
  }
};

TEST_F(DaylightSaving, SpringATimeTheClockSkipsRunsOnceRightAfterTheJump) {
  const auto ranAt = Night({2027, 3, 27, 23, 0}, 7 * 60);  // 00:00 to 08:00 local
  EXPECT_EQ(ranAt, std::vector<std::string>{"03:00"});
  EXPECT_EQ(Runs("Frage"), 1);
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_EQ(Runs("Halb"), 14);  // every 30 real minutes
  EXPECT_DOUBLE_EQ(NextExecution("Skip"), EncodeDate(2027, 3, 29) + 2.5 / 24);
}

TEST_F(DaylightSaving, AutumnARepeatedTimeRunsOnce) {
  const auto ranAt = Night({2027, 10, 30, 22, 0}, 7 * 60);  // 00:00 to 06:00 local
  EXPECT_EQ(ranAt, std::vector<std::string>{"02:30"});
  EXPECT_EQ(Runs("Frage"), 1);
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_EQ(Runs("Halb"), 14);
  EXPECT_DOUBLE_EQ(NextExecution("Skip"), EncodeDate(2027, 11, 1) + 2.5 / 24);
}

TEST_F(Tick, BigClockJumpsHandleEachRunOnce) {
  for (int recover : {0, 1, 2})
    Job("R" + std::to_string(recover),
        {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}, {rec::kRecover, recover}},
        {{rec::kTime, "02:30"}});
  Job("Halb", {{rec::kIntervall, 30}, {rec::kRecover, 0}});
  clock.Set(2027, 6, 9, 1, 0);
  for (const char* name : {"R0", "R1", "R2"}) StoreNextExecution(name, engine.GetTaskDate(name));
  engine.GetTasks();
  clock.Set(2027, 6, 9, 1, 1);
  engine.TimerJobsTimer();

  // A day and a bit forward: each missed run once, by its Recover rule; the countdown counts
  // ticks, not the minutes jumped over.
  for (int minute = 0; minute < 5; ++minute) {
    clock.Set(2027, 6, 10, 10, minute);
    engine.TimerJobsTimer();
  }
  EXPECT_EQ(Runs("R0"), 1);
  EXPECT_EQ(Runs("R1"), 0);
  EXPECT_EQ(Runs("R2"), 1);
  EXPECT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(Runs("Halb"), 0);
  EXPECT_EQ(Row("Halb"), "24 Minute(n)");

  // Back again to before the run just made up: it does not come again at 02:30.
  for (int minute = 0; minute <= 40; ++minute) {
    clock.Set(2027, 6, 10, 2, minute);
    engine.TimerJobsTimer();
  }
  EXPECT_EQ(Runs("R0"), 1);
  EXPECT_EQ(Runs("R1"), 0);
  EXPECT_EQ(Runs("R2"), 1);
  EXPECT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(Runs("Halb"), 1);  // at its 30th tick
  // And on the next day its own run comes as planned.
  clock.Set(2027, 6, 11, 2, 30);
  engine.TimerJobsTimer();
  EXPECT_EQ(Runs("R0"), 2);
  EXPECT_EQ(Runs("R1"), 1);
}

}  // namespace
}  // namespace orv::testing
