#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "records/log_date.h"

namespace norvale {

// A log record of the handheld database, 32 bytes:
//
//   0-1  AA 55      marker              22  year   BCD, 2000 + yy
//   2-5  -                              23  month  binary 1..12
//   6    module ID (the meter's Modbus) 24  day    BCD
//   7    kind: 0x10 x k for channel k   25  hour   BCD
//   8-17 channel name, fill 254/255     26  minute BCD
//   18-21 -                             27-30 value, meter float, most significant first
//                                       31  -
inline constexpr size_t kHandheldRecordSize = 32;

bool HasRecordMarker(std::string_view record);
int ModuleIdOf(std::string_view record);
// Channel 1..8 of the record's kind byte; 0 for any other kind.
int ChannelOf(std::string_view record);
// The ten name bytes without fill.
std::string ChannelNameOf(std::string_view record);
// The five date and time bytes (22 to 26): records with the same ones have the same stamp.
std::string_view StampBytesOf(std::string_view record);
// Nothing when the bytes do not form a date (or a time) that exists.
std::optional<LogDate> DateOf(std::string_view record);
std::optional<LogTime> TimeOf(std::string_view record);
double ValueOf(std::string_view record);

// "mm/dd/yyyy hh:mm", 24-hour clock.
std::string HandheldDateText(const LogDate& date, const LogTime& time);

}  // namespace norvale
