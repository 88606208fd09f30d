#pragma once

#include <string>

#include "link/meter_link.h"
#include "live/live_display_view.h"

namespace norvale {

// The remote keypad of the KX40: keys queue as they are pressed; each tick delivers at most the
// oldest one (written to register 208, kept and sent again until the meter acknowledges it),
// then reads the meter's four display lines back.
class KeypadCycle {
 public:
  // A button of the keypad, 0..15.
  void press(int buttonIndex);
  void RunTick(MeterLink& link, int slave, LiveDisplayView& view);

  // Keys pressed and not yet delivered, oldest first.
  std::string KeyQueue;
};

}  // namespace norvale
