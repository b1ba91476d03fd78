// Accessible role, name and state for controls whose window class tells a screen reader the
// wrong thing: an owner-drawn push button that acts as a page tab, a picture that acts as a
// button, a label that opens a menu. The control answers WM_GETOBJECT with the system's own
// accessible object for it, of which only the role, the name and the extra states are ours.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <functional>
#include <string>

namespace orv::win {

struct AccessibleAnnotation {
  long role = 0;                       // ROLE_SYSTEM_..., 0 keeps the control's own
  std::wstring name;                   // empty keeps the control's own (its text)
  std::function<long()> extraStates;   // STATE_SYSTEM_... added to the control's own
};

// Annotates `control` until it is destroyed; false when it could not be subclassed.
bool AnnotateAccessible(HWND control, AccessibleAnnotation annotation);
inline bool AnnotateAccessible(HWND control, long role, std::function<long()> extraStates = {}) {
  return AnnotateAccessible(control, AccessibleAnnotation{role, L"", std::move(extraStates)});
}

}  // namespace orv::win
