#include "output/csv_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "output/file_replace.h"

namespace norvale {
namespace {

constexpr size_t kFlushSize = size_t{64} * 1024;

int writeLines(const RecordTable& table, int fd) {
  std::string buffer;
  buffer.reserve(kFlushSize + 1024);
  for (int row = 1; row <= table.LastRow; ++row) {
    buffer += table.cell(row, 1);
    for (int k = 1; k <= RecordTable::kChannels; ++k) {
      if (!table.ChannelUsed[k - 1]) continue;
      buffer += ',';
      buffer += table.cell(row, k + 1);
    }
    buffer += "\r\n";
    if (buffer.size() >= kFlushSize) {
      if (int error = WriteAll(fd, buffer)) return error;
      buffer.clear();
    }
  }
  return WriteAll(fd, buffer);
}

bool rowsFit(const RecordTable& table, std::string& failureText) {
  if (table.LastRow <= RecordTable::kRows - 1) return true;
  failureText = "Row " + std::to_string(table.LastRow) + " is past the last row of the table (" +
                std::to_string(RecordTable::kRows - 1) + ")";
  return false;
}

}  // namespace

bool WriteLogFile(const RecordTable& table, const std::string& path, std::string& failureText) {
  failureText.clear();
  auto fail = [&failureText](int error) {
    failureText = FileErrorText(error);
    return false;
  };
  if (!rowsFit(table, failureText)) return false;
  const FileContents lines = [&table](int fd) { return writeLines(table, fd); };

  struct stat existing;
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return fail(EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {
    int error = WriteFileInPlace(path, lines, false);
    return error == 0 || fail(error);
  }

  FileReplacement result = ReplaceFile(path, lines);
  if (result.tempRefused && exists && (result.error == EACCES || result.error == EPERM)) {
    result.error = WriteFileInPlace(path, lines, true);
  }
  return result.error == 0 || fail(result.error);
}

bool WriteNewLogFile(const RecordTable& table, const std::string& name, std::string& writtenName,
                     std::string& failureText) {
  failureText.clear();
  if (!rowsFit(table, failureText)) return false;
  const FileReplacement result = StoreNewFile(
      name, [&table](int fd) { return writeLines(table, fd); }, writtenName);
  if (result.error != 0) failureText = FileErrorText(result.error);
  return result.error == 0;
}

}  // namespace norvale
