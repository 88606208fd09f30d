#include "handheld/handheld_commands.h"

#include <string>

#include "handheld/database_header.h"
#include "records/download_result.h"

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
  const DownloadResult result =
      checkedResult(ReadHandheldDatabase(context, separateByModuleId), context);
  DownloadOutcome outcome{result, false};
  if (work.stopped()) {
    outcome = ReportStopped(result, view_);
  } else if (refuseEmpty_ && result == DownloadResult::kLogRead && separateByModuleId &&
             context.records.LastRow <= 1) {
    outcome.result = DownloadResult::kNothingToRead;
    view_.setStatusText("no records for module " + std::to_string(SelectedModuleId(context.ids)));
  } else if (result != DownloadResult::kNotHandheldDatabase) {
    outcome = ReportFillerResult(result, context.records, settings_, view_);
  }
  buttons_.setDownloadDataEnabled(true);
  return outcome;
}

DownloadResult HandheldCommands::checkedResult(DownloadResult result,
                                               const HandheldContext& context) const {
  if (!refuseEmpty_ || result != DownloadResult::kNothingToRead) return result;
  if (context.file.open(context.path) != HandheldFile::Opened::Yes) return result;
  // An empty file counts as an empty database.
  const bool database = context.file.size() == 0 || HasDatabaseHeader(context.file);
  context.file.close();
  return database ? result : DownloadResult::kNotHandheldDatabase;
}

DownloadResult HandheldCommands::GetIdList(const HandheldContext& context) {
  StoppableWork work(context.pump);
  view_.setStatusText("Reading Palm DataBase");
  buttons_.setDownloadDataEnabled(false);
  const DownloadResult result = checkedResult(GetModuleIdList(context), context);
  if (work.stopped()) {
    ReportStopped(result, view_);
    buttons_.setDownloadDataEnabled(true);
    return result;
  }
  switch (result) {
    case DownloadResult::kLogRead:
      view_.setStatusText("Finished Reading");
      view_.setProgress(100);
      break;
    case DownloadResult::kNothingToRead:
      view_.setStatusText("0 Records Available");
      break;
    case DownloadResult::kDatabaseMissing:
      view_.setStatusText("Could not find Palm DataFile!!");
      break;
    case DownloadResult::kNotHandheldDatabase:
      break;
    default:
      view_.setStatusText("Error!!");
      break;
  }
  buttons_.setDownloadDataEnabled(true);
  return result;
}

}  // namespace norvale
