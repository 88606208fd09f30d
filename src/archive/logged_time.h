#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/log_date.h"

namespace norvale {

// A logged time as the archive keys it: the meter's own clock, which knows no time zone, as
// seconds since 1970-01-01 00:00 of that clock. Years 1 to 9999.
int64_t LoggedAtOf(const LogDate& date, const LogTime& time);

struct LoggedStamp {
  LogDate date;
  LogTime time;
};
// The date and time of a logged time; one outside years 1 to 9999 comes back as the nearest
// end of that range.
LoggedStamp StampOf(int64_t loggedAt);

// The time a download's date text names ("3/6/2021 1:30:00 PM", or "11/4/2019" for midnight),
// only when the text is exactly what GeneralDateText writes for that time.
std::optional<int64_t> LoggedAtOfGeneralDateText(std::string_view text);

// ISO 8601 without a zone, as the meter's clock has it: "2024-02-28T23:05:00".
std::string IsoText(int64_t loggedAt);
// The time "2024-02-28", "2024-02-28T23:05" or "2024-02-28T23:05:00" names.
std::optional<int64_t> LoggedAtOfIsoText(std::string_view text);

// The time a handheld import's date text names: "03/06/2021 13:30", every field two digits,
// 24-hour clock.
std::optional<int64_t> LoggedAtOfHandheldDateText(std::string_view text);

}  // namespace norvale
