#include "catalogue/map_record.h"

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"

namespace quiltor {
namespace {

void Load(MapCatalogue& catalogue, const std::string& name, double metresPerPixel) {
  Map_record& slot = catalogue.FreshWorkSlot();
  slot.mapFile = name;
  slot.metresPerPixel = metresPerPixel;
  ASSERT_TRUE(catalogue.CommitWorkSlot()) << name;
}

TEST(MapCatalogue, HoldsAtMost2500MapsAndKeepsAWorkSlot) {
  MapCatalogue catalogue;
  for (int i = 0; i < kMaxMaps; ++i) {
    catalogue.FreshWorkSlot().metresPerPixel = i;
    ASSERT_TRUE(catalogue.CommitWorkSlot());
  }
  EXPECT_EQ(catalogue.count(), kMaxMaps);
  EXPECT_TRUE(catalogue.full());
  catalogue.FreshWorkSlot().mapFile = "one too many";  // slot 2500 is still writable
  EXPECT_FALSE(catalogue.CommitWorkSlot());
  EXPECT_EQ(catalogue.count(), kMaxMaps);
}

TEST(MapCatalogue, SortsMostDetailedFirstAndRemovesInPlace) {
  MapCatalogue catalogue;
  Load(catalogue, "coarse", 50);
  Load(catalogue, "fine", 2);
  Load(catalogue, "medium-a", 10);
  Load(catalogue, "medium-b", 10);
  catalogue.SortByScale();
  const char* sorted[] = {"fine", "medium-b", "medium-a", "coarse"};  // equal scales as the partition leaves them
  for (int i = 0; i < 4; ++i) EXPECT_EQ(catalogue[i].mapFile, sorted[i]);
  catalogue.Remove(1);
  EXPECT_EQ(catalogue.count(), 3);
  EXPECT_EQ(catalogue[1].mapFile, "medium-a");
  EXPECT_EQ(catalogue[3].mapFile, "");  // the old last slot is released
  EXPECT_THROW(catalogue.Remove(3), QuiltorError);
}

TEST(MapCatalogue, FreshWorkSlotForgetsAFailedRead) {
  MapCatalogue catalogue;
  Map_record& failed = catalogue.FreshWorkSlot();
  failed.projectionName = "Mercator";
  failed.border.resize(7);
  failed.method = kMethodSecondOrder;
  const Map_record& next = catalogue.FreshWorkSlot();
  EXPECT_EQ(next.projectionName, "");
  EXPECT_TRUE(next.border.empty());
  EXPECT_EQ(next.method, kMethodNone);
}

}  // namespace
}  // namespace quiltor
