// Export and import of tasks on the in-memory registry: the round trip, the load checks, the
// three answers to a name clash and the all-or-nothing write.
#include <map>

#include "engine/task_store.h"
#include "engine/task_transfer.h"
#include "unit/engine_fixture.h"

namespace orv::testing {
namespace {

// Fails every write of one value name with given bytes, as a full hive would for that write.
class FailingRegistry : public RegistryBackend {
 public:
  explicit FailingRegistry(RegistryBackend& inner) : inner_(inner) {}
  std::optional<RawValue> failOn;
  std::unique_ptr<Key> Open(const std::string& p, bool c, bool w) override { return inner_.Open(p, c, w); }
  std::optional<RawValue> Query(Key& k, const std::string& n) override { return inner_.Query(k, n); }
  bool Set(Key& k, const std::string& n, const RawValue& v) override {
    if (failOn && failOn->type == v.type && failOn->data == v.data) return false;
    return inner_.Set(k, n, v);
  }
  std::vector<std::string> SubkeyNames(Key& k) override { return inner_.SubkeyNames(k); }
  std::vector<std::string> ValueNames(Key& k) override { return inner_.ValueNames(k); }
  bool DeleteLeaf(const std::string& p) override { return inner_.DeleteLeaf(p); }

 private:
  RegistryBackend& inner_;
};

class TaskTransferTest : public EngineTest {
 protected:
  using Dump = std::map<std::string, std::map<std::string, std::pair<std::uint32_t, std::vector<std::uint8_t>>>>;

  // Every key below the jobs key with its values, by path.
  Dump DumpJobs() {
    Dump dump;
    DumpKey(*NormaliseKeyPath(rec::kJobsKey), dump);
    return dump;
  }
  void DumpKey(const std::string& path, Dump& dump) {
    auto key = registry.Open(path, false, false);
    if (!key) return;
    auto& values = dump[path];
    for (const std::string& n : registry.ValueNames(*key)) {
      const auto v = registry.Query(*key, n);
      values[n] = {v->type, v->data};
    }
    for (const std::string& sub : registry.SubkeyNames(*key)) DumpKey(path + "\\" + sub, dump);
  }

  // A task as the editor saves it, with a watch list of two files.
  void Saved(const std::string& name, int kind, const std::string& program) {
    TaskEditorState s;
    s.name = name;
    s.taskKind = kind;
    s.program = program;
    s.timeEnabled = true;
    s.time = "07:30";
    s.files = {"C:\\Daten\\a.txt", "C:\\Daten\\b.txt"};
    files.stamps["C:\\Daten\\a.txt"] = 37000.5;
    SaveTask(engine, files, s, "");
  }

  std::vector<ImportCandidate> Read(const std::vector<std::uint8_t>& file) {
    return ReadImportFile(engine, file.data(), file.size());
  }

  std::string Text(const std::string& task, const char* value) {
    RegistryAccessor reg(registry);
    reg.OpenKeyReadOnly(rec::TaskKey(task));
    return reg.ReadString(value);
  }
};

TEST_F(TaskTransferTest, TheRulesHoldEveryValueOfTheRecordWithTheTypeTheSaveWrites) {
  const RegFileRules rules = TaskFileRules(engine);
  for (const char* name : rec::kValueOrder) {
    const auto it = std::find_if(rules.taskValues.begin(), rules.taskValues.end(),
                                 [&](const auto& r) { return r.first == name; });
    EXPECT_NE(it, rules.taskValues.end()) << name << " is not written by the save";
  }
  EXPECT_EQ(rules.taskValues.size(), rec::kValueOrder.size());
}

TEST_F(TaskTransferTest, ExportDeleteImportBringsTasksAndRowsBackAsTheyWere) {
  Saved("Sicherung", rec::kTaskProgram, "C:\\Tools\\\"sync\".exe");
  Saved("Neustart", rec::kTaskSystem, "");
  Task("Anderer");
  const Dump before = DumpJobs();
  engine.GetTasks();
  const std::vector<TaskRow> rowsBefore = engine.Tasks().Rows();

  const ExportResult out = ExportTasks(engine, {"Sicherung", "Neustart"});
  EXPECT_EQ(out.exported, (std::vector<std::string>{"Sicherung", "Neustart"}));
  EXPECT_TRUE(out.refused.empty());
  for (std::size_t i = 0; i < engine.Tasks().Size(); ++i)
    engine.Tasks().Row(i).selected = engine.Tasks().Row(i).name != "Anderer";
  ASSERT_EQ(DeleteSelectedTasks(engine, [] { return true; }), 2);

  const auto found = Read(out.file);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].texts.next, rowsBefore[2].next);  // Sicherung, as the list showed it
  const ImportReport report = ImportTasks(engine, files, found, [](const std::string&) {
    ADD_FAILURE() << "no clash expected";
    return ClashAnswer::Skip;
  });
  EXPECT_EQ(report.imported, (std::vector<std::string>{"Sicherung", "Neustart"}));
  EXPECT_EQ(DumpJobs(), before);
  ASSERT_EQ(engine.Tasks().Size(), rowsBefore.size());
  for (std::size_t i = 0; i < rowsBefore.size(); ++i) {
    EXPECT_EQ(engine.Tasks().Row(i).name, rowsBefore[i].name);
    EXPECT_EQ(engine.Tasks().Row(i).next, rowsBefore[i].next);
    EXPECT_EQ(engine.Tasks().Row(i).kind, rowsBefore[i].kind);
  }
}

