#include "archive/sql_run.h"

#include <QSqlError>

namespace norvale {
namespace {

bool failed(const QSqlQuery& query, std::string& failure) {
  const QSqlError error = query.lastError();
  failure = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).toStdString();
  if (failure.empty()) failure = "the database failed without saying why";
  return false;
}

}  // namespace

bool RunPrepared(QSqlQuery& query, std::string& failure) {
  return query.exec() || failed(query, failure);
}

bool FirstRow(QSqlQuery& query, std::string& failure) {
  if (query.next()) return true;
  if (query.lastError().isValid()) return failed(query, failure);
  failure = "the database gave no row where one was due";
  return false;
}

bool RunStatement(const QSqlDatabase& db, const std::string& sql, std::string& failure) {
  QSqlQuery query(db);
  return query.exec(QString::fromStdString(sql)) || failed(query, failure);
}

bool Prepare(QSqlQuery& query, const std::string& sql, std::string& failure) {
  return query.prepare(QString::fromStdString(sql)) || failed(query, failure);
}

WriteTransaction::~WriteTransaction() {
  if (!open_) return;
  std::string ignored;
  RunStatement(db_, "ROLLBACK", ignored);
}

bool WriteTransaction::begin(const char* begin, std::string& failure) {
  open_ = RunStatement(db_, begin, failure);
  return open_;
}

bool WriteTransaction::commit(std::string& failure) {
  if (!RunStatement(db_, "COMMIT", failure)) return false;
  open_ = false;
  return true;
}

QString FromMeterText(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToMeterText(const QString& text) { return text.toLatin1().toStdString(); }

}  // namespace norvale
