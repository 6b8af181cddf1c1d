#include "pipeline/zoom_plan.h"

#include <cmath>

#include "common/rounding.h"

namespace quiltor {

LevelSize FixedLevelSize(int width, int height, int target) {
  const double f = static_cast<double>(width) / static_cast<double>(height);
  if (f > 1) return {target, RoundHalfEvenToInt(target / f)};
  return {RoundHalfEvenToInt(f * target), target};
}

std::vector<float> ZoomPercentages(int w, int h, int thumbnailWidth, int overviewWidth) {
  std::vector<float> zoom = {100.0F};
  struct Step {
    float percent;
    int threshold;
  };
  for (const Step s : {Step{25.0F, 200}, Step{10.0F, 500}, Step{5.0F, 1000}, Step{2.5F, 2000}, Step{1.0F, 5000}}) {
    if (w > s.threshold && h > s.threshold) zoom.push_back(s.percent);
  }
  zoom.push_back(static_cast<float>(thumbnailWidth) / static_cast<float>(w) * 100.0F);
  zoom.push_back(static_cast<float>(overviewWidth) / static_cast<float>(w) * 100.0F);
  return zoom;
}

bool MadeFromLevelOne(const std::vector<float>& zoom, int n) {
  return n >= 2 && zoom[static_cast<std::size_t>(n)] < 19.9F && zoom[static_cast<std::size_t>(n)] <= zoom[1];
}

bool LargeEnoughToTile(int width, int height, double scalePercent) {
  return std::trunc(width * scalePercent / 100.0) >= kMinTiledSide ||
         std::trunc(height * scalePercent / 100.0) >= kMinTiledSide;
}

bool SideRatioAcceptable(int width, int height) {
  const double a = static_cast<double>(width) / height;
  const double b = static_cast<double>(height) / width;
  return !(a < 0.0333333 || b < 0.0333333);
}

}  // namespace quiltor
