#pragma once
// Which zoom levels a tiled image gets, and from which image each is made.
#include <vector>

namespace quiltor {

struct LevelSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const LevelSize&, const LevelSize&) = default;
};

// The small fixed-size levels: the 300-pixel overview and the 130-pixel
// thumbnail keep the image's side ratio, the longer side at `target` pixels.
LevelSize FixedLevelSize(int width, int height, int target);
inline constexpr int kOverviewSide = 300;
inline constexpr int kThumbnailSide = 130;

// Zoom percentages in level order for a base image: 100, then 25, 10, 5, 2.5
// and 1 while both sides exceed 200, 500, 1000, 2000 and 5000 pixels, then
// the thumbnail and the overview levels. The file's zoom count is
// size() - 2.
std::vector<float> ZoomPercentages(int baseWidth, int baseHeight, int thumbnailWidth, int overviewWidth);

// True when level n (n >= 2) is made from level 1 rather than the base
// image: levels below 19.9 % that are no larger than level 1, so that the
// large base image is read in full only a few times and no level is enlarged
// from a smaller one.
bool MadeFromLevelOne(const std::vector<float>& zoom, int n);

// The checks that refuse an image before any work: at least kMinTiledSide
// pixels on one side at the scale percent (whole pixels, the fraction
// dropped), and a side ratio of at least 1 : 30. The create asks the first
// of its destination grid before it reads any map.
inline constexpr int kMinTiledSide = 300;
bool LargeEnoughToTile(int width, int height, double scalePercent);
bool SideRatioAcceptable(int width, int height);
inline constexpr const char* kImageTooSmallMessage =
    "Image is too small to process - have you specified a suitable Pixel Scale on the Destination Map tab";

}  // namespace quiltor
