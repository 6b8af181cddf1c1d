// quiltor-cli datum: one point from one datum of the table to another, the
// conversion every calibration point and map corner goes through.
#include <cmath>
#include <ostream>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/datum_option.h"
#include "common/text.h"
#include "geodesy/datum.h"

namespace quiltor::cli {

int RunDatum(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  const Args args(argv, {"from", "to"}, {"json"});
  const auto fromName = args.Value("from");
  const auto toName = args.Value("to");
  if (!fromName || !toName) throw UsageError{"--from NAME and --to NAME are required"};
  if (args.Positionals().size() != 2) throw UsageError{"give LATITUDE LONGITUDE"};
  ReportDatumFileProblems(err, "datum");
  const std::int32_t from = DatumByName(*fromName, "from");
  const std::int32_t to = DatumByName(*toName, "to");
  const double latitude = FinitePositional(args, 0, "LATITUDE");
  const double longitude = FinitePositional(args, 1, "LONGITUDE");
  if (std::fabs(latitude) > 90.0) throw UsageError{"LATITUDE must lie within -90 to 90"};
  if (std::fabs(longitude) > 180.0) throw UsageError{"LONGITUDE must lie within -180 to 180"};

  double lat = latitude, lon = longitude;
  geodesy::Datums().ConvertDatum(from, to, lat, lon);
  const bool passedThrough = (latitude == 0.0 && longitude == 0.0) || std::fabs(latitude) > 85.0 ||
                             std::fabs(longitude) > 179.0;
  if (passedThrough && from != to) {
    err << "quiltor-cli datum: note: points beyond latitude 85 or longitude 179, and the point 0,0, are not "
           "shifted\n";
  }
  if (args.Flag("json")) {
    out << "{\"from\": " << JsonString(geodesy::Datums().Row(from).name)
        << ", \"to\": " << JsonString(geodesy::Datums().Row(to).name) << ", \"latitude\": " << JsonNumber(lat, 9)
        << ", \"longitude\": " << JsonNumber(lon, 9) << ", \"shifted\": " << (passedThrough || from == to ? "false" : "true")
        << "}\n";
  } else {
    out << FormatFixed(lat, 9) << " " << FormatFixed(lon, 9) << "\n";
  }
  return 0;
}

}  // namespace quiltor::cli
