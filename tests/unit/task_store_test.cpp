// Saving, loading and deleting tasks through the editor's state, on the in-memory registry.
#include <algorithm>
#include <iterator>

#include "base/datetext.h"
#include "engine/task_store.h"
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

class TaskStoreTest : public EngineTest {
 protected:
  std::vector<std::string> ValueNames(const std::string& path) {
    RegistryAccessor reg(registry);
    EXPECT_TRUE(reg.OpenKeyReadOnly(path)) << path;
    std::vector<std::string> names;
    reg.GetValueNames(names);
    return names;
  }
  std::optional<RawValue> Raw(const std::string& path, const std::string& name) {
    auto key = registry.Open(*NormaliseKeyPath(path), false, false);
    if (!key) return std::nullopt;
    return registry.Query(*key, name);
  }
  std::string String(const std::string& task, const std::string& name) {
    RegistryAccessor reg(registry);
    reg.OpenKeyReadOnly(rec::TaskKey(task));
    return reg.ReadString(name);
  }
  std::int32_t Integer(const std::string& task, const std::string& name) {
    RegistryAccessor reg(registry);
    reg.OpenKeyReadOnly(rec::TaskKey(task));
    return reg.ReadInteger(name);
  }
  bool KeyExists(const std::string& path) {
    RegistryAccessor reg(registry);
    return reg.KeyExists(path);
  }
  void Save(const TaskEditorState& state, const std::string& editing = "") {
    SaveTask(engine, files, state, editing);
  }
  TaskEditorState Named(const std::string& name) {
    TaskEditorState s = TaskEditorState::AfterReset();
    s.name = name;
    return s;
  }
  void Row(const std::string& name, bool selected) {
    engine.Tasks().Add(TaskRow{name, "x", "y", selected});
  }
  std::vector<std::string> RowNames() {
    std::vector<std::string> names;
    for (const TaskRow& r : engine.Tasks().Rows()) names.push_back(r.name);
    return names;
  }

  static std::vector<std::string> Order(std::size_t count = rec::kValueOrder.size()) {
    return std::vector<std::string>(rec::kValueOrder.begin(), rec::kValueOrder.begin() + count);
  }
};

TEST_F(TaskStoreTest, NewTaskWritesEveryValueInOrderWithTheRecordDefaults) {
  Row("Zeta", true);
  Save(Named("Backup"));

  EXPECT_EQ(ValueNames(rec::TaskKey("Backup")), Order());
  EXPECT_TRUE(KeyExists(rec::FilesKey("Backup")));
  EXPECT_TRUE(ValueNames(rec::FilesKey("Backup")).empty());

  // Untouched controls store the defaults a user sees in the editor, written out here as the
  // registry holds them (integers and booleans as REG_DWORD, texts as REG_SZ) rather than taken
  // from the program's own constants, so that a changed default shows.
  const std::pair<const char*, std::int32_t> integers[] = {
      {"TaskType", 0},       {"Param", 0},          {"InBrowser", 1},
      {"TimeoutEnabled", 1}, {"Timeout", 1000},     {"System", 0},
      {"PowerOff", 1},       {"ForceNot", 1},       {"TaskAuto", 0},
      {"Intervall", 10},     {"IntEnabled", 1},     {"TimeEnabled", 0},
      {"OnMonday", 1},       {"OnTuesday", 1},      {"OnWednesday", 1},
      {"OnThursday", 1},     {"OnFriday", 1},       {"OnSaturday", 1},
      {"OnSunday", 1},       {"DayRestriction", 0}, {"OnIdle", 1},
      {"IdleTime", 10},      {"ChangeFiles", 1},    {"OnWindowsEnabled", 0},
      {"OnWindows", 0},      {"OncePerSession", 0}, {"ProgramActionEnabled", 0},
      {"ProgramAction", 0},  {"Confirm", 1},        {"Recover", 2},
      {"WarnEnabled", 1},    {"WarnSeconds", 30}};
  for (const auto& [value, expected] : integers)
    EXPECT_EQ(Integer("Backup", value), expected) << value;
  const std::pair<const char*, std::string> strings[] = {
      {"Program", ""},        {"ParamString", ""}, {"ProgramShow", "SW_SHOW"},
      {"URL", "http://"},     {"URLShow", "SW_SHOW"}, {"Time", "18:00"},
      {"MonthDays", std::string(31, '0')}, {"ProgramActionFile", ""}};
  for (const auto& [value, expected] : strings)
    EXPECT_EQ(String("Backup", value), expected) << value;
  // With the time-of-day rule off there is no next fixed-time run.
  EXPECT_EQ(NextExecution("Backup"), 0.0);
  EXPECT_EQ(std::size(integers) + std::size(strings) + 3, rec::kValueOrder.size())
      << "every value but Name, Definition and NextExecution is pinned here";
  EXPECT_EQ(String("Backup", rec::kName), "Backup");
  EXPECT_EQ(String("Backup", rec::kDefinition), "Mittwoch, 09. Juli 2003 - 10:00 Uhr");

  // The new row is selected and the earlier selection stays.
  ASSERT_EQ(RowNames(), (std::vector<std::string>{"Backup", "Zeta"}));
  const ScheduleTexts texts = engine.SetMinutesText("Backup");
  EXPECT_EQ(engine.Tasks().Row(0).next, texts.next);
  EXPECT_EQ(engine.Tasks().Row(0).kind, texts.kind);
  EXPECT_TRUE(engine.Tasks().Row(0).selected);
  EXPECT_TRUE(engine.Tasks().Row(1).selected);
}

