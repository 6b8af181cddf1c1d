#pragma once
// Wherever a value is taken to the nearest integer, ties go to the even
// neighbour: 50.5 gives 50, 51.5 gives 52. std::round would give 51 and 52.
#include <cstdint>

namespace quiltor {

// Nearest integral value, ties to even; NaN and infinities pass through.
double RoundHalfEven(double value);

// RoundHalfEven as an integer, clamped to the int32 range (NaN gives 0), so
// a wild coordinate can never overflow a conversion.
std::int32_t RoundHalfEvenToInt(double value);

// Rounds to the nearest multiple of `step` (ties to even), e.g. 0.000001.
double RoundToMultiple(double value, double step);

}  // namespace quiltor
