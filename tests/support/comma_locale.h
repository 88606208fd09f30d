#pragma once

#include <string>

namespace norvale::testing {

// A locale whose decimal separator is a comma, as a German or French user has. Build machines
// seldom have one installed, so it is made once with localedef into a temporary folder, which
// LOCPATH must name for the C library to find it.
struct CommaLocale {
  std::string name;        // for setlocale or LC_ALL, e.g. "de_DE.UTF-8"
  std::string folder;      // for LOCPATH
  std::string skipReason;  // why there is none; empty when there is
};
const CommaLocale& CommaDecimalLocale();

// Sets the comma locale for this process (LC_ALL and LOCPATH) until it goes out of scope, as
// a Qt program does from the environment at start. `active()` is false when it could not.
class ScopedCommaLocale {
 public:
  ScopedCommaLocale();
  ~ScopedCommaLocale();
  ScopedCommaLocale(const ScopedCommaLocale&) = delete;
  ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

}  // namespace norvale::testing
