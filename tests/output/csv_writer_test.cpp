#include "output/csv_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/file_bytes.h"
#include "text/number_text.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class WriteLogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "csv_writer_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    // Lets a test that drops root privileges still reach the folder.
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    table.setCell(1, 0, "Record #");
    table.setCell(1, 1, "Date / Time");
    table.LastRow = 1;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(folder, ignored);
  }

  void addChannel(int k, const std::string& name) {
    table.ChannelUsed[k - 1] = true;
    table.setCell(1, k + 1, name);
  }
  void addRow(const std::string& stamp, std::initializer_list<double> values) {
    int row = ++table.LastRow;
    table.setCell(row, 0, std::to_string(row - 1));
    table.setCell(row, 1, stamp);
    int column = 2;
    for (double v : values) table.setCell(row, column++, NumberText(v));
  }
  bool write(const fs::path& path) { return WriteLogFile(table, path.string(), failure); }
  // Only the target itself may be left in the folder: no temporary file.
  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder;
  RecordTable table;
  std::string failure;
};

TEST_F(WriteLogFileTest, TitleRowAloneGivesOneLine) {
  addChannel(1, "Flow");
  ASSERT_TRUE(write(folder / "log.csv")) << failure;
  EXPECT_EQ(FileBytes(folder / "log.csv"), "Date / Time,Flow\r\n");
  EXPECT_EQ(failure, "");
}

TEST_F(WriteLogFileTest, WithoutUsedChannelsOnlyTheDateFieldIsWritten) {
  table.setCell(1, 2, "Flow");
  addRow("3/6/2021 10:00:00 AM", {1.5});
  ASSERT_TRUE(write(folder / "log.csv"));
  EXPECT_EQ(FileBytes(folder / "log.csv"), "Date / Time\r\n3/6/2021 10:00:00 AM\r\n");
}

TEST_F(WriteLogFileTest, UnusedChannelColumnIsLeftOut) {
  addChannel(1, "Flow");
  table.setCell(1, 3, "Not Used");
  addChannel(3, "Tot Fwd");
  addRow("3/6/2021 10:00:00 AM", {0.5, 99, -3});
  addRow("3/6/2021 10:01:00 AM", {12.500000745058104, 99, 4});
  ASSERT_TRUE(write(folder / "log.csv"));
  EXPECT_EQ(FileBytes(folder / "log.csv"),
            "Date / Time,Flow,Tot Fwd\r\n"
            "3/6/2021 10:00:00 AM, .5,-3\r\n"
            "3/6/2021 10:01:00 AM, 12.5000007450581, 4\r\n");
}

TEST_F(WriteLogFileTest, CellsGoOutExactlyAsStored) {
  addChannel(1, "Flow, gross");
  addChannel(2, "Temp \260C");  // octal 260 = 176, a degree sign in Latin-1
  addRow("3/6/2021 10:00:00 AM", {});
  table.setCell(2, 3, "\"q\" \376");
  ASSERT_TRUE(write(folder / "log.csv"));
  // No quoting: the comma in a name gives the title line one more field; an empty cell gives
  // an empty field; bytes above 127 are written unchanged and no byte order mark precedes.
  EXPECT_EQ(FileBytes(folder / "log.csv"),
            "Date / Time,Flow, gross,Temp \260C\r\n"
            "3/6/2021 10:00:00 AM,,\"q\" \376\r\n");
}

TEST_F(WriteLogFileTest, ReplacesAnExistingFileInsteadOfAppending) {
  writeFile(folder / "log.csv", std::string(5000, 'x'));
  ::chmod((folder / "log.csv").c_str(), 0640);
  // Only root can give the old file away, and so only root can hand the new one back.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((folder / "log.csv").c_str(), 65534, 65534), 0);
  }
  ASSERT_TRUE(write(folder / "log.csv"));
  EXPECT_EQ(FileBytes(folder / "log.csv"), "Date / Time\r\n");
  EXPECT_EQ(fs::status(folder / "log.csv").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  struct stat st;
  ASSERT_EQ(::stat((folder / "log.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, root ? 65534u : ::geteuid());
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"log.csv"}));
}

