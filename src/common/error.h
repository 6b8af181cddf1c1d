#pragma once
// The one exception type of the core. Failures inside a subsystem are thrown
// as QuiltorError and caught at the level the behaviour names (per map, per
// pixel, per tile), where they become the fixed messages and result codes.
#include <stdexcept>
#include <string>

namespace quiltor {

class QuiltorError : public std::runtime_error {
 public:
  explicit QuiltorError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quiltor
