#include "cli/interrupt_guard.h"

#include <iterator>
#include <stdexcept>

namespace quiltor::cli {

namespace {

// A signal handler can reach only static data; it holds the innermost live
// guard and does nothing but atomic stores.
std::atomic<InterruptGuard*> gActiveGuard{nullptr};
static_assert(std::atomic<InterruptGuard*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
  if (InterruptGuard* guard = gActiveGuard.load()) guard->Raise();
}

}  // namespace

InterruptGuard::InterruptGuard(std::initializer_list<std::atomic<bool>*> flags) {
  if (flags.size() > kMaxFlags) throw std::logic_error("InterruptGuard: too many stop flags");
  for (std::atomic<bool>* f : flags) flags_[flagCount_++] = f;
  outer_ = gActiveGuard.exchange(this);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptGuard::~InterruptGuard() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  gActiveGuard.store(outer_);
}

void InterruptGuard::Raise() {
  interrupted_.store(true);
  for (int i = 0; i < flagCount_; ++i) flags_[i]->store(true);
}

}  // namespace quiltor::cli
