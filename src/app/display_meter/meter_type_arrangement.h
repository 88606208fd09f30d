#pragma once

namespace norvale {

struct WindowControls;

// What selecting meter-type option `option` (0..3) does to the "Display Meter " tab: which
// panels show, which timers stop or start; the four value boxes are emptied in every case.
void ArrangeMeterType(const WindowControls& controls, int option);

}  // namespace norvale
