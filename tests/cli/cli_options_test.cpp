#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace norvale {
namespace {

TEST(CliOptions, DefaultsAndEveryOption) {
  CliParse p = ParseCliArguments({"download", "--device", "/dev/ttyUSB0"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.baud, "38400");
  EXPECT_EQ(p.options.slave, 1);
  EXPECT_EQ(p.options.output, "Logdata.csv");
  EXPECT_FALSE(p.options.sinceLast);
  EXPECT_FALSE(p.options.portable);

  p = ParseCliArguments({"download", "--device", "/dev/x", "--baud", "9600", "--slave", "17",
                         "--since-last", "--portable", "--output", "out.csv"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.device, "/dev/x");
  EXPECT_EQ(p.options.baud, "9600");
  EXPECT_EQ(p.options.slave, 17);
  EXPECT_TRUE(p.options.sinceLast);
  EXPECT_TRUE(p.options.portable);
  EXPECT_EQ(p.options.output, "out.csv");
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  };
  for (const Case& c :
       {Case{{}, "no command"},
        Case{{"upload"}, "upload"},
        Case{{"download"}, "--device"},
        Case{{"download", "--device"}, "--device"},
        Case{{"download", "--device", "d", "--baud", "9601"}, "9601"},
        Case{{"download", "--device", "d", "--baud", "9600.0"}, "9600.0"},
        Case{{"download", "--device", "d", "--slave", "x1"}, "x1"},
        Case{{"download", "--device", "d", "--slave", "256"}, "256"},
        Case{{"download", "--device", "d", "--slave", "-1"}, "-1"},
        Case{{"download", "--device", "d", "--quiet"}, "--quiet"},
        Case{{"import", "--database", "x", "-v"}, "--verbose"},
        Case{{"live", "--device", "d", "--trace"}, "--trace"},
        Case{{"import"}, "--database"},
        Case{{"import", "--database", "x.pdb", "--module", "256"}, "256"},
        Case{{"import", "--database", "x.pdb", "--device", "d"}, "--device"},
        Case{{"download", "--device", "d", "--module", "3"}, "--module"},
        Case{{"ids", "--database", "x.pdb", "--output", "o.csv"}, "--output"},
        Case{{"live", "--device", "d", "--flow-unit", "XYZ"}, "XYZ"},
        Case{{"live", "--device", "d", "--count", "0"}, "0"},
        Case{{"live", "--device", "d", "--since-last"}, "--since-last"},
        Case{{"download", "--device", "d", "--meter", "KX60"}, "--meter"},
        Case{{"download", "--device", "d", "--archive", "a.sqlite"}, "--meter"},
        Case{{"import", "--database", "x", "--archive", "a.sqlite"}, "--module"},
        Case{{"live", "--device", "d", "--archive", "a.sqlite"}, "--archive"},
        Case{{"archive"}, "meters or export"},
        Case{{"archive", "merge", "--archive", "a"}, "meters or export"},
        Case{{"archive", "meters"}, "--archive"},
        Case{{"archive", "meters", "--archive", "a", "--meter", "m"}, "only --archive"},
        Case{{"archive", "export", "--archive", "a", "--output", "o.csv"}, "--meter"},
        Case{{"archive", "export", "--archive", "a", "--meter", "m"}, "--output"},
        Case{{"import", "--database", "x.pdb", "--dial", "5"}, "--dial"},
        Case{{"download", "--device", "d", "extra"}, "extra"},
        Case{{"download", "--device", "d", "--output", "a.csv", "--output-pattern", "%Y.csv"},
             "--output-pattern"},
        Case{{"import", "--database", "x", "--output-pattern", "%Y-%q.csv"}, "%q"},
        Case{{"import", "--database", "x", "--output-pattern", "log%"}, "log%"},
        Case{{"ids", "--database", "x", "--output-pattern", "%Y"}, "ids"}}) {
    CliParse p = ParseCliArguments(c.args);
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.find(c.mentions), std::string::npos) << p.error;
  }
  EXPECT_TRUE(ParseCliArguments({"--help"}).options.help);
  EXPECT_TRUE(ParseCliArguments({"download", "-h"}).options.help);
  EXPECT_TRUE(ParseCliArguments({"--version"}).options.version);

  // Values may follow "=", and a value may itself start with a dash.
  CliParse forms = ParseCliArguments({"download", "--device=/dev/ttyS0", "--modem-init", "-X"});
  ASSERT_TRUE(forms.ok) << forms.error;
  EXPECT_EQ(forms.options.device, "/dev/ttyS0");
  EXPECT_EQ(forms.options.modemInit, "-X");

  // File names keep their bytes, valid UTF-8 or not.
  const std::string utf8 = "caf\xc3\xa9 \xe6\xb5\x8b.csv";
  const std::string latin1 = "M\xfcller.csv";
  CliParse names = ParseCliArguments({"import", "--database", latin1, "--output", utf8});
  ASSERT_TRUE(names.ok) << names.error;
  EXPECT_EQ(names.options.database, latin1);
  EXPECT_EQ(names.options.output, utf8);

  CliParse import = ParseCliArguments({"import", "--database", "x.pdb", "--module", "12"});
  ASSERT_TRUE(import.ok) << import.error;
  EXPECT_EQ(import.options.command, CliCommand::Import);
  EXPECT_EQ(import.options.module, "12");

  CliParse live =
      ParseCliArguments({"live", "--device", "d", "--meter", "KX60", "--flow-unit", "BPH",
                         "--flow-format", "#.###", "--velocity-unit", "MPS", "--count", "3"});
  ASSERT_TRUE(live.ok) << live.error;
  EXPECT_EQ(live.options.flowUnit, 14);
  EXPECT_EQ(live.options.flowFormat, 3);
  EXPECT_EQ(live.options.velocityUnit, 1);
  EXPECT_EQ(live.options.count, 3);

  CliParse dial =
      ParseCliArguments({"download", "--device", "d", "--dial", "555 0104", "--modem-init", "ATZ"});
  ASSERT_TRUE(dial.ok) << dial.error;
  EXPECT_EQ(dial.options.dial, "555 0104");
  EXPECT_EQ(dial.options.modemInit, "ATZ");
}

// Scripts and their users read these texts: each way an argument can be wrong, word for word.
TEST(CliOptions, UsageErrorsAreWordForWord) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  };
  for (const Case& c : std::vector<Case>{
           {{}, "no command given"},
           {{"upload"}, "unknown command \"upload\""},
           {{"download", "--device", "d", "x"}, "unexpected argument \"x\""},
           {{"download", "-q"}, "unknown option \"-q\""},
           {{"download", "--quiet"}, "unknown option \"--quiet\""},
           {{"download", "--device"}, "Missing value after '--device'."},
           {{"import", "--database", "x", "-v"},
            "option \"--verbose\" does not belong to \"import\""},
           {{"download"}, "--device is required"},
           {{"import"}, "--database is required"},
           {{"plot"}, "--input is required"},
           {{"download", "--device", ""}, "--device needs a path"},
           {{"download", "--device", "d", "--dial", ""}, "--dial needs a number"},
           {{"download", "--device", "d", "--output", ""}, "--output needs a file"},
           {{"import", "--database", ""}, "--database needs a file"},
           {{"live", "--device", "d", "--trace", ""}, "--trace needs a file"},
           {{"plot", "--input", ""}, "--input needs a file"},
           {{"download", "--device", "d", "--output-pattern", ""},
            "--output-pattern needs a pattern"},
           {{"import", "--database", "x", "--output-pattern", "log%"},
            "--output-pattern \"log%\" may hold only %Y %m %d %H %M %S and %%"},
           {{"download", "--device", "d", "--output", "a", "--output-pattern", "b"},
            "--output and --output-pattern cannot be given together"},
           {{"download", "--device", "d", "--baud", "9601"},
            "baud rate \"9601\" is not one of 1200, 2400, 4800, 9600, 14400, 19200, 38400"},
           {{"download", "--device", "d", "--slave", "256"},
            "slave ID \"256\" is not a number from 0 to 255"},
           {{"import", "--database", "x", "--module", "abc"},
            "module ID \"abc\" is not a number from 0 to 255"},
           {{"live", "--device", "d", "--meter", "KX70"},
            "--meter \"KX70\" is not one of the choices (see --help)"},
           {{"live", "--device", "d", "--flow-unit", "XYZ"},
            "--flow-unit \"XYZ\" is not one of the choices (see --help)"},
           {{"live", "--device", "d", "--flow-format", "#.####"},
            "--flow-format \"#.####\" is not one of the choices (see --help)"},
           {{"live", "--device", "d", "--velocity-unit", "KPH"},
            "--velocity-unit \"KPH\" is not one of the choices (see --help)"},
           {{"live", "--device", "d", "--count", "0"},
            "--count \"0\" is not one of the choices (see --help)"},
           {{"plot", "--input", "x", "--size", "99x600"},
            "--size \"99x600\" is not WIDTHxHEIGHT, each from 100 to 8000 (e.g. 1600x900)"},
           {{"plot", "--input", "x", "--output", "a.csv"},
            "--output \"a.csv\" does not end in .png or .svg"}}) {
    const CliParse p = ParseCliArguments(c.args);
    EXPECT_FALSE(p.ok) << c.error;
    EXPECT_EQ(p.error, c.error);
  }
}

