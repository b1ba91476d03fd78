#include "ui/prompter_win32.h"

namespace orv {
namespace {

constexpr wchar_t kKeyboardDialogProp[] = L"Orvalis.KeyboardDialog";

}  // namespace

void MarkKeyboardDialog(HWND window) {
  SetPropW(window, kKeyboardDialogProp, reinterpret_cast<HANDLE>(1));
}

void DispatchUiMessage(MSG& msg) {
  if (msg.hwnd) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (root && GetPropW(root, kKeyboardDialogProp)) {
      if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
          SendMessageW(root, kMsgPreviewKey, 0, reinterpret_cast<LPARAM>(&msg)))
        return;
      if (IsDialogMessageW(root, &msg)) return;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32MessagePump::PumpOnce() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchUiMessage(msg);
  }
}

Win32Prompter::Win32Prompter(TFormConfirm& confirm, TFormRecover& recover)
    : confirm_(confirm), recover_(recover) {}

PromptResult Win32Prompter::AskConfirm(const std::string& line) { return Ask(confirm_, line); }

PromptResult Win32Prompter::AskRecover(const std::string& line) { return Ask(recover_, line); }

PromptResult Win32Prompter::Ask(QuestionDialog& dialog, const std::string& line) {
  const PromptResult declined{kAnswerNo, false};
  if (!dialog.Handle()) return declined;
  unsigned question = dialog.Begin(line);

  // Whether the question has come to an end, and how.
  PromptResult result;
  const auto finished = [&] {
    if (dialog.Question() != question) {
      // A question asked from inside this wait used the dialog and is over: put ours again.
      if (!dialog.Handle()) {
        result = declined;
        return true;
      }
      question = dialog.Begin(line);
    }
    if (dialog.AnswerCode() != kAnswerNone) {
      result = PromptResult{dialog.AnswerCode(), dialog.CheckBoxTicked()};
      return true;
    }
    if (dialog.Dismissed() || !dialog.Showing()) {
      dialog.Withdraw();
      result = declined;
      return true;
    }
    return false;
  };

  for (;;) {
    if (finished()) return result;
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        dialog.Withdraw();
        PostQuitMessage(static_cast<int>(msg.wParam));
        return declined;
      }
      DispatchUiMessage(msg);
      continue;
    }
    // PeekMessage may have run messages sent from other threads.
    if (finished()) return result;
    // Sleeps until anything arrives: posted or sent messages, input, timers, paint requests.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace orv
