#pragma once
// The fields of the Destination Map tab as command-line options, for every
// command that makes a destination projection (create, project, ...): the
// projection, its eight parameter fields and the datum. Only the fields the
// chosen projection uses count, as on the tab.
#include <string>
#include <vector>

#include "cli/command_spec.h"
#include "geodesy/destination_setup.h"

namespace quiltor::cli {

// The options, --projection required or not.
std::vector<OptionSpec> DestinationOptions(bool projectionRequired);

// Writes the options given over `settings`: the projection resolved among
// `projectionNames`, the datum in the datum table (both by ResolveName), each
// field's text as typed (already checked to be a number).
void ApplyDestinationOptions(const Args& args, const std::vector<std::string>& projectionNames,
                             geodesy::DestinationSettings& settings);

}  // namespace quiltor::cli
