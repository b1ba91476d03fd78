// The tray icon: shown, removed, and its clicks and menu, from the mouse and from the keyboard.
#include "ui/chrome.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cwchar>
#include <iterator>

#include "ui/UnitInfo.h"
#include "ui/prompter_win32.h"

namespace orv {

// ---- the tray icon ------------------------------------------------------------------------

bool MainChrome::AddTrayIcon() {
  if (!form_) return false;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = form_;
  data.uID = kTrayIconId;
  // NIF_SHOWTIP: with version 4 the shell shows the hint only when asked to.
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = smallIcon_;
  wcsncpy(data.szTip, kTrayHint, std::size(data.szTip) - 1);
  // After a restart of the shell the icon is gone; should it still be there, update it.
  trayShown_ = Shell_NotifyIconW(NIM_ADD, &data) || Shell_NotifyIconW(NIM_MODIFY, &data);
  // Version 4 of the icon's messages: the shell reports the keyboard too (NIN_KEYSELECT,
  // WM_CONTEXTMENU). A shell that refuses it keeps sending the older messages, which are read
  // as such.
  trayVersion4_ = false;
  if (trayShown_) {
    data.uVersion = NOTIFYICON_VERSION_4;
    trayVersion4_ = Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
  }
  lastTrayEvent_ = 0;
  return trayShown_;
}

void MainChrome::RemoveTrayIcon() {
  if (!trayShown_ || !form_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = form_;
  data.uID = kTrayIconId;
  Shell_NotifyIconW(NIM_DELETE, &data);
  trayShown_ = false;
}

bool MainChrome::ShowBalloon(const std::wstring& title, const std::wstring& text) {
  if (!trayShown_ || !form_) return false;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = form_;
  data.uID = kTrayIconId;
  data.uFlags = NIF_INFO;
  wcsncpy(data.szInfoTitle, title.c_str(), std::size(data.szInfoTitle) - 1);
  wcsncpy(data.szInfo, text.c_str(), std::size(data.szInfo) - 1);
  data.dwInfoFlags = NIIF_ERROR;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void MainChrome::SetReportFailuresCheck(bool on) {
  if (popupMenuOptionen_)
    CheckMenuItem(popupMenuOptionen_, kCmdPopupMenuOptionenFehlerMelden,
                  MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

bool MainChrome::TrayIconMessage(WPARAM wp, LPARAM lp) {
  UINT event = LOWORD(lp);
  UINT id = static_cast<UINT>(wp);
  POINT anchor{};
  if (trayVersion4_) {
    // Version 4: the event and the icon's ID in lParam, the anchor point in wParam.
    id = HIWORD(lp);
    anchor = POINT{GET_X_LPARAM(wp), GET_Y_LPARAM(wp)};
  } else {
    GetCursorPos(&anchor);
  }
  if (id != kTrayIconId) return false;
  CoolTrayIconMouseDown(event, anchor);
  return true;
}

void MainChrome::CoolTrayIconMouseDown(UINT mouseMessage, POINT anchor) {
  // Version 4 follows a mouse click with NIN_SELECT and a right click with WM_CONTEXTMENU,
  // straight after the button's release; the press and release have done their work already.
  const UINT previous = lastTrayEvent_;
  const DWORD now = GetTickCount();
  const bool justReleased = now - lastTrayEventTick_ <= GetDoubleClickTime();
  if (mouseMessage != WM_MOUSEMOVE) {
    lastTrayEvent_ = mouseMessage;
    lastTrayEventTick_ = now;
  }
  switch (mouseMessage) {
    case NIN_BALLOONUSERCLICK:  // a failure notice: its run is in the history
      PostMessageW(form_, WM_COMMAND, kCmdPopupMenuTrayVerlauf, 0);
      break;
    case WM_LBUTTONDOWN:
      trayLeftDown_ = true;
      break;
    case WM_LBUTTONUP:
      // A click: pressed and released on the icon.
      if (trayLeftDown_) {
        trayLeftDown_ = false;
        CoolTrayIconClick();
      }
      break;
    case NIN_SELECT:  // version 4 only
      if (!(previous == WM_LBUTTONUP && justReleased)) CoolTrayIconClick();
      break;
    case NIN_KEYSELECT:  // Enter or Space on the icon, chosen with the keyboard
      CoolTrayIconClick();
      break;
    case WM_RBUTTONDOWN: {
      trayLeftDown_ = false;
      Win32MessagePump().PumpOnce();
      POINT at{};
      GetCursorPos(&at);
      // The menu closes properly only when our window is in the foreground, and after an
      // empty message once it has.
      SetForegroundWindow(form_);
      TrackPopupMenu(popupMenuTray_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, form_,
                     nullptr);
      PostMessageW(form_, WM_NULL, 0, 0);
      break;
    }
    case WM_CONTEXTMENU:  // version 4 only: after a right click, or Shift+F10 or the menu key
      if (!(previous == WM_RBUTTONUP && justReleased)) TrayMenuFromKeyboard(anchor);
      break;
  }
}

void MainChrome::TrayMenuFromKeyboard(POINT anchor) {
  trayLeftDown_ = false;
  SetForegroundWindow(form_);
  ShowKeyboardCues();
  // Opened by a key: the first item is selected, as in the menu bar, and the access keys show.
  PostMessageW(form_, WM_KEYDOWN, VK_DOWN, 0);
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(popupMenuTray_, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, anchor.x,
                     anchor.y, 0, form_, nullptr));
  PostMessageW(form_, WM_NULL, 0, 0);
  if (command) {
    PostMessageW(form_, WM_COMMAND, command, 0);
    return;
  }
  // Left with Escape: the keyboard goes back to the notification area.
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = form_;
  data.uID = kTrayIconId;
  Shell_NotifyIconW(NIM_SETFOCUS, &data);
}

void MainChrome::CoolTrayIconClick() { ShowMainWindow(); }

void MainChrome::PopupMenuTrayAnzeigenClick() { ShowMainWindow(); }

void MainChrome::PopupMenuTrayMinimierenClick() { Minimize(); }

void MainChrome::PopupMenuTrayInfoClick() {
  if (formInfo_) formInfo_->Show(form_, dpi_);  // at the main window's scale, on its monitor
}

}  // namespace orv
