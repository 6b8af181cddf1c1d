#include "mapview/view_tools.h"

#include <gtest/gtest.h>

namespace quiltor::mapview {
namespace {

using creation::DrawnRegion;
using creation::kNoRegion;

struct Tools {
  ViewState view;
  DrawnRegion region;
  ViewTools tools{view, region};

  explicit Tools(ViewTool tool, double scale = 10) {
    view.originX = 100000;
    view.originY = 200000;
    view.scale = scale;
    view.width = 400;
    view.height = 400;
    tools.SetTool(tool);
  }
  void Drag(ViewPixel from, ViewPixel to, MouseButton button = MouseButton::Left) {
    tools.Press(button, from);
    tools.Move({(from.x + to.x) / 2, (from.y + to.y) / 2}, button == MouseButton::Left);
    tools.Move(to, button == MouseButton::Left);
    tools.Release(button, to);
  }
  void Click(ViewPixel at, MouseButton button = MouseButton::Left) {
    tools.Press(button, at);
    tools.Release(button, at);
  }
};

TEST(RegionTool, TheRegionIsTheSameWhicheverWayTheBandIsDrawn) {
  Tools forward(ViewTool::Region), backward(ViewTool::Region), sideways(ViewTool::Region);
  forward.Drag({40, 60}, {240, 160});
  backward.Drag({240, 160}, {40, 60});
  sideways.Drag({240, 60}, {40, 160});
  EXPECT_DOUBLE_EQ(forward.region.minX, 100400);
  EXPECT_DOUBLE_EQ(forward.region.maxX, 102400);
  EXPECT_DOUBLE_EQ(forward.region.minY, 198400);
  EXPECT_DOUBLE_EQ(forward.region.maxY, 199400);
  for (const DrawnRegion& r : {backward.region, sideways.region}) {
    EXPECT_DOUBLE_EQ(r.minX, forward.region.minX);
    EXPECT_DOUBLE_EQ(r.maxX, forward.region.maxX);
    EXPECT_DOUBLE_EQ(r.minY, forward.region.minY);
    EXPECT_DOUBLE_EQ(r.maxY, forward.region.maxY);
  }
  EXPECT_DOUBLE_EQ(forward.view.scale, 10);  // drawing a region never zooms
  EXPECT_FALSE(forward.tools.band());
}

TEST(RegionTool, ABandWithoutWidthOrHeightLeavesTheRegionAlone) {
  for (ViewPixel end : {ViewPixel{40, 200}, ViewPixel{300, 60}}) {
    Tools t(ViewTool::Region);
    t.region = {1, 2, 3, 4};
    t.Drag({40, 60}, end);
    EXPECT_DOUBLE_EQ(t.region.minX, 1);
    EXPECT_DOUBLE_EQ(t.region.maxY, 4);
  }
  Tools none(ViewTool::Region);
  none.Drag({40, 60}, {40, 90});
  EXPECT_EQ(none.region.minX, kNoRegion);
  EXPECT_FALSE(none.region.drawn());
}

TEST(ZoomInTool, ABandFitsItsLongerSide) {
  Tools t(ViewTool::ZoomIn, 8);
  t.Drag({50, 50}, {150, 350});  // 100 x 300 in 400 x 400
  EXPECT_DOUBLE_EQ(t.view.scale, 6);
  const PlanePoint centre = t.view.ToDestination(200, 200);
  EXPECT_DOUBLE_EQ(centre.x, 100000 + 100 * 8);
  EXPECT_DOUBLE_EQ(centre.y, 200000 - 200 * 8);
}

TEST(Clicks, LeftZoomsInRightZoomsOutAboutTheClickedPoint) {
  struct Case {
    ViewTool tool;
    MouseButton button;
    double expectedScale;
  } cases[] = {
      {ViewTool::Drag, MouseButton::Left, 14 / 1.4},
      {ViewTool::Region, MouseButton::Left, 14 / 1.4},
      {ViewTool::ZoomIn, MouseButton::Left, 14 / 1.4},
      {ViewTool::Drag, MouseButton::Right, 14 * 1.4},
      {ViewTool::ZoomIn, MouseButton::Right, 14 * 1.4},
      {ViewTool::Select, MouseButton::Left, 14},
      {ViewTool::Select, MouseButton::Right, 14},
  };
  for (const Case& c : cases) {
    Tools t(c.tool, 14);
    const PlanePoint clicked = t.view.ToDestination(120, 330);
    t.region = {1, 2, 3, 4};
    t.Click({120, 330}, c.button);
    EXPECT_DOUBLE_EQ(t.view.scale, c.expectedScale) << static_cast<int>(c.tool);
    if (c.tool == ViewTool::Select) continue;
    const PlanePoint centre = t.view.ToDestination(200, 200);
    EXPECT_NEAR(centre.x, clicked.x, 1e-6);
    EXPECT_NEAR(centre.y, clicked.y, 1e-6);
    EXPECT_DOUBLE_EQ(t.region.minX, 1);  // a click with the region tool draws nothing
  }
}

TEST(Clicks, AZoomOutPastTheLimitOnlyRecentres) {
  Tools t(ViewTool::Drag, 49000);
  const PlanePoint clicked = t.view.ToDestination(10, 390);
  t.Click({10, 390}, MouseButton::Right);
  EXPECT_DOUBLE_EQ(t.view.scale, 49000);
  const PlanePoint centre = t.view.ToDestination(200, 200);
  EXPECT_DOUBLE_EQ(centre.x, clicked.x);
  EXPECT_DOUBLE_EQ(centre.y, clicked.y);
}

TEST(Dragging, TheBackgroundFollowsTheMouseAndTheReleasePans) {
  for (ViewTool tool : {ViewTool::Drag, ViewTool::Select}) {
    Tools t(tool);
    const PlanePoint grabbed = t.view.ToDestination(100, 100);
    t.tools.Press(MouseButton::Left, {100, 100});
    EXPECT_EQ(t.tools.Move({130, 80}, true), MoveEffect::LiveDrag);
    EXPECT_EQ(t.tools.DragOffset(), (ViewPixel{30, -20}));
    EXPECT_DOUBLE_EQ(t.view.originX, 100000);  // nothing moves before the release
    t.tools.Release(MouseButton::Left, {130, 80});
    const PlanePoint under = t.view.ToDestination(130, 80);
    EXPECT_DOUBLE_EQ(under.x, grabbed.x);
    EXPECT_DOUBLE_EQ(under.y, grabbed.y);
    EXPECT_FALSE(t.tools.dragging());
  }
}

TEST(Moves, TheHoverBoxGivesWayToABand) {
  Tools t(ViewTool::Region);
  EXPECT_EQ(t.tools.Move({10, 10}, false), MoveEffect::Hover);
  EXPECT_TRUE(t.tools.hover());
  t.tools.Press(MouseButton::Left, {10, 10});
  EXPECT_EQ(t.tools.Move({50, 70}, true), MoveEffect::Band);
  EXPECT_FALSE(t.tools.hover());
  ASSERT_TRUE(t.tools.band());
  EXPECT_EQ(t.tools.band()->corner, (ViewPixel{50, 70}));
  t.tools.Release(MouseButton::Left, {50, 70});
  EXPECT_TRUE(t.tools.hover());
  EXPECT_FALSE(t.tools.band());
}

}  // namespace
}  // namespace quiltor::mapview
