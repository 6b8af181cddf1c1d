#include "ui/worker_dialog.h"

namespace quiltor::ui {

namespace {
constexpr int kWatchIntervalMs = 500;
}

WorkerDialog::WorkerDialog(QWidget* parent, int startDelayMs) : QDialog(parent) {
  startTimer_.setSingleShot(true);
  startTimer_.setInterval(startDelayMs);
  watchTimer_.setInterval(kWatchIntervalMs);
  connect(&startTimer_, &QTimer::timeout, this, [this] {
    start_();
    watchTimer_.start();
  });
  connect(&watchTimer_, &QTimer::timeout, this, [this] {
    if (!done_()) return;
    watchTimer_.stop();
    WorkerFinished();
    done(QDialog::Accepted);
  });
}

void WorkerDialog::RunModal(const std::function<void()>& start, const std::function<bool()>& done) {
  start_ = start;
  done_ = done;
  startTimer_.start();
  exec();
  start_ = nullptr;
  done_ = nullptr;
}

}  // namespace quiltor::ui
