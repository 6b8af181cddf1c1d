#pragma once
// While an InterruptGuard lives, Ctrl-C (SIGINT), SIGTERM and SIGHUP do not
// end the process: they raise the given stop flags, the ones the window's
// Abort button raises, so that long work stops at its next check and cleans
// up its unfinished output and temporary files. The previous handlers come
// back when the guard goes out of scope, also when the work throws.
#include <atomic>
#include <csignal>
#include <initializer_list>
#include <iterator>

namespace quiltor::cli {

class InterruptGuard {
 public:
  static constexpr int kMaxFlags = 4;

  explicit InterruptGuard(std::initializer_list<std::atomic<bool>*> flags);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // True once one of the signals arrived while this guard was active.
  bool Interrupted() const { return interrupted_.load(); }

  // What the handler does: raise every flag of the active guard.
  void Raise();

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

  std::atomic<bool>* flags_[kMaxFlags] = {};
  int flagCount_ = 0;
  std::atomic<bool> interrupted_{false};
  InterruptGuard* outer_ = nullptr;  // the guard this one stands in for, restored at its end
  struct sigaction previous_[std::size(kSignals)] = {};
};

}  // namespace quiltor::cli
