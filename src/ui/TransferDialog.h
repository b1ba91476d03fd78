// "Tasks exportieren…" and "Tasks importieren…" of the "Programm" menu: the windows that choose
// the tasks to export, list what a file holds, ask about a name clash and tell what was done,
// and the two flows that run them with the file dialogs.
//
// Each window is a borderless skinned window with the title band, a line of text, for some a
// list (with check boxes to choose), and up to three buttons; it runs modal over the main
// window (which is disabled meanwhile) and is used from the keyboard as a dialog is: Tab
// moves between the list and the buttons, Space ticks a row, Enter presses the focused button
// (the first when the list has the focus), Escape or closing the window cancels. Sizes are a
// 96-dpi design times the dpi of the main window, then of each monitor of another scale the
// window is moved to.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "ui/skin.h"
#include "ui/win/dpi.h"
#include "ui/win/window.h"

namespace orv {

inline constexpr wchar_t kTransferWindowClass[] = L"TFormTransfer";

enum TransferControlId : int {
  kIdTransferTitle = 1301,
  kIdTransferText = 1302,
  kIdTransferList = 1303,
  kIdTransferButton1 = 1304,  // the first (primary) button; 1305 and 1306 follow
};

struct TransferRow {
  std::vector<std::string> cells;  // one per column
  bool checked = false;
  bool checkable = true;  // a row that cannot be chosen stays unticked
};

struct TransferForm {
  std::string title;
  std::string text;
  std::vector<std::pair<std::string, int>> columns;  // heading and 96-dpi width; none: no list
  bool checkBoxes = false;
  std::vector<TransferRow> rows;
  std::vector<std::string> buttons;  // 1 to 3; the first is the primary one
  int focusButton = 0;               // the button that has the focus first (no list)
};

class TransferDialog : public win::Window<TransferDialog> {
 public:
  // `mainSkin` is the main window's: the window opens at its dpi and draws with a skin of its
  // own, which follows the window's dpi.
  TransferDialog(const skin::Skin& mainSkin, const TransferForm& form);
  ~TransferDialog();

  // Shows the window over `owner` and waits for it: the index of the pressed button, -1 when
  // it was cancelled (Escape, closed, the program ending).
  int Run(HINSTANCE instance, HWND owner);
  // The rows' check marks as they were when a button was pressed.
  const std::vector<bool>& Checked() const { return checked_; }

 private:
  friend class win::Window<TransferDialog>;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  void Finish(int result);
  // Fonts, places, size, outline and column widths at `dpi`, at the top left of `suggested`.
  void ApplyDpi(win::Dpi dpi, const RECT* suggested);
  int S(int px96) const { return skin_.Scale(px96); }

  const skin::Skin& mainSkin_;
  skin::Skin skin_;  // at the window's dpi
  win::ChildLayout layout_;  // the controls' places at 96 dpi
  TransferForm form_;
  int width96_ = 520, height96_ = 0;
  HWND lastFocus_ = nullptr;  // focus to give back when the window is activated again
  bool done_ = false;
  int result_ = -1;
  std::vector<bool> checked_;
};

// The whole file at `path`, for the import. A file larger than the import takes (16 MiB) is
// refused by its size before a byte is read. False, with `error` in German and `bytes` empty,
// when it is refused or cannot be read.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::string& error);

// The two menu items' flows. Each suspends the job ticks while it runs. The import refreshes
// the engine's list; the caller shows it afresh. It takes the watched files' dates through
// `files`.
void RunTaskExport(HINSTANCE instance, HWND owner, Engine& engine, const skin::Skin& skin);
void RunTaskImport(HINSTANCE instance, HWND owner, Engine& engine, Files& files,
                   const skin::Skin& skin);

}  // namespace orv
