#include "cli/commands/archive.h"

#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <optional>

#include "archive/archive.h"
#include "archive/archive_export.h"
#include "archive/logged_time.h"
#include "cli/exit_codes.h"

namespace norvale {
namespace {

// The archive, or nothing after saying why it could not be opened.
std::unique_ptr<Archive> OpenOrSay(const std::string& location) {
  OpenedArchive opened = Archive::Open(location);
  if (!opened.archive) std::fprintf(stderr, "norvale-cli: %s\n", opened.failure.c_str());
  return std::move(opened.archive);
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
  if (!options.from.empty()) from = LoggedAtOfIsoText(options.from);
  if (!options.to.empty()) to = LoggedAtOfIsoText(options.to);
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
  const std::unique_ptr<Archive> archive = OpenOrSay(options.archive);
  if (!archive) return kExitFileError;
  DownloadInfo info;
  info.takenAt = static_cast<int64_t>(std::time(nullptr));
  info.source = imported ? options.database : options.device;
  info.mode = imported            ? DownloadMode::Import
              : options.sinceLast ? DownloadMode::SinceLast
                                  : DownloadMode::Download;
  info.result = "file written";
  const MergeResult merged = archive->Merge(options.meterName, read.channels, read.values, info);
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
  const std::unique_ptr<Archive> archive = OpenOrSay(options.archive);
  if (!archive) return kExitFileError;
  return options.archiveAction == ArchiveAction::Meters ? PrintMeters(*archive)
                                                        : Export(*archive, options);
}

}  // namespace norvale
