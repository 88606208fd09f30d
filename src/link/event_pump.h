#pragma once

namespace norvale {

// Lets the window's other events run while an exchange waits.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Run whatever events are pending, then return at once.
  virtual void yieldOnce() = 0;
  // One round of a polling wait: run events, blocking until something happens (such as bytes
  // arriving) or a few milliseconds pass, so that a wait never spins a core.
  virtual void waitBriefly() = 0;
  // Waits without running any event: the modem's guard times, during which the window may not
  // answer.
  virtual void pauseWithoutYield(double seconds) = 0;

  // The program is ending: long work that yields stops at its next yield.
  void requestStop() { stopRequested_ = true; }
  bool stopRequested() const { return stopRequested_; }

 private:
  bool stopRequested_ = false;
};

}  // namespace norvale
