// Running tasks and loading the list, on fakes: what reaches the shell, the power calls and the
// HTTP client, what the list shows and what is stored afterwards.
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

constexpr double kDayAfter18 = 37812.75;  // Thursday 10 July 2003, 18:00

class Execute : public EngineTest {
 protected:
  void SetUp() override { clock.Set(2003, 7, 9, 19, 0); }
  // A fixed-time task whose NextExecution starts at a marker value.
  void Runnable(const std::string& name, std::map<std::string, int> ints = {},
                std::map<std::string, std::string> texts = {}) {
    ints.emplace(rec::kTimeEnabled, 1);
    Task(name, ints, texts);
    RegistryAccessor reg(registry);
    reg.OpenKey(rec::TaskKey(name), false);
    reg.WriteDateTime(rec::kNextExecution, 1.0);
  }
};

TEST_F(Execute, ProgramTaskStartsAnExistingFileWithItsParameters) {
  files.existing = {"C:\\Tools\\backup.exe"};
  Runnable("Backup", {{rec::kParam, 1}},
           {{rec::kProgram, "C:\\Tools\\backup.exe"}, {rec::kParamString, "/all /quiet"},
            {rec::kProgramShow, "SW_MAXIMIZE"}});
  engine.ExecuteTask("Backup");
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].file, "C:\\Tools\\backup.exe");
  EXPECT_TRUE(shell.calls[0].hasParams);
  EXPECT_EQ(shell.calls[0].params, "/all /quiet");
  EXPECT_EQ(shell.calls[0].show, kSwMaximize);
  EXPECT_DOUBLE_EQ(NextExecution("Backup"), kDayAfter18);

  // Without Param the parameters are an empty text, not absent; a show mode in the wrong case
  // starts the window hidden.
  Task("Backup", {{rec::kParam, 0}}, {{rec::kProgramShow, "sw_show"}}, false);
  engine.ExecuteTask("Backup");
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_TRUE(shell.calls[1].hasParams);
  EXPECT_EQ(shell.calls[1].params, "");
  EXPECT_EQ(shell.calls[1].show, kSwHide);
}

TEST_F(Execute, MissingProgramStartsNothingButStoresTheNextStart) {
  Runnable("Gone", {}, {{rec::kProgram, "C:\\nowhere.exe"}});
  engine.ExecuteTask("Gone");
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_DOUBLE_EQ(NextExecution("Gone"), kDayAfter18);
}

TEST_F(Execute, ProgramCondition) {
  files.existing = {"C:\\app.exe", "C:\\watched.exe"};
  Runnable("Cond", {{rec::kProgramActionEnabled, 1}, {rec::kProgramAction, 1},
                    {rec::kOncePerSession, 1}},
           {{rec::kProgram, "C:\\app.exe"}, {rec::kProgramActionFile, "C:\\watched.exe"}});
  engine.Tasks().Add({"Cond", "18:00 Uhr", "Uhrzeit", false});

  files.inUse = {"C:\\watched.exe"};  // "inaktiv" wanted, the program runs: no action, no mark
  engine.ExecuteTask("Cond");
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_EQ(engine.Tasks().Row(0).next, "18:00 Uhr");
  EXPECT_DOUBLE_EQ(NextExecution("Cond"), kDayAfter18);

  files.inUse.clear();
  engine.ExecuteTask("Cond");
  EXPECT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(engine.Tasks().Row(0).next, "Nächste Session");

  Task("Cond", {{rec::kProgramAction, 0}}, {}, false);  // "aktiv": only while it runs
  engine.ExecuteTask("Cond");
  EXPECT_EQ(shell.calls.size(), 1u);
  files.inUse = {"C:\\watched.exe"};
  engine.ExecuteTask("Cond");
  EXPECT_EQ(shell.calls.size(), 2u);

  // A condition file that does not exist is ignored.
  Task("Cond", {}, {{rec::kProgramActionFile, "C:\\missing.exe"}}, false);
  files.inUse.clear();
  engine.ExecuteTask("Cond");
  EXPECT_EQ(shell.calls.size(), 3u);
}

