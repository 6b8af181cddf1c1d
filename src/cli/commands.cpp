#include "cli/commands.h"

namespace quiltor::cli {

// Each command lives in its own cmd_*.cpp; this table is the only place that
// lists them.
int RunVersion(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunProject(const CommandArgs& args, std::ostream& out, std::ostream& err);

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"version", "print the program version", RunVersion, "usage: quiltor-cli version\n"},
      {"project", "project a point through a destination projection", RunProject,
       "usage: quiltor-cli project --projection NAME [--zone N] [--lat-origin D] [--central-meridian D]\n"
       "         [--lat1 D] [--lat2 D] [--scale-factor K] [--false-easting M] [--false-northing M]\n"
       "         [--datum NAME] [--json] LATITUDE LONGITUDE\n"
       "       quiltor-cli project --projection NAME [options] --inverse EASTING NORTHING\n"
       "\n"
       "Projects latitude/longitude (decimal degrees on --datum) to the easting and northing of the\n"
       "projection (metres, 4 decimals; for \"Latitude/Longitude\" degrees, 9 decimals), or back with\n"
       "--inverse (latitude and longitude, 9 decimals). NAME is a display name of the projection list,\n"
       "for example \"(UTM) Universal Transverse Mercator\". The options are the fields of the\n"
       "Destination Map tab, used as a create uses them: only the fields of the chosen projection\n"
       "count, and UTM is completed from --zone (central meridian zone*6-183, no false origin).\n"
       "The projection is made on --datum (default \"WGS 84\"). A \"MapProjections_Res.dat\" in the\n"
       "current folder replaces the built-in projection list.\n"
       "Exit codes: 0 success, 1 the point or projection failed, 2 bad arguments or unknown names.\n"},
  };
  return commands;
}

}  // namespace quiltor::cli
