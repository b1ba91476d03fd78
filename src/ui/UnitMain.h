// The main window: the task list over the task list model.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/prompter.h"
#include "idle/dsrSleeper_win32.h"
#include "ui/chrome.h"
#include "ui/skin.h"
#include "engine/engine.h"
#include "engine/task_list.h"
#include "base/messages.h"
#include "ui/TaskEditor.h"
#include "ui/win/dpi.h"
#include "ui/HistoryWindow.h"
#include "ui/win/gdi.h"
#include "ui/win/window.h"

struct IAccPropServices;

namespace orv {

// Handles every waiting message of the thread, then returns. A WM_QUIT met on the way is
// posted again for the main loop.
void PumpPendingMessages();

// Window class and control IDs, known to the end-to-end driver too.
inline constexpr wchar_t kMainWindowClass[] = L"TFormMain";
// What the taskbar and Alt+Tab show; the title band draws its own text with the version.
inline constexpr wchar_t kMainWindowTitle[] = L"Orvalis";

enum MainControlId : int {
  kIdListViewTasks = 1001,
  kIdFlatButtonAdd = 1002,
  kIdFlatButtonEdit = 1003,
  kIdFlatButtonDelete = 1004,
  kIdFlatButtonExecute = 1005,
  kIdLabelDate = 1006,
  kIdLabelTime = 1007,
  kIdLabelIdle = 1008,
};

enum MainTimerId : UINT_PTR {
  kTimerJobs = 1,  // the minute tick
  kTimerTime = 2,  // the clock
  kTimerRowTip = 3,  // hides the tooltip of a row chosen with the keyboard
};
// Posted by the list's keyboard handling: show the focused row's tooltip.
inline constexpr UINT kMsgShowRowTip = WM_APP + 20;
inline constexpr UINT kTimerJobsInterval = 60000;
// After a resume from standby or hibernation or a change of the clock, the next tick comes this
// soon instead of up to a minute later.
inline constexpr UINT kTimerJobsSoon = 3000;
inline constexpr UINT kTimerTimeInterval = 1000;
// Seconds without input after which an idle period begins.
inline constexpr int kIdleInterval = 10;
// The list's background, 0x00BBGGRR.
inline constexpr COLORREF kListBackground = 16381420;

// The single-instance semaphore's name.
inline constexpr wchar_t kInstanceSemaphore[] = L"Orvalis";



// The task list's columns: heading and width.
struct ColumnSpec {
  const char* heading;
  int width;
};
inline constexpr ColumnSpec kTaskColumns[] = {
    {"Task-Bezeichnung", 180}, {"Nächster Start", 120}, {"Art", 100}};

class TFormMain : public win::Window<TFormMain> {
 public:
  static constexpr int kWidth = 570;
  static constexpr int kHeight = 427;

  // `services` supplies the shell, files, power and HTTP client; the form adds its own message
  // pump and job timer, and `prompter` asks the tick's questions.
  TFormMain(RegistryBackend& registry, Clock& clock, Locale& locale, const Services& services,
            Prompter* prompter, skin::Skin& skin);
  ~TFormMain();

  // Creates the window and runs the start-up; shows it or not by the start option. False when
  // the window could not be created.
  bool Create(HINSTANCE instance);
  // Another instance was running: this one shows nothing and ends.
  bool SecondInstance() const { return secondInstance_; }
  // Set by the session-end handling: the window may close.
  void SetAllowClose(bool allow) { allowClose_ = allow; }

  // Tells the list view that the model changed.
  void RefreshList();

  // The window that counts down before a warned system action; set before Create. The window's
  // buttons come back through CountdownDecide.
  void SetCountdownView(CountdownView* view) { engine_.SetCountdownView(view); }
  void CountdownDecide(CountdownDecision decision);
  // The history window ("Verlauf").
  HistoryWindow* History() { return history_.get(); }

  // The about box that the menus' "&Info" shows.
  void SetFormInfo(TFormInfo* info) { chrome_.SetFormInfo(info); }

