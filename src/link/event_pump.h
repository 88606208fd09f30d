#pragma once

namespace norvale {

// Lets the window's other events run while an exchange waits.
class EventPump {
 public:
  static constexpr double kBriefRoundSeconds = 0.01;

  virtual ~EventPump() = default;
  // Run whatever events are pending, then return at once.
  virtual void yieldOnce() = 0;
  // Runs events, blocking until something happens (bytes arriving on the port among them) or
  // `seconds` pass. A wait sleeps until its next deadline instead of waking in rounds.
  virtual void waitForEvents(double seconds) = 0;
  // Runs every event but the serial port's, for `seconds`: bytes that arrive meanwhile are taken
  // all at once afterwards, instead of waking the wait one by one.
  virtual void waitForOtherEvents(double seconds) = 0;
  // One short round of a polling wait, for loops that look at the port a byte at a time.
  void waitBriefly() { waitForEvents(kBriefRoundSeconds); }
  // Waits without running any event: the modem's guard times, during which the window may not
  // answer.
  virtual void pauseWithoutYield(double seconds) = 0;

  // The program is ending: long work that yields stops at its next yield.
  void requestStop() { stopRequested_ = true; }
  // The user stopped the work under way ("Stop"): it ends the same way, and the next work runs
  // as usual once the stopped one has cleared the request.
  void requestCancel() { cancelRequested_ = true; }
  void clearCancel() { cancelRequested_ = false; }
  bool cancelRequested() const { return cancelRequested_; }
  bool stopRequested() const { return stopRequested_ || cancelRequested_; }

 private:
  bool stopRequested_ = false;
  bool cancelRequested_ = false;
};

// One piece of work the user can stop: a stop asked for before it began does not count, and
// none is left over for the next one.
class StoppableWork {
 public:
  explicit StoppableWork(EventPump& pump) : pump_(pump) { pump_.clearCancel(); }
  ~StoppableWork() { pump_.clearCancel(); }
  StoppableWork(const StoppableWork&) = delete;
  StoppableWork& operator=(const StoppableWork&) = delete;
  bool stopped() const { return pump_.cancelRequested(); }

 private:
  EventPump& pump_;
};

}  // namespace norvale
