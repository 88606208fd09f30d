#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace norvale {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
  std::string file;
  for (const std::string& line : lines) file += line + "\r\n";
  return file;
}

TEST(SettingsFile, FactoryFileIsTheFortyFourDocumentedLines) {
  std::vector<std::string> expected = {"[Commport]=1",
                                       "[CommBaud]=38400",
                                       "[CommFlow]=Hardware",
                                       "[CommSlaveID]=001",
                                       "[DownloadSaveFile]=Logdata.csv",
                                       "[PalmDatabaseFile]=c:\\Palm\\UserName\\Backup\\DBFLW2.pdb",
                                       "[USEPalmDatabase]=0",
                                       "[PalmFileSep]=0"};
  for (int i = 1; i <= 10; ++i) {
    expected.push_back("[Item#]= " + std::to_string(i));
    expected.push_back("[ItemPhone#]= ");
    expected.push_back("[ItemDescription]= ");
  }
  for (const char* line : {"[MeterType]=0", "[FlowUnits]=1", "[FlowFormat]=1", "[VelocityUnits]=1",
                           "[TotalUnits]=1", "[ModemInitString]=ATE0 S0=2 &C0"}) {
    expected.push_back(line);
  }
  ASSERT_EQ(expected.size(), 44u);
  EXPECT_EQ(DefaultSettingsFile(), Lines(expected));
}

