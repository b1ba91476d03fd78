// Loading the task list at start-up.
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
  if (!reg.KeyExists(rec::kJobsKey)) return;
  if (!reg.OpenKeyReadOnly(rec::kJobsKey)) return;
  const std::vector<std::string> names = reg.GetKeyNames();
  reg.CloseKey();

  // A task whose texts cannot be computed is listed as "n/a" and marked, so that it can still
  // be opened and deleted, and its name is seen as taken; it is never checked or run.
  std::vector<std::string> broken;
  for (const std::string& name : names) {
    try {
      ScheduleTexts texts = SetMinutesText(name);
      tasks_.Add(TaskRow{name, std::move(texts.next), std::move(texts.kind), false});
    } catch (const std::exception& e) {
      TaskRow row{name, messages_[kMsgNotAvailable], std::string(), false};
      row.unreadable = true;
      tasks_.Add(std::move(row));
      if (ReportBrokenTaskOnce(name)) broken.push_back("'" + name + "': " + e.what());
    }
  }

  // Tasks bound to Windows start run now, in list order, without confirmation. The names are
  // taken first: a run may wait for the network and the list may change meanwhile.
  std::vector<std::string> listed;
  listed.reserve(tasks_.Size());
  for (const TaskRow& row : tasks_.Rows())
    if (!row.unreadable) listed.push_back(row.name);
  for (const std::string& name : listed) {
    bool atStart = false;
    try {
      RegistryAccessor task(registry_);
      task.OpenKeyReadOnly(rec::TaskKey(name));
      atStart = task.ValueExists(rec::kOnWindowsEnabled) && task.ReadBool(rec::kOnWindowsEnabled) &&
                task.ReadInteger(rec::kOnWindows) == rec::kOnWindowsStart;
    } catch (const std::exception& e) {
      if (ReportBrokenTaskOnce(name)) broken.push_back("'" + name + "': " + e.what());
    }
    if (atStart) ExecuteTask(name);
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
