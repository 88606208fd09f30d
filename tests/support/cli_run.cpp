#include "support/cli_run.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace norvale::testing {

size_t CliRun::errCount(const std::string& text) const {
  size_t count = 0;
  for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++count;
  return count;
}

std::string CliRun::lastErrLine() const {
  std::string text = err;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text.substr(text.rfind('\n') + 1);
}

CliRun RunCli(const QStringList& arguments, const QString& folder) {
  QProcess process;
  if (!folder.isEmpty()) process.setWorkingDirectory(folder);
  process.start(NORVALE_CLI, arguments);
  EXPECT_TRUE(process.waitForFinished(120000));
  return {process.exitCode(), process.readAllStandardOutput().toStdString(),
          process.readAllStandardError().toStdString()};
}

}  // namespace norvale::testing
