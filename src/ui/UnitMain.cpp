#include "ui/UnitMain.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>

#include <algorithm>
#include <unordered_map>

#include "net/http.h"
#include "store/run_history.h"
#include "base/text.h"
#include "store/task_record.h"
#include "engine/task_store.h"
#include "ui/clocktext.h"
#include "ui/prompter_win32.h"
#include "ui/TransferDialog.h"
#include "ui/win32_text.h"

namespace orv {

void PumpPendingMessages() { Win32MessagePump().PumpOnce(); }

TFormMain::TFormMain(RegistryBackend& registry, Clock& clock, Locale& locale,
                     const Services& services, Prompter* prompter, skin::Skin& skin)
    : engine_(registry, clock, locale, messages_), skin_(skin), files_(services.files) {
  Services all = services;
  all.pump = &pump_;
  all.timer = &timerJobs_;
  all.prompter = prompter;
  engine_.SetServices(all);
  engine_.SetReporter([this](const std::string& text) { ShowWarning(text); });
  engine_.SetRunObserver([this](const RunEntry& entry) { RunRecorded(entry); });
}

void TFormMain::RunRecorded(const RunEntry& entry) {
  if (entry.outcome == RunOutcome::kFailed && reportFailures_)
    chrome_.ShowBalloon(L"Orvalis: Task fehlgeschlagen",
                        W("Task '" + entry.task + "': " + entry.reason));
  if (history_) history_->Refresh();
  marksDirty_ = true;
  if (listViewTasks_) InvalidateRect(listViewTasks_, nullptr, FALSE);
}

bool TFormMain::LastRunFailed(std::size_t row) const {
  return row < markFailed_.size() && markFailed_[row];
}

void TFormMain::UpdateRowMarks() {
  const TaskList& tasks = engine_.Tasks();
  bool same = !marksDirty_ && markRows_.size() == tasks.Size();
  for (std::size_t i = 0; same && i < tasks.Size(); ++i) same = markRows_[i] == tasks.Row(i).name;
  if (same) return;
  marksDirty_ = false;
  // The last outcome of each task, the newest run counting.
  std::unordered_map<std::u16string, bool> failed;
  for (const RunEntry& e : engine_.History().Entries())
    failed[FoldCase(e.task)] = e.outcome == RunOutcome::kFailed;
  std::vector<bool> marks(tasks.Size(), false);
  std::vector<std::string> names(tasks.Size());
  for (std::size_t i = 0; i < tasks.Size(); ++i) {
    names[i] = tasks.Row(i).name;
    const auto it = failed.find(FoldCase(names[i]));
    marks[i] = it != failed.end() && it->second;
  }
  if (!accProps_)
    CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                     IID_IAccPropServices, reinterpret_cast<void**>(&accProps_));
  if (accProps_ && listViewTasks_) {
    const std::size_t rows = std::max(marks.size(), markFailed_.size());
    for (std::size_t i = 0; i < rows; ++i) {
      const bool was = i < markFailed_.size() && markFailed_[i];
      const bool is = i < marks.size() && marks[i];
      const bool renamed = i < markRows_.size() && i < names.size() && markRows_[i] != names[i];
      const DWORD child = static_cast<DWORD>(i + 1);
      MSAAPROPID name = PROPID_ACC_NAME;
      if (is && (!was || renamed)) {
        const std::wstring text = W(names[i]) + L" (letzter Lauf fehlgeschlagen)";
        accProps_->SetHwndPropStr(listViewTasks_, static_cast<DWORD>(OBJID_CLIENT), child, name,
                                  text.c_str());
      } else if (!is && was) {
        accProps_->ClearHwndProps(listViewTasks_, static_cast<DWORD>(OBJID_CLIENT), child,
                                  &name, 1);
      }
    }
  }
  markRows_ = std::move(names);
  markFailed_ = std::move(marks);
}

std::wstring TFormMain::RowTipText(std::size_t index) {
  const TaskRow& row = engine_.Tasks().Row(index);
  std::string text = "Zuletzt: ";
  if (const auto last = engine_.History().LastOf(row.name))
    text += RunTimeText(last->when) + " – " + RunOutcomeText(*last);
  else
    text += "noch nicht gestartet";
  // The next start at the fixed time, as the scheduler finds it; else what the row shows.
  double next = 0.0;
  if (!row.unreadable) {
    try {
      next = engine_.GetTaskDate(row.name);
    } catch (const std::exception&) {
      next = 0.0;
    }
  }
  text += " · Nächster Start: " + (next > 0.0 ? RunTimeText(next) : row.next);
  return W(text);
}

