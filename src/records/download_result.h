#pragma once

#include <cstdint>

namespace norvale {

// Result codes of the log fillers (meter download and handheld import). The numbers are the
// ones the fillers have always returned; callers map them to status texts and exit codes.
enum class DownloadResult : int16_t {
  kLogRead = 0,
  kNothingToRead = 1,
  kDatabaseMissing = 2,
  kDownloadError = 4,
  // A handheld database that is there but cannot be opened or read.
  kDatabaseUnreadable = 5,
  // A file with neither a record nor a handheld database's header (the command line's reading).
  kNotHandheldDatabase = 6,
};

}  // namespace norvale
