#include "cli/commands/archive.h"

#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

#include "archive/archive.h"
#include "archive/archive_export.h"
#include "archive/logged_time.h"
#include "cli/exit_codes.h"

namespace norvale {
namespace {

// ISO 8601 local time, as the meter's clock has it: "2024-02-28T23:05:00".
std::string IsoText(int64_t loggedAt) {
  const LoggedStamp stamp = StampOf(loggedAt);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", stamp.date.year,
                stamp.date.month, stamp.date.day, stamp.time.hour, stamp.time.minute,
                stamp.time.second);
  return text;
}

// "2024-02-28", "2024-02-28T23:05" or "2024-02-28T23:05:00".
std::optional<int64_t> LoggedAtOfIso(const std::string& text) {
  LogDate date;
  LogTime time;
  char tail = 0;
  const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &date.year, &date.month,
                                 &date.day, &time.hour, &time.minute, &time.second, &tail);
  const bool whole = fields == 3 ? text.size() == 10 : fields == 5 || fields == 6;
  if (!whole || !IsValidDate(date) || !IsValidTime(time)) return std::nullopt;
  return LoggedAtOf(date, time);
}

std::optional<OpenedArchive> OpenOrSay(const std::string& location) {
  OpenedArchive opened = Archive::Open(location);
  if (opened.archive) return opened;
  std::fprintf(stderr, "norvale-cli: %s\n", opened.failure.c_str());
  return std::nullopt;
}

int PrintMeters(Archive& archive) {
  const std::vector<MeterSummary> meters = archive.Meters();
  if (!archive.failure().empty()) {
    std::fprintf(stderr, "norvale-cli: %s\n", archive.failure().c_str());
    return kExitFileError;
  }
  for (const MeterSummary& meter : meters) {
    std::printf("%s\t%s\t%s\t%lld\n", meter.name.c_str(),
                meter.loggedTimes ? IsoText(meter.firstLoggedAt).c_str() : "",
                meter.loggedTimes ? IsoText(meter.lastLoggedAt).c_str() : "",
                static_cast<long long>(meter.loggedTimes));
  }
  return kExitSuccess;
}

int Export(Archive& archive, const CliOptions& options) {
  std::optional<int64_t> from = std::numeric_limits<int64_t>::min();
  std::optional<int64_t> to = std::numeric_limits<int64_t>::max();
  if (!options.from.empty()) from = LoggedAtOfIso(options.from);
  if (!options.to.empty()) to = LoggedAtOfIso(options.to);
  if (!from || !to) {
    std::fprintf(stderr, "norvale-cli: --from and --to take a time such as 2024-02-28T23:00\n");
    return kExitUsage;
  }
  std::string failure;
  if (!WriteArchiveExport(archive, options.meterName, *from, *to, options.output, failure)) {
    std::fprintf(stderr, "norvale-cli: %s\n", failure.c_str());
    return kExitFileError;
  }
  std::fprintf(stderr, "Exported to %s\n", options.output.c_str());
  return kExitSuccess;
}

}  // namespace

int MergeIntoArchive(const CliOptions& options, const RecordTable& records,
                     TerminalDownloadView& view, int readStatus) {
  const bool imported = options.command == CliCommand::Import;
  const TableValues read =
      ValuesOfTable(records, imported ? TableDates::Handheld : TableDates::Download);
  std::optional<OpenedArchive> opened = OpenOrSay(options.archive);
  if (!opened) return kExitFileError;
  DownloadInfo info;
  info.takenAt = static_cast<int64_t>(std::time(nullptr));
  info.source = imported ? options.database : options.device;
  info.mode = imported            ? DownloadMode::Import
              : options.sinceLast ? DownloadMode::SinceLast
                                  : DownloadMode::Download;
  info.result = "file written";
  const MergeResult merged =
      opened->archive->Merge(options.meterName, read.channels, read.values, info);
  if (!merged.merged) {
    std::fprintf(stderr, "norvale-cli: %s\n", merged.failure.c_str());
    return kExitFileError;
  }
  view.printLine("Archive " + options.meterName + ": " + std::to_string(merged.newTimes) +
                 " new logged times, " + std::to_string(merged.knownTimes) + " already there, " +
                 std::to_string(merged.conflicts) + " conflicting values kept as stored");
  return readStatus;
}

int RunArchive(const CliOptions& options) {
  std::optional<OpenedArchive> opened = OpenOrSay(options.archive);
  if (!opened) return kExitFileError;
  return options.archiveAction == ArchiveAction::Meters ? PrintMeters(*opened->archive)
                                                        : Export(*opened->archive, options);
}

}  // namespace norvale
