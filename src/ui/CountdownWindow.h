// The countdown before a system action ("Der Computer wird in 30 Sekunden neu gestartet."):
// a borderless, topmost window in the program's look, created once at start-up, hidden, and
// shown by the engine while a warned restart, shutdown, standby or log-off counts down. Like the
// question dialogs it belongs to no other window and has its own taskbar button.
//
// It never waits: the engine sets its line each second, and its buttons hand the user's choice
// back ("Jetzt ausführen", "Abbrechen", "In 15 Minuten erneut"). Escape, Alt+F4, WM_CLOSE, the
// end of the session and a hide by another program all cancel. The keyboard focus starts on
// "Abbrechen", and Enter presses the focused button: a keystroke meant for another window can
// only ever cancel.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "engine/countdown.h"
#include "platform/prompter.h"
#include "ui/skin.h"
#include "ui/win/dpi.h"
#include "ui/win/window.h"

namespace orv {

// Window class and control IDs, known to the end-to-end driver too.
inline constexpr wchar_t kCountdownWindowClass[] = L"TFormCountdown";
enum CountdownControlId : int {
  kIdCountdownTitle = 1301,
  kIdLabelCountdown = 1302,   // the line that counts
  kIdLabelCountdownTask = 1303,
  kIdFlatButtonCountdownRun = 1304,
  kIdFlatButtonCountdownCancel = 1305,
  kIdFlatButtonCountdownPostpone = 1306,
};

class CountdownWindow : public win::Window<CountdownWindow>, public CountdownView {
 public:
  // Layout at 96 dpi, in client coordinates; scaled by the window's own dpi (that of the monitor
  // it is made on, then of each monitor of another scale it is moved to).
  static constexpr int kWidth = 400, kHeight = 168;
  static constexpr int kBandHeight = 38;
  static constexpr RECT kLineRect{24, 54, 24 + 352, 54 + 36};
  static constexpr RECT kTaskRect{24, 92, 24 + 352, 92 + 18};
  static constexpr RECT kRunRect{24, 124, 24 + 112, 124 + 26};
  static constexpr RECT kCancelRect{144, 124, 144 + 100, 124 + 26};
  static constexpr RECT kPostponeRect{252, 124, 252 + 124, 124 + 26};

  CountdownWindow() = default;
  ~CountdownWindow() override;
  CountdownWindow(const CountdownWindow&) = delete;
  CountdownWindow& operator=(const CountdownWindow&) = delete;

  // Makes the hidden window; `decide` receives the user's choice. Call once, on the
  // user-interface thread.
  bool Create(HINSTANCE instance, std::function<void(CountdownDecision)> decide);
  HWND Control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }
  int Dpi() const { return skin_.Dpi(); }

  // The line of the countdown, with the task's name below it.
  void Show(const std::string& task, const std::string& line) override;
  void Hide() override;

 private:
  friend class win::Window<CountdownWindow>;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  void FormCommand(int id, int code);
  void Decide(CountdownDecision decision);
  void CentreOnScreen();
  // Fonts, places, size, outline and icons at `dpi`; at the top left of `suggested` where
  // WM_DPICHANGED gives one.
  void ApplyDpi(win::Dpi dpi, const RECT* suggested);
  int Px(int v96) const { return skin_.Scale(v96); }
  RECT Px(const RECT& r96) const { return skin_.Scale(r96); }

  skin::Skin skin_;  // at the window's dpi
  win::ChildLayout layout_;  // the controls' places at 96 dpi
  win::WindowIcons icons_;
  HINSTANCE instance_ = nullptr;
  std::function<void(CountdownDecision)> decide_;
  bool hiding_ = false;  // the window hides itself: not a cancel
};

}  // namespace orv
