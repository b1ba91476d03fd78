// The about box TFormInfo and GetFileVersion, which reads a file's version record.
//
// The box is a small skinned, shaped, always-on-top window, created hidden at start-up and
// shown modeless by "&Info". It shows the product name, the version of the running executable
// and two links. A click anywhere but on a link hides it; it is never shown twice.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/artwork.h"
#include "ui/win/dpi.h"
#include "ui/win/gdi.h"
#include "ui/win/window.h"

namespace orv {

inline constexpr wchar_t kInfoWindowClass[] = L"TFormInfo";

// Labels of the about box, known to the end-to-end driver too.
enum InfoControlId : int {
  kIdLabelInfo1 = 1301,
  kIdLabelVersion = 1302,
  kIdLabelInfo2 = 1303,
  kIdLabelInfo3 = 1304,
  kIdLabelProductSite = 1305,
  kIdLabelInfo5 = 1306,
  kIdLabelEmail = 1307,
  kIdImageIcon = 1308,
};

// The about box's shape: nine rectangles in window coordinates, right and bottom exclusive.
inline constexpr RECT kInfoWindowShape[9] = {
    {6, 0, 345, 1},   {4, 1, 347, 2},     {3, 2, 348, 3},     {2, 3, 349, 5},   {1, 5, 351, 245},
    {2, 245, 349, 247}, {3, 247, 348, 248}, {4, 248, 347, 249}, {6, 249, 345, 250}};

// The product's web site and support address: our own, under a reserved example domain.
inline constexpr wchar_t kProductSite[] = L"https://www.orvalis-planer.example";
inline constexpr wchar_t kSupportEmail[] = L"support@orvalis-planer.example";

// The version record of the file at `path`: major, minor, release and build of its file
// version. Without a version record the outputs are left as they are.
void GetFileVersion(const std::wstring& path, int& major, int& minor, int& release, int& build);
// "v" and the four numbers joined by points: "v1.1.0.0"; "v0.0.0.0" without a version record.
std::wstring FileVersionText(const std::wstring& path);
// The running executable's full path.
std::wstring ExecutablePath();

class TFormInfo : public win::Window<TFormInfo> {
 public:
  static constexpr int kWidth = 350;
  static constexpr int kHeight = 250;

  // Opens a link target (a web address, "mailto:..."); by default ShellExecuteW "open".
  using Opener = std::function<void(const std::wstring& target)>;

  TFormInfo();
  explicit TFormInfo(Opener opener);
  ~TFormInfo();
  TFormInfo(const TFormInfo&) = delete;
  TFormInfo& operator=(const TFormInfo&) = delete;

  // Makes the hidden window. Call once, on the user-interface thread.
  bool Create(HINSTANCE instance);
  HWND Control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }

  // Shows the box on top of all windows at `dpi`, the dpi of the window `over` it opens over
  // (the main window, shown or hidden in the notification area), centred in the work area of
  // that window's monitor; when it is shown already, only brings it to the front. Without a
  // window: at the system's dpi on the primary monitor.
  void Show(HWND over, win::Dpi dpi);
  void Show() { Show(nullptr, win::Dpi::OfSystem()); }

  // Event handlers.
  void CoolFormInfoClick();  // hides the box
  void LabelProductSiteClick();
  void LabelEmailClick();

 private:
  friend class win::Window<TFormInfo>;
  static LRESULT CALLBACK LinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                   DWORD_PTR ref);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  HWND Label(int id, const std::wstring& text, const RECT& rect, HFONT font, COLORREF colour,
             UINT format, bool link);
  // Fonts, icons, shape, skin, the labels' places and colours, and the window's size for `dpi`
  // and the current colours.
  void ApplyDpi(win::Dpi dpi);

  Opener opener_;
  HINSTANCE instance_ = nullptr;
  HICON smallIcon_ = nullptr, bigIcon_ = nullptr;
  win::Font font_, boldFont_, headingFont_, linkFont_;
  std::unique_ptr<art::SkinBitmap> skinBitmap_;
  art::Surface surface_{nullptr};
  bool pressed_ = false;  // the left button went down on the box
  win::Dpi dpi_;
  win::ChildLayout layout_;  // the labels' places at 96 dpi
};

}  // namespace orv
