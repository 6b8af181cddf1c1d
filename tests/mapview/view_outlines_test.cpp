#include "mapview/view_outlines.h"

#include <gtest/gtest.h>

#include "creation/catalogue_sources.h"
#include "geodesy/destination_setup.h"
#include "mapview/view_overlay.h"
#include "support/rectangle_maps.h"

namespace quiltor::mapview {
namespace {

std::vector<ViewPixel> Square() { return {{0, 0}, {10, 0}, {10, 10}, {0, 10}}; }
std::vector<ViewPixel> Diamond() { return {{5, 0}, {10, 5}, {5, 10}, {0, 5}}; }

TEST(HitTest, LowerEdgesAreInsideUpperEdgesOutside) {
  struct Case {
    std::vector<ViewPixel> outline;
    ViewPixel point;
    bool inside;
  } cases[] = {
      {Square(), {5, 5}, true},
      {Square(), {5, 0}, true},    // y equal to an edge's smaller y: that edge counts
      {Square(), {5, 10}, false},  // y equal to an edge's larger y: it does not
      {Square(), {0, 5}, true},
      {Square(), {10, 5}, false},
      {Square(), {-1, 5}, false},
      {Diamond(), {2, 5}, true},    // level with the left vertex: counted once
      {Diamond(), {-1, 5}, false},  // left of that vertex: two edges, outside
      {Diamond(), {8, 5}, true},
      {Diamond(), {5, 0}, false},   // the top vertex alone
      {{{0, 0}, {10, 0}}, {5, 0}, false},  // a line encloses nothing
      {{}, {0, 0}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InsideOutline(c.outline, c.point.x, c.point.y), c.inside) << c.point.x << "," << c.point.y;
}

using testing::AddRectangleMap;

creation::DestinationProjection LatLon() { return {geodesy::ProjectionKind("Latitude/Longitude"), nullptr, nullptr}; }

ViewState DegreeView() {
  ViewState view;
  view.originX = 150;  // longitude at the left edge
  view.originY = -33;  // latitude at the top edge
  view.scale = 0.01;
  view.width = 400;
  view.height = 300;
  return view;
}

TEST(ViewOutlines, OnLatitudeLongitudeXIsTheLongitude) {
  MapCatalogue catalogue;
  AddRectangleMap(catalogue, "A", -34, 151, -33.5, 151.5);
  ViewOutlines outlines;
  outlines.Project(catalogue, LatLon());
  outlines.Place(DegreeView());
  ASSERT_EQ(outlines.count(), 1);
  const auto pixels = outlines.Pixels(0);
  ASSERT_EQ(pixels.size(), 4u);
  EXPECT_EQ(pixels[0], (ViewPixel{100, 50}));
  EXPECT_EQ(pixels[2], (ViewPixel{150, 100}));
  ASSERT_TRUE(outlines.Box(0));
  EXPECT_EQ(outlines.Box(0)->minX, 100);
  EXPECT_EQ(outlines.Box(0)->maxY, 100);
}

TEST(ViewOutlines, AProjectedDestinationPlacesTheProjectedBorder) {
  const auto projection =
      creation::MakeDestinationProjection(testing::DestinationNamed("(UTM) Universal Transverse Mercator"));
  MapCatalogue catalogue;
  AddRectangleMap(catalogue, "Harbour", -33.9, 151.1, -33.8, 151.3);
  const auto [x, y] = projection.forward({-33.8, 151.1}).value();  // the first border point
  ViewState view;
  view.originX = x - 1000;
  view.originY = y + 2000;
  view.scale = 20;
  view.width = view.height = 600;
  ViewOutlines outlines;
  outlines.Project(catalogue, projection);
  outlines.Place(view);
  EXPECT_EQ(outlines.Pixels(0)[0], (ViewPixel{50, 100}));
  // West of the zone's central meridian (153° E); the destination has no false easting.
  EXPECT_NEAR(outlines.Destination(0)[0].x, -176000, 1000);
}

TEST(ViewOutlines, MapsAtListsOverlappingUsableMapsInCatalogueOrder) {
  MapCatalogue catalogue;
  AddRectangleMap(catalogue, "Large", -34, 151, -33.5, 151.5);
  AddRectangleMap(catalogue, "Missing image", -34, 151, -33.5, 151.5, false, kMapImageNotFound);
  AddRectangleMap(catalogue, "Small", -33.8, 151.1, -33.6, 151.2);
  ViewOutlines outlines;
  outlines.Project(catalogue, LatLon());
  outlines.Place(DegreeView());
  EXPECT_EQ(outlines.MapsAt({115, 70}), (std::vector<int>{0, 2}));
  EXPECT_EQ(outlines.MapsAt({140, 90}), (std::vector<int>{0}));
  EXPECT_TRUE(outlines.MapsAt({10, 10}).empty());
  EXPECT_TRUE(outlines.Pixels(1).empty());  // a map without its image is not drawn
}

TEST(DoubleClick, OneMapFlipsTwoMapsAreOffered) {
  MapCatalogue catalogue;
  AddRectangleMap(catalogue, "A", -34, 151, -33.5, 151.5);
  AddRectangleMap(catalogue, "B", -34, 151, -33.5, 151.5, false, kMapImageNotFound);
  AddRectangleMap(catalogue, "C", -34, 151, -33.5, 151.5);

  DoubleClickOutcome one = DoubleClickMaps(catalogue, {0});
  EXPECT_EQ(one.toggled, 0);
  EXPECT_FALSE(catalogue[0].selected);
  DoubleClickMaps(catalogue, {0});
  EXPECT_TRUE(catalogue[0].selected);
  DoubleClickMaps(catalogue, {1});
  EXPECT_FALSE(catalogue[1].selected);  // no image: never selected

  DoubleClickOutcome two = DoubleClickMaps(catalogue, {0, 2});
  EXPECT_EQ(two.toggled, -1);
  EXPECT_EQ(two.choose, (std::vector<int>{0, 2}));
  EXPECT_TRUE(catalogue[0].selected);
  EXPECT_TRUE(catalogue[2].selected);
  EXPECT_EQ(DoubleClickMaps(catalogue, {}).toggled, -1);
}

TEST(Hover, HighlightsFollowTheMouseAndTheListPutsUnselectedMapsFirst) {
  MapCatalogue catalogue;
  AddRectangleMap(catalogue, "Selected large", -34, 151, -33.5, 151.5, true);
  AddRectangleMap(catalogue, "Unselected small", -33.8, 151.1, -33.6, 151.2, false);
  AddRectangleMap(catalogue, "Elsewhere", -35, 152, -34.5, 152.5, false);
  ViewOutlines outlines;
  outlines.Project(catalogue, LatLon());
  outlines.Place(DegreeView());
  EXPECT_TRUE(UpdateHighlights(catalogue, outlines, {115, 70}));
  EXPECT_FALSE(UpdateHighlights(catalogue, outlines, {116, 70}));
  const auto entries = HoverEntries(catalogue);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].title, "Unselected small");
  EXPECT_FALSE(entries[0].selected);
  EXPECT_EQ(entries[1].title, "Selected large");
  EXPECT_TRUE(entries[1].selected);
  EXPECT_TRUE(UpdateHighlights(catalogue, outlines, {390, 290}));
  EXPECT_TRUE(HoverEntries(catalogue).empty());
}

TEST(Hover, TheBoxStaysInsideTheView) {
  struct Case {
    ViewPixel mouse;
    HoverBox expected;
  } cases[] = {
      {{100, 100}, {105, 105, 190, 134, {108, 108}}},
      {{350, 100}, {315, 105, 400, 134, {318, 108}}},  // moved left: the right edge is the view's
      {{100, 280}, {105, 271, 190, 300, {108, 274}}},  // moved up
  };
  for (const Case& c : cases) {
    const HoverBox box = PlaceHoverBox(c.mouse, 80, 12, 2, 400, 300);  // height 34
    EXPECT_EQ(box.left, c.expected.left);
    EXPECT_EQ(box.top, c.expected.top);
    EXPECT_EQ(box.right, c.expected.right);
    EXPECT_EQ(box.bottom, c.expected.bottom);
    EXPECT_EQ(box.firstLine, c.expected.firstLine);
  }
}

}  // namespace
}  // namespace quiltor::mapview