TEST_F(Execute, AFailedOpenIsTheRunsErrorAndStaysInside) {
  // The shell could not open the program or the address: the run ends as a failed fetch does,
  // silently, with NextExecution and the once-per-session row as they were.
  shell.fail = true;
  files.existing = {"C:\\Tools\\broken.exe"};
  Runnable("Prog", {{rec::kOncePerSession, 1}}, {{rec::kProgram, "C:\\Tools\\broken.exe"}});
  Runnable("Web", {{rec::kTaskType, 1}, {rec::kInBrowser, 1}, {rec::kOncePerSession, 1}},
           {{rec::kURL, "nirgends:x"}});
  for (const char* name : {"Prog", "Web"}) {
    engine.Tasks().Add({name, "18:00 Uhr", "Uhrzeit", false});
    engine.ExecuteTask(name);
    EXPECT_EQ(NextExecution(name), 1.0) << name;
    EXPECT_EQ(engine.Tasks().Row(*engine.Tasks().Find(name)).next, "18:00 Uhr") << name;
  }
  EXPECT_EQ(shell.calls.size(), 2u);
  EXPECT_TRUE(reports.empty());
}

TEST_F(Execute, InternetTasks) {
  Runnable("Web", {{rec::kTaskType, 1}, {rec::kInBrowser, 1}}, {{rec::kURL, "http://example.test/"},
                                           {rec::kURLShow, "SW_MINIMIZE"}});
  engine.ExecuteTask("Web");
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].file, "http://example.test/");
  EXPECT_FALSE(shell.calls[0].hasParams);
  EXPECT_EQ(shell.calls[0].show, kSwMinimize);

  Runnable("Fetch", {{rec::kTaskType, 1}, {rec::kInBrowser, 0}, {rec::kTimeout, 2500}},
           {{rec::kURL, "http://127.0.0.1:9/ping"}});
  engine.ExecuteTask("Fetch");
  Task("Fetch", {{rec::kTimeoutEnabled, 0}}, {}, false);
  engine.ExecuteTask("Fetch");
  Remove("Fetch", rec::kTimeoutEnabled);
  http.timeout = 777;  // what the previous fetch left stays
  engine.ExecuteTask("Fetch");
  ASSERT_EQ(http.gets.size(), 3u);
  EXPECT_EQ(http.gets[0], (std::pair<std::string, int>{"http://127.0.0.1:9/ping", 2500}));
  EXPECT_EQ(http.gets[1].second, 0);
  EXPECT_EQ(http.gets[2].second, 777);
  EXPECT_TRUE(shell.calls.size() == 1u);

  // A failed fetch leaves NextExecution alone and the row unmarked.
  Runnable("Fails", {{rec::kTaskType, 1}, {rec::kInBrowser, 0}, {rec::kOncePerSession, 1}});
  engine.Tasks().Add({"Fails", "18:00 Uhr", "Uhrzeit", false});
  http.fail = true;
  engine.ExecuteTask("Fails");
  EXPECT_EQ(NextExecution("Fails"), 1.0);
  EXPECT_EQ(engine.Tasks().Row(*engine.Tasks().Find("Fails")).next, "18:00 Uhr");
}

TEST_F(Execute, SystemActionsAndTheirFlags) {
  struct Case {
    int system, powerOff, forceNot;
    std::vector<std::uint32_t> exits;
  };
  const Case cases[] = {
      {0, 0, 1, {2}}, {0, 1, 0, {6}}, {1, 0, 1, {1}}, {1, 0, 0, {5}}, {1, 1, 1, {8}},
      {1, 1, 0, {12}}, {3, 0, 1, {0}}, {3, 1, 0, {4}}, {4, 0, 0, {}},
  };
  for (const Case& c : cases) {
    power.exits.clear();
    Runnable("Sys", {{rec::kTaskType, 2}, {rec::kSystem, c.system}, {rec::kPowerOff, c.powerOff},
                     {rec::kForceNot, c.forceNot}});
    engine.ExecuteTask("Sys");
    EXPECT_EQ(power.exits, c.exits) << "System " << c.system << " PowerOff " << c.powerOff
                                    << " ForceNot " << c.forceNot;
    EXPECT_DOUBLE_EQ(NextExecution("Sys"), kDayAfter18);
  }
  EXPECT_TRUE(power.suspends.empty());

  // Standby: only the force flag follows the task; PowerOff is not even read.
  Runnable("Standby", {{rec::kTaskType, 2}, {rec::kSystem, 2}, {rec::kForceNot, 0}});
  Remove("Standby", rec::kPowerOff);
  engine.ExecuteTask("Standby");
  Task("Standby", {{rec::kForceNot, 1}}, {}, false);
  engine.ExecuteTask("Standby");
  ASSERT_EQ(power.suspends.size(), 2u);
  EXPECT_FALSE(power.suspends[0].hibernate);
  EXPECT_TRUE(power.suspends[0].force);
  EXPECT_FALSE(power.suspends[0].wake);
  EXPECT_FALSE(power.suspends[1].force);
}

