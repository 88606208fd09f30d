#include "archive/archive.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <latch>
#include <set>
#include <thread>

#include "archive/archive_export.h"
#include "archive/archive_schema.h"
#include "archive/downloaded_table.h"
#include "archive/logged_row_reader.h"
#include "archive/logged_time.h"
#include "output/csv_writer.h"
#include "support/postgres_cluster.h"
#include "support/tcp_ports.h"

namespace norvale {
namespace {

using Engine = ArchiveLocation::Engine;

const int64_t kStart = LoggedAtOf({2021, 3, 6}, {0, 1, 0});
const std::vector<ChannelName> kNames = {{1, "Flow"}, {2, "Level"}, {3, "Flow Tot"}};

// `count` logged times a minute apart from minute `first` after kStart, a value on each of
// `channels`; every value differs and is exact in binary.
std::vector<LoggedValue> minutes(int first, int count, std::initializer_list<int> channels) {
  std::vector<LoggedValue> values;
  for (int m = first; m < first + count; ++m) {
    for (int channel : channels) values.push_back({kStart + 60 * m, channel, m * 0.25 + channel});
  }
  return values;
}

DownloadInfo downloadInfo(DownloadMode mode = DownloadMode::Download) {
  return {1700000000, "/dev/ttyUSB0", mode, "Log read"};
}

// The meter's history as the reader gives it, flattened to values, in time and channel order.
std::vector<LoggedValue> stored(Archive& archive, const std::string& meter,
                                int64_t first = INT64_MIN, int64_t last = INT64_MAX) {
  std::vector<LoggedValue> values;
  LoggedRowReader reader(archive, meter, first, last);
  LoggedRow row;
  while (reader.next(row)) {
    for (int k = 1; k <= RecordTable::kChannels; ++k) {
      if (row.values[k - 1]) values.push_back({row.loggedAt, k, *row.values[k - 1]});
    }
  }
  EXPECT_EQ(reader.failure(), "");
  return values;
}

// A connection of the test's own beside the archive's, to look at the tables or change them as
// another program (or an older or newer one) would.
class SideConnection {
 public:
  explicit SideConnection(const std::string& location) {
    const ArchiveLocation where = ParseArchiveLocation(location);
    QSqlDatabase db = QSqlDatabase::addDatabase(DialectOf(where.engine).driver, name_);
    if (where.engine == Engine::Sqlite) {
      db.setDatabaseName(QString::fromStdString(where.path));
    } else {
      db.setHostName(QString::fromStdString(where.host));
      db.setPort(where.port);
      db.setUserName(QString::fromStdString(where.user));
      db.setDatabaseName(QString::fromStdString(where.database));
    }
    EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
  }
  ~SideConnection() {
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
  }

  void run(const std::string& sql) {
    QSqlQuery query(QSqlDatabase::database(name_, false));
    EXPECT_TRUE(query.exec(QString::fromStdString(sql)))
        << sql << ": " << query.lastError().text().toStdString();
  }
  std::string text(const std::string& sql) {
    QSqlQuery query(QSqlDatabase::database(name_, false));
    if (!query.exec(QString::fromStdString(sql)) || !query.next()) {
      ADD_FAILURE() << sql << ": " << query.lastError().text().toStdString();
      return {};
    }
    return query.value(0).toString().toStdString();
  }
  int64_t number(const std::string& sql) {
    QSqlQuery query(QSqlDatabase::database(name_, false));
    if (!query.exec(QString::fromStdString(sql)) || !query.next()) {
      ADD_FAILURE() << sql << ": " << query.lastError().text().toStdString();
      return -1;
    }
    return query.value(0).toLongLong();
  }

