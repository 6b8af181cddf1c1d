#pragma once
// The one exception type of the core. Failures inside a subsystem are thrown
// as QuiltorError and caught at the level the behaviour names (per map, per
// pixel, per tile), where they become the fixed messages and result codes.
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace quiltor {

class QuiltorError : public std::runtime_error {
 public:
  // `reason`, when given, says what went wrong below a fixed message such as
  // "Error Reading File!": a window shows the message alone, the command
  // line and the logs show both (WithReason).
  explicit QuiltorError(const std::string& message, std::string reason = {})
      : std::runtime_error(message), reason_(std::move(reason)) {}
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// The error's message, followed by its reason in parentheses when it has one.
inline std::string WithReason(const std::exception& e) {
  const auto* error = dynamic_cast<const QuiltorError*>(&e);
  if (error == nullptr || error->Reason().empty()) return e.what();
  return std::string(e.what()) + " (" + error->Reason() + ")";
}

}  // namespace quiltor
