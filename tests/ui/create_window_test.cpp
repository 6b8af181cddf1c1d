// Creating a map from the window: the refusals and their messages in order,
// a real create of the sample maps into a UTM 32 map with the progress
// window's stages and the create log, and an Abort during the rows.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <set>
#include <thread>

#include "ui/tfm_create.h"
#include "ui/tfm_open_maps.h"
#include "ui/ui_fixture.h"
#include "ui/window_host.h"

using quiltor::creation::CreateMode;
using quiltor::testing::WindowFixture;
using quiltor::ui::TpMain;

namespace {

// The window with the samples scanned, a UTM 32 destination and folders of
// its own for the temporary and the created files.
std::unique_ptr<TpMain> ReadyWindow(WindowFixture& f, const char* mpp = "80") {
  auto w = f.Window();
  w->findChild<QCheckBox*>("cAutoScanFolders")->setChecked(true);
  w->AddFolders({quiltor::testing::SamplesFolder()});
  w->findChild<QComboBox*>("cMapProjection")->setCurrentText("(UTM) Universal Transverse Mercator");
  w->findChild<QLineEdit*>("cZone")->setText("32");
  w->findChild<QLineEdit*>("cMpp")->setText(QString::fromLatin1(mpp));
  w->findChild<QLineEdit*>("cTempFolder")->setText(f.MakeFolder("temp"));
  w->findChild<QLineEdit*>("cDestFolder")->setText(f.MakeFolder("out"));
  f.record.saveAnswer = f.Path("out/merged.qtx2");
  return w;
}

void ChooseMenuItem(TpMain& w, const QString& item) {
  QMenu* menu = w.findChild<QToolButton*>("bCreateMap")->menu();
  for (QAction* action : menu->actions())
    if (action->text() == item) return action->trigger();
  QFAIL(qPrintable("no menu item " + item));
}

QStringList FilesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot); }

// Records "tick N" when the tick mark cTickN is shown.
class TickWatcher : public QObject {
 public:
  explicit TickWatcher(std::set<QString>& seen) : seen_(seen) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->objectName().startsWith(QLatin1String("cTick")))
      seen_.insert(QStringLiteral("tick ") + watched->objectName().mid(5));
    return false;
  }

 private:
  std::set<QString>& seen_;
};

}  // namespace

class CreateWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void RefusalsComeBeforeAnythingIsWritten_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("saveDialogs");
    QTest::newRow("region mode, no region") << "" << "From Drawn Region (All Maps)"
                                            << QStringList{"No map draw area selected."} << 0;
    QTest::newRow("region of selected maps, no region") << "" << "From Drawn Region (Selected Maps only)"
                                                        << QStringList{"No map draw area selected."} << 0;
    QTest::newRow("no map ticked") << "none" << "From Selected Maps" << QStringList{"No maps selected or in region."}
                                   << 0;
    QTest::newRow("temp folder missing") << "temp" << "From Selected Maps"
                                         << QStringList{"Temp File Folder is not valid"} << 0;
    QTest::newRow("destination folder missing") << "destination" << "From Selected Maps"
                                                << QStringList{"The Destination Folder is not valid"} << 1;
    QTest::newRow("save dialog cancelled") << "cancel" << "From Selected Maps" << QStringList{} << 1;
  }
  void RefusalsComeBeforeAnythingIsWritten() {
    QFETCH(QString, what);
    QFETCH(QString, item);
    QFETCH(QStringList, messages);
    QFETCH(int, saveDialogs);
    WindowFixture f;
    auto w = ReadyWindow(f);
    if (what == "none") w->findChild<QAction*>("bNone")->trigger();
    if (what == "temp") w->findChild<QLineEdit*>("cTempFolder")->setText(f.Path("gone"));
    if (what == "destination") f.record.saveAnswer = f.Path("gone/merged.qtx2");
    if (what == "cancel") f.record.saveAnswer.clear();
    ChooseMenuItem(*w, item);
    QCOMPARE(f.record.messages, messages);
    QCOMPARE(f.record.saveDialogs, saveDialogs);
    QVERIFY(f.record.modalTitles.isEmpty());
    QCOMPARE(w->ResultText(), QString());
    QCOMPARE(FilesIn(f.Path("out")), QStringList());
    QCOMPARE(FilesIn(f.Path("temp")), QStringList());
  }

  // The whole create: stages bold and ticked while the window's own event
  // loop keeps running, the tiled image and its ".map", the log.
  void CreatesTheSampleMapsIntoOneMap() {
    WindowFixture f;
    auto w = ReadyWindow(f);
    quiltor::ui::TfmCreate& progress = w->CreateWindow();
    std::set<QString> seen;
    int polls = 0;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!progress.isVisible()) return;
      ++polls;
      seen.insert(progress.windowTitle());
      for (int s = 1; s <= 3; ++s) {
        if (progress.StageBold(s)) seen.insert(QStringLiteral("bold %1").arg(s));
        if (progress.StageTicked(s)) seen.insert(QStringLiteral("tick %1").arg(s));
      }
      if (!progress.StatusText().isEmpty()) seen.insert(QStringLiteral("status"));
    });
    // A tick shown just before the window closes may fall between two polls:
    // the ticks are seen as they are shown.
    TickWatcher ticks(seen);
    for (int s = 1; s <= 3; ++s) progress.findChild<QWidget*>(QStringLiteral("cTick%1").arg(s))->installEventFilter(&ticks);
    watch.start();
    ChooseMenuItem(*w, "From Selected Maps");
    watch.stop();

    QVERIFY2(f.record.messages.isEmpty(), qPrintable(f.record.messages.join('\n')));
    QVERIFY(QFile::exists(f.Path("out/merged.qtx2")));
    QVERIFY(QFile::exists(f.Path("out/merged.map")));
    QCOMPARE(FilesIn(f.Path("temp")), QStringList());
    QCOMPARE(w->ResultText(), QStringLiteral("Creating map ... complete"));
    QVERIFY2(polls > 10, "the window's event loop ran while the create worked");
    for (const char* expected : {"Creating Map", "tick 1", "tick 2", "tick 3", "status"})
      QVERIFY2(seen.count(QLatin1String(expected)), expected);
    // After the run the progress window is back to regular labels without ticks.
    for (int s = 1; s <= 3; ++s) QVERIFY(!progress.StageBold(s) && !progress.StageTicked(s));

    QCOMPARE(f.record.modalTitles, QStringList{"Map Create Log"});
    const QStringList& log = f.record.modalLines;
    QCOMPARE(log.size(), 5);
    QVERIFY(log[0].startsWith("Start : "));
    QVERIFY(log[2].startsWith("End : "));
    QVERIFY(log[4].startsWith("Elapsed Time (hh:mm:ss) : 00:0"));
    // The "Action List" names the maps the create opened.
    const QStringList actions = w->ActionListWindow().Lines();
    QVERIFY(actions.filter("Opening Map : ").size() >= 1);
    // The map file names the tiled image and the destination projection.
    QFile map(f.Path("out/merged.map"));
    QVERIFY(map.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(map.readAll());
    QVERIFY(text.contains("merged.qtx2"));
    QVERIFY(text.contains("(UTM) Universal Transverse Mercator"));
  }

  void AbortDuringTheRowsLeavesNoFile() {
    WindowFixture f;
    auto w = ReadyWindow(f, "2");  // small pixels: many rows
    quiltor::ui::TfmCreate& progress = w->CreateWindow();
    QTimer watch;
    watch.setInterval(20);
    bool clicked = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (clicked || !progress.isVisible() || progress.StatusText().isEmpty()) return;
      clicked = true;
      progress.findChild<QPushButton*>("bAbort")->click();
    });
    watch.start();
    ChooseMenuItem(*w, "From Selected Maps");
    watch.stop();
    QVERIFY(clicked);
    QCOMPARE(w->ResultText(), QStringLiteral("Creating map ... Aborted"));
    QCOMPARE(FilesIn(f.Path("out")), QStringList());
    QCOMPARE(FilesIn(f.Path("temp")), QStringList());
    QVERIFY(f.record.modalTitles.isEmpty());  // no log after an abort
  }

  // Calls from a worker thread run on the main thread while the worker
  // waits: when a call returns, the window already shows its effect.
  void WorkerCallsRunOnTheMainThreadBeforeTheyReturn() {
    WindowFixture f;
    auto w = f.Window();
    QStringList messageThreads;
    quiltor::ui::WindowHost::Windows windows{w.get(),
                                             [&](const QString& text) {
                                               messageThreads.append(
                                                   QThread::currentThread() == w->thread() ? "main" : "worker");
                                               messageThreads.append(text);
                                             },
                                             &w->ThumbnailWindow(), &w->CreateWindow(), &w->ActionListWindow(),
                                             &w->MapErrorsWindow()};
    quiltor::ui::WindowHost host(windows);
    std::atomic<bool> done{false};
    QStringList seenByWorker;
    std::thread worker([&] {
      host.StageStarted(quiltor::Stage::Sharpening);
      seenByWorker.append(w->CreateWindow().StageBold(2) ? "bold" : "regular");
      host.StageFinished(quiltor::Stage::Sharpening);
      seenByWorker.append(w->CreateWindow().StageTicked(2) ? "ticked" : "not ticked");
      host.AppendActionLine("Opening Map : a.png");
      seenByWorker.append(w->ActionListWindow().Lines().join(""));
      host.ShowMessage("hello");
      done = true;
    });
    QTRY_VERIFY(done.load());
    worker.join();
    QCOMPARE(seenByWorker, (QStringList{"bold", "ticked", "Opening Map : a.png"}));
    QCOMPARE(messageThreads, (QStringList{"main", "hello"}));
  }
};

QTEST_MAIN(CreateWindowTest)
#include "create_window_test.moc"
