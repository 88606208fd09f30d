#pragma once

#include <cstdint>

namespace norvale {

// Result codes of the log fillers (meter download and handheld import).
inline constexpr int16_t kLogRead = 0;
inline constexpr int16_t kNothingToRead = 1;
inline constexpr int16_t kDatabaseMissing = 2;
inline constexpr int16_t kDownloadError = 4;
// A handheld database that is there but cannot be opened or read.
inline constexpr int16_t kDatabaseUnreadable = 5;
// A file with neither a record nor a handheld database's header (the command line's reading).
inline constexpr int16_t kNotHandheldDatabase = 6;

}  // namespace norvale
