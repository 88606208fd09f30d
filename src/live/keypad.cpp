#include "live/keypad.h"

#include <array>

namespace norvale {
namespace {

constexpr std::array<char, 16> kKeyCodes = {'1', '2', '3', '.', '4', '5', '6', 'N',
                                            '7', '8', '9', 'L', 'M', '0', 'E', 'F'};
constexpr unsigned char kMaskedByte = 157;

}  // namespace

char KeyCodeOf(int buttonIndex) {
  return buttonIndex >= 0 && buttonIndex < static_cast<int>(kKeyCodes.size())
             ? kKeyCodes[buttonIndex]
             : '\0';
}

std::string MaskDisplayText(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    auto code = static_cast<unsigned char>(c);
    if (code <= 10 || code >= 254) c = static_cast<char>(kMaskedByte);
  }
  return shown;
}

}  // namespace norvale