 private:
  const QString name_ = "archive-test-side";
};

// Every case runs on a SQLite file, and on a new database of the tests' own PostgreSQL server
// when one could be started.
class ArchiveTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Engine::Sqlite) {
      ASSERT_TRUE(folder.isValid());
      location = folder.filePath("archive.sqlite").toStdString();
      return;
    }
    testing::PostgresCluster& cluster = testing::PostgresCluster::Shared();
    if (!cluster.started()) GTEST_SKIP() << cluster.whyNot();
    location = cluster.newDatabase(databaseName());
    ASSERT_FALSE(location.empty());
  }

  std::unique_ptr<Archive> open() {
    OpenedArchive opened = Archive::Open(location);
    EXPECT_TRUE(opened.archive) << opened.failure;
    return std::move(opened.archive);
  }

  static std::string databaseName() {
    static int made = 0;
    std::string name = "archive_" + std::to_string(++made) + "_";
    for (char c : std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())) {
      name +=
          std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
    }
    return name.substr(0, 63);
  }

  QTemporaryDir folder;
  std::string location;
};

TEST_P(ArchiveTest, SameDownloadTwiceAddsNothingTheSecondTime) {
  auto archive = open();
  ASSERT_TRUE(archive);
  const std::vector<LoggedValue> values = minutes(0, 100, {1, 2, 3});

  const MergeResult first = archive->Merge("M1", kNames, values, downloadInfo());
  ASSERT_TRUE(first.merged) << first.failure;
  EXPECT_EQ(first.newTimes, 100);
  EXPECT_EQ(first.knownTimes, 0);
  EXPECT_EQ(first.conflicts, 0);
  const MergeResult again = archive->Merge("M1", kNames, values, downloadInfo());
  ASSERT_TRUE(again.merged) << again.failure;
  EXPECT_EQ(again.newTimes, 0);
  EXPECT_EQ(again.knownTimes, 100);
  EXPECT_EQ(again.conflicts, 0);

  EXPECT_EQ(stored(*archive, "M1"), values);
  SideConnection side(location);
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM logged_values"), 300);
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM downloads WHERE new_times = 0 AND known_times = 100"
                        " AND mode = 'download' AND source = '/dev/ttyUSB0'"),
            1);
}

TEST_P(ArchiveTest, OverlappingDownloadsKeepEachKeyOnceAndFillInLaterChannels) {
  auto archive = open();
  ASSERT_TRUE(archive);
  const MergeResult part = archive->Merge("M1", kNames, minutes(0, 60, {1, 2}), downloadInfo());
  ASSERT_TRUE(part.merged) << part.failure;
  const std::vector<LoggedValue> whole = minutes(0, 120, {1, 2, 3});
  const MergeResult all =
      archive->Merge("M1", kNames, whole, downloadInfo(DownloadMode::SinceLast));
  ASSERT_TRUE(all.merged) << all.failure;
  EXPECT_EQ(all.newTimes, 60);
  EXPECT_EQ(all.knownTimes, 60);
  EXPECT_EQ(all.conflicts, 0);

  EXPECT_EQ(stored(*archive, "M1"), whole);
  SideConnection side(location);
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM logged_values"), 360);
}

TEST_P(ArchiveTest, ConflictingValueIsCountedAndTheStoredOneKept) {
  auto archive = open();
  ASSERT_TRUE(archive);
  const std::vector<LoggedValue> values = minutes(0, 10, {1, 2});
  ASSERT_TRUE(archive->Merge("M1", kNames, values, downloadInfo()).merged);
  std::vector<LoggedValue> changed = values;
  changed[3].value += 1;
  changed[7].value = -changed[7].value;
  changed.push_back({values[0].loggedAt, values[0].channel, 99});  // a repeat within the download
  changed.push_back({kStart + 60 * 10, 1, 5});                     // and one new time

  const MergeResult result = archive->Merge("M1", kNames, changed, downloadInfo());
  ASSERT_TRUE(result.merged) << result.failure;
  EXPECT_EQ(result.conflicts, 3);
  EXPECT_EQ(result.newTimes, 1);
  EXPECT_EQ(result.knownTimes, 10);
  std::vector<LoggedValue> expected = values;
  expected.push_back({kStart + 60 * 10, 1, 5});
  EXPECT_EQ(stored(*archive, "M1"), expected);
}

