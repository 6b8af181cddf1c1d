#include "cli/output_guard.h"

#include <string>
#include <system_error>

#include "cli/command_failure.h"
#include "common/paths.h"

namespace quiltor::cli {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

void RequireOutputExtension(const std::filesystem::path& output, std::string_view extension) {
  if (!EqualsIgnoreCase(ExtensionPart(output.string()), extension))
    throw UsageError("-o must name a " + std::string(extension) + " file, not \"" + output.string() + "\"");
}

void RefuseOutputOverInput(const std::filesystem::path& input, const std::filesystem::path& output) {
  if (SameFile(input, output))
    throw UsageError("-o " + output.string() + " is the input image " + input.string() +
                     "; writing it would destroy the image being read");
}

}  // namespace quiltor::cli
