// quiltor-cli project: one point through a destination projection, forward
// (latitude/longitude to easting/northing) or inverse. The options are the
// fields of the Destination Map tab and the set-up is built from them the
// way a create builds it.
#include <cmath>
#include <optional>
#include <ostream>

#include "cli/command_spec.h"
#include "cli/destination_options.h"
#include "cli/json_writer.h"
#include "cli/name_resolution.h"
#include "common/text.h"
#include "geodesy/datum.h"
#include "geodesy/destination_setup.h"

namespace quiltor::cli {

namespace {

int RunProject(const Args& args, const Console& io) {
  const geodesy::ProjectionCatalogue catalogue =
      geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, io.NoteSink());
  geodesy::DestinationSettings settings;
  ApplyDestinationOptions(args, CatalogueProjectionNames(catalogue), settings);
  const bool inverse = args.Flag("inverse");
  args.ExpectPositionals(2, inverse ? "give EASTING NORTHING" : "give LATITUDE LONGITUDE");
  const double first = args.PositionalNumber(0, inverse ? "EASTING" : "LATITUDE");
  const double second = args.PositionalNumber(1, inverse ? "NORTHING" : "LONGITUDE");
  if (!inverse) CheckLatLon(first, second, "LATITUDE", "LONGITUDE");

  const geodesy::DatumTable& datums = geodesy::Datums();
  const std::int32_t datum = datums.FindDatum(settings.mapDatum);
  const geodesy::Projection d = geodesy::ReadDestinationProjection(settings, catalogue, datum, io.NoteSink());
  if (!d.CanProject()) {
    throw Failed("PROJ refused the definition \"" +
                 geodesy::ProjectionDefinition(catalogue.Row(d.Row()), d.Setup(), datums.EllipsoidOfDatum(datum)) +
                 "\"");
  }

  double a = 0.0;
  double b = 0.0;
  bool projected = false;
  if (inverse) {
    if (const std::optional<geodesy::LatLon> p = d.Inverse({first, second})) {
      a = p->latitude;
      b = p->longitude;
      projected = true;
    }
  } else if (const std::optional<geodesy::EastingNorthing> p = d.Forward({first, second})) {
    a = p->easting;
    b = p->northing;
    projected = true;
  }
  if (!projected) throw Failed("the point cannot be projected");
  // Degrees get 9 decimals (about 0.1 mm), metres 4.
  const int decimals = inverse || d.Handle().IsGeographic() ? 9 : 4;
  if (args.Flag("json")) {
    JsonWriter json;
    json.BeginObject()
        .String("projection", d.DisplayName())
        .String("datum", datums.Row(datum).name)
        .String("definition", d.Handle().Definition())
        .Number(inverse ? "latitude" : "easting", a, decimals)
        .Number(inverse ? "longitude" : "northing", b, decimals)
        .EndObject();
    io.out << json.Text() << "\n";
  } else {
    io.out << FormatFixed(a, decimals) << " " << FormatFixed(b, decimals) << "\n";
  }
  return kExitSuccess;
}

}  // namespace

const CommandSpec& ProjectCommand() {
  static const CommandSpec spec{
      .name = "project",
      .summary = "project a point through a destination projection",
      .options = OptionList({
          DestinationOptions(true),
          {
              Flag("inverse", "take EASTING NORTHING and print LATITUDE LONGITUDE"),
              Flag("json", "print an object with projection, datum, definition and the two results"),
          },
      }),
      .forms = {"LATITUDE LONGITUDE", "--inverse EASTING NORTHING"},
      .description =
          "Projects latitude/longitude (decimal degrees on --datum, -90 to 90 and -180 to 180) to the\n"
          "easting and northing of the projection (metres, 4 decimals; for \"Latitude/Longitude\" degrees,\n"
          "9 decimals), or back with --inverse (latitude and longitude, 9 decimals). NAME is a display name\n"
          "of the projection list, for example \"(UTM) Universal Transverse Mercator\", or its start or\n"
          "short name (\"utm\"). The options are the fields of the Destination Map tab, used as a create\n"
          "uses them: only the fields of the chosen projection count, and UTM is completed from --zone\n"
          "(central meridian zone*6-183, no false origin). The projection is made on --datum. A\n"
          "\"MapProjections_Res.dat\" in the current folder replaces the built-in projection list. Give\n"
          "\"--\" before a negative number that could be read as an option.\n",
      .example = "quiltor-cli project --projection utm --zone 30 -- 51.5 -0.1",
      .exitCodes = "0 success, 1 the point or projection failed, 2 bad arguments or unknown names.",
      .run = RunProject,
  };
  return spec;
}

}  // namespace quiltor::cli
