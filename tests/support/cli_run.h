#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace norvale::testing {

// One run of norvale-cli: its exit status and what it printed.
struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  size_t errCount(const std::string& text) const;
  std::string lastErrLine() const;
};

// Runs norvale-cli with `arguments` in `folder` (the current one when empty) and waits for it.
CliRun RunCli(const QStringList& arguments, const QString& folder = {});

}  // namespace norvale::testing
