#pragma once
// The commands of quiltor-cli and the one entry point that runs them: parse
// against the command's spec, answer --help from it, run, and turn a
// CommandFailure (or any other exception) into "quiltor-cli NAME: reason" on
// stderr and the exit code: 0 success, 1 failure, 2 bad arguments.
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command_spec.h"

namespace quiltor::cli {

// The commands this build has, in the order --help lists them.
const std::vector<const CommandSpec*>& Commands();

// Runs one command line (the arguments after the program name) in-process.
int RunCommandLine(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

}  // namespace quiltor::cli
