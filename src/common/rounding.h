#pragma once
// Wherever a value is taken to the nearest integer, ties go to the even
// neighbour: 50.5 gives 50, 51.5 gives 52. std::round would give 51 and 52.
#include <cmath>
#include <cstdint>

namespace quiltor {

// Nearest integral value, ties to even; NaN and infinities pass through.
// Adding and taking away 1.5 * 2^52 leaves no fraction bits: below 2^51 in
// size, the sum lies where the doubles are the integers, and the addition
// rounds in the default mode, to nearest with ties to even (the shift is
// even). Larger values, zero (which keeps its sign) and the rest go the
// long way.
double RoundHalfEvenBeyondShift(double value);
inline double RoundHalfEven(double value) {
  constexpr double kShift = 6755399441055744.0;   // 1.5 * 2^52
  constexpr double kShiftable = 2251799813685248.0;  // 2^51
  if (std::fabs(value) < kShiftable && value != 0.0) return (value + kShift) - kShift;
  return RoundHalfEvenBeyondShift(value);
}

// RoundHalfEven as an integer, clamped to the int32 range (NaN gives 0), so
// a wild coordinate can never overflow a conversion.
inline std::int32_t RoundHalfEvenToInt(double value) {
  if (std::isnan(value)) return 0;
  const double r = RoundHalfEven(value);
  if (r >= 2147483647.0) return 2147483647;
  if (r <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(r);
}

// Rounds to the nearest multiple of `step` (ties to even), e.g. 0.000001.
double RoundToMultiple(double value, double step);

}  // namespace quiltor