TEST_F(TaskStoreTest, StartUpAndResetStatesDifferOnlyInTheProgramCondition) {
  TaskEditorState start = TaskEditorState::StartUp();
  const TaskEditorState reset = TaskEditorState::AfterReset();
  EXPECT_EQ(start.programAction, rec::kProgramInactive);
  EXPECT_EQ(reset.programAction, rec::kProgramActive);
  start.programAction = reset.programAction;
  EXPECT_EQ(start, reset);

  TaskEditorState first = TaskEditorState::StartUp();
  first.name = "Start";
  Save(first);
  EXPECT_EQ(Integer("Start", rec::kProgramAction), rec::kProgramInactive);
}

TEST_F(TaskStoreTest, EveryKindStoresEveryValueAndMonthDaysByPosition) {
  TaskEditorState s = Named("Web");
  s.taskKind = rec::kTaskInternet;
  s.monthDays[0] = s.monthDays[30] = true;
  Save(s);
  EXPECT_EQ(ValueNames(rec::TaskKey("Web")), Order());
  EXPECT_EQ(Integer("Web", rec::kTaskType), rec::kTaskInternet);
  EXPECT_EQ(Integer("Web", rec::kSystem), rec::kSystemRestart);
  EXPECT_EQ(Integer("Web", rec::kIdleTime), rec::def::kIdleTime);
  EXPECT_EQ(String("Web", rec::kProgram), "");
  EXPECT_EQ(String("Web", rec::kMonthDays), "1" + std::string(29, '0') + "1");

  // No system choice: the value is left out, everything else is written.
  s.name = "NoChoice";
  s.system = -1;
  s.programShow = -1;
  Save(s);
  std::vector<std::string> expected = Order();
  expected.erase(std::find(expected.begin(), expected.end(), std::string(rec::kSystem)));
  EXPECT_EQ(ValueNames(rec::TaskKey("NoChoice")), expected);
  EXPECT_EQ(String("NoChoice", rec::kProgramShow), "");
}

TEST_F(TaskStoreTest, NextExecutionIsComputedFromTheValuesJustWritten) {
  TaskEditorState s = Named("Evening");
  s.timeEnabled = true;
  s.time = "18:30";
  Save(s);
  EXPECT_DOUBLE_EQ(NextExecution("Evening"), EncodeDate(2003, 7, 9) + EncodeTime(18, 30));

  clock.Set(2003, 7, 7, 18, 0);
  s.name = "Monday";
  Save(s);
  EXPECT_EQ(String("Monday", rec::kDefinition), "Montag, 07. Juli 2003 - 18:00 Uhr");
  EXPECT_DOUBLE_EQ(NextExecution("Monday"), EncodeDate(2003, 7, 7) + EncodeTime(18, 30));
}

