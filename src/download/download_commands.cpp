#include "download/download_commands.h"

#include <string>

#include "download/download_result.h"
#include "download/meter_log_download.h"
#include "output/csv_writer.h"

namespace norvale {
namespace {

constexpr int kSinceLastTimeAttempts = 4;

}  // namespace

DownloadCommands::DownloadCommands(MeterLink& link, const SettingsRecord& settings,
                                   RecordTable& records, DownloadView& view,
                                   DownloadButtons& buttons)
    : link_(link), settings_(settings), records_(records), view_(view), buttons_(buttons) {}

bool DownloadCommands::writeFile() {
  std::string failure;
  if (WriteLogFile(records_, settings_.LogFilePath, failure)) return true;
  // The system's own words first, then the fixed text the user knows.
  view_.setStatusText(failure);
  return false;
}

DownloadOutcome DownloadCommands::ReportResult(int16_t result) {
  DownloadOutcome outcome{result, false};
  switch (result) {
    case kLogRead:
      view_.setStatusText("Completed Download.");
      view_.setProgress(100);
      outcome.fileWritten = writeFile();
      view_.setStatusText(outcome.fileWritten ? "Finished. Data in File"
                                              : "Error putting into file!!");
      break;
    case kNothingToRead:
      view_.setStatusText("0 Records Available");
      break;
    case kDatabaseMissing:
      view_.setStatusText("Could not find Palm DataFile!!");
      break;
    default:
      view_.setStatusText("Error in Downloading!!");
      break;
  }
  return outcome;
}

DownloadOutcome DownloadCommands::DownloadData() {
  view_.setStatusText("Downloading");
  buttons_.setDownloadDataEnabled(false);
  records_.clearCells();
  int16_t result = DownloadMeterLog(link_, settings_, records_, view_, false);
  DownloadOutcome outcome = ReportResult(result);
  buttons_.setDownloadDataEnabled(true);
  return outcome;
}

DownloadOutcome DownloadCommands::SinceLastTime() {
  view_.setStatusText("Last Time Downloading");
  buttons_.setDownloadDataEnabled(false);
  buttons_.setSinceLastTimeEnabled(false);
  records_.clearCells();
  DownloadOutcome outcome;
  for (int attempts = 1;; ++attempts) {
    outcome = ReportResult(DownloadMeterLog(link_, settings_, records_, view_, true));
    bool retry = (outcome.result == kLogRead && !outcome.fileWritten) ||
                 (outcome.result != kLogRead && outcome.result != kNothingToRead);
    if (!retry || attempts >= kSinceLastTimeAttempts) break;
  }
  buttons_.setDownloadDataEnabled(true);
  buttons_.setSinceLastTimeEnabled(true);
  return outcome;
}

}  // namespace norvale