TEST_P(ArchiveTest, FailedMergeLeavesTheArchiveAsItWas) {
  auto archive = open();
  ASSERT_TRUE(archive);
  ASSERT_TRUE(archive->Merge("M1", kNames, minutes(0, 50, {1, 2}), downloadInfo()).merged);
  const std::vector<MeterSummary> before = archive->Meters();

  // The downloads row is written last: failing it fails the merge after everything else.
  SideConnection side(location);
  if (GetParam() == Engine::Sqlite) {
    side.run(
        "CREATE TRIGGER refuse BEFORE INSERT ON downloads"
        " BEGIN SELECT RAISE(ABORT, 'injected failure'); END");
  } else {
    side.run(
        "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql"
        " AS $$ BEGIN RAISE EXCEPTION 'injected failure'; END $$");
    side.run(
        "CREATE TRIGGER refuse BEFORE INSERT ON downloads"
        " FOR EACH ROW EXECUTE FUNCTION refuse()");
  }
  const std::vector<ChannelName> renamed = {{1, "Renamed"}, {4, "Velocity"}};
  const std::vector<LoggedValue> more = minutes(25, 50, {1, 2, 4});
  const MergeResult failed = archive->Merge("M1", renamed, more, downloadInfo());
  EXPECT_FALSE(failed.merged);
  EXPECT_NE(failed.failure.find("injected failure"), std::string::npos) << failed.failure;
  EXPECT_FALSE(archive->Merge("M2", renamed, more, downloadInfo()).merged);

  const std::vector<MeterSummary> after = archive->Meters();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].loggedTimes, before[0].loggedTimes);
  EXPECT_EQ(archive->ChannelNames("M1"), kNames);
  EXPECT_EQ(stored(*archive, "M1"), minutes(0, 50, {1, 2}));
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM downloads"), 1);
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM channel_names"), 3);

  // And the archive goes on as if the failed merges had never been tried.
  side.run("DROP TRIGGER refuse" +
           std::string(GetParam() == Engine::Sqlite ? "" : " ON downloads"));
  const MergeResult retried = archive->Merge("M1", renamed, more, downloadInfo());
  ASSERT_TRUE(retried.merged) << retried.failure;
  EXPECT_EQ(retried.newTimes, 25);
  EXPECT_EQ(retried.knownTimes, 25);
  EXPECT_EQ(
      archive->ChannelNames("M1"),
      (std::vector<ChannelName>{{1, "Renamed"}, {2, "Level"}, {3, "Flow Tot"}, {4, "Velocity"}}));
}

TEST_P(ArchiveTest, ArchiveOfANewerSchemaIsRefusedAndLeftAlone) {
  ASSERT_TRUE(open());
  SideConnection side(location);
  side.run("UPDATE schema_version SET version = 7");

  const OpenedArchive opened = Archive::Open(location);
  EXPECT_FALSE(opened.archive);
  EXPECT_EQ(opened.failure,
            "archive " + ParseArchiveLocation(location).shown +
                " was made by a newer version (schema 7); this program knows up to " +
                std::to_string(kArchiveSchemaVersion));
  if (GetParam() == Engine::Sqlite) {
    EXPECT_EQ(opened.failure,
              "archive " + location +
                  " was made by a newer version (schema 7); this program knows up to 2");
  }
  EXPECT_EQ(side.number("SELECT version FROM schema_version"), 7);
}

