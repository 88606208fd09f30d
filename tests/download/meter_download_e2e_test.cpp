// The log download end to end: the same code the window runs, over a real pty, against the
// meter simulator. Checks the blocks the meter was asked for, the status texts and the CSV bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "download/download_commands.h"
#include "download/meter_log_download.h"
#include "link/meter_link.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "records/download_result.h"
#include "support/simulator_process.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;
using testing::ScenarioFile;
using testing::SimulatorProcess;
using testing::SimulatorRequest;

struct RecordingView : DownloadView, DownloadButtons {
  void setStatusText(const std::string& text) override { statuses.push_back(text); }
  void setProgress(int percent) override { progress.push_back(percent); }
  void setChannelBox(int index, const std::string& text) override { boxes.at(index) = text; }
  void setWrittenFile(const std::string& path) override { writtenFile = path; }
  void setDownloadDataEnabled(bool enabled) override { downloadDataEnabled.push_back(enabled); }
  void setSinceLastTimeEnabled(bool enabled) override { sinceLastEnabled.push_back(enabled); }

  std::vector<std::string> statuses;
  std::vector<int> progress;
  std::array<std::string, 10> boxes;
  std::string writtenFile;
  std::vector<bool> downloadDataEnabled;
  std::vector<bool> sinceLastEnabled;
};

// Time of day running `speed` times faster than the wall clock, so a meter that never answers
// uses up its 30-second limits in milliseconds.
class FastClock : public Clock {
 public:
  explicit FastClock(double speed) : speed_(speed) {}
  double timeOfDay() override {
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    return 36000.0 + elapsed * speed_;
  }

 private:
  double speed_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Notes the first and last reading of another clock: how long a download ran by it.
class TimedClock : public Clock {
 public:
  explicit TimedClock(Clock& inner) : inner_(inner) {}
  double timeOfDay() override {
    const double now = inner_.timeOfDay();
    if (first_ < 0) first_ = now;
    last_ = now;
    return now;
  }
  double seconds() const { return last_ - first_; }

 private:
  Clock& inner_;
  double first_ = -1;
  double last_ = 0;
};

struct Block {
  int bank, high, low, words;
  friend bool operator==(const Block&, const Block&) = default;
};

std::ostream& operator<<(std::ostream& out, const Block& b) {
  return out << std::hex << b.bank << ' ' << b.high << ' ' << b.low << std::dec << " x" << b.words;
}

struct DownloadRun {
  DownloadOutcome outcome;
  std::vector<SimulatorRequest> requests;
  RecordingView view;
  RecordTable records;
  std::string csv;

  std::vector<Block> logBlocks() const {
    std::vector<Block> blocks;
    for (const auto& r : requests) {
      if (r.function == 96 && r.bank != 24) blocks.push_back({r.bank, r.addrHi, r.addrLo, r.count});
    }
    return blocks;
  }
  int requestsOf(int function) const {
    int n = 0;
    for (const auto& r : requests) n += r.function == function ? 1 : 0;
    return n;
  }
};

class MeterDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("norvale_download_e2e_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    outputPath = (folder_ / "Logdata.csv").string();
  }
  void TearDown() override { fs::remove_all(folder_); }

  enum class Button { DownloadData, SinceLastTime, DownloadOnly };

  std::unique_ptr<DownloadRun> run(const std::string& scenario, Button button,
                                   std::vector<std::string> simulatorArgs = {},
                                   Clock* clock = nullptr, bool portable = false) {
    ScenarioFile file(scenario);
    SimulatorProcess sim(file.path(), std::move(simulatorArgs));
    EXPECT_TRUE(sim.started()) << sim.error();
    auto result = std::make_unique<DownloadRun>();
    if (!sim.started()) return result;

    SettingsRecord settings;
    settings.CommPort = 1;
    settings.CommBaud = "38400";
    settings.CommSlaveID = 1;
    settings.LogFilePath = outputPath;
    settings.PortableMeter = portable;
    QtSerialPort port([&](int) { return sim.devicePath(); });
    SystemClock systemClock;
    QtEventPump pump;
    MeterLink link(settings, port, clock ? *clock : systemClock, pump, nullptr);
    DownloadCommands commands(link, settings, result->records, result->view, result->view);
    switch (button) {
      case Button::DownloadData:
        result->outcome = commands.DownloadData();
        break;
      case Button::SinceLastTime:
        result->outcome = commands.SinceLastTime();
        break;
      case Button::DownloadOnly:
        result->outcome.result =
            DownloadMeterLog(link, settings, result->records, result->view, false);
        break;
    }
    result->requests = sim.requestLog();
    std::ifstream in(outputPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    result->csv = text.str();
    return result;
  }

  // A one-channel log of `records` records from `start`, one every 15 minutes, valued 0, 1, 2...
  static std::string Log(const std::string& start, int records, const std::string& extra = "") {
    return R"({"channels": ["Flow"], "log": {"start": )" + start +
           R"(, "generator": {"channels": [1], "start": "2021-03-04T00:15",
               "interval_minutes": 15, "count": )" +
           std::to_string(records) + R"(, "values": {"1": "i"}}})" + extra + "}";
  }

