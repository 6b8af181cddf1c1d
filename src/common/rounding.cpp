#include "common/rounding.h"

#include <cmath>
#include <limits>

namespace quiltor {

double RoundHalfEvenBeyondShift(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double frac = value - floor;
  if (frac > 0.5) return floor + 1.0;
  if (frac < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

double RoundToMultiple(double value, double step) { return RoundHalfEven(value / step) * step; }

}  // namespace quiltor
