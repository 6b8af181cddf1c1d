#pragma once
// The modal wait of the progress windows: a start timer runs the start
// routine (which starts a worker thread), a watch timer polls the worker's
// done flag every 500 ms and closes the window. The main thread stays in
// the window's event loop the whole time, so the program repaints and the
// worker's marshalled calls run.
#include <QDialog>
#include <QTimer>
#include <functional>

namespace quiltor::ui {

class WorkerDialog : public QDialog {
  Q_OBJECT

 public:
  WorkerDialog(QWidget* parent, int startDelayMs);

  // Shows the window modally; `start` runs from the start timer, then the
  // window closes once `done` answers true. Answers when the window has closed.
  void RunModal(const std::function<void()>& start, const std::function<bool()>& done);

 protected:
  // Called by the watch timer just before the window closes.
  virtual void WorkerFinished() {}
  // The window closes only through the watch timer: Escape and the close
  // button do not end the wait while a worker may still run.
  void reject() override {}

 private:
  QTimer startTimer_;
  QTimer watchTimer_;
  std::function<void()> start_;
  std::function<bool()> done_;
};

}  // namespace quiltor::ui
