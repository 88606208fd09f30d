#include "cli/exit_codes.h"

#include "download/download_commands.h"
#include "records/download_result.h"

namespace norvale {

int ExitCodeOfResult(DownloadResult result) {
  using enum DownloadResult;
  switch (result) {
    case kLogRead:
      return kExitFileWritten;
    case kNothingToRead:
      return kExitNothingToRead;
    case kDatabaseMissing:
      return kExitDatabaseMissing;
    default:
      return kExitDownloadError;
  }
}

int ExitCodeOf(const DownloadOutcome& outcome) {
  if (outcome.result == DownloadResult::kLogRead && !outcome.fileWritten) return kExitFileError;
  return ExitCodeOfResult(outcome.result);
}

}  // namespace norvale
