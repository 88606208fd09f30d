#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_location.h"
#include "archive/logged_values.h"

namespace norvale {

class Archive;

enum class DownloadMode { Download, SinceLast, Import };
// "download", "since-last", "import": the text the downloads table keeps.
const char* DownloadModeText(DownloadMode mode);

// What the downloads table keeps about one merge besides its counts.
struct DownloadInfo {
  int64_t takenAt = 0;  // UTC seconds since 1970
  std::string source;   // the device, or the handheld database's path
  DownloadMode mode = DownloadMode::Download;
  std::string result;  // the download's result text
};

struct MergeResult {
  bool merged = false;
  std::string failure;     // why not, when not merged; the archive is then as it was
  int64_t newTimes = 0;    // logged times the archive did not hold
  int64_t knownTimes = 0;  // logged times it held a value of already
  int64_t conflicts = 0;   // values whose key it held with another value, which it keeps
};

struct MeterSummary {
  std::string name;
  int64_t loggedTimes = 0;
  int64_t firstLoggedAt = 0;  // first and last logged time; 0 when it holds none
  int64_t lastLoggedAt = 0;
};

struct OpenedArchive {
  std::unique_ptr<Archive> archive;
  std::string failure;  // when archive is null
};

// Every download and import of every meter in one history: a SQLite file or a PostgreSQL
// database, through one Qt SQL connection of its own. An Archive and its LoggedRowReaders
// belong to the thread that opened it; other threads and programs open their own, and any number
// may merge into the same archive at once.
class Archive {
 public:
  // A file path or "postgresql://USER@HOST:PORT/DB". Creates the schema in an empty database,
  // upgrades an older one and refuses one a newer program made.
  static OpenedArchive Open(const std::string& location);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  // Adds a download's values to the meter's history in one transaction: keys it holds already
  // keep their value (a different one counts as a conflict), the meter and its latest channel
  // names are recorded, and so is the download with its counts. Merging the same values twice
  // adds nothing the second time. Of a key repeated within `values` the first is kept, and
  // another value of it counts as a conflict. A channel outside 1..8 or a value that is not a
  // finite number fails the merge before it starts.
  MergeResult Merge(const std::string& meter, const std::vector<ChannelName>& channels,
                    const std::vector<LoggedValue>& values, const DownloadInfo& info);

  // Every meter, by name (byte order); empty with failure() set when the archive could not be
  // read. Each merge counted its new times, so their sum counts a meter's logged times.
  std::vector<MeterSummary> Meters();
  // The meter's channels with the names its latest merge gave them, lowest first.
  std::vector<ChannelName> ChannelNames(const std::string& meter);

  // What the last Meters or ChannelNames call failed on; empty after a success.
  const std::string& failure() const { return failure_; }
  const std::string& location() const { return location_; }
  ArchiveLocation::Engine engine() const { return engine_; }

 private:
  friend class LoggedRowReader;
  Archive(std::string connection, std::string location, ArchiveLocation::Engine engine);

  std::string connection_;  // the Qt SQL connection's name, one per Archive
  std::string location_;    // as messages show it
  ArchiveLocation::Engine engine_;
  std::string failure_;
};

}  // namespace norvale
