#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/logged_values.h"

namespace norvale {

class Archive;

// One meter's logged times from `first` to `last` (both included), oldest first, each with its
// channels' values. Reads a page of values at a time, so a history of millions of times costs
// no more memory than a page. Values merged while reading show up when they come after the
// time reached. Must not outlive the archive, and belongs to the archive's thread.
class LoggedRowReader {
 public:
  LoggedRowReader(Archive& archive, const std::string& meter, int64_t first, int64_t last);

  // The next logged time; false at the end, or on a failure, which failure() then names.
  bool next(LoggedRow& row);
  const std::string& failure() const { return failure_; }

  static constexpr int kPageRows = 16384;

 private:
  bool fetchPage();

  Archive& archive_;
  std::string meter_;
  int64_t last_;
  // Where the next page starts: after this time and channel.
  int64_t afterTime_;
  int afterChannel_ = 0;
  std::optional<int64_t> meterId_;
  bool exhausted_ = false;
  std::vector<LoggedValue> page_;
  size_t taken_ = 0;
  std::optional<LoggedRow> pending_;
  std::string failure_;
};

}  // namespace norvale
