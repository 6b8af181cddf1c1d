// The folder list and the map list as a user drives them: Add, Delete,
// ticks, scans, All / None / Invert over maps whose image is missing,
// folders from the command line or dropped, and the thumbnails' rebuild
// flag after destination changes.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include "ui/ui_fixture.h"

using quiltor::testing::WindowFixture;
using quiltor::ui::TpMain;

namespace {

QTreeWidget* Folders(TpMain& w) { return w.findChild<QTreeWidget*>(QStringLiteral("FolderList")); }
QTreeWidget* Maps(TpMain& w) { return w.findChild<QTreeWidget*>(QStringLiteral("MapList")); }
void Trigger(TpMain& w, const char* action) { w.findChild<QAction*>(QLatin1String(action))->trigger(); }
void SetAutoScan(TpMain& w, bool on) { w.findChild<QCheckBox*>(QStringLiteral("cAutoScanFolders"))->setChecked(on); }

// A folder holding one map whose image is missing ("not found") and one
// whose image is there.
QString MixedFolder(const WindowFixture& f) {
  const QString folder = f.MakeFolder(QStringLiteral("mixed"));
  QFile::copy(quiltor::testing::SamplesFolder() + "/east-mercator.map", folder + "/east-mercator.map");
  for (const char* file : {"overview-latlon.map", "overview-latlon.gif"})
    QFile::copy(quiltor::testing::SamplesFolder() + "/" + file, folder + "/" + file);
  return folder;
}

struct MapRow {
  QString title;
  bool ticked;
  bool selected;  // the catalogue's flag
  QString status;
};

QList<MapRow> MapRows(TpMain& w) {
  QList<MapRow> rows;
  QTreeWidget* list = Maps(w);
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    const int index = item->data(0, Qt::UserRole).toInt();
    rows.append({item->text(0), item->checkState(0) == Qt::Checked, w.Catalogue()[index].selected, item->text(3)});
  }
  return rows;
}

QTreeWidgetItem* RowOf(TpMain& w, const QString& title) {
  return Maps(w)->findItems(title, Qt::MatchExactly, 0).value(0);
}

}  // namespace

class FolderListTest : public QObject {
  Q_OBJECT

 private slots:
  void AddScansTheChosenFolderAndListsItsMaps() {
    WindowFixture f;
    auto w = f.Window();
    SetAutoScan(*w, true);
    f.record.folderAnswers = {quiltor::testing::SamplesFolder()};
    Trigger(*w, "bAdd");
    QCOMPARE(Folders(*w)->topLevelItemCount(), 1);
    QCOMPARE(Folders(*w)->topLevelItem(0)->checkState(0), Qt::Checked);
    QCOMPARE(Folders(*w)->topLevelItem(0)->text(1), QStringLiteral("1"));
    QCOMPARE(w->Catalogue().count(), 5);
    const QList<MapRow> rows = MapRows(*w);
    QCOMPARE(rows.size(), 5);
    // Most detailed first, every usable map ticked and selected.
    QCOMPARE(rows.first().title, QStringLiteral("lakeside-detail-utm32"));
    QCOMPARE(Maps(*w)->topLevelItem(0)->text(1), QStringLiteral("20.000"));
    for (const MapRow& row : rows) QVERIFY(row.ticked && row.selected && row.status == "ok");
    // The next Add starts where the last one ended.
    Trigger(*w, "bAdd");
    QCOMPARE(f.record.folderStarts.last(), QDir::cleanPath(quiltor::testing::SamplesFolder()));
  }

  void MissingImagesStayUntickedUnderAllInvertAndTicking() {
    WindowFixture f;
    auto w = f.Window();
    SetAutoScan(*w, true);
    w->AddFolders({MixedFolder(f)});
    QCOMPARE(MapRows(*w).size(), 2);
    QTreeWidgetItem* missing = RowOf(*w, QStringLiteral("east-mercator"));
    QVERIFY(missing);
    QCOMPARE(missing->text(3), QStringLiteral("not found"));

    const auto check = [&](const char* when, bool goodTicked) {
      for (const MapRow& row : MapRows(*w)) {
        const bool good = row.status == "ok";
        QVERIFY2(row.ticked == (good && goodTicked), when);
        QVERIFY2(row.selected == row.ticked, when);
      }
    };
    Trigger(*w, "bAll");
    check("All", true);
    Trigger(*w, "bInvert");
    check("Invert of all", false);
    Trigger(*w, "bInvert");
    check("Invert of none", true);
    Trigger(*w, "bNone");
    check("None", false);
    // A tick given to the missing map's row does not stay.
    missing = RowOf(*w, QStringLiteral("east-mercator"));
    missing->setCheckState(0, Qt::Checked);
    check("ticking the missing map", false);
    // Ticking a usable row selects its map.
    RowOf(*w, QStringLiteral("overview-latlon"))->setCheckState(0, Qt::Checked);
    check("ticking the usable map", true);
  }

