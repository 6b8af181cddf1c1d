// quiltor-cli grid: grid references (UTM/UPS, British and Irish grids) to
// latitude/longitude on a datum, and latitude/longitude to UTM. The program
// accepts any reference silently (an unusable British one becomes 0, 0);
// here a reference that is not one is refused with the reason instead.
#include <cmath>
#include <ostream>

#include "cli/command_spec.h"
#include "cli/json_writer.h"
#include "cli/name_resolution.h"
#include "common/text.h"
#include "geodesy/grids.h"

namespace quiltor::cli {

namespace {

constexpr std::string_view kIrishLetters = "ABCDFGHJLMNOQRSTVWXY";

void CheckInsideSquare(double easting, double northing) {
  if (easting < 0.0 || easting > 100000.0 || northing < 0.0 || northing > 100000.0) {
    throw UsageError("EASTING and NORTHING are metres within the 100 km square: 0 to 100000");
  }
}

// The British grid is 700 km east by 1300 km north of its false origin
// (square SV); letter pairs beyond it name squares of no grid.
void CheckBritishLetters(const std::string& letters) {
  const auto first = letters.size() == 2 ? geodesy::kBritishFirstLetters.find(letters[0]) : std::string_view::npos;
  const auto second = letters.size() == 2 ? geodesy::kBritishSecondLetters.find(letters[1]) : std::string_view::npos;
  if (first == std::string_view::npos || second == std::string_view::npos) {
    throw UsageError("a British grid square is two capital letters such as TQ or NT (no I), not \"" + letters + "\"");
  }
  const std::size_t column = (first % 5) * 5 + second % 5;  // 100 km squares east of SV
  const std::size_t row = (first / 5) * 5 + second / 5;     // and north of it
  if (column >= 7 || row >= 13) {
    throw UsageError("the British grid square \"" + letters +
                     "\" lies outside the grid, whose squares run from SV (south-west) to JM (north-east)");
  }
}

void CheckIrishLetter(const std::string& letter) {
  if (letter.size() != 1 || kIrishLetters.find(letter[0]) == std::string_view::npos) {
    throw UsageError("an Irish grid square is one capital letter A-Y other than E, I, K, P and U, not \"" + letter +
                     "\"");
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
    throw UsageError("a UTM zone is a number 1-60 with an optional band letter C-X (\"30U\", \"56H\"), or A, B, Y "
                     "or Z for the polar zones; not \"" + zone + "\"");
  }
}

// Metres a UTM zone or a polar (UPS) zone can hold, false origin included;
// values beyond them name no place of the zone.
void CheckUtmMetres(const std::string& zone, double easting, double northing) {
  const std::string z = TrimSpaces(zone);
  const bool polar = z == "A" || z == "B" || z == "Y" || z == "Z";
  const double maxEasting = polar ? 4000000.0 : 1000000.0;
  const double maxNorthing = polar ? 4000000.0 : 10000000.0;
  const auto check = [](std::string_view name, double value, double high, std::string_view kind) {
    if (value < 0.0 || value > high) {
      throw UsageError(std::string(name) + " of a " + std::string(kind) + " zone lies within 0 to " +
                       FormatInt(static_cast<std::int64_t>(high)) + " metres, not " + FormatShortest(value));
    }
  };
  check("EASTING", easting, maxEasting, polar ? "polar" : "UTM");
  check("NORTHING", northing, maxNorthing, polar ? "polar" : "UTM");
}

void PrintLatLon(std::ostream& out, const geodesy::LatLon& g, bool json, const std::string& datum) {
  if (json) {
    JsonWriter w;
    w.BeginObject().Number("latitude", g.latitude, 9).Number("longitude", g.longitude, 9).String("datum", datum);
    out << w.EndObject().Text() << "\n";
  } else {
    out << FormatFixed(g.latitude, 9) << " " << FormatFixed(g.longitude, 9) << "\n";
  }
}

int FromLatLon(const Args& args, std::int32_t datum, std::ostream& out) {
  if (args.Positionals().size() != 3) throw UsageError("give: grid utm --from-latlon LATITUDE LONGITUDE");
  const double latitude = args.PositionalNumber(1, "LATITUDE");
  const double longitude = args.PositionalNumber(2, "LONGITUDE");
  CheckLatLon(latitude, longitude, "LATITUDE", "LONGITUDE");
  const geodesy::UTMReference r = geodesy::LatLonToUTM(datum, latitude, longitude);
  // Polar zone texts carry two leading blanks; shown without them.
  const std::string zone = TrimSpaces(r.zone);
  if (args.Flag("json")) {
    JsonWriter w;
    w.BeginObject().String("zone", zone).Number("easting", r.easting, 4).Number("northing", r.northing, 4);
    out << w.EndObject().Text() << "\n";
  } else {
    out << zone << " " << FormatFixed(r.easting, 4) << " " << FormatFixed(r.northing, 4) << "\n";
  }
  return 0;
}

int RunGrid(const Args& args, const Console& io) {
  const auto& pos = args.Positionals();
  if (pos.empty()) throw UsageError("give the grid: utm, bng or ig");
  const std::string system = pos[0];
  if (system != "utm" && system != "bng" && system != "ig") {
    throw UsageError("unknown grid \"" + system + "\"; the grids are utm, bng and ig");
  }
  NoteDatumFileProblems(io);
  const std::int32_t datum = ResolveDatum(args.Value("datum").value_or("WGS 84"), "datum");
  const std::string hemisphere = args.Value("hemisphere").value_or("");
  if (!hemisphere.empty() && hemisphere != "N" && hemisphere != "S") {
    throw UsageError("--hemisphere is N or S, not \"" + hemisphere + "\"");
  }
  if (!hemisphere.empty() && system != "utm") throw UsageError("--hemisphere is for utm only");
  if (args.Flag("from-latlon")) {
    if (system != "utm") throw UsageError("--from-latlon is for utm only");
    return FromLatLon(args, datum, io.out);
  }
  if (pos.size() != 4) throw UsageError("give: grid " + system + " ZONE EASTING NORTHING");
  const std::string& zone = pos[1];
  const double easting = args.PositionalNumber(2, "EASTING");
  const double northing = args.PositionalNumber(3, "NORTHING");

  geodesy::LatLon g{};
  if (system == "utm") {
    CheckUtmZone(zone);
    CheckUtmMetres(zone, easting, northing);
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
  if (!std::isfinite(g.latitude) || !std::isfinite(g.longitude)) throw Failed("the reference gives no position");
  PrintLatLon(io.out, g, args.Flag("json"), geodesy::Datums().Row(datum).name);
  return kExitSuccess;
}

}  // namespace

const CommandSpec& GridCommand() {
  static const CommandSpec spec{
      .name = "grid",
      .summary = "convert a UTM, British or Irish grid reference",
      .options =
          {
              Text("hemisphere", "N|S", "utm: the hemisphere, overriding the band letter"),
              Text("datum", "NAME", "the datum of the reference and the result (default \"WGS 84\")"),
              Flag("from-latlon", "utm: print the UTM reference of LATITUDE LONGITUDE instead"),
              Flag("json", "print an object with latitude, longitude and datum (or zone, easting, northing)"),
          },
      .forms = {"utm|bng|ig ZONE EASTING NORTHING", "utm --from-latlon LATITUDE LONGITUDE"},
      .description =
          "Turns a grid reference into latitude/longitude (degrees, 9 decimals) on --datum (the result is\n"
          "on that datum, not converted to WGS 84):\n"
          "  utm  ZONE is the zone number and band letter (\"30U\", \"56H\"; band A-M is south) or A, B,\n"
          "       Y, Z for the polar zones; EASTING/NORTHING in metres with the false origin; --hemisphere\n"
          "       N or S overrides the band letter; EASTING 0-1000000 and NORTHING 0-10000000 m (0-4000000\n"
          "       both in a polar zone). Results are rounded to 5 decimals.\n"
          "  bng  ZONE is the two-letter 100 km square (\"TQ\"), SV to JM; EASTING/NORTHING 0-100000 m\n"
          "       within it.\n"
          "  ig   ZONE is the one-letter 100 km square (\"O\"); EASTING/NORTHING 0-100000 m within it.\n"
          "With --from-latlon, prints the UTM ZONE EASTING NORTHING (metres, 4 decimals) of a point.\n",
      .example = "quiltor-cli grid bng TQ 31866 79661 --datum \"Ord Srvy Grt Britn\"",
      .exitCodes = "0 success, 1 no position, 2 bad arguments, a malformed reference or an unknown datum.",
      .run = RunGrid,
  };
  return spec;
}

}  // namespace quiltor::cli
