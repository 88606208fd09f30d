#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "link/line_tracer.h"
#include "link/system_clock.h"

namespace norvale {

// norvale-cli's line trace: to a file (--trace), to standard error (-v), or both.
class CliLineTrace {
 public:
  CliLineTrace() = default;
  ~CliLineTrace();
  CliLineTrace(const CliLineTrace&) = delete;
  CliLineTrace& operator=(const CliLineTrace&) = delete;

  // Starts the trace into `file` (none when empty) and `echo` (none when empty); false, with the
  // system's reason, when the file cannot be written.
  bool start(const std::string& file, std::function<void(const std::string&)> echo,
             std::string& failure);
  // What the link reports to; nullptr when no trace was asked for.
  LinkTrace* trace() { return tracer_.get(); }
  // The last gathered bytes and the summary line.
  void finish();

 private:
  void write(const std::string& line);

  SystemClock clock_;
  std::unique_ptr<LineTracer> tracer_;
  std::FILE* file_ = nullptr;
  std::function<void(const std::string&)> echo_;
};

}  // namespace norvale
