// The map view in the main window: placed in the view panel, driven by the
// window's tools, writing the status bar, and a region drawn on it merged
// by "From Drawn Region (All Maps)".
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

#include "ui/paint_box.h"
#include "ui/ui_fixture.h"

using quiltor::testing::WindowFixture;
using quiltor::ui::PaintBox1;

namespace {

void Mouse(PaintBox1& view, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(at), view.mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(&view, &event);
}

}  // namespace

class MapViewWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ARegionDrawnInTheViewIsMerged() {
    WindowFixture f;
    auto w = f.Window();
    w->findChild<QCheckBox*>("cAutoScanFolders")->setChecked(true);
    w->findChild<QComboBox*>("cMapProjection")->setCurrentText("(UTM) Universal Transverse Mercator");
    w->findChild<QLineEdit*>("cZone")->setText("32");
    w->findChild<QLineEdit*>("cMpp")->setText("10");
    w->findChild<QLineEdit*>("cTempFolder")->setText(f.MakeFolder("temp"));
    w->findChild<QLineEdit*>("cDestFolder")->setText(f.MakeFolder("out"));
    f.record.saveAnswer = f.Path("out/region.qtx2");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->AddFolders({quiltor::testing::SamplesFolder()});

    auto* view = w->findChild<PaintBox1*>("PaintBox1");
    QVERIFY(view);
    QCOMPARE(view->parentWidget()->objectName(), QStringLiteral("ViewPanel"));
    QVERIFY(view->view().HasView());  // fitted to the scanned maps

    w->findChild<QAction*>("bRegion")->trigger();
    QCOMPARE(view->tools().tool(), quiltor::mapview::ViewTool::Region);
    const QPoint from(view->width() / 3, view->height() / 3), to(view->width() * 2 / 3, view->height() * 2 / 3);
    Mouse(*view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Mouse(*view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Mouse(*view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    QVERIFY(w->Region().drawn());
    QVERIFY(w->Region().minX < w->Region().maxX && w->Region().minY < w->Region().maxY);
    const QString position = w->statusBar()->findChild<QLabel*>("StatusPanel1")->text();
    QVERIFY2(position.contains(QStringLiteral("° ")) && position.contains(QStringLiteral("´ ")), qPrintable(position));

    QMenu* menu = w->findChild<QToolButton*>("bCreateMap")->menu();
    for (QAction* action : menu->actions())
      if (action->text() == QStringLiteral("From Drawn Region (All Maps)")) action->trigger();
    QVERIFY2(f.record.messages.isEmpty(), qPrintable(f.record.messages.join('\n')));
    QVERIFY(QFile::exists(f.Path("out/region.qtx2")));
    QVERIFY(QFile::exists(f.Path("out/region.map")));
  }
};

QTEST_MAIN(MapViewWindowTest)
#include "map_view_window_test.moc"
