#include "ui/HistoryWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <set>

#include "base/text.h"
#include "ui/prompter_win32.h"
#include "ui/win32_text.h"

namespace orv {

namespace {

constexpr int kBandHeight = 40;
constexpr RECT kTitleRect{16, 10, 400, 30};
constexpr RECT kFilterLabelRect{16, 56, 56, 74};
constexpr RECT kFilterRect{60, 52, 320, 252};
constexpr RECT kListRect{16, 84, 584, 364};
constexpr RECT kClearRect{16, 376, 126, 404};
constexpr RECT kCloseRect{474, 376, 584, 404};
struct Column {
  const wchar_t* heading;
  int width;  // at 96 dpi
};
constexpr Column kColumns[] = {
    {L"Zeit", 124}, {L"Task", 120}, {L"Auslöser", 78}, {L"Ergebnis", 240}};
constexpr wchar_t kAllTasks[] = L"(alle Tasks)";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshDelay = 500;

}  // namespace

HistoryWindow::~HistoryWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool HistoryWindow::Create(HINSTANCE instance) {
  if (hwnd_) return true;
  instance_ = instance;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = kHistoryWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  // A window of its own: the main window may be hidden in the notification area meanwhile.
  CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kHistoryWindowClass,
                  L"Verlauf – Orvalis", WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, kWidth,
                  kHeight, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  layout_.Capture(hwnd_, win::Dpi(skin_.Dpi()));
  // The drop-down list's dropped height, which not every system reports back.
  layout_.SetDesignHeight(filter_, kFilterRect.bottom - kFilterRect.top);
  icons_.Apply(hwnd_, instance, MAKEINTRESOURCEW(1), win::Dpi(skin_.Dpi()));
  MarkKeyboardDialog(hwnd_);  // Tab, Shift+Tab, Escape
  return true;
}

void HistoryWindow::FormCreate() {
  skin_.SetDpi(win::Dpi::OfWindow(hwnd_).Value());
  SetWindowPos(hwnd_, nullptr, 0, 0, Scale(kWidth), Scale(kHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  skin_.ShapeWindow(hwnd_);
  const skin::Skin& s = skin_;
  s.CreateLabel(hwnd_, kIdHistoryTitle, L"Verlauf", Scale(kTitleRect), skin::LabelKind::kBandTitle);
  s.CreateLabel(hwnd_, kIdHistoryFilterLabel, L"Task:", Scale(kFilterLabelRect),
                skin::LabelKind::kText);
  // The tab order follows the order of creation: filter, list, "Leeren", "Schließen".
  const RECT f = Scale(kFilterRect);
  filter_ = CreateWindowExW(0, WC_COMBOBOXW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                            f.left, f.top, f.right - f.left, f.bottom - f.top, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdHistoryFilter)),
                            instance_, nullptr);
  const RECT l = Scale(kListRect);
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"Verlauf",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS,
                          l.left, l.top, l.right - l.left, l.bottom - l.top, hwnd_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdHistoryList)),
                          instance_, nullptr);
  for (HWND control : {filter_, list_})
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s.Font()), FALSE);
  ListView_SetExtendedListViewStyle(
      list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
  int index = 0;
  for (const Column& c : kColumns) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(c.heading);
    col.cx = Scale(c.width);
    col.iSubItem = index;
    SendMessageW(list_, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&col));
  }
  SetListColours();
  s.CreateButton(hwnd_, kIdHistoryClear, L"&Leeren", Scale(kClearRect),
                 skin::ButtonKind::kSecondary);
  s.CreateButton(hwnd_, kIdHistoryClose, L"&Schließen", Scale(kCloseRect),
                 skin::ButtonKind::kPrimary);
}

