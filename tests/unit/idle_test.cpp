// The idle detector's timing on a simulated tick counter and timer, and what the input hooks
// do to the shared block, including blocks that another process filled with garbage.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "idle/dsrSleeper.h"

namespace orv {
namespace {

constexpr std::uint32_t kOwnWindow = 0x00010ABC;

// A tick counter, a one-shot timer and a hook library on one simulated clock. Time runs as
// 64 bits here; the detector sees its low 32 bits, like GetTickCount.
struct FakePlatform : SleeperPlatform {
  std::unique_ptr<TSleeperShared> block = std::make_unique<TSleeperShared>();
  std::uint64_t now = 1000;
  bool armed = false;
  std::uint32_t armedFor = 0;
  std::uint64_t armedAt = 0;
  int arms = 0, installs = 0, removes = 0;
  bool refuseTimer = false;
  const char* installError = nullptr;
  bool stampOnInstall = true;
  bool unmapOnRemove = false;  // like the real platform: the block is gone after removal

  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(now); }
  bool SetTimer(std::uint32_t ms) override {
    if (refuseTimer) return false;
    armed = true;
    armedFor = ms;
    armedAt = now;
    ++arms;
    return true;
  }
  void KillTimer() override { armed = false; }
  volatile TSleeperShared* Install() override {
    if (installError) throw EdsrSleeperError(installError);
    ++installs;
    if (stampOnInstall) block->LastTick = TickCount();
    RegisterSleeperWindow(*block, kOwnWindow);
    return block.get();
  }
  void Remove() override {
    ++removes;
    UnregisterSleeperWindow(*block, kOwnWindow);
    if (unmapOnRemove) block.reset();
  }
};

class Idle : public ::testing::Test {
 protected:
  Idle() { *platform.block = TSleeperShared{}; }

  // The form's order: Active, Interval, OnAwake, OnSleep.
  void Activate(std::int32_t interval = 10) {
    sleeper.SetActive(true);
    sleeper.SetInterval(interval);
    sleeper.SetOnAwake([this](TdsrSleeper&) { awakes.push_back(platform.now); });
    sleeper.SetOnSleep([this](TdsrSleeper&) { sleeps.push_back(platform.now); });
  }
  // Lets simulated time pass up to `t`, firing the timer at its deadlines.
  void RunUntil(std::uint64_t t) {
    while (platform.armed && platform.armedAt + platform.armedFor <= t) {
      platform.now = platform.armedAt + platform.armedFor;
      sleeper.TimerFired();
    }
    platform.now = t;
  }
  // A key press at `t`, as the hook sees it; the posted wake-up is delivered afterwards.
  void KeyAt(std::uint64_t t) {
    RunUntil(t);
    int posted = 0;
    OnKeyboardEvent(*platform.block, platform.TickCount(), [&](std::uint32_t wnd) {
      EXPECT_EQ(wnd, kOwnWindow);
      ++posted;
    });
    for (int i = 0; i < posted; ++i) sleeper.AwakeReceived();
  }

