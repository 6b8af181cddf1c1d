#include <ostream>

#include "cli/command_spec.h"

namespace quiltor::cli {

const CommandSpec& VersionCommand() {
  static const CommandSpec spec{
      .name = "version",
      .summary = "print the program version",
      .run = [](const Args&, const Console& io) {
        io.out << "quiltor-cli 0.1\n";
        return kExitSuccess;
      },
  };
  return spec;
}

}  // namespace quiltor::cli
