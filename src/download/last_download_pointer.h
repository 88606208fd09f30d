#pragma once

#include "download/log_pointer.h"
#include "link/meter_link.h"

namespace norvale {

// Function 97: the log position the meter says the previous download reached. No resend; the
// reply must be complete within 5 s and pass its CRC.
bool ReadLastDownloadPointer(MeterLink& link, int slave, LogPointer& pointer);

}  // namespace norvale
