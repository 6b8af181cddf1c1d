#include "creation/create_configuration.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"

namespace quiltor::creation {
namespace {

TEST(CreateConfiguration, NewInstallationThenStoredValuesWithTheirLimits) {
  quiltor::testing::TempFolder temp;
  const auto ini = temp / "quiltor.ini";
  const CreateConfiguration fresh = LoadCreateConfiguration(ini, "/opt/quiltor");
  EXPECT_EQ(fresh.destination.mapProjection, "Mercator");
  EXPECT_EQ(fresh.destination.metersPerPixel, "100");
  EXPECT_EQ(fresh.destination.scaleFactor, "1");
  EXPECT_EQ(fresh.destination.zone, "");
  EXPECT_EQ(fresh.configure.tempFolder, "/opt/quiltor");
  EXPECT_EQ(fresh.configure.numberOfColors, 256);
  EXPECT_EQ(fresh.configure.resizePercent, 100);

  std::ofstream(ini) << "[Destination Image]\nMap Projection=3\nZone=32\nMeters per Pixel=25\n"
                        "[Folders]\nTemp Folder= /var/tmp \n"
                        "[System]\nMax Loaded Maps=2\nNumber of Colors=1000\nReSize=0\n";
  const CreateConfiguration stored = LoadCreateConfiguration(ini, "/opt/quiltor");
  EXPECT_EQ(stored.destination.mapProjection, "(UTM) Universal Transverse Mercator");
  EXPECT_EQ(stored.destination.zone, "32");
  EXPECT_EQ(stored.destination.metersPerPixel, "25");
  EXPECT_EQ(stored.configure.tempFolder, "/var/tmp");
  EXPECT_EQ(stored.configure.maxLoadedMaps, "5");
  EXPECT_EQ(stored.configure.numberOfColors, 256);
  EXPECT_EQ(stored.configure.resizePercent, 1);
}

}  // namespace
}  // namespace quiltor::creation
