// The export and import windows as real windows, run modally and driven by keys from inside
// their own message loop: Space ticks a row (not one that cannot be chosen), Enter presses the
// focused button or the first from the list, Tab moves on, Escape cancels.
#include "ui/TransferDialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "ui/skin.h"

namespace orv::testing {
namespace {

// The keys to send, one per timer tick, to whatever has the focus in the open window.
std::vector<WPARAM> g_keys;
std::size_t g_next = 0;

void CALLBACK SendNextKey(HWND, UINT, UINT_PTR, DWORD) {
  HWND window = FindWindowW(kTransferWindowClass, nullptr);
  if (!window || !IsWindowVisible(window) || g_next >= g_keys.size()) return;
  HWND focus = GetFocus();
  const WPARAM key = g_keys[g_next++];
  PostMessageW(focus ? focus : window, WM_KEYDOWN, key, 1);
  PostMessageW(focus ? focus : window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

class TransferDialogTest : public ::testing::Test {
 protected:
  // Runs the window with these keys; a key left over when it closes, or a window that stays,
  // fails the test.
  int Run(const TransferForm& form, std::vector<WPARAM> keys, std::vector<bool>* checked = nullptr) {
    g_keys = std::move(keys);
    g_keys.push_back(VK_ESCAPE);  // ends a window that ignored the keys before
    g_next = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, &SendNextKey);
    TransferDialog dialog(skin_, form);
    const int result = dialog.Run(GetModuleHandleW(nullptr), nullptr);
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_next, g_keys.size() - 1) << "the window closed on another key than the last";
    if (checked) *checked = dialog.Checked();
    return result;
  }

  static TransferForm ListForm() {
    TransferForm form;
    form.title = "Tasks importieren";
    form.text = "Die angehakten werden importiert.";
    form.columns = {{"Task", 150}, {"Nächster Start", 150}};
    form.checkBoxes = true;
    form.rows = {TransferRow{{"Alpha", "10 Minute(n)"}, true, true},
                 TransferRow{{"Kaputt", ""}, false, false},
                 TransferRow{{"Beta", "18:00"}, true, true}};
    form.buttons = {"Importieren", "Abbrechen"};
    return form;
  }

  skin::Skin skin_;
};

TEST_F(TransferDialogTest, SpaceTicksRowsThatCanBeChosenAndEnterPressesTheFirstButton) {
  std::vector<bool> checked;
  // Space on Alpha unticks it; Down, Space on Kaputt leaves it empty; Down, Space, Space on
  // Beta ticks it off and on again; Enter in the list: "Importieren".
  EXPECT_EQ(Run(ListForm(), {VK_SPACE, VK_DOWN, VK_SPACE, VK_DOWN, VK_SPACE, VK_SPACE, VK_RETURN},
                &checked),
            0);
  EXPECT_EQ(checked, (std::vector<bool>{false, false, true}));
}

TEST_F(TransferDialogTest, TabMovesToTheButtonsAndEscapeCancels) {
  // Tab twice: from the list to "Importieren", then "Abbrechen"; Enter presses it.
  EXPECT_EQ(Run(ListForm(), {VK_TAB, VK_TAB, VK_RETURN}), 1);
  EXPECT_EQ(Run(ListForm(), {VK_ESCAPE}), -1);

  TransferForm ask;
  ask.title = "Task bereits vorhanden";
  ask.text = "Es gibt bereits einen Task \"Alpha\".";
  ask.buttons = {"Ersetzen", "Beide behalten", "Überspringen"};
  ask.focusButton = 2;
  EXPECT_EQ(Run(ask, {VK_RETURN}), 2) << "the focus starts on \"Überspringen\"";
  EXPECT_EQ(Run(ask, {VK_TAB, VK_TAB, VK_RETURN}), 1) << "Tab goes round to the first button";
}

}  // namespace
}  // namespace orv::testing
