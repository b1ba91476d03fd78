// The two questions of the job tick: TFormConfirm ("may this task run now?") and TFormRecover
// ("make up this missed run now?"). One borderless, topmost, rounded window each, drawn with
// the skin, created once at start-up, hidden, and reused for every question. They belong to no
// other window: whatever happens to the main window (minimised into the notification area,
// closed to it, already there), an open question stays on screen, with its own taskbar button
// and a place in Alt+Tab, until it is answered.
//
// Each holds an answer code (kAnswerNone, kAnswerYes, kAnswerNo: exec/prompter.h) that only its
// "Ja" and "Nein" buttons set, and a check box "Dieses Fenster nicht mehr anzeigen." that
// starts unticked and that the program never clears. A dialog left any other way while a
// question is open (Escape, Alt+F4, WM_CLOSE, the end of the session, hidden or destroyed by
// someone else) is "dismissed": Win32Prompter then answers "Nein".
#pragma once

#include <windows.h>

#include <string>

#include "ui/skin.h"
#include "ui/win/dpi.h"
#include "ui/win/window.h"

namespace orv {

// Window classes, known to the end-to-end driver too.
inline constexpr wchar_t kConfirmWindowClass[] = L"TFormConfirm";
inline constexpr wchar_t kRecoverWindowClass[] = L"TFormRecover";

// Control IDs of the confirmation dialog.
enum ConfirmControlId : int {
  kIdConfirmTitle = 1101,
  kIdLabelConfirm1 = 1102,  // first line, set for each question
  kIdLabelConfirm2 = 1103,
  kIdFlatButtonYesConfirm = 1104,
  kIdFlatButtonNoConfirm = 1105,
  kIdFlatCheckBoxConfirm = 1106,
};

// Control IDs of the recovery dialog.
enum RecoverControlId : int {
  kIdRecoverTitle = 1201,
  kIdLabelRecover1 = 1202,  // first line, set for each question
  kIdLabelRecover2 = 1203,
  kIdFlatButtonYesRecover = 1204,
  kIdFlatButtonNoRecover = 1205,
  kIdFlatCheckBoxRecover = 1206,
};

// What tells the two dialogs apart.
struct QuestionForm {
  const wchar_t* windowClass;
  int width, height;       // pixels at 96 dpi
  const char* title;       // UTF-8
  const char* secondLine;  // UTF-8
  wchar_t badge;           // the sign in the title band
  int idTitle, idLine1, idLine2, idYes, idNo, idCheckBox;
};

class QuestionDialog : public win::Window<QuestionDialog> {
 public:
  // Layout at 96 dpi, in client coordinates.
  static constexpr int kBandHeight = 38;
  static constexpr POINT kTitleAt{42, 9};  // 20 high, up to 14 pixels before the right edge
  static constexpr RECT kLine1Rect{30, 55, 30 + 290, 55 + 30};
  static constexpr RECT kLine2Rect{30, 103, 30 + 290, 103 + 30};
  static constexpr RECT kYesRect{86, 147, 86 + 85, 147 + 25};
  static constexpr RECT kNoRect{178, 147, 178 + 85, 147 + 25};
  static constexpr RECT kCheckBoxRect{30, 193, 30 + 290, 193 + 17};

  // `mainSkin` is the main window's: a question opens at its dpi. The dialog draws with a skin
  // of its own, which follows the dialog's dpi.
  QuestionDialog(const QuestionForm& form, const skin::Skin& mainSkin);
  virtual ~QuestionDialog();
  QuestionDialog(const QuestionDialog&) = delete;
  QuestionDialog& operator=(const QuestionDialog&) = delete;

  // Makes the hidden window. `owner` is the main window, which the dialog is centred over
  // while it shows; the dialog is not owned by it. Call once, on the user-interface thread.
  bool Create(HINSTANCE instance, HWND owner);
  const QuestionForm& Form() const { return form_; }
  HWND Control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }

  // Puts a new question: answer code 0, `firstLine` as the first line, centred over the owner,
  // shown on top of all other windows with the keyboard focus on the check box. Returns the
  // question's number, which changes with every question.
  unsigned Begin(const std::string& firstLine);
  // Hides the dialog without an answer (the program is ending).
  void Withdraw();

  unsigned Question() const { return question_; }
  int AnswerCode() const { return answer_; }
  bool Dismissed() const { return dismissed_; }
  bool CheckBoxTicked() const;
  // The question is open and its window visible.
  bool Showing() const;

 private:
  friend class win::Window<QuestionDialog>;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  void FormPaint();
  void FormActivate(WPARAM wp);
  void FormCommand(int id, int code);
  void FlatButtonClick(int answer);
  void Dismiss();
  void CentreOverOwner();
  // Fonts, places, size, outline and icons at `dpi`; at the top left of `suggested` where
  // WM_DPICHANGED gives one.
  void ApplyDpi(win::Dpi dpi, const RECT* suggested);
  void FitLabel(int id, const std::wstring& text, const RECT& rect96, int roomBottom96);

  QuestionForm form_;
  const skin::Skin& mainSkin_;
  skin::Skin skin_;  // at the dialog's dpi
  HINSTANCE instance_ = nullptr;
  HWND owner_ = nullptr;
  HWND lastFocus_ = nullptr;  // focus to give back when the dialog is activated again
  win::ChildLayout layout_;   // the controls' places at 96 dpi
  win::WindowIcons icons_;    // on its taskbar button
  unsigned question_ = 0;
  int answer_ = 0;
  bool asking_ = false;       // a question is open and not yet answered or dismissed
  bool dismissed_ = false;
};

class TFormConfirm : public QuestionDialog {
 public:
  explicit TFormConfirm(const skin::Skin& mainSkin);
};

class TFormRecover : public QuestionDialog {
 public:
  explicit TFormRecover(const skin::Skin& mainSkin);
};

}  // namespace orv
