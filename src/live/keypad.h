#pragma once

#include <string>
#include <string_view>

namespace norvale {

// The key code each of the sixteen keypad buttons (index 0..15) sends: digits, "." (help),
// "N" (up/next), "L" (down), "M" (menu), "E" (enter), "F" (2nd). 0 for another index.
char KeyCodeOf(int buttonIndex);

// The meter's display text as shown: every byte of code 10 or less, or 254 or more, becomes
// byte 157; all others stay.
std::string MaskDisplayText(std::string_view text);

}  // namespace norvale