 private:
  friend class win::Window<TFormMain>;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  void CreateIdleDetector();
  // The idle detector's events: an idle period began, input ended it.
  void dsrSleeperIdleSleep();
  void dsrSleeperIdleAwake();
  bool FormCloseQuery();
  // WM_QUERYENDSESSION: runs the tasks bound to Windows shutdown and lets the window close.
  void FormQueryEndSession();
  void CreateListViewTasks();
  void CreateControls();
  // The window's fonts at its dpi, handed to the list and the clock.
  void MakeFonts();
  void SetListColours();
  // Moves and sizes the window and everything in it for `dpi`: into `suggested` (screen
  // coordinates, from WM_DPICHANGED) or, without it, around the window's centre.
  void ApplyDpi(win::Dpi dpi, const RECT* suggested);
  // High contrast or the system's colours changed.
  void ColoursChanged();
  void TimerTimeTimer();
  void FlatButtonExecuteClick();
  void FlatButtonDeleteClick();
  void FlatButtonAddClick();
  void FlatButtonEditClick();
  // The task editor has closed; `saved` with the name of the task it saved.
  void TaskEditorClosed(bool saved, const std::string& name);
  // Shows the task list page, or hides it for the task editor.
  void ShowListPage(bool show);
  void ApplyStartOption();
  void PopupMenuOptionenFensterAnzeigenClick();
  void PopupMenuOptionenMinimiertStartenClick();
  void PopupMenuTrayBeendenClick();
  // "Tasks exportieren…" / "Tasks importieren…" (not while the task editor is open).
  void PopupMenuProgrammTransferClick(bool import);
  void SetStartOptionChecks(bool showWindow);
  // The list's type-ahead: the row whose name begins with what was typed, or -1.
  LRESULT FindRowByTypedName(const NMLVFINDITEMW& find) const;
  LRESULT ListViewTasksNotify(NMHDR* header);
  // The keyboard: the button Enter presses (DM_GETDEFID), Enter and Escape as the dialog
  // manager passes them on (IDOK, IDCANCEL), the focus moved by it (WM_NEXTDLGCTL), and the
  // focus kept while the window is inactive (WM_ACTIVATE).
  LRESULT DefaultButton() const;
  void KeyboardCommand(int id);
  void NextControl(WPARAM wp, LPARAM lp);
  void Activated(WPARAM wp);
  void RestoreFocus();

  // The last run and the next start of a row, as its tooltip shows them.
  std::wstring RowTipText(std::size_t row);
  // Whether the row's task failed in its last run (the mark in the name column).
  bool LastRunFailed(std::size_t row) const;
  // Finds the rows whose last run failed, after a run or a change of the rows, and gives each
  // an accessible name that says so (the mark itself is only a picture).
  void UpdateRowMarks();
  // A run was recorded: the failure notice, the history window and the row's mark.
  void RunRecorded(const RunEntry& entry);
  void ShowRowTip();
  void HideRowTip();
  void PopupMenuOptionenFehlerMeldenClick();
  void CreateRowTip();

  // Shows a message box captioned "Orvalis" with the exclamation icon.
  void ShowWarning(const std::string& text);

  // The job timer TimerJobs, a window timer of the main window.
  class JobTimerWin32 : public JobTimer {
   public:
    explicit JobTimerWin32(TFormMain& form) : form_(form) {}
    void SetEnabled(bool on) override;
    bool Enabled() const override { return on_; }

   private:
    TFormMain& form_;
    bool on_ = false;
  };
  // Pumps the queue after bringing the list view up to date with the model.
  class PumpWin32 : public MessagePump {
   public:
    explicit PumpWin32(TFormMain& form) : form_(form) {}
    void PumpOnce() override;

   private:
    TFormMain& form_;
  };

  void TimerJobsTimer();
  // The computer resumed or its clock changed: the next tick comes in a few seconds, in place of
  // the one that was due (the tick starts the minute period anew). Not while the editor is open;
  // during a running tick, right after it.
  void TickSoon();
  bool tickSoonPending_ = false;

  MessageTable messages_;
  MainChrome chrome_;  // skin, shape, menus, tray icon
  JobTimerWin32 timerJobs_{*this};
  PumpWin32 pump_{*this};
  Engine engine_;
  HINSTANCE instance_ = nullptr;
  HWND listViewTasks_ = nullptr;
  win::Font font_;
  win::Font boldFont_;
  skin::Skin& skin_;  // its dpi follows this window's
  win::ChildLayout layout_;  // the children's places at 96 dpi
  win::WindowIcons icons_;   // on the taskbar button and in Alt+Tab, at the window's dpi
  win::Brush background_;  // the window class's brush
  bool classRegistered_ = false;
  HWND labelDate_ = nullptr, labelTime_ = nullptr, labelIdle_ = nullptr;
  bool secondInstance_ = false;
  bool allowClose_ = false;
  bool showWindowChecked_ = true;  // "&Fenster anzeigen" checked, "&Minimiert starten" not
  Files* files_ = nullptr;  // modification dates of watched files, for the editor's save
  std::unique_ptr<TaskEditor> editor_;
  std::unique_ptr<dsrSleeper> dsrSleeperIdle_;
  std::wstring dispText_;  // backs the text handed out through LVN_GETDISPINFO
  std::unique_ptr<HistoryWindow> history_;
  bool reportFailures_ = false;  // "Fehler melden"
  HWND rowTip_ = nullptr;        // the tooltip of a row chosen with the keyboard
  std::wstring rowTipText_;
  HIMAGELIST rowMarks_ = nullptr;  // the mark of a failed last run
  void MakeRowMarks(win::Dpi dpi);
  std::vector<std::string> markRows_;     // the rows' names when the marks were found
  std::vector<bool> markFailed_;          // by row: the last run failed
  bool marksDirty_ = true;                // a run was recorded since
  IAccPropServices* accProps_ = nullptr;  // accessible names of marked rows; null without
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window went inactive
};

}  // namespace orv
