#pragma once

#include <string>
#include <string_view>

namespace norvale {

// The meter pads its fixed-width texts (channel names) with bytes 254 and 255; this drops
// every such byte wherever it stands and keeps all others, spaces included, in order.
std::string StripFillBytes(std::string_view text);

}  // namespace norvale
