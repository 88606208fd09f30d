// Archive figures on a SQLite file (or any archive location given):
//   (1) building a history of TIMES logged times x 8 channels, 32,768 times per merge, as that
//       many whole-ring downloads would: seconds per merge as the archive grows;
//   (2) into that history, a merge of 32,768 new times x 8 channels (a "since last time"
//       download; target under 1 s on SQLite), the same download again (every value known and
//       compared) and one half new, half known;
//   (3) Meters() over the whole history, reading it all, and an export of it as CSV.
// Usage: archive_bench [TIMES [LOCATION]]   (default 1,000,000 times in a temporary SQLite
// file; LOCATION "postgres" starts a throw-away PostgreSQL server as the tests do). It prints;
// it asserts nothing. A LOCATION that exists is merged into as it is.

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_export.h"
#include "archive/logged_row_reader.h"
#include "archive/logged_time.h"

// The benchmark links the program's libraries only, so the tests' server comes in as source.
#include "support/file_bytes.cpp"
#include "support/postgres_cluster.cpp"
#include "support/tcp_ports.cpp"

namespace {

using norvale::LoggedValue;

constexpr int kChannels = 8;
constexpr int kTimesPerDownload = 32768;

const std::vector<norvale::ChannelName> kNames = {{1, "Flow"}, {2, "Level"},    {3, "Velocity"},
                                                  {4, "Temp"}, {5, "Flow Tot"}, {6, "Rain"},
                                                  {7, "pH"},   {8, "Battery"}};

// Minutes from 1/1/2000 on, as the meter would log them.
std::vector<LoggedValue> download(int64_t firstMinute, int times) {
  const int64_t start = norvale::LoggedAtOf({2000, 1, 1}, {});
  std::vector<LoggedValue> values;
  values.reserve(static_cast<size_t>(times) * kChannels);
  for (int64_t m = firstMinute; m < firstMinute + times; ++m) {
    for (int k = 1; k <= kChannels; ++k) {
      values.push_back({start + 60 * m, k, static_cast<double>(m % 100000) * 0.125 + k});
    }
  }
  return values;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool merge(norvale::Archive& archive, int64_t firstMinute, int times, const char* what,
           bool print) {
  const std::vector<LoggedValue> values = download(firstMinute, times);
  const auto start = std::chrono::steady_clock::now();
  const norvale::MergeResult result = archive.Merge(
      "Bench", kNames, values, {0, "bench", norvale::DownloadMode::Download, "Log read"});
  const double seconds = secondsSince(start);
  if (!result.merged) {
    std::printf("%s: merge failed: %s\n", what, result.failure.c_str());
    return false;
  }
  if (print) {
    std::printf("%-44s %8.3f s  (new %lld, known %lld, conflicts %lld)\n", what, seconds,
                static_cast<long long>(result.newTimes), static_cast<long long>(result.knownTimes),
                static_cast<long long>(result.conflicts));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int64_t times = argc > 1 ? std::atoll(argv[1]) : 1000000;
  QTemporaryDir folder;
  std::string location = argc > 2 ? argv[2] : folder.filePath("bench.sqlite").toStdString();
  if (location == "postgres") {
    norvale::testing::PostgresCluster& cluster = norvale::testing::PostgresCluster::Shared();
    if (!cluster.started()) {
      std::printf("no PostgreSQL server: %s\n", cluster.whyNot().c_str());
      return 1;
    }
    location = cluster.newDatabase("archive_bench");
  }

  auto start = std::chrono::steady_clock::now();
  norvale::OpenedArchive opened = norvale::Archive::Open(location);
  if (!opened.archive) {
    std::printf("%s\n", opened.failure.c_str());
    return 1;
  }
  norvale::Archive& archive = *opened.archive;
  std::printf("archive %s opened in %.3f s\n", archive.location().c_str(), secondsSince(start));

  // (1)
  start = std::chrono::steady_clock::now();
  for (int64_t at = 0; at < times; at += kTimesPerDownload) {
    const int chunk = static_cast<int>(std::min<int64_t>(kTimesPerDownload, times - at));
    const bool print = at == 0 || at + kTimesPerDownload >= times;
    const std::string what = "(1) merge at " + std::to_string(at) + " times";
    if (!merge(archive, at, chunk, what.c_str(), print)) return 1;
  }
  std::printf("(1) %lld times x %d channels built in %.1f s\n", static_cast<long long>(times),
              kChannels, secondsSince(start));
  if (argc <= 2) {
    std::error_code error;
    std::printf("    archive file: %.1f MB, its WAL %.1f MB\n",
                static_cast<double>(std::filesystem::file_size(location, error)) / 1e6,
                static_cast<double>(std::filesystem::file_size(location + "-wal", error)) / 1e6);
  }

  // (2)
  if (!merge(archive, times, kTimesPerDownload, "(2) 32768 new times x 8", true) ||
      !merge(archive, times, kTimesPerDownload, "(2) the same again, all known", true) ||
      !merge(archive, times + kTimesPerDownload / 2, kTimesPerDownload, "(2) half known, half new",
             true)) {
    return 1;
  }

  // (3)
  start = std::chrono::steady_clock::now();
  const std::vector<norvale::MeterSummary> meters = archive.Meters();
  std::printf("(3) Meters()                                 %8.3f s  (%lld times)\n",
              secondsSince(start),
              meters.empty() ? 0LL : static_cast<long long>(meters[0].loggedTimes));
  start = std::chrono::steady_clock::now();
  norvale::LoggedRowReader reader(archive, "Bench", INT64_MIN, INT64_MAX);
  norvale::LoggedRow row;
  int64_t rows = 0;
  while (reader.next(row)) ++rows;
  std::printf("(3) reading the whole history                %8.3f s  (%lld times)\n",
              secondsSince(start), static_cast<long long>(rows));
  const std::string exported = folder.filePath("export.csv").toStdString();
  std::string failure;
  start = std::chrono::steady_clock::now();
  if (!norvale::WriteArchiveExport(archive, "Bench", INT64_MIN, INT64_MAX, exported, failure)) {
    std::printf("(3) export failed: %s\n", failure.c_str());
    return 1;
  }
  std::printf("(3) export of the whole history              %8.3f s  (%.1f MB)\n",
              secondsSince(start), static_cast<double>(std::filesystem::file_size(exported)) / 1e6);
  if (argc <= 2) {
    std::error_code error;
    std::printf("archive file: %.1f MB, its WAL %.1f MB\n",
                static_cast<double>(std::filesystem::file_size(location, error)) / 1e6,
                static_cast<double>(std::filesystem::file_size(location + "-wal", error)) / 1e6);
  }
  return 0;
}
