#include "handheld/handheld_commands.h"

#include "download/download_result.h"

namespace norvale {

HandheldCommands::HandheldCommands(const SettingsRecord& settings, DownloadView& view,
                                   DownloadButtons& buttons)
    : settings_(settings), view_(view), buttons_(buttons) {}

std::optional<DownloadOutcome> HandheldCommands::ImportData(const HandheldContext& context,
                                                            bool separateByModuleId) {
  if (separateByModuleId && context.ids.text().empty()) {
    view_.setStatusText("Enter ModID");
    return std::nullopt;
  }
  StoppableWork work(context.pump);
  view_.setStatusText("Reading Palm DataBase");
  buttons_.setDownloadDataEnabled(false);
  context.records.clearCells();
  int16_t result = ReadHandheldDatabase(context, separateByModuleId);
  DownloadOutcome outcome = work.stopped()
                                ? ReportStopped(result, view_)
                                : ReportFillerResult(result, context.records, settings_, view_);
  buttons_.setDownloadDataEnabled(true);
  return outcome;
}

int16_t HandheldCommands::GetIdList(const HandheldContext& context) {
  StoppableWork work(context.pump);
  view_.setStatusText("Reading Palm DataBase");
  buttons_.setDownloadDataEnabled(false);
  int16_t result = GetModuleIdList(context);
  if (work.stopped()) {
    ReportStopped(result, view_);
    buttons_.setDownloadDataEnabled(true);
    return result;
  }
  switch (result) {
    case kLogRead:
      view_.setStatusText("Finished Reading");
      view_.setProgress(100);
      break;
    case kNothingToRead:
      view_.setStatusText("0 Records Available");
      break;
    case kDatabaseMissing:
      view_.setStatusText("Could not find Palm DataFile!!");
      break;
    default:
      view_.setStatusText("Error!!");
      break;
  }
  buttons_.setDownloadDataEnabled(true);
  return result;
}

}  // namespace norvale
