// The design's pale and grey texts stay readable: each against the colour it is painted on
// reaches the 4.5:1 contrast ratio of WCAG 2 for ordinary text. The colours are the program's
// own (ui/design_colours.h), so a change of the design that makes one too faint fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ui/design_colours.h"

namespace orv::testing {
namespace {

// Relative luminance of a 0x00BBGGRR colour (WCAG 2, sRGB).
double Luminance(std::uint32_t colour) {
  const auto channel = [](std::uint32_t v) {
    const double s = static_cast<double>(v & 0xFF) / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(colour) + 0.7152 * channel(colour >> 8) + 0.0722 * channel(colour >> 16);
}

double ContrastRatio(std::uint32_t a, std::uint32_t b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(DesignContrast, PaleAndGreyTextsReachFourAndAHalfToOne) {
  // The measure itself: black on white is 21:1, a colour on itself 1:1.
  EXPECT_NEAR(ContrastRatio(design::Rgb(0, 0, 0), design::Rgb(255, 255, 255)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(design::kWindow, design::kWindow), 1.0, 1e-9);

  // "Schritt N von 4" on the editor's page.
  EXPECT_GE(ContrastRatio(design::kStepLine, design::kWindow), 4.5);
  // The menu bar labels lie on the title band's gradient: readable at both of its ends, so at
  // every row between (each channel runs one way from top to bottom).
  EXPECT_GE(ContrastRatio(design::kMenuText, design::kBandTop), 4.5);
  EXPECT_GE(ContrastRatio(design::kMenuText, design::kBandBottom), 4.5);
}

}  // namespace
}  // namespace orv::testing
