// Where the selection dialog's buttons are, for tests that click them as a user would.
#pragma once

#include "tests/support/x_display.h"

namespace quillet::test {

// Buttons of the dialog, as offsets from its bottom-right corner (both are 110 pixels
// wide at the right end of the action area).
constexpr int kOkFromRight = 60;
constexpr int kCancelFromRight = 176;
constexpr int kButtonsFromBottom = 20;

// Clicks the button `fromRight` pixels left of the dialog's right edge.
inline void clickButton(WindowDriver& driver, unsigned long window, int fromRight) {
  const WindowGeometry geometry = driver.geometry(window);
  driver.click(window, geometry.width - fromRight, geometry.height - kButtonsFromBottom);
}

}  // namespace quillet::test
