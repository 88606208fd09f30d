// norvale-cli plot as a script would run it: the image it writes and its exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <set>

#include "cli/exit_codes.h"

namespace norvale {
namespace {

struct PlotRun {
  int exitCode = -1;
  std::string err;
};

// Without QT_QPA_PLATFORM, as from a terminal with no display: plot chooses offscreen itself.
PlotRun RunPlot(const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  process.setProcessEnvironment(environment);
  process.start(NORVALE_CLI, QStringList{QStringLiteral("plot")} + arguments);
  EXPECT_TRUE(process.waitForFinished(60000));
  return {process.exitCode(), process.readAllStandardError().toStdString()};
}

class Plot : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    // 2 days every 15 minutes: a flow, a velocity with gaps and a forward total.
    QByteArray csv = "Date / Time,Flow,Velocity,Fwd Tot\r\n";
    for (int i = 0; i < 192; ++i) {
      const int minutes = 15 * i;
      const int hour = minutes / 60 % 24;
      QByteArray time = QByteArray::number(4 + minutes / 1440) + "/2021";
      if (minutes % 1440 != 0) {
        time += ' ' + QByteArray::number(hour % 12 == 0 ? 12 : hour % 12) + ':' +
                QByteArray::number(minutes % 60).rightJustified(2, '0') + ":00" +
                (hour < 12 ? " AM" : " PM");
      }
      csv += "3/" + time + ", " + QByteArray::number(2 + (i % 7) * 0.25) + "," +
             (i % 5 == 0 ? QByteArray() : " " + QByteArray::number(i % 11)) + ", " +
             QByteArray::number(1000 + i) + "\r\n";
    }
    input = write("Logdata.csv", csv);
  }
  QString write(const char* name, const QByteArray& bytes) {
    QFile file(folder.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  }

  QTemporaryDir folder;
  QString input;
};

TEST_F(Plot, WritesAnImageOfExactlyTheAskedSizeWithTheChartOnIt) {
  const QString output = folder.filePath(QStringLiteral("flow.png"));
  PlotRun run = RunPlot({"--input", input, "--output", output, "--size", "640x360"});
  ASSERT_EQ(run.exitCode, kExitFileWritten) << run.err;
  EXPECT_NE(run.err.find("Chart of 192 logged times written to"), std::string::npos) << run.err;
  QImage image(output);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(640, 360));
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 2) {
    for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
  }
  EXPECT_GT(colours.size(), 4u) << "background, axes, text and three lines";

  const QString svg = folder.filePath(QStringLiteral("flow.svg"));
  ASSERT_EQ(RunPlot({"--input", input, "--output", svg}).exitCode, kExitFileWritten);
  QFile file(svg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("<svg")) << text.left(200).toStdString();
  EXPECT_TRUE(text.contains("width=\"1600\"")) << "the default size";
}

TEST_F(Plot, ExitStatusTellsUnreadableInputFromUnwritableImageFromUsageErrors) {
  const QString output = folder.filePath(QStringLiteral("out.png"));
  EXPECT_EQ(RunPlot({"--input", folder.filePath("missing.csv"), "--output", output}).exitCode,
            kExitDownloadError);
  const QString titlesOnly = write("titles.csv", "Date / Time,Flow\r\n");
  EXPECT_EQ(RunPlot({"--input", titlesOnly, "--output", output}).exitCode, kExitDownloadError);
  const QString notALog = write("other.csv", "a,b\r\n1,2\r\n");
  EXPECT_EQ(RunPlot({"--input", notALog, "--output", output}).exitCode, kExitDownloadError);
  EXPECT_FALSE(QFile::exists(output)) << "nothing written for input without data";

  EXPECT_EQ(RunPlot({"--input", input, "--output", folder.filePath("no/such/folder.png")}).exitCode,
            kExitFileError);

  for (const QStringList& wrong :
       {QStringList{"--output", output}, QStringList{"--input", input, "--size", "1600x"},
        QStringList{"--input", input, "--size", "99x900"},
        QStringList{"--input", input, "--size", "1600*900"},
        QStringList{"--input", input, "--output", folder.filePath("flow.jpg")},
        QStringList{"--input", input, "--device", "/dev/ttyUSB0"}}) {
    PlotRun run = RunPlot(wrong);
    EXPECT_EQ(run.exitCode, kExitUsage) << wrong.join(' ').toStdString() << ": " << run.err;
  }
  EXPECT_FALSE(QFile::exists(output));
}

// The headless program must run on a server without the window's libraries; only the plot
// program it hands charts to loads them.
TEST(HeadlessProgram, LinksNoWindowLibraryButItsPlotProgramDraws) {
  const std::string cli = NORVALE_CLI;
  const std::string plot = cli.substr(0, cli.rfind('/') + 1) + "norvale-plot";
  auto linked = [](const std::string& program) {
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QString::fromStdString(program)});
    EXPECT_TRUE(ldd.waitForFinished(30000));
    return QString::fromLocal8Bit(ldd.readAllStandardOutput());
  };
  const QString cliLibraries = linked(cli);
  ASSERT_TRUE(cliLibraries.contains(QStringLiteral("libQt6Core"))) << cliLibraries.toStdString();
  for (const char* library : {"libQt6Widgets", "libQt6Charts", "libQt6Gui", "libQt6Svg"}) {
    EXPECT_FALSE(cliLibraries.contains(QLatin1String(library))) << library;
  }
  EXPECT_TRUE(linked(plot).contains(QStringLiteral("libQt6Charts")));
}

}  // namespace
}  // namespace norvale
