// quiltor: the desktop program.
#include <QApplication>

#include "ui/tp_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quiltor for Tervane"));
  quiltor::ui::TpMain window;
  window.show();
  return QApplication::exec();
}
