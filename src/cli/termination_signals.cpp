#include "cli/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace norvale {
namespace {

// The handler may only note the signal and write a byte; the event loop reads the byte.
int gWakePipe[2] = {-1, -1};
volatile sig_atomic_t gCaught = 0;

extern "C" void NoteTerminationSignal(int number) {
  if (gCaught == 0) gCaught = number;
  const int saved = errno;
  [[maybe_unused]] const ssize_t written = ::write(gWakePipe[1], "!", 1);
  errno = saved;
}

void SetHandler(void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : onSignal_(std::move(onSignal)) {
  gCaught = 0;
  if (::pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(gWakePipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    char bytes[16];
    while (::read(gWakePipe[0], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) onSignal_();
    onSignal_ = nullptr;
  });
  SetHandler(NoteTerminationSignal, SA_RESETHAND | SA_RESTART);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  SetHandler(SIG_DFL, 0);
  notifier_.reset();
  ::close(gWakePipe[0]);
  ::close(gWakePipe[1]);
  gWakePipe[0] = gWakePipe[1] = -1;
}

int TerminationSignals::caught() const { return gCaught; }

}  // namespace norvale