void TFormMain::CreateRowTip() {
  rowTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                            instance_, nullptr);
  if (!rowTip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(listViewTasks_);
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(rowTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(rowTip_, TTM_SETMAXTIPWIDTH, 0, 600);
}

void TFormMain::ShowRowTip() {
  if (!rowTip_) return;
  const int focused = ListView_GetNextItem(listViewTasks_, -1, LVNI_FOCUSED | LVNI_SELECTED);
  if (focused < 0 || static_cast<std::size_t>(focused) >= engine_.Tasks().Size()) {
    HideRowTip();
    return;
  }
  rowTipText_ = RowTipText(static_cast<std::size_t>(focused));
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(listViewTasks_);
  tool.lpszText = rowTipText_.data();
  SendMessageW(rowTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  RECT r{};
  ListView_GetItemRect(listViewTasks_, focused, &r, LVIR_BOUNDS);
  POINT at{r.left + 16, r.bottom + 2};
  ClientToScreen(listViewTasks_, &at);
  SendMessageW(rowTip_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(rowTip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  SetTimer(hwnd_, kTimerRowTip, 8000, nullptr);
}

void TFormMain::HideRowTip() {
  KillTimer(hwnd_, kTimerRowTip);
  if (!rowTip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(listViewTasks_);
  SendMessageW(rowTip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void TFormMain::PopupMenuOptionenFehlerMeldenClick() {
  reportFailures_ = !reportFailures_;
  chrome_.SetReportFailuresCheck(reportFailures_);
  try {
    RegistryAccessor reg(engine_.Registry());
    if (reg.OpenKey(rec::kSettingsKey, true)) reg.WriteBool(rec::kReportFailures, reportFailures_);
  } catch (const std::exception& e) {
    ShowWarning(e.what());
  }
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

void TFormMain::TimerTimeTimer() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  SetWindowTextW(labelDate_, ClockDateText(st, messages_[kMsgDateFormat]).c_str());
  SetWindowTextW(labelTime_, ClockTimeText(st, messages_[kMsgTimeFormat]).c_str());
  // A warned system action counts down with the clock.
  engine_.CountdownTick();
}

void TFormMain::CountdownDecide(CountdownDecision decision) {
  engine_.CountdownDecide(decision);
}

void TFormMain::FlatButtonDeleteClick() {
  const int removed = DeleteSelectedTasks(engine_, [this] {
    return MessageBoxW(hwnd_, W(messages_[kMsgDeleteQuestion]).c_str(), L"Orvalis",
                       MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDYES;
  });
  if (removed > 0) {
    // The list view keeps a virtual list's selection by position: start afresh.
    ListView_SetItemState(listViewTasks_, -1, 0, LVIS_SELECTED);
    RefreshList();
  }
}

void TFormMain::ShowListPage(bool show) {
  const int ids[] = {kIdListViewTasks, kIdFlatButtonAdd, kIdFlatButtonEdit, kIdFlatButtonDelete,
                     kIdFlatButtonExecute, kIdLabelDate, kIdLabelTime};
  for (int id : ids) ShowWindow(GetDlgItem(hwnd_, id), show ? SW_SHOW : SW_HIDE);
  // The label shows whether an idle period lasts; the engine keeps that state meanwhile.
  ShowWindow(labelIdle_, show && engine_.IdleLabelVisible() ? SW_SHOW : SW_HIDE);
}

void TFormMain::CreateIdleDetector() {
  dsrSleeperIdle_ = std::make_unique<dsrSleeper>(
      instance_, [this](const std::string& text) { ShowWarning(text); });
  TdsrSleeper& idle = **dsrSleeperIdle_;
  try {
    idle.SetActive(true);
  } catch (const std::exception& e) {
    // Without the hooks the scheduler still does everything else; idle tasks wait.
    ShowWarning(std::string("Die Leerlauf-Erkennung ist nicht verfügbar (") + e.what() +
                "). Tasks, die bei Leerlauf starten, werden nicht ausgeführt.");
  }
  idle.SetInterval(kIdleInterval);
  idle.SetOnAwake([this](TdsrSleeper&) { dsrSleeperIdleAwake(); });
  idle.SetOnSleep([this](TdsrSleeper&) { dsrSleeperIdleSleep(); });
}

void TFormMain::dsrSleeperIdleSleep() {
  engine_.SetIdleLabelVisible(true);
  if (IsWindowVisible(listViewTasks_)) ShowWindow(labelIdle_, SW_SHOW);
}

void TFormMain::dsrSleeperIdleAwake() {
  engine_.SetIdleLabelVisible(false);
  ShowWindow(labelIdle_, SW_HIDE);
  engine_.ResetIdleRows();
  RefreshList();
}

void TFormMain::FlatButtonAddClick() {
  if (!editor_ || editor_->IsOpen()) return;
  ShowListPage(false);
  editor_->Open(std::string());
  engine_.SuspendTicks(true);
}

void TFormMain::FlatButtonEditClick() {
  if (!editor_ || editor_->IsOpen()) return;
  const TaskList& tasks = engine_.Tasks();
  std::string name;
  bool any = false;
  for (const TaskRow& row : tasks.Rows()) {
    if (row.selected) {
      name = row.name;
      any = true;
      break;
    }
  }
  if (!any) return;
  // A task that cannot be run opens all the same, with the editor's defaults in place of what
  // cannot be read, so that it can be saved sound; only a key gone meanwhile cannot be opened.
  const TaskLoad load = editor_->Load(name);
  if (!load.keyFound) {
    ShowWarning(messages_[kMsgLoadFailed]);
    return;
  }
  engine_.SuspendTicks(true);
  ShowListPage(false);
  editor_->Open(name);
  if (!load.unreadable.empty()) {
    std::string text =
        "Einige Einstellungen des Tasks konnten nicht gelesen werden; der Editor zeigt an ihrer "
        "Stelle die Vorgaben:";
    for (const std::string& value : load.unreadable) text += "\n" + value;
    ShowWarning(text);
  }
}

void TFormMain::TaskEditorClosed(bool saved, const std::string& name) {
  engine_.SuspendTicks(false);
  ShowListPage(true);
  if (!saved) {
    SetFocus(listViewTasks_);  // the focus leaves the hidden editor for the list
    return;
  }
  RefreshList();
  // The list view keeps a virtual list's selection by position: start afresh, then select the
  // saved task's row.
  ListView_SetItemState(listViewTasks_, -1, 0, LVIS_SELECTED);
  if (const auto index = engine_.Tasks().Find(name)) {
    const int row = static_cast<int>(*index);
    ListView_SetItemState(listViewTasks_, row, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(listViewTasks_, row, FALSE);
  }
  SetFocus(listViewTasks_);
}

void TFormMain::FlatButtonExecuteClick() {
  engine_.FlatButtonExecuteClick();
  RefreshList();
}

void TFormMain::SetStartOptionChecks(bool showWindow) {
  showWindowChecked_ = showWindow;
  chrome_.SetStartOptionChecks(showWindow);
}

void TFormMain::PopupMenuOptionenFensterAnzeigenClick() {
  SetStartOptionChecks(true);
  RegistryAccessor reg(engine_.Registry());
  if (reg.OpenKey(rec::kSettingsKey, true)) reg.WriteBool(rec::kMinimized, false);
}

void TFormMain::PopupMenuOptionenMinimiertStartenClick() {
  SetStartOptionChecks(false);
  RegistryAccessor reg(engine_.Registry());
  if (reg.OpenKey(rec::kSettingsKey, true)) reg.WriteBool(rec::kMinimized, true);
}

void TFormMain::PopupMenuTrayBeendenClick() {
  // Ends at once, without a question; the windows are destroyed on the way out. A fetch that
  // waits is cancelled, and no other starts, so that nothing holds the process up.
  engine_.Stop();
  CancelAllFetches();
  allowClose_ = true;
  DestroyWindow(hwnd_);
}

void TFormMain::PopupMenuProgrammTransferClick(bool import) {
  if (editor_ && editor_->IsOpen()) return;  // the editor holds the ticks; it is finished first
  if (!import) {
    RunTaskExport(instance_, hwnd_, engine_, skin_);
    return;
  }
  if (!files_) return;  // the program always has them
  RunTaskImport(instance_, hwnd_, engine_, *files_, skin_);
  // The list view keeps a virtual list's selection by position: start afresh.
  ListView_SetItemState(listViewTasks_, -1, 0, LVIS_SELECTED);
  RefreshList();
}

void TFormMain::ApplyStartOption() {
  try {
    RegistryAccessor reg(engine_.Registry());
    if (reg.OpenKey(rec::kSettingsKey, true)) {
      if (const auto minimized = reg.ReadBoolIfPresent(rec::kMinimized)) {
        reg.CloseKey();
        if (*minimized)
          PopupMenuOptionenMinimiertStartenClick();
        else
          PopupMenuOptionenFensterAnzeigenClick();
      }
    }
  } catch (const std::exception& e) {
    ShowWarning(e.what());
  }
  // Whatever happened above, the check mark decides.
  if (showWindowChecked_) {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
  }
}

bool TFormMain::FormCloseQuery() {
  if (allowClose_) return true;
  SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);  // to the tray instead of closing
  return false;
}

void TFormMain::FormQueryEndSession() {
  // The shutdown tasks run first; the answer is always yes, whatever they did, and from now on
  // the window closes when asked.
  engine_.QueryEndSession();
  RefreshList();
  allowClose_ = true;
}

void TFormMain::TimerJobsTimer() {
  // An idle period whose wake-up message was lost ends here, before idle tasks count down.
  if (dsrSleeperIdle_) {
    try {
      (*dsrSleeperIdle_)->CheckAwake();
    } catch (const std::exception& e) {
      ShowWarning(e.what());
    }
    if (!IsWindow(hwnd_)) return;  // a warning's message loop ended the program meanwhile
  }
  engine_.TimerJobsTimer();
  RefreshList();
  if (tickSoonPending_ && !engine_.TickRunning()) TickSoon();
}

void TFormMain::TickSoon() {
  tickSoonPending_ = engine_.TickRunning();
  // The job timer is off while the editor is open (and during a tick): then nothing changes.
  if (!tickSoonPending_ && timerJobs_.Enabled())
    SetTimer(hwnd_, kTimerJobs, kTimerJobsSoon, nullptr);
}

void TFormMain::ShowWarning(const std::string& text) { win::ReportError(hwnd_, text); }

TFormMain::~TFormMain() {
  // The class brush goes with its class; while a window of the class is left, the class stays
  // and keeps its brush.
  if (classRegistered_ && !UnregisterClassW(kMainWindowClass, instance_)) background_.Release();
}

bool TFormMain::Create(HINSTANCE instance) {
  instance_ = instance;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = instance;
  // The class's icons are those of the system's dpi; the window gets its own at its dpi
  // (ApplyDpi).
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  const int smallIcon = win::SystemMetric(SM_CXSMICON, win::Dpi::OfSystem());
  wc.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, smallIcon, smallIcon, 0));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  background_.Reset(CreateSolidBrush(skin::kPalette.window));
  wc.hbrBackground = background_.Get();
  wc.lpszClassName = kMainWindowClass;
  if (!RegisterClassExW(&wc)) return false;
  classRegistered_ = true;

  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  // No border and no caption: the chrome draws the window's own.
  hwnd_ = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle,
                          WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, x, y, kWidth,
                          kHeight, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  if (secondInstance_) {
    PostQuitMessage(0);  // nothing is shown; the process ends with the message loop
    return true;
  }
  // Tab, Enter, Escape, the arrows in groups and the access keys, through the dialog manager.
  MarkKeyboardDialog(hwnd_);
  ApplyStartOption();
  return true;
}

LRESULT TFormMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT result; chrome_.HandleMessage(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_TIMER:
      if (wp == kTimerJobs) {
        TimerJobsTimer();
        return 0;
      }
      if (wp == kTimerTime) {
        TimerTimeTimer();
        return 0;
      }
      if (wp == kTimerRowTip) {
        HideRowTip();
        return 0;
      }
      break;
    case WM_POWERBROADCAST:
      if (wp == PBT_APMRESUMEAUTOMATIC || wp == PBT_APMRESUMESUSPEND) TickSoon();
      return TRUE;
    case WM_TIMECHANGE:  // the date, the time or the time zone was changed
      TickSoon();
      return 0;
    case WM_CLOSE:
      if (FormCloseQuery()) DestroyWindow(hwnd_);
      return 0;
    case WM_DPICHANGED:  // moved to a monitor of another scale, or the scale changed
      ApplyDpi(win::Dpi(LOWORD(wp)), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_SYSCOLORCHANGE:
      ColoursChanged();
      break;
    case WM_SETTINGCHANGE:
      if (wp == SPI_SETHIGHCONTRAST) ColoursChanged();
      break;
    case WM_QUERYENDSESSION:
      FormQueryEndSession();
      return TRUE;
    case WM_ENDSESSION:
      // The session ends now: leave cleanly while there is time.
      if (wp) {
        engine_.Stop();
        CancelAllFetches();
        allowClose_ = true;
        DestroyWindow(hwnd_);
      }
      return 0;
    case kMsgPreviewKey: {
      const MSG& key = *reinterpret_cast<const MSG*>(lp);
      // Enter in the list: "Bearbeiten" for the selected task (the dialog manager would ask
      // for the default button of whatever has the focus).
      if (key.message == WM_KEYDOWN && key.wParam == VK_RETURN && key.hwnd == listViewTasks_) {
        FlatButtonEditClick();
        return 1;
      }
      return chrome_.PreviewKey(key) ? 1 : 0;
    }
    case DM_GETDEFID:
      return DefaultButton();
    case WM_NEXTDLGCTL:
      NextControl(wp, lp);
      return 0;
    case WM_ACTIVATE:
      Activated(wp);
      return 0;
    case WM_SETFOCUS:  // the bare window passes the focus on to its control
      RestoreFocus();
      return 0;
    case WM_COMMAND:
      if ((LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) && HIWORD(wp) == 0) {
        KeyboardCommand(LOWORD(wp));
        return 0;
      }
      // A control of the editor pressed by Enter: the dialog manager tells this window.
      if (lp && GetParent(reinterpret_cast<HWND>(lp)) != hwnd_ && editor_ &&
          IsChild(editor_->Handle(), reinterpret_cast<HWND>(lp))) {
        SendMessageW(GetParent(reinterpret_cast<HWND>(lp)), WM_COMMAND, wp, lp);
        return 0;
      }
      switch (LOWORD(wp)) {  // the menus' items that belong to the form
        case kCmdPopupMenuOptionenFensterAnzeigen:
          PopupMenuOptionenFensterAnzeigenClick();
          return 0;
        case kCmdPopupMenuOptionenMinimiertStarten:
          PopupMenuOptionenMinimiertStartenClick();
          return 0;
        case kCmdPopupMenuTrayBeenden:
        case kCmdPopupMenuProgrammBeenden:
          PopupMenuTrayBeendenClick();
          return 0;
        case kCmdPopupMenuTrayVerlauf:
        case kCmdPopupMenuProgrammVerlauf:
          if (history_) history_->Show();
          return 0;
        case kCmdPopupMenuOptionenFehlerMelden:
          PopupMenuOptionenFehlerMeldenClick();
          return 0;
        case kCmdPopupMenuProgrammExportieren:
        case kCmdPopupMenuProgrammImportieren:
          PopupMenuProgrammTransferClick(LOWORD(wp) == kCmdPopupMenuProgrammImportieren);
          return 0;
      }
      if (LOWORD(wp) == kIdFlatButtonExecute && HIWORD(wp) == BN_CLICKED) {
        FlatButtonExecuteClick();
        return 0;
      }
      if (LOWORD(wp) == kIdFlatButtonAdd && HIWORD(wp) == BN_CLICKED) {
        FlatButtonAddClick();
        return 0;
      }
      if (LOWORD(wp) == kIdFlatButtonEdit && HIWORD(wp) == BN_CLICKED) {
        FlatButtonEditClick();
        return 0;
      }
      if (LOWORD(wp) == kIdFlatButtonDelete && HIWORD(wp) == BN_CLICKED) {
        FlatButtonDeleteClick();
        return 0;
      }
      break;
    case WM_DRAWITEM:
      if (skin_.DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkColor(dc, skin::Colours().window);
      SetTextColor(dc, skin::Colours().text);
      return reinterpret_cast<LRESULT>(skin::WindowBrush());
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      if (header->idFrom == kIdListViewTasks) return ListViewTasksNotify(header);
      break;
    }
    case kMsgShowRowTip:
      ShowRowTip();
      return 0;
    case WM_DESTROY:
      HideRowTip();
      if (accProps_) {
        accProps_->Release();
        accProps_ = nullptr;
      }
      if (rowMarks_) {
        ImageList_Destroy(rowMarks_);
        rowMarks_ = nullptr;
      }
      // The hooks go with the window. This may run inside one of the detector's handlers (its
      // warning box pumps messages): the detector then leaves itself alone when it returns.
      dsrSleeperIdle_.reset();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT TFormMain::DefaultButton() const {
  if (editor_ && editor_->IsOpen())
    return MAKELRESULT(editor_->DefaultButton(), DC_HASDEFID);
  // The focused button, else "Bearbeiten" for the selected task.
  HWND focus = GetFocus();
  if (focus && GetParent(focus) == hwnd_ && skin::IsPushButton(focus))
    return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
  return MAKELRESULT(kIdFlatButtonEdit, DC_HASDEFID);
}

void TFormMain::KeyboardCommand(int id) {
  if (id == IDCANCEL) {
    // Escape: "Abbrechen" in the editor; on the list page nothing (closing the window would
    // only send it to the notification area).
    if (editor_ && editor_->IsOpen()) editor_->FlatButtonWizardCancelClick();
    return;
  }
  const LRESULT button = DefaultButton();  // Enter without a default: as DM_GETDEFID says
  HWND target = GetDlgItem(hwnd_, LOWORD(button));
  if (!target && editor_) target = GetDlgItem(editor_->Handle(), LOWORD(button));
  if (target && IsWindowEnabled(target)) SendMessageW(target, BM_CLICK, 0, 0);
}

void TFormMain::NextControl(WPARAM wp, LPARAM lp) {
  HWND target = nullptr;
  if (lp) {
    target = reinterpret_cast<HWND>(wp);
  } else {
    HWND focus = GetFocus();
    target = GetNextDlgTabItem(hwnd_, focus && IsChild(hwnd_, focus) ? focus : nullptr, wp != 0);
  }
  if (!target || !IsChild(hwnd_, target)) return;
  SetFocus(target);
  if (!lp && (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
    SendMessageW(target, EM_SETSEL, 0, -1);
}

void TFormMain::Activated(WPARAM wp) {
  if (LOWORD(wp) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    return;
  }
  if (HIWORD(wp)) return;  // minimised: the focus comes with the restore (WM_SETFOCUS)
  RestoreFocus();
}

void TFormMain::RestoreFocus() {
  // Back where it was: after Alt+Tab, a message box or the notification area.
  HWND target = lastFocus_;
  if (!target || !IsChild(hwnd_, target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
    target = editor_ && editor_->IsOpen() ? GetNextDlgTabItem(editor_->Handle(), nullptr, FALSE)
                                          : listViewTasks_;
  if (target) SetFocus(target);
}

void TFormMain::FormCreate() {
  messages_.Fill();
  // One instance only: the semaphore's name stays taken for as long as this process lives.
  HANDLE instance = CreateSemaphoreW(nullptr, 0, 1, kInstanceSemaphore);
  if (instance && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(instance);
    secondInstance_ = true;
    return;
  }
  // Everything is made at its place in the 96-dpi design, then moved to the window's dpi.
  const win::Dpi dpi = win::Dpi::OfWindow(hwnd_);
  skin_.SetDpi(dpi.Value());
  MakeFonts();
  CreateListViewTasks();
  CreateControls();
  chrome_.Create(instance_, hwnd_);
  CreateRowTip();
  history_ = std::make_unique<HistoryWindow>(engine_);
  history_->Create(instance_);
  try {
    RegistryAccessor reg(engine_.Registry());
    if (reg.OpenKeyReadOnly(rec::kSettingsKey))
      reportFailures_ = reg.ReadBoolIfPresent(rec::kReportFailures).value_or(false);
  } catch (const std::exception&) {
    reportFailures_ = false;  // a value of another kind: the option stays off
  }
  chrome_.SetReportFailuresCheck(reportFailures_);
  layout_.Capture(hwnd_, win::Dpi());
  ApplyDpi(dpi, nullptr);
  // The access keys' underlines and the focus rectangles follow the last input: hidden after
  // the mouse, shown once the keyboard is used.
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
  CreateIdleDetector();
  editor_ = std::make_unique<TaskEditor>(engine_, files_, messages_, skin_);
  editor_->Create(instance_, hwnd_, dpi.Scale(kMainContentRect),
                  [this](bool saved, const std::string& name) { TaskEditorClosed(saved, name); });
  layout_.Capture(hwnd_, dpi);  // the editor's window too
  allowClose_ = false;
  TimerTimeTimer();
  SetTimer(hwnd_, kTimerTime, kTimerTimeInterval, nullptr);
  engine_.GetTasks();
  RefreshList();
  timerJobs_.SetEnabled(true);
}

void TFormMain::CreateControls() {
  // In the skin's content area, below the list; at 96 dpi (FormCreate scales them).
  const int s12 = kListViewRect.left;
  const int buttonY = kListButtonsTop, buttonW = 100, buttonH = 26;
  struct ButtonSpec {
    int id;
    const char* text;
    skin::ButtonKind kind;
  };
  const ButtonSpec buttons[] = {
      {kIdFlatButtonAdd, "Hin&zufügen", skin::ButtonKind::kPrimary},
      {kIdFlatButtonEdit, "&Bearbeiten", skin::ButtonKind::kSecondary},
      {kIdFlatButtonDelete, "&Entfernen", skin::ButtonKind::kSecondary},
      {kIdFlatButtonExecute, "&Starten", skin::ButtonKind::kSecondary},
  };
  int x = s12;
  for (const ButtonSpec& b : buttons) {
    const RECT r{x, buttonY, x + buttonW, buttonY + buttonH};
    skin_.CreateButton(hwnd_, b.id, W(b.text), r, b.kind);
    x += buttonW + 8;
  }
  const int clockY = kClockTop;
  labelDate_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, s12, clockY,
                               300, 16, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLabelDate)),
                               instance_, nullptr);
  labelTime_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, s12,
                               clockY + 17, 300, 16, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLabelTime)),
                               instance_, nullptr);
  labelIdle_ = CreateWindowExW(0, L"STATIC", W(messages_[kMsgKindIdle]).c_str(),
                               WS_CHILD | SS_LEFT, 464, 56, 70, 16, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdLabelIdle)),
                               instance_, nullptr);  // hidden until an idle period begins
  if (font_) {
    SendMessageW(labelDate_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    SendMessageW(labelIdle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  }
  if (boldFont_) SendMessageW(labelTime_, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.Get()), FALSE);
}

void TFormMain::CreateListViewTasks() {
  const RECT& r = kListViewRect;
  listViewTasks_ = CreateWindowExW(
      0, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS |
          LVS_SHAREIMAGELISTS,  // the window owns the image of the failed-run mark
      r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdListViewTasks)), instance_, nullptr);
  if (font_) SendMessageW(listViewTasks_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  ListView_SetExtendedListViewStyle(listViewTasks_,
                                    LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
  SetListColours();
  int index = 0;
  for (const ColumnSpec& spec : kTaskColumns) {
    std::wstring heading = W(spec.heading);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    col.fmt = index == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
    col.pszText = heading.data();
    col.cx = spec.width;
    col.iSubItem = index;
    SendMessageW(listViewTasks_, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
    ++index;
  }
  RefreshList();
}

void TFormMain::SetListColours() {
  // Background and text from the same source: ours, or the user's in high contrast (black on
  // white, white on black), never one of each.
  const bool plain = skin::HighContrast();
  const COLORREF back = plain ? GetSysColor(COLOR_WINDOW) : kListBackground;
  const COLORREF text = plain ? GetSysColor(COLOR_WINDOWTEXT) : skin::kPalette.text;
  ListView_SetBkColor(listViewTasks_, back);
  ListView_SetTextBkColor(listViewTasks_, back);
  ListView_SetTextColor(listViewTasks_, text);
  skin::ColourHeadings(listViewTasks_);
}

void TFormMain::MakeFonts() {
  // The message font, given at the system's dpi, at the window's.
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return;
  LOGFONTW lf = ncm.lfMessageFont;
  lf.lfHeight = MulDiv(lf.lfHeight, skin_.Dpi(), win::Dpi::OfSystem().Value());
  font_.Reset(CreateFontIndirectW(&lf));
  lf.lfWeight = FW_BOLD;
  boldFont_.Reset(CreateFontIndirectW(&lf));
}

// The mark of a failed last run in the name column: the system's error icon at the small-icon
// size of the window's dpi. The list gets the new image list before the old one goes.
void TFormMain::MakeRowMarks(win::Dpi dpi) {
  const int size = dpi.Scale(16);
  HIMAGELIST marks = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0);
  if (!marks) return;
  HICON error = static_cast<HICON>(
      LoadImageW(nullptr, MAKEINTRESOURCEW(32513), IMAGE_ICON, size, size, 0));  // IDI_ERROR
  if (error) {
    ImageList_AddIcon(marks, error);
    DestroyIcon(error);
  }
  ListView_SetImageList(listViewTasks_, marks, LVSIL_SMALL);
  if (rowMarks_) ImageList_Destroy(rowMarks_);
  rowMarks_ = marks;
}

void TFormMain::ApplyDpi(win::Dpi dpi, const RECT* suggested) {
  skin_.SetDpi(dpi.Value());
  // The old fonts stay until every control has the new ones.
  const win::Font oldFont(font_.Release()), oldBold(boldFont_.Release());
  MakeFonts();
  for (HWND control : {listViewTasks_, labelDate_, labelIdle_})
    if (control && font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
  if (labelTime_ && boldFont_)
    SendMessageW(labelTime_, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.Get()), TRUE);
  layout_.Apply(dpi, nullptr);
  chrome_.SetDpi(dpi);
  icons_.Apply(hwnd_, instance_, MAKEINTRESOURCEW(1), dpi);
  if (listViewTasks_) {
    int index = 0;
    for (const ColumnSpec& spec : kTaskColumns) ListView_SetColumnWidth(listViewTasks_, index++, dpi.Scale(spec.width));
    MakeRowMarks(dpi);
  }
  const int width = dpi.Scale(kWidth), height = dpi.Scale(kHeight);
  RECT now;
  GetWindowRect(hwnd_, &now);
  int x, y;
  if (suggested) {
    x = suggested->left;
    y = suggested->top;
  } else {
    // Around the same centre, inside the work area.
    x = (now.left + now.right - width) / 2;
    y = (now.top + now.bottom - height) / 2;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info)) {
      x = std::max<int>(info.rcWork.left, std::min<int>(x, info.rcWork.right - width));
      y = std::max<int>(info.rcWork.top, std::min<int>(y, info.rcWork.bottom - height));
    }
  }
  SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (editor_) editor_->DpiChanged();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TFormMain::ColoursChanged() {
  skin::RefreshColours();
  chrome_.ColoursChanged();
  if (listViewTasks_) SetListColours();
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFormMain::RefreshList() {
  if (!listViewTasks_) return;
  UpdateRowMarks();
  const auto count = static_cast<WPARAM>(engine_.Tasks().Size());
  if (SendMessageW(listViewTasks_, LVM_GETITEMCOUNT, 0, 0) != static_cast<LRESULT>(count))
    SendMessageW(listViewTasks_, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  InvalidateRect(listViewTasks_, nullptr, FALSE);
}

LRESULT TFormMain::FindRowByTypedName(const NMLVFINDITEMW& find) const {
  const LVFINDINFOW& info = find.lvfi;
  if (!(info.flags & (LVFI_STRING | LVFI_PARTIAL)) || !info.psz) return -1;
  const std::wstring typed(info.psz);
  const TaskList& tasks = engine_.Tasks();
  const std::size_t count = tasks.Size();
  if (count == 0 || typed.empty()) return -1;
  const std::size_t start =
      find.iStart >= 0 && static_cast<std::size_t>(find.iStart) < count ? find.iStart : 0;
  const bool whole = !(info.flags & LVFI_PARTIAL);
  // From the start row on, round to the top when asked to: the first name that begins with
  // what was typed (or is it, for a whole-name search), in any letter case.
  const std::size_t steps = (info.flags & LVFI_WRAP) ? count : count - start;
  for (std::size_t n = 0; n < steps; ++n) {
    const std::size_t i = (start + n) % count;
    const std::wstring name = W(tasks.Row(i).name);
    if (name.size() < typed.size() || (whole && name.size() != typed.size())) continue;
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(),
                       static_cast<int>(typed.size()), typed.c_str(),
                       static_cast<int>(typed.size())) == CSTR_EQUAL)
      return static_cast<LRESULT>(i);
  }
  return -1;
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
  if (header->code == NM_CUSTOMDRAW)  // task names bold
    return chrome_.ListViewTasksCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
  if (header->code == NM_DBLCLK) {
    if (reinterpret_cast<NMITEMACTIVATE*>(header)->iItem >= 0) FlatButtonEditClick();
    return 0;
  }
  if (header->code == LVN_KEYDOWN) {
    if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) FlatButtonDeleteClick();
    else if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_ESCAPE) HideRowTip();
    else PostMessageW(hwnd_, kMsgShowRowTip, 0, 0);  // after the list has moved its focus
    return 0;
  }
  if (header->code == NM_KILLFOCUS || header->code == NM_CLICK) {
    HideRowTip();
    return 0;
  }
  if (header->code == LVN_GETINFOTIPW) {  // the mouse rests on a row
    auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
    if (tip->iItem >= 0 && static_cast<std::size_t>(tip->iItem) < engine_.Tasks().Size() &&
        tip->pszText && tip->cchTextMax > 0) {
      const std::wstring text = RowTipText(static_cast<std::size_t>(tip->iItem));
      lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
    }
    return 0;
  }
  if (header->code == NM_RETURN) {  // Enter in the list: "Bearbeiten"
    FlatButtonEditClick();
    return 0;
  }
  if (header->code == LVN_ODFINDITEMW)  // type-ahead by task name
    return FindRowByTypedName(*reinterpret_cast<NMLVFINDITEMW*>(header));
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
    if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0)
      item.iImage = LastRunFailed(static_cast<std::size_t>(item.iItem)) ? 0 : I_IMAGENONE;
  }
  return 0;
}

}  // namespace orv
