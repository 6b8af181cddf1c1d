#include "cli/commands.h"

namespace quiltor::cli {

// Each command lives in its own cmd_*.cpp; this table is the only place that
// lists them.
int RunVersion(const CommandArgs& args, std::ostream& out, std::ostream& err);

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"version", "print the program version", RunVersion, "usage: quiltor-cli version\n"},
  };
  return commands;
}

}  // namespace quiltor::cli
