#include "handheld/posix_handheld_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace norvale {

PosixHandheldFile::~PosixHandheldFile() { close(); }

HandheldFile::Opened PosixHandheldFile::fail(int error) {
  openFailure_ = error == ENODEV ? "not a regular file" : std::system_category().message(error);
  return error == ENOENT || error == ENOTDIR ? Opened::Missing : Opened::Unreadable;
}

HandheldFile::Opened PosixHandheldFile::open(const std::string& path) {
  close();
  openFailure_.clear();
  struct stat info;
  if (path.empty()) return fail(ENOENT);
  if (::stat(path.c_str(), &info) != 0) return fail(errno);
  // A directory or a device is there but is no database to read.
  if (S_ISDIR(info.st_mode)) return fail(EISDIR);
  if (!S_ISREG(info.st_mode)) return fail(ENODEV);
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ >= 0 ? Opened::Yes : fail(errno);
}

int64_t PosixHandheldFile::read(char* buffer, int64_t count) {
  if (fd_ < 0) return -1;
  for (;;) {
    ssize_t got = ::read(fd_, buffer, static_cast<size_t>(count));
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

bool PosixHandheldFile::seek(int64_t position) {
  return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) == position;
}

int64_t PosixHandheldFile::size() {
  struct stat info;
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return -1;
  return info.st_size;
}

void PosixHandheldFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace norvale
