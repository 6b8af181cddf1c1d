#include "cli/interrupt_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quiltor::cli {
namespace {

void (*CurrentHandler(int signal))(int) {
  struct sigaction now {};
  sigaction(signal, nullptr, &now);
  return now.sa_handler;
}

TEST(InterruptGuard, EveryStopSignalRaisesTheFlags) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    std::atomic<bool> scan{false}, create{false};
    {
      const InterruptGuard guard({&scan, &create});
      ASSERT_EQ(std::raise(signal), 0);
      EXPECT_TRUE(guard.Interrupted()) << signal;
    }
    EXPECT_TRUE(scan.load()) << signal;
    EXPECT_TRUE(create.load()) << signal;
  }
}

TEST(InterruptGuard, RestoresTheHandlersAlsoWhenTheWorkThrows) {
  const auto ignore = [](int) {};
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, +ignore);
  std::atomic<bool> flag{false};
  try {
    const InterruptGuard guard({&flag});
    EXPECT_NE(CurrentHandler(SIGTERM), +ignore);
    throw std::runtime_error("work failed");
  } catch (const std::runtime_error&) {
  }
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EQ(CurrentHandler(signal), +ignore) << signal;
    std::signal(signal, SIG_DFL);
  }
}

TEST(InterruptGuard, AnInnerGuardHandsBackToTheOuterOne) {
  std::atomic<bool> outerFlag{false}, innerFlag{false};
  const InterruptGuard outer({&outerFlag});
  {
    const InterruptGuard inner({&innerFlag});
    std::raise(SIGINT);
  }
  EXPECT_TRUE(innerFlag.load());
  EXPECT_FALSE(outerFlag.load());
  std::raise(SIGINT);
  EXPECT_TRUE(outerFlag.load());
}

}  // namespace
}  // namespace quiltor::cli