  FakePlatform platform;
  TdsrSleeper sleeper{platform};
  std::vector<std::uint64_t> sleeps, awakes;
};

TEST_F(Idle, SleepsTenSecondsAfterTheLastInputAndNotAgainUntilAwake) {
  Activate();
  EXPECT_TRUE(platform.armed);
  // Armed in the very millisecond of the last input, the wait counts as a wrapped counter's
  // and comes out one millisecond long.
  EXPECT_EQ(platform.armedFor, 10001u);
  RunUntil(11000);
  EXPECT_TRUE(sleeps.empty());
  RunUntil(11001);
  ASSERT_EQ(sleeps.size(), 1u);
  EXPECT_EQ(platform.block->Sleeping, 1);
  EXPECT_FALSE(platform.armed);  // no timer runs during the idle period
  RunUntil(500000);
  EXPECT_EQ(sleeps.size(), 1u);

  KeyAt(600000);
  ASSERT_EQ(awakes.size(), 1u);
  EXPECT_EQ(platform.block->Sleeping, 0);
  // Input while watching posts nothing and only moves the threshold.
  KeyAt(605000);
  EXPECT_EQ(awakes.size(), 1u);
  RunUntil(614999);
  EXPECT_EQ(sleeps.size(), 1u);
  RunUntil(615000);
  ASSERT_EQ(sleeps.size(), 2u);
}

TEST_F(Idle, InputDuringTheWaitReArmsForTheTimeStillMissing) {
  Activate();
  KeyAt(5000);  // 4 s after arming
  RunUntil(11001);
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(platform.armedFor, 3999u);
  RunUntil(14999);
  EXPECT_TRUE(sleeps.empty());
  RunUntil(15000);
  EXPECT_EQ(sleeps.size(), 1u);
  EXPECT_EQ(platform.arms, 2);  // never more often than the threshold can be reached
}

TEST_F(Idle, AStaleLastTickCountsFromTheActivation) {
  platform.stampOnInstall = false;
  platform.block->LastTick = 0;
  platform.now = 90000000;  // the last input lies a day in the past
  Activate();
  EXPECT_EQ(platform.block->LastTick, 90000000u);
  EXPECT_EQ(platform.armedFor, 10000u);
  RunUntil(90009999);
  EXPECT_TRUE(sleeps.empty());
  RunUntil(90010000);
  EXPECT_EQ(sleeps.size(), 1u);
}

TEST_F(Idle, NoIntervalOrNoSleepHandlerNeverSleeps) {
  sleeper.SetActive(true);
  sleeper.SetInterval(10);
  EXPECT_FALSE(platform.armed);  // no OnSleep yet
  sleeper.SetOnSleep([this](TdsrSleeper&) { sleeps.push_back(platform.now); });
  EXPECT_TRUE(platform.armed);
  sleeper.SetInterval(0);
  EXPECT_FALSE(platform.armed);
  RunUntil(10000000);
  sleeper.SetInterval(-5);  // as good as 0
  EXPECT_FALSE(platform.armed);
  RunUntil(20000000);
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(platform.installs, 1);  // hooks are installed all the same

  // An interval beyond what the timer can hold is cut to the longest timer, never wrapped.
  sleeper.SetInterval(3000000);
  EXPECT_TRUE(platform.armed);
  EXPECT_EQ(platform.armedFor, 2147483000u - (20000000u - 1000u));
}

TEST_F(Idle, TheTickCounterWrappingDuringTheWaitIsOffByAtMostAMillisecond) {
  for (std::uint64_t start : {0xFFFFFFFFull - 4000, 0xFFFFFFFFull - 9999, 0xFFFFFFFFull,
                              0xFFFFFFFFull - 10000}) {
    FakePlatform p;
    p.now = start;
    TdsrSleeper s(p);
    std::vector<std::uint64_t> at;
    s.SetActive(true);
    s.SetInterval(10);
    s.SetOnSleep([&](TdsrSleeper&) { at.push_back(p.now); });
    for (int i = 0; i < 10 && at.empty(); ++i) {
      ASSERT_TRUE(p.armed);
      p.now = p.armedAt + p.armedFor;
      s.TimerFired();
    }
    ASSERT_EQ(at.size(), 1u) << start;
    EXPECT_GE(at[0], start + 10000) << start;
    EXPECT_LE(at[0], start + 10001) << start;
  }
}

TEST_F(Idle, TwoAwakeMessagesInARowEndInTheSameStateAsOne) {
  Activate();
  RunUntil(11001);
  ASSERT_EQ(sleeps.size(), 1u);
  platform.now = 12000;
  platform.block->LastTick = 12000;  // the key press that woke it
  sleeper.AwakeReceived();
  const std::uint32_t armedFor = platform.armedFor;
  sleeper.AwakeReceived();  // two hook threads both saw Sleeping
  EXPECT_EQ(awakes.size(), 2u);
  EXPECT_TRUE(platform.armed);
  EXPECT_EQ(platform.armedFor, armedFor);
  EXPECT_EQ(platform.block->Sleeping, 0);
}

TEST_F(Idle, SwitchingOnTwiceInstallsOnceAndOffUnregisters) {
  Activate();
  sleeper.SetActive(true);
  EXPECT_EQ(platform.installs, 1);
  EXPECT_EQ(platform.block->WndCount, 1);
  sleeper.SetActive(false);
  EXPECT_EQ(platform.removes, 1);
  EXPECT_EQ(platform.block->WndCount, 0);
  EXPECT_FALSE(platform.armed);
  EXPECT_FALSE(sleeper.Hooked());
  sleeper.SetActive(true);
  EXPECT_EQ(platform.installs, 2);
  EXPECT_TRUE(platform.armed);
}

TEST_F(Idle, FailuresLeaveNoHalfBuiltState) {
  platform.installError = kErrLoadLibrary;
  try {
    Activate();
    FAIL() << "no error";
  } catch (const EdsrSleeperError& e) {
    EXPECT_STREQ(e.what(), "Unable to load DsrSleep.dll");
  }
  EXPECT_TRUE(sleeper.Active());
  EXPECT_FALSE(sleeper.Hooked());
  sleeper.SetOnSleep([](TdsrSleeper&) {});
  EXPECT_FALSE(platform.armed);  // nothing to watch without the hooks
  sleeper.SetActive(false);
  EXPECT_EQ(platform.removes, 0);

  platform.installError = nullptr;
  platform.refuseTimer = true;
  try {
    sleeper.SetActive(true);
    FAIL() << "no error";
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Nicht genügend Timer verfügbar");
  }
  EXPECT_TRUE(sleeper.Hooked());
}

TEST_F(Idle, AFailingSleepHandlerStillLetsTheNextInputEndThePeriod) {
  sleeper.SetActive(true);
  sleeper.SetInterval(10);
  sleeper.SetOnAwake([this](TdsrSleeper&) { awakes.push_back(platform.now); });
  sleeper.SetOnSleep([](TdsrSleeper&) { throw std::runtime_error("handler"); });
  platform.now = 11000;
  EXPECT_THROW(sleeper.TimerFired(), std::runtime_error);
  EXPECT_EQ(platform.block->Sleeping, 1);
  KeyAt(12000);
  EXPECT_EQ(awakes.size(), 1u);
  EXPECT_TRUE(platform.armed);
}

TEST_F(Idle, TheMinuteTickEndsAPeriodWhoseWakeUpMessageWasLost) {
  Activate();
  RunUntil(11001);
  ASSERT_EQ(sleeps.size(), 1u);
  EXPECT_FALSE(sleeper.CheckAwake());
  // Another detector on the block re-arming clears Sleeping, but nobody gave input.
  platform.block->Sleeping = 0;
  EXPECT_FALSE(sleeper.CheckAwake());
  platform.block->Sleeping = 1;
  // The first mouse event only records the anchor: the period goes on, at the tick as well.
  RunUntil(30000);
  OnMouseEvent(*platform.block, 0x0201, 5, 5, platform.TickCount(),
               [](std::uint32_t) { ADD_FAILURE() << "the anchor woke it"; });
  EXPECT_FALSE(sleeper.CheckAwake());
  EXPECT_TRUE(awakes.empty());
  // A key ends the period in the block; its message is dropped on the way.
  RunUntil(40000);
  OnKeyboardEvent(*platform.block, platform.TickCount(), [](std::uint32_t) {});
  EXPECT_TRUE(sleeper.CheckAwake());
  ASSERT_EQ(awakes.size(), 1u);
  EXPECT_TRUE(platform.armed);
  EXPECT_FALSE(sleeper.CheckAwake());  // ended once
  RunUntil(50001);
  EXPECT_EQ(sleeps.size(), 2u);  // and the next period begins as usual
}

// A handler shows a warning; the box's message loop ends the program ("Beenden", the end of
// the session), which destroys the detector under the handler. Nothing of the detector, nor
// the block that the platform unmapped, may be touched after the handler returns.
TEST(IdleLifetime, ADetectorDestroyedWhileItsHandlerShowsAWarningIsLeftAlone) {
  for (bool inSleep : {false, true}) {
    FakePlatform p;
    p.unmapOnRemove = true;
    auto owner = std::make_unique<TdsrSleeper>(p);
    int shown = 0;
    auto warning = [&](TdsrSleeper& sender) {
      ++shown;
      EXPECT_EQ(&sender, owner.get());
      owner.reset();  // what the nested loop ran
    };
    owner->SetActive(true);
    owner->SetInterval(10);
    if (inSleep) {
      owner->SetOnSleep(warning);
      p.now = 11001;
      owner->TimerFired();
    } else {
      owner->SetOnAwake(warning);
      owner->SetOnSleep([](TdsrSleeper&) {});
      p.now = 11001;
      owner->TimerFired();
      ASSERT_TRUE(owner->Sleeping());
      p.now = 12000;
      owner->AwakeReceived();
    }
    EXPECT_EQ(shown, 1) << inSleep;
    EXPECT_FALSE(owner);
    EXPECT_EQ(p.removes, 1) << inSleep;
    EXPECT_FALSE(p.armed) << inSleep;
  }
}

// The hook side, on a block of exactly 284 bytes of its own, so that the sanitizers see any
// access beyond it.
struct Posts {
  std::vector<std::uint32_t> to;
  auto Recorder() {
    return [this](std::uint32_t wnd) { to.push_back(wnd); };
  }
};

TEST(IdleHooks, KeysWakeAtOnceAndEveryKeyCountsAsInput) {
  auto s = std::make_unique<TSleeperShared>();
  *s = TSleeperShared{};
  RegisterSleeperWindow(*s, 7);
  RegisterSleeperWindow(*s, 8);
  s->Wnds[2] = 0;  // a place that holds no window is skipped
  s->WndCount = 3;
  Posts posts;
  OnKeyboardEvent(*s, 100, posts.Recorder());
  EXPECT_TRUE(posts.to.empty());
  EXPECT_EQ(s->LastTick, 100u);
  s->Sleeping = 1;
  OnKeyboardEvent(*s, 200, posts.Recorder());
  EXPECT_EQ(posts.to, (std::vector<std::uint32_t>{7, 8}));
  EXPECT_EQ(s->Sleeping, 0);
  EXPECT_EQ(s->LastTick, 200u);
}

TEST(IdleHooks, MouseAnchorAndMovesAtTheSamePlace) {
  auto s = std::make_unique<TSleeperShared>();
  *s = TSleeperShared{};
  RegisterSleeperWindow(*s, 7);
  Posts posts;
  OnMouseEvent(*s, kWmMouseMove, 50, 60, 100, posts.Recorder());
  EXPECT_EQ(s->LastTick, 100u);
  OnMouseEvent(*s, kWmMouseMove, 50, 60, 200, posts.Recorder());  // no movement: not input
  EXPECT_EQ(s->LastTick, 100u);
  OnMouseEvent(*s, 0x0201, 50, 60, 300, posts.Recorder());  // a click where it rests: input
  EXPECT_EQ(s->LastTick, 300u);

  s->Sleeping = 1;
  OnMouseEvent(*s, 0x0201, 50, 60, 400, posts.Recorder());  // first event: only the anchor
  EXPECT_TRUE(posts.to.empty());
  EXPECT_EQ(s->AnchorPosX, 50);
  EXPECT_EQ(s->AnchorPosY, 60);
  OnMouseEvent(*s, kWmMouseMove, 51, 60, 500, posts.Recorder());
  EXPECT_EQ(posts.to.size(), 1u);  // moved away from the anchor: awake
  EXPECT_EQ(s->Sleeping, 0);
  EXPECT_EQ(s->AnchorPosX, 0);

  s->Sleeping = 1;
  OnMouseEvent(*s, kWmMouseMove, 52, 61, 600, posts.Recorder());  // anchor
  OnMouseEvent(*s, kWmMouseMove, 53, 61, 610, posts.Recorder());  // away and back again...
  EXPECT_EQ(posts.to.size(), 2u);
  s->Sleeping = 1;
  OnMouseEvent(*s, kWmMouseMove, 53, 61, 620, posts.Recorder());  // new anchor
  OnMouseEvent(*s, kWmMouseMove, 53, 61, 630, posts.Recorder());  // back at the anchor: asleep
  EXPECT_EQ(posts.to.size(), 2u);
  EXPECT_EQ(s->Sleeping, 1);

  // A cursor resting at (0, 0) leaves no anchor: the next event is the first again.
  *s = TSleeperShared{};
  RegisterSleeperWindow(*s, 7);
  s->Sleeping = 1;
  OnMouseEvent(*s, kWmMouseMove, 0, 0, 700, posts.Recorder());
  OnMouseEvent(*s, kWmMouseMove, 5, 5, 710, posts.Recorder());
  EXPECT_EQ(posts.to.size(), 2u);
  EXPECT_EQ(s->AnchorPosX, 5);
}

TEST(IdleHooks, AGarbageBlockNeverLeadsOutsideTheTable) {
  auto s = std::make_unique<TSleeperShared>();
  for (std::int32_t count : {1000000, -5, 65, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000)}) {
    *s = TSleeperShared{};
    for (auto& w : s->Wnds) w = 0xDEAD;
    s->WndCount = count;
    s->Sleeping = 1;
    Posts posts;
    OnKeyboardEvent(*s, 1, posts.Recorder());
    EXPECT_EQ(posts.to.size(), count > 0 ? 64u : 0u) << count;
    s->Sleeping = 0xFF;
    s->AnchorPosX = 3;
    OnMouseEvent(*s, 0x0201, 9, 9, 2, posts.Recorder());
    EXPECT_EQ(s->Sleeping, 0) << count;
    // A component never registers beyond the table, and a negative count starts it afresh.
    if (count > 0) {
      EXPECT_THROW(RegisterSleeperWindow(*s, 5), EdsrSleeperError);
    } else {
      RegisterSleeperWindow(*s, 5);
      EXPECT_EQ(s->WndCount, 1);
      EXPECT_EQ(s->Wnds[0], 5u);
    }
  }
}

TEST(IdleHooks, RegistrationKeepsTheOthersAtTheFront) {
  auto s = std::make_unique<TSleeperShared>();
  *s = TSleeperShared{};
  for (std::uint32_t w = 1; w <= 64; ++w) RegisterSleeperWindow(*s, w);
  EXPECT_THROW(RegisterSleeperWindow(*s, 65), EdsrSleeperError);
  EXPECT_EQ(s->WndCount, 64);
  UnregisterSleeperWindow(*s, 1);
  EXPECT_EQ(s->WndCount, 63);
  EXPECT_EQ(s->Wnds[0], 2u);
  EXPECT_EQ(s->Wnds[62], 64u);
  UnregisterSleeperWindow(*s, 999);  // not there: unchanged
  EXPECT_EQ(s->WndCount, 63);
  RegisterSleeperWindow(*s, 65);
  EXPECT_EQ(s->Wnds[63], 65u);
}

}  // namespace
}  // namespace orv
