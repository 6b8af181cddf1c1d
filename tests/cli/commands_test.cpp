// The commands run in-process through the entry point of the program.
#include "cli/commands.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "cli/cli_run.h"
#include "support/temp_folder.h"

namespace quiltor::cli {
namespace {

namespace fs = std::filesystem;
using quiltor::testing::TempFolder;

const std::string kSamples = std::string(QUILTOR_SOURCE_DIR) + "/samples";

TEST(Commands, DoubleDashLetsNegativeNumbersThrough) {
  const CliRun plain = Cli({"project", "--projection", "Mercator", "-33.9", "151.2"});
  const CliRun dashed = Cli({"project", "--projection", "Mercator", "--", "-33.9", "151.2"});
  ASSERT_EQ(dashed.code, kExitSuccess) << dashed.err;
  EXPECT_EQ(dashed.out, plain.out);
  EXPECT_EQ(plain.code, kExitSuccess) << plain.err;
  // Without "--" a value that starts like an option is one.
  EXPECT_EQ(Cli({"project", "--projection", "Mercator", "-inf", "151.2"}).code, kExitBadArguments);
}

// project and create read a projection name the same way.
TEST(Commands, ProjectTakesShortProjectionNames) {
  const CliRun full = Cli({"project", "--projection", "(UTM) Universal Transverse Mercator", "--zone", "56", "-33.9", "151.2"});
  const CliRun shortName = Cli({"project", "--projection", "utm", "--zone", "56", "-33.9", "151.2"});
  ASSERT_EQ(shortName.code, kExitSuccess) << shortName.err;
  EXPECT_EQ(shortName.out, full.out);
  const CliRun unknown = Cli({"project", "--projection", "utmx", "1", "2"});
  EXPECT_EQ(unknown.code, kExitBadArguments);
  EXPECT_NE(unknown.err.find("close names:\n  \"(UTM) Universal Transverse Mercator\""), std::string::npos)
      << unknown.err;
}

// Each failure is one line "quiltor-cli COMMAND: reason" with its exit code.
TEST(Commands, FailuresAreReportedOnceWithTheirExitCode) {
  TempFolder temp;
  const std::string missing = (temp / "nothing-here").string();
  const struct {
    std::vector<std::string> argv;
    int code;
    std::string err;
  } cases[] = {
      {{"scan", "--folder", missing}, kExitBadArguments, "quiltor-cli scan: no such folder: " + missing + "\n"},
      {{"create", "--folder", missing, "-o", (temp / "x.qtx2").string()}, kExitBadArguments,
       "quiltor-cli create: no such folder: " + missing + "\n"},
      {{"info", missing + ".map"}, kExitFailed,
       "quiltor-cli info: " + missing + ".map cannot be opened or is not a map file (line 1 must name Tervane)\n"},
      {{"tile", missing + ".png", "-o", (temp / "x.qtx2").string()}, kExitFailed,
       "quiltor-cli tile: no such file: " + missing + ".png\n"},
      {{"grid", "utm", "--bogus"}, kExitBadArguments, "quiltor-cli grid: unknown option --bogus\n"},
      {{"datum", "--from", "WGS 84", "1", "2"}, kExitBadArguments, "quiltor-cli datum: --to NAME is required\n"},
      {{"frobnicate"}, kExitBadArguments, "quiltor-cli: unknown command \"frobnicate\"\n"},
  };
  for (const auto& c : cases) {
    const CliRun r = Cli(c.argv);
    EXPECT_EQ(r.code, c.code) << c.argv[0] << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.argv[0];
    EXPECT_EQ(r.out, "") << c.argv[0];
  }
}

// The number at `at` in a line of the command's output; -1 when none.
double SecondsAt(const std::string& text, std::size_t at) {
  double seconds = -1;
  std::from_chars(text.data() + at, text.data() + text.size(), seconds);
  return seconds;
}

// --verbose says where a create's time went: the scan and every stage, each
// timed from its start to its end, then the whole create.
TEST(Commands, VerboseCreateTimesEveryStage) {
  TempFolder temp;
  const CliRun r = Cli({"create", "--folder", kSamples, "-o", (temp / "merged.qtx2").string(), "--projection", "utm",
                        "--zone", "32", "--mpp", "100", "--temp", temp.path().string(), "--verbose"});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  const std::size_t line = r.err.find("times: scan ");
  ASSERT_NE(line, std::string::npos) << r.err;
  const std::string times = r.err.substr(line, r.err.find('\n', line) - line);
  double stageSum = 0;
  // The rows are sharpened as they are merged: the Sharpening stage only
  // completes the last few and may well take under a millisecond.
  const std::pair<const char*, bool> stages[] = {{"Generating map ", true}, {"Sharpening ", false},
                                                 {"Saving image ", true}};
  for (const auto& [stage, measurable] : stages) {
    const std::size_t at = times.find(std::string(", ") + stage);
    ASSERT_NE(at, std::string::npos) << stage << " missing in: " << times;
    const double seconds = SecondsAt(times, at + 2 + std::string(stage).size());
    if (measurable) {
      EXPECT_GT(seconds, 0.0) << stage << " in: " << times;
    } else {
      EXPECT_GE(seconds, 0.0) << stage << " in: " << times;
    }
    stageSum += seconds;
  }
  const std::size_t create = times.find(", create ");
  ASSERT_NE(create, std::string::npos) << times;
  EXPECT_GE(SecondsAt(times, create + 9) + 0.002, stageSum) << times;
}

// SIGTERM during a create stops it as Ctrl-C does: nothing written, no
// temporary file left, the process still running to say so.
TEST(Commands, TerminatedCreateLeavesNothingBehind) {
  TempFolder temp;
  fs::create_directories(temp / "work");
  const std::string output = (temp / "merged.qtx2").string();
  std::thread terminator([] {
    // Once the create has taken over SIGTERM (a signal before that would end
    // the test program), and a little into its work.
    for (struct sigaction now {}; sigaction(SIGTERM, nullptr, &now) == 0 && now.sa_handler == SIG_DFL;)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(getpid(), SIGTERM);
  });
  const CliRun r = Cli({"create", "--folder", kSamples, "-o", output, "--projection", "utm", "--zone", "32", "--mpp",
                     "10", "--temp", (temp / "work").string()});
  terminator.join();
  EXPECT_EQ(r.code, kExitFailed) << r.out << r.err;
  EXPECT_FALSE(fs::exists(output));
  EXPECT_FALSE(fs::exists(temp / "merged.map"));
  EXPECT_TRUE(fs::is_empty(temp / "work"));
}

// Each stop signal ends a running scan the same way: the folder being read
// is left out, the scan says it was interrupted and exits 1, and the process
// goes on.
TEST(Commands, StopSignalsEndARunningScan) {
  TempFolder temp;
  const fs::path fixtures = fs::path(QUILTOR_SOURCE_DIR) / "tests/fixtures/creation";
  fs::copy_file(fixtures / "fx-detail-utm32.png", temp / "fx-detail-utm32.png");
  for (int i = 0; i < 1500; ++i)
    fs::copy_file(fixtures / "fx-detail-utm32.map", temp / ("sheet" + std::to_string(i) + ".map"));
  static std::atomic<int> lateSignal{0};
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal arriving after the scan ended lands here, not on the test program.
    struct sigaction mine {}, previous {};
    mine.sa_handler = [](int s) { lateSignal = s; };
    sigemptyset(&mine.sa_mask);
    sigaction(signal, &mine, &previous);
    // Once the scan has taken the signal over, and a little into its work.
    std::thread stopper([signal, ours = mine.sa_handler] {
      for (struct sigaction now {}; sigaction(signal, nullptr, &now) == 0 && now.sa_handler == ours;)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      kill(getpid(), signal);
    });
    const CliRun r = Cli({"scan", "--folder", temp.path().string()});
    stopper.join();
    sigaction(signal, &previous, nullptr);
    EXPECT_EQ(lateSignal.exchange(0), 0) << "signal " << signal << " came after the scan ended";
    EXPECT_EQ(r.code, kExitFailed) << signal << "\n" << r.out << r.err;
    EXPECT_NE(r.out.find("The scan was interrupted"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n0 maps\n"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace quiltor::cli
