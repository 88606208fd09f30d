#include "archive/logged_row_reader.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QVariant>

#include "archive/archive.h"
#include "archive/sql_run.h"

namespace norvale {

LoggedRowReader::LoggedRowReader(Archive& archive, const std::string& meter, int64_t first,
                                 int64_t last)
    : archive_(archive), meter_(meter), first_(first), last_(last) {}

bool LoggedRowReader::start() {
  started_ = true;
  const QSqlDatabase db =
      QSqlDatabase::database(QString::fromStdString(archive_.connection_), false);
  query_ = QSqlQuery(db);
  // Forward only: what lets both drivers hand the rows over as they come.
  query_.setForwardOnly(true);
  if (!Prepare(query_,
               "SELECT v.logged_at, v.channel, v.value FROM logged_values v"
               " JOIN meters m ON m.id = v.meter_id"
               " WHERE m.name = ? AND v.logged_at >= ? AND v.logged_at <= ?"
               " ORDER BY v.logged_at, v.channel",
               failure_)) {
    return false;
  }
  query_.addBindValue(QString::fromStdString(meter_));
  query_.addBindValue(QVariant::fromValue<qlonglong>(first_));
  query_.addBindValue(QVariant::fromValue<qlonglong>(last_));
  return RunPrepared(query_, failure_);
}

bool LoggedRowReader::take(LoggedValue& value) {
  if (done_) return false;
  if (!query_.next()) {
    if (query_.lastError().isValid()) failure_ = query_.lastError().text().toStdString();
    query_.finish();
    done_ = true;
    return false;
  }
  value = {query_.value(0).toLongLong(), query_.value(1).toInt(), query_.value(2).toDouble()};
  return true;
}

bool LoggedRowReader::next(LoggedRow& row) {
  if (!failure_.empty() || (!started_ && !start())) return false;
  LoggedValue value;
  if (!ahead_ && !take(value)) return false;
  if (!ahead_) ahead_ = value;
  row = LoggedRow{ahead_->loggedAt, {}};
  // The values of one time, up to the first of the next, which waits for the next call.
  do {
    if (ahead_->channel >= 1 && ahead_->channel <= RecordTable::kChannels) {
      row.values[ahead_->channel - 1] = ahead_->value;
    }
    ahead_.reset();
    if (take(value)) ahead_ = value;
  } while (ahead_ && ahead_->loggedAt == row.loggedAt);
  return failure_.empty();
}

}  // namespace norvale
