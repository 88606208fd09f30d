#include "support/ser2net_process.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QThread>
#include <cstdio>
#include <fstream>

#include "support/tcp_ports.h"

namespace norvale::testing {

Ser2netProcess::Ser2netProcess(const std::string& device, const std::string& accepter) {
  port_ = FreeTcpPort();
  char name[] = "/tmp/norvale-ser2net-XXXXXX.yaml";
  const int fd = ::mkstemps(name, 5);
  if (fd < 0 || port_ == 0) {
    error_ = "cannot make ser2net's configuration";
    return;
  }
  ::close(fd);
  configPath_ = name;
  std::ofstream(configPath_) << "connection: &meter\n"
                             << "  accepter: " << accepter << ",127.0.0.1," << port_ << "\n"
                             << "  connector: serialdev," << device << ",9600n81,local\n"
                             << "  options:\n    kickolduser: true\n    chardelay: false\n";
  // -u: no UUCP lock files; -n: stays in the foreground, as our child.
  process_.start("ser2net", {"-n", "-u", "-c", QString::fromStdString(configPath_)});
  if (!process_.waitForStarted(5000)) {
    error_ = "ser2net did not start (is it installed?)";
    return;
  }
  // Seen by binding, not by connecting: a connection makes ser2net open the device, and the
  // test's own one might then find it still busy.
  for (QDeadlineTimer deadline(5000); !SomeoneListensOn(port_); QThread::msleep(20)) {
    if (deadline.hasExpired() || process_.state() != QProcess::Running) {
      error_ = "ser2net did not listen on port " + std::to_string(port_) + ": " +
               process_.readAllStandardError().toStdString();
      return;
    }
  }
}

Ser2netProcess::~Ser2netProcess() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(2000)) process_.kill();
    process_.waitForFinished(2000);
  }
  if (!configPath_.empty()) std::remove(configPath_.c_str());
}

}  // namespace norvale::testing
