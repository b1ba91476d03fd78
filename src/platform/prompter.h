// The questions the job tick puts to the user, and the message pump it keeps turning.
#pragma once

#include <string>

namespace orv {

enum PromptAnswerCode : int { kAnswerNone = 0, kAnswerYes = 1, kAnswerNo = 2 };

struct PromptResult {
  int answer = kAnswerNone;     // kAnswerYes or kAnswerNo once answered
  bool dontShowAgain = false;   // "Dieses Fenster nicht mehr anzeigen." ticked
};

// Shows a question and keeps the message queue pumped until it is answered. The check box of
// each dialog keeps its state from one question to the next. A dialog closed any other way
// than through its buttons answers "Nein".
class Prompter {
 public:
  virtual ~Prompter() = default;
  // Confirmation: `line` is the first line, e.g. "Task 'Backup' hat den ... erreicht."
  virtual PromptResult AskConfirm(const std::string& line) = 0;
  // Recovery of a missed run.
  virtual PromptResult AskRecover(const std::string& line) = 0;
};

// The window that counts down before a system action. It shows what the engine gives it and
// hands the user's choice back to the engine; it never waits for an answer.
class CountdownView {
 public:
  virtual ~CountdownView() = default;
  // Shows the window on top of all others with `line` and the task's name, or only changes
  // them while it shows.
  virtual void Show(const std::string& task, const std::string& line) = 0;
  virtual void Hide() = 0;
};

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Handles every message that is waiting, then returns.
  virtual void PumpOnce() = 0;
};

// The main window's job timer (60 000 ms).
class JobTimer {
 public:
  virtual ~JobTimer() = default;
  virtual void SetEnabled(bool on) = 0;
  virtual bool Enabled() const = 0;
};

}  // namespace orv