TEST_F(WriteLogFileTest, BareNameLandsInTheCurrentFolder) {
  fs::path before = fs::current_path();
  fs::current_path(folder);
  bool ok = WriteLogFile(table, "Logdata.csv", failure);
  fs::current_path(before);
  ASSERT_TRUE(ok) << failure;
  EXPECT_EQ(FileBytes(folder / "Logdata.csv"), "Date / Time\r\n");
}

TEST_F(WriteLogFileTest, SymbolicLinkStaysAndItsFileIsReplaced) {
  writeFile(folder / "real.csv", "old");
  fs::create_symlink("real.csv", folder / "link.csv");
  ASSERT_TRUE(write(folder / "link.csv")) << failure;
  EXPECT_TRUE(fs::is_symlink(folder / "link.csv"));
  EXPECT_EQ(FileBytes(folder / "real.csv"), "Date / Time\r\n");
}

// A link made before its file exists (a link into a synchronised folder, say) must lead the
// log there, through a chain of links too, and stay a link.
TEST_F(WriteLogFileTest, LinkToAFileNotYetThereCreatesThatFile) {
  fs::create_directory(folder / "shared");
  fs::create_symlink("shared/new.csv", folder / "first.csv");
  fs::create_symlink("first.csv", folder / "link.csv");
  ASSERT_TRUE(write(folder / "link.csv")) << failure;
  EXPECT_TRUE(fs::is_symlink(folder / "link.csv"));
  EXPECT_TRUE(fs::is_symlink(folder / "first.csv"));
  EXPECT_EQ(FileBytes(folder / "shared" / "new.csv"), "Date / Time\r\n");
}

// Dated names: every write of the same name keeps the files before it, and a name that is a
// folder is refused rather than numbered.
TEST_F(WriteLogFileTest, NewLogFileNeverReplacesAndTakesTheNextFreeName) {
  writeFile(folder / "2026.csv", "first");
  fs::create_symlink("nowhere", folder / "2026-2.csv");  // even a dangling link has its name
  std::string written;
  ASSERT_TRUE(WriteNewLogFile(table, (folder / "2026.csv").string(), written, failure)) << failure;
  EXPECT_EQ(written, (folder / "2026-3.csv").string());
  EXPECT_EQ(FileBytes(folder / "2026.csv"), "first");
  EXPECT_EQ(FileBytes(folder / "2026-3.csv"), "Date / Time\r\n");
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"2026-2.csv", "2026-3.csv", "2026.csv"}));

  for (const std::string& folderName : {folder.string(), folder.string() + "/"}) {
    EXPECT_FALSE(WriteNewLogFile(table, folderName, written, failure)) << folderName;
    EXPECT_EQ(failure, "Is a directory");
  }
  EXPECT_EQ(folderEntries().size(), 3u);
}

