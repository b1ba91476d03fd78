#include "engine/task_transfer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <optional>

#include "base/text.h"
#include "engine/task_store.h"
#include "platform/platform.h"
#include "store/registry.h"
#include "store/task_record.h"

namespace orv {
namespace {

// A registry in memory for one task at a time: where an imported task is loaded and checked
// before anything of it reaches the program's registry, and where the save is watched to learn
// the record's value types.
class ScratchRegistry : public RegistryBackend {
 public:
  std::unique_ptr<Key> Open(const std::string& path, bool create, bool) override {
    const std::u16string folded = FoldCase(path);
    if (keys_.count(folded) == 0) {
      if (!create) return nullptr;
      for (std::size_t cut = path.find('\\'); cut != std::string::npos;
           cut = path.find('\\', cut + 1))
        keys_.emplace(FoldCase(path.substr(0, cut)), Node{path.substr(0, cut), {}, {}});
      keys_.emplace(folded, Node{path, {}, {}});
    }
    return std::make_unique<Handle>(folded);
  }
  std::optional<RawValue> Query(Key& key, const std::string& name) override {
    const Node& node = NodeOf(key);
    const auto it = node.index.find(FoldCase(name));
    if (it == node.index.end()) return std::nullopt;
    return node.values[it->second].second;
  }
  bool Set(Key& key, const std::string& name, const RawValue& value) override {
    Node& node = NodeOf(key);
    const auto it = node.index.emplace(FoldCase(name), node.values.size());
    if (it.second)
      node.values.emplace_back(name, value);
    else
      node.values[it.first->second].second = value;
    return true;
  }
  std::vector<std::string> SubkeyNames(Key& key) override {
    const std::string prefix = NodeOf(key).path + "\\";
    std::vector<std::string> names;
    for (const auto& k : keys_) {
      const std::string& path = k.second.path;
      if (path.size() > prefix.size() && NamesEqual(path.substr(0, prefix.size()), prefix) &&
          path.find('\\', prefix.size()) == std::string::npos)
        names.push_back(path.substr(prefix.size()));
    }
    std::sort(names.begin(), names.end(), NameLess);
    return names;
  }
  std::vector<std::string> ValueNames(Key& key) override {
    std::vector<std::string> names;
    for (const auto& v : NodeOf(key).values) names.push_back(v.first);
    return names;
  }
  bool DeleteLeaf(const std::string& path) override { return keys_.erase(FoldCase(path)) > 0; }

  // The values in the order they were first written.
  std::vector<std::pair<std::string, RawValue>> Values(const std::string& absolutePath) {
    const auto norm = NormaliseKeyPath(absolutePath);
    const auto it = norm ? keys_.find(FoldCase(*norm)) : keys_.end();
    return it == keys_.end() ? std::vector<std::pair<std::string, RawValue>>{} : it->second.values;
  }