TEST_F(TaskStoreTest, EditRecreatesTheKeyAndKeepsRecover) {
  Task("Backup", {{rec::kRecover, rec::kRecoverSkip}, {"Foreign", 7}});
  registry.SetRaw(rec::FilesKey("Backup"), "C:\\old.txt",
                  RawValue{kRegBinary, std::vector<std::uint8_t>(8)});
  Row("Backup", true);
  Row("Other", false);

  TaskEditorState s = Named("Backup");
  s.files = {"C:\\new.txt"};
  files.stamps["C:\\new.txt"] = 37000.5;
  Save(s, "Backup");

  EXPECT_EQ(Raw(rec::TaskKey("Backup"), "Foreign"), std::nullopt);
  EXPECT_EQ(ValueNames(rec::TaskKey("Backup")), Order());
  EXPECT_EQ(Integer("Backup", rec::kRecover), rec::kRecoverSkip);
  EXPECT_EQ(ValueNames(rec::FilesKey("Backup")), (std::vector<std::string>{"C:\\new.txt"}));
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Backup", "Other"}));
}

TEST_F(TaskStoreTest, RenameReplacesKeyAndRow) {
  Task("Old", {{rec::kRecover, rec::kRecoverCatchUp}});
  Row("Alpha", false);
  Row("Old", true);
  Row("Zed", false);

  Save(Named("New"), "Old");
  EXPECT_FALSE(KeyExists(rec::TaskKey("Old")));
  EXPECT_EQ(Integer("New", rec::kRecover), rec::kRecoverCatchUp);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Alpha", "New", "Zed"}));
  EXPECT_TRUE(engine.Tasks().Row(1).selected);
  EXPECT_FALSE(engine.Tasks().Row(0).selected);

  // Only the letter case changes: the key takes the new spelling.
  Save(Named("NEW"), "New");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Alpha", "NEW", "Zed"}));
  RegistryAccessor reg(registry);
  ASSERT_TRUE(reg.OpenKeyReadOnly(rec::kJobsKey));
  EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"NEW"}));
}

TEST_F(TaskStoreTest, EditedRowIsFoundByNameWhenTheSelectionDoesNotHoldIt) {
  Task("Old");
  Row("Alpha", true);  // selected, but not the task being edited: it stays
  Row("Old", false);
  Save(Named("New"), "Old");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Alpha", "New"}));

  // A row that is gone altogether: nothing else is removed.
  Task("Gone");
  Save(Named("Back"), "Gone");
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"Alpha", "Back", "New"}));
}

TEST_F(TaskStoreTest, RecoverMissingOrUnreadableBecomesAsk) {
  Task("NoRecover");
  Remove("NoRecover", rec::kRecover);
  Save(Named("NoRecover"), "NoRecover");
  EXPECT_EQ(Integer("NoRecover", rec::kRecover), rec::kRecoverAsk);

  Task("TextRecover", {}, {{rec::kRecover, "1"}});
  Save(Named("TextRecover"), "TextRecover");
  EXPECT_EQ(Integer("TextRecover", rec::kRecover), rec::kRecoverAsk);
}

