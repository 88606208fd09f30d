#pragma once

#include <cstdint>
#include <string>

namespace norvale {

class Archive;

// Writes the meter's logged times from first to last (both included) as a log file at path, in
// the form WriteLogFile gives a downloaded table: the title line of the meter's latest channel
// names, then a line per logged time, oldest first, CR LF after each. Any number of times, where
// a table holds 65,533.
//
// The file is replaced only once written whole (ReplaceFile): on any failure the old one stays,
// failureText says why and the result is false. A meter the archive does not know is a failure.
bool WriteArchiveExport(Archive& archive, const std::string& meter, int64_t first, int64_t last,
                        const std::string& path, std::string& failureText);

}  // namespace norvale
