#pragma once

#include <string>

#include "output/record_table.h"

namespace norvale {

// Stores the record table as the log file at path (a bare name lands in the current folder):
// one line per row from 1 (the titles) to LastRow, each the text of column 1 followed by ","
// and column k + 1 for every used channel k, cells exactly as stored (no quoting, no BOM),
// every line ended by CR LF.
//
// The file is replaced only once it has been written whole: the lines go to a temporary file
// in the target's folder, which is flushed to disk and renamed over the target. On any failure
// the temporary file is removed, an existing file keeps its old contents, failureText gets the
// system's description of the failure ("No such file or directory", "No space left on
// device", ...) and the result is false. Temporary files that an earlier write of the same file
// left behind when it was killed (its process no longer runs) are removed first. A LastRow past the
// table's last row (65534) is such a failure, found before anything is written.
//
// Two kinds of target cannot be replaced by renaming and are written in place instead:
//   - an existing target that is not a regular file (a device such as /dev/full, a pipe);
//   - an existing regular file in a folder where no temporary file may be created.
// A symbolic link is followed, so the link stays and the file it names is replaced or, when it
// does not exist yet, created. An existing file the user may not write is refused ("Permission
// denied"), as writing in place would be.
bool WriteLogFile(const RecordTable& table, const std::string& path, std::string& failureText);

// Stores the table as WriteLogFile does, but never over an existing file: the complete file
// takes `name` when nothing has that name, else the first free of name-2, name-3, ...
// (FirstFreeName), and writtenName gets the name taken. The name is taken atomically, so
// writers running at the same moment never take the same one. A name that is a folder, or ends
// in "/", fails with "Is a directory".
bool WriteNewLogFile(const RecordTable& table, const std::string& name, std::string& writtenName,
                     std::string& failureText);

}  // namespace norvale
