#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace norvale {

// Writes the whole new file into the open descriptor: 0, or the errno of the failure.
using FileContents = std::function<int(int fd)>;

// Writes all of bytes to fd, however many calls that takes: 0, or the errno of the failure.
int WriteAll(int fd, std::string_view bytes);

// The system's description of an errno ("No such file or directory", "No space left on
// device", ...).
std::string FileErrorText(int error);

struct FileReplacement {
  int error = 0;  // 0, or the errno of the failure
  // The target exists and may not be written: refused before anything was written.
  bool writeProtected = false;
  // The target's folder took no temporary file (it takes no new files, or is missing).
  bool tempRefused = false;
};

// Replaces the file at path (a bare name lands in the current folder) only once the new one is
// written whole: `contents` writes into a temporary file beside it, which is flushed to disk and
// renamed over it. On any failure the temporary file is removed and an existing file keeps its
// old contents. Temporary files that an earlier replacement of the same file left behind when it
// was killed (their process no longer runs) are removed first.
//
// The new file takes the old one's owner (as far as the system allows) and permissions. A symbolic
// link is followed, so the link stays and the file it names is replaced or, when it does not exist
// yet, created. An existing file the user may not write is refused, as writing in place would be
// (renaming would replace even that), and so is a folder (EISDIR).
FileReplacement ReplaceFile(const std::string& path, const FileContents& contents);
FileReplacement ReplaceFile(const std::string& path, std::string_view bytes);

// Stores what `contents` writes as a new file, never over an existing one: the complete file
// takes `name` when nothing has that name, else the first free of name-2, name-3, ...
// (FirstFreeName), and writtenName gets the name taken. The name is taken atomically, so writers
// running at the same moment never take the same one. A name that is a folder, or ends in "/",
// fails with EISDIR.
FileReplacement StoreNewFile(const std::string& name, const FileContents& contents,
                             std::string& writtenName);

// Writes into the file at path itself, for a target that cannot be replaced by renaming (a device
// such as /dev/full, a pipe, a file in a folder that takes no new files); creates it when missing.
// A pipe nobody reads fails at once instead of hanging. `sync` flushes it to disk, for a regular
// file. 0, or the errno of the failure.
int WriteFileInPlace(const std::string& path, const FileContents& contents, bool sync);

}  // namespace norvale
