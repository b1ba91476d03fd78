// The main window chrome's shared pieces: its subclass, title, menu measures and control
// kinds. Only the chrome's own files include this.
#pragma once

#include <windows.h>

#include "orvalis_version.h"

#include "ui/chrome.h"

namespace orv::chrome_parts {

inline constexpr UINT_PTR kChromeSubclass = 0x4F43;
inline constexpr wchar_t kTitleText[] = L"Orvalis v" ORV_VERSION_MAJOR_MINOR;
inline constexpr int kMenuImageColumn = 26;
inline constexpr int kMenuItemHeight = 22;
inline constexpr int kMenuSeparatorHeight = 7;

inline bool IsMenuLabel(int id) {
  return id == kIdLabelMenuProgramm || id == kIdLabelMenuOptionen || id == kIdLabelMenuHilfe;
}
inline bool IsHotArea(int id) { return id == kIdImageMinimizeMove || id == kIdImageHelpMove; }
inline bool IsTitleLabel(int id) { return id == kIdLabelWindowTitle || id == kIdLabelWindowTitleShadow; }

inline const MenuItemSpec* SpecOf(ULONG_PTR data) { return reinterpret_cast<const MenuItemSpec*>(data); }

}  // namespace orv::chrome_parts
