#include "geodesy/datum.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/paths.h"
#include "common/rounding.h"
#include "common/text.h"

namespace quiltor::geodesy {
namespace {

// WGS 84 as the shift's own target/source, independent of the table row.
constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84Rf = 298.257223563;
constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kMaxNameLength = 40;

constexpr std::array<ellipsoid_record, 30> kEllipsoids = {{
    {"Airy 1830", 6377563.396, 299.3249646},
    {"Modified Airy", 6377340.189, 299.3249646},
    {"Australian National", 6378160.0, 298.25},
    {"Bessel 1841", 6377397.155, 299.1528128},
    {"Clarke 1866", 6378206.4, 294.9786982},
    {"Clarke 1880", 6378249.145, 293.465},
    {"Everest (India 1830)", 6377276.345, 300.8017},
    {"Everest (1948)", 6377304.063, 300.8017},
    {"Modified Fischer 1960", 6378155.0, 298.3},
    {"Everest (Pakistan)", 6377309.613, 300.8017},
    {"Indonesian 1974", 6378160.0, 298.247},
    {"GRS 80", 6378137.0, 298.257222101},
    {"Helmert 1906", 6378200.0, 298.3},
    {"Hough 1960", 6378270.0, 297.0},
    {"International 1924", 6378388.0, 297.0},
    {"Krassovsky 1940", 6378245.0, 298.3},
    {"South American 1969", 6378160.0, 298.25},
    {"Everest (Malaysia 1969)", 6377295.664, 300.8017},
    {"Everest (Sabah Sarawak)", 6377298.556, 300.8017},
    {"WGS 72", 6378135.0, 298.26},
    {"WGS 84", 6378137.0, 298.257223563},
    {"Bessel 1841 (Namibia)", 6377483.865, 299.1528128},
    {"Everest (India 1956)", 6377301.243, 300.8017},
    {"Clarke 1880 Palestine", 6378300.789, 293.466},
    {"Clarke 1880 IGN", 6378249.2, 293.466021},
    {"Hayford 1909", 6378388.0, 296.959263},
    {"Clarke 1858", 6378350.87, 294.26},
    {"Bessel 1841 (Norway)", 6377492.0176, 299.1528},
    {"Plessis 1817 (France)", 6376523.0, 308.6409971},
    {"Hayford 1924", 6378388.0, 297.0},
}};

struct BuiltinDatum {
  const char* name;
  std::int32_t ellipsoid, dX, dY, dZ;
};

constexpr BuiltinDatum kBuiltinDatums[kBuiltinDatumCount] = {
    {"Auto Shift .....", 20, 0, 0, 0},
    {"Adindan", 5, -162, -12, 206},
    {"Afgooye", 15, -43, -163, 45},
    {"Ain el Abd 1970", 14, -150, -251, -2},
    {"Anna 1 Astro 1965", 2, -491, -22, 435},
    {"Arc 1950", 5, -143, -90, -294},
    {"Arc 1960", 5, -160, -8, -300},
    {"Ascension Island 1958", 14, -207, 107, 52},
    {"Astro B4 Sorol Atoll", 14, 114, -116, -333},
    {"Astro Beacon 1945", 14, 145, 75, -272},
    {"Astro DOS 71/4", 14, -320, 550, -494},
    {"Astronomic Stn 1952", 14, 124, -234, -25},
    {"Australian Geodetic 1966", 2, -133, -48, 148},
    {"Australian Geodetic 1984", 2, -134, -48, 149},
    {"Australian Geocentric 1994 (GDA94)", 11, 0, 0, 0},
    {"Austrian", 3, 594, 84, 471},
    {"Bellevue (IGN)", 14, -127, -769, 472},
    {"Bermuda 1957", 4, -73, 213, 296},
    {"Bogota Observatory", 14, 307, 304, -318},
    {"Campo Inchauspe", 14, -148, 136, 90},
    {"Canton Astro 1966", 14, 298, -304, -375},
    {"Cape", 5, -136, -108, -292},
    {"Cape Canaveral", 4, -2, 150, 181},
    {"Carthage", 5, -263, 6, 431},
    {"CH-1903", 3, 674, 15, 405},
    {"Chatham 1971", 14, 175, -38, 113},
    {"Chua Astro", 14, -134, 229, -29},
    {"Corrego Alegre", 14, -206, 172, -6},
    {"Djakarta (Batavia)", 3, -377, 681, -50},
    {"DOS 1968", 14, 230, -199, -752},
    {"Easter Island 1967", 14, 211, 147, 111},
    {"Egypt", 14, -130, -117, -151},
    {"European 1950", 14, -87, -98, -121},
    {"European 1950 (Mean France)", 25, -87, -96, -120},
    {"European 1950 (Spain and Portugal)", 14, -84, -107, -120},
    {"European 1979", 14, -86, -98, -119},
    {"Finland Hayford", 14, -78, -231, -97},
    {"Gandajika Base", 14, -133, -321, 50},
    {"Geodetic Datum 1949", 14, 84, -22, 209},
    {"Guam 1963", 4, -100, -248, 259},
    {"GUX 1 Astro", 14, 252, -209, -751},
    {"Hartebeeshoek94", 20, 0, 0, 0},
    {"Hermannskogel", 3, 653, -212, 449},
    {"Hjorsey 1955", 14, -73, 46, -86},
    {"Hong Kong 1963", 14, -156, -271, -189},
    {"Hu-Tzu-Shan", 14, -634, -549, -201},
    {"Indian Bangladesh", 6, 289, 734, 257},
    {"Indian Thailand", 6, 214, 836, 303},
    {"Israeli", 23, -235, -85, 264},
    {"Ireland 1965", 1, 506, -122, 611},
    {"ISTS 073 Astro 1969", 14, 208, -435, -229},
    {"Johnston Island", 14, 191, -77, -204},
    {"Kandawala", 6, -97, 787, 86},
    {"Kerguelen Island", 14, 145, -187, 103},
    {"Kertau 1948", 7, -11, 851, 5},
    {"L.C. 5 Astro", 4, 42, 124, 147},
    {"Liberia 1964", 5, -90, 40, 88},
    {"Luzon Mindanao", 4, -133, -79, -72},
    {"Luzon Philippines", 4, -133, -77, -51},
    {"Mahe 1971", 5, 41, -220, -134},
    {"Marco Astro", 14, -289, -124, 60},
    {"Massawa", 3, 639, 405, 60},
    {"Merchich", 5, 31, 146, 47},
    {"Midway Astro 1961", 14, 912, -58, 1227},
    {"Minna", 5, -92, -93, 122},
    {"NAD27 Alaska", 4, -5, 135, 172},
    {"NAD27 Bahamas", 4, -4, 154, 178},
    {"NAD27 Canada", 4, -10, 158, 187},
    {"NAD27 Canal Zone", 4, 0, 125, 201},
    {"NAD27 Caribbean", 4, -7, 152, 178},
    {"NAD27 Central", 4, 0, 125, 194},
    {"NAD27 CONUS", 4, -8, 160, 176},
    {"NAD27 Cuba", 4, -9, 152, 178},
    {"NAD27 Greenland", 4, 11, 114, 195},
    {"NAD27 Mexico", 4, -12, 130, 190},
    {"NAD27 San Salvador", 4, 1, 140, 165},
    {"NAD83", 11, 0, 0, 0},
    {"Nahrwn Masirah Ilnd", 5, -247, -148, 369},
    {"Nahrwn Saudi Arbia", 5, -231, -196, 482},
    {"Nahrwn United Arab", 5, -249, -156, 381},
    {"Naparima BWI", 14, -2, 374, 172},
    {"NGO1948", 27, 315, -217, 528},
    {"NTF France", 24, -168, -60, 320},
    {"Norsk", 27, 278, 93, 474},
    {"NZGD1949", 14, 84, -22, 209},
    {"NZGD2000", 20, 0, 0, 0},
    {"Observatorio 1966", 14, -425, -169, 81},
    {"Old Egyptian", 12, -130, 110, -13},
    {"Old Hawaiian", 4, 61, -285, -181},
    {"Oman", 5, -346, -1, 224},
    {"Ord Srvy Grt Britn", 0, 375, -111, 431},
    {"Pico De Las Nieves", 14, -307, -92, 127},
    {"Pitcairn Astro 1967", 14, 185, 165, 42},
    {"Potsdam Rauenberg DHDN", 3, 606, 23, 413},
    {"Prov So Amrican 1956", 14, -288, 175, -376},
    {"Prov So Chilean 1963", 14, 16, 196, 93},
    {"Puerto Rico", 4, 11, 72, -101},
    {"Pulkovo 1942 (1)", 15, 28, -130, -95},
    {"Pulkovo 1942 (2)", 15, 28, -130, -95},
    {"Qatar National", 14, -128, -283, 22},
    {"Qornoq", 14, 164, 138, -189},
    {"Reunion", 14, 94, -948, -1262},
    {"Rijksdriehoeksmeting", 3, 593, 26, 478},
    {"Rome 1940", 14, -225, -65, 9},
    {"RT 90", 3, 498, -36, 568},
    {"S42        ", 15, 28, -121, -77},  // eight trailing blanks, as stored in existing files
    {"Santo (DOS)", 14, 170, 42, 84},
    {"Sao Braz", 14, -203, 141, 53},
    {"Sapper Hill 1943", 14, -355, 16, 74},
    {"Schwarzeck", 21, 616, 97, -251},
    {"South American 1969", 16, -57, 1, -41},
    {"South Asia", 8, 7, -10, -26},
    {"Southeast Base", 14, -499, -249, 314},
    {"Southwest Base", 14, -104, 167, -38},
    {"Timbalai 1948", 6, -689, 691, -46},
    {"Tokyo", 3, -128, 481, 664},
    {"Tristan Astro 1968", 14, -632, 438, -609},
    {"Viti Levu 1916", 5, 51, 391, -36},
    {"Wake-Eniwetok 1960", 13, 101, 52, -39},
    {"WGS 72", 19, 0, 0, 5},
    {"WGS 84", 20, 0, 0, 0},
    {"Yacare", 14, -155, 171, 37},
    {"Zanderij", 14, -265, 120, -358},
};

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

struct ShiftEllipsoid {
  double a, b, e2;
};

ShiftEllipsoid MakeShiftEllipsoid(double a, double rf) {
  const double f = 1.0 / rf;
  return {a, a * (1.0 - f), 2.0 * f - f * f};
}

}  // namespace

const std::array<ellipsoid_record, 30>& EllipsoidTable() { return kEllipsoids; }

Ellipsoid EllipsoidFromTable(std::int32_t ellipsoidIndex) {
  if (ellipsoidIndex < 0 || ellipsoidIndex >= static_cast<std::int32_t>(kEllipsoids.size())) {
    ellipsoidIndex = kWgs84Ellipsoid;
  }
  const ellipsoid_record& row = kEllipsoids[static_cast<std::size_t>(ellipsoidIndex)];
  const double f = 1.0 / row.rf;
  const double e2 = 2.0 * f - f * f;
  return {row.a, row.a * std::sqrt(1.0 - e2), e2};
}

DatumTable::DatumTable() {
  for (std::int32_t i = 0; i < kBuiltinDatumCount; ++i) {
    const BuiltinDatum& d = kBuiltinDatums[i];
    rows_[static_cast<std::size_t>(i)] = {d.name, d.ellipsoid, d.dX, d.dY, d.dZ};
  }
  wgs84Datum_ = FindDatum("WGS 84");
}

void DatumTable::AddDatumLines(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string name = TrimSpaces(line.substr(0, line.find(',')));
    if (name.empty() || lastDatum_ >= kDatumCapacity - 1) continue;
    datum_record row;
    row.name = name.substr(0, kMaxNameLength);
    row.ellipsoid = CsvInt(line, 2, kWgs84Ellipsoid);
    // An ellipsoid index with no table row would give a datum on no
    // ellipsoid at all; such a line is taken as WGS 84.
    if (row.ellipsoid < 0 || row.ellipsoid >= static_cast<std::int32_t>(kEllipsoids.size())) {
      row.ellipsoid = kWgs84Ellipsoid;
    }
    row.dX = RoundHalfEvenToInt(CsvFloat(line, 3, 0.0));
    row.dY = RoundHalfEvenToInt(CsvFloat(line, 4, 0.0));
    row.dZ = RoundHalfEvenToInt(CsvFloat(line, 5, 0.0));
    rows_[static_cast<std::size_t>(++lastDatum_)] = std::move(row);
  }
  wgs84Datum_ = FindDatum("WGS 84");
}

