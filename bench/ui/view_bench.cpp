// The map view with 2500 maps in a 50 x 50 grid of 20-point outlines, each
// with a projected thumbnail, in a UTM destination. One frame of hovering
// (hit test of every outline, the overlay over the cached background), a
// full redraw (outlines projected and placed again, thumbnail layer, overlay)
// and a frame of live dragging (the cached background shifted). The goal is
// a hover frame under 16 ms with the thumbnail layer built only on a redraw.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <cmath>
#include <memory>
#include <numbers>

#include "catalogue/map_record.h"
#include "creation/destination_map.h"
#include "geodesy/destination_setup.h"
#include "ui/paint_box.h"

namespace {

constexpr int kGrid = 50;  // 2500 maps
constexpr int kOutlinePoints = 20;
constexpr int kViewSide = 800;

// A slightly irregular ring of points around the grid cell (row, column):
// cells of 0.1 degrees near Sydney, overlapping their neighbours a little.
void AddMap(quiltor::MapCatalogue& catalogue, int row, int column) {
  quiltor::Map_record& map = catalogue.FreshWorkSlot();
  map.title = "Map " + std::to_string(row) + "-" + std::to_string(column);
  map.selected = (row + column) % 3 != 0;
  const double centreLat = -32.0 - 0.1 * row, centreLon = 149.0 + 0.1 * column;
  for (int k = 0; k < kOutlinePoints; ++k) {
    const double angle = 2 * std::numbers::pi * k / kOutlinePoints;
    const double radius = 0.06 * (1 + 0.1 * ((k % 3) - 1));
    quiltor::BorderPoint point;
    point.latitude = centreLat + radius * std::sin(angle);
    point.longitude = centreLon + radius * std::cos(angle);
    map.border.push_back(point);
  }
  quiltor::Bitmap thumbnail(100, 100, 24);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      std::uint8_t* p = thumbnail.row(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(x * 2);
      p[1] = static_cast<std::uint8_t>(y * 2);
      p[2] = static_cast<std::uint8_t>(row * 5 + column);
    }
  map.thumbnail = std::move(thumbnail);
  catalogue.CommitWorkSlot();
}

struct View {
  quiltor::MapCatalogue catalogue;
  quiltor::creation::DrawnRegion region;
  quiltor::ui::PaintBox1 box{catalogue, region};
  QImage frame{kViewSide, kViewSide, QImage::Format_RGB32};

  View() {
    for (int row = 0; row < kGrid; ++row)
      for (int column = 0; column < kGrid; ++column) AddMap(catalogue, row, column);
    quiltor::geodesy::DestinationSettings settings;
    settings.mapProjection = "(UTM) Universal Transverse Mercator";
    settings.zone = "56";
    box.SetDestination(
        quiltor::geodesy::ReadDestinationProjection(settings, quiltor::geodesy::BuiltInProjectionCatalogue()));
    box.resize(kViewSide, kViewSide);
    box.FitToMaps(quiltor::ExtentKind::AllMaps);
    Render();
  }
  void Render() { box.render(&frame); }
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&box, &event);
  }
};

View& SharedView() {
  static View view;
  return view;
}

void Report(benchmark::State& state, const View& view, int buildsBefore) {
  state.counters["maps"] = view.catalogue.count();
  state.counters["background_builds_per_frame"] =
      benchmark::Counter(view.box.backgroundBuilds() - buildsBefore, benchmark::Counter::kAvgIterations);
}

void BM_HoverRepaint(benchmark::State& state) {
  View& view = SharedView();
  const int builds = view.box.backgroundBuilds();
  int step = 0;
  for (auto _ : state) {
    const QPoint at(100 + (step * 37) % 600, 100 + (step * 53) % 600);
    ++step;
    view.Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    view.Render();
    benchmark::DoNotOptimize(view.frame.constBits());
  }
  Report(state, view, builds);
}
BENCHMARK(BM_HoverRepaint)->Unit(benchmark::kMillisecond);

void BM_FullRedraw(benchmark::State& state) {
  View& view = SharedView();
  const int builds = view.box.backgroundBuilds();
  for (auto _ : state) {
    view.box.MarkForRedraw();
    view.Render();
    benchmark::DoNotOptimize(view.frame.constBits());
  }
  Report(state, view, builds);
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);

void BM_LiveDragFrame(benchmark::State& state) {
  View& view = SharedView();
  view.Mouse(QEvent::MouseButtonPress, {400, 400}, Qt::LeftButton, Qt::LeftButton);
  const int builds = view.box.backgroundBuilds();
  int step = 0;
  for (auto _ : state) {
    ++step;
    view.Mouse(QEvent::MouseMove, {400 + step % 50, 400 - step % 30}, Qt::NoButton, Qt::LeftButton);
    view.Render();
    benchmark::DoNotOptimize(view.frame.constBits());
  }
  Report(state, view, builds);
  // Back where it started, so the view is the same for the next benchmark.
  view.Mouse(QEvent::MouseMove, {400, 400}, Qt::NoButton, Qt::LeftButton);
  view.Mouse(QEvent::MouseButtonRelease, {400, 400}, Qt::LeftButton, Qt::NoButton);
}
BENCHMARK(BM_LiveDragFrame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
