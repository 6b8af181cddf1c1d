#include <ostream>

#include "cli/commands.h"

namespace quiltor::cli {

int RunVersion(const CommandArgs&, std::ostream& out, std::ostream&) {
  out << "quiltor-cli 0.1\n";
  return 0;
}

}  // namespace quiltor::cli
