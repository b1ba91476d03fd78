// The end of an idle period: every waiting idle task goes back to its full idle minutes.
#include <exception>

#include "sched/engine.h"

namespace orv {

void Engine::ResetIdleRows() {
  const std::string& idleKind = messages_[kMsgKindIdle];
  const std::string& running = messages_[kMsgRunning];
  std::vector<std::string> idle;
  for (const TaskRow& row : tasks_.Rows())
    if (row.kind == idleKind && row.next != running) idle.push_back(row.name);
  for (const std::string& name : idle) {
    const auto row = tasks_.Find(name);
    if (!row) continue;
    try {
      tasks_.Row(*row).next = SetMinutesText(name).next;
    } catch (const std::exception& e) {
      // The row keeps its text; the user hears of the broken task once.
      if (ReportBrokenTaskOnce(name) && reporter_) reporter_("'" + name + "': " + e.what());
    }
  }
}

}  // namespace orv
