#pragma once

#include <cstdint>
#include <optional>

#include "download/download_buttons.h"
#include "download/download_commands.h"
#include "download/download_view.h"
#include "handheld/handheld_import.h"
#include "link/settings_record.h"
#include "records/download_result.h"

namespace norvale {

// "Download Data" while "Use Palm DataBase" is ticked, and "Get ID List...": the import or the
// ID scan, reported in the status line. The import's result goes through the same table as a
// meter download, CSV file included. A stop asked for on the context's pump ends either at once,
// with "Download stopped" and no file written.
class HandheldCommands {
 public:
  HandheldCommands(const SettingsRecord& settings, DownloadView& view, DownloadButtons& buttons);

  // Nothing when "Modbus ID of meter" is chosen and the ID box is empty: the status line then
  // says "Enter ModID" and nothing else happens.
  std::optional<DownloadOutcome> ImportData(const HandheldContext& context,
                                            bool separateByModuleId);
  DownloadResult GetIdList(const HandheldContext& context);

  // The command line's stricter reading, where a script must not take a mistake for an empty
  // result: an import of one module that finds none of its records says "no records for module
  // N" and writes no file (kNothingToRead), and a file that holds no record and has no database
  // header is kNotHandheldDatabase, with no status of its own, for the caller to name the file.
  // The window keeps its rules: a file with the title line only, and "0 Records Available".
  void refuseEmptyResults() { refuseEmpty_ = true; }

 private:
  // kNotHandheldDatabase in place of kNothingToRead for a file that is no database.
  DownloadResult checkedResult(DownloadResult result, const HandheldContext& context) const;

  const SettingsRecord& settings_;
  DownloadView& view_;
  DownloadButtons& buttons_;
  bool refuseEmpty_ = false;
};

}  // namespace norvale
