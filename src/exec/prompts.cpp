// The confirmation step and the missed-run check of the minute tick.
#include "exec/prompter.h"
#include "sched/engine.h"
#include "store/task_record.h"

namespace orv {

bool Engine::ConfirmStep(const std::string& name, RegistryAccessor& key) {
  // Any failure here, an absent Confirm included, lets the task run without asking.
  try {
    if (!key.ReadBool(rec::kConfirm) || !services_.prompter) return true;
    const PromptResult result = services_.prompter->AskConfirm(
        messages_[kMsgTaskPrefix] + name + messages_[kMsgConfirmSuffix]);
    // Deleted, renamed or saved anew while the question was open: the key is opened afresh.
    if (!tasks_.Find(name) || !key.OpenKey(rec::TaskKey(name), false)) return false;
    key.WriteBool(rec::kConfirm, !result.dontShowAgain);
    return result.answer == kAnswerYes;
  } catch (...) {
    return true;
  }
}

bool Engine::MissedRunCheck(const std::string& name, RegistryAccessor& key) {
  // After a wait the row and its key are found again by name; false when they are gone.
  const auto stillThere = [&] {
    return tasks_.Find(name) && key.OpenKey(rec::TaskKey(name), false);
  };
  if (!key.ValueExists(rec::kNextExecution)) return true;
  const double next = key.ReadDateTime(rec::kNextExecution);
  if (!(Now() > next) || next == 0.0 || !key.ValueExists(rec::kRecover)) return true;

  bool run = false;
  switch (key.ReadInteger(rec::kRecover)) {
    case rec::kRecoverCatchUp:
      run = true;
      break;
    case rec::kRecoverAsk: {
      const PromptResult result =
          services_.prompter
              ? services_.prompter->AskRecover(messages_[kMsgTaskPrefix] + name +
                                               messages_[kMsgRecoverSuffix])
              : PromptResult{kAnswerNo, false};
      if (!stillThere()) return false;
      const bool yes = result.answer == kAnswerYes;
      key.WriteInteger(rec::kRecover, !result.dontShowAgain ? rec::kRecoverAsk
                                      : yes                 ? rec::kRecoverCatchUp
                                                            : rec::kRecoverSkip);
      run = yes;
      break;
    }
    default:
      break;
  }
  if (run) {
    if (const auto at = tasks_.Find(name)) tasks_.Row(*at).next = messages_[kMsgRunning];
    ExecuteTask(name);
    if (!stillThere()) return false;
  }
  key.WriteDateTime(rec::kNextExecution, GetTaskDate(name));
  return true;
}

}  // namespace orv