// A command's help holds its own options and none of the others'; the whole help (the manual
// page is made from it) holds every option.
TEST(CliOptions, EachCommandHasItsOwnHelpAndTheWholeHelpHasAll) {
  struct Case {
    CliCommand command;
    const char* usage;
    std::vector<const char*> has;
    std::vector<const char*> lacks;
  };
  const std::vector<Case> cases{
      {CliCommand::Download,
       "Usage: norvale-cli download",
       {"--since-last", "--dial", "--trace", "--archive", "--meter NAME"},
       {"--database", "--meter TYPE", "--size"}},
      {CliCommand::Import,
       "Usage: norvale-cli import",
       {"--database", "--module", "--output-pattern"},
       {"--device", "--count", "--trace"}},
      {CliCommand::Ids, "Usage: norvale-cli ids", {"--database"}, {"--output", "--device"}},
      {CliCommand::Live,
       "Usage: norvale-cli live",
       {"--flow-unit", "--count", "--device"},
       {"--since-last", "--output"}},
      {CliCommand::Plot,
       "Usage: norvale-cli plot",
       {"--input", "--size"},
       {"--device", "--database"}},
      {CliCommand::Archive,
       "Usage: norvale-cli archive",
       {"--archive", "--meter NAME", "--from"},
       {"--device", "--meter TYPE"}}};
  const std::string whole = CliHelpText(std::nullopt);
  for (const Case& c : cases) {
    const std::string help = CliHelpText(c.command);
    EXPECT_EQ(help.rfind(c.usage, 0), 0u) << help;
    EXPECT_NE(help.find("Exit status:"), std::string::npos);
    for (const char* option : c.has) {
      EXPECT_NE(help.find(option), std::string::npos) << c.usage << " " << option;
      EXPECT_NE(whole.find(option), std::string::npos) << option;
    }
    for (const char* option : c.lacks)
      EXPECT_EQ(help.find(option), std::string::npos) << c.usage << " " << option;
    EXPECT_NE(whole.find(c.usage + 7), std::string::npos) << "every usage line in the whole help";
  }
  EXPECT_EQ(CliUsageHint(CliCommand::Live), "Try 'norvale-cli live --help'.");
  EXPECT_EQ(CliUsageHint(std::nullopt), "Try 'norvale-cli --help'.");
  EXPECT_EQ(ParseCliArguments({"import", "--help"}).command, CliCommand::Import);
  EXPECT_EQ(ParseCliArguments({"ids", "--database", "x", "--quiet"}).command, CliCommand::Ids);
}