  fs::path folder_;
  std::string outputPath;
};

TEST_F(MeterDownload, WholeLogOf1024BytesReadsFourBlocksAndStopsOnTheEndPointer) {
  auto r = run(Log("[8, 128, 0]", 128), Button::DownloadData);
  EXPECT_EQ(r->logBlocks(),
            (std::vector<Block>{
                {8, 0x80, 0, 128}, {8, 0x81, 0, 128}, {8, 0x82, 0, 128}, {8, 0x83, 0, 128}}));
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_TRUE(r->outcome.fileWritten);
  EXPECT_EQ(r->view.statuses.back(), "Finished. Data in File");
  EXPECT_EQ(r->records.LastRow, 129);  // 128 logged times below the titles
  EXPECT_EQ(r->view.boxes[0], "Flow");
  EXPECT_EQ(r->view.boxes[1], "");
  EXPECT_EQ(r->view.boxes[9], " 128");
  EXPECT_EQ(r->view.progress.front(), 0);
  EXPECT_EQ(r->view.progress.back(), 100);
  // Title line, then one line per logged time, all with CR LF.
  EXPECT_EQ(r->csv.rfind("Date / Time,Flow\r\n3/4/2021 12:15:00 AM, 0\r\n", 0), 0u) << r->csv;
  EXPECT_NE(r->csv.find("\r\n3/4/2021 4:00:00 PM, 63.0000"), std::string::npos);
  EXPECT_EQ(std::count(r->csv.begin(), r->csv.end(), '\n'), 129);
}

TEST_F(MeterDownload, FullRingIsReadOnceWithoutRepeatingItsOldestRecords) {
  // 32,767 records: the end pointer sits one record before the start.
  auto r = run(R"({"channels": ["Flow"], "log": {"start": [8, 128, 8], "end": [8, 128, 0],
                   "generator": {"channels": [1], "start": "2021-03-04T00:15",
                                 "interval_minutes": 15, "count": 32767, "values": {"1": "i"}}}})",
               Button::DownloadData);
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_EQ(r->logBlocks().size(), 1024u);
  EXPECT_EQ(r->records.LastRow, 1 + 32767);
  EXPECT_EQ(std::count(r->csv.begin(), r->csv.end(), '\n'), 1 + 32767);
}

TEST_F(MeterDownload, WrappedLogReadsTheLastBankThenTheFirst) {
  auto r = run(Log("[23, 191, 0]", 64), Button::DownloadData);
  EXPECT_EQ(r->logBlocks(), (std::vector<Block>{{0x17, 0xBF, 0, 128}, {8, 0x80, 0, 128}}));
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_EQ(r->records.LastRow, 65);
}

TEST_F(MeterDownload, ShortLogIsReadInOneShortBlock) {
  auto r = run(Log("[8, 128, 0]", 25, R"(, "status": {"records_used": 25})"), Button::DownloadData);
  EXPECT_EQ(r->logBlocks(), (std::vector<Block>{{8, 0x80, 0, 100}}));
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
}

TEST_F(MeterDownload, ByteCount1000ReadsOneExtraFullBlock) {
  auto r = run(Log("[8, 128, 0]", 125), Button::DownloadData);
  EXPECT_EQ(r->logBlocks(), (std::vector<Block>{{8, 0x80, 0, 128},
                                                {8, 0x81, 0, 128},
                                                {8, 0x82, 0, 128},
                                                {8, 0x83, 0, 128},
                                                {8, 0x84, 0, 128}}));
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  // The extra block's erased memory adds no rows.
  EXPECT_EQ(r->records.LastRow, 126);
}

