// The tray icon: shown, removed, and its clicks and menu.
#include "ui/chrome.h"

#include <shellapi.h>

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
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = smallIcon_;
  wcsncpy(data.szTip, kTrayHint, std::size(data.szTip) - 1);
  // After a restart of the shell the icon is gone; should it still be there, update it.
  trayShown_ = Shell_NotifyIconW(NIM_ADD, &data) || Shell_NotifyIconW(NIM_MODIFY, &data);
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

void MainChrome::CoolTrayIconMouseDown(UINT mouseMessage) {
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
  }
}

void MainChrome::CoolTrayIconClick() { ShowMainWindow(); }

void MainChrome::PopupMenuTrayAnzeigenClick() { ShowMainWindow(); }

void MainChrome::PopupMenuTrayMinimierenClick() { Minimize(); }

void MainChrome::PopupMenuTrayInfoClick() {
  if (formInfo_) formInfo_->Show(form_, dpi_);  // at the main window's scale, on its monitor
}

}  // namespace orv
