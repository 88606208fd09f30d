#include "output/csv_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "output/dated_file_name.h"

namespace norvale {
namespace {

constexpr size_t kFlushSize = size_t{64} * 1024;
constexpr int kTempAttempts = 100;
// Keeps the temporary name within the folder's name length limit.
constexpr size_t kTempNameStem = 100;

std::string describe(int error) { return std::system_category().message(error); }

int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

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
      if (int error = writeAll(fd, buffer)) return error;
      buffer.clear();
    }
  }
  return writeAll(fd, buffer);
}

// Linux closes the descriptor even when close reports EINTR, so only other errors count.
int closeChecked(int fd) { return ::close(fd) == 0 || errno == EINTR ? 0 : errno; }

int writeInPlace(const RecordTable& table, const std::string& path, bool regularFile) {
  // Non-blocking only while opening, so a pipe nobody reads fails instead of hanging.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  int error = writeLines(table, fd);
  if (error == 0 && regularFile && ::fsync(fd) != 0) error = errno;
  int closeError = closeChecked(fd);
  return error != 0 ? error : closeError;
}

struct SplitPath {
  std::string folder;  // with its trailing '/', empty for a bare name
  std::string name;
};

SplitPath splitPath(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

struct TempFile {
  int error = 0;
  int fd = -1;
  std::string path;
};

TempFile createTempBeside(const SplitPath& target) {
  static std::atomic<unsigned> counter{0};
  TempFile temp;
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    temp.path = target.folder + "." + target.name.substr(0, kTempNameStem) + "." +
                std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    temp.fd = ::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (temp.fd >= 0) return temp;
    if (errno != EEXIST) break;
  }
  temp.error = errno;
  return temp;
}

// The process id in a temporary file name of ours for `name` (".<name>.<pid>-<n>.tmp"), or 0
// when the entry is no such file.
pid_t tempFileOwner(std::string_view entry, std::string_view name) {
  std::string stem(".");
  stem.append(name.substr(0, kTempNameStem)).append(".");
  constexpr std::string_view kSuffix = ".tmp";
  if (entry.size() <= stem.size() + kSuffix.size() || entry.substr(0, stem.size()) != stem ||
      entry.substr(entry.size() - kSuffix.size()) != kSuffix) {
    return 0;
  }
  std::string_view middle = entry.substr(stem.size(), entry.size() - stem.size() - kSuffix.size());
  size_t dash = middle.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 == middle.size()) return 0;
  auto digitsOnly = [](std::string_view text) {
    return text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digitsOnly(middle.substr(0, dash)) || !digitsOnly(middle.substr(dash + 1)) || dash > 9) {
    return 0;
  }
  return static_cast<pid_t>(std::stol(std::string(middle.substr(0, dash))));
}

// A write killed half-way leaves its temporary file behind; the next write of the same file
// removes those whose writer no longer runs.
void removeLeftoverTempFiles(const SplitPath& target) {
  DIR* folder = ::opendir(target.folder.empty() ? "." : target.folder.c_str());
  if (folder == nullptr) return;
  std::vector<std::string> leftovers;
  while (const struct dirent* entry = ::readdir(folder)) {
    pid_t owner = tempFileOwner(entry->d_name, target.name);
    if (owner <= 0 || owner == ::getpid()) continue;
    if (::kill(owner, 0) != 0 && errno == ESRCH) leftovers.push_back(entry->d_name);
  }
  ::closedir(folder);
  for (const std::string& name : leftovers) ::unlink((target.folder + name).c_str());
}

// Makes the rename itself durable; a failure here leaves the new file in place all the same.
void syncFolder(const std::string& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The new file gets the owner and permissions of the one it replaces, as far as the system
// allows: only root may hand a file to another user, so otherwise the writer keeps it.
void takeOverOwnership(int fd, const struct stat& existing) {
  if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
    // Neither owner nor group could be handed on: the file stays the writer's own.
  }
  ::fchmod(fd, existing.st_mode & 0777);
}

struct Replacement {
  int error = 0;
  bool tempCreated = false;
};

