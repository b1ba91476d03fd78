// A hook library whose hooks cannot be installed: HookState reports failure on every call.
#include <windows.h>

extern "C" BOOL WINAPI HookState(BOOL on) { return (on & 0xFF) == 0; }