TEST_F(MeterDownload, SinceLastTimeStartsEightBytesAfterThePointerTheMeterReports) {
  auto r = run(Log("[8, 128, 0]", 33, R"(, "last_download": [8, 128, 0])"), Button::SinceLastTime);
  EXPECT_EQ(r->requestsOf(97), 1);
  EXPECT_EQ(r->logBlocks(), (std::vector<Block>{{8, 0x80, 8, 128}}));
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_EQ(r->view.statuses.front(), "Last Time Downloading");
  EXPECT_EQ(r->view.statuses.back(), "Finished. Data in File");
  EXPECT_EQ(r->view.sinceLastEnabled, (std::vector<bool>{false, true}));
  EXPECT_EQ(r->records.LastRow, 33);  // the record at the pointer itself was read last time
}

TEST_F(MeterDownload, SinceLastTimeCarriesIntoTheNextBank) {
  auto r =
      run(Log("[9, 191, 248]", 33, R"(, "last_download": [9, 191, 248])"), Button::SinceLastTime);
  ASSERT_FALSE(r->logBlocks().empty());
  EXPECT_EQ(r->logBlocks().front(), (Block{0x0A, 0x80, 0x00, 128}));
}

TEST_F(MeterDownload, EmptyLogReportsNothingToReadAndWritesNoTitles) {
  auto r = run(R"({"channels": ["Flow"]})", Button::DownloadData);
  EXPECT_EQ(r->outcome.result, DownloadResult::kNothingToRead);
  EXPECT_FALSE(r->outcome.fileWritten);
  EXPECT_EQ(r->view.statuses.back(), "0 Records Available");
  EXPECT_TRUE(r->logBlocks().empty());
  EXPECT_EQ(r->records.cell(1, 1), "");
  EXPECT_TRUE(r->csv.empty());
}

TEST_F(MeterDownload, RecordsUsedMayExceedTheByteCountByOneRecordOnly) {
  auto passes =
      run(Log("[8, 128, 0]", 125, R"(, "status": {"records_used": 126})"), Button::DownloadOnly);
  EXPECT_EQ(passes->outcome.result, DownloadResult::kLogRead);

  auto fails =
      run(Log("[8, 128, 0]", 125, R"(, "status": {"records_used": 127})"), Button::DownloadData);
  EXPECT_EQ(fails->outcome.result, DownloadResult::kDownloadError);
  EXPECT_EQ(fails->view.statuses.back(), "Error in Downloading!!");
  EXPECT_EQ(fails->requestsOf(96), 0);  // stopped before any set-up or block read
  EXPECT_EQ(fails->view.downloadDataEnabled, (std::vector<bool>{false, true}));
}

TEST_F(MeterDownload, RecordCountOutsideTheRangeShowsErrorAndCountsAsZero) {
  // 47 80 00 80 reads about 65537.
  auto r = run(Log("[8, 128, 0]", 32,
                   R"(, "status": {"raw": "00 08 80 00 00 08 81 00 47 80 00 80 47 80 00 80"})"),
               Button::DownloadOnly);
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_EQ(r->view.boxes[9], "Error");
  EXPECT_EQ(r->view.boxes[8], "Error");
}

TEST_F(MeterDownload, PortableMeterTakesTheStatusOneByteEarlier) {
  auto r =
      run(Log("[8, 128, 0]", 64, R"(, "portable": true)"), Button::DownloadOnly, {}, nullptr, true);
  EXPECT_EQ(r->logBlocks(), (std::vector<Block>{{8, 0x80, 0, 128}, {8, 0x81, 0, 128}}));
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
}

TEST_F(MeterDownload, NotUsedChannelsAreLeftOutAndTotalisersShowWholeNumbers) {
  // Channel 1 at 12.5000007450581, channel 3 a totaliser at -2.50000015 (shown as -3).
  auto r = run(R"({"channels": ["Flow", "Not Used", "Fwd Tot"],
                   "log": {"records": ["1B 03 21 30 41 48 00 00", "3B 03 21 30 C0 20 00 00"]}})",
               Button::DownloadData);
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_EQ(r->logBlocks(), (std::vector<Block>{{8, 0x80, 0, 8}}));
  EXPECT_EQ(r->csv,
            "Date / Time,Flow,Fwd Tot\r\n"
            "11/3/2020 9:30:00 PM, 12.5000007450581,-3\r\n");
  EXPECT_TRUE(r->records.ChannelIsTotal[2]);
  EXPECT_FALSE(r->records.ChannelUsed[1]);
}

