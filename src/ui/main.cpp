// Orvalis: a tray-resident task scheduler.
#include <windows.h>

#include <commctrl.h>

#include "exec/files_win32.h"
#include "exec/http.h"
#include "exec/socket.h"
#include "exec/power_win32.h"
#include "exec/shell_win32.h"
#include "sched/clock.h"
#include "sched/locale.h"
#include "store/registry_win32.h"
#include "ui/UnitMain.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);

  orv::Win32Registry registry;
  orv::Win32Shell shell;
  orv::Win32Files files;
  orv::Win32Power power;
  orv::HttpClient http(orv::MakeSocketLayer());
  // An invisible fetch waits on the window thread; the window, the tray icon and the input
  // hooks keep being served while it waits.
  http.SetWaitHook(orv::PumpPendingMessages);
  orv::TFormMain formMain(registry, orv::SystemClock(), orv::UserLocale(),
                          orv::Services{&shell, &files, &power, &http});
  if (!formMain.Create(instance, showCommand)) return 1;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
