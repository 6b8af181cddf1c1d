#include "settings/program_settings.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/error.h"
#include "settings/settings_file.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

TEST(ProgramSettings, NewInstallationGivesTheDefaults) {
  testing::TempFolder tmp;
  const ProgramSettings s = LoadSettings(tmp / "missing.ini", "/opt/quiltor");
  EXPECT_TRUE(s.folders.empty());
  EXPECT_EQ(s.thumbnailSize, 200);
  EXPECT_EQ(s.previewSize, 300);
  EXPECT_EQ(s.numberOfColors, 256);
  EXPECT_EQ(s.resizePercent, 100);
  EXPECT_EQ(s.destination.mapProjection, DestinationProjectionAt(1));
  EXPECT_EQ(s.destination.mapDatum, "WGS 84");
  EXPECT_EQ(s.destination.scaleFactor, "1");
  EXPECT_EQ(s.destination.metersPerPixel, "100");
  EXPECT_EQ(s.destination.zone, "");
  EXPECT_EQ(s.tempFolder, "/opt/quiltor");
  EXPECT_EQ(s.destinationFolder, "/opt/quiltor");
  EXPECT_FALSE(s.windowMaximized);
  EXPECT_EQ(s.selectedColor, 0xFF0000u);  // blue as 0x00BBGGRR
  EXPECT_EQ(s.selectedHighlightColor, 0x0000FFu);
  EXPECT_EQ(s.maxLoadedMaps, "25");
}

TEST(ProgramSettings, ReadingLimits) {
  struct Case {
    const char* section;
    const char* line;
    int ProgramSettings::*field;
    int expected;
  };
  const Case cases[] = {
      {"Size", "Thumbnail Size=20", &ProgramSettings::thumbnailSize, 50},
      {"Size", "Thumbnail Size=900", &ProgramSettings::thumbnailSize, 500},
      {"Size", "Preview Size=5000", &ProgramSettings::previewSize, 1000},
      {"Size", "Preview Size=3", &ProgramSettings::previewSize, 100},
      {"System", "Number of Colors=1000", &ProgramSettings::numberOfColors, 256},
      {"System", "Number of Colors=2", &ProgramSettings::numberOfColors, 8},
      {"System", "ReSize=0", &ProgramSettings::resizePercent, 1},
      {"System", "ReSize=150", &ProgramSettings::resizePercent, 100},
  };
  testing::TempFolder tmp;
  const auto ini = tmp / "quiltor.ini";
  for (const auto& c : cases) {
    std::ofstream(ini, std::ios::trunc) << "[" << c.section << "]\n" << c.line << "\n";
    EXPECT_EQ(LoadSettings(ini, "/p").*c.field, c.expected) << c.line;
  }
  std::ofstream(ini, std::ios::trunc) << "[System]\nMax Loaded Maps=2\n";
  EXPECT_EQ(LoadSettings(ini, "/p").maxLoadedMaps, "5");
  std::ofstream(ini, std::ios::trunc) << "[System]\nMax Loaded Maps=40\n";
  EXPECT_EQ(LoadSettings(ini, "/p").maxLoadedMaps, "40");
}

TEST(ProgramSettings, FolderGapsAreClosedAndRewrittenFromZero) {
  testing::TempFolder tmp;
  const auto ini = tmp / "quiltor.ini";
  std::ofstream(ini) << "[Folders]\nFolder Name,0=/maps/a\nFolder Ticked,0=1\nFolder Name,1=/maps/b\n"
                        "Folder Name,3=/maps/d\nFolder Ticked,3=1\nFolder Name,7=   \n";
  ProgramSettings s = LoadSettings(ini, "/p");
  const std::vector<FolderEntry> expected{{"/maps/a", true}, {"/maps/b", false}, {"/maps/d", true}};
  EXPECT_EQ(s.folders, expected);

  SaveSettings(ini, s);
  EXPECT_EQ(IniReadString(ini, "Folders", "Folder Name,2", ""), "/maps/d");
  EXPECT_TRUE(IniReadBool(ini, "Folders", "Folder Ticked,2", false));
  EXPECT_EQ(IniReadString(ini, "Folders", "Folder Name,3", "gone"), "gone");

  // A row removed by the user does not come back from the old section.
  s.folders.pop_back();
  SaveSettings(ini, s);
  EXPECT_EQ(LoadSettings(ini, "/p").folders.size(), 2u);
}

