#pragma once
// Peak resident memory of one piece of work, measured in a fresh process:
// the benchmark program runs itself again (fork and exec) with variables in
// its environment saying what to do, and the child sends its own high-water
// mark (VmHWM of /proc/self/status) back through a pipe. The child's
// ru_maxrss would not do: Linux carries the high-water mark of the parent
// across fork and exec, so a child forked from a benchmark process that had
// grown would report the parent's figure instead of its own.
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace quiltor::bench {

inline constexpr const char* kPeakPipeVariable = "QUILTOR_BENCH_PEAK_PIPE";

// This process's resident high-water mark in KiB; -1 when unknown.
inline long OwnPeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) != 0) continue;
    const std::size_t digits = line.find_first_of("0123456789");
    long kib = -1;
    if (digits != std::string::npos) std::from_chars(line.data() + digits, line.data() + line.size(), kib);
    return kib;
  }
  return -1;
}

// In a child started by ChildPeakKiB: sends the peak to the parent. Does
// nothing in a process started any other way.
inline void ReportPeakToParent() {
  const char* pipeText = std::getenv(kPeakPipeVariable);
  if (pipeText == nullptr) return;
  const std::string text(pipeText);
  int fd = -1;
  if (std::from_chars(text.data(), text.data() + text.size(), fd).ec != std::errc{}) return;
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, OwnPeakKiB()).ptr;
  (void)!::write(fd, buffer, static_cast<std::size_t>(end - buffer));
}

// Runs this program again with `environment` added and returns the child's
// peak in KiB, or -1 when the child failed or reported nothing.
inline long ChildPeakKiB(const std::vector<std::pair<std::string, std::string>>& environment) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    char fdText[16];
    *std::to_chars(fdText, fdText + sizeof fdText - 1, fds[1]).ptr = '\0';
    ::setenv(kPeakPipeVariable, fdText, 1);
    ::execl("/proc/self/exe", "benchmark-child", static_cast<char*>(nullptr));
    _exit(2);
  }
  ::close(fds[1]);
  if (child < 0) {
    ::close(fds[0]);
    return -1;
  }
  std::string text;
  char buffer[64];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  long kib = -1;
  if (std::from_chars(text.data(), text.data() + text.size(), kib).ec != std::errc{}) return -1;
  return kib;
}

}  // namespace quiltor::bench
