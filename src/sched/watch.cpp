// The file-change watch: polled stamps, compared once a minute.
#include "exec/platform.h"
#include "sched/engine.h"
#include "store/task_record.h"

namespace orv {

bool Engine::CheckWatchList(const std::string& taskName) {
  RegistryAccessor watch(registry_);
  if (!services_.files || !watch.OpenKey(rec::FilesKey(taskName), false)) return false;
  std::vector<std::string> paths;
  watch.GetValueNames(paths);
  for (const std::string& path : paths) {
    const double stored = watch.ReadDateTime(path);
    if (services_.files->GetFileModifyDate(path) != stored) {
      // Only the first changed file counts in this tick; the others make the task due in the
      // ticks that follow.
      watch.WriteDateTime(path, services_.files->GetFileModifyDate(path));
      return true;
    }
    Pump();
    if (!tasks_.Find(taskName)) return false;  // deleted meanwhile
  }
  return false;
}

}  // namespace orv
