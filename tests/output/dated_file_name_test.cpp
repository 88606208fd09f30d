#include "output/dated_file_name.h"

#include <gtest/gtest.h>

#include <set>

#include "output/log_file_location.h"

namespace norvale {
namespace {

TEST(DatedFileName, FieldsArePaddedAndOnlyKnownSequencesAreTaken) {
  std::tm time{};
  time.tm_year = 2026 - 1900;
  time.tm_mon = 0;
  time.tm_mday = 5;
  time.tm_hour = 3;
  time.tm_min = 7;
  time.tm_sec = 9;
  EXPECT_EQ(ExpandDatedName("pump/%Y-%m-%d-%H%M%S 100%%.csv", time),
            "pump/2026-01-05-030709 100%.csv");
  EXPECT_EQ(ExpandDatedName("plain.csv", time), "plain.csv");
  for (const char* bad : {"%y.csv", "a%", "%Y-%e"}) {
    EXPECT_FALSE(ExpandDatedName(bad, time)) << bad;
  }
}

TEST(DatedFileName, ATakenNameGetsTheFirstFreeNumberBeforeItsExtension) {
  std::set<std::string> taken;
  auto isTaken = [&](const std::string& name) { return taken.count(name) > 0; };
  EXPECT_EQ(FirstFreeName("out/2026.csv", isTaken), "out/2026.csv");
  taken = {"out/2026.csv", "out/2026-2.csv"};
  EXPECT_EQ(FirstFreeName("out/2026.csv", isTaken), "out/2026-3.csv");
  // The dot of a folder or of a hidden file is no extension.
  taken = {"v1.2/log", ".log"};
  EXPECT_EQ(FirstFreeName("v1.2/log", isTaken), "v1.2/log-2");
  EXPECT_EQ(FirstFreeName(".log", isTaken), ".log-2");
}

TEST(LogFileLocation, RelativeNamesLandInTheFolderAbsoluteOnesStay) {
  EXPECT_EQ(LogFileTarget("Logdata.csv", "/home/u/Documents"), "/home/u/Documents/Logdata.csv");
  EXPECT_EQ(LogFileTarget("sites/a.csv", "/home/u/Documents"), "/home/u/Documents/sites/a.csv");
  EXPECT_EQ(LogFileTarget("/data/a.csv", "/home/u/Documents"), "/data/a.csv");
  EXPECT_EQ(LogFileTarget("Logdata.csv", ""), "Logdata.csv");
  EXPECT_EQ(AbsoluteFileName("/data/./x/../a.csv"), "/data/a.csv");
  EXPECT_EQ(AbsoluteFileName("a.csv").front(), '/');
}

}  // namespace
}  // namespace norvale
