#pragma once
// SIGTERM (a desktop session logging out) and SIGINT (Ctrl-C in a terminal)
// close the main window through its normal close path, so the settings are
// saved. The handler only writes a byte to a pipe; the main thread reads it
// and closes the window.
#include <QObject>

class QSocketNotifier;
class QWidget;

namespace quiltor::ui {

class CloseOnSignal : public QObject {
  Q_OBJECT

 public:
  // One instance at a time: the signal handler needs a process-wide pipe.
  explicit CloseOnSignal(QWidget* window);
  ~CloseOnSignal() override;
  CloseOnSignal(const CloseOnSignal&) = delete;
  CloseOnSignal& operator=(const CloseOnSignal&) = delete;

 private:
  QWidget* window_;
  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace quiltor::ui
