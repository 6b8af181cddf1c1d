#include "common/rounding.h"

#include <cmath>
#include <limits>

namespace quiltor {

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double frac = value - floor;
  if (frac > 0.5) return floor + 1.0;
  if (frac < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int32_t RoundHalfEvenToInt(double value) {
  if (std::isnan(value)) return 0;
  const double r = RoundHalfEven(value);
  if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

double RoundToMultiple(double value, double step) { return RoundHalfEven(value / step) * step; }

}  // namespace quiltor
