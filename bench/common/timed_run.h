#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace norvale::bench {

inline double WallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Words joined by spaces, to show a command line.
inline std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// One run of a program as a child of the bench, timed from outside.
struct TimedRun {
  bool started = false;
  int exitStatus = -1;  // -1 when it did not exit normally
  int signal = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;  // user + system of that one child
  double userSeconds = 0;
  double systemSeconds = 0;
  long sleeps = 0;       // voluntary context switches: about one per wait in the event loop
  std::string messages;  // its standard error (and output)
};

// Runs `command` (a program's path and its arguments), its output and errors into
// `messagesPath`, and waits for it; the wall clock runs from just before the spawn to just after
// the reap, the CPU time is what wait4 reports for that child.
inline TimedRun RunTimed(std::vector<std::string> command, const std::string& messagesPath) {
  TimedRun run;
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, messagesPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  double begin = WallNow();
  int spawned = posix_spawn(&pid, command[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  run.started = true;

  int status = 0;
  rusage usage{};
  pid_t reaped = -1;
  do {
    reaped = wait4(pid, &status, 0, &usage);
  } while (reaped < 0 && errno == EINTR);
  run.wallSeconds = WallNow() - begin;
  if (reaped != pid) return run;
  run.userSeconds = Seconds(usage.ru_utime);
  run.systemSeconds = Seconds(usage.ru_stime);
  run.cpuSeconds = run.userSeconds + run.systemSeconds;
  run.sleeps = usage.ru_nvcsw;
  if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);

  std::ifstream file(messagesPath);
  std::string line;
  while (std::getline(file, line)) run.messages += line + "\n";
  return run;
}

inline std::string ExitText(const TimedRun& run) {
  if (run.signal) return "killed by signal " + std::to_string(run.signal);
  return "exit status " + std::to_string(run.exitStatus);
}

// The program's messages, indented, for the reader to see how the run ended; with `only`, just
// the lines holding it.
inline void PrintMessages(const std::string& messages, const char* only = nullptr) {
  size_t begin = 0;
  while (begin < messages.size()) {
    size_t end = messages.find('\n', begin);
    if (end == std::string::npos) end = messages.size();
    std::string line = messages.substr(begin, end - begin);
    if (!only || line.find(only) != std::string::npos) std::printf("      | %s\n", line.c_str());
    begin = end + 1;
  }
}

inline std::string LastLine(const std::string& messages) {
  std::string text = messages;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  size_t at = text.rfind('\n');
  return at == std::string::npos ? text : text.substr(at + 1);
}

}  // namespace norvale::bench
