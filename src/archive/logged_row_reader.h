#pragma once

#include <QSqlQuery>
#include <cstdint>
#include <optional>
#include <string>

#include "archive/logged_values.h"

namespace norvale {

class Archive;

// One meter's logged times from `first` to `last` (both included), oldest first, each with its
// channels' values: one ordered query, read as it goes (SQLite steps through it, PostgreSQL sends
// it a row at a time), so a history of millions of times costs no more memory than a row. It
// reads the history as it was when it started. While it is open the archive's connection is
// its own: the same Archive must not merge or read anything else until it is destroyed. Must
// not outlive the archive, and belongs to the archive's thread.
class LoggedRowReader {
 public:
  LoggedRowReader(Archive& archive, const std::string& meter, int64_t first, int64_t last);

  // The next logged time; false at the end, or on a failure, which failure() then names.
  bool next(LoggedRow& row);
  const std::string& failure() const { return failure_; }

 private:
  bool start();
  // The query's next value into `value`; false at its end or on a failure.
  bool take(LoggedValue& value);

  Archive& archive_;
  std::string meter_;
  int64_t first_;
  int64_t last_;
  QSqlQuery query_;
  bool started_ = false;
  bool done_ = false;
  std::optional<LoggedValue> ahead_;  // read, and of the time after the row given last
  std::string failure_;
};

}  // namespace norvale