TEST_F(TaskStoreTest, WatchListHoldsTheDatesOfNowInListOrder) {
  TaskEditorState s = Named("Watch");
  s.AddFiles({"C:\\b.txt", "C:\\gone.txt", "c:\\B.TXT", "C:\\a.txt"});
  ASSERT_EQ(s.files, (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt", "C:\\gone.txt"}));
  files.stamps["C:\\a.txt"] = 37800.25;
  files.stamps["C:\\b.txt"] = 37801.75;
  Save(s);

  EXPECT_EQ(ValueNames(rec::FilesKey("Watch")), s.files);
  RegistryAccessor reg(registry);
  ASSERT_TRUE(reg.OpenKeyReadOnly(rec::FilesKey("Watch")));
  EXPECT_EQ(reg.ReadDateTime("C:\\a.txt"), 37800.25);
  EXPECT_EQ(reg.ReadDateTime("C:\\b.txt"), 37801.75);
  EXPECT_EQ(reg.ReadDateTime("C:\\gone.txt"), rec::kNoFileDate);
}

TEST_F(TaskStoreTest, SaveThenLoadGivesTheSameState) {
  TaskEditorState s = Named("Full");
  s.taskKind = rec::kTaskSystem;
  s.program = "C:\\Programme\\x.exe";
  s.param = true;
  s.paramString = "-q";
  s.programShow = 0;
  s.url = "http://example.org/";
  s.inBrowser = false;
  s.timeoutEnabled = false;
  s.timeout = 2500;
  s.urlShow = 2;
  s.system = rec::kSystemLogoff;
  s.powerOff = false;
  s.forceNot = false;
  s.trigger = rec::kAutoFileChange;
  s.intervall = 45;
  s.intEnabled = false;
  s.time = "07:15";
  s.timeEnabled = true;
  s.weekdays = {true, false, true, false, true, false, false};
  s.monthDays[4] = s.monthDays[19] = true;
  s.dayRestriction = rec::kRestrictMonthDays;
  s.onIdle = false;
  s.idleTime = 600;
  s.changeFiles = false;
  s.files = {"C:\\a.txt", "D:\\z.log"};
  s.onWindowsEnabled = true;
  s.onWindows = rec::kOnWindowsShutdown;
  s.oncePerSession = true;
  s.programActionEnabled = true;
  s.programAction = rec::kProgramInactive;
  s.programActionFile = "C:\\p.exe";
  s.confirm = false;
  s.warnEnabled = false;
  s.warnSeconds = 120;
  Save(s);

  EXPECT_EQ(Integer("Full", rec::kOnMonday), 1);
  EXPECT_EQ(Integer("Full", rec::kOnTuesday), 0);
  EXPECT_EQ(Integer("Full", rec::kOnFriday), 1);
  EXPECT_EQ(Integer("Full", rec::kOnSunday), 0);
  EXPECT_EQ(String("Full", rec::kURLShow), "SW_MINIMIZE");

  TaskEditorState loaded = TaskEditorState::StartUp();
  ASSERT_TRUE(LoadTaskData(engine, "Full", loaded).Complete());
  EXPECT_EQ(loaded, s);

  // And the defaults survive the round trip as well.
  Save(Named("Plain"));
  loaded = s;
  ASSERT_TRUE(LoadTaskData(engine, "Plain", loaded).Complete());
  EXPECT_EQ(loaded, Named("Plain"));
}

TEST_F(TaskStoreTest, LoadOfAnEarlierVersionKeepsTheMissingGroups) {
  Task("Early", {{rec::kTimeout, 5000}, {rec::kOnWindows, 1}});
  Remove("Early", rec::kTimeoutEnabled);
  Remove("Early", rec::kOnWindowsEnabled);
  TaskEditorState s = TaskEditorState::StartUp();
  s.timeoutEnabled = false;
  s.timeout = 555;
  s.onWindowsEnabled = true;
  s.onWindows = -1;
  s.oncePerSession = true;
  s.programActionFile = "kept";
  s.files = {"C:\\kept.txt"};  // no watch list stored: the list stays
  ASSERT_TRUE(LoadTaskData(engine, "Early", s).Complete());
  EXPECT_FALSE(s.timeoutEnabled);
  EXPECT_EQ(s.timeout, 555);
  EXPECT_TRUE(s.onWindowsEnabled);
  EXPECT_EQ(s.onWindows, -1);
  EXPECT_TRUE(s.oncePerSession);
  EXPECT_EQ(s.programActionFile, "kept");
  EXPECT_EQ(s.programAction, rec::kProgramInactive);
  EXPECT_EQ(s.files, (std::vector<std::string>{"C:\\kept.txt"}));
  EXPECT_EQ(s.name, "Early");
  // Stored before the warning existed: none, and saving it from the editor keeps it so.
  EXPECT_FALSE(s.warnEnabled);
  Save(s, "Early");
  EXPECT_EQ(Integer("Early", rec::kWarnEnabled), 0);
}

TEST_F(TaskStoreTest, LoadBringsIndexesAndNumbersIntoRange) {
  Task("Odd",
       {{rec::kTaskType, 7}, {rec::kTaskAuto, -2}, {rec::kDayRestriction, 9},
        {rec::kOnWindows, 5}, {rec::kProgramAction, -1}, {rec::kSystem, 9},
        {rec::kIntervall, 0}, {rec::kIdleTime, 9999}, {rec::kTimeout, 50},
        {rec::kWarnEnabled, 1}, {rec::kWarnSeconds, 9999}},
       {{rec::kProgramShow, "sw_hide"}, {rec::kURLShow, "SW_NORMAL"},
        {rec::kMonthDays, "1" + std::string(30, '0')}});
  TaskEditorState s = TaskEditorState::StartUp();
  s.system = rec::kSystemStandby;
  ASSERT_TRUE(LoadTaskData(engine, "Odd", s).Complete());
  EXPECT_EQ(s.taskKind, rec::kTaskSystem);
  EXPECT_EQ(s.trigger, 0);
  EXPECT_EQ(s.dayRestriction, rec::kRestrictMonthDays);
  EXPECT_EQ(s.onWindows, -1);
  EXPECT_EQ(s.programAction, -1);
  EXPECT_EQ(s.system, rec::kSystemStandby);
  EXPECT_EQ(s.intervall, rec::kMinIntervall);
  EXPECT_EQ(s.idleTime, rec::kMaxIdleTime);
  EXPECT_EQ(s.timeout, rec::kMinTimeout);
  EXPECT_EQ(s.warnSeconds, rec::kMaxWarnSeconds);
  EXPECT_EQ(s.programShow, 0);
  EXPECT_EQ(s.urlShow, -1);
  std::array<bool, 31> onlyFirst{};
  onlyFirst[0] = true;
  EXPECT_EQ(s.monthDays, onlyFirst);

  // A short text: the days past its end are not chosen.
  Task("Short", {}, {{rec::kMonthDays, "01"}});
  s.monthDays.fill(true);
  ASSERT_TRUE(LoadTaskData(engine, "Short", s).Complete());
  std::array<bool, 31> onlySecond{};
  onlySecond[1] = true;
  EXPECT_EQ(s.monthDays, onlySecond);
}

TEST_F(TaskStoreTest, WarningValuesWrittenByHandSurviveLoadSaveLoad) {
  Task("Warn", {{rec::kTaskType, rec::kTaskSystem}, {rec::kWarnEnabled, 1},
                {rec::kWarnSeconds, 45}});
  TaskEditorState s = TaskEditorState::StartUp();
  ASSERT_TRUE(LoadTaskData(engine, "Warn", s).Complete());
  EXPECT_TRUE(s.warnEnabled);
  EXPECT_EQ(s.warnSeconds, 45);
  Save(s, "Warn");
  EXPECT_EQ(Integer("Warn", rec::kWarnEnabled), 1);
  EXPECT_EQ(Integer("Warn", rec::kWarnSeconds), 45);
  TaskEditorState again = TaskEditorState::StartUp();
  ASSERT_TRUE(LoadTaskData(engine, "Warn", again).Complete());
  EXPECT_EQ(again, s);

  // Out of range: brought into 5..600 on loading, as every stored number is, and saved so.
  Task("Warn", {{rec::kWarnSeconds, 3}}, {}, false);
  ASSERT_TRUE(LoadTaskData(engine, "Warn", s).Complete());
  EXPECT_EQ(s.warnSeconds, rec::kMinWarnSeconds);
  Save(s, "Warn");
  EXPECT_EQ(Integer("Warn", rec::kWarnSeconds), rec::kMinWarnSeconds);
  Task("Warn", {{rec::kWarnSeconds, 100000}}, {}, false);
  ASSERT_TRUE(LoadTaskData(engine, "Warn", s).Complete());
  EXPECT_EQ(s.warnSeconds, rec::kMaxWarnSeconds);
  Save(s, "Warn");
  EXPECT_EQ(Integer("Warn", rec::kWarnSeconds), rec::kMaxWarnSeconds);

  // A length without WarnEnabled: no warning, and the length is kept, not the field's.
  Remove("Warn", rec::kWarnEnabled);
  Task("Warn", {{rec::kWarnSeconds, 45}}, {}, false);
  s = TaskEditorState::StartUp();
  ASSERT_TRUE(LoadTaskData(engine, "Warn", s).Complete());
  EXPECT_FALSE(s.warnEnabled);
  Save(s, "Warn");
  EXPECT_EQ(Integer("Warn", rec::kWarnEnabled), 0);
  EXPECT_EQ(Integer("Warn", rec::kWarnSeconds), 45);
}

TEST_F(TaskStoreTest, LoadFillsWhatCanBeReadAndNamesTheRest) {
  // A task that cannot be run: its trigger and type unreadable. Everything else still loads,
  // the broken values keep the defaults handed in, and the save writes a sound task over it.
  Task("Broken", {{rec::kIntervall, 45}, {rec::kConfirm, 0}},
       {{rec::kTaskType, "0"}, {rec::kProgram, "C:\\x.exe"}});
  Remove("Broken", rec::kTaskAuto);
  TaskEditorState s = TaskEditorState::AfterReset();
  s.taskKind = 2;  // what the caller's defaults say
  const TaskLoad load = LoadTaskData(engine, "Broken", s);
  EXPECT_TRUE(load.keyFound);
  EXPECT_FALSE(load.Complete());
  EXPECT_EQ(load.unreadable, (std::vector<std::string>{rec::kTaskType, rec::kTaskAuto}));
  EXPECT_EQ(s.taskKind, 2);
  EXPECT_EQ(s.trigger, rec::def::kTaskAuto);
  EXPECT_EQ(s.program, "C:\\x.exe");  // read after the first failure
  EXPECT_EQ(s.intervall, 45);
  EXPECT_FALSE(s.confirm);
  EXPECT_EQ(s.name, "Broken");
  engine.GetTasks();
  ASSERT_TRUE(engine.Tasks().Row(0).unreadable);
  EXPECT_FALSE(engine.ReportBrokenTaskOnce("Broken"));  // told at start
  Save(s, "Broken");
  EXPECT_TRUE(LoadTaskData(engine, "Broken", s).Complete());
  EXPECT_FALSE(engine.Tasks().Row(0).unreadable);
  // Saved anew, the task is reported again should it break again.
  EXPECT_TRUE(engine.ReportBrokenTaskOnce("Broken"));

  // A key that does not exist fills nothing.
  TaskEditorState fresh = TaskEditorState::StartUp();
  EXPECT_FALSE(LoadTaskData(engine, "Missing", fresh).keyFound);
  EXPECT_EQ(fresh, TaskEditorState::StartUp());
}

TEST_F(TaskStoreTest, LoadReplacesTheFileListWithTheSortedWatchList) {
  Task("Files");
  const RawValue stamp{kRegBinary, std::vector<std::uint8_t>(8)};
  registry.SetRaw(rec::FilesKey("Files"), "D:\\z.txt", stamp);
  registry.SetRaw(rec::FilesKey("Files"), "c:\\b.txt", stamp);
  registry.SetRaw(rec::FilesKey("Files"), "C:\\a.txt", stamp);
  TaskEditorState s = TaskEditorState::StartUp();
  s.files = {"C:\\before.txt"};
  ASSERT_TRUE(LoadTaskData(engine, "Files", s).Complete());
  EXPECT_EQ(s.files, (std::vector<std::string>{"C:\\a.txt", "c:\\b.txt", "D:\\z.txt"}));
}

TEST_F(TaskStoreTest, DeleteAsksOnceAndRemovesTheSelectedTasks) {
  for (const char* n : {"A", "B", "C", "D"}) {
    Task(n);
    Row(n, std::string(n) != "C");
  }
  int questions = 0;
  EXPECT_EQ(DeleteSelectedTasks(engine, [&] { return ++questions, false; }), 0);
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(RowNames().size(), 4u);
  EXPECT_TRUE(KeyExists(rec::TaskKey("A")));

  registry.SetRaw(rec::FilesKey("B"), "C:\\x",
                  RawValue{kRegBinary, std::vector<std::uint8_t>(8)});
  EXPECT_EQ(DeleteSelectedTasks(engine, [&] { return ++questions, true; }), 3);
  EXPECT_EQ(questions, 2);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"C"}));
  for (const char* n : {"A", "B", "D"}) EXPECT_FALSE(KeyExists(rec::TaskKey(n))) << n;
  EXPECT_TRUE(KeyExists(rec::TaskKey("C")));

  engine.Tasks().Row(0).selected = false;
  EXPECT_EQ(DeleteSelectedTasks(engine, [&] { return ++questions, true; }), 0);
  EXPECT_EQ(questions, 2);

  // A row whose key is already gone is removed without complaint.
  Row("Ghost", true);
  EXPECT_EQ(DeleteSelectedTasks(engine, [] { return true; }), 1);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"C"}));
}

