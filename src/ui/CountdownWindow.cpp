#include "ui/CountdownWindow.h"

#include <windowsx.h>

#include "ui/prompter_win32.h"
#include "ui/win32_text.h"

namespace orv {
namespace {

constexpr char kTitle[] = "System-Aktion";

}  // namespace

CountdownWindow::~CountdownWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool CountdownWindow::Create(HINSTANCE instance, std::function<void(CountdownDecision)> decide) {
  if (hwnd_) return true;
  decide_ = std::move(decide);
  instance_ = instance;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = kCountdownWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  // Owned by no window: the main window may be hidden in the notification area.
  const std::wstring title = W(kTitle);
  CreateWindowExW(WS_EX_TOPMOST | WS_EX_APPWINDOW, kCountdownWindowClass, title.c_str(),
                  WS_POPUP | WS_CLIPCHILDREN, 0, 0, kWidth, kHeight, nullptr, nullptr, instance,
                  this);
  if (!hwnd_) return false;
  skin_.ShapeWindow(hwnd_);
  layout_.Capture(hwnd_, win::Dpi(skin_.Dpi()));
  icons_.Apply(hwnd_, instance, MAKEINTRESOURCEW(1), win::Dpi(skin_.Dpi()));
  MarkKeyboardDialog(hwnd_);
  return true;
}

LRESULT CountdownWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const win::PaintDc dc(hwnd_);
      if (dc) skin_.PaintWindow(hwnd_, dc.Get(), Px(kBandHeight), L'!');
      return 0;
    }
    case WM_DRAWITEM:
      if (skin_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_NCHITTEST: {
      // The title band moves the window.
      const LRESULT hit = DefWindowProcW(hwnd_, msg, wp, lp);
      if (hit != HTCLIENT) return hit;
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ScreenToClient(hwnd_, &pt);
      return pt.y < Px(kBandHeight) ? HTCAPTION : HTCLIENT;
    }
    case WM_NCLBUTTONDBLCLK:
      return 0;
    case WM_DPICHANGED:  // moved to a monitor of another scale, or the scale changed
      ApplyDpi(win::Dpi(LOWORD(wp)), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_COMMAND:
      FormCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CLOSE:  // Alt+F4 or another program
      Decide(CountdownDecision::kCancel);
      return 0;
    case WM_ENDSESSION:
      if (wp) Decide(CountdownDecision::kCancel);
      return 0;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_MINIMIZE) return 0;  // stays in sight while it counts
      break;
    case WM_WINDOWPOSCHANGED: {
      // Hidden by anyone but itself: a countdown nobody sees never runs its action.
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
      if ((pos->flags & SWP_HIDEWINDOW) && !hiding_) Decide(CountdownDecision::kCancel);
      break;
    }
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void CountdownWindow::FormCreate() {
  skin_.SetDpi(win::Dpi::OfWindow(hwnd_).Value());
  SetWindowPos(hwnd_, nullptr, 0, 0, Px(kWidth), Px(kHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const skin::Skin& s = skin_;
  s.CreateLabel(hwnd_, kIdCountdownTitle, W(kTitle),
                RECT{Px(42), Px(9), Px(kWidth - 14), Px(9 + 20)}, skin::LabelKind::kBandTitle);
  s.CreateLabel(hwnd_, kIdLabelCountdown, L"", Px(kLineRect), skin::LabelKind::kText);
  s.CreateLabel(hwnd_, kIdLabelCountdownTask, L"", Px(kTaskRect), skin::LabelKind::kText);
  // The tab order follows the order of creation, left to right.
  s.CreateButton(hwnd_, kIdFlatButtonCountdownRun, W("&Jetzt ausführen"), Px(kRunRect),
                 skin::ButtonKind::kSecondary);
  s.CreateButton(hwnd_, kIdFlatButtonCountdownCancel, L"&Abbrechen", Px(kCancelRect),
                 skin::ButtonKind::kPrimary);
  s.CreateButton(hwnd_, kIdFlatButtonCountdownPostpone, L"In &15 Minuten erneut",
                 Px(kPostponeRect), skin::ButtonKind::kSecondary);
}

void CountdownWindow::ApplyDpi(win::Dpi dpi, const RECT* suggested) {
  skin::ApplyWindowDpi(hwnd_, skin_, layout_, dpi, SIZE{kWidth, kHeight}, suggested);
  icons_.Apply(hwnd_, instance_, MAKEINTRESOURCEW(1), dpi);
}

void CountdownWindow::FormCommand(int id, int code) {
  if (id == IDOK) {
    // Enter, passed on by IsDialogMessage: presses the focused button, "Abbrechen" otherwise.
    HWND focus = GetFocus();
    if (focus && focus == Control(kIdFlatButtonCountdownRun))
      Decide(CountdownDecision::kRunNow);
    else if (focus && focus == Control(kIdFlatButtonCountdownPostpone))
      Decide(CountdownDecision::kPostpone);
    else
      Decide(CountdownDecision::kCancel);
    return;
  }
  if (id == IDCANCEL) {  // Escape
    Decide(CountdownDecision::kCancel);
    return;
  }
  if (code != BN_CLICKED) return;
  if (id == kIdFlatButtonCountdownRun) Decide(CountdownDecision::kRunNow);
  if (id == kIdFlatButtonCountdownCancel) Decide(CountdownDecision::kCancel);
  if (id == kIdFlatButtonCountdownPostpone) Decide(CountdownDecision::kPostpone);
}

void CountdownWindow::Decide(CountdownDecision decision) {
  // Hidden first: the engine hides it too, and a decision reaches it only once.
  Hide();
  if (decide_) decide_(decision);
}

void CountdownWindow::Show(const std::string& task, const std::string& line) {
  if (!hwnd_) return;
  SetWindowTextW(Control(kIdLabelCountdownTask), W("Task '" + task + "'").c_str());
  const std::wstring text = W(line);
  SetWindowTextW(Control(kIdLabelCountdown), text.c_str());
  InvalidateRect(Control(kIdLabelCountdown), nullptr, TRUE);
  if (IsWindowVisible(hwnd_)) return;  // only the line changes while it shows
  CentreOnScreen();
  ShowWindow(hwnd_, SW_SHOW);
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(hwnd_);
  if (HWND cancel = Control(kIdFlatButtonCountdownCancel)) SetFocus(cancel);
}

void CountdownWindow::Hide() {
  if (!hwnd_ || !IsWindowVisible(hwnd_)) return;
  hiding_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  hiding_ = false;
}

void CountdownWindow::CentreOnScreen() {
  RECT self;
  GetWindowRect(hwnd_, &self);
  const int width = self.right - self.left, height = self.bottom - self.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
      monitor && GetMonitorInfoW(monitor, &info))
    work = info.rcWork;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace orv
