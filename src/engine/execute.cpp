// Running one task: the program condition, the action, the once-per-session mark and the next
// fixed-time start.
#include <algorithm>
#include <optional>

#include "platform/platform.h"
#include "platform/prompter.h"
#include "engine/engine.h"
#include "store/task_record.h"

namespace orv {

namespace {

// Show-mode names compare exactly; anything else starts the window hidden.
int ShowCommandOf(const std::string& name) {
  if (name == rec::kShowModes[0]) return kSwHide;
  if (name == rec::kShowModes[1]) return kSwMaximize;
  if (name == rec::kShowModes[2]) return kSwMinimize;
  if (name == rec::kShowModes[3]) return kSwShow;
  return kSwHide;
}

// A failed open is the run's error: like a failed fetch it ends the run, which keeps its
// NextExecution and its row as they were.
void OpenOrFail(Shell& shell, const std::string& file, const std::string* params, int show) {
  if (!shell.Open(file, params, show))
    throw ShellError("'" + file + "' kann nicht geöffnet werden.");
}

// The seconds of the warning before a system action; 0 for none. A task without WarnEnabled
// has none. A warning value that cannot be read errs on the side of the warning: the stored
// default length, as does a length of another type; one out of range is brought into range.
int WarnSeconds(RegistryAccessor& reg) {
  std::optional<bool> enabled;
  try {
    enabled = reg.ReadBoolIfPresent(rec::kWarnEnabled);
    if (!enabled) return 0;
  } catch (const RegistryError&) {
    enabled = true;
  }
  if (!*enabled) return 0;
  std::int32_t seconds = rec::def::kWarnSeconds;
  try {
    if (const auto stored = reg.ReadIntegerIfPresent(rec::kWarnSeconds)) seconds = *stored;
  } catch (const RegistryError&) {
  }
  return std::clamp(seconds, rec::kMinWarnSeconds, rec::kMaxWarnSeconds);
}

}  // namespace

void Engine::ExecuteTask(const std::string& taskName, RunTrigger trigger) noexcept {
  // After "Beenden" nothing starts, also not a task whose question or fetch was still waiting.
  if (stopped_) return;
  const double started = Now();
  RunResult result = RunTask(taskName);
  if (result.counting) {
    countdownStarted_ = started;
    countdownTrigger_ = trigger;
    return;
  }
  RecordRun(started, taskName, trigger, result.outcome, std::move(result.reason));
}

void Engine::RecordRun(double when, const std::string& taskName, RunTrigger trigger,
                       RunOutcome outcome, std::string reason) noexcept {
  try {
    RunEntry entry{when, taskName, trigger, outcome, std::move(reason)};
    history_.Add(entry);
    if (runObserver_) runObserver_(entry);
  } catch (...) {
    // The record never affects the run.
  }
}

void Engine::RecordRun(const std::string& taskName, RunTrigger trigger, RunOutcome outcome,
                       std::string reason) noexcept {
  double when = 0.0;
  try {
    when = Now();
  } catch (...) {
  }
  RecordRun(when, taskName, trigger, outcome, std::move(reason));
}

Engine::RunResult Engine::RunTask(const std::string& taskName) noexcept {
  RunResult result{RunOutcome::kDone, {}};
  try {
    RegistryAccessor reg(registry_);
    // Never created here: a task deleted meanwhile fails at its first read and nothing is
    // written.
    if (!reg.OpenKey(rec::TaskKey(taskName), false))
      return {RunOutcome::kFailed, "Der Task ist nicht mehr gespeichert."};

    bool conditionMet = true;
    if (reg.ValueExists(rec::kProgramActionEnabled) && reg.ReadBool(rec::kProgramActionEnabled)) {
      const std::string file = reg.ReadString(rec::kProgramActionFile);
      if (services_.files && services_.files->FileExists(file)) {
        const bool active = services_.files->IsFileInUse(file);
        const bool wantsInactive = reg.ReadInteger(rec::kProgramAction) == rec::kProgramInactive;
        conditionMet = wantsInactive != active;
      }
    }

    if (!conditionMet) result = {RunOutcome::kSkipped, "Programmbedingung nicht erfüllt"};
    if (conditionMet) {
      switch (reg.ReadInteger(rec::kTaskType)) {
        case rec::kTaskProgram: {
          const std::string program = reg.ReadString(rec::kProgram);
          const int show = ShowCommandOf(reg.ReadString(rec::kProgramShow));
          const std::string params = reg.ReadBool(rec::kParam) ? reg.ReadString(rec::kParamString)
                                                               : std::string();
          if (services_.files && services_.shell && services_.files->FileExists(program))
            OpenOrFail(*services_.shell, program, &params, show);
          else if (services_.files)
            result = {RunOutcome::kFailed, "Programm nicht gefunden: " + program};
          break;
        }
        case rec::kTaskInternet: {
          const std::string url = reg.ReadString(rec::kURL);
          if (reg.ReadBool(rec::kInBrowser)) {
            const int show = ShowCommandOf(reg.ReadString(rec::kURLShow));
            if (services_.shell) OpenOrFail(*services_.shell, url, nullptr, show);
          } else if (services_.http) {
            if (reg.ValueExists(rec::kTimeoutEnabled))
              services_.http->SetReadTimeout(
                  reg.ReadBool(rec::kTimeoutEnabled) ? reg.ReadInteger(rec::kTimeout) : 0);
            services_.http->Get(url);
          }
          break;
        }
        case rec::kTaskSystem: {
          SystemAction action;
          action.task = taskName;
          action.force = !reg.ReadBool(rec::kForceNot);
          action.code = reg.ReadInteger(rec::kSystem);
          if (action.code < rec::kSystemRestart || action.code > rec::kSystemLogoff) break;
          if (action.code == rec::kSystemShutdown) action.powerOff = reg.ReadBool(rec::kPowerOff);
          action.warnSeconds = WarnSeconds(reg);
          // At the session's end the session is going down already and nobody could answer a
          // countdown: the action runs as the task says.
          if (action.warnSeconds == 0 || inSessionEnd_) {
            PerformSystemAction(action);
          } else if (!countdown_.Pending()) {
            countdown_.Start(action, CountdownSeconds());
            result.counting = true;
            if (countdownView_)
              countdownView_->Show(taskName,
                                   CountdownText(action, countdown_.SecondsLeft(CountdownSeconds())));
          } else {
            result = {RunOutcome::kSkipped, "Ein anderer Countdown läuft bereits."};
          }
          break;
        }
        default:
          break;
      }

      if (reg.ValueExists(rec::kOncePerSession) && reg.ReadBool(rec::kOncePerSession)) {
        if (const auto row = tasks_.Find(taskName))
          tasks_.Row(*row).next = messages_[kMsgNextSession];
      }
    }

    reg.WriteDateTime(rec::kNextExecution, GetTaskDate(taskName));
    reg.CloseKey();
  } catch (const RegistryError& e) {
    // A run swallows its own errors (a failed open or fetch among them) and shows nothing: the
    // row stays unmarked and NextExecution keeps its value. Only the record notes them.
    result = {RunOutcome::kFailed, e.what()};  // names the value and what is wrong with it
  } catch (const ConvertError& e) {
    result = {RunOutcome::kFailed, std::string("Registrierungswert nicht lesbar: ") + e.what()};
  } catch (const std::exception& e) {
    result = {RunOutcome::kFailed, e.what()};
  } catch (...) {
    result = {RunOutcome::kFailed, "unbekannter Fehler"};
  }
  return result;
}

void Engine::PerformSystemAction(const SystemAction& action) {
  Power* power = services_.power;
  if (!power) return;
  const std::uint32_t forceFlag = action.force ? std::uint32_t{kEwxForce} : 0u;
  switch (action.code) {
    case rec::kSystemRestart:
      power->DoExitWindows(kEwxReboot | forceFlag);
      break;
    case rec::kSystemShutdown:
      power->DoExitWindows((action.powerOff ? kEwxPoweroff : kEwxShutdown) | forceFlag);
      break;
    case rec::kSystemStandby:
      power->SuspendSystem(false, action.force, false);
      break;
    case rec::kSystemLogoff:
      power->DoExitWindows(kEwxLogoff | forceFlag);
      break;
    default:
      break;
  }
}

double Engine::CountdownSeconds() {
  return (Now() - clock_.UtcOffsetMinutes() / 1440.0) * 86400.0;
}

void Engine::CountdownTick() {
  if (!countdown_.Pending()) return;
  const double now = CountdownSeconds();
  switch (countdown_.Advance(now)) {
    case SystemCountdown::Step::kDue:
      EndCountdown(kAnswerYes);
      return;
    case SystemCountdown::Step::kResumed:
    case SystemCountdown::Step::kNone:
      if (countdown_.GetState() == SystemCountdown::State::kCounting && countdownView_)
        countdownView_->Show(countdown_.Action().task,
                             CountdownText(countdown_.Action(), countdown_.SecondsLeft(now)));
      return;
  }
}

void Engine::CountdownDecide(CountdownDecision decision) {
  if (!countdown_.Pending()) return;
  switch (decision) {
    case CountdownDecision::kRunNow:
      EndCountdown(kAnswerYes);
      break;
    case CountdownDecision::kCancel:
      EndCountdown(kAnswerNo);
      break;
    case CountdownDecision::kPostpone:
      countdown_.Postpone(CountdownSeconds());
      if (countdownView_) countdownView_->Hide();
      break;
  }
}

void Engine::CancelCountdown() {
  const std::optional<SystemAction> action = countdown_.Take();
  if (!action) return;
  if (countdownView_) countdownView_->Hide();
  // Not the user's "Abbrechen": the session or the program ended while it counted.
  RecordCountdownRun(action->task, RunOutcome::kSkipped, "Sitzung oder Programm beendet");
}

void Engine::RecordCountdownRun(const std::string& task, RunOutcome outcome,
                                std::string reason) noexcept {
  RecordRun(countdownStarted_, task, countdownTrigger_, outcome, std::move(reason));
}

void Engine::EndCountdown(int answer) {
  // The countdown is over before the power call: the session's end that the call brings about
  // finds nothing pending.
  const std::optional<SystemAction> action = countdown_.Take();
  if (countdownView_) countdownView_->Hide();
  if (!action || stopped_) return;
  if (answer != kAnswerYes) {
    RecordCountdownRun(action->task, RunOutcome::kDeclined, {});
    return;
  }
  try {
    PerformSystemAction(*action);
    RecordCountdownRun(action->task, RunOutcome::kDone, {});
  } catch (const std::exception& e) {
    // As in a run: a power call that fails shows nothing; the record notes it.
    RecordCountdownRun(action->task, RunOutcome::kFailed, e.what());
  } catch (...) {
  }
}

}  // namespace orv
