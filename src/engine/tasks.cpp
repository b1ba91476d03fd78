// Loading the task list at start-up.
#include <optional>
#include <unordered_map>

#include "engine/engine.h"
#include "store/task_record.h"

namespace orv {

bool Engine::ReportBrokenTaskOnce(const std::string& taskName) {
  return reportedBroken_.insert(taskName).second;
}

void Engine::ForgetBrokenTask(const std::string& taskName) { reportedBroken_.erase(taskName); }

void Engine::GetTasks() {
  tasks_.Clear();
  RegistryAccessor reg(registry_);
  if (!reg.OpenKeyReadOnly(rec::kJobsKey)) return;  // no task stored yet
  const std::vector<std::string> names = reg.GetKeyNames();
  reg.CloseKey();

  // A task whose texts cannot be computed is listed as "n/a" and marked, so that it can still
  // be opened and deleted, and its name is seen as taken; it is never checked or run.
  // Each key is opened once: whether the task is bound to Windows start is read with its texts.
  std::vector<std::string> broken;
  struct StartCheck {
    bool atStart = false;
    std::optional<std::string> error;  // the binding could not be read
  };
  std::unordered_map<std::string, StartCheck> startChecks;
  const auto readStartBinding = [](RegistryAccessor& task) {
    StartCheck check;
    try {
      check.atStart = task.ValueExists(rec::kOnWindowsEnabled) &&
                      task.ReadBool(rec::kOnWindowsEnabled) &&
                      task.ReadInteger(rec::kOnWindows) == rec::kOnWindowsStart;
    } catch (const std::exception& e) {
      check.error = e.what();
    }
    return check;
  };
  for (const std::string& name : names) {
    RegistryAccessor task(registry_, RegistryAccessor::Reads::KeepUntilReopened);
    task.OpenKeyReadOnly(rec::TaskKey(name));
    try {
      ScheduleTexts texts = SetMinutesText(task);
      tasks_.Add(TaskRow{name, std::move(texts.next), std::move(texts.kind), false});
    } catch (const std::exception& e) {
      TaskRow row{name, messages_[kMsgNotAvailable], std::string(), false};
      row.unreadable = true;
      tasks_.Add(std::move(row));
      if (ReportBrokenTaskOnce(name)) broken.push_back("'" + name + "': " + e.what());
      continue;
    }
    startChecks[name] = readStartBinding(task);
  }

  // Tasks bound to Windows start run now, in list order, without confirmation. The names are
  // taken first: a run may wait for the network and the list may change meanwhile, so after
  // the first run each binding is read afresh.
  std::vector<std::string> listed;
  listed.reserve(tasks_.Size());
  for (const TaskRow& row : tasks_.Rows())
    if (!row.unreadable) listed.push_back(row.name);
  bool ranAny = false;
  for (const std::string& name : listed) {
    StartCheck check;
    if (!ranAny) {
      check = startChecks[name];
    } else {
      RegistryAccessor task(registry_, RegistryAccessor::Reads::KeepUntilReopened);
      task.OpenKeyReadOnly(rec::TaskKey(name));
      check = readStartBinding(task);
    }
    if (check.error && ReportBrokenTaskOnce(name))
      broken.push_back("'" + name + "': " + *check.error);
    if (check.atStart) {
      ExecuteTask(name, RunTrigger::kSystemStart);
      ranAny = true;
    }
  }

  if (!broken.empty() && reporter_) {
    std::string text = broken.size() == 1
                           ? "Ein Task konnte nicht gelesen werden und wird nicht ausgeführt:"
                           : "Diese Tasks konnten nicht gelesen werden und werden nicht "
                             "ausgeführt:";
    for (const std::string& line : broken) text += "\n" + line;
    reporter_(text);
  }
}

void Engine::FlatButtonExecuteClick() {
  std::vector<std::string> selected;
  for (const TaskRow& row : tasks_.Rows())
    if (row.selected && !row.unreadable) selected.push_back(row.name);
  for (const std::string& name : selected) ExecuteTask(name);
}

}  // namespace orv
