#pragma once

#include <string>

namespace norvale {

// Where an archive lives: a SQLite file, or a PostgreSQL database named by a URI,
// "postgresql://USER@HOST:PORT/DB" (or "postgres://", password and port optional).
struct ArchiveLocation {
  enum class Engine { Sqlite, Postgres };
  Engine engine = Engine::Sqlite;
  std::string path;  // the SQLite file
  std::string host;
  int port = 5432;
  std::string user;
  std::string password;
  std::string database;
  std::string shown;  // for messages: the location without its password
  std::string error;  // why the text names no location; empty when it does
};

// Anything that does not start with "postgresql:" or "postgres:" is a file path.
ArchiveLocation ParseArchiveLocation(const std::string& location);

}  // namespace norvale
