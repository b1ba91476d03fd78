// A second program with an idle detector of its own, for the test of two processes sharing the
// block: switches its detector on, says so through the event "OrvalisSleeperPeerReady", and
// switches it off and ends when "OrvalisSleeperPeerQuit" is set.
#include <windows.h>

#include "idle/dsrSleeper_win32.h"

int main() {
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"OrvalisSleeperPeerReady");
  HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, L"OrvalisSleeperPeerQuit");
  if (!ready || !quit) return 2;
  {
    orv::dsrSleeper peer(GetModuleHandleW(nullptr), nullptr);
    try {
      peer->SetActive(true);
    } catch (...) {
      return 3;
    }
    SetEvent(ready);
    while (MsgWaitForMultipleObjects(1, &quit, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
  }
  return 0;
}
