// Archive::Merge: a download's values into the archive in one transaction.
//
//   values --sorted, one per key--> staged_values (temporary, this connection's own)
//          --count against logged_values--> new and known times, conflicts
//          --INSERT ... SELECT ... ON CONFLICT DO NOTHING--> logged_values
//
// Counting before inserting needs the meter held still: SQLite's BEGIN IMMEDIATE holds the whole
// file, PostgreSQL locks the meter's row, so two merges of one meter count one after the other.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>

#include "archive/archive.h"
#include "archive/archive_schema.h"
#include "archive/sql_run.h"

namespace norvale {
namespace {

// Rows per staging INSERT: 3 parameters each, well below SQLite's 32766 and PostgreSQL's 65535.
constexpr size_t kRowsPerInsert = 1000;

std::string stagingInsert(size_t rows) {
  std::string sql = "INSERT INTO staged_values (logged_at, channel, value) VALUES ";
  for (size_t i = 0; i < rows; ++i) sql += i == 0 ? "(?, ?, ?)" : ", (?, ?, ?)";
  return sql;
}

// Every prepared statement of a merge. Merge keeps them beyond its transaction: PostgreSQL frees
// a prepared statement only outside a failed transaction, so they go after the rollback.
struct MergeStatements {
  explicit MergeStatements(const QSqlDatabase& db)
      : addMeter(db),
        findMeter(db),
        stageFull(db),
        stageTail(db),
        countTimes(db),
        countConflicts(db),
        insert(db),
        nameChannel(db),
        recordDownload(db) {}
  QSqlQuery addMeter, findMeter, stageFull, stageTail, countTimes, countConflicts, insert,
      nameChannel, recordDownload;
};

bool stage(const QSqlDatabase& db, QSqlQuery& full, QSqlQuery& tail,
           const std::vector<LoggedValue>& values, std::string& failure) {
  if (!RunStatement(db, "DELETE FROM staged_values", failure)) return false;
  if (values.size() >= kRowsPerInsert && !Prepare(full, stagingInsert(kRowsPerInsert), failure)) {
    return false;
  }
  for (size_t at = 0; at < values.size(); at += kRowsPerInsert) {
    const size_t rows = std::min(kRowsPerInsert, values.size() - at);
    if (rows < kRowsPerInsert && !Prepare(tail, stagingInsert(rows), failure)) return false;
    QSqlQuery& query = rows == kRowsPerInsert ? full : tail;
    for (size_t i = 0; i < rows; ++i) {
      const LoggedValue& v = values[at + i];
      const int p = static_cast<int>(3 * i);
      query.bindValue(p, QVariant::fromValue<qlonglong>(v.loggedAt));
      query.bindValue(p + 1, v.channel);
      query.bindValue(p + 2, v.value);
    }
    if (!RunPrepared(query, failure)) return false;
  }
  return true;
}

// The meter's id, adding the meter when new; locks its row where the dialect can.
bool lockMeter(QSqlQuery& add, QSqlQuery& find, const SqlDialect& dialect, const std::string& meter,
               qlonglong& id, std::string& failure) {
  const QString name = QString::fromStdString(meter);
  if (!Prepare(add, "INSERT INTO meters (name) VALUES (?) ON CONFLICT (name) DO NOTHING",
               failure)) {
    return false;
  }
  add.addBindValue(name);
  if (!RunPrepared(add, failure)) return false;
  if (!Prepare(find, std::string("SELECT id FROM meters WHERE name = ?") + dialect.lockMeterRow,
               failure)) {
    return false;
  }
  find.addBindValue(name);
  if (!RunPrepared(find, failure)) return false;
  if (!find.next()) {
    failure = "meter " + meter + " vanished while merging";
    return false;
  }
  id = find.value(0).toLongLong();
  return true;
}

// Logged times of the staged values, and those of them the meter has a value at already.
bool countTimes(QSqlQuery& query, qlonglong meterId, MergeResult& result, std::string& failure) {
  if (!Prepare(query,
               "SELECT COUNT(*), COALESCE(SUM(CASE WHEN EXISTS (SELECT 1 FROM logged_values v"
               " WHERE v.meter_id = ? AND v.logged_at = t.logged_at) THEN 1 ELSE 0 END), 0)"
               " FROM (SELECT DISTINCT logged_at FROM staged_values) t",
               failure)) {
    return false;
  }
  query.addBindValue(meterId);
  if (!RunPrepared(query, failure) || !FirstRow(query, failure)) return false;
  const int64_t times = query.value(0).toLongLong();
  result.knownTimes = query.value(1).toLongLong();
  result.newTimes = times - result.knownTimes;
  return true;
}

bool countConflicts(QSqlQuery& query, qlonglong meterId, int64_t& conflicts, std::string& failure) {
  if (!Prepare(query,
               "SELECT COUNT(*) FROM staged_values s JOIN logged_values v ON v.meter_id = ?"
               " AND v.logged_at = s.logged_at AND v.channel = s.channel"
               " WHERE v.value <> s.value",
               failure)) {
    return false;
  }
  query.addBindValue(meterId);
  if (!RunPrepared(query, failure) || !FirstRow(query, failure)) return false;
  conflicts = query.value(0).toLongLong();
  return true;
}

bool insertStaged(QSqlQuery& query, qlonglong meterId, std::string& failure) {
  // "WHERE true" keeps SQLite from reading ON CONFLICT as part of the SELECT.
  if (!Prepare(query,
               "INSERT INTO logged_values (meter_id, logged_at, channel, value)"
               " SELECT CAST(? AS BIGINT), logged_at, channel, value FROM staged_values"
               " WHERE true ON CONFLICT DO NOTHING",
               failure)) {
    return false;
  }
  query.addBindValue(meterId);
  return RunPrepared(query, failure);
}

bool nameChannels(QSqlQuery& query, qlonglong meterId, const std::vector<ChannelName>& channels,
                  std::string& failure) {
  if (!Prepare(query,
               "INSERT INTO channel_names (meter_id, channel, name) VALUES (?, ?, ?)"
               " ON CONFLICT (meter_id, channel) DO UPDATE SET name = excluded.name",
               failure)) {
    return false;
  }
  for (const ChannelName& channel : channels) {
    query.bindValue(0, meterId);
    query.bindValue(1, channel.channel);
    query.bindValue(2, FromMeterText(channel.name));
    if (!RunPrepared(query, failure)) return false;
  }
  return true;
}

bool recordDownload(QSqlQuery& query, qlonglong meterId, const DownloadInfo& info,
                    const MergeResult& counts, std::string& failure) {
  if (!Prepare(query,
               "INSERT INTO downloads (meter_id, taken_at, source, mode, new_times, known_times,"
               " conflicts, result) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
               failure)) {
    return false;
  }
  query.addBindValue(meterId);
  query.addBindValue(QVariant::fromValue<qlonglong>(info.takenAt));
  query.addBindValue(QString::fromStdString(info.source));
  query.addBindValue(QString::fromLatin1(DownloadModeText(info.mode)));
  query.addBindValue(QVariant::fromValue<qlonglong>(counts.newTimes));
  query.addBindValue(QVariant::fromValue<qlonglong>(counts.knownTimes));
  query.addBindValue(QVariant::fromValue<qlonglong>(counts.conflicts));
  query.addBindValue(QString::fromStdString(info.result));
  return RunPrepared(query, failure);
}

std::string checkInput(const std::vector<ChannelName>& channels,
                       const std::vector<LoggedValue>& values) {
  const auto validChannel = [](int channel) {
    return channel >= 1 && channel <= RecordTable::kChannels;
  };
  for (const ChannelName& channel : channels) {
    if (!validChannel(channel.channel))
      return "channel " + std::to_string(channel.channel) + " does not exist";
  }
  for (const LoggedValue& value : values) {
    if (!validChannel(value.channel))
      return "channel " + std::to_string(value.channel) + " does not exist";
    // SQLite would keep NaN as NULL.
    if (!std::isfinite(value.value)) return "a value is not a finite number";
  }
  return "";
}

}  // namespace

MergeResult Archive::Merge(const std::string& meter, const std::vector<ChannelName>& channels,
                           const std::vector<LoggedValue>& values, const DownloadInfo& info) {
  MergeResult result;
  std::string failure = checkInput(channels, values);
  const auto failed = [&failure] { return MergeResult{false, failure}; };
  if (!failure.empty()) return failed();
  std::vector<LoggedValue> unique = values;
  const int64_t repeatedConflicts = KeepFirstOfEachKey(unique);

  const QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(connection_), false);
  const SqlDialect& dialect = DialectOf(engine_);
  MergeStatements q(db);
  WriteTransaction transaction(db);
  qlonglong meterId = 0;
  if (!transaction.begin(dialect.beginWrite, failure) ||
      !lockMeter(q.addMeter, q.findMeter, dialect, meter, meterId, failure) ||
      !stage(db, q.stageFull, q.stageTail, unique, failure) ||
      !countTimes(q.countTimes, meterId, result, failure)) {
    return failed();
  }
  // A download of new times only, the usual "since last time", has nothing to compare.
  if (result.knownTimes > 0 &&
      !countConflicts(q.countConflicts, meterId, result.conflicts, failure)) {
    return failed();
  }
  result.conflicts += repeatedConflicts;
  if (!insertStaged(q.insert, meterId, failure) ||
      !nameChannels(q.nameChannel, meterId, channels, failure) ||
      !recordDownload(q.recordDownload, meterId, info, result, failure) ||
      !RunStatement(db, "DELETE FROM staged_values", failure) || !transaction.commit(failure)) {
    return failed();
  }
  result.merged = true;
  return result;
}

}  // namespace norvale
