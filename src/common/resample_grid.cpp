#include "common/resample_grid.h"

#include "common/rounding.h"

namespace quiltor {

int ResampledLength(int srcLength, double percent) {
  const double divisor = 100.0 / percent;
  return RoundHalfEvenToInt(static_cast<double>(srcLength) / divisor);
}

float ResampledSourcePosition(int i, int srcCount, int dstCount) {
  if (srcCount < 2 || dstCount < 2) return static_cast<float>(i);
  const float scale = static_cast<float>(dstCount - 1) / static_cast<float>(srcCount - 1);
  return static_cast<float>(i) / scale;
}

}  // namespace quiltor
