#pragma once

#include <array>
#include <string_view>

namespace norvale {

// The baud rates a meter's port can take, slowest first: the window's baud options (in option
// order) and norvale-cli's --baud.
inline constexpr std::array<std::string_view, 7> kBaudRates = {"1200",  "2400",  "4800", "9600",
                                                               "14400", "19200", "38400"};

}  // namespace norvale