bool DatumTable::LoadDatumFile(const std::filesystem::path& file, const MessageSink& report) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return false;
  auto fail = [&](const std::string& why) {
    if (report) report("The datum file " + file.string() + " could not be read (" + why + "); the built-in datums are used.");
    return false;
  };
  if (std::filesystem::is_directory(file, ec)) return fail("it is a folder");
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) return fail("it cannot be opened");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return fail("read error");
  AddDatumLines(text);
  return true;
}

std::int32_t DatumTable::FindDatum(std::string_view name) const {
  for (std::int32_t i = 0; i <= lastDatum_; ++i) {
    if (SameNameIgnoringCase(rows_[static_cast<std::size_t>(i)].name, name)) return i;
  }
  return wgs84Datum_;
}

bool DatumTable::HasDatum(std::string_view name) const {
  for (std::int32_t i = 0; i <= lastDatum_; ++i) {
    if (SameNameIgnoringCase(rows_[static_cast<std::size_t>(i)].name, name)) return true;
  }
  return false;
}

std::vector<std::string> DatumTable::CloseNames(std::string_view name, std::size_t count) const {
  return quiltor::CloseNames(name, OfferedNames(), count);
}

std::vector<std::string> DatumTable::OfferedNames() const {
  std::vector<std::string> names;
  for (std::int32_t i = 1; i <= lastDatum_; ++i) names.push_back(rows_[static_cast<std::size_t>(i)].name);
  return names;
}

