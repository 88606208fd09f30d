#pragma once

#include <cstdint>

#include "download/download_view.h"
#include "download/stall_watch.h"
#include "link/meter_link.h"
#include "link/settings_record.h"
#include "output/record_table.h"
#include "records/download_result.h"

namespace norvale {

// Reads the meter's log (all of it, or what was logged since the previous download) into the
// record table: status block, channel set-up records, then the log memory block by block.
// Returns kLogRead, kNothingToRead or kDownloadError.
DownloadResult DownloadMeterLog(MeterLink& link, const SettingsRecord& settings,
                                RecordTable& records, DownloadView& view, bool SinceLastTime);
// The same, given up with kDownloadError once `watch` has seen no progress for its limit (looked
// at before each read of the meter).
DownloadResult DownloadMeterLog(MeterLink& link, const SettingsRecord& settings,
                                RecordTable& records, DownloadView& view, bool SinceLastTime,
                                StallWatch& watch);

}  // namespace norvale
