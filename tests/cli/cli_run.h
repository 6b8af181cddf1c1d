#pragma once
// One command line run in-process through the program's entry point.
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace quiltor::cli {

struct CliRun {
  int code;
  std::string out, err;
};

inline CliRun Cli(const std::vector<std::string>& argv) {
  std::ostringstream out, err;
  const int code = RunCommandLine(argv, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace quiltor::cli
