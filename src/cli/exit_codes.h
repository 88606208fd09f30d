#pragma once

#include "records/download_result.h"

namespace norvale {

struct DownloadOutcome;

// norvale-cli's exit status, as the "Exit status" of its help lists it. Scripts and the
// service's timer tell the outcomes apart by these numbers, so they never change.
inline constexpr int kExitSuccess = 0;  // help, version, ids, a live poll answered
inline constexpr int kExitFileWritten = kExitSuccess;
inline constexpr int kExitNothingToRead = 1;
inline constexpr int kExitDatabaseMissing = 2;
// Also a file that is no handheld database, a live meter that never answered, a CSV file that
// plot cannot read.
inline constexpr int kExitDownloadError = 3;
// Also the trace file, plot's image, and norvale-plot not found.
inline constexpr int kExitFileError = 4;
inline constexpr int kExitCouldNotConnect = 5;
inline constexpr int kExitUsage = 64;  // EX_USAGE of sysexits.h

// A run that SIGINT or SIGTERM ended early exits as a shell reports a signal: 128 + its number,
// so 130 and 143.
constexpr int ExitCodeOfSignal(int signal) { return 128 + signal; }

// A log filler's result code (import, ids; a download's too) as an exit status.
int ExitCodeOfResult(DownloadResult result);
// A download's or an import's: a log that was read but whose CSV file could not be written is
// a file error.
int ExitCodeOf(const DownloadOutcome& outcome);

}  // namespace norvale
