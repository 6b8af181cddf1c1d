// Settings kept between runs: what the window shows when it closes is what
// the next window shows, through Quit, the close button and SIGTERM alike.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QtTest>
#include <csignal>

#include "settings/settings_file.h"
#include "ui/close_on_signal.h"
#include "ui/tfm_open_maps.h"
#include "ui/ui_fixture.h"

using quiltor::testing::WindowFixture;
using quiltor::ui::TpMain;

namespace {

template <typename W>
W* Control(TpMain& w, const char* name) {
  W* control = w.findChild<W*>(QLatin1String(name));
  if (!control) qFatal("no control %s", name);
  return control;
}

// Changes every kind of value the window keeps.
void ChangeEverything(TpMain& w, const WindowFixture& f) {
  Control<QCheckBox>(w, "cAutoScanFolders")->setChecked(false);
  w.AddFolders({f.MakeFolder("first"), f.MakeFolder("second")});
  Control<QTreeWidget>(w, "FolderList")->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  Control<QComboBox>(w, "cMapProjection")->setCurrentText("(UTM) Universal Transverse Mercator");
  Control<QComboBox>(w, "cMapDatum")->setCurrentText("European 1950");
  Control<QLineEdit>(w, "cZone")->setText("32");
  Control<QLineEdit>(w, "cMpp")->setText("80");
  Control<QLineEdit>(w, "cFalseNorthing")->setText("-5000");
  Control<QLineEdit>(w, "cTempFolder")->setText(f.MakeFolder("temp"));
  Control<QLineEdit>(w, "cDestFolder")->setText(f.MakeFolder("out"));
  Control<QCheckBox>(w, "cUseThumbnails")->setChecked(false);
  Control<QCheckBox>(w, "cShowOutlines")->setChecked(false);
  Control<QSpinBox>(w, "cThumbnailSize")->setValue(275);
  Control<QSpinBox>(w, "cNumColors")->setValue(64);
  Control<QSpinBox>(w, "cResize")->setValue(50);
  Control<QLineEdit>(w, "cMaxLoadedMaps")->setText("12");
  Control<QTreeWidget>(w, "MapList")->setColumnWidth(0, 211);
  Control<QTreeWidget>(w, "MapList")->setColumnWidth(2, 57);
  Control<QTreeWidget>(w, "FolderList")->setColumnWidth(0, 199);
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void NewInstallationStartsWithTheDefaults() {
    WindowFixture f;
    auto w = f.Window();
    QCOMPARE(Control<QTreeWidget>(*w, "FolderList")->topLevelItemCount(), 0);
    QCOMPARE(Control<QComboBox>(*w, "cMapProjection")->currentText(), QStringLiteral("Mercator"));
    QCOMPARE(Control<QComboBox>(*w, "cMapDatum")->currentText(), QStringLiteral("WGS 84"));
    QCOMPARE(Control<QLineEdit>(*w, "cMpp")->text(), QStringLiteral("100"));
    QCOMPARE(Control<QSpinBox>(*w, "cThumbnailSize")->value(), 200);
    QCOMPARE(Control<QCheckBox>(*w, "cAutoScanFolders")->isChecked(), true);
    // Loading the settings is not a change of the destination.
    QVERIFY(!w->RebuildNeeded());
  }

  void EveryValueComesBackAfterClose_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Quit") << "quit";
    QTest::newRow("close button") << "close";
    QTest::newRow("SIGTERM") << "sigterm";
  }
  void EveryValueComesBackAfterClose() {
    QFETCH(QString, how);
    WindowFixture f;
    quiltor::ProgramSettings shown;
    {
      auto w = f.Window();
      w->show();
      ChangeEverything(*w, f);
      shown = w->CurrentSettings();
      QVERIFY(!QFile::exists(QString::fromStdString(f.SettingsFile().string())));
      if (how == "quit") {
        w->findChild<QAction*>("bQuit")->trigger();
      } else if (how == "close") {
        QVERIFY(w->close());
      } else {
        quiltor::ui::CloseOnSignal closer(w.get());
        std::raise(SIGTERM);
        QTRY_VERIFY(!w->isVisible());
      }
      QVERIFY(!w->isVisible());
    }
    QVERIFY(QFile::exists(QString::fromStdString(f.SettingsFile().string())));
    auto again = f.Window();
    const quiltor::ProgramSettings restored = again->CurrentSettings();
    QCOMPARE(restored.folders.size(), std::size_t{2});
    QVERIFY(!restored.folders[0].ticked && restored.folders[1].ticked);
    QCOMPARE(QString::fromStdString(restored.destination.mapProjection),
             QStringLiteral("(UTM) Universal Transverse Mercator"));
    QCOMPARE(QString::fromStdString(restored.destination.zone), QStringLiteral("32"));
    QCOMPARE(Control<QTreeWidget>(*again, "MapList")->columnWidth(0), 211);
    QCOMPARE(Control<QTreeWidget>(*again, "FolderList")->columnWidth(0), 199);
    // Everything else the window shows, at once; the fourth map-list width
    // is written but not read back.
    quiltor::ProgramSettings expected = shown;
    expected.mapListColumnWidths[3] = restored.mapListColumnWidths[3];
    QVERIFY(restored == expected);
    QVERIFY(!again->RebuildNeeded());
  }

  void WindowStateIsKept() {
    WindowFixture f;
    {
      auto w = f.Window();
      w->showMinimized();
      QVERIFY(w->close());
    }
    QCOMPARE(QString::fromStdString(quiltor::IniReadString(f.SettingsFile(), "Size", "Window State", "")),
             QStringLiteral("wsMaximized"));
    auto again = f.Window();
    QVERIFY(again->windowState() & Qt::WindowMaximized);
  }

  void ActionListKeepsItsPositionOnTheScreen() {
    WindowFixture f;
    f.WriteSettings("[Open Map Status]\nLeft=100000\nTop=40\nWidth=300\nHeight=200\n");
    {
      auto w = f.Window();
      const QWidget& list = w->ActionListWindow();
      QCOMPARE(list.windowTitle(), QStringLiteral("Action List"));
      QCOMPARE(list.x(), 100);  // an origin off the screen comes back to 100
      QCOMPARE(list.y(), 40);
      QCOMPARE(list.size(), QSize(300, 200));
      w->ActionListWindow().move(120, 60);
      w->close();
    }
    QCOMPARE(quiltor::IniReadInteger(f.SettingsFile(), "Open Map Status", "Left", 0), 120);
    QCOMPARE(quiltor::IniReadInteger(f.SettingsFile(), "Open Map Status", "Top", 60), 60);
  }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
