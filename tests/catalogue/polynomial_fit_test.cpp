#include "catalogue/polynomial_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quiltor {
namespace {

double Eval(const PolynomialCoefficients& c, int terms, double x, double y) {
  const double t[10] = {1, x, y, x * x, x * y, y * y, x * x * x, x * x * y, x * y * y, y * y * y};
  double sum = 0;
  for (int i = 0; i < terms; ++i) sum += c[static_cast<std::size_t>(i)] * t[i];
  return sum;
}

// Points of an exactly known polynomial in the term order 1, x, y, x^2, xy, y^2.
std::vector<FitPoint> QuadraticPoints(int count) {
  std::vector<FitPoint> points;
  for (int i = 0; i < count; ++i) {
    const double x = 37.0 * (i % 5) + 3.0 * i, y = 53.0 * (i / 5) + 7.0 * (i % 3);
    points.push_back({x, y, 1000 + 2 * x - 3 * y + 0.001 * x * x + 0.002 * x * y - 0.0005 * y * y,
                      -500 + 0.5 * x + 4 * y});
  }
  return points;
}

TEST(PolynomialFit, RecoversTermsInOrderExactAndLeastSquares) {
  for (int count : {6, 12}) {  // n = m: exact system; n > m: normal equations
    PolynomialCoefficients cX{}, cY{}, dX{}, dY{};
    ASSERT_EQ(PolynomialFit(QuadraticPoints(count), 2, cX, cY, dX, dY), kFitSuccess) << count;
    const double expectX[6] = {1000, 2, -3, 0.001, 0.002, -0.0005};
    const double expectY[6] = {-500, 0.5, 4, 0, 0, 0};
    for (int k = 0; k < 6; ++k) {
      EXPECT_NEAR(cX[static_cast<std::size_t>(k)], expectX[k], 1e-9 * (1 + std::fabs(expectX[k]))) << count << " c" << k;
      EXPECT_NEAR(cY[static_cast<std::size_t>(k)], expectY[k], 1e-9 * (1 + std::fabs(expectY[k]))) << count << " c" << k;
    }
  }
}

TEST(PolynomialFit, BackwardFitInvertsAnAffineMap) {
  std::vector<FitPoint> points;
  for (double x : {0.0, 500.0, 1000.0})
    for (double y : {0.0, 400.0, 800.0}) points.push_back({x, y, 300000 + 2.5 * x + 0.1 * y, 6000000 + 0.2 * x - 2.5 * y});
  PolynomialCoefficients cX{}, cY{}, dX{}, dY{};
  ASSERT_EQ(PolynomialFit(points, 1, cX, cY, dX, dY), kFitSuccess);
  for (const FitPoint& p : points) {
    EXPECT_NEAR(Eval(cX, 3, p.x, p.y), p.X, 1e-6);
    EXPECT_NEAR(Eval(dX, 3, p.X, p.Y), p.x, 1e-6);
    EXPECT_NEAR(Eval(dY, 3, p.X, p.Y), p.y, 1e-6);
  }
}

TEST(PolynomialFit, PivotingHandlesZeroLeadingEntry) {
  // Two points on the column x = 0 leave a zero on the diagonal after the
  // first elimination step: only a row exchange finds the pivot.
  const std::vector<FitPoint> points{{0, 0, 10, 1}, {0, 5, 20, 2}, {5, 0, 30, 7}};
  PolynomialCoefficients cX{}, cY{}, dX{}, dY{};
  ASSERT_EQ(PolynomialFit(points, 1, cX, cY, dX, dY), kFitSuccess);
  for (const FitPoint& p : points) EXPECT_NEAR(Eval(cX, 3, p.x, p.y), p.X, 1e-12);
}

TEST(PolynomialFit, FailuresLeaveCoefficientsUntouched) {
  const PolynomialCoefficients sentinel{9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  const std::vector<FitPoint> collinear{{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}};
  const std::vector<FitPoint> five = QuadraticPoints(5);
  struct Case {
    const char* name;
    const std::vector<FitPoint>* points;
    int order;
    int code;
  } const cases[] = {
      {"too few points", &five, 2, kFitTooFewPoints},
      {"order 0", &five, 0, kFitBadOrder},
      {"order 4", &five, 4, kFitBadOrder},
      {"collinear points are singular", &collinear, 1, kFitSingular},
  };
  for (const auto& c : cases) {
    PolynomialCoefficients cX = sentinel, cY = sentinel, dX = sentinel, dY = sentinel;
    EXPECT_EQ(PolynomialFit(*c.points, c.order, cX, cY, dX, dY), c.code) << c.name;
    EXPECT_EQ(cX, sentinel) << c.name;
    EXPECT_EQ(dY, sentinel) << c.name;
  }
}

}  // namespace
}  // namespace quiltor
