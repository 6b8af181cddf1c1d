// quiltor-cli grid: grid references (UTM/UPS, British and Irish grids) to
// latitude/longitude on a datum, and latitude/longitude to UTM. The program
// accepts any reference silently (an unusable British one becomes 0, 0);
// here a reference that is not one is refused with the reason instead.
#include <cmath>
#include <ostream>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/datum_option.h"
#include "common/text.h"
#include "geodesy/grids.h"

namespace quiltor::cli {

namespace {

constexpr std::string_view kIrishLetters = "ABCDFGHJLMNOQRSTVWXY";

void CheckInsideSquare(double easting, double northing) {
  if (easting < 0.0 || easting > 100000.0 || northing < 0.0 || northing > 100000.0) {
    throw UsageError{"EASTING and NORTHING are metres within the 100 km square: 0 to 100000"};
  }
}

void CheckBritishLetters(const std::string& letters) {
  if (letters.size() != 2 || geodesy::kBritishFirstLetters.find(letters[0]) == std::string_view::npos ||
      geodesy::kBritishSecondLetters.find(letters[1]) == std::string_view::npos) {
    throw UsageError{"a British grid square is two capital letters such as TQ or NT (no I), not \"" + letters + "\""};
  }
}

void CheckIrishLetter(const std::string& letter) {
  if (letter.size() != 1 || kIrishLetters.find(letter[0]) == std::string_view::npos) {
    throw UsageError{"an Irish grid square is one capital letter A-Y other than E, I, K, P and U, not \"" + letter +
                     "\""};
  }
}

// A UTM zone is a number 1..60 with an optional band letter, or a polar
// zone letter A, B, Y or Z alone.
void CheckUtmZone(const std::string& zone) {
  const std::string z = TrimSpaces(zone);
  if (z == "A" || z == "B" || z == "Y" || z == "Z") return;
  std::size_t digits = 0;
  while (digits < z.size() && z[digits] >= '0' && z[digits] <= '9') ++digits;
  const std::int32_t number = digits > 0 && digits <= 2 ? TryParseInt(z.substr(0, digits)).value_or(0) : 0;
  const bool bandOk = z.size() == digits || (z.size() == digits + 1 && z[digits] >= 'C' && z[digits] <= 'X' &&
                                             z[digits] != 'I' && z[digits] != 'O');
  if (number < 1 || number > 60 || !bandOk) {
    throw UsageError{"a UTM zone is a number 1-60 with an optional band letter C-X (\"30U\", \"56H\"), or A, B, Y "
                     "or Z for the polar zones; not \"" + zone + "\""};
  }
}

void PrintLatLon(std::ostream& out, const geodesy::LatLon& g, bool json, const std::string& datum) {
  if (json) {
    out << "{\"latitude\": " << JsonNumber(g.latitude, 9) << ", \"longitude\": " << JsonNumber(g.longitude, 9)
        << ", \"datum\": " << JsonString(datum) << "}\n";
  } else {
    out << FormatFixed(g.latitude, 9) << " " << FormatFixed(g.longitude, 9) << "\n";
  }
}

int FromLatLon(const Args& args, std::int32_t datum, std::ostream& out) {
  if (args.Positionals().size() != 3) throw UsageError{"give: grid utm --from-latlon LATITUDE LONGITUDE"};
  const double latitude = FinitePositional(args, 1, "LATITUDE");
  const double longitude = FinitePositional(args, 2, "LONGITUDE");
  if (std::fabs(latitude) > 90.0) throw UsageError{"LATITUDE must lie within -90 to 90"};
  if (std::fabs(longitude) > 180.0) throw UsageError{"LONGITUDE must lie within -180 to 180"};
  const geodesy::UTMReference r = geodesy::LatLonToUTM(datum, latitude, longitude);
  // Polar zone texts carry two leading blanks; shown without them.
  const std::string zone = TrimSpaces(r.zone);
  if (args.Flag("json")) {
    out << "{\"zone\": " << JsonString(zone) << ", \"easting\": " << JsonNumber(r.easting, 4)
        << ", \"northing\": " << JsonNumber(r.northing, 4) << "}\n";
  } else {
    out << zone << " " << FormatFixed(r.easting, 4) << " " << FormatFixed(r.northing, 4) << "\n";
  }
  return 0;
}

}  // namespace

int RunGrid(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  const Args args(argv, {"hemisphere", "datum"}, {"from-latlon", "json"});
  const auto& pos = args.Positionals();
  if (pos.empty()) throw UsageError{"give the grid: utm, bng or ig"};
  const std::string system = pos[0];
  if (system != "utm" && system != "bng" && system != "ig") {
    throw UsageError{"unknown grid \"" + system + "\"; the grids are utm, bng and ig"};
  }
  ReportDatumFileProblems(err, "grid");
  const std::string datumName = args.Value("datum").value_or("WGS 84");
  const std::int32_t datum = DatumByName(datumName, "datum");
  const std::string hemisphere = args.Value("hemisphere").value_or("");
  if (!hemisphere.empty() && hemisphere != "N" && hemisphere != "S") {
    throw UsageError{"--hemisphere is N or S, not \"" + hemisphere + "\""};
  }
  if (!hemisphere.empty() && system != "utm") throw UsageError{"--hemisphere is for utm only"};
  if (args.Flag("from-latlon")) {
    if (system != "utm") throw UsageError{"--from-latlon is for utm only"};
    return FromLatLon(args, datum, out);
  }
  if (pos.size() != 4) throw UsageError{"give: grid " + system + " ZONE EASTING NORTHING"};
  const std::string& zone = pos[1];
  const double easting = FinitePositional(args, 2, "EASTING");
  const double northing = FinitePositional(args, 3, "NORTHING");

  geodesy::LatLon g{};
  if (system == "utm") {
    CheckUtmZone(zone);
    g = geodesy::UTMToLatLon(zone, hemisphere, datum, easting, northing);
  } else if (system == "bng") {
    CheckBritishLetters(zone);
    CheckInsideSquare(easting, northing);
    g = geodesy::BNGToLatLon(zone, datum, easting, northing);
  } else {
    CheckIrishLetter(zone);
    CheckInsideSquare(easting, northing);
    g = geodesy::IGToLatLon(zone, datum, easting, northing);
  }
  if (!std::isfinite(g.latitude) || !std::isfinite(g.longitude)) {
    err << "quiltor-cli grid: the reference gives no position\n";
    return 1;
  }
  PrintLatLon(out, g, args.Flag("json"), geodesy::Datums().Row(datum).name);
  return 0;
}

}  // namespace quiltor::cli
