#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "cli/exit_codes.h"

namespace norvale {

// SIGINT and SIGTERM as an event of the event loop: the first one wakes any wait under way and
// runs `onSignal` there, so the command can end its work in order (hang up a modem, finish the
// progress line). The handlers then fall back to the default, so a second signal ends the program
// at once. Needs the application object; one at a time.
class TerminationSignals {
 public:
  explicit TerminationSignals(std::function<void()> onSignal);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // The signal that came, 0 while none has.
  int caught() const;
  // The exit status of a program that a signal ended.
  int exitStatus() const { return ExitCodeOfSignal(caught()); }

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> onSignal_;
};

}  // namespace norvale
