// quiltor-cli: every capability of the program, headless.
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"

int main(int argc, char** argv) {
  return quiltor::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
