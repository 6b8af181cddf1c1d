// quiltor-cli datum: one point from one datum of the table to another, the
// conversion every calibration point and map corner goes through.
#include <cmath>
#include <ostream>

#include "cli/command_spec.h"
#include "cli/json_writer.h"
#include "cli/name_resolution.h"
#include "common/text.h"
#include "geodesy/datum.h"

namespace quiltor::cli {

namespace {

int RunDatum(const Args& args, const Console& io) {
  args.ExpectPositionals(2, "give LATITUDE LONGITUDE");
  NoteDatumFileProblems(io);
  const std::int32_t from = ResolveDatum(*args.Value("from"), "from");
  const std::int32_t to = ResolveDatum(*args.Value("to"), "to");
  const double latitude = args.PositionalNumber(0, "LATITUDE");
  const double longitude = args.PositionalNumber(1, "LONGITUDE");
  if (std::fabs(latitude) > 90.0) throw UsageError("LATITUDE must lie within -90 to 90");
  if (std::fabs(longitude) > 180.0) throw UsageError("LONGITUDE must lie within -180 to 180");

  double lat = latitude, lon = longitude;
  const geodesy::DatumTable& datums = geodesy::Datums();
  datums.ConvertDatum(from, to, lat, lon);
  const bool passedThrough = (latitude == 0.0 && longitude == 0.0) || std::fabs(latitude) > 85.0 ||
                             std::fabs(longitude) > 179.0;
  if (passedThrough && from != to)
    io.Note("note: points beyond latitude 85 or longitude 179, and the point 0,0, are not shifted");
  if (args.Flag("json")) {
    JsonWriter json;
    json.BeginObject()
        .String("from", datums.Row(from).name)
        .String("to", datums.Row(to).name)
        .Number("latitude", lat, 9)
        .Number("longitude", lon, 9)
        .Bool("shifted", !(passedThrough || from == to))
        .EndObject();
    io.out << json.Text() << "\n";
  } else {
    io.out << FormatFixed(lat, 9) << " " << FormatFixed(lon, 9) << "\n";
  }
  return kExitSuccess;
}

}  // namespace

const CommandSpec& DatumCommand() {
  static const CommandSpec spec{
      .name = "datum",
      .summary = "convert a point from one datum to another",
      .options =
          {
              Text("from", "NAME", "the datum of the point").Required(),
              Text("to", "NAME", "the datum to convert it to").Required(),
              Flag("json", "print an object with from, to, latitude, longitude and shifted"),
          },
      .forms = {"LATITUDE LONGITUDE"},
      .description =
          "Converts latitude/longitude (decimal degrees, north and east positive) from datum --from to\n"
          "datum --to through WGS 84 with each datum's three-parameter shift, as calibration points and\n"
          "map corners are converted. Prints LATITUDE LONGITUDE (9 decimals). NAME is a datum name of\n"
          "the table, e.g. \"Ord Srvy Grt Britn\", \"European 1950\", \"NAD27 CONUS\", matched whole ignoring\n"
          "case or by the one name that starts with it; a \"datums.dat\" beside the program or in\n"
          "~/.config/quiltor adds up to 10 datums. Points beyond latitude 85 or longitude 179, and the\n"
          "point 0,0, are passed through unshifted.\n",
      .example = "quiltor-cli datum --from \"Ord Srvy Grt Britn\" --to \"WGS 84\" 51.5 -0.1",
      .exitCodes = "0 success, 2 bad arguments or an unknown datum (close names are listed).",
      .run = RunDatum,
  };
  return spec;
}

}  // namespace quiltor::cli