TEST_F(MeterDownload, MeterSilentForAFewBlockRequestsIsAskedAgainUntilItAnswers) {
  auto r = run(Log("[8, 128, 0]", 64), Button::DownloadData,
               {"--fault", "silent,function=96,bank=8,addr_hi=129,addr_lo=0,first=2"});
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  auto blocks = r->logBlocks();
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[1], blocks[2]);
  EXPECT_EQ(blocks[2], blocks[3]);
  EXPECT_EQ(r->records.LastRow, 65);
}

TEST_F(MeterDownload, BlockWithACorruptedCrcIsReadAgain) {
  auto clean = run(Log("[8, 128, 0]", 64), Button::DownloadData);
  auto r = run(Log("[8, 128, 0]", 64), Button::DownloadData,
               {"--fault", "bad_crc,function=96,bank=8,addr_hi=128,nth=1"});
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_EQ(r->logBlocks(),
            (std::vector<Block>{{8, 0x80, 0, 128}, {8, 0x80, 0, 128}, {8, 0x81, 0, 128}}));
  EXPECT_EQ(r->csv, clean->csv);
}

TEST_F(MeterDownload, SlowMeterAnsweringEveryCopyOfAResentRequestStillGivesTheRightFile) {
  // Set-up records 0.6 s and log blocks 0.8 s late at 38400 baud, with the link's clock three
  // times as fast so that every request goes out again before its answer: each copy is
  // answered, and those second answers arrive while the next request waits.
  const std::string log = R"({"channels": ["Flow", "Velocity", "Fwd Tot"],
      "log": {"generator": {"channels": [1, 2, 3], "start": "2021-03-04T00:15",
                            "interval_minutes": 15, "count": 32,
                            "values": {"1": "i", "2": "100 + i", "3": "1000 * i"}}}})";
  auto clean = run(log, Button::DownloadData);
  ASSERT_EQ(clean->outcome.result, DownloadResult::kLogRead);
  FastClock fast(3);
  auto slow = run(log, Button::DownloadData,
                  {"--baud", "38400", "--fault", "late,function=96,bank=24,seconds=0.6", "--fault",
                   "late,function=96,bank=8,seconds=0.8"},
                  &fast);
  EXPECT_GT(slow->requestsOf(96), 8 + 3);  // requests were sent again
  EXPECT_EQ(slow->outcome.result, DownloadResult::kLogRead);
  EXPECT_EQ(slow->csv, clean->csv);
  EXPECT_EQ(slow->csv.substr(0, slow->csv.find('\r')), "Date / Time,Flow,Velocity,Fwd Tot");
}

TEST_F(MeterDownload, BlockThatNeverArrivesEndsTheDownloadAfterEightTries) {
  FastClock fast(1000);
  auto r = run(Log("[8, 128, 0]", 64), Button::DownloadData,
               {"--fault", "silent,function=96,bank=8,addr_hi=129"}, &fast);
  EXPECT_EQ(r->outcome.result, DownloadResult::kDownloadError);
  EXPECT_EQ(r->view.statuses.back(), "Error in Downloading!!");
  // The first block's rows stay in the table; no file is written.
  EXPECT_EQ(r->records.LastRow, 33);
  EXPECT_FALSE(r->outcome.fileWritten);
  EXPECT_TRUE(r->csv.empty());
}

TEST_F(MeterDownload, MeterThatStopsAnsweringTheSetupEndsTheDownloadWithinTwoMinutes) {
  // Channels 1 and 2 answer, then the meter falls silent: four unanswered reads of 30 s each
  // end the download, not eight passes over every channel (32 minutes). On the fast clock a
  // silent read's first wait already takes it far past its limit, so the two minutes without
  // progress that end any download may come before the fourth.
  FastClock fast(1000);
  auto r = run(Log("[8, 128, 0]", 64), Button::DownloadData,
               {"--fault", "silent,function=96,bank=24,after=2"}, &fast);
  EXPECT_EQ(r->outcome.result, DownloadResult::kDownloadError);
  EXPECT_EQ(r->view.statuses.back(), "Error in Downloading!!");
  EXPECT_TRUE(r->logBlocks().empty());
  std::set<int> channelsAsked;
  for (const auto& request : r->requests) {
    if (request.function == 96 && request.bank == 24) channelsAsked.insert(request.addrHi - 128);
  }
  EXPECT_GE(channelsAsked.size(), 3u);
  EXPECT_LE(channelsAsked.size(), 6u);
  EXPECT_EQ(*channelsAsked.rbegin(), static_cast<int>(channelsAsked.size()));  // 1, 2, 3, ...
}

