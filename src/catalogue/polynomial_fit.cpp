#include "catalogue/polynomial_fit.h"

#include <cmath>
#include <new>
#include <utility>
#include <vector>

namespace quiltor {
namespace {

std::array<double, 10> Terms(double x, double y) {
  return {1.0, x, y, x * x, x * y, y * y, x * x * x, x * x * y, x * y * y, y * y * y};
}

// m x m system with two right-hand sides, row-major.
struct LinearSystem {
  int m = 0;
  std::vector<double> a;
  std::vector<double> rhsX;
  std::vector<double> rhsY;

  explicit LinearSystem(int size)
      : m(size), a(static_cast<std::size_t>(size * size), 0.0), rhsX(static_cast<std::size_t>(size), 0.0),
        rhsY(static_cast<std::size_t>(size), 0.0) {}
  double& at(int row, int col) { return a[static_cast<std::size_t>(row * m + col)]; }
};

LinearSystem BuildSystem(std::span<const FitPoint> points, int m, bool forward) {
  LinearSystem sys(m);
  const bool exact = static_cast<int>(points.size()) == m;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const FitPoint& p = points[i];
    const auto t = forward ? Terms(p.x, p.y) : Terms(p.X, p.Y);
    const double outX = forward ? p.X : p.x;
    const double outY = forward ? p.Y : p.y;
    if (exact) {
      const int row = static_cast<int>(i);
      for (int k = 0; k < m; ++k) sys.at(row, k) = t[static_cast<std::size_t>(k)];
      sys.rhsX[i] = outX;
      sys.rhsY[i] = outY;
      continue;
    }
    for (int j = 0; j < m; ++j) {
      const double tj = t[static_cast<std::size_t>(j)];
      for (int k = j; k < m; ++k) sys.at(j, k) += tj * t[static_cast<std::size_t>(k)];
      sys.rhsX[static_cast<std::size_t>(j)] += tj * outX;
      sys.rhsY[static_cast<std::size_t>(j)] += tj * outY;
    }
  }
  if (!exact) {
    for (int j = 0; j < m; ++j)
      for (int k = j + 1; k < m; ++k) sys.at(k, j) = sys.at(j, k);
  }
  return sys;
}

// Gauss-Jordan elimination with partial pivoting: the pivot of column j is
// the first entry of largest magnitude in rows j..m-1.
int Solve(LinearSystem& sys, PolynomialCoefficients& cX, PolynomialCoefficients& cY) {
  const int m = sys.m;
  for (int j = 0; j < m; ++j) {
    int pivotRow = j;
    for (int r = j + 1; r < m; ++r)
      if (std::fabs(sys.at(r, j)) > std::fabs(sys.at(pivotRow, j))) pivotRow = r;
    const double pivot = sys.at(pivotRow, j);
    if (pivot == 0.0 || !std::isfinite(pivot)) return kFitSingular;
    if (pivotRow != j) {
      for (int c = 0; c < m; ++c) std::swap(sys.at(pivotRow, c), sys.at(j, c));
      std::swap(sys.rhsX[static_cast<std::size_t>(pivotRow)], sys.rhsX[static_cast<std::size_t>(j)]);
      std::swap(sys.rhsY[static_cast<std::size_t>(pivotRow)], sys.rhsY[static_cast<std::size_t>(j)]);
    }
    for (int k = 0; k < m; ++k) {
      if (k == j) continue;
      const double factor = sys.at(k, j) / pivot;
      if (factor == 0.0) continue;
      for (int c = j; c < m; ++c) sys.at(k, c) -= factor * sys.at(j, c);
      sys.rhsX[static_cast<std::size_t>(k)] -= factor * sys.rhsX[static_cast<std::size_t>(j)];
      sys.rhsY[static_cast<std::size_t>(k)] -= factor * sys.rhsY[static_cast<std::size_t>(j)];
    }
  }
  PolynomialCoefficients x{};
  PolynomialCoefficients y{};
  for (int j = 0; j < m; ++j) {
    const auto u = static_cast<std::size_t>(j);
    x[u] = sys.rhsX[u] / sys.at(j, j);
    y[u] = sys.rhsY[u] / sys.at(j, j);
  }
  cX = x;
  cY = y;
  return kFitSuccess;
}

}  // namespace

int PolynomialTermCount(int order) {
  if (order < 1 || order > 3) return 0;
  return (order + 1) * (order + 2) / 2;
}

int PolynomialFit(std::span<const FitPoint> points, int order, PolynomialCoefficients& cX, PolynomialCoefficients& cY,
                  PolynomialCoefficients& dX, PolynomialCoefficients& dY) {
  const int m = PolynomialTermCount(order);
  if (m == 0) return kFitBadOrder;
  if (static_cast<int>(points.size()) < m) return kFitTooFewPoints;
  try {
    PolynomialCoefficients fx{}, fy{}, bx{}, by{};
    LinearSystem forward = BuildSystem(points, m, true);
    if (const int code = Solve(forward, fx, fy); code != kFitSuccess) return code;
    LinearSystem backward = BuildSystem(points, m, false);
    if (const int code = Solve(backward, bx, by); code != kFitSuccess) return code;
    cX = fx;
    cY = fy;
    dX = bx;
    dY = by;
  } catch (const std::bad_alloc&) {
    return kFitOutOfMemory;
  }
  return kFitSuccess;
}

}  // namespace quiltor
