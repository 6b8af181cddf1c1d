// quiltor-cli project: one point through a destination projection, forward
// (latitude/longitude to easting/northing) or inverse. The options are the
// fields of the Destination Map tab and the set-up is built from them the
// way a create builds it.
#include <algorithm>
#include <cmath>
#include <ostream>

#include "cli/args.h"
#include "cli/commands.h"
#include "common/text.h"
#include "geodesy/destination_setup.h"

namespace quiltor::cli {

namespace {

using geodesy::ParameterField;

struct FieldOption {
  const char* option;
  ParameterField field;
};

constexpr FieldOption kFieldOptions[] = {
    {"zone", ParameterField::Zone},
    {"lat-origin", ParameterField::LatitudeOrigin},
    {"central-meridian", ParameterField::CentralMeridian},
    {"lat1", ParameterField::Latitude1},
    {"lat2", ParameterField::Latitude2},
    {"scale-factor", ParameterField::ScaleFactor},
    {"false-easting", ParameterField::FalseEasting},
    {"false-northing", ParameterField::FalseNorthing},
};

// Catalogue names closest to what was typed: those containing it (ignoring
// case) first, then by edit distance.
std::vector<std::string> CloseProjectionNames(const geodesy::ProjectionCatalogue& catalogue, const std::string& name) {
  const std::string wanted = ToUpperAscii(name);
  std::vector<std::pair<std::size_t, std::string>> ranked;
  for (const auto& row : catalogue.Rows()) {
    const std::string upper = ToUpperAscii(row.ProjCode);
    const bool contains = !wanted.empty() && upper.find(wanted) != std::string::npos;
    ranked.emplace_back(contains ? 0 : 1 + EditDistance(wanted, upper), row.ProjCode);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> names;
  for (std::size_t i = 0; i < ranked.size() && i < 5; ++i) names.push_back(ranked[i].second);
  return names;
}

std::string QuotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const auto& n : names) list += "\n  \"" + n + "\"";
  return list;
}

geodesy::DestinationSettings SettingsFromOptions(const Args& args, const std::string& projection) {
  geodesy::DestinationSettings settings;
  settings.mapProjection = projection;
  for (const FieldOption& f : kFieldOptions) {
    if (!args.Has(f.option)) continue;
    args.Number(f.option);  // refuses a value that is not a number
    settings.FieldText(f.field) = *args.Value(f.option);
  }
  return settings;
}

}  // namespace

int RunProject(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  std::set<std::string> valued = {"projection", "datum"};
  for (const FieldOption& f : kFieldOptions) valued.insert(f.option);
  const Args args(argv, valued, {"inverse", "json"});

  const auto projection = args.Value("projection");
  if (!projection) throw UsageError{"--projection NAME is required"};
  const auto report = [&](const std::string& message) { err << "quiltor-cli project: " << message << "\n"; };
  const geodesy::ProjectionCatalogue catalogue = geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, report);
  bool known = false;
  for (const auto& row : catalogue.Rows()) known = known || row.ProjCode == *projection;
  if (!known) {
    throw UsageError{"unknown projection \"" + *projection + "\"; close names:" +
                     QuotedList(CloseProjectionNames(catalogue, *projection))};
  }
  const std::string datumName = args.Value("datum").value_or("WGS 84");
  const geodesy::DatumTable& datums = geodesy::Datums();
  if (!datums.HasDatum(datumName)) {
    throw UsageError{"unknown datum \"" + datumName + "\"; close names:" + QuotedList(datums.CloseNames(datumName, 5))};
  }
  const bool inverse = args.Flag("inverse");
  if (args.Positionals().size() != 2) {
    throw UsageError{inverse ? "give EASTING NORTHING" : "give LATITUDE LONGITUDE"};
  }
  const double first = args.PositionalNumber(0, inverse ? "EASTING" : "LATITUDE");
  const double second = args.PositionalNumber(1, inverse ? "NORTHING" : "LONGITUDE");

  const std::int32_t datum = datums.FindDatum(datumName);
  const geodesy::DestinationSetup d =
      geodesy::ReadDestinationSetup(SettingsFromOptions(args, *projection), catalogue, datum, report);
  const bool swiss = d.shortName == "(SUI)";
  if (!d.handle && !swiss) {
    err << "quiltor-cli project: PROJ refused the definition \""
        << geodesy::ProjectionDefinition(catalogue.Row(d.row), d.setup, datums.EllipsoidOfDatum(datum)) << "\"\n";
    return 1;
  }

  double a = 0.0;
  double b = 0.0;
  if (inverse) {
    const geodesy::LatLon p = geodesy::ProjectInverse(d.handle, d.shortName, first, second, d.setup, datum);
    a = p.latitude;
    b = p.longitude;
  } else {
    const geodesy::EastingNorthing p = geodesy::ProjectForward(d.handle, d.shortName, first, second, d.setup, datum);
    a = p.easting;
    b = p.northing;
  }
  if (!std::isfinite(a) || !std::isfinite(b)) {
    err << "quiltor-cli project: the point cannot be projected\n";
    return 1;
  }
  // Degrees get 9 decimals (about 0.1 mm), metres 4.
  const int decimals = inverse || d.handle.IsGeographic() ? 9 : 4;
  if (args.Flag("json")) {
    out << "{\"projection\": " << JsonString(d.displayName) << ", \"datum\": " << JsonString(datums.Row(datum).name)
        << ", \"definition\": " << JsonString(d.handle.Definition());
    if (inverse) {
      out << ", \"latitude\": " << JsonNumber(a, decimals) << ", \"longitude\": " << JsonNumber(b, decimals);
    } else {
      out << ", \"easting\": " << JsonNumber(a, decimals) << ", \"northing\": " << JsonNumber(b, decimals);
    }
    out << "}\n";
  } else {
    out << FormatFixed(a, decimals) << " " << FormatFixed(b, decimals) << "\n";
  }
  return 0;
}

}  // namespace quiltor::cli
