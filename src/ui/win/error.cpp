#include "ui/win/error.h"

#include <utility>

#include "ui/win/text.h"

namespace orv::win {
namespace {

ErrorHandler& Handler() {
  static ErrorHandler handler;
  return handler;
}

}  // namespace

void ShowErrorBox(HWND owner, const std::string& text) {
  MessageBoxW(owner, Wide(text).c_str(), L"Orvalis", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
}

void ReportError(HWND owner, const std::string& text) {
  // A copy: the handler may replace itself while its box is open.
  const ErrorHandler handler = Handler();
  try {
    if (handler)
      handler(owner, text);
    else
      ShowErrorBox(owner, text);
  } catch (...) {
    // Nothing may leave a window procedure.
  }
}

ErrorHandler SetErrorHandler(ErrorHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

}  // namespace orv::win
