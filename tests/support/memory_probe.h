#pragma once
// Resident memory of one piece of work, measured inside a death-test child
// (EXPECT_EXIT): the child clears its high-water mark, does the work and
// exits 0 when its peak stayed within a budget. Showing that a small
// damaged file costs little this way needs no timing and no cap that a
// sanitizer build would trip over.
#include <charconv>
#include <cstddef>
#include <fstream>
#include <string>

namespace quiltor::testing {

// A field of /proc/self/status in bytes ("VmHWM", "VmRSS"); 0 when unknown.
inline std::size_t StatusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) != 0) continue;
    const std::size_t digits = line.find_first_of("0123456789");
    std::size_t kib = 0;
    if (digits != std::string::npos) std::from_chars(line.data() + digits, line.data() + line.size(), kib);
    return kib * 1024;
  }
  return 0;
}

// Runs `work` and answers whether the resident peak rose by at most
// `budget` bytes over the resident size before it.
template <typename Work>
bool PeakWithin(std::size_t budget, Work&& work) {
  std::ofstream("/proc/self/clear_refs") << "5";  // the high-water mark restarts at the current size
  const std::size_t before = StatusBytes("VmRSS");
  work();
  return StatusBytes("VmHWM") <= before + budget;
}

}  // namespace quiltor::testing
