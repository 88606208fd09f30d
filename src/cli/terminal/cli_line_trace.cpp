#include "cli/terminal/cli_line_trace.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace norvale {

CliLineTrace::~CliLineTrace() {
  if (file_) std::fclose(file_);
}

bool CliLineTrace::start(const std::string& file, std::function<void(const std::string&)> echo,
                         std::string& failure) {
  if (!file.empty()) {
    file_ = std::fopen(file.c_str(), "w");
    if (!file_) {
      failure = std::strerror(errno);
      return false;
    }
    // Each line reaches the file as it is traced, whatever ends the program.
    std::setvbuf(file_, nullptr, _IOLBF, 0);
  }
  echo_ = std::move(echo);
  if (file_ || echo_) {
    tracer_ =
        std::make_unique<LineTracer>(clock_, [this](const std::string& line) { write(line); });
  }
  return true;
}

void CliLineTrace::write(const std::string& line) {
  if (file_) {
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
  }
  if (echo_) echo_(line);
}

void CliLineTrace::finish() {
  if (!tracer_) return;
  tracer_->flush();
  write(tracer_->summaryLine());
  if (file_) std::fflush(file_);
}

}  // namespace norvale
