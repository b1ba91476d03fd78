#include "ui/win/accessible.h"

#include <commctrl.h>

#include <memory>
#include <utility>

#include "ui/win/window.h"

namespace orv::win {
namespace {

constexpr UINT_PTR kAccessibleSubclass = 0x4F41;
// IAccessible's interface ID from the header's own declaration: the IID_IAccessible of some
// libuuid builds is not that one, and the system's objects then answer E_NOINTERFACE.

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The system's accessible object of the control with our role, name and states; every other
// question goes to the system's object.
class AnnotatedAccessible final : public IAccessible {
 public:
  AnnotatedAccessible(IAccessible* inner, HWND control,
                      std::shared_ptr<const AccessibleAnnotation> annotation)
      : inner_(inner), control_(control), annotation_(std::move(annotation)) {}
  ~AnnotatedAccessible() { inner_->Release(); }
  AnnotatedAccessible(const AnnotatedAccessible&) = delete;
  AnnotatedAccessible& operator=(const AnnotatedAccessible&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, __uuidof(IAccessible))) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    return inner_->QueryInterface(riid, out);  // IOleWindow, IEnumVARIANT: the system's
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
    return inner_->GetTypeInfo(i, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid,
                                          DISPID* ids) override {
    return inner_->GetIDsOfNames(riid, names, n, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                   UINT* arg) override {
    return inner_->Invoke(id, riid, lcid, flags, params, result, info, arg);
  }

  // IAccessible: ours
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (IsSelf(child) && name && !annotation_->name.empty()) {
      *name = SysAllocString(annotation_->name.c_str());
      return *name ? S_OK : E_OUTOFMEMORY;
    }
    return inner_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (IsSelf(child) && role && annotation_->role) {
      VariantInit(role);
      role->vt = VT_I4;
      role->lVal = annotation_->role;
      return S_OK;
    }
    return inner_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT hr = inner_->get_accState(child, state);
    if (SUCCEEDED(hr) && IsSelf(child) && state && state->vt == VT_I4 &&
        annotation_->extraStates && IsWindow(control_))
      state->lVal |= annotation_->extraStates();
    return hr;
  }

  // IAccessible: the system's
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return inner_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return inner_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return inner_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
    return inner_->get_accHelp(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return inner_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return inner_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return inner_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return inner_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return inner_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
    return inner_->accLocation(x, y, w, h, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
    return inner_->accNavigate(dir, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return inner_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return inner_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return inner_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return inner_->put_accValue(child, value);
  }

 private:
  LONG refs_ = 1;
  IAccessible* inner_;
  HWND control_;
  std::shared_ptr<const AccessibleAnnotation> annotation_;
};

LRESULT CALLBACK AnnotatedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                               DWORD_PTR ref) {
  auto* annotation = reinterpret_cast<std::shared_ptr<const AccessibleAnnotation>*>(ref);
  if (msg == WM_GETOBJECT && static_cast<LONG>(lp) == static_cast<LONG>(OBJID_CLIENT)) {
    IAccessible* inner = nullptr;
    if (SUCCEEDED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&inner))) && inner) {
      auto* outer = new AnnotatedAccessible(inner, hwnd, *annotation);
      const LRESULT result = LresultFromObject(__uuidof(IAccessible), wp, outer);
      outer->Release();
      return result;
    }
  }
  if (msg == WM_NCDESTROY) {
    const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
    delete annotation;
    return result;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

bool AnnotateAccessible(HWND control, AccessibleAnnotation annotation) {
  if (!control) return false;
  auto* shared = new std::shared_ptr<const AccessibleAnnotation>(
      std::make_shared<const AccessibleAnnotation>(std::move(annotation)));
  if (!Subclass<&AnnotatedProc>(control, kAccessibleSubclass, reinterpret_cast<DWORD_PTR>(shared))) {
    delete shared;
    return false;
  }
  return true;
}

}  // namespace orv::win