  void DeleteRemovesEveryHighlightedFolderWithoutRescanWhenAutoScanIsOff() {
    WindowFixture f;
    auto w = f.Window();
    SetAutoScan(*w, true);
    const QString a = f.MakeFolder("a"), b = f.MakeFolder("b");
    w->AddFolders({a, quiltor::testing::SamplesFolder(), b});
    QCOMPARE(w->Catalogue().count(), 5);
    SetAutoScan(*w, false);

    Trigger(*w, "bDelete");
    QCOMPARE(f.record.messages, QStringList{"A folder has not been selected in the Folder List"});
    QCOMPARE(Folders(*w)->topLevelItemCount(), 3);

    Folders(*w)->topLevelItem(0)->setSelected(true);
    Folders(*w)->topLevelItem(1)->setSelected(true);
    Trigger(*w, "bDelete");
    QCOMPARE(Folders(*w)->topLevelItemCount(), 1);
    QCOMPARE(Folders(*w)->topLevelItem(0)->text(0), b);
    QCOMPARE(Folders(*w)->topLevelItem(0)->text(1), QStringLiteral("1"));
    // No rescan: the samples' maps are still listed.
    QCOMPARE(w->Catalogue().count(), 5);
    QCOMPARE(Maps(*w)->topLevelItemCount(), 5);
    // Scan Folders scans regardless of "Auto Scan Folders".
    Trigger(*w, "bScanFolders");
    QCOMPARE(w->Catalogue().count(), 0);
    QCOMPARE(Maps(*w)->topLevelItemCount(), 0);
  }

  void UntickingAFolderRescansOnlyWithAutoScan() {
    WindowFixture f;
    auto w = f.Window();
    SetAutoScan(*w, false);
    w->AddFolders({quiltor::testing::SamplesFolder()});
    QCOMPARE(w->Catalogue().count(), 0);
    SetAutoScan(*w, true);
    Folders(*w)->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(w->Catalogue().count(), 0);
    Folders(*w)->topLevelItem(0)->setCheckState(0, Qt::Checked);
    QCOMPARE(w->Catalogue().count(), 5);
  }

  void AddAfterARestartNumbersTheNextRow() {
    WindowFixture f;
    const QString one = f.MakeFolder("1"), two = f.MakeFolder("2"), three = f.MakeFolder("3");
    f.WriteSettings(("[Folders]\nFolder Name,0=" + one + "\nFolder Ticked,0=1\nFolder Name,1=" + two +
                     "\nFolder Name,3=" + three + "\nFolder Ticked,3=1\n[System]\nAuto Scan Maps=0\n")
                        .toUtf8());
    auto w = f.Window();
    QCOMPARE(Folders(*w)->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) QCOMPARE(Folders(*w)->topLevelItem(i)->text(1), QString::number(i + 1));
    QCOMPARE(Folders(*w)->topLevelItem(1)->checkState(0), Qt::Unchecked);
    f.record.folderAnswers = {f.MakeFolder("4")};
    Trigger(*w, "bAdd");
    QCOMPARE(Folders(*w)->topLevelItemCount(), 4);
    QCOMPARE(Folders(*w)->topLevelItem(3)->text(1), QStringLiteral("4"));
    QCOMPARE(Folders(*w)->topLevelItem(3)->checkState(0), Qt::Checked);
  }

  void DroppedFoldersAreAddedAndScanned() {
    WindowFixture f;
    auto w = f.Window();
    SetAutoScan(*w, true);
    w->show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(quiltor::testing::SamplesFolder()),
                  QUrl::fromLocalFile(quiltor::testing::SamplesFolder() + "/landmarks.csv")});
    QWidget* viewport = Folders(*w)->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    // Only the folder becomes a row; the file is not a map folder.
    QCOMPARE(Folders(*w)->topLevelItemCount(), 1);
    QCOMPARE(w->Catalogue().count(), 5);
  }

  // Only a change that alters the projection rebuilds thumbnails (and
  // clears the drawn region) when "Source Maps" is shown again.
  void OnlyProjectionChangesRebuildThumbnails_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("rebuilds");
    QTest::newRow("pixel scale") << "cMpp" << "250" << false;
    QTest::newRow("datum") << "cMapDatum" << "European 1950" << false;
    QTest::newRow("projection") << "cMapProjection" << "Transverse Mercator" << true;
    QTest::newRow("central meridian") << "cCentralMeridian" << "9" << true;
    QTest::newRow("zone") << "cZone" << "33" << true;
  }
  void OnlyProjectionChangesRebuildThumbnails() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, rebuilds);
    WindowFixture f;
    auto w = f.Window();
    QVERIFY(!w->RebuildNeeded());
    w->Region() = {1, 2, 3, 4};
    auto* pages = w->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentIndex(1);
    if (auto* edit = w->findChild<QLineEdit*>(field)) edit->setText(value);
    if (auto* list = w->findChild<QComboBox*>(field)) {
      QVERIFY(list->findText(value) >= 0);
      list->setCurrentText(value);
    }
    QCOMPARE(w->RebuildNeeded(), rebuilds);
    pages->setCurrentIndex(0);
    QVERIFY(!w->RebuildNeeded());
    QCOMPARE(w->Region().drawn(), !rebuilds);
    QVERIFY(w->SettingsMemoText().contains(w->findChild<QComboBox*>("cMapProjection")->currentText()));
  }

  void HelpOpensTheProgramsOwnPage() {
    WindowFixture f;
    auto w = f.Window();
    Trigger(*w, "bHelp");
    QCOMPARE(f.record.helpOpened.size(), 1);
    QVERIFY(f.record.helpOpened.first().endsWith("TrvQuiltor.html"));
    QVERIFY(QFile::exists(f.record.helpOpened.first()));
  }
};

QTEST_MAIN(FolderListTest)
#include "folder_list_test.moc"