TEST_F(TaskStoreTest, NameFilterAndChecks) {
  EXPECT_EQ(FilterTaskName("Büro 1"), "Bro 1");
  EXPECT_EQ(FilterTaskName("a\\b"), "ab");
  EXPECT_EQ(FilterTaskName("Az09 -._\t/:*?\"<>|\x7F"), "Az09 -._");
  EXPECT_EQ(FilterTaskName(std::string(40, 'x')), std::string(30, 'x'));
  EXPECT_EQ(FilterTaskName(std::string(35, '\\') + "ok"), "ok");

  Task("Backup");
  EXPECT_EQ(CheckTaskName(engine, "", ""), NameCheck::Missing);
  EXPECT_EQ(CheckTaskName(engine, "äß", ""), NameCheck::Missing);
  EXPECT_EQ(CheckTaskName(engine, "Mail", ""), NameCheck::Ok);
  EXPECT_EQ(CheckTaskName(engine, "BACKUP", ""), NameCheck::Taken);
  EXPECT_EQ(CheckTaskName(engine, "BACKUP", "Backup"), NameCheck::Taken);  // case alone
  EXPECT_EQ(CheckTaskName(engine, "Backup", "Backup"), NameCheck::Ok);
  EXPECT_EQ(CheckTaskName(engine, "Backup", "Other"), NameCheck::Taken);
  EXPECT_EQ(CheckTaskName(engine, "Mail", "Backup"), NameCheck::Ok);

  // The save refuses a name the filter would change, before touching anything.
  Task("Safe");
  EXPECT_THROW(Save(Named("Safe\\Sub"), "Safe"), std::invalid_argument);
  EXPECT_THROW(Save(Named("")), std::invalid_argument);
  EXPECT_TRUE(KeyExists(rec::TaskKey("Safe")));
}

