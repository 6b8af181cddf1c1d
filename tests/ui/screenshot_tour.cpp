// screenshot_tour: shows the program's windows on the sample maps and
// saves a picture of the screen at each step, for people to look at (run
// by scripts/screenshots.sh under Xvfb). The sample folder is scanned with
// thumbnails, the destination is UTM zone 32, and a create is run with its
// progress window and log.
//
// usage: screenshot_tour OUTPUT_FOLDER SAMPLES_FOLDER WORK_FOLDER
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "ui/tfm_create.h"
#include "ui/tfm_map_errors.h"
#include "ui/tp_main.h"

namespace {

QString gOutput;

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void Shoot(const char* name) {
  const QString file = gOutput + "/" + QString::fromLatin1(name) + ".png";
  if (!QGuiApplication::primaryScreen()->grabWindow(0).save(file)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
  std::printf("%s\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: screenshot_tour OUTPUT_FOLDER SAMPLES_FOLDER WORK_FOLDER\n");
    return 2;
  }
  gOutput = args[1];
  const QString samples = args[2];
  const QDir work(args[3]);
  work.mkpath("temp");
  work.mkpath("out");
  QDir().mkpath(gOutput);

  quiltor::ui::TpMain window((work.filePath("quiltor.ini")).toStdString());
  quiltor::ui::UserDialogs dialogs = quiltor::ui::DesktopDialogs(&window);
  dialogs.chooseSaveFile = [&](const QString&) { return work.filePath("out/samples-utm32.qtx2"); };
  // The create log is shown, photographed and closed again.
  dialogs.showModal = [](QDialog& shown) {
    shown.show();
    Settle(400);
    Shoot("5-create-log");
    shown.close();
  };
  window.SetDialogs(dialogs);

  window.findChild<QComboBox*>("cMapProjection")->setCurrentText("(UTM) Universal Transverse Mercator");
  window.findChild<QLineEdit*>("cZone")->setText("32");
  window.findChild<QLineEdit*>("cMpp")->setText("80");
  window.findChild<QLineEdit*>("cTempFolder")->setText(work.filePath("temp"));
  window.findChild<QLineEdit*>("cDestFolder")->setText(work.filePath("out"));
  window.findChild<QCheckBox*>("cUseThumbnails")->setChecked(true);
  window.findChild<QCheckBox*>("cShowNames")->setChecked(true);
  window.findChild<QCheckBox*>("cAutoScanFolders")->setChecked(true);
  window.move(0, 0);
  window.resize(1000, 680);
  window.show();
  Settle(500);
  window.AddFolders({samples});
  auto* pages = window.findChild<QTabWidget*>("PageControl1");
  pages->setCurrentIndex(1);
  pages->setCurrentIndex(0);  // the destination was set before the scan: nothing to rebuild
  window.findChild<QAction*>("bShowAllExtents")->trigger();
  Settle(800);
  Shoot("1-source-maps");
  pages->setCurrentIndex(1);
  Settle(300);
  Shoot("2-destination-map");
  pages->setCurrentIndex(2);
  Settle(300);
  Shoot("3-configure");
  pages->setCurrentIndex(0);
  Settle(300);

  // The progress window is photographed once the rows are under way.
  quiltor::ui::TfmCreate& progress = window.CreateWindow();
  bool shot = false;
  QTimer watch;
  watch.setInterval(30);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (shot || !progress.isVisible() || progress.StatusText().isEmpty()) return;
    shot = true;
    Shoot("4-create-progress");
  });
  watch.start();
  window.StartCreate(quiltor::creation::CreateMode::SelectedMaps);
  watch.stop();
  Settle(300);
  Shoot("6-after-create");
  std::printf("result: %s\n", qPrintable(window.ResultText()));
  return window.ResultText().endsWith("complete") ? 0 : 1;
}
