// The program's one general error handler: an error that no routine catches is shown in a
// message box captioned "Orvalis", and the message loop goes on.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace orv::win {

using ErrorHandler = std::function<void(HWND owner, const std::string& text)>;

// Shows `text` (UTF-8) in a system-modal box captioned "Orvalis" with the exclamation icon.
void ShowErrorBox(HWND owner, const std::string& text);

// Reports an error to the handler in force (ShowErrorBox unless replaced).
void ReportError(HWND owner, const std::string& text);

// Replaces the handler (the Windows tests record instead of showing a box); returns the one
// that was in force. An empty handler restores ShowErrorBox.
ErrorHandler SetErrorHandler(ErrorHandler handler);

// Runs `body` and returns its result; an exception that leaves it goes to the error handler
// with the box owned by the top-level window of `hwnd`, and the result is 0. Nothing of the
// window's object is touched after the handler: its box pumps messages, and one of them may
// have destroyed the window and its object meanwhile.
template <class Body>
LRESULT Guarded(HWND hwnd, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    ReportError(hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr, e.what());
  } catch (...) {
    ReportError(hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr, "Unbekannter Fehler.");
  }
  return 0;
}

}  // namespace orv::win
