#include "idle/dsrSleeper.h"

namespace orv {

void RegisterSleeperWindow(volatile TSleeperShared& s, std::uint32_t wnd) {
  const int n = UsedWindowPlaces(s);
  if (n >= kSleeperMaxWindows) throw EdsrSleeperError(kErrTooManyWindows);
  s.Wnds[n] = wnd;
  s.WndCount = n + 1;
}

void UnregisterSleeperWindow(volatile TSleeperShared& s, std::uint32_t wnd) {
  const int n = UsedWindowPlaces(s);
  for (int i = 0; i < n; ++i) {
    if (s.Wnds[i] != wnd) continue;
    for (int j = i; j + 1 < n; ++j) s.Wnds[j] = s.Wnds[j + 1];
    s.Wnds[n - 1] = 0;
    s.WndCount = n - 1;
    return;
  }
}

TdsrSleeper::~TdsrSleeper() {
  try {
    SetActive(false);
  } catch (...) {
    // Removing never raises; a timer error cannot happen with Active false.
  }
}

void TdsrSleeper::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  SetHooked(active);
  RestartTimer();
}

void TdsrSleeper::SetInterval(std::int32_t seconds) {
  if (seconds == interval_) return;
  interval_ = seconds;
  RestartTimer();
}

void TdsrSleeper::SetOnAwake(Event handler) {
  onAwake_ = std::move(handler);
  RestartTimer();
}

void TdsrSleeper::SetOnSleep(Event handler) {
  onSleep_ = std::move(handler);
  RestartTimer();
}

void TdsrSleeper::SetHooked(bool on) {
  if (on == Hooked()) return;
  if (on) {
    shared_ = platform_.Install();
  } else {
    platform_.KillTimer();
    platform_.Remove();
    shared_ = nullptr;
    asleep_ = false;  // without the hooks nothing can end the period
  }
}

std::int32_t TdsrSleeper::ThresholdMs() const {
  // Beyond 24 days the milliseconds would not fit the timer; a negative interval disables
  // the detector like 0.
  constexpr std::int32_t kMaxSeconds = 0x7FFFFFFF / 1000;
  return interval_ <= 0 ? 0 : (interval_ > kMaxSeconds ? kMaxSeconds : interval_) * 1000;
}

std::int32_t TdsrSleeper::RemainingTime() const {
  if (!shared_) return ThresholdMs();
  const std::uint32_t now = platform_.TickCount();
  const std::uint32_t last = shared_->LastTick;
  // The tick count wraps to 0 after 49.7 days.
  const std::uint32_t elapsed = now > last ? now - last : now + (0xFFFFFFFFu - last);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ThresholdMs()) - elapsed);
}

void TdsrSleeper::RestartTimer() {
  platform_.KillTimer();
  if (interval_ <= 0 || !active_ || !onSleep_ || !shared_) return;
  shared_->Sleeping = 0;
  std::int32_t r = RemainingTime();
  if (r <= 0) {
    // The last input lies longer ago than the threshold, as at the first activation: count
    // from now.
    shared_->LastTick = platform_.TickCount();
    r = ThresholdMs();
  }
  if (!platform_.SetTimer(static_cast<std::uint32_t>(r))) throw EOutOfResources(kErrNoTimer);
}

void TdsrSleeper::TimerFired() {
  if (RemainingTime() > 0) {
    RestartTimer();  // input came after the timer was armed: aim at the time still missing
    return;
  }
  platform_.KillTimer();
  DoSleep();
}

void TdsrSleeper::AwakeReceived() {
  const std::weak_ptr<const void> alive = life_;
  DoAwake();
  if (alive.expired()) return;  // the handler's messages ended the program meanwhile
  RestartTimer();
}

bool TdsrSleeper::CheckAwake() {
  if (!asleep_ || !shared_ || shared_->Sleeping != 0) return false;
  // Newer in the wrapping tick count: input came after the period began.
  if (static_cast<std::int32_t>(shared_->LastTick - periodLastTick_) <= 0) return false;
  AwakeReceived();
  return true;
}

void TdsrSleeper::DoSleep() {
  // The period has begun even when the handler fails: the next input must still end it, or
  // the detector would never arm its timer again. Nothing is marked when the handler's
  // messages destroyed the detector (and unmapped the block).
  struct MarkSleeping {
    TdsrSleeper* self;
    std::weak_ptr<const void> alive;
    ~MarkSleeping() {
      if (alive.expired()) return;
      self->asleep_ = true;
      if (volatile TSleeperShared* s = self->shared_) {
        self->periodLastTick_ = s->LastTick;
        s->Sleeping = 1;
      }
    }
  } mark{this, life_};
  // A copy: the handler stays whole even when the detector goes while it runs.
  if (Event handler = onSleep_) handler(*this);
}

void TdsrSleeper::DoAwake() {
  asleep_ = false;
  if (shared_) shared_->Sleeping = 0;
  if (Event handler = onAwake_) handler(*this);
}

}  // namespace orv
