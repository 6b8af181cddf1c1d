#pragma once
// One function per quiltor-cli command. Each takes the arguments after the
// command name and returns the exit code: 0 success, 1 failure, 2 bad
// arguments. Results go to `out`, reasons to `err`.
#include <iosfwd>
#include <string>
#include <vector>

namespace quiltor::cli {

using CommandArgs = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;
  int (*run)(const CommandArgs& args, std::ostream& out, std::ostream& err);
  const char* help;  // the text of "quiltor-cli NAME --help"
};

// The commands this build has, in the order --help lists them.
const std::vector<Command>& Commands();

}  // namespace quiltor::cli
