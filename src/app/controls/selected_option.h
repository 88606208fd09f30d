#pragma once

#include <cstddef>

namespace norvale {

// The position of the checked button in an array of option buttons; -1 when none is checked.
int SelectedIndex(const auto& options) {
  for (size_t i = 0; i < options.size(); ++i) {
    if (options[i] && options[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace norvale
