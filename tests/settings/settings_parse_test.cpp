#include "settings/settings_parse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvale {
namespace {

// The list lengths of the window's unit boxes.
constexpr SettingsListSizes kSizes{15, 4, 2};

std::vector<std::string> FactoryLines() { return SplitSettingsLines(DefaultSettingsFile()); }

std::vector<std::string> FactoryWithLine(int number, const std::string& text) {
  std::vector<std::string> lines = FactoryLines();
  lines.at(number - 1) = text;
  return lines;
}

std::vector<std::string> FactoryCutAfter(int count) {
  std::vector<std::string> lines = FactoryLines();
  lines.resize(count);
  return lines;
}

TEST(ParseSettingsLines, StopsAtTheFirstBadValueOrTheEndAndNotesMissingKeys) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    int linesRead;
    int failedLine;
    bool keyMissing;
  };
  std::vector<std::string> longer = FactoryLines();
  longer.push_back("[Commport]=4");
  std::vector<std::string> missingThenBad = FactoryWithLine(2, "38400");
  missingThenBad.at(38) = "[MeterType]=x";
  const Case cases[] = {
      {"factory file", FactoryLines(), 44, 0, false},
      {"a 45th line", longer, 44, 0, false},
      {"port out of int16", FactoryWithLine(1, "[Commport]=99999"), 0, 1, false},
      {"slave ID out of int16", FactoryWithLine(4, "[CommSlaveID]=40000"), 3, 4, false},
      {"ends after line 5", FactoryCutAfter(5), 5, 0, false},
      {"meter type of letters", FactoryWithLine(39, "[MeterType]=abc"), 38, 39, false},
      {"unit past its list", FactoryWithLine(40, "[FlowUnits]=15"), 39, 40, false},
      {"velocity past its list", FactoryWithLine(42, "[VelocityUnits]=2"), 41, 42, false},
      {"phone line without key", FactoryWithLine(10, "555 0100"), 44, 0, true},
      {"ends in the phone book", FactoryCutAfter(20), 20, 0, false},
      {"bad value after a missing key", missingThenBad, 38, 39, true},
      {"line 43 holds anything", FactoryWithLine(43, "junk"), 44, 0, false},
      {"no lines", {}, 0, 0, false},
  };
  for (const Case& test : cases) {
    const ParsedSettings read = ParseSettingsLines(test.lines, kSizes);
    EXPECT_EQ(read.linesRead, test.linesRead) << test.what;
    EXPECT_EQ(read.failedLine, test.failedLine) << test.what;
    EXPECT_EQ(read.keyMissing, test.keyMissing) << test.what;
    EXPECT_EQ(read.whole(), test.linesRead == 44) << test.what;
  }
}

TEST(ParseSettingsLines, FactoryFileGivesItsValuesAndSkipsTheTwoForeignKeys) {
  const ParsedSettings read = ParseSettingsLines(FactoryLines(), kSizes);
  EXPECT_EQ(read.present.count(), 42u);
  EXPECT_FALSE(read.present[2]) << "[CommFlow]";
  EXPECT_FALSE(read.present[42]) << "[TotalUnits]";
  EXPECT_TRUE(read.values.hardwareFlow) << "line 3 unread keeps the default";
  EXPECT_EQ(read.values.commBaud, "38400");
  EXPECT_EQ(read.values.slaveIdText, "001");
  EXPECT_EQ(read.slaveId, 1);
  EXPECT_EQ(read.values.databasePath, kDefaultDatabasePath);
  EXPECT_EQ(read.values.phoneBook[9].item, " 10");
  EXPECT_EQ(read.values.phoneBook[9].description, " ");
  EXPECT_EQ(read.values.velocityUnits, 1);
  EXPECT_EQ(read.values.modemInitString, "ATE0 S0=2 &C0");
}

// The slave ID box shows line 4 as written even when its number stops the reading.
TEST(ParseSettingsLines, FailedSlaveIdKeepsItsText) {
  const ParsedSettings read = ParseSettingsLines(FactoryWithLine(4, "[CommSlaveID]=40000"), kSizes);
  EXPECT_TRUE(read.present[3]);
  EXPECT_EQ(read.values.slaveIdText, "40000");
}

TEST(ParseSettingsLines, ReadsBackEverythingTheSaveWrites) {
  SavedSettings saved;
  saved.commPort = 7;
  saved.commBaud = "2400";
  saved.hardwareFlow = false;
  saved.slaveIdText = " 17 ";
  saved.downloadSaveFile = "site 4.csv";
  saved.databasePath = "e:\\hand\\DB.pdb";
  saved.usePalmDatabase = PalmCheck::Greyed;
  saved.palmFileSep = 2;
  for (int i = 0; i < kPhoneBookEntries; ++i) {
    saved.phoneBook[i] = {"item " + std::to_string(i), i == 3 ? "" : "555-01" + std::to_string(i),
                          "d\xc3\xa9scription=" + std::to_string(i)};
  }
  saved.meterType = 2;
  saved.flowUnits = 14;
  saved.flowFormat = -1;
  saved.velocityUnits = 0;
  saved.modemInitString = "AT&F S0=1";

  const ParsedSettings read =
      ParseSettingsLines(SplitSettingsLines(FormatSettingsFile(saved)), kSizes);
  EXPECT_TRUE(read.whole());
  EXPECT_FALSE(read.keyMissing);
  EXPECT_EQ(read.present.count(), 43u) << "all but line 43";
  EXPECT_EQ(read.slaveId, 17);
  EXPECT_TRUE(read.values == saved);
}

}  // namespace
}  // namespace norvale
