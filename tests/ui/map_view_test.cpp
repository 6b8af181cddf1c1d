// The map view on the offscreen platform: mouse tools, wheel and keys
// driven by real events, and the picture grabbed from the widget.
#include <QListWidget>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

#include "creation/catalogue_sources.h"
#include "geodesy/destination_setup.h"
#include "support/rectangle_maps.h"
#include "ui/paint_box.h"
#include "ui/tfm_maps.h"

using quiltor::MapCatalogue;
using quiltor::creation::DrawnRegion;
using quiltor::mapview::ViewTool;
using quiltor::testing::AddRectangleMap;
using quiltor::ui::PaintBox1;

namespace {

// A 400 x 400 view in degrees: longitude 150 at the left edge, latitude -33
// at the top, 0.01 degrees per pixel.
struct ViewFixture {
  MapCatalogue catalogue;
  DrawnRegion region;
  PaintBox1 box{catalogue, region};

  explicit ViewFixture(const char* projection = "Latitude/Longitude") {
    box.SetDestination(quiltor::testing::DestinationNamed(projection));
    box.resize(400, 400);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    SetView(150, -33, 0.01);
  }
  void SetView(double originX, double originY, double scale) {
    box.view().originX = originX;
    box.view().originY = originY;
    box.view().scale = scale;
    box.MarkForRedraw();
  }
  QImage Picture() { return box.grab().toImage().convertToFormat(QImage::Format_RGB32); }

  void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), box.mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&box, &event);
  }
  void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Send(QEvent::MouseButtonPress, at, button, button);
  }
  void MoveTo(QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
    Send(QEvent::MouseMove, at, Qt::NoButton, buttons);
  }
  void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Send(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
  }
  void Drag(QPoint from, QPoint to) {
    Press(from);
    MoveTo((from + to) / 2, Qt::LeftButton);
    MoveTo(to, Qt::LeftButton);
    Release(to);
  }
  void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Press(at, button);
    Release(at, button);
  }
  void DoubleClick(QPoint at) {
    Click(at);
    Send(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    Release(at);
  }
};

// A thumbnail of one colour.
quiltor::Bitmap SolidThumbnail(const QColor& colour) {
  return quiltor::testing::SolidThumbnail(static_cast<std::uint8_t>(colour.blue()),
                                          static_cast<std::uint8_t>(colour.green()),
                                          static_cast<std::uint8_t>(colour.red()));
}

bool IsColour(const QImage& image, QPoint at, const QColor& colour) { return image.pixelColor(at) == colour; }

int CountColour(const QImage& image, QRect area, const QColor& colour) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += image.pixelColor(x, y) == colour;
  return n;
}

}  // namespace

class MapViewTest : public QObject {
  Q_OBJECT

 private slots:
  void WhiteWithNothingToShow() {
    ViewFixture f;
    const QImage empty = f.Picture();
    QCOMPARE(CountColour(empty, empty.rect(), Qt::white), 400 * 400);
    AddRectangleMap(f.catalogue, "A", -34, 151, -33.5, 151.5);
    f.SetView(150, -33, 0);  // no view set up yet
    const QImage unset = f.Picture();
    QCOMPARE(CountColour(unset, unset.rect(), Qt::white), 400 * 400);
  }

  void OutlinesInTheirColoursAtTheProjectedCorners() {
    ViewFixture f;
    quiltor::ui::OutlineColours colours;
    colours.selected = QColor(0, 200, 0);
    colours.unselected = QColor(200, 0, 200);
    f.box.SetOutlineColours(colours);
    f.box.SetShowNames(false);
    AddRectangleMap(f.catalogue, "Selected", -34, 151, -33.5, 151.5, true);
    AddRectangleMap(f.catalogue, "Unselected", -33.3, 150.2, -33.1, 150.6, false);
    f.box.MarkForRedraw();
    const QImage picture = f.Picture();
    // Longitude 151.5, latitude -34 is pixel (150, 100); 150.6, -33.3 is (60, 30).
    QVERIFY(IsColour(picture, {150, 100}, colours.selected));
    QVERIFY(IsColour(picture, {100, 50}, colours.selected));
    QVERIFY(IsColour(picture, {60, 30}, colours.unselected));
    QVERIFY(IsColour(picture, {125, 75}, Qt::white));  // outlines only: the inside stays white
  }

  void ThumbnailsFillTheirMapsSelectedOnTop() {
    ViewFixture f;
    f.box.SetShowNames(false);
    const int unselected = AddRectangleMap(f.catalogue, "Detailed, unselected", -34, 151, -33.5, 151.5, false);
    const int selected = AddRectangleMap(f.catalogue, "Coarse, selected", -34.2, 151.3, -33.7, 151.8, true);
    f.catalogue[unselected].thumbnail = SolidThumbnail(QColor(200, 40, 40));
    f.catalogue[selected].thumbnail = SolidThumbnail(QColor(40, 40, 200));
    f.box.MarkForRedraw();
    const QImage picture = f.Picture();
    // The unselected map spans pixels (100..150, 50..100), the selected one (130..180, 70..120).
    QCOMPARE(picture.pixelColor(110, 60), QColor(200, 40, 40));
    QCOMPARE(picture.pixelColor(170, 110), QColor(40, 40, 200));
    QCOMPARE(picture.pixelColor(140, 85), QColor(40, 40, 200));  // both: the selected map lies on top
    QCOMPARE(picture.pixelColor(300, 300), QColor(Qt::white));

    f.box.SetUseThumbnails(false);
    QCOMPARE(f.Picture().pixelColor(110, 60), QColor(Qt::white));
  }

