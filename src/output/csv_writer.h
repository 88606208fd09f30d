#pragma once

#include <string>

#include "output/record_table.h"

namespace norvale {

// Stores the record table as the log file at path (a bare name lands in the current folder):
// one line per row from 1 (the titles) to LastRow, each the text of column 1 followed by ","
// and column k + 1 for every used channel k, cells exactly as stored (no quoting, no BOM),
// every line ended by CR LF.
//
// The file is replaced as ReplaceFile does: only once written whole, the old contents kept on
// any failure, failureText then getting the system's description of it ("No such file or
// directory", "No space left on device", ...) and the result false. A LastRow past the table's
// last row (65534) is such a failure, found before anything is written.
//
// Two kinds of target cannot be replaced by renaming and are written in place instead
// (WriteFileInPlace):
//   - an existing target that is not a regular file (a device such as /dev/full, a pipe);
//   - an existing regular file in a folder where no temporary file may be created.
// An existing file the user may not write is refused ("Permission denied"), as writing in place
// would be.
bool WriteLogFile(const RecordTable& table, const std::string& path, std::string& failureText);

// Stores the table as a new file, never over an existing one, as StoreNewFile does: under
// `name`, else the first free of name-2, name-3, ..., writtenName getting the name taken. A name
// that is a folder, or ends in "/", fails with "Is a directory".
bool WriteNewLogFile(const RecordTable& table, const std::string& name, std::string& writtenName,
                     std::string& failureText);

}  // namespace norvale
