#include "support/postgres_cluster.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QUrl>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>

#include "support/file_bytes.h"
#include "support/tcp_ports.h"

extern char** environ;

namespace norvale::testing {
namespace {

constexpr const char* kServerUser = "postgres";
constexpr int kStartAttempts = 3;

// "15" or "9.6" as (major, minor); (-1, -1) for anything else.
std::pair<int, int> VersionOf(const std::string& name) {
  const char* end = name.data() + name.size();
  int major = 0;
  int minor = 0;
  auto [rest, error] = std::from_chars(name.data(), end, major);
  if (error != std::errc()) return {-1, -1};
  if (rest != end && (*rest != '.' || std::from_chars(rest + 1, end, minor).ptr != end)) {
    return {-1, -1};
  }
  return {major, minor};
}

// Debian installs each server version beside the others; PATH may hold strays of any of them.
std::string NewestServerBin() {
  std::string newest;
  std::pair<int, int> newestVersion{-1, -1};
  std::error_code error;
  for (std::filesystem::directory_iterator it("/usr/lib/postgresql", error), end;
       !error && it != end; it.increment(error)) {
    const std::pair<int, int> version = VersionOf(it->path().filename().string());
    const std::string bin = it->path().string() + "/bin";
    if (version > newestVersion && ::access((bin + "/initdb").c_str(), X_OK) == 0 &&
        ::access((bin + "/pg_ctl").c_str(), X_OK) == 0) {
      newest = bin;
      newestVersion = version;
    }
  }
  return newest;
}

std::string RunuserPath() {
  for (const char* path : {"/usr/sbin/runuser", "/sbin/runuser"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return {};
}

std::vector<char*> Argv(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}

// Spawns `words` from / with stdin from `input`, stdout and stderr to `output`, and none of this
// program's other descriptors: a server that inherited a test's pipe would hold it open.
pid_t Spawn(std::vector<std::string> words, int input, int output, bool ownProcessGroup) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawn_file_actions_addchdir_np(&actions, "/");
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  short flags = POSIX_SPAWN_SETSIGMASK;
  if (ownProcessGroup) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  posix_spawnattr_setflags(&attributes, flags);
  std::vector<char*> argv = Argv(words);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace

PostgresCluster::PostgresCluster() {
  bin_ = NewestServerBin();
  if (bin_.empty()) {
    whyNot_ = "no PostgreSQL server in /usr/lib/postgresql/<version>/bin (Debian's postgresql)";
    return;
  }
  const passwd* serverUser = nullptr;
  if (::geteuid() == 0) {
    asServerUser_ = true;
    serverUser = ::getpwnam(kServerUser);
    if (serverUser == nullptr || RunuserPath().empty()) {
      whyNot_ = "running as root, and there is no postgres user or no runuser to run the server";
      return;
    }
  }
  // Under /tmp and open to all, so that `postgres` can reach its folder whatever TMPDIR says.
  char folder[] = "/tmp/norvale-postgres-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    whyNot_ = "cannot make a folder in /tmp for the server";
    return;
  }
  folder_ = folder;
  if (::chmod(folder, 0755) != 0 ||
      (serverUser != nullptr && ::chown(folder, serverUser->pw_uid, serverUser->pw_gid) != 0)) {
    whyNot_ = "cannot hand " + folder_ + " to the postgres user";
    ::rmdir(folder);
    return;
  }
  if (!startWatcher()) {
    whyNot_ = "cannot start the watcher that stops the server (/bin/sh)";
    ::rmdir(folder);
    return;
  }
  started_ = startServer();
}

// A shell that waits for end of file on its stdin, then stops the server and removes its folder.
// Only this program holds the pipe's other end, so the end of file comes when the destructor
// closes it or when the program dies, however it dies.
bool PostgresCluster::startWatcher() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  std::vector<std::string> words = {"/bin/sh", "-c",
                                    "read -r _; folder=$1; shift; "
                                    "\"$@\" stop -D \"$folder/data\" -m immediate -w -t 60; "
                                    "rm -rf -- \"$folder\"",
                                    "sh", folder_};
  if (asServerUser_) words.insert(words.end(), {RunuserPath(), "-u", kServerUser, "--"});
  words.push_back(bin_ + "/pg_ctl");
  // Its own process group: a Ctrl-C at the terminal stops the tests, not the clean-up.
  watcher_ = nowhere < 0 ? -1 : Spawn(std::move(words), fds[0], nowhere, true);
  ::close(fds[0]);
  if (nowhere >= 0) ::close(nowhere);
  if (watcher_ < 0) {
    ::close(fds[1]);
    return false;
  }
  watcherPipe_ = fds[1];
  return true;
}

bool PostgresCluster::startServer() {
  const std::string data = folder_ + "/data";
  std::string output;
  if (!run({bin_ + "/initdb", "-D", data, "-U", kServerUser, "-A", "trust", "-E", "UTF8",
            "--locale=C", "--no-sync"},
           output)) {
    whyNot_ = "initdb failed: " + output;
    return false;
  }
  const std::string log = folder_ + "/server.log";
  for (int attempt = 1;; ++attempt) {
    port_ = FreeTcpPort();
    // Nothing outlives the tests, so nothing is worth waiting for the disk (fsync=off).
    const std::string options =
        "-p " + std::to_string(port_) +
        " -c listen_addresses=127.0.0.1 -c unix_socket_directories=" + folder_ + " -c fsync=off";
    if (run({bin_ + "/pg_ctl", "start", "-D", data, "-l", log, "-w", "-t", "60", "-o", options},
            output)) {
      return true;
    }
    const std::string logText = FileBytes(log);
    // Another program may take the free port before the server does.
    if (logText.find("Address already in use") != std::string::npos && attempt < kStartAttempts) {
      continue;
    }
    whyNot_ = "pg_ctl start failed: " + output + "\nserver log:\n" + logText;
    port_ = 0;
    return false;
  }
}

bool PostgresCluster::run(const std::vector<std::string>& command, std::string& output) {
  std::vector<std::string> words;
  if (asServerUser_) words = {RunuserPath(), "-u", kServerUser, "--"};
  words.insert(words.end(), command.begin(), command.end());
  // A file, not a pipe: pg_ctl's server lives on, and must not hold what we read to its end.
  const std::string outputPath = folder_ + "/command.out";
  const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int file = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t pid = input < 0 || file < 0 ? -1 : Spawn(words, input, file, false);
  if (input >= 0) ::close(input);
  if (file >= 0) ::close(file);
  if (pid < 0) {
    output = "cannot run " + words.front();
    return false;
  }
  const int status = WaitFor(pid);
  output = FileBytes(outputPath);
  return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

PostgresCluster::~PostgresCluster() {
  if (watcher_ < 0) return;
  ::close(watcherPipe_);
  WaitFor(watcher_);
}

std::string PostgresCluster::newDatabase(const std::string& name) {
  if (!started_) return {};
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  quoted += '"';
  std::string output;
  if (!run({bin_ + "/psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p",
            std::to_string(port_), "-U", kServerUser, "-d", "postgres", "-c",
            "CREATE DATABASE " + quoted},
           output)) {
    std::cerr << "CREATE DATABASE " << quoted << " failed: " << output << "\n";
    return {};
  }
  return "postgresql://postgres@127.0.0.1:" + std::to_string(port_) + "/" +
         QUrl::toPercentEncoding(QString::fromStdString(name)).toStdString();
}

PostgresCluster& PostgresCluster::Shared() {
  static PostgresCluster cluster;
  return cluster;
}

}  // namespace norvale::testing
