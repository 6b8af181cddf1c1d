// quiltor-cli: every capability of the program, headless.
#include <iostream>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: quiltor-cli COMMAND [options]\n\ncommands:\n";
  for (const auto& c : quiltor::cli::Commands()) {
    std::string name = c.name;
    name.resize(12, ' ');
    out << "  " << name << c.summary << "\n";
  }
  out << "\n\"quiltor-cli COMMAND --help\" explains a command's options.\n"
         "Exit codes: 0 success, 1 failure, 2 bad arguments.\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty() || all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
    PrintUsage(all.empty() ? std::cerr : std::cout);
    return all.empty() ? 2 : 0;
  }
  for (const auto& c : quiltor::cli::Commands()) {
    if (all[0] != c.name) continue;
    const std::vector<std::string> rest(all.begin() + 1, all.end());
    for (const auto& a : rest) {
      if (a == "--help" || a == "-h") {
        std::cout << c.help;
        return 0;
      }
    }
    try {
      return c.run(rest, std::cout, std::cerr);
    } catch (const quiltor::cli::UsageError& e) {
      std::cerr << "quiltor-cli " << c.name << ": " << e.message << "\n";
      return 2;
    } catch (const std::exception& e) {
      std::cerr << "quiltor-cli " << c.name << ": " << e.what() << "\n";
      return 1;
    }
  }
  std::cerr << "quiltor-cli: unknown command \"" << all[0] << "\"\n";
  PrintUsage(std::cerr);
  return 2;
}
