// The block that the idle detector and its input hook library share: "DsrSleeper", 284 bytes,
// mapped by the program and by every process into which the hooks are loaded. Its layout is a
// wire format and must not depend on the compiler or the pointer size: window handles are kept
// as their 32 significant bits.
//
// The block can be written by any process, so nothing read from it is trusted: WndCount is
// taken as 0 to 64 whatever it holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

inline constexpr char kSleeperMappingName[] = "DsrSleeper";
inline constexpr char kAwakeMessageName[] = "SDSR_Awake";
inline constexpr int kSleeperMaxWindows = 64;

struct TSleeperShared {
  std::uint32_t Wnds[kSleeperMaxWindows];  // windows to notify on wake
  std::int32_t WndCount;                   // used entries at the front of Wnds
  std::uint32_t LastTick;                  // tick count of the last counted input
  std::uint8_t Sleeping;                   // 1 while an idle period lasts
  std::uint8_t Padding[3];
  std::int32_t LastPosX, LastPosY;      // where the last mouse event was
  std::int32_t AnchorPosX, AnchorPosY;  // first mouse event of an idle period; (0, 0): none
};

static_assert(sizeof(TSleeperShared) == 284, "the shared block is 284 bytes");
static_assert(offsetof(TSleeperShared, Wnds) == 0);
static_assert(offsetof(TSleeperShared, WndCount) == 256);
static_assert(offsetof(TSleeperShared, LastTick) == 260);
static_assert(offsetof(TSleeperShared, Sleeping) == 264);
static_assert(offsetof(TSleeperShared, Padding) == 265);
static_assert(offsetof(TSleeperShared, LastPosX) == 268);
static_assert(offsetof(TSleeperShared, LastPosY) == 272);
static_assert(offsetof(TSleeperShared, AnchorPosX) == 276);
static_assert(offsetof(TSleeperShared, AnchorPosY) == 280);

// The number of used window places, within the table whatever the block says. Read once: the
// value may change under the reader.
inline int UsedWindowPlaces(const volatile TSleeperShared& s) {
  const std::int32_t n = s.WndCount;
  return n < 0 ? 0 : (n > kSleeperMaxWindows ? kSleeperMaxWindows : static_cast<int>(n));
}

// What the hook procedures do with one event, apart from calling the platform. `post(hwnd32)`
// sends the awake message to one registered window. Constant work: no allocation, no lock.
template <typename Post>
void BroadcastAwake(volatile TSleeperShared& s, Post&& post) {
  const int n = UsedWindowPlaces(s);
  for (int i = 0; i < n; ++i) {
    const std::uint32_t wnd = s.Wnds[i];
    if (wnd != 0) post(wnd);
  }
}

// A keyboard event (hook code 0 or more): ends an idle period and counts as input.
template <typename Post>
void OnKeyboardEvent(volatile TSleeperShared& s, std::uint32_t now, Post&& post) {
  if (s.Sleeping != 0) {
    s.Sleeping = 0;
    BroadcastAwake(s, post);
  }
  s.LastTick = now;
}

inline constexpr std::uint32_t kWmMouseMove = 0x0200;

// A mouse event at (x, y) with message number `msg`. A move at an unchanged position is not
// input; the first mouse event of an idle period only records where the cursor is; a move back
// to that place does not wake.
template <typename Post>
void OnMouseEvent(volatile TSleeperShared& s, std::uint32_t msg, std::int32_t x, std::int32_t y,
                  std::uint32_t now, Post&& post) {
  if (msg != kWmMouseMove || x != s.LastPosX || y != s.LastPosY) s.LastTick = now;
  s.LastPosX = x;
  s.LastPosY = y;
  if (s.Sleeping == 0) return;
  if (s.AnchorPosX == 0 && s.AnchorPosY == 0) {
    s.AnchorPosX = x;
    s.AnchorPosY = y;
    return;
  }
  if (msg == kWmMouseMove && x == s.AnchorPosX && y == s.AnchorPosY) return;
  s.AnchorPosX = 0;
  s.AnchorPosY = 0;
  s.Sleeping = 0;
  BroadcastAwake(s, post);
}

}  // namespace orv
