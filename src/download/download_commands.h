#pragma once

#include <cstdint>
#include <string>

#include "download/download_buttons.h"
#include "download/download_view.h"
#include "link/meter_link.h"
#include "link/settings_record.h"
#include "output/record_table.h"
#include "records/download_result.h"

namespace norvale {

// How a button press ended: the filler's last result, whether the CSV file was written, and
// whether "Stop" ended it (then nothing was written).
struct DownloadOutcome {
  DownloadResult result = DownloadResult::kLogRead;
  bool fileWritten = false;
  bool stopped = false;
};

// A run ended by "Stop": the status line says so and the CSV file is left as it was.
DownloadOutcome ReportStopped(DownloadResult result, DownloadView& view);

// Turns a filler's result into the status line, writing the table as the CSV file on success.
// Shared by the meter download and the handheld import, which report through the same table.
DownloadOutcome ReportFillerResult(DownloadResult result, const RecordTable& records,
                                   const SettingsRecord& settings, DownloadView& view);

// The "Download Data" and "Since Last Time" presses: run the download, report its result in the
// status line and store the table as the CSV file. Shared by the window and the command line.
// A stop asked for on the link's pump (EventPump::requestCancel) ends the run at once.
class DownloadCommands {
 public:
  DownloadCommands(MeterLink& link, const SettingsRecord& settings, RecordTable& records,
                   DownloadView& view, DownloadButtons& buttons);

  // "Download Data" from the meter.
  DownloadOutcome DownloadData();
  // "Since Last Time": up to four downloads while the download or the file write fails.
  DownloadOutcome SinceLastTime();
  DownloadOutcome ReportResult(DownloadResult result);

 private:
  MeterLink& link_;
  const SettingsRecord& settings_;
  RecordTable& records_;
  DownloadView& view_;
  DownloadButtons& buttons_;
};

}  // namespace norvale
