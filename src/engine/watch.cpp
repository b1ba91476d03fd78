// The file-change watch: polled stamps, compared once a minute.
#include "platform/platform.h"
#include "engine/engine.h"
#include "store/task_record.h"

namespace orv {

bool Engine::CheckWatchList(const std::string& taskName) {
  RegistryAccessor watch(registry_, RegistryAccessor::Reads::KeepUntilReopened);
  const std::string watchKey = rec::FilesKey(taskName);
  if (!services_.files || !watch.OpenKey(watchKey, false)) return false;
  std::vector<std::string> paths;
  watch.GetValueNames(paths);
  bool waited = false;
  for (const std::string& path : paths) {
    // The key held so far may be the one a save during the pump below deleted: open it afresh.
    if (waited) {
      watch.CloseKey();
      if (!watch.OpenKey(watchKey, false)) return false;
      waited = false;
    }
    // A save during the pump deletes the watch list and writes it afresh: a file it no longer
    // holds is passed over, one it gained is compared from the next tick on.
    if (!watch.ValueExists(path)) continue;
    const double stored = watch.ReadDateTime(path);
    if (services_.files->GetFileModifyDate(path) != stored) {
      // Only the first changed file counts in this tick; the others make the task due in the
      // ticks that follow.
      watch.WriteDateTime(path, services_.files->GetFileModifyDate(path));
      return true;
    }
    Pump();
    if (!tasks_.Find(taskName)) return false;  // deleted meanwhile
    waited = true;
  }
  return false;
}

}  // namespace orv
