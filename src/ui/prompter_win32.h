// The job tick's questions on screen (TFormConfirm, TFormRecover) and the message pump that
// keeps the program alive while one is open.
#pragma once

#include <windows.h>

#include "platform/prompter.h"
#include "ui/QuestionDialog.h"

namespace orv {

// Asks through the two dialogs, which must outlive it. While a question is open, every message
// of the thread is dispatched, so the main window and its timers go on working.
//
// - "Ja" / "Nein" answer 1 / 2 with the state of the dialog's check box.
// - A dialog left any other way (Escape, Alt+F4, WM_CLOSE, the end of the session, hidden or
//   destroyed by someone else) answers "Nein" with the box reported unticked: the user chose
//   neither answer, so nothing that the box would make permanent is stored. The tick stays
//   where it is in the box for the next question.
// - WM_QUIT during a question answers the same way, hides the dialog and is posted again
//   with its exit code, so the program's own loop ends.
// - A dialog that was never created or has been destroyed answers "Nein" at once.
// - A question asked while the same dialog is already waiting for an answer (a second tick
//   started from inside the first) is shown in its place; once it is answered, the earlier
//   question comes back with its own first line and waits for its own answer.
class Win32Prompter : public Prompter {
 public:
  Win32Prompter(TFormConfirm& confirm, TFormRecover& recover);

  PromptResult AskConfirm(const std::string& line) override;
  PromptResult AskRecover(const std::string& line) override;

 private:
  PromptResult Ask(QuestionDialog& dialog, const std::string& line);

  TFormConfirm& confirm_;
  TFormRecover& recover_;
};

// Handles every message that is waiting, then returns. On WM_QUIT it stops, posts WM_QUIT
// again with the same exit code and returns, so that the caller's loop sees it.
class Win32MessagePump : public MessagePump {
 public:
  void PumpOnce() override;
};

// Gives a modeless top-level window dialog keyboard handling (Tab and Shift+Tab through its
// WS_TABSTOP controls, Enter, Escape as IDCANCEL) in every loop that hands its messages to
// DispatchUiMessage.
void MarkKeyboardDialog(HWND window);

// A key message for a window marked with MarkKeyboardDialog is first offered to its top-level
// window: SendMessage(top, kMsgPreviewKey, 0, pointer to the MSG). A nonzero answer means the
// window has handled the key (a menu key, F1), and the dialog manager does not see it.
inline constexpr UINT kMsgPreviewKey = WM_APP + 40;

// Passes one message on: through IsDialogMessageW when it belongs to a window marked with
// MarkKeyboardDialog (after offering its keys with kMsgPreviewKey), else through
// TranslateMessage and DispatchMessageW. The program's main loop uses it too.
void DispatchUiMessage(MSG& msg);

}  // namespace orv