const datum_record& DatumTable::Row(std::int32_t index) const {
  return rows_[static_cast<std::size_t>(IsRow(index) ? index : wgs84Datum_)];
}

Ellipsoid DatumTable::EllipsoidOfDatum(std::int32_t datum) const {
  return EllipsoidFromTable(IsRow(datum) ? Row(datum).ellipsoid : kWgs84Ellipsoid);
}

void DatumTable::ShiftDatum(bool toWGS84, double& lat, double& lon, std::int32_t datum) const {
  if (datum == wgs84Datum_ || !IsRow(datum)) return;
  const datum_record& row = Row(datum);
  double dX = row.dX, dY = row.dY, dZ = row.dZ;
  const ellipsoid_record& local = kEllipsoids[static_cast<std::size_t>(row.ellipsoid)];
  const ShiftEllipsoid wgs84 = MakeShiftEllipsoid(kWgs84A, kWgs84Rf);
  const ShiftEllipsoid datumEllipsoid = MakeShiftEllipsoid(local.a, local.rf);
  ShiftEllipsoid source = datumEllipsoid, target = wgs84;
  if (toWGS84) {
    dX = -dX;
    dY = -dY;
    dZ = -dZ;
  } else {
    source = wgs84;
    target = datumEllipsoid;
  }
  const double phi = lat * kPi / 180.0;
  const double lambda = lon * kPi / 180.0;

  // Geocentric position on the source ellipsoid's surface.
  const double psi = (lat == 0.0 || lat == 90.0 || lat == -90.0) ? phi : std::atan(std::tan(phi) * (1.0 - source.e2));
  const double t = std::tan(psi);
  const double a2 = source.a * source.a, b2 = source.b * source.b;
  const double ab = source.a * source.b;
  double x, y;
  if (lon == 90.0 || lon == -90.0) {
    x = 0.0;
    y = std::fabs(ab / std::sqrt(a2 * t * t + b2));
  } else {
    const double tl = std::tan(lambda);
    x = std::fabs(ab / std::sqrt((a2 * t * t + b2) * (1.0 + tl * tl)));
    y = std::fabs(x * tl);
  }
  if (lon < -90.0 || lon > 90.0) x = -x;
  if (lon < 0.0) y = -y;
  double z;
  if (lat == 90.0) {
    z = source.b;
  } else if (lat == -90.0) {
    z = -source.b;
  } else {
    z = t * std::sqrt(a2 * b2 / (a2 * t * t + b2));
  }

  x -= dX;
  y -= dY;
  z -= dZ;

  // Back to geodetic, taking the moved point as lying on the target surface.
  const double psiTarget = std::atan(z / std::sqrt(x * x + y * y));
  lat = std::atan(std::tan(psiTarget) / (1.0 - target.e2)) * 180.0 / kPi;
  lon = std::atan(y / x) * 180.0 / kPi;
  if (x < 0.0) lon += (y > 0.0) ? 180.0 : -180.0;
}

