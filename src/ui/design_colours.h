// The design's grey and pale text colours and the colours they are painted on, as plain
// 0x00BBGGRR numbers (the layout of a COLORREF) without a Windows header, so that the portable
// unit tests can check that they stay readable. The skin, the artwork and the task editor take
// them from here.
#pragma once

#include <cstdint>

namespace orv::design {

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | (g << 8) | (b << 16);
}

// The background of the dialogs and of the task editor's pages.
inline constexpr std::uint32_t kWindow = Rgb(0xF6, 0xF7, 0xF9);
// The task editor's grey "Schritt N von 4" line, on kWindow.
inline constexpr std::uint32_t kStepLine = Rgb(0x5F, 0x66, 0x70);

// The main window's title band: a vertical gradient from kBandTop down to kBandBottom.
inline constexpr std::uint32_t kBandTop = Rgb(0x16, 0x3F, 0x69);
inline constexpr std::uint32_t kBandBottom = Rgb(0x0E, 0x2F, 0x52);
// The menu bar labels' text, on the band (lighter still under the mouse).
inline constexpr std::uint32_t kMenuText = Rgb(0x9C, 0xC0, 0xE8);

}  // namespace orv::design
