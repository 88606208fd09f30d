#include "archive/archive_location.h"

#include <QUrl>

namespace norvale {

ArchiveLocation ParseArchiveLocation(const std::string& location) {
  ArchiveLocation result;
  result.shown = location;
  const bool postgres = location.starts_with("postgresql:") || location.starts_with("postgres:");
  if (!postgres) {
    result.path = location;
    if (location.empty()) result.error = "no archive file named";
    return result;
  }
  result.engine = ArchiveLocation::Engine::Postgres;
  const QUrl url(QString::fromStdString(location), QUrl::StrictMode);
  if (url.isValid()) result.shown = url.toDisplayString(QUrl::RemovePassword).toStdString();
  const QString database = url.path().mid(1);
  if (!url.isValid() || url.host().isEmpty() || !url.path().startsWith('/') || database.isEmpty() ||
      database.contains('/') || url.hasQuery() || url.hasFragment()) {
    result.error = "\"" + result.shown +
                   "\" is not a PostgreSQL address (postgresql://USER@HOST:PORT/DATABASE)";
    return result;
  }
  result.host = url.host().toStdString();
  result.port = url.port(5432);
  result.user = url.userName().toStdString();
  result.password = url.password().toStdString();
  result.database = database.toStdString();
  return result;
}

}  // namespace norvale
