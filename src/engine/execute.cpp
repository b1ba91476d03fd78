// Running one task: the program condition, the action, the once-per-session mark and the next
// fixed-time start.
#include "platform/platform.h"
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

}  // namespace

void Engine::ExecuteTask(const std::string& taskName, RunTrigger trigger) noexcept {
  // After "Beenden" nothing starts, also not a task whose question or fetch was still waiting.
  if (stopped_) return;
  const double started = Now();
  RunResult result = RunTask(taskName);
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
          const bool force = !reg.ReadBool(rec::kForceNot);
          const std::uint32_t forceFlag = force ? std::uint32_t{kEwxForce} : 0u;
          Power* power = services_.power;
          switch (reg.ReadInteger(rec::kSystem)) {
            case rec::kSystemRestart:
              if (power) power->DoExitWindows(kEwxReboot | forceFlag);
              break;
            case rec::kSystemShutdown: {
              const std::uint32_t how = reg.ReadBool(rec::kPowerOff) ? kEwxPoweroff : kEwxShutdown;
              if (power) power->DoExitWindows(how | forceFlag);
              break;
            }
            case rec::kSystemStandby:
              if (power) power->SuspendSystem(false, force, false);
              break;
            case rec::kSystemLogoff:
              if (power) power->DoExitWindows(kEwxLogoff | forceFlag);
              break;
            default:
              break;
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

}  // namespace orv
