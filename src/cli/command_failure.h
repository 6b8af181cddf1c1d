#pragma once
// The one way a command ends in failure: it throws a CommandFailure carrying
// the exit code and the reason, and the dispatcher prints
// "quiltor-cli COMMAND: reason" on stderr and exits with that code.
#include <stdexcept>
#include <string>

namespace quiltor::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;        // the work could not be done
inline constexpr int kExitBadArguments = 2;  // the command line asked for something impossible

class CommandFailure : public std::runtime_error {
 public:
  CommandFailure(int exitCode, const std::string& reason) : std::runtime_error(reason), exitCode_(exitCode) {}
  int ExitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

// Bad arguments: an unknown option, a malformed value, a missing operand.
inline CommandFailure UsageError(const std::string& reason) { return CommandFailure(kExitBadArguments, reason); }

// The arguments were fine but the work failed (an unreadable file, ...).
inline CommandFailure Failed(const std::string& reason) { return CommandFailure(kExitFailed, reason); }

}  // namespace quiltor::cli