TEST_F(WriteLogFileTest, LargeTableIsWrittenWhole) {
  addChannel(8, "Ch8");
  for (int i = 0; i < 20000; ++i) addRow("1/1/2022 1:00:00 AM", {0, 0, 0, 0, 0, 0, 0, i * 0.5});
  ASSERT_TRUE(write(folder / "log.csv"));
  std::string bytes = FileBytes(folder / "log.csv");
  EXPECT_EQ(static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n')), table.LastRow);
  EXPECT_TRUE(bytes.ends_with("\r\n1/1/2022 1:00:00 AM, 9999.5\r\n"));
}

TEST_F(WriteLogFileTest, MissingFolderFailsWithTheSystemsReason) {
  EXPECT_FALSE(write(folder / "missing" / "log.csv"));
  EXPECT_EQ(failure, "No such file or directory");
  EXPECT_FALSE(WriteLogFile(table, "", failure));
  EXPECT_EQ(failure, "No such file or directory");
}

TEST_F(WriteLogFileTest, FolderAsTargetFails) {
  EXPECT_FALSE(write(folder));
  EXPECT_EQ(failure, "Is a directory");
}

TEST_F(WriteLogFileTest, FullDeviceReportsTheWriteError) {
  EXPECT_FALSE(write("/dev/full"));
  EXPECT_EQ(failure, "No space left on device");
  // /dev/full itself must still be the device, not a file renamed over it.
  struct stat st;
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(WriteLogFileTest, RowsPastTheTableFailAndKeepTheOldFile) {
  writeFile(folder / "log.csv", "old data\r\n");
  table.LastRow = RecordTable::kRows;
  EXPECT_FALSE(write(folder / "log.csv"));
  EXPECT_NE(failure, "");
  EXPECT_EQ(FileBytes(folder / "log.csv"), "old data\r\n");
}

// The file size limit makes the writes fail partway; it is set in a child process so the
// rest of the tests keep writing freely.
TEST_F(WriteLogFileTest, FailureHalfwayKeepsTheOldFileAndLeavesNoTemporary) {
  writeFile(folder / "log.csv", "old data\r\n");
  addChannel(1, "Flow");
  for (int i = 0; i < 5000; ++i) addRow("1/1/2022 1:00:00 AM", {i * 0.25});
  auto child = [this] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    bool ok = write(folder / "log.csv");
    bool kept = FileBytes(folder / "log.csv") == "old data\r\n";
    bool clean = folderEntries() == std::vector<std::string>{"log.csv"};
    return !ok && failure == "File too large" && kept && clean ? 0 : 1;
  };
  EXPECT_EXIT(std::_Exit(child()), ::testing::ExitedWithCode(0), "");
}

// Root may write anything, so the children of the permission tests give it up first.
bool dropRoot() { return ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0); }

// A folder that takes no new files: an existing file there is written in place, a new one
// cannot be created.
TEST_F(WriteLogFileTest, TemporaryFileOfAKilledWriteIsRemovedAtTheNextWrite) {
  // A process id that runs no process now, one that does (ours has a parent), and files that
  // merely look alike.
  pid_t gone = 4194000;
  while (::kill(gone, 0) == 0 || errno != ESRCH) --gone;
  const fs::path leftover = folder / (".Logdata.csv." + std::to_string(gone) + "-0.tmp");
  const fs::path running = folder / (".Logdata.csv." + std::to_string(::getppid()) + "-3.tmp");
  const fs::path otherFile = folder / (".Other.csv." + std::to_string(gone) + "-0.tmp");
  const fs::path notOurs = folder / ".Logdata.csv.notes.tmp";
  for (const fs::path& path : {leftover, running, otherFile, notOurs}) writeFile(path, "half");

  std::string failure;
  ASSERT_TRUE(WriteLogFile(table, (folder / "Logdata.csv").string(), failure)) << failure;
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_TRUE(fs::exists(running));
  EXPECT_TRUE(fs::exists(otherFile));
  EXPECT_TRUE(fs::exists(notOurs));
}

TEST_F(WriteLogFileTest, LockedFolderWritesAnExistingFileInPlace) {
  fs::create_directory(folder / "locked");
  writeFile(folder / "locked" / "log.csv", "old data\r\n");
  ::chmod((folder / "locked" / "log.csv").c_str(), 0666);
  ::chmod((folder / "locked").c_str(), 0555);
  auto child = [this] {
    if (!dropRoot()) return 2;
    bool replaced = write(folder / "locked" / "log.csv") &&
                    FileBytes(folder / "locked" / "log.csv") == "Date / Time\r\n";
    bool refused = !write(folder / "locked" / "new.csv") && failure == "Permission denied";
    return replaced && refused ? 0 : 1;
  };
  EXPECT_EXIT(std::_Exit(child()), ::testing::ExitedWithCode(0), "");
}

TEST_F(WriteLogFileTest, WriteProtectedFileIsNotReplaced) {
  fs::create_directory(folder / "open");
  ::chmod((folder / "open").c_str(), 0777);
  writeFile(folder / "open" / "log.csv", "old data\r\n");
  ::chmod((folder / "open" / "log.csv").c_str(), 0444);
  auto child = [this] {
    if (!dropRoot()) return 2;
    bool refused = !write(folder / "open" / "log.csv") && failure == "Permission denied";
    bool kept = FileBytes(folder / "open" / "log.csv") == "old data\r\n";
    return refused && kept ? 0 : 1;
  };
  EXPECT_EXIT(std::_Exit(child()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace norvale