TEST_P(ArchiveTest, ArchiveOfAnOlderSchemaIsUpgradedKeepingItsHistory) {
  {
    auto archive = open();
    ASSERT_TRUE(archive);
    ASSERT_TRUE(archive->Merge("M1", kNames, minutes(0, 10, {1}), downloadInfo()).merged);
  }
  const std::string indexCount =
      GetParam() == Engine::Sqlite
          ? "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name = "
            "'downloads_by_meter'"
          : "SELECT COUNT(*) FROM pg_indexes WHERE indexname = 'downloads_by_meter'";
  SideConnection side(location);
  // Version 1 as it was: no index of downloads.
  side.run("DROP INDEX downloads_by_meter");
  side.run("UPDATE schema_version SET version = 1");

  auto archive = open();
  ASSERT_TRUE(archive);
  EXPECT_EQ(side.number("SELECT version FROM schema_version"), kArchiveSchemaVersion);
  EXPECT_EQ(side.number(indexCount), 1);
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM schema_version"), 1);
  EXPECT_EQ(stored(*archive, "M1"), minutes(0, 10, {1}));
  EXPECT_TRUE(archive->Merge("M1", kNames, minutes(10, 10, {1}), downloadInfo()).merged);
}

TEST_P(ArchiveTest, MetersSummariseEachHistory) {
  auto archive = open();
  ASSERT_TRUE(archive);
  ASSERT_TRUE(archive->Merge("North", kNames, minutes(100, 50, {1}), downloadInfo()).merged);
  ASSERT_TRUE(archive->Merge("North", kNames, minutes(0, 10, {2, 3}), downloadInfo()).merged);
  ASSERT_TRUE(archive->Merge("East", kNames, minutes(500, 5, {1, 3}), downloadInfo()).merged);
  ASSERT_TRUE(archive->Merge("Empty", {}, {}, downloadInfo(DownloadMode::Import)).merged);

  const std::vector<MeterSummary> meters = archive->Meters();
  EXPECT_EQ(archive->failure(), "");
  ASSERT_EQ(meters.size(), 3u);
  const struct {
    const char* name;
    int64_t times;
    int64_t first;
    int64_t last;
  } expected[] = {{"East", 5, kStart + 60 * 500, kStart + 60 * 504},
                  {"Empty", 0, 0, 0},
                  {"North", 60, kStart, kStart + 60 * 149}};
  for (size_t i = 0; i < meters.size(); ++i) {
    EXPECT_EQ(meters[i].name, expected[i].name);
    EXPECT_EQ(meters[i].loggedTimes, expected[i].times) << meters[i].name;
    EXPECT_EQ(meters[i].firstLoggedAt, expected[i].first) << meters[i].name;
    EXPECT_EQ(meters[i].lastLoggedAt, expected[i].last) << meters[i].name;
  }
}

TEST_P(ArchiveTest, ExportOfOneDownloadIsThatDownloadsFileByteForByte) {
  auto archive = open();
  ASSERT_TRUE(archive);
  const RecordTable table = testing::downloadedTable(9, 3000, false);
  const std::string downloaded = folder.filePath("download.csv").toStdString();
  std::string failure;
  ASSERT_TRUE(WriteLogFile(table, downloaded, failure)) << failure;
  const TableValues values = ValuesOfTable(table, TableDates::Download);
  ASSERT_TRUE(archive->Merge("M1", values.channels, values.values, downloadInfo()).merged);

  const std::string exported = folder.filePath("export.csv").toStdString();
  ASSERT_TRUE(WriteArchiveExport(*archive, "M1", INT64_MIN, INT64_MAX, exported, failure))
      << failure;
  const std::string file = testing::fileText(downloaded);
  testing::expectSameLines(testing::fileText(exported), file);

  // A range: the title and the data lines 101 to 200, both ends included.
  const std::optional<int64_t> first = LoggedAtOfGeneralDateText(table.cell(102, 1));
  const std::optional<int64_t> last = LoggedAtOfGeneralDateText(table.cell(201, 1));
  ASSERT_TRUE(first && last);
  ASSERT_TRUE(WriteArchiveExport(*archive, "M1", *first, *last, exported, failure)) << failure;
  std::string expected;
  size_t at = 0;
  for (int line = 0; line <= 200; ++line) {
    const size_t end = file.find('\n', at) + 1;
    if (line == 0 || line > 100) expected += file.substr(at, end - at);
    at = end;
  }
  testing::expectSameLines(testing::fileText(exported), expected);

  // A meter the archive does not know leaves the file as it was.
  EXPECT_FALSE(WriteArchiveExport(*archive, "M9", INT64_MIN, INT64_MAX, exported, failure));
  EXPECT_EQ(failure, "the archive holds no meter named M9");
  EXPECT_EQ(testing::fileText(exported), expected);
}