TEST_F(Execute, BrokenOrDeletedTasksEndSilentlyWithoutWriting) {
  engine.ExecuteTask("Deleted");
  EXPECT_FALSE(RegistryAccessor(registry).KeyExists(rec::TaskKey("Deleted")));  // not recreated

  Runnable("NoType");
  Remove("NoType", rec::kTaskType);
  engine.ExecuteTask("NoType");
  EXPECT_EQ(NextExecution("NoType"), 1.0);
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(reports.empty());
}

TEST_F(Execute, StartenRunsTheSelectedRowsInListOrder) {
  files.existing = {"C:\\a.exe", "C:\\b.exe", "C:\\d.exe", "C:\\g.exe"};
  for (const char* n : {"gamma", "Alpha", "beta", "delta"}) {
    Runnable(n, {}, {{rec::kProgram, std::string("C:\\") + static_cast<char>(std::tolower(n[0])) + ".exe"}});
  }
  engine.FlatButtonExecuteClick();  // nothing listed, nothing selected
  EXPECT_TRUE(shell.calls.empty());
  engine.GetTasks();
  for (std::size_t i = 0; i < engine.Tasks().Size(); ++i)
    engine.Tasks().Row(i).selected = engine.Tasks().Row(i).name != "delta";
  engine.FlatButtonExecuteClick();
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(shell.calls[0].file, "C:\\a.exe");
  EXPECT_EQ(shell.calls[1].file, "C:\\b.exe");
  EXPECT_EQ(shell.calls[2].file, "C:\\g.exe");
}

TEST_F(Execute, GetTasksListsSortedAndRunsWindowsStartTasks) {
  files.existing = {"C:\\start.exe", "C:\\down.exe", "C:\\plain.exe"};
  Task("gamma", {{rec::kConfirm, 1}, {rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 0},
                 {rec::kOncePerSession, 1}},
       {{rec::kProgram, "C:\\start.exe"}});
  Task("Alpha", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 1}},
       {{rec::kProgram, "C:\\down.exe"}});
  Task("beta", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 0}},
       {{rec::kProgram, "C:\\plain.exe"}});
  engine.GetTasks();
  ASSERT_EQ(engine.Tasks().Size(), 3u);
  EXPECT_EQ(engine.Tasks().Row(0).name, "Alpha");
  EXPECT_EQ(engine.Tasks().Row(1).name, "beta");
  EXPECT_EQ(engine.Tasks().Row(2).name, "gamma");
  EXPECT_EQ(engine.Tasks().Row(1).next, "10 Minute(n)");  // the normal text after the run
  EXPECT_EQ(engine.Tasks().Row(2).next, "Nächste Session");
  EXPECT_EQ(engine.Tasks().Row(0).kind, "Uhrzeit");
  // Windows-start tasks ran in list order, without asking; the shutdown task did not run.
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[0].file, "C:\\plain.exe");
  EXPECT_EQ(shell.calls[1].file, "C:\\start.exe");
  EXPECT_TRUE(reports.empty());
}

