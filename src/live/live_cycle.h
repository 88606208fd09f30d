#pragma once

#include "link/meter_link.h"
#include "live/live_display_view.h"
#include "live/live_values.h"

namespace norvale {

// Function 99: the meter's present readings. True when the 26-byte reply came within its
// second (no resend) with a good CRC; ReplyText then holds the 20-byte block.
bool ReadLiveValues(MeterLink& link, int slave);

// One tick of the live display: poll, then write flow, velocity, forward total, the reverse total
// (KX60 only) and the alarms. An unanswered poll leaves every line as it was. True when answered.
bool RunLiveCycle(MeterLink& link, int slave, const LiveChoices& choices, LiveDisplayView& view);

}  // namespace norvale
