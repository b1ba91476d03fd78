// Orvalis: a tray-resident task scheduler.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "exec/files_win32.h"
#include "exec/http.h"
#include "exec/socket.h"
#include "exec/power_win32.h"
#include "exec/shell_win32.h"
#include "exec/system_dll_win32.h"
#include "sched/clock.h"
#include "sched/locale.h"
#include "store/registry_win32.h"
#include "ui/QuestionDialog.h"
#include "ui/UnitInfo.h"
#include "ui/UnitMain.h"
#include "ui/prompter_win32.h"
#include "ui/skin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything loads a library: only the system directory is searched, never the
  // program's own folder (the per-user install folder or wherever the zip was unpacked).
  orv::RestrictDllSearchPath();
  // The shell opens programs and addresses through COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  struct ComScope {
    bool on;
    ~ComScope() {
      if (on) CoUninitialize();
    }
  } comScope{SUCCEEDED(com)};
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);

  orv::skin::Skin skin;  // first, so that it outlives every window drawn with it
  orv::TFormConfirm formConfirm(skin);
  orv::TFormRecover formRecover(skin);
  orv::TFormInfo formInfo;
  orv::Win32Prompter prompter(formConfirm, formRecover);
  orv::Win32Registry registry;
  orv::Win32Shell shell;
  orv::Win32Files files;
  orv::Win32Power power;
  orv::HttpClient http(orv::MakeSocketLayer());
  // An invisible fetch waits on the window thread; the window, the tray icon and the input
  // hooks keep being served while it waits.
  http.SetWaitHook(orv::PumpPendingMessages);
  orv::TFormMain formMain(registry, orv::SystemClock(), orv::UserLocale(),
                          orv::Services{&shell, &files, &power, &http}, &prompter, skin);
  // The start option alone decides whether the window shows.
  if (!formMain.Create(instance)) return 1;
  formConfirm.Create(instance, formMain.Handle());
  formRecover.Create(instance, formMain.Handle());
  formInfo.Create(instance);
  formMain.SetFormInfo(&formInfo);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    orv::DispatchUiMessage(msg);
  }
  return static_cast<int>(msg.wParam);
}
