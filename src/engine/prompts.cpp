// The confirmation step and the missed-run check of the minute tick.
#include <optional>

#include "platform/prompter.h"
#include "engine/engine.h"
#include "store/task_record.h"

namespace orv {

bool Engine::ConfirmStep(const std::string& name, RegistryAccessor& key) {
  // A Confirm that cannot be read lets the task run without asking, as an absent one does.
  bool ask = false;
  try {
    ask = key.ReadBool(rec::kConfirm) && services_.prompter;
  } catch (...) {
    return true;
  }
  if (!ask) return true;
  const PromptResult result = services_.prompter->AskConfirm(
      messages_[kMsgTaskPrefix] + name + messages_[kMsgConfirmSuffix]);
  // Deleted, renamed or saved anew while the question was open: the key is opened afresh.
  if (!tasks_.Find(name) || !key.OpenKey(rec::TaskKey(name), false)) return false;
  // The check box is stored only over the value the question was asked on: an edit saved
  // meanwhile that switched confirmation off keeps its newer choice. Whatever happens to the
  // write, the user's answer stands.
  try {
    if (key.ReadBoolIfPresent(rec::kConfirm) == std::optional<bool>(true))
      key.WriteBool(rec::kConfirm, !result.dontShowAgain);
  } catch (...) {
  }
  return result.answer == kAnswerYes;
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
  bool asked = false;
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
      // As with the confirmation: stored only over the rule the question was asked on, and
      // the answer stands whatever happens to the write.
      try {
        const std::optional<std::int32_t> asked(rec::kRecoverAsk);
        if (key.ReadIntegerIfPresent(rec::kRecover) == asked)
          key.WriteInteger(rec::kRecover, !result.dontShowAgain ? rec::kRecoverAsk
                                          : yes                 ? rec::kRecoverCatchUp
                                                                : rec::kRecoverSkip);
      } catch (...) {
      }
      run = yes;
      asked = true;
      break;
    }
    default:
      break;
  }
  if (run) {
    if (const auto at = tasks_.Find(name)) tasks_.Row(*at).next = messages_[kMsgRunning];
    ExecuteTask(name, RunTrigger::kRecovered);
    if (!stillThere()) return false;
  } else if (asked) {
    RecordRun(name, RunTrigger::kRecovered, RunOutcome::kDeclined);
  } else {
    RecordRun(name, RunTrigger::kRecovered, RunOutcome::kSkipped, "verpasster Start");
  }
  key.WriteDateTime(rec::kNextExecution, GetTaskDate(key));
  return true;
}

}  // namespace orv
