#include "output/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <string>
#include <system_error>
#include <vector>

#include "output/dated_file_name.h"

namespace norvale {
namespace {

constexpr int kTempAttempts = 100;
// Keeps the temporary name within the folder's name length limit.
constexpr size_t kTempNameStem = 100;
constexpr int kLinkHops = 40;  // as the kernel's own limit: a longer chain is a loop

// Linux closes the descriptor even when close reports EINTR, so only other errors count.
int closeChecked(int fd) { return ::close(fd) == 0 || errno == EINTR ? 0 : errno; }

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

// Writes the file completely into a temporary file beside `target`, then lets `place` give it
// its name (returning 0 or an errno); on any failure the temporary file is removed.
template <typename Place>
FileReplacement storeViaTemp(const std::string& target, const struct stat* existing,
                             const FileContents& contents, Place place) {
  const SplitPath parts = splitPath(target);
  removeLeftoverTempFiles(parts);
  TempFile temp = createTempBeside(parts);
  if (temp.fd < 0) return {.error = temp.error, .tempRefused = true};
  if (existing != nullptr) takeOverOwnership(temp.fd, *existing);
  int error = contents(temp.fd);
  if (error == 0 && ::fsync(temp.fd) != 0) error = errno;
  int closeError = closeChecked(temp.fd);
  if (error == 0) error = closeError;
  if (error == 0) error = place(temp.path);
  if (error != 0) {
    ::unlink(temp.path.c_str());
    return {.error = error};
  }
  syncFolder(parts.folder);
  return {};
}

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

int WriteAll(int fd, std::string_view bytes) {
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

std::string FileErrorText(int error) { return std::system_category().message(error); }

FileReplacement ReplaceFile(const std::string& path, const FileContents& contents) {
  if (path.empty()) return {.error = ENOENT};
  struct stat existing;
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && ::access(path.c_str(), W_OK) != 0) {
    return {.error = errno, .writeProtected = true};
  }
  if (exists && S_ISDIR(existing.st_mode)) return {.error = EISDIR};
  const std::string target = followLinks(path);
  if (target.empty()) return {.error = errno};
  return storeViaTemp(target, exists ? &existing : nullptr, contents,
                      [&target](const std::string& temp) {
                        return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
                      });
}

FileReplacement ReplaceFile(const std::string& path, std::string_view bytes) {
  return ReplaceFile(path, [bytes](int fd) { return WriteAll(fd, bytes); });
}

FileReplacement StoreNewFile(const std::string& name, const FileContents& contents,
                             std::string& writtenName) {
  if (name.empty()) return {.error = ENOENT};
  struct stat existing;
  if (name.back() == '/' || (::stat(name.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))) {
    return {.error = EISDIR};
  }
  return storeViaTemp(name, nullptr, contents, [&](const std::string& temp) {
    int error = 0;
    writtenName = FirstFreeName(name, [&](const std::string& candidate) {
      error = claimName(temp, candidate);
      return error == EEXIST;
    });
    return error;
  });
}

int WriteFileInPlace(const std::string& path, const FileContents& contents, bool sync) {
  // Non-blocking only while opening, so a pipe nobody reads fails instead of hanging.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  int error = contents(fd);
  if (error == 0 && sync && ::fsync(fd) != 0) error = errno;
  int closeError = closeChecked(fd);
  return error != 0 ? error : closeError;
}

}  // namespace norvale
