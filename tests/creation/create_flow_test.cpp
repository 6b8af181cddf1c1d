#include "creation/create_flow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/mounts.h"
#include "creation_fakes.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor::creation {
namespace {

using quiltor::testing::CapturedImage;
using quiltor::testing::CopyingStages;
using quiltor::testing::FramedImage;
using quiltor::testing::FramedSource;
using quiltor::testing::PlainProjection;
using quiltor::testing::RecordingHost;
using quiltor::testing::TempFolder;

TEST(FormatElapsed, HoursMinutesSeconds) {
  EXPECT_EQ(FormatElapsed(3600 + 2 * 60 + 5), "01:02:05");
  EXPECT_EQ(FormatElapsed(0), "00:00:00");
  EXPECT_EQ(FormatElapsed(59.6), "00:00:60");  // two significant digits, as the log always showed it
  EXPECT_EQ(FormatElapsed(100 * 3600.0), "100:00:00");
}

// Three maps: 0 ticked, 1 not ticked, 2 ticked but far from the region; 3 unusable.
struct Catalogue {
  GeoOutline near1{{46.0, 46.1, 46.1, 46.0}, {7.0, 7.0, 7.1, 7.1}};
  GeoOutline near2{{46.0, 46.1, 46.1, 46.0}, {7.05, 7.05, 7.2, 7.2}};
  GeoOutline far{{40.0, 40.1, 40.1, 40.0}, {1.0, 1.0, 1.1, 1.1}};
  std::vector<CatalogueEntry> entries{{true, true, &near1}, {true, false, &near2}, {true, true, &far}, {false, true, &near1}};
};

bool BoxesOverlap(const GeoOutline& a, const GeoOutline& b) {
  const auto [aLo, aHi] = std::minmax_element(a.lon.begin(), a.lon.end());
  const auto [bLo, bHi] = std::minmax_element(b.lon.begin(), b.lon.end());
  const auto [cLo, cHi] = std::minmax_element(a.lat.begin(), a.lat.end());
  const auto [dLo, dHi] = std::minmax_element(b.lat.begin(), b.lat.end());
  return *aLo < *bHi && *bLo < *aHi && *cLo < *dHi && *dLo < *cHi;
}

TEST(ValidateFolderSetting, MissingFolderOrFileNamesItsLabel) {
  TempFolder temp;
  RecordingHost host;
  EXPECT_TRUE(ValidateFolderSetting(temp.path().string() + "/", "Destination", host));
  EXPECT_FALSE(ValidateFolderSetting((temp.path() / "none").string(), "Destination", host));
  std::ofstream(temp.path() / "file") << "x";
  EXPECT_FALSE(ValidateFolderSetting((temp.path() / "file").string(), "Temp File", host));
  EXPECT_EQ(host.messages, (std::vector<std::string>{"The Destination Folder is not valid", "The Temp File Folder is not valid"}));
  EXPECT_FALSE(IsOnOpticalDisc(temp.path()));
}

TEST(GetSelectedMapArray, ModesPickTickedOrOverlappingUsableMaps) {
  Catalogue cat;
  DestinationProjection latlon;
  latlon.kind = geodesy::ProjectionKind("Latitude/Longitude");
  const DrawnRegion region{6.9, 7.3, 45.9, 46.2};
  EXPECT_EQ(GetSelectedMapArray(CreateMode::SelectedMaps, latlon, {}, cat.entries, BoxesOverlap),
            (std::vector<int>{0, 2}));
  EXPECT_EQ(GetSelectedMapArray(CreateMode::RegionSelectedMaps, latlon, region, cat.entries, BoxesOverlap),
            (std::vector<int>{0}));
  EXPECT_EQ(GetSelectedMapArray(CreateMode::RegionAllMaps, latlon, region, cat.entries, BoxesOverlap),
            (std::vector<int>{0, 1}));
}

struct FlowFixture {
  TempFolder temp;
  Catalogue cat;
  RecordingHost host;
  CreateFlags flags;
  CapturedImage image;