TEST(SettingsFile, SplitsAtLineEndsSkippingBlankLinesAndKeepsAnUnendedLastLine) {
  EXPECT_EQ(SplitSettingsLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitSettingsLines("a\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitSettingsLines("a\r\n\r\n x \r\n"), (std::vector<std::string>{"a", " x "}));
  EXPECT_TRUE(SplitSettingsLines("").empty());
}

// The reader is fed the file in pieces of any size; a CR LF may be split between two.
TEST(SettingsFile, ReaderTakesPiecesEndsLinesAtCrOrLfAndKeepsOnlyWhatItNeeds) {
  const std::string file = "[a]=1\r[b]=2\r\r\n\n[c]=" + std::string(100, 'x') + "\n[d]=4\r\n[e]=5";
  for (size_t size : {size_t{1}, size_t{2}, size_t{7}, file.size()}) {
    SettingsLineSplitter splitter(4, 10);
    for (size_t at = 0; at < file.size() && !splitter.full(); at += size) {
      splitter.feed(std::string_view(file).substr(at, size));
    }
    EXPECT_TRUE(splitter.full()) << size;
    splitter.finish();
    EXPECT_EQ(splitter.takeLines(),
              (std::vector<std::string>{"[a]=1", "[b]=2", "[c]=xxxxxx", "[d]=4"}))
        << size;
  }
}

// What a save would not give back: a cut line, or an editor's byte-order mark, which is dropped.
TEST(SettingsFile, ReaderDropsALeadingByteOrderMarkAndReportsItAndCutLinesAsDamage) {
  struct Case {
    std::string file;
    std::vector<std::string> lines;
    bool damaged;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF[a]=1\r\n[b]=2", {"[a]=1", "[b]=2"}, true},
      {"\xEF\xBB\xBF\r\n[a]=1", {"[a]=1"}, true},
      {"[a]=\xEF\xBB\xBF\r\n\xEF\xBB\xBF", {"[a]=\xEF\xBB\xBF", "\xEF\xBB\xBF"}, false},
      {"[a]=123456\r\n[b]=2", {"[a]=123456", "[b]=2"}, false},
      {"[a]=1234567\r\n[b]=2", {"[a]=123456", "[b]=2"}, true},
      {"[a]=1\r\n[b]=2\r\n[c]=1234567", {"[a]=1", "[b]=2"}, false},  // past the lines read
  };
  for (const Case& test : cases) {
    for (size_t size : {size_t{1}, test.file.size()}) {
      SettingsLineSplitter splitter(2, 10);
      for (size_t at = 0; at < test.file.size(); at += size) {
        splitter.feed(std::string_view(test.file).substr(at, size));
      }
      splitter.finish();
      EXPECT_EQ(splitter.damaged(), test.damaged) << test.file << " in pieces of " << size;
      EXPECT_EQ(splitter.takeLines(), test.lines) << test.file;
    }
  }
}

struct KeyCase {
  const char* line;
  const char* key;
  std::optional<std::string> value;
};

TEST(SettingsFile, ValueIsEverythingAfterTheFirstEqualsOfALineHoldingTheKey) {
  const KeyCase cases[] = {
      {"[ModemInitString]=ATS0=2 &C0", "[ModemInitString]", "ATS0=2 &C0"},
      {"[Item#]= 1", "[Item#]", " 1"},
      {"[ItemPhone#]=", "[ItemPhone#]", ""},
      {"  x[Commport]y=5 ", "[Commport]", "5 "},
      {"[commport]=3", "[Commport]", std::nullopt},
      {"[ItemPhone#]= ", "[Item#]", std::nullopt},
      {"[Commport]", "[Commport]", ""},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(ValueForKey(c.line, c.key), c.value) << c.line;
}

TEST(SettingsFile, PortReadsAsANumberFallingBackToPortOne) {
  const std::pair<const char*, std::optional<int16_t>> cases[] = {
      {"7", 7},   {" 3", 3}, {"3x", 3},  {"9", 1},   {"0", 1},
      {"abc", 1}, {"", 1},   {"2.5", 2}, {"3.5", 4}, {"99999", std::nullopt},
  };
  for (const auto& [value, port] : cases) EXPECT_EQ(CommPortFromValue(value), port) << value;
}

TEST(SettingsFile, BaudMustBeOneOfTheSevenRates) {
  const std::pair<const char*, const char*> cases[] = {
      {"9600.0", "9600"}, {" 9600", "9600"}, {"14400", "14400"}, {"1200", "1200"},
      {"9601", "38400"},  {"abc", "38400"},  {"", "38400"},
  };
  for (const auto& [value, baud] : cases) EXPECT_EQ(CommBaudFromValue(value), baud) << value;
}

TEST(SettingsFile, TextValuesCompareExactly) {
  EXPECT_TRUE(HardwareFlowFromValue("Hardware"));
  EXPECT_FALSE(HardwareFlowFromValue("hardware"));
  EXPECT_FALSE(HardwareFlowFromValue("Hardware "));
  EXPECT_FALSE(HardwareFlowFromValue("none"));

  EXPECT_EQ(PalmCheckFromValue("0"), PalmCheck::Clear);
  EXPECT_EQ(PalmCheckFromValue("1"), PalmCheck::Ticked);
  EXPECT_EQ(PalmCheckFromValue("2"), PalmCheck::Greyed);
  EXPECT_EQ(PalmCheckFromValue(" 1"), PalmCheck::Clear);

  EXPECT_EQ(SeparationFromValue("2"), 2);
  EXPECT_EQ(SeparationFromValue("0"), 0);
  EXPECT_EQ(SeparationFromValue("1"), 0);  // names no option: "Modbus ID of meter"
  EXPECT_EQ(SeparationFromValue(" 2"), 0);
}

TEST(SettingsFile, SlaveIdIsTheLeadingNumberRoundedHalfToEven) {
  const std::pair<const char*, std::optional<int16_t>> cases[] = {
      {"12abc", 12},
      {"", 0},
      {"001", 1},
      {"abc", 0},
      {"2.5", 2},
      {"-32768", -32768},
      {"32767", 32767},
      {"99999", std::nullopt},
      {"32768", std::nullopt},
  };
  for (const auto& [text, id] : cases) EXPECT_EQ(SlaveIdFromText(text), id) << text;
}

TEST(SettingsFile, MeterTypeAndListPositionsMustBeNumbers) {
  const std::pair<const char*, std::optional<int>> types[] = {{"0", 0},
                                                              {" 1", 1},
                                                              {"2", 2},
                                                              {"3", 0},
                                                              {"1.5", 0},
                                                              {"abc", std::nullopt},
                                                              {"", std::nullopt},
                                                              {"1x", std::nullopt},
                                                              {"2 x", std::nullopt},
                                                              {" 2 ", 2}};
  for (const auto& [value, type] : types) EXPECT_EQ(MeterTypeFromValue(value), type) << value;

  struct PositionCase {
    const char* value;
    int entries;
    std::optional<int16_t> position;
  };
  const PositionCase positions[] = {
      {" 1", 15, 1},
      {"-1", 15, -1},
      {"14", 15, 14},
      {"15", 15, std::nullopt},
      {"-2", 15, std::nullopt},
      {"abc", 2, std::nullopt},
      {"99999", 15, std::nullopt},
      {"1x", 15, std::nullopt},
      {"-1-", 15, std::nullopt},
      {" 3 ", 15, 3},
  };
  for (const PositionCase& p : positions) {
    EXPECT_EQ(ListPositionFromValue(p.value, p.entries), p.position) << p.value;
  }
}

TEST(SettingsFile, WriterProducesTheExitLinesWithBlankLedPositions) {
  SavedSettings s;
  s.commPort = 6;
  s.commBaud = "9600";
  s.hardwareFlow = false;
  s.slaveIdText = "12abc";
  s.downloadSaveFile = "run.csv";
  s.databasePath = "d:\\x.pdb";
  s.usePalmDatabase = PalmCheck::Greyed;
  s.palmFileSep = 2;
  for (int i = 0; i < 10; ++i)
    s.phoneBook[i] = {std::string(" ").append(std::to_string(i + 1)), "", " "};
  s.phoneBook[0] = {"Site A", "555 0100", "pump house"};
  s.phoneBook[1].description = "two\r\nlines\n";
  s.meterType = 2;
  s.flowUnits = 14;
  s.flowFormat = -1;
  s.velocityUnits = 0;
  s.modemInitString = "ATS0=2 &C0";

  std::vector<std::string> lines = SplitSettingsLines(FormatSettingsFile(s));
  ASSERT_EQ(lines.size(), 44u);
  EXPECT_EQ(lines[0], "[Commport]=6");
  EXPECT_EQ(lines[1], "[CommBaud]=9600");
  EXPECT_EQ(lines[2], "[CommHandshaking]=none");
  EXPECT_EQ(lines[3], "[CommSlaveID]=12abc");
  EXPECT_EQ(lines[5], "[PalmDatabaseFile]=d:\\x.pdb");
  EXPECT_EQ(lines[6], "[USEPalmDatabase]=2");
  EXPECT_EQ(lines[7], "[PalmFileSep]=2");
  EXPECT_EQ(lines[8], "[Item#]=Site A");
  EXPECT_EQ(lines[9], "[ItemPhone#]=555 0100");
  EXPECT_EQ(lines[10], "[ItemDescription]=pump house");
  EXPECT_EQ(lines[11], "[Item#]= 2");
  EXPECT_EQ(lines[12], "[ItemPhone#]=");
  EXPECT_EQ(lines[13], "[ItemDescription]=twolines");
  EXPECT_EQ(lines[38], "[MeterType]=2");
  EXPECT_EQ(lines[39], "[FlowUnits]= 14");
  EXPECT_EQ(lines[40], "[FlowFormat]=-1");
  EXPECT_EQ(lines[41], "[VelocityUnits]= 0");
  EXPECT_EQ(lines[42], "[TotalizerUnits]= ");
  EXPECT_EQ(lines[43], "[ModemInitString]=ATS0=2 &C0");
  EXPECT_EQ(FormatSettingsFile(s).substr(0, 14), "[Commport]=6\r\n");
}

}  // namespace
}  // namespace norvale
