// Usage: measured_run OUTPUT PROGRAM [ARGUMENT]...
// Runs PROGRAM with its standard output and error going to the file OUTPUT, waits for it and
// prints one line of whole numbers:
//   exit STATUS signal NUMBER user_us U system_us S peak_kb P wall_us W
// It is a process of its own so that the peak memory from wait4 is the program's alone: a child
// starts with the peak of the process it was forked from, and a bench with a window in it has
// many times the peak of a small program.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

long microseconds(const timeval& t) { return t.tv_sec * 1000000L + t.tv_usec; }

long microsecondsNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000L + now.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: measured_run OUTPUT PROGRAM [ARGUMENT]...\n", stderr);
    return 64;
  }
  const int output = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (output < 0) {
    std::perror(argv[1]);
    return 1;
  }
  const long begin = microsecondsNow();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    return 1;
  }
  if (pid == 0) {
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  pid_t reaped;
  do {
    reaped = wait4(pid, &status, 0, &usage);
  } while (reaped < 0 && errno == EINTR);
  const long wall = microsecondsNow() - begin;
  if (reaped != pid) {
    std::perror("wait4");
    return 1;
  }
  std::printf("exit %d signal %d user_us %ld system_us %ld peak_kb %ld wall_us %ld\n",
              WIFEXITED(status) ? WEXITSTATUS(status) : -1,
              WIFSIGNALED(status) ? WTERMSIG(status) : 0, microseconds(usage.ru_utime),
              microseconds(usage.ru_stime), usage.ru_maxrss, wall);
  return 0;
}