// Line noise on the set-up replies: a reply that fails its CRC shows the meter is there, so it
// is read again and never counts towards the give-up for a silent meter.
TEST_F(MeterDownload, SetupRepliesThatFailTheirCrcAreReadAgain) {
  auto clean = run(Log("[8, 128, 0]", 64), Button::DownloadData);
  ASSERT_EQ(clean->outcome.result, DownloadResult::kLogRead);
  for (const char* fault :
       {"bad_crc,function=96,bank=24,first=3", "bad_crc,function=96,bank=24,first=4",
        "bad_crc,function=96,bank=24,first=12"}) {
    SCOPED_TRACE(fault);
    auto r = run(Log("[8, 128, 0]", 64), Button::DownloadData, {"--fault", fault});
    EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
    EXPECT_EQ(r->csv, clean->csv);
  }
}

// A meter that answers the log reads with exceptions (or stops after the first block) is given
// up two minutes after the last block or set-up record read, whatever the read limits allow,
// and "Since Last Time" does not start the whole download again.
TEST_F(MeterDownload, DownloadThatMakesNoProgressForTwoMinutesEndsInEveryMode) {
  struct Case {
    const char* fault;
    Button button;
  };
  for (Case c : {Case{"exception,function=96,bank=8", Button::DownloadData},
                 Case{"exception,function=96,bank=8", Button::SinceLastTime},
                 Case{"silent,function=96,bank=8,addr_hi=129", Button::SinceLastTime}}) {
    SCOPED_TRACE(c.fault);
    FastClock fast(50);
    TimedClock timed(fast);
    auto r = run(Log("[8, 128, 0]", 64), c.button, {"--fault", c.fault}, &timed);
    EXPECT_EQ(r->outcome.result, DownloadResult::kDownloadError);
    EXPECT_EQ(r->view.statuses.back(), "Error in Downloading!!");
    EXPECT_GE(timed.seconds(), 120);
    // At most one more read's 30-s limit, and what a busy machine adds at fifty times the
    // speed; eight block tries alone would take 240 s.
    EXPECT_LT(timed.seconds(), 120 + 90);
    EXPECT_LE(r->requestsOf(97), 1);
  }
}

TEST_F(MeterDownload, UnwritableFileIsReportedAndSinceLastTimeTriesFourTimes) {
  outputPath = (folder_ / "missing" / "Logdata.csv").string();
  auto r = run(Log("[8, 128, 0]", 32), Button::SinceLastTime);
  EXPECT_EQ(r->outcome.result, DownloadResult::kLogRead);
  EXPECT_FALSE(r->outcome.fileWritten);
  EXPECT_EQ(r->requestsOf(97), 4);
  ASSERT_GE(r->view.statuses.size(), 2u);
  EXPECT_EQ(r->view.statuses.back(), "Error putting into file!!");
  EXPECT_EQ(r->view.statuses[r->view.statuses.size() - 2], "No such file or directory");
}

TEST_F(MeterDownload, PointersOutsideTheLogRingAreAnErrorNotAReadOfStrayMemory) {
  // End pointer in bank 0: no log memory lies there.
  auto r = run(Log("[8, 128, 0]", 32,
                   R"(, "status": {"raw": "00 08 80 00 00 00 81 00 42 00 00 00 47 00 00 00"})"),
               Button::DownloadData);
  EXPECT_EQ(r->outcome.result, DownloadResult::kDownloadError);
  EXPECT_EQ(r->requestsOf(96), 0);

  // Equal pointers say there is nothing to read, wherever they point.
  auto empty = run(Log("[8, 128, 0]", 32,
                       R"(, "status": {"raw": "00 00 81 00 00 00 81 00 00 00 00 00 00 00 00 00"})"),
                   Button::DownloadData);
  EXPECT_EQ(empty->outcome.result, DownloadResult::kNothingToRead);
  EXPECT_EQ(empty->view.statuses.back(), "0 Records Available");
}

TEST_F(MeterDownload, StatusReadThatFailsEndsWithAnError) {
  FastClock fast(1000);
  auto r = run(Log("[8, 128, 0]", 32), Button::DownloadData, {"--silent", "3"}, &fast);
  EXPECT_EQ(r->outcome.result, DownloadResult::kDownloadError);
  EXPECT_EQ(r->requestsOf(96), 0);
}

}  // namespace
}  // namespace norvale
