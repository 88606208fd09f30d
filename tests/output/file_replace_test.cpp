#include "output/file_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/file_bytes.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;

class ReplaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "file_replace_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(folder, ignored);
  }
  std::vector<std::string> Entries(const fs::path& in) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(in)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder;
};

// What each caller decides on: the settings save and the chart take the error; the CSV writer
// writes in place only where the folder refused the temporary file.
TEST_F(ReplaceFileTest, ReportsWhyAFileWasNotReplacedAndKeepsTheOldOne) {
  std::ofstream(folder / "old.ini") << "old";
  fs::create_directory(folder / "sub");
  struct Case {
    const char* what;
    fs::path path;
    FileContents contents;
    int error;
    bool tempRefused;
  };
  const Case cases[] = {
      {"replaced", folder / "old.ini", [](int fd) { return WriteAll(fd, "new"); }, 0, false},
      {"writer fails", folder / "old.ini", [](int) { return ENOSPC; }, ENOSPC, false},
      {"folder", folder / "sub", [](int fd) { return WriteAll(fd, "new"); }, EISDIR, false},
      {"no folder", folder / "none" / "a.ini", [](int) { return 0; }, ENOENT, true},
      {"empty name", "", [](int) { return 0; }, ENOENT, false},
  };
  for (const Case& test : cases) {
    std::ofstream(folder / "old.ini") << "old";
    const FileReplacement result = ReplaceFile(test.path.string(), test.contents);
    EXPECT_EQ(result.error, test.error) << test.what;
    EXPECT_EQ(result.tempRefused, test.tempRefused) << test.what;
    EXPECT_FALSE(result.writeProtected) << test.what;
    EXPECT_EQ(FileBytes(folder / "old.ini"), test.error == 0 ? "new" : "old") << test.what;
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"old.ini", "sub"})) << test.what;
  }
}

TEST_F(ReplaceFileTest, NewFileKeepsTheOldOnesPermissionsAndALinkStays) {
  std::ofstream(folder / "real.ini") << "old";
  fs::permissions(folder / "real.ini", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("real.ini", folder / "link.ini");
  ASSERT_EQ(ReplaceFile((folder / "link.ini").string(), std::string_view("new")).error, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "link.ini"));
  EXPECT_EQ(FileBytes(folder / "real.ini"), "new");
  EXPECT_EQ(fs::status(folder / "real.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

// Root may write anything, so the child gives it up first.
TEST_F(ReplaceFileTest, WriteProtectedFileAndLockedFolderAreToldApart) {
  fs::create_directory(folder / "locked");
  std::ofstream(folder / "locked" / "open.ini") << "old";
  std::ofstream(folder / "protected.ini") << "old";
  ::chmod((folder / "locked" / "open.ini").c_str(), 0666);
  ::chmod((folder / "protected.ini").c_str(), 0444);
  ::chmod((folder / "locked").c_str(), 0555);
  auto child = [this] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 2;
    const FileReplacement locked =
        ReplaceFile((folder / "locked" / "open.ini").string(), std::string_view("new"));
    const FileReplacement protectedFile =
        ReplaceFile((folder / "protected.ini").string(), std::string_view("new"));
    const bool lockedSeen = locked.error == EACCES && locked.tempRefused && !locked.writeProtected;
    const bool protectedSeen = protectedFile.error == EACCES && protectedFile.writeProtected &&
                               FileBytes(folder / "protected.ini") == "old";
    return lockedSeen && protectedSeen ? 0 : 1;
  };
  EXPECT_EXIT(std::_Exit(child()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace norvale