TEST_F(Execute, GetTasksListsBrokenTasksAsNaAndReportsThemOnce) {
  files.existing = {"C:\\start.exe"};
  // Bound to Windows start, but its trigger cannot be read: listed, never run.
  Task("Alpha", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 0}},
       {{rec::kProgram, "C:\\start.exe"}});
  Remove("Alpha", rec::kTaskAuto);
  Task("Beta", {{rec::kOnWindowsEnabled, 1}, {rec::kTaskAuto, 2}}, {{rec::kOnWindows, "0"}});
  Task("Gamma", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 0}},
       {{rec::kProgram, "C:\\start.exe"}});
  engine.GetTasks();
  // Alpha is an "n/a" row; Beta lists (a file-change task never reads its binding) but cannot
  // be tested for its Windows start; Gamma after both is listed and run.
  ASSERT_EQ(engine.Tasks().Size(), 3u);
  const TaskRow& alpha = engine.Tasks().Row(0);
  EXPECT_EQ(alpha.name, "Alpha");
  EXPECT_EQ(alpha.next, "n/a");
  EXPECT_TRUE(alpha.unreadable);
  EXPECT_EQ(engine.Tasks().Row(1).name, "Beta");
  EXPECT_FALSE(engine.Tasks().Row(1).unreadable);
  EXPECT_EQ(engine.Tasks().Row(2).name, "Gamma");
  EXPECT_EQ(shell.calls.size(), 1u);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("'Alpha'"), std::string::npos);
  EXPECT_NE(reports[0].find("'Beta'"), std::string::npos);
  EXPECT_NE(reports[0].find("TaskAuto"), std::string::npos);
  EXPECT_FALSE(engine.ReportBrokenTaskOnce("Alpha"));  // already told

  // Nothing runs the broken row: neither "Starten" nor the session end; its name is taken.
  engine.Tasks().Row(0).selected = true;
  engine.FlatButtonExecuteClick();
  Task("Alpha", {{rec::kOnWindows, 1}}, {}, false);
  engine.QueryEndSession();
  engine.TimerJobsTimer();  // the tick passes the "n/a" row over without a word
  EXPECT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(reports.size(), 1u);

  RegistryAccessor(registry).DeleteKey(rec::kJobsKey);
  engine.GetTasks();  // no jobs key: an empty list, nothing runs
  EXPECT_TRUE(engine.Tasks().Empty());
  EXPECT_EQ(shell.calls.size(), 1u);
}

TEST_F(Execute, SessionEndRunsTheShutdownTasksInListOrder) {
  files.existing = {"C:\\a.exe", "C:\\b.exe", "C:\\c.exe", "C:\\d.exe", "C:\\e.exe"};
  // Not due by the clock: shutdown tasks run whatever their trigger says.
  Task("b-zwei", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 1}, {rec::kConfirm, 1}},
       {{rec::kProgram, "C:\\b.exe"}});
  Task("A-eins", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 1}},
       {{rec::kProgram, "C:\\a.exe"}});
  Task("c-aus", {{rec::kOnWindowsEnabled, 0}, {rec::kOnWindows, 1}},
       {{rec::kProgram, "C:\\c.exe"}});
  Task("d-start", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 0}},
       {{rec::kProgram, "C:\\d.exe"}});
  Task("e-einmal", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 1}, {rec::kOncePerSession, 1}},
       {{rec::kProgram, "C:\\e.exe"}});
  engine.GetTasks();
  shell.calls.clear();  // d-start ran at start

  engine.QueryEndSession();
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(shell.calls[0].file, "C:\\a.exe");
  EXPECT_EQ(shell.calls[1].file, "C:\\b.exe");
  EXPECT_EQ(shell.calls[2].file, "C:\\e.exe");
  EXPECT_EQ(engine.Tasks().Row(4).next, "Nächste Session");

  // A cancelled shutdown and a second query: all again but the once-per-session task.
  engine.QueryEndSession();
  ASSERT_EQ(shell.calls.size(), 5u);
  EXPECT_EQ(shell.calls[3].file, "C:\\a.exe");
  EXPECT_EQ(shell.calls[4].file, "C:\\b.exe");
}

TEST_F(Execute, SessionEndPassesOverBrokenTasksAndGoesOn) {
  files.existing = {"C:\\a.exe", "C:\\z.exe"};
  Task("A", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 1}}, {{rec::kProgram, "C:\\a.exe"}});
  Task("M", {{rec::kOnWindowsEnabled, 1}}, {{rec::kProgram, "C:\\a.exe"}});
  Task("N", {{rec::kOnWindowsEnabled, 1}}, {{rec::kProgram, "C:\\a.exe"}});
  Task("Z", {{rec::kOnWindowsEnabled, 1}, {rec::kOnWindows, 1}}, {{rec::kProgram, "C:\\z.exe"}});
  engine.GetTasks();
  shell.calls.clear();  // M and N were bound to Windows start until now
  Remove("M", rec::kOnWindows);                       // enabled, but no binding stored
  Task("N", {}, {{rec::kOnWindows, "1"}}, false);     // a text where a number belongs
  engine.QueryEndSession();
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[0].file, "C:\\a.exe");
  EXPECT_EQ(shell.calls[1].file, "C:\\z.exe");

  // A task deleted by another program meanwhile, and an empty list: nothing runs, no error.
  registry.EraseValue(rec::TaskKey("A"), rec::kName);
  engine.Tasks().Clear();
  engine.QueryEndSession();
  EXPECT_EQ(shell.calls.size(), 2u);
}

}  // namespace
}  // namespace orv::testing
