#include "ui/UnitMain.h"

#include <commctrl.h>

#include "ui/prompter_win32.h"
#include "ui/win32_text.h"

namespace orv {

void PumpPendingMessages() { Win32MessagePump().PumpOnce(); }

TFormMain::TFormMain(RegistryBackend& registry, Clock& clock, Locale& locale,
                     const Services& services, Prompter* prompter)
    : engine_(registry, clock, locale, messages_) {
  Services all = services;
  all.pump = &pump_;
  all.timer = &timerJobs_;
  all.prompter = prompter;
  engine_.SetServices(all);
  engine_.SetReporter([this](const std::string& text) { ShowWarning(text); });
}

void TFormMain::JobTimerWin32::SetEnabled(bool on) {
  if (!form_.hwnd_) return;
  if (on)
    SetTimer(form_.hwnd_, kTimerJobs, kTimerJobsInterval, nullptr);  // the period starts anew
  else
    KillTimer(form_.hwnd_, kTimerJobs);
  on_ = on;
}

void TFormMain::PumpWin32::PumpOnce() {
  form_.RefreshList();
  PumpPendingMessages();
}

void TFormMain::TimerJobsTimer() {
  engine_.TimerJobsTimer();
  RefreshList();
}

void TFormMain::ShowWarning(const std::string& text) {
  MessageBoxW(hwnd_, W(text).c_str(), L"Orvalis", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

TFormMain::~TFormMain() {
  if (font_) DeleteObject(font_);
}

bool TFormMain::Create(HINSTANCE instance, int showCommand) {
  instance_ = instance;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &TFormMain::WndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  if (!RegisterClassExW(&wc)) return false;

  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  hwnd_ = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle,
                          WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                          x, y, kWidth, kHeight, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK TFormMain::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TFormMain* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TFormMain*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<TFormMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->HandleMessage(msg, wp, lp);
}

LRESULT TFormMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_TIMER:
      if (wp == kTimerJobs) {
        TimerJobsTimer();
        return 0;
      }
      break;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      if (header->idFrom == kIdListViewTasks) return ListViewTasksNotify(header);
      break;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void TFormMain::FormCreate() {
  messages_.Fill();
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
    font_ = CreateFontIndirectW(&ncm.lfMessageFont);
  CreateListViewTasks();
  engine_.GetTasks();
  RefreshList();
  timerJobs_.SetEnabled(true);
}

void TFormMain::CreateListViewTasks() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int margin = 12;
  listViewTasks_ = CreateWindowExW(
      0, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
      margin, margin, client.right - 2 * margin, client.bottom - 2 * margin, hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdListViewTasks)), instance_, nullptr);
  if (font_) SendMessageW(listViewTasks_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ListView_SetExtendedListViewStyle(listViewTasks_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  int index = 0;
  for (const ColumnSpec& spec : kTaskColumns) {
    std::wstring heading = W(spec.heading);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = heading.data();
    col.cx = spec.width;
    col.iSubItem = index;
    SendMessageW(listViewTasks_, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
    ++index;
  }
  RefreshList();
}

void TFormMain::RefreshList() {
  if (!listViewTasks_) return;
  const auto count = static_cast<WPARAM>(engine_.Tasks().Size());
  if (SendMessageW(listViewTasks_, LVM_GETITEMCOUNT, 0, 0) != static_cast<LRESULT>(count))
    SendMessageW(listViewTasks_, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  InvalidateRect(listViewTasks_, nullptr, FALSE);
}

LRESULT TFormMain::ListViewTasksNotify(NMHDR* header) {
  TaskList& tasks = engine_.Tasks();
  // The list view keeps the selection of a virtual list itself; the model follows it so that
  // "Starten" and the editor see the same rows selected.
  if (header->code == LVN_ITEMCHANGED) {
    const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if (change->uChanged & LVIF_STATE) {
      const bool selected = change->uNewState & LVIS_SELECTED;
      if (change->iItem == -1) {
        for (std::size_t i = 0; i < tasks.Size(); ++i) tasks.Row(i).selected = selected;
      } else if (static_cast<std::size_t>(change->iItem) < tasks.Size()) {
        tasks.Row(static_cast<std::size_t>(change->iItem)).selected = selected;
      }
    }
    return 0;
  }
  if (header->code == LVN_ODSTATECHANGED) {
    const auto* change = reinterpret_cast<NMLVODSTATECHANGE*>(header);
    const bool selected = change->uNewState & LVIS_SELECTED;
    for (int i = change->iFrom; i <= change->iTo; ++i)
      if (i >= 0 && static_cast<std::size_t>(i) < tasks.Size())
        tasks.Row(static_cast<std::size_t>(i)).selected = selected;
    return 0;
  }
  if (header->code == LVN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
    LVITEMW& item = info->item;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= engine_.Tasks().Size()) return 0;
    const TaskRow& row = engine_.Tasks().Row(static_cast<std::size_t>(item.iItem));
    if (item.mask & LVIF_TEXT) {
      const std::string& text = item.iSubItem == 0 ? row.name
                                : item.iSubItem == 1 ? row.next
                                                     : row.kind;
      dispText_ = W(text);
      item.pszText = dispText_.data();
    }
    if (item.mask & LVIF_STATE) {
      item.stateMask = LVIS_SELECTED;
      item.state = row.selected ? LVIS_SELECTED : 0;
    }
  }
  return 0;
}

}  // namespace orv
