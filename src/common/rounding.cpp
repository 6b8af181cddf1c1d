#include "common/rounding.h"

#include <cmath>
#include <limits>

namespace quiltor {

double RoundToMultiple(double value, double step) { return RoundHalfEven(value / step) * step; }

}  // namespace quiltor