  void TheRegionIsDrawnWhereTheDrawnRegionSays() {
    ViewFixture f;
    AddRectangleMap(f.catalogue, "A", -34, 151, -33.5, 151.5);
    f.box.SetShowNames(false);
    f.box.SetTool(ViewTool::Region);
    f.Drag({300, 250}, {40, 60});  // bottom-right to top-left
    QCOMPARE(f.region.minX, 150.4);
    QCOMPARE(f.region.maxX, 153.0);
    QCOMPARE(f.region.minY, -35.5);
    QCOMPARE(f.region.maxY, -33.6);
    const QImage picture = f.Picture();
    const QColor red(255, 0, 0);
    // Dotted red on the four edges, exactly on them: nothing a pixel inside or outside.
    for (QRect edge : {QRect(40, 60, 261, 1), QRect(40, 250, 261, 1), QRect(40, 60, 1, 191), QRect(300, 60, 1, 191)})
      QVERIFY(CountColour(picture, edge, red) >= std::max(edge.width(), edge.height()) / 4);
    QCOMPARE(CountColour(picture, QRect(41, 61, 259, 189), red), 0);
    for (QRect beside : {QRect(30, 59, 280, 1), QRect(30, 251, 280, 1), QRect(39, 50, 1, 210), QRect(301, 50, 1, 210)})
      QCOMPARE(CountColour(picture, beside, red), 0);

    const DrawnRegion before = f.region;
    f.Drag({120, 100}, {120, 200});  // no width: the region stays
    QCOMPARE(f.region.minX, before.minX);
    QCOMPARE(f.region.maxY, before.maxY);
  }

  void AZoomBandFitsItsLongerSide() {
    ViewFixture f;
    AddRectangleMap(f.catalogue, "A", -34, 151, -33.5, 151.5);
    f.box.SetTool(ViewTool::ZoomIn);
    f.Drag({50, 50}, {150, 350});
    QCOMPARE(f.box.view().scale, 0.0075);
  }

  void AZoomOutPastTheLimitOnlyRecentres() {
    ViewFixture f("(UTM) Universal Transverse Mercator");
    AddRectangleMap(f.catalogue, "A", -34, 151, -33.5, 151.5);
    f.SetView(-1000000, 9000000, 49000);
    const quiltor::PlanePoint clicked = f.box.view().ToDestination(30, 370);
    f.Click({30, 370}, Qt::RightButton);
    QCOMPARE(f.box.view().scale, 49000.0);
    const quiltor::PlanePoint centre = f.box.view().ToDestination(200, 200);
    QCOMPARE(centre.x, clicked.x);
    QCOMPARE(centre.y, clicked.y);
    f.Click({200, 200}, Qt::LeftButton);
    QCOMPARE(f.box.view().scale, 35000.0);
  }

  void DoubleClickFlipsOneMapOrOffersSeveral() {
    ViewFixture f;
    AddRectangleMap(f.catalogue, "Large", -34, 151, -33.5, 151.5, true);
    AddRectangleMap(f.catalogue, "Small", -33.8, 151.1, -33.6, 151.2, false);
    f.box.SetTool(ViewTool::Select);
    QSignalSpy changes(&f.box, &PaintBox1::mapSelectionChanged);

    f.DoubleClick({140, 90});  // inside "Large" only
    QCOMPARE(f.catalogue[0].selected, false);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toInt(), 0);
    QCOMPARE(changes.at(0).at(1).toBool(), false);
    QVERIFY(!f.box.selectMapWindow()->isVisible());