TEST_P(ArchiveTest, ReaderGivesTheRangeInOrderOfOneMeterOnly) {
  auto archive = open();
  ASSERT_TRUE(archive);
  const std::vector<LoggedValue> values = minutes(0, 20000, {1, 2, 5});
  ASSERT_TRUE(archive->Merge("M1", kNames, values, downloadInfo()).merged);
  ASSERT_TRUE(archive->Merge("M2", kNames, minutes(0, 100, {1}), downloadInfo()).merged);

  EXPECT_EQ(stored(*archive, "M1", kStart + 60 * 1000, kStart + 60 * 19000),
            std::vector<LoggedValue>(values.begin() + 3 * 1000, values.begin() + 3 * 19001));
  EXPECT_EQ(stored(*archive, "M1"), values);
  EXPECT_EQ(stored(*archive, "M1", kStart + 60 * 20000, INT64_MAX), std::vector<LoggedValue>{});
  EXPECT_EQ(stored(*archive, "M3"), std::vector<LoggedValue>{});
}

TEST_P(ArchiveTest, TwoWritersAtOnceLoseNothingAndCountNoTimeNewTwice) {
  // Two programs merging overlapping downloads of one meter at the same moment: chunks of 400
  // minutes 300 apart, the second writer's 150 minutes after the first's, so at any moment the
  // two are likely at the same times.
  constexpr int kChunks = 10;
  std::vector<MergeResult> results[2];
  std::latch start(2);
  const auto writer = [&](int w) {
    OpenedArchive opened = Archive::Open(location);
    start.arrive_and_wait();
    if (!opened.archive) {
      ADD_FAILURE() << opened.failure;
      return;
    }
    for (int chunk = 0; chunk < kChunks; ++chunk) {
      results[w].push_back(opened.archive->Merge(
          "Shared", kNames, minutes(300 * chunk + 150 * w, 400, {1, 2, 3}), downloadInfo()));
    }
  };
  {
    std::jthread first(writer, 0);
    std::jthread second(writer, 1);
  }

  const int times = 300 * (kChunks - 1) + 150 + 400;
  int64_t newTimes = 0;
  for (const auto& writerResults : results) {
    ASSERT_EQ(writerResults.size(), static_cast<size_t>(kChunks));
    for (const MergeResult& result : writerResults) {
      EXPECT_TRUE(result.merged) << result.failure;
      EXPECT_EQ(result.newTimes + result.knownTimes, 400);
      EXPECT_EQ(result.conflicts, 0);
      newTimes += result.newTimes;
    }
  }
  EXPECT_EQ(newTimes, times);
  auto archive = open();
  ASSERT_TRUE(archive);
  EXPECT_EQ(stored(*archive, "Shared"), minutes(0, times, {1, 2, 3}));
  SideConnection side(location);
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM meters"), 1);
  EXPECT_EQ(side.number("SELECT COUNT(*) FROM downloads"), 2 * kChunks);
  if (GetParam() == Engine::Sqlite) {
    EXPECT_EQ(side.text("PRAGMA journal_mode"), "wal");
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::Sqlite ? "Sqlite" : "Postgres";
                         });

// A statement left part-read keeps its snapshot past COMMIT, and then no checkpoint ever moves
// the WAL into the file: the history grows in the WAL alone, and reading it slows down.
TEST(SqliteArchive, MergedHistoryReachesTheFileNotOnlyItsWal) {
  QTemporaryDir folder;
  const std::string location = folder.filePath("archive.sqlite").toStdString();
  OpenedArchive opened = Archive::Open(location);
  ASSERT_TRUE(opened.archive) << opened.failure;
  for (int download = 0; download < 2; ++download) {
    ASSERT_TRUE(opened.archive
                    ->Merge("M1", kNames,
                            minutes(20000 * download, 20000, {1, 2, 3, 4, 5, 6, 7, 8}),
                            downloadInfo())
                    .merged);
  }
  // Well past SQLite's automatic checkpoint (1000 pages of 4096 bytes) in each merge.
  EXPECT_GT(std::filesystem::file_size(location), 4'000'000u);
}

