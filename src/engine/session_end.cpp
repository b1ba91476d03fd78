// The end of the Windows session: the tasks bound to "Windows-Shutdown" run before the program
// lets the session end.
#include <exception>

#include "engine/engine.h"
#include "store/task_record.h"

namespace orv {

void Engine::QueryEndSession() {
  // A system action still counting down never runs once the session ends.
  CancelCountdown();
  struct SessionEndScope {
    bool& flag;
    ~SessionEndScope() { flag = false; }
  } scope{inSessionEnd_};
  inSessionEnd_ = true;
  const std::string& nextSession = messages_[kMsgNextSession];
  // The names are taken first: a run may wait for the network and pump messages meanwhile.
  std::vector<std::pair<std::string, bool>> listed;
  listed.reserve(tasks_.Size());
  for (const TaskRow& row : tasks_.Rows()) listed.emplace_back(row.name, row.next == nextSession);

  for (const auto& [name, ranThisSession] : listed) {
    const auto row = tasks_.Find(name);
    // A once-per-session task that already ran keeps its mark, also if a run meanwhile set it.
    // A task that could not be read when it was listed is never run.
    if (!row || tasks_.Row(*row).unreadable) continue;
    const bool ranAlready = ranThisSession || tasks_.Row(*row).next == nextSession;
    bool atShutdown = false;
    try {
      RegistryAccessor task(registry_, RegistryAccessor::Reads::KeepUntilReopened);
      if (!task.OpenKeyReadOnly(rec::TaskKey(name))) continue;
      atShutdown = task.ValueExists(rec::kOnWindowsEnabled) &&
                   task.ReadBool(rec::kOnWindowsEnabled) &&
                   task.ReadInteger(rec::kOnWindows) == rec::kOnWindowsShutdown;
    } catch (const std::exception&) {
      // A task key edited by other means that cannot be read here is passed over: the end of
      // the session is never held up behind an error message.
      continue;
    }
    if (atShutdown && ranAlready)
      RecordRun(name, RunTrigger::kShutdown, RunOutcome::kSkipped, "einmal pro Sitzung");
    else if (atShutdown)
      ExecuteTask(name, RunTrigger::kShutdown);
  }
}

}  // namespace orv
