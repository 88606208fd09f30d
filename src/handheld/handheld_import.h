#pragma once

#include <cstdint>
#include <string>

#include "download/download_view.h"
#include "handheld/handheld_file.h"
#include "handheld/module_id_box.h"
#include "link/event_pump.h"
#include "output/record_table.h"
#include "records/download_result.h"

namespace norvale {

// What the handheld readers work with: the file, the table and boxes they fill, and the pump
// they yield to.
struct HandheldContext {
  HandheldFile& file;
  std::string path;  // DatabasePath, in the system's own file-name encoding
  ModuleIdBox& ids;
  RecordTable& records;
  DownloadView& view;
  EventPump& pump;
};

// Imports the log records of the database into the table: all of them, or when
// `separateByModuleId` only those of the module ID the ID box selects (the others' IDs are added
// to the box). One row per logged time, "mm/dd/yyyy hh:mm" in column 1, channel k's value in
// column k + 1; channel names from the first record of each channel.
// Returns kLogRead, kNothingToRead (no record marker), kDatabaseMissing, kDatabaseUnreadable,
// or kDownloadError when the program ends during the import.
DownloadResult ReadHandheldDatabase(const HandheldContext& context, bool separateByModuleId);

// Adds the module IDs of the database's records to the ID box, first seen first, except the one
// its text selects. Touches no cell of the table; LastRow becomes 1. Same results.
DownloadResult GetModuleIdList(const HandheldContext& context);

}  // namespace norvale
