#include "support/handheld_database.h"

#include <QProcess>
#include <QStringList>
#include <filesystem>

namespace norvale::testing {
namespace {

std::filesystem::path ToolsFolder() {
  return std::filesystem::path(NORVALE_SIMULATOR).parent_path();
}

}  // namespace

bool GenerateHandheldDatabase(const std::string& output, const std::vector<std::string>& args,
                              std::string& error) {
  QStringList arguments{QString::fromStdString((ToolsFolder() / "handheld_db.py").string()),
                        QStringLiteral("--output"), QString::fromStdString(output)};
  for (const std::string& arg : args) arguments << QString::fromStdString(arg);
  QProcess tool;
  tool.start(QStringLiteral("python3"), arguments);
  if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit ||
      tool.exitCode() != 0) {
    error = tool.readAllStandardError().toStdString() + tool.errorString().toStdString();
    return false;
  }
  return true;
}

std::string ToolScenario(const std::string& name) {
  return (ToolsFolder() / "scenarios" / name).string();
}

}  // namespace norvale::testing