// Writes the table completely into a temporary file beside `target`, then lets `place` give it
// its name (returning 0 or an errno); on any failure the temporary file is removed.
template <typename Place>
Replacement storeViaTemp(const RecordTable& table, const std::string& target,
                         const struct stat* existing, Place place) {
  const SplitPath parts = splitPath(target);
  removeLeftoverTempFiles(parts);
  TempFile temp = createTempBeside(parts);
  if (temp.fd < 0) return {temp.error, false};
  if (existing != nullptr) takeOverOwnership(temp.fd, *existing);
  int error = writeLines(table, temp.fd);
  if (error == 0 && ::fsync(temp.fd) != 0) error = errno;
  int closeError = closeChecked(temp.fd);
  if (error == 0) error = closeError;
  if (error == 0) error = place(temp.path);
  if (error != 0) {
    ::unlink(temp.path.c_str());
    return {error, true};
  }
  syncFolder(parts.folder);
  return {0, true};
}

Replacement replaceViaTemp(const RecordTable& table, const std::string& target,
                           const struct stat* existing) {
  return storeViaTemp(table, target, existing, [&target](const std::string& temp) {
    return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
  });
}

constexpr int kLinkHops = 40;  // as the kernel's own limit: a longer chain is a loop

// Where a symbolic link at path leads, through a chain of links, whether or not the file at its
// end exists yet: writing there keeps the links. path itself when it is no link; empty (ELOOP)
// for a loop.
std::string followLinks(const std::string& path) {
  std::string target = path;
  for (int hop = 0; hop < kLinkHops; ++hop) {
    struct stat info;
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    std::string content(static_cast<size_t>(PATH_MAX), '\0');
    const ssize_t length = ::readlink(target.c_str(), content.data(), content.size());
    if (length <= 0) return target;
    content.resize(static_cast<size_t>(length));
    target = content.front() == '/' ? content : splitPath(target).folder + content;
  }
  errno = ELOOP;
  return {};
}

bool rowsFit(const RecordTable& table, std::string& failureText) {
  if (table.LastRow <= RecordTable::kRows - 1) return true;
  failureText = "Row " + std::to_string(table.LastRow) + " is past the last row of the table (" +
                std::to_string(RecordTable::kRows - 1) + ")";
  return false;
}

// Gives the finished temporary file the name `name` unless something already has it: a hard
// link fails with EEXIST then, so two writers never take the same name. Where the file system
// has no hard links, creating the name exclusively and renaming onto it does the same.
int claimName(const std::string& temp, const std::string& name) {
  if (::link(temp.c_str(), name.c_str()) == 0) {
    ::unlink(temp.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  ::close(fd);
  return ::rename(temp.c_str(), name.c_str()) == 0 ? 0 : errno;
}

}  // namespace

bool WriteLogFile(const RecordTable& table, const std::string& path, std::string& failureText) {
  failureText.clear();
  auto fail = [&failureText](int error) {
    failureText = describe(error);
    return false;
  };
  if (!rowsFit(table, failureText)) return false;
  if (path.empty()) return fail(ENOENT);

  struct stat existing;
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return fail(EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {
    int error = writeInPlace(table, path, false);
    return error == 0 || fail(error);
  }

  // Renaming would replace even a write-protected file; it stays protected, as in place.
  if (exists && ::access(path.c_str(), W_OK) != 0) return fail(errno);

  const std::string target = followLinks(path);
  if (target.empty()) return fail(errno);
  Replacement result = replaceViaTemp(table, target, exists ? &existing : nullptr);
  if (!result.tempCreated && exists && (result.error == EACCES || result.error == EPERM)) {
    result.error = writeInPlace(table, target, true);
  }
  return result.error == 0 || fail(result.error);
}

bool WriteNewLogFile(const RecordTable& table, const std::string& name, std::string& writtenName,
                     std::string& failureText) {
  failureText.clear();
  auto fail = [&failureText](int error) {
    failureText = describe(error);
    return false;
  };
  if (!rowsFit(table, failureText)) return false;
  if (name.empty()) return fail(ENOENT);
  struct stat existing;
  if (name.back() == '/' || (::stat(name.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))) {
    return fail(EISDIR);
  }

  const Replacement result = storeViaTemp(table, name, nullptr, [&](const std::string& temp) {
    int error = 0;
    writtenName = FirstFreeName(name, [&](const std::string& candidate) {
      error = claimName(temp, candidate);
      return error == EEXIST;
    });
    return error;
  });
  return result.error == 0 || fail(result.error);
}

}  // namespace norvale
