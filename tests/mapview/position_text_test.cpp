#include "mapview/position_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "creation/catalogue_sources.h"
#include "geodesy/destination_setup.h"
#include "support/rectangle_maps.h"

namespace quiltor::mapview {
namespace {

TEST(PositionText, EachQuadrantHasItsHemisphereLetters) {
  struct Case {
    double lat, lon;
    const char* text;
  } cases[] = {
      {-33.873616666666667, 151.208333333333333, "33° 52.417´ S   151° 12.500´ E"},
      {51.5, -0.1275, "51° 30.000´ N   0° 7.650´ W"},
      {-22.9, -43.2, "22° 54.000´ S   43° 12.000´ W"},
      {35.68, 139.76, "35° 40.800´ N   139° 45.600´ E"},
      {0, 0, "0° 0.000´ N   0° 0.000´ E"},
      {-45.999999, 170.0000001, "46° 0.000´ S   170° 0.000´ E"},  // minutes rounding to 60 carry
  };
  for (const Case& c : cases) EXPECT_EQ(PositionText({c.lat, c.lon}), c.text);
}

TEST(PositionAt, TheInverseOfTheDestinationGivesThePositionUnderTheMouse) {
  const auto projection =
      creation::MakeDestinationProjection(testing::DestinationNamed("(UTM) Universal Transverse Mercator"));
  const auto [x, y] = projection.forward({-33.873616666666667, 151.208333333333333}).value();
  ViewState view;
  view.scale = 5;
  view.originX = x - 10 * 5;
  view.originY = y + 20 * 5;
  view.width = view.height = 100;
  const auto position = PositionAt(view, projection, 10, 20);
  ASSERT_TRUE(position);
  EXPECT_EQ(PositionText(*position), "33° 52.417´ S   151° 12.500´ E");

  ViewState degrees;
  degrees.originX = -43.5;
  degrees.originY = -22.5;
  degrees.scale = 0.01;
  const auto direct = PositionAt(degrees, {geodesy::ProjectionKind("Latitude/Longitude"), nullptr, nullptr}, 30, 40);
  ASSERT_TRUE(direct);
  EXPECT_EQ(PositionText(*direct), "22° 54.000´ S   43° 12.000´ W");
}

TEST(PositionAt, AFailedInverseGivesNoPosition) {
  const creation::DestinationProjection failing{geodesy::ProjectionKind("Mercator"), nullptr,
                                                [](geodesy::EastingNorthing) { return std::optional<geodesy::LatLon>(); }};
  ViewState view;
  view.scale = 1;
  EXPECT_FALSE(PositionAt(view, failing, 5, 5));
}

}  // namespace
}  // namespace quiltor::mapview