TEST(ProgramSettings, WindowStateOtherThanNormalOpensMaximised) {
  testing::TempFolder tmp;
  const auto ini = tmp / "quiltor.ini";
  std::ofstream(ini) << "[Size]\nWindow State=wsMinimized\n";
  ProgramSettings s = LoadSettings(ini, "/p");
  EXPECT_TRUE(s.windowMaximized);
  SaveSettings(ini, s);
  EXPECT_EQ(IniReadString(ini, "Size", "Window State", ""), "wsMaximized");
  s.windowMaximized = false;
  SaveSettings(ini, s);
  EXPECT_EQ(IniReadString(ini, "Size", "Window State", ""), "wsNormal");
}

TEST(ProgramSettings, WrittenFileReadsBackEqual) {
  testing::TempFolder tmp;
  const auto ini = tmp / "quiltor.ini";
  ProgramSettings s = DefaultProgramSettings("/opt/quiltor");
  s.folders = {{"/maps/topo", true}, {"/maps/sea charts", false}};
  s.lastMapsFolder = "/maps";
  s.tempFolder = "/var/tmp";
  s.folderListHeight = 140;
  s.thumbnailSize = 320;
  s.mapListColumnWidths = {200, 90, 40, 100};
  s.folderListColumnWidths = {250, 30};
  s.windowMaximized = true;
  s.destination.mapProjection = DestinationProjectionAt(3);
  s.destination.zone = "32";
  s.destination.falseEasting = "500000";
  s.destination.mapDatum = "Ord Srvy Grt Britn";
  s.useThumbnails = false;
  s.maxLoadedMaps = "12";
  s.unselectedHighlightColor = 0x00123456;
  s.numberOfColors = 64;
  s.resizePercent = 50;
  SaveSettings(ini, s);
  EXPECT_EQ(LoadSettings(ini, "/elsewhere"), s);
  EXPECT_EQ(IniReadInteger(ini, "Destination Image", "Map Projection", -1), 3);
  EXPECT_EQ(IniReadInteger(ini, "System", "UnSelected Highlight Color", 0), 0x123456);
}

TEST(ProgramSettings, FormPositionIsKeptOnTheScreen) {
  struct Case {
    FormPosition stored;
    FormPosition expected;
  };
  const Case cases[] = {
      {{1500, 100, 350, 350}, {100, 100, 350, 350}},  // left off a 1280-pixel screen
      {{-5, -1, 350, 350}, {100, 100, 350, 350}},
      {{100, 1100, 350, 350}, {100, 100, 350, 350}},  // top below the 1024-pixel screen
      {{100, 100, -1, -1}, {100, 100, 200, 200}},
      {{1000, 800, 350, 350}, {1000, 800, 180, 124}},  // shrunk to end 100 pixels before the edge
      {{1200, 980, 350, 350}, {1200, 980, 75, 75}},    // never smaller than 75
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitFormPosition(c.stored, 1280, 1024), c.expected) << c.stored.left << "," << c.stored.top;
  }
}

TEST(ProgramSettings, FormPositionRoundTripAndRefusal) {
  testing::TempFolder tmp;
  const auto ini = tmp / "quiltor.ini";
  EXPECT_EQ(RestoreFormPosition(ini, "Open Map Status", 350, 350, 1280, 1024), (FormPosition{100, 100, 350, 350}));
  SaveFormPosition(ini, "Open Map Status", {1500, 200, 300, 250});
  EXPECT_EQ(RestoreFormPosition(ini, "Open Map Status", 350, 350, 1280, 1024), (FormPosition{100, 200, 300, 250}));
  IniWriteString(ini, "Open Map Status", "Width", "wide");
  EXPECT_THROW(RestoreFormPosition(ini, "Open Map Status", 350, 350, 1280, 1024), QuiltorError);
}

}  // namespace
}  // namespace quiltor
