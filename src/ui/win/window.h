// The base of every window of the program: the procedure that finds the window's object, the
// general error handler around every message, and the parting at WM_NCDESTROY.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/win/error.h"

namespace orv::win {

// Derived must have `LRESULT HandleMessage(UINT, WPARAM, LPARAM)` (it may be private when
// Derived befriends Window<Derived>). Its window class names Window<Derived>::WndProc, and the
// window is created with the object as the creation parameter. The object is stored at
// WM_NCCREATE; from then on Handle() is the window. At WM_NCDESTROY the window forgets the
// object before HandleMessage sees the message, so that no later message reaches it, and
// Handle() is null afterwards. An object that goes before its window detaches itself the same
// way.
template <class Derived>
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return hwnd_; }

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Derived* self;
    if (msg == WM_NCCREATE) {
      self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      if (self) {
        static_cast<Window*>(self)->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      }
    } else {
      self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      const LRESULT result = Guarded(hwnd, [&] { return self->HandleMessage(msg, wp, lp); });
      // The window is gone whatever the handler did; it set nothing else on its way out.
      static_cast<Window*>(self)->hwnd_ = nullptr;
      return result;
    }
    return Guarded(hwnd, [&] { return self->HandleMessage(msg, wp, lp); });
  }

 protected:
  ~Window() {
    if (hwnd_ && IsWindow(hwnd_) &&
        GetWindowLongPtrW(hwnd_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this_derived()))
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  }

  HWND hwnd_ = nullptr;

 private:
  const Derived* this_derived() const { return static_cast<const Derived*>(this); }
};

// A subclass procedure under the general error handler: `Proc` has the SUBCLASSPROC signature
// and calls DefSubclassProc for what it leaves. The subclass is removed at WM_NCDESTROY before
// Proc sees the message.
template <SUBCLASSPROC Proc>
LRESULT CALLBACK GuardedSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR data) {
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &GuardedSubclassProc<Proc>, id);
  return Guarded(hwnd, [&] { return Proc(hwnd, msg, wp, lp, id, data); });
}

// Subclasses `hwnd` with Proc under the error handler; false when it failed.
template <SUBCLASSPROC Proc>
bool Subclass(HWND hwnd, UINT_PTR id, DWORD_PTR data) {
  return hwnd && SetWindowSubclass(hwnd, &GuardedSubclassProc<Proc>, id, data);
}

}  // namespace orv::win