TEST_F(TaskStoreTest, OpeningAndSavingATaskKeepsItsStoredName) {
  // Names the field would not let anyone type: stored by an older version or by other means.
  const std::string umlaut = "Sicherung Büro";
  const std::string longName = "Monatliche Sicherung der Kundendaten";  // 36 characters
  for (const std::string& name : {umlaut, longName}) {
    Task(name);
    TaskEditorState s = TaskEditorState::AfterReset();
    ASSERT_TRUE(LoadTaskData(engine, name, s).Complete());
    EXPECT_EQ(s.name, name);
    EXPECT_EQ(CheckTaskName(engine, s.name, name), NameCheck::Ok);
    Save(s, name);
    EXPECT_TRUE(KeyExists(rec::TaskKey(name))) << name;
    EXPECT_EQ(String(name, rec::kName), name);
    EXPECT_EQ(RowNames(), std::vector<std::string>{name});
    engine.Tasks().Clear();
  }
  EXPECT_FALSE(KeyExists(rec::TaskKey("Sicherung Bro")));
  EXPECT_FALSE(KeyExists(rec::TaskKey(longName.substr(0, 30))));
  // Only the edited task's own name passes unfiltered: as a new name it is still refused.
  EXPECT_THROW(Save(Named(umlaut + " 2"), umlaut), std::invalid_argument);
  EXPECT_THROW(Save(Named(umlaut), "Safe"), std::invalid_argument);

  // A stored Name that is empty, or foreign to the key and not typable, gives the key's name.
  Task("Plain", {}, {{rec::kName, "Other\\Sub"}});
  TaskEditorState s = TaskEditorState::AfterReset();
  ASSERT_TRUE(LoadTaskData(engine, "Plain", s).Complete());
  EXPECT_EQ(s.name, "Plain");
  Remove("Plain", rec::kName);
  s.name.clear();
  ASSERT_TRUE(LoadTaskData(engine, "Plain", s).Complete());
  EXPECT_EQ(s.name, "Plain");
}

