// Orvalis: a tray-resident task scheduler.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <functional>
#include <memory>

#include "platform/win32/files_win32.h"
#include "net/http.h"
#include "platform/socket.h"
#include "platform/win32/power_win32.h"
#include "platform/win32/shell_win32.h"
#include "platform/win32/system_dll_win32.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/win32/registry_win32.h"
#include "ui/CountdownWindow.h"
#include "ui/QuestionDialog.h"
#include "ui/UnitInfo.h"
#include "ui/UnitMain.h"
#include "ui/prompter_win32.h"
#include "ui/skin.h"
#include "ui/win/dpi.h"

namespace {

// The window thread's wait for an invisible fetch, whose socket work runs on a worker thread:
// the thread sleeps until the worker is done or anything arrives for it, and serves its
// messages meanwhile, as it does while a question waits. A fetch started by one of those
// messages waits here again, nested. The wait gives up at WM_QUIT (the program ends), which
// stays in the queue for the loops further out.
class WindowFetchWaiter final : public orv::FetchWaiter {
 public:
  WindowFetchWaiter() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~WindowFetchWaiter() override {
    if (event_) CloseHandle(event_);
  }
  WindowFetchWaiter(const WindowFetchWaiter&) = delete;
  WindowFetchWaiter& operator=(const WindowFetchWaiter&) = delete;

  void Wait(const std::function<bool()>& over) override {
    for (;;) {
      // Reset before looking: a wake-up from now on ends the sleep below. A nested wait may
      // reset a wake-up meant for this one; this one looks at `over` after every message.
      if (event_) ResetEvent(event_);
      if (over()) return;
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(msg.wParam));
          return;
        }
        orv::DispatchUiMessage(msg);
        if (over()) return;
      }
      // Sleeps until the worker is done, or a message, input, a timer or a paint request
      // arrives. Without an event (none could be made) it looks again every 50 ms.
      if (event_) {
        MsgWaitForMultipleObjectsEx(1, &event_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      } else {
        MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      }
    }
  }

  void Wake() override {
    if (event_) SetEvent(event_);
  }

 private:
  HANDLE event_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything loads a library: only the system directory is searched, never the
  // program's own folder (the per-user install folder or wherever the zip was unpacked).
  orv::RestrictDllSearchPath();
  // Each window is drawn at the scale of its monitor (the manifest says so too; older systems
  // and loaders that skip it get the same here).
  orv::win::EnablePerMonitorDpiAwareness();
  // The shell opens programs and addresses through COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  struct ComScope {
    bool on;
    ~ComScope() {
      if (on) CoUninitialize();
    }
  } comScope{SUCCEEDED(com)};
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&icc);

  orv::skin::Skin skin;  // the main window's, first, so that it outlives every window using it
  orv::TFormConfirm formConfirm(skin);
  orv::TFormRecover formRecover(skin);
  orv::CountdownWindow formCountdown;
  orv::TFormInfo formInfo;
  orv::Win32Prompter prompter(formConfirm, formRecover);
  orv::Win32Registry registry;
  orv::Win32Shell shell;
  orv::Win32Files files;
  orv::Win32Power power;
  orv::HttpClient http(orv::MakeSocketLayer());
  // An invisible fetch does its socket work on a thread of its own; the window, the tray icon
  // and the input hooks keep being served while the window thread waits for it.
  http.SetWaiter(std::make_shared<WindowFetchWaiter>());
  orv::TFormMain formMain(registry, orv::SystemClock(), orv::UserLocale(),
                          orv::Services{&shell, &files, &power, &http}, &prompter, skin);
  // Before the main window: tasks bound to Windows start run while it is created.
  formCountdown.Create(instance,
                       [&formMain](orv::CountdownDecision d) { formMain.CountdownDecide(d); });
  formMain.SetCountdownView(&formCountdown);
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
