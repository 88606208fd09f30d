#include "archive/logged_row_reader.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "archive/archive.h"
#include "archive/sql_run.h"

namespace norvale {

LoggedRowReader::LoggedRowReader(Archive& archive, const std::string& meter, int64_t first,
                                 int64_t last)
    : archive_(archive), meter_(meter), last_(last), afterTime_(first) {}

bool LoggedRowReader::fetchPage() {
  page_.clear();
  taken_ = 0;
  const QSqlDatabase db =
      QSqlDatabase::database(QString::fromStdString(archive_.connection_), false);
  if (!meterId_) {
    QSqlQuery find(db);
    if (!Prepare(find, "SELECT id FROM meters WHERE name = ?", failure_)) return false;
    find.addBindValue(QString::fromStdString(meter_));
    if (!RunPrepared(find, failure_)) return false;
    if (!find.next()) {
      exhausted_ = true;  // a meter the archive does not know has no values
      return true;
    }
    meterId_ = find.value(0).toLongLong();
  }
  // Keyset paging: each page starts after the key where the one before ended, which the
  // primary key's order finds at once however deep into the history it is.
  QSqlQuery query(db);
  query.setForwardOnly(true);
  if (!Prepare(query,
               "SELECT logged_at, channel, value FROM logged_values"
               " WHERE meter_id = ? AND (logged_at, channel) > (?, ?) AND logged_at <= ?"
               " ORDER BY logged_at, channel LIMIT " +
                   std::to_string(kPageRows),
               failure_)) {
    return false;
  }
  query.addBindValue(QVariant::fromValue<qlonglong>(*meterId_));
  query.addBindValue(QVariant::fromValue<qlonglong>(afterTime_));
  query.addBindValue(afterChannel_);
  query.addBindValue(QVariant::fromValue<qlonglong>(last_));
  if (!RunPrepared(query, failure_)) return false;
  page_.reserve(kPageRows);
  while (query.next()) {
    page_.push_back(
        {query.value(0).toLongLong(), query.value(1).toInt(), query.value(2).toDouble()});
  }
  if (query.lastError().isValid()) {
    failure_ = query.lastError().text().toStdString();
    return false;
  }
  exhausted_ = page_.size() < static_cast<size_t>(kPageRows);
  if (!page_.empty()) {
    afterTime_ = page_.back().loggedAt;
    afterChannel_ = page_.back().channel;
  }
  return true;
}

bool LoggedRowReader::next(LoggedRow& row) {
  if (!failure_.empty()) return false;
  for (;;) {
    if (taken_ == page_.size()) {
      if (exhausted_) break;
      if (!fetchPage()) return false;
      continue;
    }
    const LoggedValue& value = page_[taken_];
    if (pending_ && pending_->loggedAt != value.loggedAt) break;
    if (!pending_) pending_ = LoggedRow{value.loggedAt, {}};
    if (value.channel >= 1 && value.channel <= RecordTable::kChannels) {
      pending_->values[value.channel - 1] = value.value;
    }
    ++taken_;
  }
  if (!pending_) return false;
  row = *pending_;
  pending_.reset();
  return true;
}

}  // namespace norvale
