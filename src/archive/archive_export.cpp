#include "archive/archive_export.h"

#include <cerrno>
#include <vector>

#include "archive/archive.h"
#include "archive/export_lines.h"
#include "archive/logged_row_reader.h"
#include "output/file_replace.h"

namespace norvale {
namespace {

constexpr size_t kFlushSize = size_t{64} * 1024;

}  // namespace

bool WriteArchiveExport(Archive& archive, const std::string& meter, int64_t first, int64_t last,
                        const std::string& path, std::string& failureText) {
  failureText.clear();
  const std::vector<ChannelName> channels = archive.ChannelNames(meter);
  if (!archive.failure().empty()) {
    failureText = archive.failure();
    return false;
  }
  if (channels.empty()) {
    failureText = "the archive holds no meter named " + meter;
    return false;
  }
  LoggedRowReader reader(archive, meter, first, last);
  const FileContents lines = [&](int fd) {
    std::string buffer = CsvTitleLine(channels);
    buffer.reserve(kFlushSize + 1024);
    LoggedRow row;
    while (reader.next(row)) {
      AppendCsvLine(buffer, row, channels);
      if (buffer.size() >= kFlushSize) {
        if (int error = WriteAll(fd, buffer)) return error;
        buffer.clear();
      }
    }
    // The archive failing is no error of the file's: EIO stands for it, failureText says more.
    if (!reader.failure().empty()) return EIO;
    return WriteAll(fd, buffer);
  };
  const FileReplacement result = ReplaceFile(path, lines);
  if (!reader.failure().empty()) {
    failureText = "cannot read the archive: " + reader.failure();
  } else if (result.error != 0) {
    failureText = FileErrorText(result.error);
  }
  return result.error == 0;
}

}  // namespace norvale
