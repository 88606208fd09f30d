#include "archive/archive.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <atomic>

#include "archive/archive_schema.h"
#include "archive/sql_run.h"
#include "archive/staging.h"

namespace norvale {
namespace {

// SQLite waits this long for another writer's transaction before it gives up.
constexpr int kBusyTimeoutMs = 30000;
constexpr int kConnectTimeoutSeconds = 10;

std::string newConnectionName() {
  static std::atomic<int> opened{0};
  return "norvale-archive-" + std::to_string(++opened);
}

QSqlDatabase connectionOf(const std::string& name) {
  return QSqlDatabase::database(QString::fromStdString(name), false);
}

// 0 when the database holds no archive yet.
bool readVersion(const QSqlDatabase& db, int& version, std::string& failure) {
  version = 0;
  if (!db.tables().contains("schema_version")) return true;
  QSqlQuery query(db);
  if (!Prepare(query, "SELECT version FROM schema_version", failure) ||
      !RunPrepared(query, failure)) {
    return false;
  }
  if (!query.next()) {
    failure = "its schema_version table holds no version";
    return false;
  }
  version = query.value(0).toInt();
  return true;
}

std::string newerText(const std::string& shown, int version) {
  return "archive " + shown + " was made by a newer version (schema " + std::to_string(version) +
         "); this program knows up to " + std::to_string(kArchiveSchemaVersion);
}

// Creates the schema, or upgrades it step by step, in one transaction.
bool bringSchemaUp(const QSqlDatabase& db, const SqlDialect& dialect, const std::string& shown,
                   std::string& failure) {
  int version = 0;
  if (!readVersion(db, version, failure)) return false;
  if (version > kArchiveSchemaVersion) {
    failure = newerText(shown, version);
    return false;
  }
  if (version == kArchiveSchemaVersion) return true;

  // Another program may be doing the same at this moment: look again holding the lock.
  WriteTransaction transaction(db);
  if (!transaction.begin(dialect.beginWrite, failure)) return false;
  if (*dialect.lockSchema != '\0' && !RunStatement(db, dialect.lockSchema, failure)) return false;
  if (!readVersion(db, version, failure)) return false;
  if (version > kArchiveSchemaVersion) {
    failure = newerText(shown, version);
    return false;
  }
  for (int step = version; step < kArchiveSchemaVersion; ++step) {
    for (const std::string& statement : SchemaStep(step, dialect)) {
      if (!RunStatement(db, statement, failure)) return false;
    }
  }
  if (version < kArchiveSchemaVersion) {
    const std::string number = std::to_string(kArchiveSchemaVersion);
    const std::string row = version == 0
                                ? "INSERT INTO schema_version (version) VALUES (" + number + ")"
                                : "UPDATE schema_version SET version = " + number;
    if (!RunStatement(db, row, failure)) return false;
  }
  return transaction.commit(failure);
}

bool setUpSqlite(const QSqlDatabase& db, std::string& failure) {
  if (!RunStatement(db, "PRAGMA busy_timeout = " + std::to_string(kBusyTimeoutMs), failure) ||
      !RunStatement(db, "PRAGMA foreign_keys = ON", failure)) {
    return false;
  }
  // WAL lets readers go on while one merge writes, and stays with the file once set. Switching
  // needs the file to itself and does not wait for it: when another connection has it open (two
  // programs opening a new archive at once, the other one switching it), this one goes on in
  // whatever mode the file has, as correct if less concurrent, and the next opener switches it.
  std::string busy;
  RunStatement(db, "PRAGMA journal_mode = WAL", busy);
  return true;
}

}  // namespace

const char* DownloadModeText(DownloadMode mode) {
  switch (mode) {
    case DownloadMode::Download:
      return "download";
    case DownloadMode::SinceLast:
      return "since-last";
    case DownloadMode::Import:
      return "import";
  }
  return "download";
}

Archive::Archive(std::string connection, std::string location, ArchiveLocation::Engine engine)
    : connection_(std::move(connection)), location_(std::move(location)), engine_(engine) {}

Archive::~Archive() {
  {
    QSqlDatabase db = connectionOf(connection_);
    if (db.isValid()) db.close();
  }
  QSqlDatabase::removeDatabase(QString::fromStdString(connection_));
}

OpenedArchive Archive::Open(const std::string& location) {
  const ArchiveLocation where = ParseArchiveLocation(location);
  if (!where.error.empty()) return {nullptr, where.error};
  const SqlDialect& dialect = DialectOf(where.engine);
  std::unique_ptr<Archive> archive(new Archive(newConnectionName(), where.shown, where.engine));
  QSqlDatabase db =
      QSqlDatabase::addDatabase(dialect.driver, QString::fromStdString(archive->connection_));
  if (!db.isValid()) {
    return {nullptr, std::string("cannot open archive ") + where.shown + ": the Qt SQL driver " +
                         dialect.driver + " is not installed"};
  }
  if (where.engine == ArchiveLocation::Engine::Sqlite) {
    db.setDatabaseName(QFile::decodeName(where.path.c_str()));
  } else {
    db.setHostName(QString::fromStdString(where.host));
    db.setPort(where.port);
    db.setUserName(QString::fromStdString(where.user));
    db.setPassword(QString::fromStdString(where.password));
    db.setDatabaseName(QString::fromStdString(where.database));
    db.setConnectOptions("connect_timeout=" + QString::number(kConnectTimeoutSeconds));
  }
  if (!db.open()) {
    return {nullptr,
            "cannot open archive " + where.shown + ": " + db.lastError().text().toStdString()};
  }
  std::string failure;
  if (where.engine == ArchiveLocation::Engine::Sqlite && !setUpSqlite(db, failure)) {
    return {nullptr, "cannot open archive " + where.shown + ": " + failure};
  }
  if (!bringSchemaUp(db, dialect, where.shown, failure)) {
    if (failure.starts_with("archive ")) return {nullptr, failure};
    return {nullptr, "cannot open archive " + where.shown + ": " + failure};
  }
  if (!RunStatement(db, CreateStagingSql(dialect), failure)) {
    return {nullptr, "cannot open archive " + where.shown + ": " + failure};
  }
  return {std::move(archive), ""};
}

std::vector<MeterSummary> Archive::Meters() {
  failure_.clear();
  std::vector<MeterSummary> meters;
  QSqlQuery query(connectionOf(connection_));
  query.setForwardOnly(true);
  if (!Prepare(query,
               // Every logged time was new to exactly one merge, so the downloads count them
               // without reading the values; the first and last come from the key's order.
               "SELECT m.name,"
               " (SELECT COALESCE(SUM(d.new_times), 0) FROM downloads d WHERE d.meter_id = m.id),"
               " (SELECT MIN(v.logged_at) FROM logged_values v WHERE v.meter_id = m.id),"
               " (SELECT MAX(v.logged_at) FROM logged_values v WHERE v.meter_id = m.id)"
               " FROM meters m",
               failure_) ||
      !RunPrepared(query, failure_)) {
    return meters;
  }
  while (query.next()) {
    meters.push_back({query.value(0).toString().toStdString(), query.value(1).toLongLong(),
                      query.value(2).toLongLong(), query.value(3).toLongLong()});
  }
  // Byte order, the same on both engines whatever their collation.
  std::sort(meters.begin(), meters.end(),
            [](const MeterSummary& a, const MeterSummary& b) { return a.name < b.name; });
  return meters;
}

std::vector<ChannelName> Archive::ChannelNames(const std::string& meter) {
  failure_.clear();
  std::vector<ChannelName> channels;
  QSqlQuery query(connectionOf(connection_));
  query.setForwardOnly(true);
  if (!Prepare(query,
               "SELECT c.channel, c.name FROM channel_names c JOIN meters m ON m.id = c.meter_id"
               " WHERE m.name = ? ORDER BY c.channel",
               failure_)) {
    return channels;
  }
  query.addBindValue(QString::fromStdString(meter));
  if (!RunPrepared(query, failure_)) return channels;
  while (query.next()) {
    channels.push_back({query.value(0).toInt(), ToMeterText(query.value(1).toString())});
  }
  return channels;
}

}  // namespace norvale
