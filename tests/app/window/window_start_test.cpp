// The window program run as a user would, for what it answers before any window exists.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace norvale {
namespace {

struct StartCase {
  const char* what;
  bool display;  // QT_QPA_PLATFORM=offscreen, else no display of any kind
  QStringList arguments;
  int exitCode;
  const char* says;  // on standard error, or standard output for --help
};

TEST(WindowStart, WithoutADisplayOrWithAnUnknownOptionItSaysWhyAndExits) {
  const StartCase cases[] = {
      {"no display",
       false,
       {},
       1,
       "norvale-download: no display: use norvale-cli, or set QT_QPA_PLATFORM=offscreen"},
      {"help needs no display", false, {"--help"}, 0, "Usage: norvale-download"},
      {"unknown option", true, {"--bogus"}, 64, "unknown option '--bogus'"},
      {"Qt's own option is taken",
       true,
       {"-platform", "offscreen", "-x"},
       64,
       "unknown option '-x'"},
      {"stray argument", true, {"Logdata.csv"}, 64, "Usage: norvale-download"},
  };
  QTemporaryDir home;
  for (const StartCase& test : cases) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      environment.remove(QString::fromLatin1(name));
    }
    if (test.display) environment.insert(QStringLiteral("QT_QPA_PLATFORM"), "offscreen");
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(NORVALE_WINDOW), test.arguments);
    // A window that opened would never end by itself.
    if (!program.waitForFinished(20000)) {
      program.kill();
      program.waitForFinished();
      ADD_FAILURE() << test.what << ": still running";
      continue;
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << test.what;
    EXPECT_EQ(program.exitCode(), test.exitCode) << test.what;
    const QString said = QString::fromLocal8Bit(
        test.exitCode == 0 ? program.readAllStandardOutput() : program.readAllStandardError());
    EXPECT_TRUE(said.contains(QLatin1String(test.says))) << test.what << ": " << said.toStdString();
  }
}

}  // namespace
}  // namespace norvale