TEST_F(TaskTransferTest, AnImportedTaskStartsAfreshAndRunsNothingByItself) {
  // Exported a month ago: a restart at 08:00 that makes up a missed run, its next start still
  // the one of then, and a task watching a file that has changed since.
  Task("Neustart", {{rec::kTaskType, rec::kTaskSystem}, {rec::kSystem, rec::kSystemRestart},
                    {rec::kConfirm, 0}, {rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0},
                    {rec::kRecover, rec::kRecoverCatchUp}},
       {{rec::kTime, "08:00"}});
  Task("Akte", {{rec::kTaskAuto, rec::kAutoFileChange}, {rec::kConfirm, 0}},
       {{rec::kProgram, "C:\\run.exe"}});
  const double monthAgo = EncodeDate(2003, 6, 9) + EncodeTime(8, 0);
  {
    RegistryAccessor reg(registry);
    reg.OpenKey(rec::TaskKey("Neustart"), false);
    reg.WriteDateTime(rec::kNextExecution, monthAgo);
    reg.OpenKey(rec::FilesKey("Akte"), true);
    reg.WriteDateTime("C:\\brief.txt", 37000.5);
  }
  const auto stored = DumpJobs().at(*NormaliseKeyPath(rec::TaskKey("Neustart")));
  const auto file = ExportTasks(engine, {"Neustart", "Akte"}).file;
  for (const char* name : {"Neustart", "Akte"}) {
    RegistryAccessor reg(registry);
    reg.DeleteKey(rec::TaskKey(name));
  }
  files.stamps["C:\\brief.txt"] = 37800.25;
  files.existing = {"C:\\run.exe"};

  const auto found = Read(file);
  ASSERT_EQ(found.size(), 2u);
  for (const RegFileValue& v : found[0].task.values) {  // the file is a faithful copy
    if (v.name == rec::kNextExecution) {
      EXPECT_EQ(v.value.data, stored.at(v.name).second);
    }
  }
  const ImportReport report =
      ImportTasks(engine, files, found, [](const std::string&) { return ClashAnswer::Skip; });
  EXPECT_EQ(report.imported, (std::vector<std::string>{"Neustart", "Akte"}));

  // Stored as the editor's save would store them now: the next 08:00, the file's date of now.
  EXPECT_DOUBLE_EQ(NextExecution("Neustart"), EncodeDate(2003, 7, 10) + EncodeTime(8, 0));
  {
    RegistryAccessor reg(registry);
    ASSERT_TRUE(reg.OpenKeyReadOnly(rec::FilesKey("Akte")));
    EXPECT_DOUBLE_EQ(reg.ReadDateTime("C:\\brief.txt"), 37800.25);
  }
  clock.Set(2003, 7, 9, 10, 1);
  engine.TimerJobsTimer();
  EXPECT_TRUE(power.exits.empty()) << "the restart was made up as a missed run";
  EXPECT_TRUE(shell.calls.empty()) << "the watched file counted as changed";
  EXPECT_TRUE(engine.History().Entries().empty());
  EXPECT_DOUBLE_EQ(NextExecution("Neustart"), EncodeDate(2003, 7, 10) + EncodeTime(8, 0));
}

