// A library that only says it was loaded: placed beside a program under a system library's name,
// it shows whether that program loads from its own folder. No runtime: kernel32 only.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) SetEnvironmentVariableW(L"ORV_FAKE_DLL_LOADED", L"1");
  return TRUE;
}
