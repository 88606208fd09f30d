// Archive::Merge: a download's values into the archive in one transaction.
//
//   values --a row per logged time--> staged_times (temporary, this connection's own)
//          --one counting query against logged_values--> new and known times, conflicts
//          --INSERT ... SELECT ... ON CONFLICT DO NOTHING--> logged_values
//
// Counting before inserting needs the meter held still: SQLite's BEGIN IMMEDIATE holds the whole
// file, PostgreSQL locks the meter's row, so two merges of one meter count one after the other.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "archive/archive.h"
#include "archive/archive_schema.h"
#include "archive/sql_run.h"
#include "archive/staging.h"

namespace norvale {
namespace {

constexpr int kChannels = RecordTable::kChannels;
constexpr int kColumns = 1 + kChannels;
// Staged rows per INSERT: 9 parameters each, well below SQLite's 32766 and PostgreSQL's 65535.
constexpr size_t kRowsPerInsert = 500;

// "v1, v2, ..., v8"
std::string valueColumns() {
  std::string columns;
  for (int k = 1; k <= kChannels; ++k) columns += (k == 1 ? "v" : ", v") + std::to_string(k);
  return columns;
}

// The staged value of `channel` (an SQL expression) in row s.
std::string stagedValueOf(const std::string& channel) {
  std::string value = "CASE " + channel;
  for (int k = 1; k <= kChannels; ++k) {
    value += " WHEN " + std::to_string(k) + " THEN s.v" + std::to_string(k);
  }
  return value + " END";
}

// A row for each channel number, as a table c (channel).
std::string channelNumbers() {
  std::string rows = "(SELECT 1 AS channel";
  for (int k = 2; k <= kChannels; ++k) rows += " UNION ALL SELECT " + std::to_string(k);
  return rows + ") c";
}

std::string stagingInsert(size_t rows) {
  std::string sql = "INSERT INTO staged_times (logged_at, " + valueColumns() + ") VALUES ";
  std::string row = "(?";
  for (int k = 1; k <= kChannels; ++k) row += ", ?";
  row += ")";
  for (size_t i = 0; i < rows; ++i) sql += (i == 0 ? "" : ", ") + row;
  return sql;
}

// Logged times staged; those the meter has any value at already; and staged values whose key it
// holds with another value (a channel the download lacks compares as NULL, which counts none).
// Both looked up time by time through the key: as a join, SQLite, which keeps no statistics,
// would rather read the meter's whole history.
std::string countSql() {
  return "SELECT COUNT(*),"
         " CAST(COALESCE(SUM(CASE WHEN EXISTS (SELECT 1 FROM logged_values v"
         " WHERE v.meter_id = ? AND v.logged_at = s.logged_at) THEN 1 ELSE 0 END), 0) AS BIGINT),"
         " CAST(COALESCE(SUM((SELECT COUNT(*) FROM logged_values v"
         " WHERE v.meter_id = ? AND v.logged_at = s.logged_at AND v.value <> " +
         stagedValueOf("v.channel") + ")), 0) AS BIGINT) FROM staged_times s";
}

// Time by time, channel by channel: the key's order, so SQLite appends to its tree. The CROSS
// JOIN keeps s the outer table there; "WHERE" keeps it from reading ON CONFLICT as the join's.
std::string insertSql() {
  const std::string value = stagedValueOf("c.channel");
  return "INSERT INTO logged_values (meter_id, logged_at, channel, value)"
         " SELECT CAST(? AS BIGINT), s.logged_at, c.channel, " +
         value + " FROM staged_times s CROSS JOIN " + channelNumbers() + " WHERE " + value +
         " IS NOT NULL ON CONFLICT DO NOTHING";
}

// Every prepared statement of a merge. Merge keeps them beyond its transaction: PostgreSQL frees
// a prepared statement only outside a failed transaction, so they go after the rollback. A query
// read from is finished at once: on SQLite a statement left part-read keeps its snapshot past
// COMMIT, and no checkpoint then moves the WAL into the file.
struct MergeStatements {
  explicit MergeStatements(const QSqlDatabase& db)
      : addMeter(db),
        findMeter(db),
        stageFull(db),
        stageTail(db),
        count(db),
        insert(db),
        nameChannel(db),
        recordDownload(db) {}
  QSqlQuery addMeter, findMeter, stageFull, stageTail, count, insert, nameChannel, recordDownload;
};

// Values sorted by time and channel, one per key, into staged rows.
bool stage(const QSqlDatabase& db, QSqlQuery& full, QSqlQuery& tail,
           const std::vector<LoggedValue>& values, std::string& failure) {
  if (!RunStatement(db, "DELETE FROM staged_times", failure)) return false;
  const QVariant none(QMetaType::fromType<double>());
  bool fullPrepared = false;
  for (size_t i = 0; i < values.size();) {
    size_t rows = 0;  // the rows the values from i make, up to a statement's worth
    for (size_t j = i; j < values.size() && rows < kRowsPerInsert; ++rows) {
      const int64_t at = values[j].loggedAt;
      while (j < values.size() && values[j].loggedAt == at) ++j;
    }
    QSqlQuery& query = rows == kRowsPerInsert ? full : tail;
    if (&query == &tail || !fullPrepared) {
      if (!Prepare(query, stagingInsert(rows), failure)) return false;
      fullPrepared = fullPrepared || &query == &full;
    }
    for (size_t row = 0; row < rows; ++row) {
      const int first = static_cast<int>(kColumns * row);
      const int64_t at = values[i].loggedAt;
      query.bindValue(first, QVariant::fromValue<qlonglong>(at));
      for (int k = 1; k <= kChannels; ++k) {
        const bool has = i < values.size() && values[i].loggedAt == at && values[i].channel == k;
        query.bindValue(first + k, has ? QVariant(values[i++].value) : none);
      }
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
  find.finish();
  return true;
}

bool count(QSqlQuery& query, qlonglong meterId, MergeResult& result, std::string& failure) {
  if (!Prepare(query, countSql(), failure)) return false;
  query.addBindValue(meterId);
  query.addBindValue(meterId);
  if (!RunPrepared(query, failure) || !FirstRow(query, failure)) return false;
  const int64_t times = query.value(0).toLongLong();
  result.knownTimes = query.value(1).toLongLong();
  result.newTimes = times - result.knownTimes;
  result.conflicts = query.value(2).toLongLong();
  query.finish();
  return true;
}

bool insertStaged(QSqlQuery& query, qlonglong meterId, std::string& failure) {
  if (!Prepare(query, insertSql(), failure)) return false;
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
  const auto validChannel = [](int channel) { return channel >= 1 && channel <= kChannels; };
  for (const ChannelName& channel : channels) {
    if (!validChannel(channel.channel)) {
      return "channel " + std::to_string(channel.channel) + " does not exist";
    }
  }
  for (const LoggedValue& value : values) {
    if (!validChannel(value.channel)) {
      return "channel " + std::to_string(value.channel) + " does not exist";
    }
    // SQLite would keep NaN as NULL.
    if (!std::isfinite(value.value)) return "a value is not a finite number";
  }
  return "";
}

}  // namespace

std::string CreateStagingSql(const SqlDialect& dialect) {
  std::string columns;
  for (int k = 1; k <= kChannels; ++k) columns += ", v" + std::to_string(k) + " DOUBLE PRECISION";
  return "CREATE TEMP TABLE staged_times (logged_at BIGINT NOT NULL PRIMARY KEY" + columns + ")" +
         dialect.keyedTableOptions;
}

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
      !count(q.count, meterId, result, failure)) {
    return failed();
  }
  result.conflicts += repeatedConflicts;
  if (!insertStaged(q.insert, meterId, failure) ||
      !nameChannels(q.nameChannel, meterId, channels, failure) ||
      !recordDownload(q.recordDownload, meterId, info, result, failure) ||
      !RunStatement(db, "DELETE FROM staged_times", failure) || !transaction.commit(failure)) {
    return failed();
  }
  result.merged = true;
  return result;
}

}  // namespace norvale
