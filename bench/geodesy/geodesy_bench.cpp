// Per-point cost of the datum shift and the transverse Mercator series, the
// two conversions that run for every calibration point and border point.
#include <benchmark/benchmark.h>

#include "geodesy/builtin_formulas.h"
#include "geodesy/datum.h"

namespace {

using namespace quiltor::geodesy;

void BM_ConvertDatumOsgbToWgs84(benchmark::State& state) {
  const DatumTable table;
  const std::int32_t osgb = table.FindDatum("Ord Srvy Grt Britn");
  double lat = 51.5, lon = -0.1;
  for (auto _ : state) {
    double la = lat, lo = lon;
    table.ConvertDatum(osgb, table.WGS84Datum(), la, lo);
    benchmark::DoNotOptimize(la);
    benchmark::DoNotOptimize(lo);
    lat += 1e-9;  // keep the input changing so nothing is folded away
  }
}
BENCHMARK(BM_ConvertDatumOsgbToWgs84);

void BM_ConvertDatumBetweenTwoLocalDatums(benchmark::State& state) {
  const DatumTable table;
  const std::int32_t from = table.FindDatum("European 1950"), to = table.FindDatum("NAD27 CONUS");
  double lat = 45.0, lon = -30.0;
  for (auto _ : state) {
    double la = lat, lo = lon;
    table.ConvertDatum(from, to, la, lo);
    benchmark::DoNotOptimize(la);
    benchmark::DoNotOptimize(lo);
    lat += 1e-9;
  }
}
BENCHMARK(BM_ConvertDatumBetweenTwoLocalDatums);

void BM_TMForwardUtm(benchmark::State& state) {
  const Ellipsoid wgs84 = EllipsoidFromTable(kWgs84Ellipsoid);
  double lat = 51.5;
  for (auto _ : state) {
    TMPoint p = TMForward(wgs84, lat, -0.1, 0.0, -3.0, 0.9996);
    benchmark::DoNotOptimize(p);
    lat += 1e-9;
  }
}
BENCHMARK(BM_TMForwardUtm);

void BM_TMForwardViaDatumIndex(benchmark::State& state) {
  const std::int32_t osgb = FindDatum("Ord Srvy Grt Britn");
  double lat = 51.5;
  for (auto _ : state) {
    TMPoint p = TMForward(osgb, lat, -0.1, 49.0, -2.0, 0.9996012717);
    benchmark::DoNotOptimize(p);
    lat += 1e-9;
  }
}
BENCHMARK(BM_TMForwardViaDatumIndex);

}  // namespace