LRESULT HistoryWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const win::PaintDc dc(hwnd_);
      if (dc) skin_.PaintWindow(hwnd_, dc.Get(), Scale(kBandHeight), L'\0');
      return 0;
    }
    case WM_DRAWITEM:
      if (skin_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkColor(dc, skin::Colours().window);
      SetTextColor(dc, skin::Colours().text);
      SetDCBrushColor(dc, skin::Colours().window);
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    case WM_NCHITTEST: {
      // The title band moves the window, as a caption would.
      const LRESULT hit = DefWindowProcW(hwnd_, msg, wp, lp);
      if (hit != HTCLIENT) return hit;
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ScreenToClient(hwnd_, &pt);
      return pt.y < Scale(kBandHeight) ? HTCAPTION : HTCLIENT;
    }
    case WM_NCLBUTTONDBLCLK:
      return 0;
    case WM_DPICHANGED:  // moved to a monitor of another scale, or the scale changed
      ApplyDpi(win::Dpi(LOWORD(wp)), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_SYSCOLORCHANGE:
      // The list is a common control: it learns the new system colours from its parent.
      if (list_) SendMessageW(list_, WM_SYSCOLORCHANGE, 0, 0);
      ColoursChanged();
      break;
    case WM_SETTINGCHANGE:
      if (wp == SPI_SETHIGHCONTRAST) ColoursChanged();
      break;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kIdHistoryFilter:
          if (HIWORD(wp) == CBN_SELCHANGE) {
            const LRESULT at = SendMessageW(filter_, CB_GETCURSEL, 0, 0);
            chosenTask_.clear();
            if (at > 0) {
              const auto length = SendMessageW(filter_, CB_GETLBTEXTLEN, at, 0);
              if (length > 0) {
                std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
                SendMessageW(filter_, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(text.data()));
                text.resize(static_cast<std::size_t>(length));
                chosenTask_ = U8(text);
              }
            }
            FillList();
          }
          return 0;
        case kIdHistoryClear:
          if (HIWORD(wp) == BN_CLICKED) ClearClick();
          return 0;
        case kIdHistoryClose:
        case IDCANCEL:  // Escape
          if (HIWORD(wp) == BN_CLICKED) Hide();
          return 0;
      }
      break;
    case WM_CLOSE:
      Hide();
      return 0;
    case WM_TIMER:
      if (wp == kRefreshTimer) {
        KillTimer(hwnd_, kRefreshTimer);
        refreshPending_ = false;
        if (IsWindowVisible(hwnd_)) {
          FillFilter();
          FillList();
        }
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void HistoryWindow::ApplyDpi(win::Dpi dpi, const RECT* suggested) {
  const int old = skin_.Dpi();
  skin::ApplyWindowDpi(hwnd_, skin_, layout_, dpi, SIZE{kWidth, kHeight}, suggested);
  // The columns keep their widths, as the user may have set them, at the new scale.
  if (HWND header = ListView_GetHeader(list_)) {
    const int count = Header_GetItemCount(header);
    for (int i = 0; i < count; ++i)
      ListView_SetColumnWidth(list_, i, MulDiv(ListView_GetColumnWidth(list_, i), dpi.Value(), old));
  }
  icons_.Apply(hwnd_, instance_, MAKEINTRESOURCEW(1), dpi);
}

void HistoryWindow::SetListColours() {
  // The system's window colours, which high contrast sets too, given anew: the list keeps the
  // background it was made with (under Wine the room below the rows stays white in high
  // contrast black).
  ListView_SetBkColor(list_, GetSysColor(COLOR_WINDOW));
  ListView_SetTextBkColor(list_, GetSysColor(COLOR_WINDOW));
  ListView_SetTextColor(list_, GetSysColor(COLOR_WINDOWTEXT));
  skin::ColourHeadings(list_);
}

void HistoryWindow::ColoursChanged() {
  // This window may hear of the change before the main window: the skin's colours are read
  // here too.
  skin::RefreshColours();
  if (list_) SetListColours();
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void HistoryWindow::FillFilter() {
  // One entry per task, names compared as the registry compares them (without regard to letter
  // case), spelt as in its newest run.
  struct Less {
    bool operator()(const std::string& a, const std::string& b) const { return NameLess(a, b); }
  };
  std::set<std::string, Less> names;
  const auto& entries = engine_.History().Entries();
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) names.insert(it->task);
  SendMessageW(filter_, CB_RESETCONTENT, 0, 0);
  SendMessageW(filter_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kAllTasks));
  int chosen = 0, at = 1;
  for (const std::string& name : names) {
    SendMessageW(filter_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(name).c_str()));
    if (!chosenTask_.empty() && NamesEqual(name, chosenTask_)) chosen = at;
    ++at;
  }
  if (chosen == 0) chosenTask_.clear();  // the task has no runs left
  SendMessageW(filter_, CB_SETCURSEL, chosen, 0);
}

void HistoryWindow::FillList() {
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list_);
  const auto& entries = engine_.History().Entries();
  int row = 0;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {  // newest first
    const std::wstring task = W(it->task);
    if (!chosenTask_.empty() && !NamesEqual(it->task, chosenTask_)) continue;
    const std::wstring cells[] = {W(RunTimeText(it->when)), task, W(RunTriggerText(it->trigger)),
                                  W(RunOutcomeText(*it))};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(cells[0].c_str());
    ListView_InsertItem(list_, &item);
    for (int sub = 1; sub < 4; ++sub)
      ListView_SetItemText(list_, row, sub, const_cast<wchar_t*>(cells[sub].c_str()));
    ++row;
  }
  if (row > 0) ListView_SetItemState(list_, 0, LVIS_FOCUSED, LVIS_FOCUSED);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  EnableWindow(GetDlgItem(hwnd_, kIdHistoryClear), !entries.empty());
}

void HistoryWindow::Show() {
  if (!hwnd_) return;
  FillFilter();
  FillList();
  if (!IsWindowVisible(hwnd_)) {
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT own;
    GetWindowRect(hwnd_, &own);
    const int w = own.right - own.left, h = own.bottom - own.top;
    SetWindowPos(hwnd_, HWND_TOP, work.left + std::max(0L, (work.right - work.left - w) / 2),
                 work.top + std::max(0L, (work.bottom - work.top - h) / 2), 0, 0,
                 SWP_NOSIZE | SWP_SHOWWINDOW);
    SetFocus(list_);
  }
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
}

void HistoryWindow::Refresh() {
  if (!hwnd_ || !IsWindowVisible(hwnd_)) return;
  if (!refreshPending_) refreshPending_ = SetTimer(hwnd_, kRefreshTimer, kRefreshDelay, nullptr);
}

void HistoryWindow::ClearClick() {
  if (MessageBoxW(hwnd_, L"Den ganzen Verlauf löschen?", L"Orvalis",
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  engine_.History().Clear();
  chosenTask_.clear();
  FillFilter();
  FillList();
  SetFocus(GetDlgItem(hwnd_, kIdHistoryClose));
}

void HistoryWindow::Hide() {
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

}  // namespace orv
