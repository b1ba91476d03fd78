// The idle detector: tells its owner when the user has given no keyboard or mouse input anywhere
// on the desktop for `Interval` seconds (OnSleep) and when input comes again (OnAwake).
//
// It does not poll. The input hook library records the time of the last input in the shared
// block; the detector keeps one timer aimed at the moment the threshold would be reached and
// re-aims it when input came meanwhile. The library posts "SDSR_Awake" when input ends an idle
// period. Everything the detector needs from the platform (tick count, timer, the library and
// the block) comes through SleeperPlatform, so its timing is tested on fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "idle/dsrSleepCommon.h"

namespace orv {

// The detector's errors: the library cannot be loaded or the block cannot be made.
class EdsrSleeperError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The platform refused a timer.
class EOutOfResources : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr char kErrLoadLibrary[] = "Unable to load DsrSleep.dll";
inline constexpr char kErrNoHookState[] = "Cannot find procedure \"HookState\" in DsrSleep.dll";
inline constexpr char kErrHookState[] = "Cannot install the hooks of DsrSleep.dll";
inline constexpr char kErrInitSecurity[] = "Cannot initialize security descriptor";
inline constexpr char kErrSetDacl[] = "Cannot set security descriptor DACL";
inline constexpr char kErrMapFile[] = "Cannot load MapFile in DsrSleep.dll";
inline constexpr char kErrMapView[] = "Cannot create MapFile view in DsrSleep.dll";
inline constexpr char kErrTooManyWindows[] = "Cannot register more than 64 windows in DsrSleeper";
inline constexpr char kErrNoTimer[] = "Nicht genügend Timer verfügbar";

// Registers a window in the block's table; EdsrSleeperError when all 64 places are taken.
void RegisterSleeperWindow(volatile TSleeperShared& s, std::uint32_t wnd);
// Removes the first entry of `wnd` and moves the later ones down; nothing when it is not there.
void UnregisterSleeperWindow(volatile TSleeperShared& s, std::uint32_t wnd);

class SleeperPlatform {
 public:
  virtual ~SleeperPlatform() = default;
  virtual std::uint32_t TickCount() = 0;
  // Arms the detector's one timer for `ms` milliseconds; false when the platform refuses.
  virtual bool SetTimer(std::uint32_t ms) = 0;
  virtual void KillTimer() = 0;
  // Loads the library, installs the hooks, attaches to the block and registers the detector's
  // window. Raises EdsrSleeperError after releasing whatever it had acquired, also when the
  // library could not install both hooks (no input would ever end an idle period).
  virtual volatile TSleeperShared* Install() = 0;
  // Removes the hooks, unregisters the window, detaches from the block, frees the library.
  virtual void Remove() = 0;
};

class TdsrSleeper {
 public:
  using Event = std::function<void(TdsrSleeper& sender)>;

  explicit TdsrSleeper(SleeperPlatform& platform) : platform_(platform) {}
  virtual ~TdsrSleeper();
  TdsrSleeper(const TdsrSleeper&) = delete;
  TdsrSleeper& operator=(const TdsrSleeper&) = delete;

  // Published properties.
  std::string About() const { return {}; }
  void SetAbout(const std::string&) {}
  bool Active() const { return active_; }
  // Installs (true) or removes (false) the hooks, then re-aims the timer. An install error is
  // raised with Active already holding the new value and the hooks not installed.
  void SetActive(bool active);
  std::int32_t Interval() const { return interval_; }  // seconds; 0 or less: never sleeps
  void SetInterval(std::int32_t seconds);
  void SetOnAwake(Event handler);
  void SetOnSleep(Event handler);

  bool Hooked() const { return shared_ != nullptr; }
  // Milliseconds until the threshold; zero or negative when it has been reached.
  std::int32_t RemainingTime() const;
  void RestartTimer();

  // The hidden window's two messages.
  void TimerFired();
  void AwakeReceived();
  // For the owner's minute tick: ends an idle period whose wake-up message never came (it can be
  // lost, e.g. when the system drops it on its way to an elevated program). A hook has ended
  // the period in the block (Sleeping 0) and counted input after the period began. True when
  // it ended one.
  bool CheckAwake();
  bool Sleeping() const { return asleep_; }

  // Expires when the detector is destroyed. A handler may pump messages (a warning box), and
  // one of them may end the program and destroy the detector under it: whoever called into the
  // detector looks at this before touching it again.
  std::weak_ptr<const void> Alive() const { return life_; }

 protected:
  virtual void DoSleep();
  virtual void DoAwake();

 private:
  void SetHooked(bool on);
  std::int32_t ThresholdMs() const;

  SleeperPlatform& platform_;
  volatile TSleeperShared* shared_ = nullptr;
  bool active_ = false;
  std::int32_t interval_ = 60;
  Event onAwake_, onSleep_;
  bool asleep_ = false;               // an idle period began and no awake ended it yet
  std::uint32_t periodLastTick_ = 0;  // LastTick when it began
  std::shared_ptr<const int> life_ = std::make_shared<const int>(0);
};

}  // namespace orv
