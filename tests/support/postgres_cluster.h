#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace norvale::testing {

// A PostgreSQL server of its own in a temporary folder, for one test program: initdb (trust
// authentication, UTF8, locale C), listening only on 127.0.0.1 at a free port and on a socket in
// the folder, started with pg_ctl -w; stopped (immediate) and removed when destroyed. As root it
// runs as the `postgres` user (the folder is handed to that user). Debian's newest
// /usr/lib/postgresql/<version>/bin is used, whatever PATH holds.
//
//   PostgresCluster& cluster = PostgresCluster::Shared();
//   if (!cluster.started()) GTEST_SKIP() << cluster.whyNot();
//   const std::string uri = cluster.newDatabase("archive_appends");
//
// A watcher process stops and removes the server when this one ends, even by a crash or a kill.
class PostgresCluster {
 public:
  PostgresCluster();  // starts it; never throws
  ~PostgresCluster();
  PostgresCluster(const PostgresCluster&) = delete;
  PostgresCluster& operator=(const PostgresCluster&) = delete;

  bool started() const { return started_; }
  // Why it could not start (for GTEST_SKIP's message).
  const std::string& whyNot() const { return whyNot_; }
  // A new empty database on it; its URI "postgresql://postgres@127.0.0.1:PORT/NAME".
  // Empty string when it could not be made (psql's complaint goes to stderr).
  std::string newDatabase(const std::string& name);
  int port() const { return port_; }

  // One cluster shared by all tests of a program: started at first use, stopped at exit.
  static PostgresCluster& Shared();

 private:
  bool startWatcher();
  bool startServer();
  // Runs `command` (as `postgres` when root) and waits for it; its stdout and stderr in `output`.
  bool run(const std::vector<std::string>& command, std::string& output);

  std::string bin_;     // Debian's /usr/lib/postgresql/<version>/bin
  std::string folder_;  // the socket, the server's log and data/
  std::string whyNot_;
  bool asServerUser_ = false;  // root hands the server to `postgres` through runuser
  bool started_ = false;
  int port_ = 0;
  pid_t watcher_ = -1;
  int watcherPipe_ = -1;  // its stdin; closing it (or dying) tells it to stop the server
};

}  // namespace norvale::testing
