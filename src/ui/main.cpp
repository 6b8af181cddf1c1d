// quiltor: the desktop program. Folders given on the command line are added
// to the folder list as "Add" adds them.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QThread>

#include "raster/formats/plugin_library.h"
#include "settings/settings_file.h"
#include "ui/close_on_signal.h"
#include "ui/tp_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quiltor for Tervane"));
  QApplication::setDesktopFileName(QStringLiteral("quiltor"));
  // A missing decoder library is told in a message box, on the window's
  // thread even when a worker met the first file of its kind.
  quiltor::PluginMessageScope pluginMessages([](const std::string& text) {
    const QString message = QString::fromStdString(text);
    const auto show = [message] { QMessageBox::warning(nullptr, QApplication::applicationName(), message); };
    if (QThread::currentThread() == qApp->thread()) {
      show();
    } else {
      QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
    }
  });
  quiltor::LoadStartupDecoders();
  quiltor::ui::TpMain window(quiltor::SettingsFileLocation());
  const quiltor::ui::CloseOnSignal closeOnSignal(&window);
  window.show();
  window.AddFolders(QApplication::arguments().mid(1));
  return QApplication::exec();
}
