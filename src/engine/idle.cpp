// The end of an idle period: every waiting idle task goes back to its full idle minutes.
#include <exception>

#include "engine/engine.h"

namespace orv {

void Engine::ResetIdleRows() {
  const std::string& idleKind = messages_[kMsgKindIdle];
  const std::string& running = messages_[kMsgRunning];
  // Nothing here pumps messages, so the rows stay where they are while they are walked.
  for (std::size_t i = 0; i < tasks_.Size(); ++i) {
    TaskRow& row = tasks_.Row(i);
    if (row.kind != idleKind || row.next == running) continue;
    try {
      row.next = SetMinutesText(row.name).next;
    } catch (const std::exception& e) {
      // The row keeps its text; the user hears of the broken task once.
      if (ReportBrokenTaskOnce(row.name) && reporter_) reporter_("'" + row.name + "': " + e.what());
    }
  }
}

}  // namespace orv