    f.DoubleClick({115, 70});  // inside both
    QListWidget* rows = f.box.selectMapWindow()->MapSelect();
    QVERIFY(f.box.selectMapWindow()->isVisible());
    QCOMPARE(f.box.selectMapWindow()->windowTitle(), QStringLiteral("Select Map"));
    QCOMPARE(rows->count(), 2);
    QCOMPARE(rows->item(0)->text(), QStringLiteral("Large"));
    QCOMPARE(rows->item(1)->text(), QStringLiteral("Small"));
    QCOMPARE(rows->item(1)->checkState(), Qt::Unchecked);
    rows->item(1)->setCheckState(Qt::Checked);
    QCOMPARE(f.catalogue[1].selected, true);
    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.at(1).at(0).toInt(), 1);
    QCOMPARE(changes.at(1).at(1).toBool(), true);
    f.box.selectMapWindow()->reject();
    QCOMPARE(rows->count(), 0);

    f.DoubleClick({390, 390});  // on no map
    QCOMPARE(changes.count(), 2);
  }

  void HoverRepaintsOnlyTheOverlayAndNamesStayWithoutOutlines() {
    ViewFixture f;
    AddRectangleMap(f.catalogue, "Hovered map", -34, 151, -33.5, 151.5, true);
    f.box.SetShowOutlines(false);
    f.box.SetShowNames(false);
    f.Picture();
    const int builds = f.box.backgroundBuilds();
    f.MoveTo({120, 70});
    QVERIFY(f.catalogue[0].highlighted);
    const QImage picture = f.Picture();
    QCOMPARE(f.box.backgroundBuilds(), builds);
    const QColor aqua(0, 255, 255), blue(0, 0, 255);
    QVERIFY(IsColour(picture, {130, 80}, aqua) || CountColour(picture, QRect(126, 76, 40, 10), aqua) > 0);
    QVERIFY(CountColour(picture, QRect(125, 75, 150, 30), blue) > 0);  // the selected map's title
    f.MoveTo({300, 300});
    QVERIFY(!f.catalogue[0].highlighted);
    QCOMPARE(CountColour(f.Picture(), QRect(0, 0, 400, 400), aqua), 0);
    QCOMPARE(f.box.backgroundBuilds(), builds);
  }

  void DraggingShiftsTheCachedPictureAndTheReleasePans() {
    ViewFixture f;
    AddRectangleMap(f.catalogue, "A", -34, 151, -33.5, 151.5, true);
    f.box.SetShowNames(false);
    quiltor::ui::OutlineColours colours;
    colours.selected = QColor(0, 200, 0);
    f.box.SetOutlineColours(colours);
    f.Picture();
    const int builds = f.box.backgroundBuilds();
    f.Press({200, 200});
    f.MoveTo({230, 190}, Qt::LeftButton);
    QCOMPARE(f.box.backgroundBuilds(), builds);
    QCOMPARE(f.box.view().originX, 150.0);
    f.Release({230, 190});
    QCOMPARE(f.box.view().originX, 150.0 - 0.3);
    QCOMPARE(f.box.view().originY, -33.0 - 0.1);
    QVERIFY(IsColour(f.Picture(), {180, 90}, colours.selected));  // the corner moved with the mouse
  }

  void WheelAndKeysZoomAndPan() {
    ViewFixture f;
    AddRectangleMap(f.catalogue, "A", -34, 151, -33.5, 151.5, true);
    const quiltor::PlanePoint under = f.box.view().ToDestination(100, 300);
    QWheelEvent wheel(QPointF(100, 300), f.box.mapToGlobal(QPointF(100, 300)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&f.box, &wheel);
    QCOMPARE(f.box.view().scale, 0.01 / 1.4);
    const quiltor::PlanePoint still = f.box.view().ToDestination(100, 300);
    QVERIFY(std::abs(still.x - under.x) < 1e-12 && std::abs(still.y - under.y) < 1e-12);

    f.SetView(150, -33, 0.01);
    QTest::keyClick(&f.box, Qt::Key_Minus);
    QCOMPARE(f.box.view().scale, 0.014);
    QTest::keyClick(&f.box, Qt::Key_Plus);
    QCOMPARE(f.box.view().scale, 0.01);
    const double left = f.box.view().originX;
    QTest::keyClick(&f.box, Qt::Key_Left);
    QCOMPARE(f.box.view().originX, left - 100 * 0.01);
    QTest::keyClick(&f.box, Qt::Key_Up);
    QCOMPARE(f.box.view().originY, -33.0 + 100 * 0.01);
  }

  void StatusBarPositionInAllFourQuadrants_data() {
    QTest::addColumn<double>("originX");
    QTest::addColumn<double>("originY");
    QTest::addColumn<QString>("text");
    QTest::newRow("south east") << 151.0 << -33.5 << QStringLiteral("33° 52.200´ S   151° 12.000´ E");
    QTest::newRow("north west") << -1.0 << 52.0 << QStringLiteral("51° 37.800´ N   0° 48.000´ W");
    QTest::newRow("south west") << -44.0 << -22.5 << QStringLiteral("22° 52.200´ S   43° 48.000´ W");
    QTest::newRow("north east") << 139.5 << 36.0 << QStringLiteral("35° 37.800´ N   139° 42.000´ E");
  }
  void StatusBarPositionInAllFourQuadrants() {
    QFETCH(double, originX);
    QFETCH(double, originY);
    QFETCH(QString, text);
    ViewFixture f;
    AddRectangleMap(f.catalogue, "A", -34, 151, -33.5, 151.5, true);
    f.SetView(originX, originY, 0.01);
    QSignalSpy positions(&f.box, &PaintBox1::positionChanged);
    f.MoveTo({20, 37});  // 0.2 degrees east and 0.37 south of the top-left corner
    QCOMPARE(positions.count(), 1);
    QCOMPARE(positions.at(0).at(0).toString(), text);
  }
};

QTEST_MAIN(MapViewTest)
#include "map_view_test.moc"
