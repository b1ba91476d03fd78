// The main window: the task list over the task list model.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "exec/prompter.h"
#include "sched/engine.h"
#include "sched/task_list.h"
#include "ui/messages.h"

namespace orv {

// Handles every waiting message of the thread, then returns. A WM_QUIT met on the way is
// posted again for the main loop.
void PumpPendingMessages();

// Window class and control IDs, known to the end-to-end driver too.
inline constexpr wchar_t kMainWindowClass[] = L"TFormMain";
inline constexpr wchar_t kMainWindowTitle[] = L"Orvalis v1.1";

enum MainControlId : int {
  kIdListViewTasks = 1001,
};

enum MainTimerId : UINT_PTR {
  kTimerJobs = 1,  // the minute tick
};
inline constexpr UINT kTimerJobsInterval = 60000;

// The task list's columns: heading and width.
struct ColumnSpec {
  const char* heading;
  int width;
};
inline constexpr ColumnSpec kTaskColumns[] = {
    {"Task-Bezeichnung", 180}, {"Nächster Start", 120}, {"Art", 100}};

class TFormMain {
 public:
  static constexpr int kWidth = 570;
  static constexpr int kHeight = 427;

  // `services` supplies the shell, files, power and HTTP client; the form adds its own message
  // pump and job timer, and `prompter` asks the tick's questions.
  TFormMain(RegistryBackend& registry, Clock& clock, Locale& locale, const Services& services,
            Prompter* prompter);
  ~TFormMain();

  bool Create(HINSTANCE instance, int showCommand);
  HWND Handle() const { return hwnd_; }

  // Tells the list view that the model changed.
  void RefreshList();

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  void CreateListViewTasks();
  LRESULT ListViewTasksNotify(NMHDR* header);

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

  MessageTable messages_;
  JobTimerWin32 timerJobs_{*this};
  PumpWin32 pump_{*this};
  Engine engine_;
  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND listViewTasks_ = nullptr;
  HFONT font_ = nullptr;
  std::wstring dispText_;  // backs the text handed out through LVN_GETDISPINFO
};

}  // namespace orv
