// The main window as built: caption, tabs, controls with their captions,
// hints, ranges and design values, and which parameter fields each
// destination projection enables.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include "ui/tp_main.h"
#include "ui/ui_fixture.h"

using quiltor::testing::WindowFixture;
using quiltor::ui::TpMain;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void CaptionTabsAndStatusPanels() {
    WindowFixture f;
    const auto owned = f.Window();
    TpMain& window = *owned;
    QCOMPARE(window.windowTitle(), QStringLiteral("Quiltor for Tervane - Beta Version 1.15"));
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QVERIFY(pages);
    QCOMPARE(pages->count(), 3);
    QCOMPARE(pages->tabText(0), QStringLiteral("Source Maps"));
    QCOMPARE(pages->tabText(1), QStringLiteral("Destination Map"));
    QCOMPARE(pages->tabText(2), QStringLiteral("Configure"));
    for (const char* panel : {"StatusPanel0", "StatusPanel1"}) {
      auto* label = window.statusBar()->findChild<QLabel*>(QLatin1String(panel));
      QVERIFY2(label, panel);
      QCOMPARE(label->width(), 300);
    }
  }

  void ListColumns() {
    WindowFixture f;
    const auto owned = f.Window();
    TpMain& window = *owned;
    auto* folders = window.findChild<QTreeWidget*>(QStringLiteral("FolderList"));
    auto* maps = window.findChild<QTreeWidget*>(QStringLiteral("MapList"));
    QVERIFY(folders && maps);
    QCOMPARE(folders->headerItem()->text(0), QStringLiteral("Folder"));
    QCOMPARE(folders->headerItem()->text(1), QStringLiteral("Path"));
    const QStringList mapColumns = {"Selected Maps", "Pixel Scale", "Path", "Status"};
    QCOMPARE(maps->columnCount(), 4);
    for (int c = 0; c < 4; ++c) QCOMPARE(maps->headerItem()->text(c), mapColumns[c]);
    QVERIFY(maps->isSortingEnabled());
  }

  void CommandHints_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint");
    QTest::newRow("Quit") << "bQuit" << "Close the application";
    QTest::newRow("Add") << "bAdd" << "Add a new Map Folder to the list";
    QTest::newRow("Delete") << "bDelete" << "Delete highlighted Map Folder from list";
    QTest::newRow("Help") << "bHelp" << "Open the Help window";
    QTest::newRow("All") << "bAll" << "Select all maps in the list";
    QTest::newRow("None") << "bNone" << "Deselect all maps in the list";
    QTest::newRow("Invert") << "bInvert" << "Invert the map selections in the list";
    QTest::newRow("Scan") << "bScanFolders" << "Scan the Selected Map Folders";
    QTest::newRow("Refresh") << "bRefresh" << "Refresh the Map Window View";
  }
  void CommandHints() {
    QFETCH(QString, name);
    QFETCH(QString, hint);
    WindowFixture f;
    const auto owned = f.Window();
    TpMain& window = *owned;
    auto* action = window.findChild<QAction*>(name);
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(action->toolTip(), hint);
  }

  void ConfigureRangesAndDesignValues_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("value");
    // A new installation's thumbnail size is 200 (the control's design value 100 is replaced).
    QTest::newRow("thumbnail size") << "cThumbnailSize" << 50 << 500 << 25 << 200;
    QTest::newRow("preview size") << "cPreviewSize" << 100 << 1000 << 50 << 300;
    QTest::newRow("colours") << "cNumColors" << 8 << 256 << 1 << 256;
    QTest::newRow("resize") << "cResize" << 10 << 100 << 1 << 100;
  }
  void ConfigureRangesAndDesignValues() {
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, step);
    QFETCH(int, value);
    WindowFixture f;
    const auto owned = f.Window();
    TpMain& window = *owned;
    auto* spin = window.findChild<QSpinBox*>(name);
    QVERIFY2(spin, qPrintable(name));
    QCOMPARE(spin->minimum(), minimum);
    QCOMPARE(spin->maximum(), maximum);
    QCOMPARE(spin->singleStep(), step);
    QCOMPARE(spin->value(), value);
  }

  void ProjectionAndDatumLists() {
    WindowFixture f;
    const auto owned = f.Window();
    TpMain& window = *owned;
    auto* projections = window.findChild<QComboBox*>(QStringLiteral("cMapProjection"));
    auto* datums = window.findChild<QComboBox*>(QStringLiteral("cMapDatum"));
    QVERIFY(projections && datums);
    QCOMPARE(projections->count(), 28);
    QCOMPARE(projections->itemText(0), QStringLiteral("Latitude/Longitude"));
    QCOMPARE(projections->itemText(27), QStringLiteral("(VICGRID) Victoria Australia"));
    QCOMPARE(projections->maxVisibleItems(), 16);
    // The datum table's first row is not offered.
    QVERIFY(datums->findText(QStringLiteral("WGS 84")) >= 0);
    QCOMPARE(datums->count(), 122);
  }

  // Which fields each projection leaves enabled; every other parameter
  // field is disabled and silver.
  void EnableParameterFieldsPerProjection_data() {
    QTest::addColumn<QString>("projection");
    QTest::addColumn<QStringList>("enabled");
    const QStringList none;
    QTest::newRow("lat/lon") << "Latitude/Longitude" << none;
    QTest::newRow("grid") << "(BNG) British National Grid" << none;
    QTest::newRow("TM") << "Transverse Mercator"
                        << QStringList{"cLatOrigin", "cCentralMeridian", "cScaleFactor", "cFalseEasting",
                                       "cFalseNorthing"};
    QTest::newRow("UTM") << "(UTM) Universal Transverse Mercator" << QStringList{"cZone"};
    QTest::newRow("LCC") << "Lambert Conformal Conic"
                         << QStringList{"cCentralMeridian", "cLatitude1", "cLatitude2"};
    QTest::newRow("EQC") << "(EQC) Equidistant Conic" << QStringList{"cCentralMeridian", "cLatitude1", "cLatitude2"};
    QTest::newRow("sinusoidal") << "Sinusoidal" << QStringList{"cCentralMeridian"};
    QTest::newRow("Wagner") << "(WIV) Wagner IV" << QStringList{"cCentralMeridian"};
    QTest::newRow("LAEA") << "(A)Lambert Azimuthual Equal Area" << QStringList{"cLatOrigin", "cCentralMeridian"};
    QTest::newRow("Bonne") << "Bonne" << QStringList{"cLatOrigin", "cCentralMeridian"};
    QTest::newRow("Albers") << "Albers Equal Area"
                            << QStringList{"cLatOrigin", "cCentralMeridian", "cLatitude1", "cLatitude2"};
  }
  void EnableParameterFieldsPerProjection() {
    QFETCH(QString, projection);
    QFETCH(QStringList, enabled);
    WindowFixture f;
    const auto owned = f.Window();
    TpMain& window = *owned;
    auto* list = window.findChild<QComboBox*>(QStringLiteral("cMapProjection"));
    // Start from a projection that enables a different set, so that every
    // field has to change.
    list->setCurrentText(projection == "Albers Equal Area" ? "Latitude/Longitude" : "Albers Equal Area");
    list->setCurrentText(projection);
    for (const char* name : {"cZone", "cLatOrigin", "cCentralMeridian", "cLatitude1", "cLatitude2", "cScaleFactor",
                             "cFalseEasting", "cFalseNorthing"}) {
      auto* field = window.findChild<QLineEdit*>(QLatin1String(name));
      QVERIFY2(field, name);
      const bool used = enabled.contains(QLatin1String(name));
      QVERIFY2(field->isEnabled() == used, name);
      const QColor background = field->palette().color(QPalette::Disabled, QPalette::Base);
      QCOMPARE(background, used ? QColor(Qt::white) : QColor(0xC0, 0xC0, 0xC0));
    }
  }

  void SettingsMemo() {
    WindowFixture f;
    const auto owned = f.Window();
    TpMain& window = *owned;
    window.findChild<QComboBox*>(QStringLiteral("cMapProjection"))->setCurrentText(QStringLiteral("Mercator"));
    window.findChild<QLineEdit*>(QStringLiteral("cMpp"))->setText(QStringLiteral("25"));
    QCOMPARE(window.SettingsMemoText(),
             QStringLiteral("Current Settings:\nMap Projection: Mercator\nPixel Scale: 25 (meters per pixel)"));
  }

  // A create killed hard left its work folder in the Temp File Folder; the
  // window removes it when it starts, and leaves the user's folder named
  // like ours (it holds no lock file).
  void StartUpRemovesAbandonedWorkFolders() {
    WindowFixture f;
    const QString temp = f.MakeFolder(QStringLiteral("temp"));
    const QString abandoned = f.MakeFolder(QStringLiteral("temp/quiltor-create-1-2"));
    const QString mine = f.MakeFolder(QStringLiteral("temp/quiltor-create-mine"));
    for (const QString& file : {abandoned + "/quiltor.lock", abandoned + "/rows.qtxx0", mine + "/notes.txt"}) {
      QFile touch(file);
      QVERIFY(touch.open(QIODevice::WriteOnly));
    }
    f.WriteSettings(("[Folders]\nTemp Folder=" + temp + "/\n").toUtf8());
    const auto owned = f.Window();
    QVERIFY(!QDir(abandoned).exists());
    QVERIFY(QFile::exists(mine + "/notes.txt"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