 private:
  struct Node {
    std::string path;
    std::vector<std::pair<std::string, RawValue>> values;  // in the order first written
    std::map<std::u16string, std::size_t> index;            // by the name's folded case
  };
  struct Handle : Key {
    explicit Handle(std::u16string p) : path(std::move(p)) {}
    std::u16string path;
  };
  Node& NodeOf(Key& key) {
    const auto it = keys_.find(static_cast<Handle&>(key).path);
    if (it == keys_.end()) throw RegistryError("Der Schlüssel wurde gelöscht.");
    return it->second;
  }
  std::map<std::u16string, Node> keys_;
};

// Files for the watched save: no file exists.
struct NoFiles : Files {
  bool FileExists(const std::string&) override { return false; }
  bool IsFileInUse(const std::string&) override { return false; }
  double GetFileModifyDate(const std::string&) override { return rec::kNoFileDate; }
};

bool SameType(const RawValue& v, std::uint32_t type) {
  return v.type == type && (type != kRegDword || v.data.size() == 4);
}

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// Writes the task's values and watch list under `name`. RegistryError when a write fails.
void WriteTask(RegistryAccessor& reg, const std::string& name, const RegFileTask& task,
               bool renamed) {
  if (!reg.OpenKey(rec::TaskKey(name), true))
    throw RegistryError("Der Registrierungsschlüssel des Tasks konnte nicht angelegt werden.");
  for (const RegFileValue& v : task.values) {
    if (renamed && NamesEqual(v.name, rec::kName))
      reg.WriteString(v.name, name);
    else
      reg.WriteRaw(v.name, v.value);
  }
  reg.CloseKey();
  if (!task.hasFiles) return;
  if (!reg.OpenKey(rec::FilesKey(name), true))
    throw RegistryError("Der Schlüssel der Dateiliste konnte nicht angelegt werden.");
  for (const RegFileValue& v : task.files) reg.WriteRaw(v.name, v.value);
  reg.CloseKey();
}

// Every value of a stored task key and its watch list, for putting it back.
RegFileTask ReadStoredTask(RegistryAccessor& reg, const std::string& name) {
  RegFileTask task{name, {}, false, {}};
  const auto readKey = [&](const std::string& path, std::vector<RegFileValue>& out) {
    if (!reg.OpenKeyReadOnly(path)) return false;
    std::vector<std::string> names;
    reg.GetValueNames(names);
    for (const std::string& n : names)
      if (auto v = reg.ReadRaw(n)) out.push_back(RegFileValue{n, std::move(*v)});
    reg.CloseKey();
    return true;
  };
  readKey(rec::TaskKey(name), task.values);
  task.hasFiles = readKey(rec::FilesKey(name), task.files);
  return task;
}

// A date as the registry holds it (8 bytes, little-endian), as RegistryAccessor writes it.
RawValue DateValue(double date) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &date, sizeof bits);
  RawValue v{kRegBinary, {}};
  for (int i = 0; i < 8; ++i) v.data.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  return v;
}

// The task as the import stores it: with its next fixed start computed from its rule now and
// each watched file's date of now, as the editor's save stores a task. The file holds what they
// were where and when it was exported: a next start in the past would count as a missed run at
// the first tick (and be made up at once by a task that catches up), another file date as a
// change of the file. A task without NextExecution stays without. RegistryError or ConvertError
// when the rule cannot be read.
RegFileTask TakenAfresh(Engine& engine, Files& files, const RegFileTask& task) {
  RegFileTask fresh = task;
  for (RegFileValue& v : fresh.values) {
    if (!NamesEqual(v.name, rec::kNextExecution)) continue;
    ScratchRegistry scratch;
    Engine probe(scratch, engine.GetClock(), engine.GetLocale(), engine.Messages());
    {
      RegistryAccessor reg(scratch);
      WriteTask(reg, task.name, task, false);  // a scratch write does not fail
    }
    v.value = DateValue(probe.GetTaskDate(task.name));
  }
  for (RegFileValue& v : fresh.files) v.value = DateValue(files.GetFileModifyDate(v.name));
  return fresh;
}

