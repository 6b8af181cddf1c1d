#include "cli/destination_options.h"

#include "cli/name_resolution.h"
#include "geodesy/datum.h"

namespace quiltor::cli {

namespace {

using geodesy::ParameterField;

struct FieldOption {
  std::string_view option;
  ParameterField field;
  std::string_view valueName;
  std::string_view help;
};

constexpr FieldOption kFieldOptions[] = {
    {"zone", ParameterField::Zone, "N", "UTM zone; UTM is completed from it (central meridian zone*6-183)"},
    {"lat-origin", ParameterField::LatitudeOrigin, "D", "latitude of origin, degrees"},
    {"central-meridian", ParameterField::CentralMeridian, "D", "central meridian, degrees"},
    {"lat1", ParameterField::Latitude1, "D", "first standard parallel, degrees"},
    {"lat2", ParameterField::Latitude2, "D", "second standard parallel, degrees"},
    {"scale-factor", ParameterField::ScaleFactor, "K", "scale factor"},
    {"false-easting", ParameterField::FalseEasting, "M", "false easting, metres"},
    {"false-northing", ParameterField::FalseNorthing, "M", "false northing, metres"},
};

}  // namespace

std::vector<OptionSpec> DestinationOptions(bool projectionRequired) {
  const OptionSpec projection =
      Text("projection", "NAME", "the projection: a display name of the list, its start or short name (\"utm\")");
  std::vector<OptionSpec> options = {projectionRequired ? projection.Required() : projection};
  for (const FieldOption& f : kFieldOptions) options.push_back(Number(f.option, f.valueName, f.help));
  options.push_back(Text("datum", "NAME", "the datum the destination is made on (\"WGS 84\" unless set)"));
  return options;
}

void ApplyDestinationOptions(const Args& args, const std::vector<std::string>& projectionNames,
                             geodesy::DestinationSettings& settings) {
  if (const auto p = args.Value("projection")) settings.mapProjection = ResolveName(*p, projectionNames, "projection", "projection");
  for (const FieldOption& f : kFieldOptions)
    if (const auto text = args.Value(f.option)) settings.FieldText(f.field) = *text;
  if (const auto datum = args.Value("datum")) settings.mapDatum = geodesy::Datums().Row(ResolveDatum(*datum, "datum")).name;
}

}  // namespace quiltor::cli
