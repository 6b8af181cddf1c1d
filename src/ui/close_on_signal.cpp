#include "ui/close_on_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace quiltor::ui {

namespace {

// The write end of the pipe of the one CloseOnSignal: a signal handler can
// reach nothing else.
volatile std::sig_atomic_t gSignalPipe = -1;

extern "C" void WriteSignalByte(int signal) {
  const char byte = static_cast<char>(signal);
  if (gSignalPipe >= 0) [[maybe_unused]] const ssize_t n = ::write(gSignalPipe, &byte, 1);
}

void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

CloseOnSignal::CloseOnSignal(QWidget* window) : QObject(window), window_(window) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  gSignalPipe = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    window_->close();
  });
  Handle(SIGTERM, WriteSignalByte);
  Handle(SIGINT, WriteSignalByte);
}

CloseOnSignal::~CloseOnSignal() {
  if (pipe_[0] < 0) return;
  Handle(SIGTERM, SIG_DFL);
  Handle(SIGINT, SIG_DFL);
  gSignalPipe = -1;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

}  // namespace quiltor::ui
