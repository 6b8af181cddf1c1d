#pragma once
// Least-squares polynomial calibration between two planes, used for the
// pixel <-> projected transforms of maps with four or more calibration points.
#include <array>
#include <span>

namespace quiltor {

// Result codes of PolynomialFit.
inline constexpr int kFitSuccess = 1;
inline constexpr int kFitTooFewPoints = 0;
inline constexpr int kFitSingular = -1;
inline constexpr int kFitOutOfMemory = -2;
inline constexpr int kFitBadOrder = -3;
inline constexpr int kFitInconsistentSize = -4;

// Terms in this order: 1, x, y, x^2, xy, y^2, x^3, x^2 y, x y^2, y^3; order o
// uses the first (o + 1)(o + 2) / 2 of them.
using PolynomialCoefficients = std::array<double, 10>;

struct FitPoint {
  double x = 0;  // source plane
  double y = 0;
  double X = 0;  // target plane
  double Y = 0;
};

// Fits X, Y as polynomials of (x, y) into cX, cY (forward); when that
// succeeds, fits x, y as polynomials of (X, Y) into dX, dY (backward). With
// exactly as many points as terms the system is solved exactly, with more
// through the normal equations. Coefficient sets are written only by a fit
// that succeeds. Returns one of the kFit codes above.
int PolynomialFit(std::span<const FitPoint> points, int order, PolynomialCoefficients& cX, PolynomialCoefficients& cY,
                  PolynomialCoefficients& dX, PolynomialCoefficients& dY);

// Number of terms of an order (3, 6 or 10); 0 for an order outside 1..3.
int PolynomialTermCount(int order);

}  // namespace quiltor