TEST(CliOptions, PlotTakesItsInputImageNameAndSize) {
  CliParse p = ParseCliArguments({"plot", "--input", "log.csv"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.command, CliCommand::Plot);
  EXPECT_EQ(p.options.input, "log.csv");
  EXPECT_EQ(p.options.output, "Logdata.png");
  EXPECT_EQ(p.options.width, 1600);
  EXPECT_EQ(p.options.height, 900);

  p = ParseCliArguments({"plot", "--input", "log.csv", "--output", "a.SVG", "--size", "800x100"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.output, "a.SVG");
  EXPECT_EQ(p.options.width, 800);
  EXPECT_EQ(p.options.height, 100);

  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  };
  for (const Case& c :
       {Case{{"plot"}, "--input"}, Case{{"plot", "--input", "x", "--size", "8001x600"}, "8001x600"},
        Case{{"plot", "--input", "x", "--size", "800x600x2"}, "800x600x2"},
        Case{{"plot", "--input", "x", "--output", "a.csv"}, "a.csv"},
        Case{{"plot", "--input", "x", "--output", "png"}, "png"},
        Case{{"plot", "--input", "x", "--output", "a.png/b"}, "a.png/b"},
        Case{{"plot", "--input", "x", "--output-pattern", "%Y.png"}, "plot"},
        Case{{"download", "--device", "d", "--size", "800x600"}, "--size"},
        Case{{"import", "--database", "x", "--input", "y"}, "--input"}}) {
    CliParse wrong = ParseCliArguments(c.args);
    EXPECT_FALSE(wrong.ok);
    EXPECT_NE(wrong.error.find(c.mentions), std::string::npos) << wrong.error;
  }
}

}  // namespace
}  // namespace norvale
