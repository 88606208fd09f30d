#include "download/download_commands.h"

#include <string>

#include "download/meter_log_download.h"
#include "output/csv_writer.h"
#include "output/log_file_location.h"
#include "records/download_result.h"

namespace norvale {
namespace {

constexpr int kSinceLastTimeAttempts = 4;

}  // namespace

DownloadCommands::DownloadCommands(MeterLink& link, const SettingsRecord& settings,
                                   RecordTable& records, DownloadView& view,
                                   DownloadButtons& buttons)
    : link_(link), settings_(settings), records_(records), view_(view), buttons_(buttons) {}

DownloadOutcome ReportFillerResult(DownloadResult result, const RecordTable& records,
                                   const SettingsRecord& settings, DownloadView& view) {
  DownloadOutcome outcome{result, false};
  switch (result) {
    case DownloadResult::kLogRead: {
      view.setStatusText("Completed Download.");
      view.setProgress(100);
      std::string failure;
      const std::string target = LogFileTarget(settings.LogFilePath, settings.LogFileFolder);
      std::string written = target;
      outcome.fileWritten = settings.LogFileKeepsOthers
                                ? WriteNewLogFile(records, target, written, failure)
                                : WriteLogFile(records, target, failure);
      if (outcome.fileWritten) {
        view.setWrittenFile(AbsoluteFileName(written));
      }
      // The system's own words first, then the fixed text the user knows.
      if (!outcome.fileWritten) view.showWriteFailure(target, failure);
      view.setStatusText(outcome.fileWritten ? "Finished. Data in File"
                                             : "Error putting into file!!");
      break;
    }
    case DownloadResult::kNothingToRead:
      view.setStatusText("0 Records Available");
      break;
    case DownloadResult::kDatabaseMissing:
      view.setStatusText("Could not find Palm DataFile!!");
      break;
    default:
      view.setStatusText("Error in Downloading!!");
      break;
  }
  return outcome;
}

DownloadOutcome ReportStopped(DownloadResult result, DownloadView& view) {
  view.setStatusText("Download stopped");
  return {result, false, true};
}

DownloadOutcome DownloadCommands::ReportResult(DownloadResult result) {
  return ReportFillerResult(result, records_, settings_, view_);
}

DownloadOutcome DownloadCommands::DownloadData() {
  StoppableWork work(link_.pump());
  view_.setStatusText("Downloading");
  buttons_.setDownloadDataEnabled(false);
  records_.clearCells();
  StallWatch watch(link_);
  DownloadResult result = DownloadMeterLog(link_, settings_, records_, view_, false, watch);
  DownloadOutcome outcome = work.stopped() ? ReportStopped(result, view_) : ReportResult(result);
  buttons_.setDownloadDataEnabled(true);
  return outcome;
}

DownloadOutcome DownloadCommands::SinceLastTime() {
  StoppableWork work(link_.pump());
  view_.setStatusText("Last Time Downloading");
  buttons_.setDownloadDataEnabled(false);
  buttons_.setSinceLastTimeEnabled(false);
  records_.clearCells();
  DownloadOutcome outcome;
  // One watch for all attempts: a repeat that only reads the status again is no progress.
  StallWatch watch(link_);
  for (int attempts = 1;; ++attempts) {
    const DownloadResult result = DownloadMeterLog(link_, settings_, records_, view_, true, watch);
    if (work.stopped()) {
      outcome = ReportStopped(result, view_);
      break;
    }
    outcome = ReportResult(result);
    bool retry = (outcome.result == DownloadResult::kLogRead && !outcome.fileWritten) ||
                 (outcome.result != DownloadResult::kLogRead &&
                  outcome.result != DownloadResult::kNothingToRead);
    if (!retry || attempts >= kSinceLastTimeAttempts || watch.stalled()) break;
  }
  buttons_.setDownloadDataEnabled(true);
  buttons_.setSinceLastTimeEnabled(true);
  return outcome;
}

}  // namespace norvale