TEST_F(TaskTransferTest, ATaskThatWouldNotLoadIsRefusedAndTheOthersAreImported) {
  // "Gut" as the editor writes it; "Alt" with only what an idle task of an earlier version
  // holds, which the list loads and runs all the same.
  Task("Gut");
  Task("Alt", {{rec::kTaskAuto, rec::kAutoIdle}, {rec::kOnIdle, 1}, {rec::kIdleTime, 15}}, {}, false);
  Task("Kaputt", {{rec::kTimeEnabled, 1}, {rec::kIntEnabled, 0}}, {{rec::kTime, "25:99"}});
  Task("Lueckenhaft");
  Remove("Lueckenhaft", rec::kTaskAuto);
  const auto file = ExportTasks(engine, {"Gut", "Kaputt", "Lueckenhaft", "Alt"}).file;
  for (const char* name : {"Gut", "Kaputt", "Lueckenhaft", "Alt"}) {
    RegistryAccessor reg(registry);
    reg.DeleteKey(rec::TaskKey(name));
  }
  const Dump empty = DumpJobs();

  const auto found = Read(file);
  ASSERT_EQ(found.size(), 4u);
  EXPECT_TRUE(found[0].refusal.empty()) << found[0].refusal;
  EXPECT_FALSE(found[1].refusal.empty());
  EXPECT_NE(found[2].refusal.find(rec::kTaskAuto), std::string::npos) << found[2].refusal;
  EXPECT_TRUE(found[3].refusal.empty()) << found[3].refusal;
  EXPECT_EQ(found[3].texts.next, "15 Minute(n)");
  EXPECT_EQ(DumpJobs(), empty) << "reading the file writes nothing";

  const ImportReport report = ImportTasks(engine, files, found, [](const std::string&) { return ClashAnswer::Skip; });
  EXPECT_EQ(report.imported, (std::vector<std::string>{"Gut", "Alt"}));
  ASSERT_EQ(report.refused.size(), 2u);
  EXPECT_EQ(report.refused[0].rfind("Kaputt: ", 0), 0u);
  RegistryAccessor reg(registry);
  EXPECT_FALSE(reg.KeyExists(rec::TaskKey("Kaputt")));
  EXPECT_FALSE(reg.KeyExists(rec::TaskKey("Lueckenhaft")));
}

TEST_F(TaskTransferTest, ExportLeavesOutWhatNoImportTakesAndRefusesASetTooLarge) {
  Task("Gut");
  Task("Falsch", {}, {{rec::kTaskType, "0"}});
  Task("Riesig", {}, {{rec::kProgram, std::string(40000, 'x')}});
  const ExportResult out = ExportTasks(engine, {"Gut", "Falsch", "Riesig", "Fehlt"});
  EXPECT_EQ(out.exported, (std::vector<std::string>{"Gut"}));
  ASSERT_EQ(out.refused.size(), 3u);
  EXPECT_EQ(out.refused[0], "Falsch: Der Wert \"TaskType\" hat einen falschen Typ.");
  EXPECT_EQ(out.refused[1], "Riesig: Der Wert \"Program\" ist größer als 64 KB.");
  EXPECT_EQ(out.refused[2].rfind("Fehlt: ", 0), 0u);
  EXPECT_EQ(ParseRegFile(out.file.data(), out.file.size(), TaskFileRules(engine)).size(), 1u);

  // As many tasks as the import takes, and one more. (A set of more than 16 MiB is refused by
  // the same check; writing that much takes seconds in the sanitizer build.)
  std::vector<std::string> names;
  for (std::size_t i = 0; i < kMaxRegFileTasks; ++i) {
    names.push_back("T" + std::to_string(i));
    registry.SetRaw(rec::TaskKey(names.back()), rec::kName,
                    RawValue{kRegSz, EncodeRegString(names.back())});
  }
  const ExportResult most = ExportTasks(engine, names);
  EXPECT_EQ(ParseRegFile(most.file.data(), most.file.size(), TaskFileRules(engine)).size(),
            kMaxRegFileTasks);
  names.push_back("Gut");
  try {
    ExportTasks(engine, names);
    ADD_FAILURE() << "a file of more tasks than the import takes was made";
  } catch (const RegFileError& e) {
    EXPECT_STREQ(e.what(),
                 "Die gewählten Tasks ergäben eine Datei, die größer als 16 MB ist oder mehr als "
                 "10000 Tasks enthält; exportieren Sie sie in mehreren Teilen.");
  }
}

