// What a screen reader learns about the editor's check boxes, radio buttons and tab headers,
// about the main window's image buttons and menu labels and about the about box's links: role,
// state and name through AccessibleObjectFromWindow / IAccessible. And the editor's access keys:
// one letter for one control on every step and tab.
//
// Wine's oleacc gives a plain button (a check box, a radio button) no role or state of its own
// (it answers "client" for every standard control). Under Wine the test checks for those what
// the screen reader's answer rests on instead: the window class, the button style and the
// check state. The roles and names the program sets itself are read through IAccessible on
// Wine too.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <cwctype>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "engine/engine.h"
#include "support/registry_memory.h"
#include "support/settable_clock.h"
#include "support/test_locale.h"
#include "ui/TaskEditor.h"
#include "ui/UnitInfo.h"
#include "ui/artwork.h"
#include "ui/chrome.h"
#include "ui/skin.h"
#include "ui/win32_text.h"

namespace orv {
namespace {

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

struct Accessible {
  IAccessible* acc = nullptr;
  explicit Accessible(HWND hwnd) {
    if (FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible), reinterpret_cast<void**>(&acc))))
      acc = nullptr;
  }
  ~Accessible() {
    if (acc) acc->Release();
  }
  Accessible(const Accessible&) = delete;
  Accessible& operator=(const Accessible&) = delete;

  static VARIANT Self() {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
  }
  long Role() const {
    VARIANT role;
    VariantInit(&role);
    if (!acc || FAILED(acc->get_accRole(Self(), &role)) || role.vt != VT_I4) return -1;
    return role.lVal;
  }
  long State() const {
    VARIANT state;
    VariantInit(&state);
    if (!acc || FAILED(acc->get_accState(Self(), &state)) || state.vt != VT_I4) return -1;
    return state.lVal;
  }
  std::wstring Name() const {
    BSTR name = nullptr;
    if (!acc || FAILED(acc->get_accName(Self(), &name)) || !name) return L"?";
    std::wstring out(name);
    SysFreeString(name);
    return out;
  }
};

std::wstring ClassOf(HWND hwnd) {
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  return cls;
}

class Accessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    INITCOMMONCONTROLSEX icc{sizeof icc,
                             ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvalisAccessibilityTest";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, wc.lpszClassName, L"Orvalis", WS_POPUP | WS_VISIBLE, 50, 50, 570,
                              427, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
    messages_.Fill();
    engine_ = std::make_unique<Engine>(registry_, clock_, locale_, messages_);
    editor_ = std::make_unique<TaskEditor>(*engine_, nullptr, messages_, skin_);
    ASSERT_TRUE(editor_->Create(GetModuleHandleW(nullptr), parent_, kMainContentRect,
                                [](bool, const std::string&) {}));
    editor_->Open(std::string());
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
    editor_.reset();
    engine_.reset();
    CoUninitialize();
  }
  HWND Item(int id) const { return GetDlgItem(editor_->Handle(), id); }

  // A check box or radio button: the role and the checked state as a screen reader reads
  // them (on Wine: the class, the style and the check state they come from).
  void ExpectButton(int id, LONG_PTR type, long role, bool checked) {
    HWND hwnd = Item(id);
    ASSERT_NE(hwnd, nullptr) << id;
    EXPECT_EQ(ClassOf(hwnd), L"Button") << id;
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_TYPEMASK, type) << id;
    EXPECT_EQ(SendMessageW(hwnd, BM_GETCHECK, 0, 0), checked ? BST_CHECKED : BST_UNCHECKED) << id;
    const Accessible acc(hwnd);
    ASSERT_NE(acc.acc, nullptr) << id;
    if (UnderWine()) return;
    EXPECT_EQ(acc.Role(), role) << id;
    EXPECT_EQ((acc.State() & STATE_SYSTEM_CHECKED) != 0, checked) << id;
  }

  MemoryRegistry registry_;
  SettableClock clock_;
  GermanTestLocale locale_;
  MessageTable messages_;
  skin::Skin skin_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<TaskEditor> editor_;
  HWND parent_ = nullptr;
};

