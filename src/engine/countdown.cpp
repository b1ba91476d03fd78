#include "engine/countdown.h"

#include <cmath>

#include "store/task_record.h"

namespace orv {

std::string CountdownText(const SystemAction& action, int secondsLeft) {
  const char* what = "neu gestartet";
  switch (action.code) {
    case rec::kSystemShutdown:
      what = action.powerOff ? "ausgeschaltet" : "heruntergefahren";
      break;
    case rec::kSystemStandby:
      what = "in den Standby-Modus versetzt";
      break;
    case rec::kSystemLogoff:
      what = "abgemeldet";
      break;
    default:
      break;
  }
  const std::string seconds =
      secondsLeft == 1 ? std::string("1 Sekunde") : std::to_string(secondsLeft) + " Sekunden";
  return "Der Computer wird in " + seconds + " " + what + ".";
}

void SystemCountdown::Start(const SystemAction& action, double now) {
  action_ = action;
  state_ = State::kCounting;
  deadline_ = now + action.warnSeconds;
}

int SystemCountdown::SecondsLeft(double now) const {
  if (state_ != State::kCounting || now >= deadline_) return 0;
  return static_cast<int>(std::ceil(deadline_ - now));
}

SystemCountdown::Step SystemCountdown::Advance(double now) {
  if (state_ == State::kCounting && now >= deadline_) return Step::kDue;
  if (state_ == State::kPostponed && now >= deadline_) {
    Start(action_, now);
    return Step::kResumed;
  }
  return Step::kNone;
}

void SystemCountdown::Postpone(double now) {
  if (state_ == State::kIdle) return;
  state_ = State::kPostponed;
  deadline_ = now + kPostponeSeconds;
}

std::optional<SystemAction> SystemCountdown::Take() {
  if (state_ == State::kIdle) return std::nullopt;
  state_ = State::kIdle;
  return action_;
}

}  // namespace orv