void DatumTable::ConvertDatum(std::int32_t fromDatum, std::int32_t toDatum, double& lat, double& lon) const {
  if (lat == 0.0 && lon == 0.0) return;
  if (fromDatum == NoDatum || toDatum == NoDatum || fromDatum == toDatum) return;
  if (lat > 85.0 || lat < -85.0 || lon > 179.0 || lon < -179.0) return;
  if (fromDatum != 0) ShiftDatum(true, lat, lon, fromDatum);
  if (toDatum != 0) ShiftDatum(false, lat, lon, toDatum);
}

std::vector<std::filesystem::path> DatumFileCandidates() {
  return {ProgramFolder() / "datums.dat", ConfigFolder() / "datums.dat"};
}

DatumTable LoadStartupDatums(const std::vector<std::filesystem::path>& candidates, const MessageSink& report) {
  DatumTable table;
  for (const auto& file : candidates) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) continue;
    table.LoadDatumFile(file, report);
    break;
  }
  return table;
}

namespace {
struct StartupDatums {
  std::vector<std::string> messages;
  DatumTable table;
  StartupDatums()
      : table(LoadStartupDatums(DatumFileCandidates(), [this](const std::string& m) { messages.push_back(m); })) {}
};
const StartupDatums& Startup() {
  static const StartupDatums startup;
  return startup;
}
}  // namespace

const DatumTable& Datums() { return Startup().table; }
const std::vector<std::string>& DatumStartupMessages() { return Startup().messages; }

}  // namespace quiltor::geodesy