  CreateRequest Request() {
    CreateRequest r;
    r.settings.projection = PlainProjection();
    r.settings.metresPerPixel = 1;
    r.settings.tempFolder = temp.path().string() + "/";
    r.settings.destinationFile = (temp.path() / "merged.qtx2").string();
    r.catalogue = cat.entries;
    r.overlaps = BoxesOverlap;
    r.sourceOf = [](int index) {
      return FramedSource("map" + std::to_string(index), 0.0, 0.4, 0.002, 200, 200, 5, FramedImage(200, 200, 5, 1, 2, 3));
    };
    r.stages = CopyingStages(image);
    return r;
  }
};

TEST(RunCreate, RefusalsComeWithTheirMessageInOrder) {
  struct Case {
    const char* what;
    std::function<void(CreateRequest&, const TempFolder&)> change;
    std::string message;
  } cases[] = {
      {"region mode without a region", [](CreateRequest& r, const TempFolder&) { r.settings.mode = CreateMode::RegionAllMaps; },
       kNoRegionMessage},
      {"no map ticked", [](CreateRequest& r, const TempFolder&) { for (auto& e : r.catalogue) e.selected = false; },
       kNoMapsMessage},
      {"temp folder missing",
       [](CreateRequest& r, const TempFolder& t) { r.settings.tempFolder = (t.path() / "gone").string(); },
       "Temp File Folder is not valid"},
      {"destination folder missing",
       [](CreateRequest& r, const TempFolder& t) { r.settings.destinationFile = (t.path() / "gone" / "m.qtx2").string(); },
       "The Destination Folder is not valid"},
  };
  for (const Case& c : cases) {
    FlowFixture f;
    CreateRequest request = f.Request();
    c.change(request, f.temp);
    const CreateOutcome outcome = RunCreate(request, f.host, f.flags);
    EXPECT_FALSE(outcome.started) << c.what;
    EXPECT_EQ(f.host.messages, std::vector<std::string>{c.message}) << c.what;
    EXPECT_TRUE(outcome.log.lines.empty()) << c.what;
    EXPECT_TRUE(std::filesystem::is_empty(f.temp.path())) << c.what;
  }
}

TEST(RunCreate, LogsStartEndAndElapsedTimeAroundTheJob) {
  FlowFixture f;
  const CreateOutcome outcome = RunCreate(f.Request(), f.host, f.flags);
  ASSERT_TRUE(outcome.started);
  EXPECT_EQ(outcome.report.resultText, kResultComplete);
  EXPECT_EQ(outcome.selectedMaps, (std::vector<int>{0, 2}));
  ASSERT_EQ(outcome.log.lines.size(), 5u);
  EXPECT_EQ(outcome.log.lines[0].rfind("Start : ", 0), 0u);
  EXPECT_EQ(outcome.log.lines[1], "");
  EXPECT_EQ(outcome.log.lines[2].rfind("End : ", 0), 0u);
  EXPECT_EQ(outcome.log.lines[4].rfind("Elapsed Time (hh:mm:ss) : 00:00:", 0), 0u);
  EXPECT_TRUE(outcome.log.show);
  EXPECT_TRUE(std::filesystem::exists(f.temp.path() / "merged.qtx2"));
}

TEST(RunCreate, FailedTiledImageIsReportedInTheLog) {
  FlowFixture f;
  CreateRequest request = f.Request();
  request.stages = CopyingStages(f.image, false);
  const CreateOutcome outcome = RunCreate(request, f.host, f.flags);
  EXPECT_EQ(outcome.report.resultText, kResultFailed);
  ASSERT_EQ(outcome.log.lines.size(), 6u);
  EXPECT_EQ(outcome.log.lines[2].rfind(std::string(kResultFailed) + " : the tiled image", 0), 0u);
  EXPECT_TRUE(outcome.log.show);
}

// The window's save dialog comes after the Temp File Folder checks and
// before the destination checks; cancelling it ends the create silently.
TEST(RunCreate, SaveDialogSitsBetweenTheFolderChecks) {
  {
    FlowFixture f;
    CreateRequest request = f.Request();
    request.settings.tempFolder = (f.temp.path() / "gone").string();
    bool asked = false;
    request.interaction.chooseDestination = [&]() -> std::optional<std::string> {
      asked = true;
      return std::nullopt;
    };
    EXPECT_FALSE(RunCreate(request, f.host, f.flags).started);
    EXPECT_FALSE(asked) << "a bad Temp File Folder is refused before the dialog";
    EXPECT_EQ(f.host.messages, std::vector<std::string>{kTempFolderNotValid});
  }
  {
    FlowFixture f;
    CreateRequest request = f.Request();
    request.interaction.chooseDestination = [] { return std::optional<std::string>(); };
    const CreateOutcome outcome = RunCreate(request, f.host, f.flags);
    EXPECT_FALSE(outcome.started);
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_TRUE(std::filesystem::is_empty(f.temp.path()));
  }
  {
    FlowFixture f;
    CreateRequest request = f.Request();
    const std::string gone = (f.temp.path() / "gone" / "m.qtx2").string();
    request.interaction.chooseDestination = [&] { return std::optional<std::string>(gone); };
    EXPECT_FALSE(RunCreate(request, f.host, f.flags).started);
    EXPECT_EQ(f.host.messages, std::vector<std::string>{"The Destination Folder is not valid"});
  }
}

// The chosen file is written, and the job starts only when the window's
// wait asks for it.
TEST(RunCreate, WindowChoosesTheFileAndStartsTheJob) {
  FlowFixture f;
  CreateRequest request = f.Request();
  const std::string chosen = (f.temp.path() / "chosen.qtx2").string();
  request.interaction.chooseDestination = [&] { return std::optional<std::string>(chosen); };
  int waits = 0;
  request.interaction.runJob = [&](const std::function<void()>& startJob) {
    ++waits;
    EXPECT_FALSE(f.flags.creationDone);
    startJob();
  };
  const CreateOutcome outcome = RunCreate(request, f.host, f.flags);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(waits, 1);
  EXPECT_TRUE(std::filesystem::exists(chosen));
  EXPECT_FALSE(std::filesystem::exists(f.temp.path() / "merged.qtx2"));
}

}  // namespace
}  // namespace quiltor::creation
