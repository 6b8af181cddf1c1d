// quiltor: the desktop program. Folders given on the command line are added
// to the folder list as "Add" adds them.
#include <QApplication>
#include <QStringList>

#include "settings/settings_file.h"
#include "ui/close_on_signal.h"
#include "ui/tp_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quiltor for Tervane"));
  QApplication::setDesktopFileName(QStringLiteral("quiltor"));
  quiltor::ui::TpMain window(quiltor::SettingsFileLocation());
  const quiltor::ui::CloseOnSignal closeOnSignal(&window);
  window.show();
  window.AddFolders(QApplication::arguments().mid(1));
  return QApplication::exec();
}