// What loading would find wrong with the task; empty when it loads as a sound task.
std::string CheckTask(Engine& engine, const RegFileTask& task, ScheduleTexts& texts) {
  ScratchRegistry scratch;
  Engine probe(scratch, engine.GetClock(), engine.GetLocale(), engine.Messages());
  {
    RegistryAccessor reg(scratch);
    WriteTask(reg, task.name, task, false);  // a scratch write does not fail
  }
  // A missing value is what a task of an earlier version (or one stored by hand) lacks: the
  // program lists and runs it when its texts can be computed, so the import takes it too. A
  // value that is there and cannot be read is refused.
  TaskEditorState state;
  const TaskLoad load = LoadTaskData(probe, task.name, state);
  std::vector<std::string> unreadable;
  for (const std::string& name : load.unreadable)
    for (const RegFileValue& v : task.values)
      if (NamesEqual(v.name, name)) unreadable.push_back(name);
  if (!unreadable.empty()) return "Diese Werte sind unlesbar: " + Join(unreadable);
  try {
    texts = probe.SetMinutesText(task.name);
    RegistryAccessor reg(scratch);
    reg.OpenKeyReadOnly(rec::TaskKey(task.name));
    if (reg.ValueExists(rec::kNextExecution)) {
      reg.ReadDateTime(rec::kNextExecution);
      probe.GetTaskDate(task.name);  // what the import stores in its place
    }
    if (task.hasFiles) {
      reg.OpenKeyReadOnly(rec::FilesKey(task.name));
      for (const RegFileValue& v : task.files) reg.ReadDateTime(v.name);
    }
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

}  // namespace

RegFileRules TaskFileRules(Engine& engine) {
  // A program task and a system task as a new task's defaults: together they write every value
  // the save knows (some are written only for some kinds of task).
  RegFileRules rules;
  for (int kind : {rec::kTaskProgram, rec::kTaskSystem}) {
    ScratchRegistry scratch;
    Engine probe(scratch, engine.GetClock(), engine.GetLocale(), engine.Messages());
    NoFiles files;
    TaskEditorState state;
    state.name = "Task";
    state.taskKind = kind;
    SaveTask(probe, files, state, "");
    for (auto& v : scratch.Values(rec::TaskKey(state.name))) {
      const bool known = std::any_of(rules.taskValues.begin(), rules.taskValues.end(),
                                     [&](const auto& r) { return NamesEqual(r.first, v.first); });
      if (!known) rules.taskValues.emplace_back(v.first, v.second.type);
    }
  }
  return rules;
}

ExportResult ExportTasks(Engine& engine, const std::vector<std::string>& names) {
  const RegFileRules rules = TaskFileRules(engine);
  ExportResult result;
  std::vector<RegFileTask> tasks;
  RegistryAccessor reg(engine.Registry());
  for (const std::string& name : names) {
    RegFileTask task{name, {}, false, {}};
    std::string refusal;
    try {
      if (!reg.OpenKeyReadOnly(rec::TaskKey(name)))
        throw RegistryError("Der Task ist nicht gespeichert.");
      for (const auto& rule : rules.taskValues) {
        std::optional<RawValue> v = reg.ReadRaw(rule.first);
        if (!v) continue;
        if (!SameType(*v, rule.second))
          throw RegistryError("Der Wert \"" + rule.first + "\" hat einen falschen Typ.");
        if (v->data.size() > kMaxRegValueBytes)  // the import refuses a file holding it
          throw RegistryError("Der Wert \"" + rule.first + "\" ist größer als 64 KB.");
        task.values.push_back(RegFileValue{rule.first, std::move(*v)});
      }
      reg.CloseKey();
      if (reg.OpenKeyReadOnly(rec::FilesKey(name))) {
        task.hasFiles = true;
        std::vector<std::string> paths;
        reg.GetValueNames(paths);
        std::sort(paths.begin(), paths.end(), NameLess);
        for (const std::string& path : paths) {
          std::optional<RawValue> v = reg.ReadRaw(path);
          if (!v) continue;
          if (v->type != kRegBinary || v->data.size() != 8)
            throw RegistryError("Der Eintrag \"" + path + "\" der Dateiliste ist kein Datum.");
          task.files.push_back(RegFileValue{path, std::move(*v)});
        }
        reg.CloseKey();
      }
      WriteRegFile({task});  // a name the file cannot hold is found here
    } catch (const std::exception& e) {
      reg.CloseKey();
      result.refused.push_back(name + ": " + e.what());
      continue;
    }
    result.exported.push_back(name);
    tasks.push_back(std::move(task));
  }
  result.file = WriteRegFile(tasks);
  // A file the import would refuse is not written.
  if (result.file.size() > kMaxRegFileBytes || tasks.size() > kMaxRegFileTasks)
    throw RegFileError(0, "Die gewählten Tasks ergäben eine Datei, die größer als 16 MB ist "
                          "oder mehr als " + std::to_string(kMaxRegFileTasks) +
                          " Tasks enthält; exportieren Sie sie in mehreren Teilen.");
  return result;
}

std::vector<ImportCandidate> ReadImportFile(Engine& engine, const std::uint8_t* data,
                                            std::size_t size) {
  std::vector<RegFileTask> tasks = ParseRegFile(data, size, TaskFileRules(engine));
  if (tasks.empty()) throw RegFileError(0, "Die Datei enthält keine Tasks.");
  std::vector<ImportCandidate> candidates;
  candidates.reserve(tasks.size());
  for (RegFileTask& task : tasks) {
    ImportCandidate c;
    c.task = std::move(task);
    c.refusal = CheckTask(engine, c.task, c.texts);
    candidates.push_back(std::move(c));
  }
  return candidates;
}

std::string FreeTaskName(Engine& engine, const std::string& name) {
  RegistryAccessor reg(engine.Registry());
  const std::u16string wide = Utf8ToUtf16(name);
  for (int n = 2;; ++n) {
    const std::u16string suffix = Utf8ToUtf16(" " + std::to_string(n));
    std::u16string base =
        wide.substr(0, rec::kMaxNameLength > suffix.size() ? rec::kMaxNameLength - suffix.size()
                                                            : 0);
    if (!base.empty() && base.back() >= 0xD800 && base.back() <= 0xDBFF) base.pop_back();
    while (!base.empty() && base.back() == u' ') base.pop_back();
    const std::string candidate = Utf16ToUtf8(base + suffix);
    if (!reg.KeyExists(rec::TaskKey(candidate))) return candidate;
  }
}

ImportReport ImportTasks(Engine& engine, Files& files,
                         const std::vector<ImportCandidate>& candidates,
                         const std::function<ClashAnswer(const std::string& name)>& askClash) {
  ImportReport report;
  TaskList& list = engine.Tasks();
  for (const ImportCandidate& c : candidates) {
    const std::string& name = c.task.name;
    if (!c.refusal.empty()) {
      report.refused.push_back(name + ": " + c.refusal);
      continue;
    }
    RegFileTask task;
    try {
      task = TakenAfresh(engine, files, c.task);
    } catch (const std::exception& e) {
      report.refused.push_back(name + ": " + e.what());
      continue;
    }
    RegistryAccessor reg(engine.Registry());
    std::string target = name;
    std::optional<RegFileTask> replaced;
    std::string replacedRow;
    if (reg.KeyExists(rec::TaskKey(name))) {
      const ClashAnswer answer = askClash(name);
      if (answer == ClashAnswer::Skip) {
        report.skipped.push_back(name);
        continue;
      }
      if (answer == ClashAnswer::KeepBoth) {
        target = FreeTaskName(engine, name);
      } else {
        for (const TaskRow& row : list.Rows())
          if (NamesEqual(row.name, name)) replacedRow = row.name;
        replaced = ReadStoredTask(reg, replacedRow.empty() ? name : replacedRow);
        reg.DeleteKey(rec::TaskKey(name));
      }
    }
    try {
      WriteTask(reg, target, task, target != name);
    } catch (const std::exception& e) {
      // Nothing of a task stays half written; a replaced task is put back as it was.
      reg.DeleteKey(rec::TaskKey(target));
      if (replaced) {
        try {
          WriteTask(reg, replaced->name, *replaced, false);
        } catch (const std::exception&) {
          reg.DeleteKey(rec::TaskKey(replaced->name));
        }
      }
      report.refused.push_back(name + ": " + e.what());
      continue;
    }
    engine.ForgetBrokenTask(target);
    if (!replacedRow.empty())
      if (auto i = list.Find(replacedRow)) list.Remove(*i);
    TaskRow row{target, {}, {}, false};
    try {
      ScheduleTexts texts = engine.SetMinutesText(target);
      row.next = std::move(texts.next);
      row.kind = std::move(texts.kind);
    } catch (const std::exception&) {
      row.next = engine.Messages()[kMsgNotAvailable];
      row.unreadable = true;
    }
    list.Add(std::move(row));
    report.imported.push_back(target);
  }
  return report;
}

}  // namespace orv