struct LocationCase {
  const char* text;
  Engine engine;
  const char* error;  // empty when it names a location
  const char* host;
  int port;
  const char* user;
  const char* database;
};

void PrintTo(const LocationCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ArchiveLocationTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(ArchiveLocationTest, TellsFilesFromPostgresAddresses) {
  const LocationCase& c = GetParam();
  const ArchiveLocation where = ParseArchiveLocation(c.text);
  EXPECT_EQ(where.engine, c.engine);
  EXPECT_EQ(where.error, c.error);
  if (*c.error != '\0') return;
  if (c.engine == Engine::Sqlite) {
    EXPECT_EQ(where.path, c.text);
    return;
  }
  EXPECT_EQ(where.host, c.host);
  EXPECT_EQ(where.port, c.port);
  EXPECT_EQ(where.user, c.user);
  EXPECT_EQ(where.database, c.database);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ArchiveLocationTest,
    ::testing::Values(
        LocationCase{"archive.sqlite", Engine::Sqlite, "", "", 0, "", ""},
        LocationCase{"/var/lib/norvale/postgresql.db", Engine::Sqlite, "", "", 0, "", ""},
        LocationCase{"", Engine::Sqlite, "no archive file named", "", 0, "", ""},
        LocationCase{"postgresql://norvale@db.example:5433/meters", Engine::Postgres, "",
                     "db.example", 5433, "norvale", "meters"},
        LocationCase{"postgres://norvale@127.0.0.1/meters", Engine::Postgres, "", "127.0.0.1", 5432,
                     "norvale", "meters"},
        LocationCase{"postgresql://db.example/meters", Engine::Postgres, "", "db.example", 5432, "",
                     "meters"},
        LocationCase{"postgresql://norvale@db.example:5433", Engine::Postgres,
                     "\"postgresql://norvale@db.example:5433\" is not a PostgreSQL address"
                     " (postgresql://USER@HOST:PORT/DATABASE)",
                     "", 0, "", ""},
        LocationCase{"postgresql:///meters", Engine::Postgres,
                     "\"postgresql:///meters\" is not a PostgreSQL address"
                     " (postgresql://USER@HOST:PORT/DATABASE)",
                     "", 0, "", ""}));

TEST(ArchiveOpen, SaysWhyAnArchiveCannotBeOpened) {
  OpenedArchive missingFolder = Archive::Open("/nonexistent-folder/archive.sqlite");
  EXPECT_FALSE(missingFolder.archive);
  EXPECT_TRUE(
      missingFolder.failure.starts_with("cannot open archive /nonexistent-folder/archive.sqlite: "))
      << missingFolder.failure;

  const std::string nobody =
      "postgresql://norvale@127.0.0.1:" + std::to_string(testing::FreeTcpPort()) + "/meters";
  OpenedArchive noServer = Archive::Open(nobody);
  EXPECT_FALSE(noServer.archive);
  EXPECT_TRUE(noServer.failure.starts_with("cannot open archive " + nobody + ": "))
      << noServer.failure;

  QTemporaryDir folder;
  const std::string notAnArchive = folder.filePath("log.csv").toStdString();
  { std::ofstream(notAnArchive) << "Date / Time,Flow\r\n3/6/2021, 1.5\r\n"; }
  OpenedArchive csv = Archive::Open(notAnArchive);
  EXPECT_FALSE(csv.archive);
  EXPECT_NE(csv.failure.find("not a database"), std::string::npos) << csv.failure;
}

}  // namespace
}  // namespace norvale
