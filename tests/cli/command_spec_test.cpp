#include "cli/command_spec.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "cli/commands.h"

namespace quiltor::cli {
namespace {

const CommandSpec& Sample() {
  static const CommandSpec spec{
      .name = "sample",
      .options =
          {
              Text("folder", "DIR", "a folder").Required().Repeated(),
              Text("output", "OUT", "where to write").Short('o'),
              Number("mpp", "M", "metres per pixel"),
              Integer("colors", "N", "colours"),
              Text("pixel", "X,Y", "a pixel").Repeated(),
              Text("latlon", "LAT,LON", "a position").Repeated(),
              Flag("json", "an object"),
          },
      .forms = {"A B"},
  };
  return spec;
}

Args Parse(std::vector<std::string> argv) { return Args(Sample(), argv); }

TEST(Args, ReadsEveryFormOfOption) {
  const Args args = Parse({"--folder", "a", "--folder=b", "-o", "x.png", "--mpp", "-12.5", "-json", "1", "-0.1"});
  EXPECT_EQ(args.Values("folder"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(args.Value("output"), "x.png");
  EXPECT_EQ(args.Number("mpp"), -12.5);
  EXPECT_TRUE(args.Flag("json"));
  EXPECT_FALSE(args.Has("colors"));
  EXPECT_EQ(args.Integer("colors"), std::nullopt);
  // A dash before a digit or "." is a value, not an option.
  EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"1", "-0.1"}));
}

TEST(Args, DoubleDashEndsTheOptions) {
  const Args args = Parse({"--folder", "a", "--", "-33.9", "--json", "-inf", "--"});
  EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"-33.9", "--json", "-inf", "--"}));
  EXPECT_FALSE(args.Flag("json"));
  EXPECT_DOUBLE_EQ(args.PositionalNumber(0, "LATITUDE"), -33.9);
}

TEST(Args, KeepsTheOrderOfDifferentOptions) {
  const Args args = Parse({"--folder", "a", "--pixel", "1,2", "--latlon=3,4", "--pixel", "5,6"});
  const std::vector<std::pair<std::string, std::string>> want = {
      {"folder", "a"}, {"pixel", "1,2"}, {"latlon", "3,4"}, {"pixel", "5,6"}};
  EXPECT_EQ(args.Given(), want);
  EXPECT_EQ(args.Value("pixel"), "5,6");  // the last one given
}

TEST(Args, RefusesWhatTheSpecDoesNotAllow) {
  const struct {
    std::vector<std::string> argv;
    const char* message;
  } cases[] = {
      {{"--folder", "a", "--bogus"}, "unknown option --bogus"},
      {{"--folder", "a", "-x"}, "unknown option -x"},
      {{"--folder"}, "option --folder needs a value"},
      {{"-o", "x"}, "--folder DIR is required"},
      {{"--folder", "a", "--mpp", "ten"}, "--mpp takes a number, not \"ten\""},
      {{"--folder", "a", "--colors", "2.5"}, "--colors takes a whole number, not \"2.5\""},
      {{"--folder", "a", "--json=yes"}, "--json takes no value"},
  };
  for (const auto& c : cases) {
    try {
      Parse(c.argv);
      ADD_FAILURE() << c.message;
    } catch (const CommandFailure& f) {
      EXPECT_EQ(f.ExitCode(), kExitBadArguments);
      EXPECT_STREQ(f.what(), c.message);
    }
  }
}

TEST(Args, PositionalNumbers) {
  const Args args = Parse({"--folder", "a", "51.5", "1,5", "nan"});
  EXPECT_EQ(args.PositionalNumber(0, "A"), 51.5);
  // A comma between two numbers is more likely a typo than a decimal comma.
  EXPECT_THROW(args.PositionalNumber(1, "B"), CommandFailure);
  EXPECT_THROW(args.PositionalNumber(2, "C"), CommandFailure);
  EXPECT_THROW(args.PositionalNumber(3, "D"), CommandFailure);
  EXPECT_THROW(args.ExpectPositionals(2, "give A B"), CommandFailure);
  EXPECT_NO_THROW(args.ExpectPositionals(3, "give A B C"));
}

TEST(Args, ReadingAnOptionTheSpecDoesNotDeclareIsAProgrammingError) {
  const Args args = Parse({"--folder", "a"});
  EXPECT_THROW(args.Value("ouptut"), std::logic_error);
  EXPECT_THROW(args.Flag("verbose"), std::logic_error);
  EXPECT_THROW(args.Integer("mpp"), std::logic_error);  // declared as a number
}

TEST(HelpText, ComesFromTheSpec) {
  const std::string help = HelpText(Sample());
  EXPECT_EQ(help.rfind("usage: quiltor-cli sample --folder DIR... [-o OUT] [--mpp M] [--colors N]", 0), 0u) << help;
  EXPECT_NE(help.find("  -o, --output OUT"), std::string::npos) << help;
  EXPECT_NE(help.find("      --folder DIR...      a folder (required)\n"), std::string::npos) << help;
}

// Every command's help names each of its options, and no line runs wider
// than a terminal.
TEST(HelpText, EveryCommandListsEveryOption) {
  for (const CommandSpec* spec : Commands()) {
    std::ostringstream out, err;
    ASSERT_EQ(RunCommandLine({std::string(spec->name), "--help"}, out, err), kExitSuccess) << spec->name;
    const std::string help = out.str();
    EXPECT_EQ(help, HelpText(*spec));
    for (const OptionSpec& o : spec->options)
      EXPECT_NE(help.find("--" + std::string(o.name)), std::string::npos) << spec->name << " --" << o.name;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 100u) << spec->name << ": " << line;
  }
}

TEST(HelpText, HelpIsAnOperandAfterDoubleDash) {
  EXPECT_TRUE(HelpWanted({"--folder", "a", "-h"}));
  EXPECT_FALSE(HelpWanted({"--", "--help"}));
}

}  // namespace
}  // namespace quiltor::cli
