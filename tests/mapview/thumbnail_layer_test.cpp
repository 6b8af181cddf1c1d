#include "mapview/thumbnail_layer.h"

#include <gtest/gtest.h>

#include <array>

#include "creation/destination_map.h"
#include "mapview/degree_sheet.h"

namespace quiltor::mapview {
namespace {

using Bgr = std::array<int, 3>;

Bgr At(const Bitmap& b, int x, int y) {
  std::uint8_t p[3];
  b.PixelBgr(x, y, p);
  return {p[0], p[1], p[2]};
}

void Set(Bitmap& b, int x, int y, Bgr c) {
  for (int i = 0; i < 3; ++i) b.row(y)[3 * x + i] = static_cast<std::uint8_t>(c[static_cast<std::size_t>(i)]);
}

// A 10 x 10 thumbnail whose pixel tells where it came from.
Bitmap Gradient() {
  Bitmap t(10, 10, 24);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) Set(t, x, y, {x * 20, y * 20, 7});
  return t;
}

Bitmap White(int w, int h) {
  Bitmap b(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Set(b, x, y, {255, 255, 255});
  return b;
}

TEST(StretchThumbnail, ClippedAtEachEdgeShowsTheMatchingPart) {
  const Bitmap thumb = Gradient();
  struct Case {
    const char* what;
    ViewBox box;
    int viewX, viewY;    // a view pixel
    int thumbX, thumbY;  // the thumbnail pixel it must show
  } cases[] = {
      {"inside, one to one", {2, 2, 11, 11}, 2, 2, 0, 0},
      {"inside, far corner", {2, 2, 11, 11}, 11, 11, 9, 9},
      {"cut at the left", {-5, 0, 4, 9}, 0, 0, 5, 0},
      {"cut at the left, its last column", {-5, 0, 4, 9}, 4, 3, 9, 3},
      {"cut at the right", {15, 0, 24, 9}, 19, 0, 4, 0},
      {"cut at the top", {0, -3, 9, 6}, 0, 0, 0, 3},
      {"cut at the bottom", {0, 14, 9, 23}, 5, 19, 5, 5},
      {"twice the size, cut at the left", {-10, 0, 9, 19}, 0, 0, 5, 0},
      {"twice the size, cut at the left, next columns", {-10, 0, 9, 19}, 2, 0, 6, 0},
  };
  for (const Case& c : cases) {
    Bitmap view = White(20, 20);
    StretchThumbnail(view, thumb, c.box);
    EXPECT_EQ(At(view, c.viewX, c.viewY), At(thumb, c.thumbX, c.thumbY)) << c.what;
  }
}

TEST(StretchThumbnail, MagentaLetsTheBackgroundThrough) {
  Bitmap thumb = Gradient();
  for (int y = 0; y < 10; ++y) Set(thumb, 4, y, {255, 0, 255});
  Bitmap view = White(20, 20);
  StretchThumbnail(view, thumb, {0, 0, 9, 9});
  EXPECT_EQ(At(view, 4, 5), (Bgr{255, 255, 255}));
  EXPECT_EQ(At(view, 5, 5), At(thumb, 5, 5));
}

void AddMap(MapCatalogue& catalogue, double west, double east, bool selected, Bgr colour) {
  const auto byte = [&colour](std::size_t i) { return static_cast<std::uint8_t>(colour[i]); };
  testing::AddDegreeSheet(catalogue, 0, west, 10, east, selected, {byte(0), byte(1), byte(2)});
}

// One view pixel per degree, the view covering longitudes 0..40, latitudes 10..0.
Bitmap Layer(const MapCatalogue& catalogue) {
  ViewState view;
  view.originX = 0;
  view.originY = 10;
  view.scale = 1;
  view.width = 40;
  view.height = 11;
  ViewOutlines outlines;
  outlines.Project(catalogue, creation::DestinationProjection{geodesy::ProjectionKind("Latitude/Longitude"), nullptr, nullptr});
  outlines.Place(view);
  return DrawBackground(view, catalogue, outlines, true);
}

const Bgr kRed{0, 0, 255}, kBlue{255, 0, 0}, kGreen{0, 255, 0}, kWhite{255, 255, 255};

TEST(ThumbnailLayer, DetailedMapsLieOverCoarseOnesAndSelectedOverUnselected) {
  MapCatalogue both;
  AddMap(both, 0, 20, false, kRed);   // index 0: the more detailed map
  AddMap(both, 10, 30, false, kBlue);
  const Bitmap unselected = Layer(both);
  EXPECT_EQ(At(unselected, 5, 5), kRed);
  EXPECT_EQ(At(unselected, 15, 5), kRed);
  EXPECT_EQ(At(unselected, 25, 5), kBlue);
  EXPECT_EQ(At(unselected, 35, 5), kWhite);

  both[1].selected = true;
  EXPECT_EQ(At(Layer(both), 15, 5), kBlue);

  MapCatalogue selectedPair;
  AddMap(selectedPair, 0, 20, true, kGreen);
  AddMap(selectedPair, 10, 30, true, kBlue);
  EXPECT_EQ(At(Layer(selectedPair), 15, 5), kGreen);
}

TEST(ThumbnailLayer, WithoutThumbnailsTheViewIsWhite) {
  MapCatalogue catalogue;
  AddMap(catalogue, 0, 20, true, kRed);
  catalogue[0].thumbnail.reset();
  EXPECT_EQ(At(Layer(catalogue), 5, 5), kWhite);
}

}  // namespace
}  // namespace quiltor::mapview