struct FailingFiles : Files {
  MemoryRegistry& registry;
  explicit FailingFiles(MemoryRegistry& r) : registry(r) {}
  bool FileExists(const std::string&) override { return false; }
  bool IsFileInUse(const std::string&) override { return false; }
  double GetFileModifyDate(const std::string&) override {
    registry.FailWrites(true);  // the hive fills up while the watch list is written
    return 1.0;
  }
};

TEST_F(TaskStoreTest, FailedWriteRaisesAndKeepsWhatWasWritten) {
  TaskEditorState s = Named("Partial");
  s.files = {"C:\\a.txt"};
  FailingFiles failing(registry);
  EXPECT_THROW(SaveTask(engine, failing, s, ""), RegistryError);
  registry.FailWrites(false);
  EXPECT_EQ(ValueNames(rec::TaskKey("Partial")), Order(30));
  EXPECT_TRUE(ValueNames(rec::FilesKey("Partial")).empty());
  EXPECT_TRUE(engine.Tasks().Empty());
  // The partly written key now counts as a task of that name.
  EXPECT_EQ(CheckTaskName(engine, "Partial", ""), NameCheck::Taken);

  registry.FailWrites(true);
  EXPECT_THROW(Save(Named("Never")), RegistryError);
  registry.FailWrites(false);
  EXPECT_FALSE(KeyExists(rec::TaskKey("Never")));
}

TEST(DateText, PatternsNamesAndLiterals) {
  const LocalTime t{2003, 7, 7, 18, 0, 5, 0};
  EXPECT_EQ(FormatDateTime("dddd, dd. mmmm yyyy - hh:nn \"Uhr\"", t),
            "Montag, 07. Juli 2003 - 18:00 Uhr");
  const LocalTime march{2024, 3, 2, 7, 9, 4, 0};
  EXPECT_EQ(FormatDateTime("dddd d.m.yy h:n:s", march), "Samstag 2.3.24 7:9:4");
  EXPECT_EQ(FormatDateTime("DDD, mmm MMMM 'dd' \"mm\"", march),
            "Sa, Mär März dd mm");
  EXPECT_EQ(FormatDateTime("hh:mm", march), "07:09");  // minutes after an hour
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy", march), "02.03.2024");
  const LocalTime sunday{2000, 12, 31, 23, 59, 0, 0};
  EXPECT_EQ(FormatDateTime("dddd mmmm", sunday), "Sonntag Dezember");
  EXPECT_EQ(FormatDateTime("\"unclosed", sunday), "unclosed");
}

}  // namespace
}  // namespace orv::testing
