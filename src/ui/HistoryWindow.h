// The "Verlauf" window: the recorded runs, newest first, with a filter by task and "Leeren".
//
// A skinned, modeless window of its own (taskbar button, Alt+Tab), created hidden with the main
// window and shown by "Verlauf" in the "Programm" menu and the tray menu or by a click on a
// failure balloon. Tab moves through the filter, the list and the buttons; Escape closes it.
// Its measures are given at 96 dpi and scaled by the window's own dpi: the dpi of the monitor
// it is made on, then that of each monitor of another scale it is moved to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "ui/skin.h"
#include "ui/win/dpi.h"
#include "ui/win/window.h"

namespace orv {

inline constexpr wchar_t kHistoryWindowClass[] = L"TFormHistory";

// Controls of the history window, known to the end-to-end driver too.
enum HistoryControlId : int {
  kIdHistoryTitle = 1401,
  kIdHistoryFilterLabel = 1402,
  kIdHistoryFilter = 1403,
  kIdHistoryList = 1404,
  kIdHistoryClear = 1405,
  kIdHistoryClose = 1406,
};

class HistoryWindow : public win::Window<HistoryWindow> {
 public:
  static constexpr int kWidth = 600, kHeight = 420;  // at 96 dpi

  explicit HistoryWindow(Engine& engine) : engine_(engine) {}
  ~HistoryWindow();

  bool Create(HINSTANCE instance);
  // Fills the list afresh and shows the window in front; shown already, only refreshes it.
  void Show();
  // A run was recorded: the list follows while the window is shown, half a second later, so
  // that a tick with many runs fills it once.
  void Refresh();
  HWND Control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }

 private:
  friend class win::Window<HistoryWindow>;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  int Scale(int px96) const { return skin_.Scale(px96); }
  RECT Scale(const RECT& r) const { return skin_.Scale(r); }
  // Fonts, places, size, outline, icons and column widths at `dpi`; at the top left of
  // `suggested` where WM_DPICHANGED gives one.
  void ApplyDpi(win::Dpi dpi, const RECT* suggested);
  // The list's colours and headings for the current colours (high contrast or not).
  void SetListColours();
  // High contrast or the system's colours changed.
  void ColoursChanged();
  void FillFilter();
  void FillList();
  void ClearClick();
  void Hide();

  Engine& engine_;
  skin::Skin skin_;  // at the window's dpi
  win::ChildLayout layout_;  // the controls' places at 96 dpi
  win::WindowIcons icons_;
  HINSTANCE instance_ = nullptr;
  HWND list_ = nullptr, filter_ = nullptr;
  std::string chosenTask_;  // UTF-8; empty: every task
  bool refreshPending_ = false;
};

}  // namespace orv