TEST_F(Accessibility, CheckBoxesAndRadioButtonsAreRealOnesWithTheirState) {
  ExpectButton(kIdFlatCheckBoxTaskTypeProgramParam, BS_AUTOCHECKBOX, ROLE_SYSTEM_CHECKBUTTON, false);
  SendMessageW(Item(kIdFlatCheckBoxTaskTypeProgramParam), BM_CLICK, 0, 0);
  ExpectButton(kIdFlatCheckBoxTaskTypeProgramParam, BS_AUTOCHECKBOX, ROLE_SYSTEM_CHECKBUTTON, true);
  ExpectButton(kIdCheckListBoxTaskAutoMonthDay1 + 30, BS_AUTOCHECKBOX, ROLE_SYSTEM_CHECKBUTTON, false);

  // The system actions: one group, one checked; a click moves the check.
  SendMessageW(Item(kIdRadioButtonSystem), BM_CLICK, 0, 0);
  ExpectButton(kIdFlatRadioButtonTaskTypeSystemReboot, BS_AUTORADIOBUTTON, ROLE_SYSTEM_RADIOBUTTON, true);
  SendMessageW(Item(kIdFlatRadioButtonTaskTypeSystemReboot + 2), BM_CLICK, 0, 0);
  ExpectButton(kIdFlatRadioButtonTaskTypeSystemReboot, BS_AUTORADIOBUTTON, ROLE_SYSTEM_RADIOBUTTON, false);
  ExpectButton(kIdFlatRadioButtonTaskTypeSystemReboot + 2, BS_AUTORADIOBUTTON, ROLE_SYSTEM_RADIOBUTTON, true);
  EXPECT_EQ(editor_->ToState().system, 2);  // the state the editor saves follows the control
}

BOOL CALLBACK FindText(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<std::pair<const wchar_t*, HWND>*>(lp);
  wchar_t text[128] = {};
  GetWindowTextW(hwnd, text, 128);
  if (std::wstring(text) == search->first) {
    search->second = hwnd;
    return FALSE;
  }
  return TRUE;
}

