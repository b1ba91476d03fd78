// The task editor's input filters: what the number, time and name fields accept.
#include "ui/TaskEditor.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/task_store.h"
#include "ui/TaskEditorParts.h"
#include "ui/win32_text.h"

namespace orv {

using namespace editor;

namespace {

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

bool IsTimeOfDay(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 1 || colon > 2 || text.size() != colon + 3) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  const int hours = std::atoi(text.substr(0, colon).c_str());
  const int minutes = std::atoi(text.substr(colon + 1).c_str());
  return hours <= 23 && minutes <= 59;
}

// ---- fields -------------------------------------------------------------------------------

LRESULT CALLBACK TaskEditor::NumberProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                        DWORD_PTR) {
  if (msg == WM_CHAR) {
    const wchar_t c = static_cast<wchar_t>(wp);
    const bool ok = (c >= L'0' && c <= L'9') || c == L'-' || c == L'+' || c < 0x20;
    if (!ok) {
      MessageBeep(MB_OK);
      return 0;
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK TaskEditor::TimeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR) {
  if (msg == WM_CHAR) {
    const wchar_t c = static_cast<wchar_t>(wp);
    if (!((c >= L'0' && c <= L'9') || c == L':' || c < 0x20)) {
      MessageBeep(MB_OK);
      return 0;
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// The name field keeps only what a task key may be called, typed or pasted. Text the program
// sets (a loaded name) is kept as it is: that task's key already has that name.
LRESULT CALLBACK TaskEditor::NameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR) {
  switch (msg) {
    case WM_CHAR: {
      const wchar_t c = static_cast<wchar_t>(wp);
      // Backspace, and the copy, cut, paste and undo shortcuts: a paste arrives as WM_PASTE
      // and is filtered there.
      if (c == 8 || c == 0x03 || c == 0x16 || c == 0x18 || c == 0x1A) break;
      if (c >= 0x80 || FilterTaskName(std::string(1, static_cast<char>(c))).empty()) return 0;
      break;
    }
    case WM_PASTE: {
      std::wstring text = W(FilterTaskName(U8(ClipboardText(hwnd))));
      DWORD selStart = 0, selEnd = 0;
      SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
      const int room = 30 - (GetWindowTextLengthW(hwnd) - static_cast<int>(selEnd - selStart));
      text.resize(std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::max(room, 0))));
      SendMessageW(hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
      return 0;
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace orv
