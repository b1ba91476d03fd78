// The countdown before a system action: a warned restart, shutdown, standby or log-off is not
// done when its task runs but handed to this countdown, which the engine advances on its clock
// while the scheduler goes on. It never waits for anything itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orv {

// A system action that a run decided on, with everything the power call needs.
struct SystemAction {
  std::string task;             // the task that asked for it
  std::int32_t code = 0;        // rec::SystemAction
  bool powerOff = false;        // shutdown: switch the computer off
  bool force = false;           // do not wait for the programs' replies
  int warnSeconds = 0;          // how long the countdown runs
};

// What the user chose in the countdown window.
enum class CountdownDecision { kRunNow, kCancel, kPostpone };

// The text the window shows, e.g. "Der Computer wird in 30 Sekunden neu gestartet."
std::string CountdownText(const SystemAction& action, int secondsLeft);

// One pending system action and its deadline, in seconds of the engine's clock.
class SystemCountdown {
 public:
  // "In 15 Minuten erneut": the countdown starts again this much later.
  static constexpr int kPostponeSeconds = 15 * 60;
  enum class State { kIdle, kCounting, kPostponed };
  // What Advance found.
  enum class Step { kNone, kDue, kResumed };

  State GetState() const { return state_; }
  bool Pending() const { return state_ != State::kIdle; }
  const SystemAction& Action() const { return action_; }

  // Starts counting down action.warnSeconds from `now`.
  void Start(const SystemAction& action, double now);
  // Whole seconds left while counting, rounded up; 0 once the deadline has come.
  int SecondsLeft(double now) const;
  // Moves on to `now`: kDue when the counting reached zero (the action is to run now; Take it),
  // kResumed when a postponement is over and the counting began anew.
  Step Advance(double now);
  // The counting stops and begins anew kPostponeSeconds after `now`.
  void Postpone(double now);
  // Ends the countdown, handing back its action (none when nothing was pending).
  std::optional<SystemAction> Take();

 private:
  State state_ = State::kIdle;
  SystemAction action_;
  double deadline_ = 0.0;
};

}  // namespace orv
