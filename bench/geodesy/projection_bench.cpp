// Per-point cost of Projection::Forward / Inverse against a bare proj_trans
// on a PROJ object made from the very definition the handle gave PROJ. The
// ratio of the two is the engine's overhead (the per-thread lookup, the
// pole clamp and the degree conversion).
#include <benchmark/benchmark.h>
#include <proj.h>

#include <array>
#include <optional>

#include "geodesy/projection.h"

namespace {

using namespace quiltor::geodesy;

struct Case {
  const char* name;
  ProjectionSetup setup;
};

Case TransverseMercator() {
  ProjectionSetup s;
  s.lon0 = 9;
  s.lat0 = 0;
  s.k0 = 0.9996;
  s.x0 = 500000;
  s.y0 = 0;
  return {"Transverse Mercator", s};
}

Case Albers() {
  ProjectionSetup s;
  s.lon0 = -96;
  s.lat0 = 23;
  s.lat1 = 29.5;
  s.lat2 = 45.5;
  return {"Albers Equal Area", s};
}

Case ForIndex(int i) { return i == 0 ? TransverseMercator() : Albers(); }

// A row of points, as a destination row end or a border walk gives them.
std::array<LatLon, 64> Points(int i) {
  std::array<LatLon, 64> p{};
  for (std::size_t k = 0; k < p.size(); ++k) {
    const double t = static_cast<double>(k) / 64.0;
    p[k] = i == 0 ? LatLon{45.0 + 10.0 * t, 6.0 + 6.0 * t} : LatLon{30.0 + 15.0 * t, -110.0 + 30.0 * t};
  }
  return p;
}

Projection Make(const Case& c) {
  return Projection::Create(BuiltInProjectionCatalogue(), c.name, c.setup, WGS84Datum());
}

// A bare PROJ object of the handle's definition, with its own context.
struct BareProjection {
  explicit BareProjection(const ProjectionHandle& h)
      : context(proj_context_create()), projection(proj_create(context, h.GivenToLibrary().c_str())) {}
  ~BareProjection() {
    proj_destroy(projection);
    proj_context_destroy(context);
  }
  PJ_CONTEXT* context;
  PJ* projection;
};

void BM_ProjectForward(benchmark::State& state) {
  const Case c = ForIndex(static_cast<int>(state.range(0)));
  const Projection projection = Make(c);
  const auto points = Points(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const LatLon& p : points) {
      const std::optional<EastingNorthing> en = projection.Forward(p);
      benchmark::DoNotOptimize(en);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
  state.SetLabel(c.name);
}

void BM_BareProjTransForward(benchmark::State& state) {
  const Case c = ForIndex(static_cast<int>(state.range(0)));
  const Projection projection = Make(c);
  const BareProjection bare(projection.Handle());
  const auto points = Points(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const LatLon& p : points) {
      PJ_COORD in;
      in.lpzt = {p.longitude * kDegToRad, p.latitude * kDegToRad, 0.0, 0.0};
      const PJ_COORD out = proj_trans(bare.projection, PJ_FWD, in);
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
  state.SetLabel(c.name);
}

void BM_ProjectInverse(benchmark::State& state) {
  const Case c = ForIndex(static_cast<int>(state.range(0)));
  const Projection projection = Make(c);
  std::array<EastingNorthing, 64> grid{};
  const auto points = Points(static_cast<int>(state.range(0)));
  for (std::size_t k = 0; k < grid.size(); ++k) grid[k] = projection.Forward(points[k]).value_or(EastingNorthing{});
  for (auto _ : state) {
    for (const EastingNorthing& en : grid) {
      const std::optional<LatLon> ll = projection.Inverse(en);
      benchmark::DoNotOptimize(ll);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(grid.size()));
  state.SetLabel(c.name);
}

void BM_BareProjTransInverse(benchmark::State& state) {
  const Case c = ForIndex(static_cast<int>(state.range(0)));
  const Projection projection = Make(c);
  const BareProjection bare(projection.Handle());
  std::array<EastingNorthing, 64> grid{};
  const auto points = Points(static_cast<int>(state.range(0)));
  for (std::size_t k = 0; k < grid.size(); ++k) grid[k] = projection.Forward(points[k]).value_or(EastingNorthing{});
  for (auto _ : state) {
    for (const EastingNorthing& en : grid) {
      PJ_COORD in;
      in.xyzt = {en.easting, en.northing, 0.0, 0.0};
      const PJ_COORD out = proj_trans(bare.projection, PJ_INV, in);
      benchmark::DoNotOptimize(out.lp.phi * kRadToDeg);
      benchmark::DoNotOptimize(out.lp.lam * kRadToDeg);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(grid.size()));
  state.SetLabel(c.name);
}

// 0: Transverse Mercator, 1: Albers Equal Area.
BENCHMARK(BM_ProjectForward)->Arg(0)->Arg(1);
BENCHMARK(BM_BareProjTransForward)->Arg(0)->Arg(1);
BENCHMARK(BM_ProjectInverse)->Arg(0)->Arg(1);
BENCHMARK(BM_BareProjTransInverse)->Arg(0)->Arg(1);

}  // namespace