TEST_F(Accessibility, ClickingTheTextAfterAFieldTogglesItsCheckBox) {
  SendMessageW(Item(kIdFlatButtonWizardNext), BM_CLICK, 0, 0);  // step 2, "Uhrzeit"
  std::pair<const wchar_t*, HWND> search{L"Minuten durchführen.", nullptr};
  EnumChildWindows(editor_->Handle(), FindText, reinterpret_cast<LPARAM>(&search));
  ASSERT_NE(search.second, nullptr);
  HWND box = Item(kIdFlatCheckBoxTaskAutoMinutes);
  const LRESULT before = SendMessageW(box, BM_GETCHECK, 0, 0);
  SendMessageW(search.second, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(search.second, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_NE(SendMessageW(box, BM_GETCHECK, 0, 0), before);
  EXPECT_EQ(editor_->ToState().intEnabled, SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

TEST_F(Accessibility, TabHeadersArePageTabsWithTheActiveOneSelected) {
  const int headers[] = {kIdRadioButtonProgramm, kIdRadioButtonInternet, kIdRadioButtonSystem};
  const wchar_t* names[] = {L"Programm", L"Internet", L"System"};
  for (int i = 0; i < 3; ++i) {
    const Accessible acc(Item(headers[i]));
    ASSERT_NE(acc.acc, nullptr);
    EXPECT_EQ(acc.Role(), ROLE_SYSTEM_PAGETAB) << i;
    EXPECT_EQ((acc.State() & STATE_SYSTEM_SELECTED) != 0, i == 0) << i;
    EXPECT_EQ(acc.Name(), names[i]);  // the text without its "&"
  }
  SendMessageW(Item(kIdRadioButtonInternet), BM_CLICK, 0, 0);
  EXPECT_EQ(Accessible(Item(kIdRadioButtonInternet)).State() & STATE_SYSTEM_SELECTED,
            STATE_SYSTEM_SELECTED);
  EXPECT_EQ(Accessible(Item(kIdRadioButtonProgramm)).State() & STATE_SYSTEM_SELECTED, 0);
  // The active header is the row's one tab stop.
  EXPECT_TRUE(GetWindowLongPtrW(Item(kIdRadioButtonInternet), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongPtrW(Item(kIdRadioButtonProgramm), GWL_STYLE) & WS_TABSTOP);
}

// The letter that Alt takes to a control: the one after a single "&" of its text, in lower
// case; 0 for none. Labels that show "&" as it is (SS_NOPREFIX) have none.
wchar_t AccessKey(HWND hwnd) {
  if (ClassOf(hwnd) == L"Static" && (GetWindowLongPtrW(hwnd, GWL_STYLE) & SS_NOPREFIX)) return 0;
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  for (const wchar_t* c = text; *c; ++c) {
    if (*c != L'&') continue;
    if (c[1] == L'&') {
      ++c;
      continue;
    }
    return c[1] ? static_cast<wchar_t>(towlower(c[1])) : L'\0';
  }
  return L'\0';
}

BOOL CALLBACK CollectShown(HWND hwnd, LPARAM lp) {
  if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

TEST_F(Accessibility, AccessKeysAreUniqueOnEveryStepAndTab) {
  // The menu bar's letters belong to it on every step: the main window takes them first.
  MainChrome chrome;
  ASSERT_TRUE(chrome.Create(GetModuleHandleW(nullptr), parent_));
  std::vector<std::pair<wchar_t, std::wstring>> menuBar;
  for (int id : {kIdLabelMenuProgramm, kIdLabelMenuOptionen, kIdLabelMenuHilfe}) {
    ASSERT_NE(AccessKey(chrome.Control(id)), L'\0') << id;
    menuBar.emplace_back(AccessKey(chrome.Control(id)), art::WindowText(chrome.Control(id)));
  }
  const auto check = [&](const char* where) {
    std::vector<HWND> shown;
    EnumChildWindows(editor_->Handle(), CollectShown, reinterpret_cast<LPARAM>(&shown));
    std::vector<std::pair<wchar_t, std::wstring>> taken = menuBar;
    for (HWND control : shown) {
      const wchar_t key = AccessKey(control);
      if (!key) continue;
      const std::wstring text = art::WindowText(control);
      for (const auto& [other, otherText] : taken)
        if (other == key)
          ADD_FAILURE() << where << ": Alt+" << U8(std::wstring(1, key)) << " for both \""
                        << U8(otherText) << "\" and \"" << U8(text) << "\"";
      taken.emplace_back(key, text);
    }
  };
  const auto click = [&](int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); };
  const struct {
    int header;
    const char* where;
  } step1[] = {{kIdRadioButtonProgramm, "step 1, Programm"},
               {kIdRadioButtonInternet, "step 1, Internet"},
               {kIdRadioButtonSystem, "step 1, System"}},
    step2[] = {{kIdRadioButtonUhrzeit, "step 2, Uhrzeit"},
               {kIdRadioButtonMonth, "step 2, Monatstage"},
               {kIdRadioButtonWeek, "step 2, Wochentage"},
               {kIdRadioButtonLeerlauf, "step 2, Leerlauf"},
               {kIdRadioButtonChange, "step 2, Änderung"}};
  for (const auto& tab : step1) {
    click(tab.header);
    check(tab.where);
  }
  click(kIdFlatButtonWizardNext);
  for (const auto& tab : step2) {
    click(tab.header);
    check(tab.where);
  }
  click(kIdFlatButtonWizardNext);
  // A System task: the warning's field shows too.
  EXPECT_TRUE(IsWindowVisible(Item(kIdFlatCheckBoxTaskExtendedWarn)));
  check("step 3");
  click(kIdFlatButtonWizardNext);
  ASSERT_TRUE(IsWindowVisible(Item(kIdFlatEditTaskEndName)));
  check("step 4");
  DestroyWindow(parent_);  // before the chrome goes
  parent_ = nullptr;
}

TEST_F(Accessibility, AboutBoxLinksAreLinksNamedByTheirText) {
  TFormInfo info([](const std::wstring&) {});
  ASSERT_TRUE(info.Create(GetModuleHandleW(nullptr)));
  for (const auto& [id, name] : {std::pair{kIdLabelProductSite, std::wstring(kProductSite)},
                                 std::pair{kIdLabelEmail, std::wstring(kSupportEmail)}}) {
    const Accessible acc(info.Control(id));
    ASSERT_NE(acc.acc, nullptr) << id;
    EXPECT_EQ(acc.Role(), ROLE_SYSTEM_LINK) << id;
    EXPECT_EQ(acc.Name(), name) << id;
    EXPECT_TRUE(acc.State() & STATE_SYSTEM_LINKED) << id;
  }
}

TEST_F(Accessibility, ImageButtonsAndMenuLabelsHaveNamesAndRoles) {
  MainChrome chrome;
  ASSERT_TRUE(chrome.Create(GetModuleHandleW(nullptr), parent_));
  const struct {
    int id;
    long role;
    const wchar_t* name;
  } expected[] = {{kIdImageMinimizeMove, ROLE_SYSTEM_PUSHBUTTON, L"Minimieren"},
                  {kIdImageHelpMove, ROLE_SYSTEM_PUSHBUTTON, L"Hilfe"},
                  {kIdImageMinimize, ROLE_SYSTEM_GRAPHIC, L"Minimieren"},
                  {kIdImageHelp, ROLE_SYSTEM_GRAPHIC, L"Hilfe"},
                  {kIdLabelMenuProgramm, ROLE_SYSTEM_MENUITEM, nullptr},
                  {kIdLabelMenuOptionen, ROLE_SYSTEM_MENUITEM, nullptr},
                  {kIdLabelMenuHilfe, ROLE_SYSTEM_MENUITEM, nullptr}};
  for (const auto& e : expected) {
    const Accessible acc(chrome.Control(e.id));
    ASSERT_NE(acc.acc, nullptr) << e.id;
    EXPECT_EQ(acc.Role(), e.role) << e.id;
    if (e.name) {
      EXPECT_EQ(acc.Name(), e.name) << e.id;
    }
  }
  EXPECT_TRUE(Accessible(chrome.Control(kIdLabelMenuHilfe)).State() & STATE_SYSTEM_HASPOPUP);
  DestroyWindow(parent_);  // before the chrome goes
  parent_ = nullptr;
}

}  // namespace
}  // namespace orv
