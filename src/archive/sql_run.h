#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <string>

namespace norvale {

// Small steps every statement of the archive takes: each reports a failure as the database's
// text, which the caller passes on.

// Runs a prepared (and bound) query; false with the failure text when it fails.
bool RunPrepared(QSqlQuery& query, std::string& failure);
// Moves to the first row of a query's result, which a count always has.
bool FirstRow(QSqlQuery& query, std::string& failure);
// Prepares and runs a statement without parameters.
bool RunStatement(const QSqlDatabase& db, const std::string& sql, std::string& failure);
// Prepares `sql` into `query`; false with the failure text when the database refuses it.
bool Prepare(QSqlQuery& query, const std::string& sql, std::string& failure);

// A transaction that is rolled back unless committed, at every way out of its scope.
class WriteTransaction {
 public:
  explicit WriteTransaction(const QSqlDatabase& db) : db_(db) {}
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;

  // Runs `begin` (the dialect's BEGIN of a writing transaction).
  bool begin(const char* begin, std::string& failure);
  bool commit(std::string& failure);

 private:
  QSqlDatabase db_;
  bool open_ = false;
};

// Channel names are the meter's own bytes, which the program reads as Latin-1: kept as such, every
// byte comes back as it was.
QString FromMeterText(const std::string& text);
std::string ToMeterText(const QString& text);

}  // namespace norvale
