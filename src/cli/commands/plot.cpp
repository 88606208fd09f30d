#include "cli/commands/plot.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>

#include "chart/chart_file.h"
#include "chart/offscreen_application.h"
#include "cli/exit_codes.h"
#include "output/chart_series.h"
#include "output/csv_reader.h"
#include "output/record_table.h"

namespace norvale {

int RunPlot(const CliOptions& options, int& argc, char** argv) {
  std::ifstream in(options.input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "norvale-cli: cannot read %s: %s\n", options.input.c_str(),
                 std::strerror(errno));
    return kExitDownloadError;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::fprintf(stderr, "norvale-cli: cannot read %s\n", options.input.c_str());
    return kExitDownloadError;
  }
  RecordTable table;
  if (!ReadLogText(text, table)) {
    std::fprintf(stderr,
                 "norvale-cli: %s is not a log file (its first line is not \"Date / Time,...\")\n",
                 options.input.c_str());
    return kExitDownloadError;
  }
  ChartData data = BuildChartData(table);
  if (!data.hasPoints()) {
    std::fprintf(stderr, "norvale-cli: %s holds no values to chart\n", options.input.c_str());
    return kExitDownloadError;
  }

  std::unique_ptr<QCoreApplication> app = MakeOffscreenApplication(argc, argv);
  const QString output = QFile::decodeName(QByteArray::fromStdString(options.output));
  QString failure;
  if (!WriteChartFile(std::move(data), QSize(options.width, options.height), output, failure)) {
    std::fprintf(stderr, "norvale-cli: cannot write %s: %s\n", options.output.c_str(),
                 failure.toLocal8Bit().constData());
    return kExitFileError;
  }
  std::error_code ignored;
  std::fprintf(stderr, "Chart of %d logged times written to %s\n", table.LastRow - 1,
               std::filesystem::absolute(options.output, ignored).c_str());
  return kExitFileWritten;
}

}  // namespace norvale