TEST_F(TaskTransferTest, TheThreeAnswersToANameClash) {
  Task("Alpha", {}, {{rec::kProgram, "neu.exe"}});
  Task("Beta", {}, {{rec::kProgram, "neu.exe"}});
  Task("Gamma", {}, {{rec::kProgram, "neu.exe"}});
  const auto found = Read(ExportTasks(engine, {"Alpha", "Beta", "Gamma"}).file);
  for (const char* name : {"Alpha", "Beta", "Gamma"}) Task(name, {}, {{rec::kProgram, "alt.exe"}});
  Task("Beta 2");  // taken: the kept one becomes "Beta 3"
  engine.GetTasks();

  std::vector<std::string> asked;
  const ImportReport report = ImportTasks(engine, files, found, [&](const std::string& name) {
    asked.push_back(name);
    return name == "Alpha" ? ClashAnswer::Replace
                           : name == "Beta" ? ClashAnswer::KeepBoth : ClashAnswer::Skip;
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
  EXPECT_EQ(report.imported, (std::vector<std::string>{"Alpha", "Beta 3"}));
  EXPECT_EQ(report.skipped, (std::vector<std::string>{"Gamma"}));

  EXPECT_EQ(Text("Alpha", rec::kProgram), "neu.exe");
  EXPECT_EQ(Text("Beta", rec::kProgram), "alt.exe");
  EXPECT_EQ(Text("Beta 3", rec::kProgram), "neu.exe");
  EXPECT_EQ(Text("Beta 3", rec::kName), "Beta 3");
  EXPECT_EQ(Text("Gamma", rec::kProgram), "alt.exe");
  std::vector<std::string> rows;
  for (const TaskRow& row : engine.Tasks().Rows()) rows.push_back(row.name);
  EXPECT_EQ(rows, (std::vector<std::string>{"Alpha", "Beta", "Beta 2", "Beta 3", "Gamma"}));
}

TEST_F(TaskTransferTest, AFreeNameStaysWithinThirtyCharacters) {
  const std::string longName(30, 'x');
  Task(longName);
  const std::string free = FreeTaskName(engine, longName);
  EXPECT_EQ(free, std::string(28, 'x') + " 2");
  EXPECT_EQ(FreeTaskName(engine, "Frei"), "Frei 2") << "only a taken name is asked about";
}

TEST_F(TaskTransferTest, AFailedWriteLeavesNothingHalfWrittenAndPutsTheReplacedTaskBack) {
  Task("Alpha", {}, {{rec::kProgram, "neu.exe"}});
  Task("Beta", {}, {{rec::kProgram, "neu.exe"}});
  const auto found = Read(ExportTasks(engine, {"Alpha", "Beta"}).file);
  Task("Alpha", {}, {{rec::kProgram, "alt.exe"}});
  {
    RegistryAccessor reg(registry);
    reg.DeleteKey(rec::TaskKey("Beta"));
  }
  engine.GetTasks();
  const Dump before = DumpJobs();

  FailingRegistry failing(registry);
  failing.failOn = RawValue{kRegSz, EncodeRegString("neu.exe")};
  Engine onFailing(failing, clock, locale, messages);
  onFailing.GetTasks();
  const ImportReport report =
      ImportTasks(onFailing, files, found, [](const std::string&) { return ClashAnswer::Replace; });
  EXPECT_TRUE(report.imported.empty());
  EXPECT_EQ(report.refused.size(), 2u);
  EXPECT_EQ(DumpJobs(), before);
  ASSERT_EQ(onFailing.Tasks().Size(), 1u);
  EXPECT_EQ(onFailing.Tasks().Row(0).name, "Alpha");
}

}  // namespace
}  // namespace orv::testing
