// DsrSleep.dll: the system-wide keyboard and mouse hooks of the idle detector.
//
// The hooks are installed from the program's process; the platform then loads this library
// into every process whose threads receive input and calls the hook procedures there. Each
// process maps the shared block "DsrSleeper", stamps the time of the latest input into it and,
// when an idle period is in progress, posts "SDSR_Awake" to the windows registered in it.
//
// The procedures run on every input event of the desktop: constant work, no allocation, no
// lock, no runtime library. Nothing read from the block is trusted, since any process may
// write it: a crash here would take down whatever program received the input. Every event is
// passed on to the next hook, so other programs' hooks see it too.
//
// The library shows nothing inside other programs: a failure to attach to the block at load
// time (under the loader lock, where a message box can hang the process) is only remembered.
// The program's own process learns of it when it installs the hooks; everywhere else the
// procedures pass every event on and do nothing more.
#include <windows.h>

#include "idle/dsrSleepCommon.h"

// The exports, undecorated by the .def file, in the standard calling convention.
extern "C" {
BOOL WINAPI HookState(BOOL on);
LRESULT CALLBACK KeyboardProc(int code, WPARAM wp, LPARAM lp);
LRESULT CALLBACK MouseProc(int code, WPARAM wp, LPARAM lp);
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
}

namespace {

UINT g_awakeMessage = 0;
HHOOK g_keyboardHook = nullptr;
HHOOK g_mouseHook = nullptr;
HANDLE g_mapping = nullptr;
volatile orv::TSleeperShared* g_shared = nullptr;
HINSTANCE g_module = nullptr;
const char* g_loadError = nullptr;  // why the block could not be attached at load time

void LoadError(const char* text) { g_loadError = text; }

void AttachSharedBlock() {
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) {
    LoadError("Cannot initialize security descriptor");
    return;
  }
  // A NULL DACL: every process that receives input may open the block.
  if (!SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
    LoadError("Cannot set security descriptor DACL");
    return;
  }
  SECURITY_ATTRIBUTES attributes;
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = &descriptor;
  attributes.bInheritHandle = TRUE;
  g_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                 sizeof(orv::TSleeperShared), orv::kSleeperMappingName);
  if (!g_mapping) {
    LoadError("Cannot load MapFile");
    return;
  }
  void* view = MapViewOfFile(g_mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(orv::TSleeperShared));
  if (!view) {
    LoadError("Cannot create MapFile view");
    return;
  }
  g_shared = static_cast<volatile orv::TSleeperShared*>(view);
}

void DetachSharedBlock() {
  if (g_shared) UnmapViewOfFile(const_cast<orv::TSleeperShared*>(g_shared));
  g_shared = nullptr;
  if (g_mapping) CloseHandle(g_mapping);
  g_mapping = nullptr;
}

// The block keeps window handles as their 32 significant bits; widened with sign extension as
// the platform documents for handles shared between 32- and 64-bit processes.
struct PostAwake {
  WPARAM wp;
  LPARAM lp;
  void operator()(std::uint32_t wnd) const {
    HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(wnd)));
    PostMessageA(target, g_awakeMessage, wp, lp);
  }
};

}  // namespace

extern "C" {

BOOL WINAPI HookState(BOOL on) {
  if ((on & 0xFF) != 0) {
    // Only the program's own process installs the hooks: there, outside the loader lock, the
    // load error is shown once.
    if (const char* error = g_loadError) {
      g_loadError = nullptr;
      MessageBoxA(nullptr, error, "Error DsrSleep.dll loading", MB_ICONHAND);
    }
    if (!g_keyboardHook) {
      g_keyboardHook = SetWindowsHookExA(WH_KEYBOARD, reinterpret_cast<HOOKPROC>(&KeyboardProc),
                                         g_module, 0);
    }
    if (!g_mouseHook) {
      g_mouseHook =
          SetWindowsHookExA(WH_MOUSE, reinterpret_cast<HOOKPROC>(&MouseProc), g_module, 0);
    }
    if (!g_keyboardHook || !g_mouseHook) return FALSE;
    if (g_shared) {
      POINT p;
      g_shared->LastTick = GetTickCount();
      if (GetCursorPos(&p)) {
        g_shared->LastPosX = p.x;
        g_shared->LastPosY = p.y;
      }
    }
    return TRUE;
  }
  if (g_keyboardHook && UnhookWindowsHookEx(g_keyboardHook)) g_keyboardHook = nullptr;
  if (g_mouseHook && UnhookWindowsHookEx(g_mouseHook)) g_mouseHook = nullptr;
  return !g_keyboardHook && !g_mouseHook;
}

// Both procedures hand every event on and return what the rest of the chain returns. The hook
// handle is passed as null: the platform ignores it, and in other processes ours is unknown.
LRESULT CALLBACK KeyboardProc(int code, WPARAM wp, LPARAM lp) {
  // Without the block (it could not be mapped here) the event only passes on.
  if (code >= 0 && g_shared) orv::OnKeyboardEvent(*g_shared, GetTickCount(), PostAwake{wp, lp});
  return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK MouseProc(int code, WPARAM wp, LPARAM lp) {
  const auto* record = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lp);
  if (code >= 0 && g_shared && record)
    orv::OnMouseEvent(*g_shared, static_cast<std::uint32_t>(wp), record->pt.x, record->pt.y,
                      GetTickCount(), PostAwake{wp, lp});
  return CallNextHookEx(nullptr, code, wp, lp);
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
    DisableThreadLibraryCalls(module);
    g_awakeMessage = RegisterWindowMessageA(orv::kAwakeMessageName);
    AttachSharedBlock();
  } else if (reason == DLL_PROCESS_DETACH) {
    DetachSharedBlock();
  }
  return TRUE;
}

}  // extern "C"
