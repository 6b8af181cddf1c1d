#include "catalogue/map_file_reader.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <vector>

#include "catalogue/calibration.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "common/text.h"
#include "geodesy/datum.h"

namespace quiltor {

namespace {

// Whole lines of a text file, CR LF or LF, each cut at kMaxMapLineLength
// (the rest of an over-long line is skipped, not read as further lines).
class MapLineReader {
 public:
  // Which part of an over-long line is kept: a keyword line is read from its
  // start, an image path by its end, which holds the file name the image is
  // then looked for by beside the map file.
  enum class Keep { Start, End };

  explicit MapLineReader(const std::string& path) : in_(path, std::ios::binary) {}
  bool opened() const { return static_cast<bool>(in_); }

  // The next line, or nullopt at the end of the file.
  std::optional<std::string> Next(Keep keep = Keep::Start) {
    std::string line;
    bool any = false;
    for (;;) {
      if (pos_ == size_ && !Fill()) break;
      any = true;
      const char c = buffer_[pos_++];
      if (c == '\n') break;
      if (line.size() < kMaxMapLineLength) {
        line += c;
      } else if (keep == Keep::End) {
        line += c;
        if (line.size() >= 2 * kMaxMapLineLength) line.erase(0, line.size() - kMaxMapLineLength);
      }
    }
    if (!any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxMapLineLength) line.erase(0, line.size() - kMaxMapLineLength);
    return line;
  }

  // A positional line: an empty text past the end of the file.
  std::string NextOrEmpty(Keep keep = Keep::Start) { return Next(keep).value_or(std::string()); }

 private:
  bool Fill() {
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    size_ = static_cast<std::size_t>(in_.gcount());
    pos_ = 0;
    return size_ > 0;
  }

  std::ifstream in_;
  std::vector<char> buffer_ = std::vector<char>(64 * 1024);
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
};

bool Contains(std::string_view text, std::string_view word) { return text.find(word) != std::string_view::npos; }

// A real field of a map line. What CsvFloat keeps of the field must be one
// well-formed number; "1.2.3" or "4 5" (tools that put two values or a
// thousands mark in one field) take the field's default rather than a guess
// at part of it. Absent, empty and digit-free fields read as CsvFloat reads them.
double MapReal(const std::string& line, int n, double fallback) {
  const double value = CsvFloat(line, n, fallback);
  std::string kept = CsvField(line, n, "");
  bool digits = false;
  for (char& c : kept) {
    const bool digit = c >= '0' && c <= '9';
    digits = digits || digit;
    if (!digit && c != '+' && c != '-' && c != '.' && c != 'E' && c != 'e') c = ' ';
  }
  if (!digits) return value;
  return TryParseDecimal(TrimSpaces(kept)) ? value : fallback;
}

// State of one read besides the record itself.
struct ReadState {
  Map_record& record;
  const MapReadContext& context;
  CalibrationPointTable points;
  double msf = 1.0;
  bool borderCountGiven = false;  // an MMPNUM, MMPXY or MMPLL line came before
  // Every border slot the file may name; the first `borderCount` become the
  // record's border once all lines are read, since a later MMPNUM may still
  // take in points that were given beyond the count so far.
  std::array<BorderPoint, kMaxBorderPoints> border{};
  std::array<bool, kMaxBorderPoints> borderPlaced{};  // an MMPLL or MM1C line gave the slot its position
  std::int32_t borderCount = 0;
};

// A border coordinate: a well-formed finite number, or the map is refused.
// A missing, empty or digit-free field would put the point at 0 degrees,
// so that the map spans half the globe.
double BorderCoordinate(const std::string& line, int n, const char* what) {
  const std::string field = CsvField(line, n, "");
  const double value = MapReal(line, n, std::numeric_limits<double>::quiet_NaN());
  bool digits = false;
  for (const char c : field) digits = digits || (c >= '0' && c <= '9');
  if (!digits || !std::isfinite(value))
    throw QuiltorError(std::string("border ") + what + " \"" + field + "\" is not a number");
  return value;
}

// Pixel coordinate of the file divided by the MSF, rounded (ties to even).
std::int32_t ScalePixel(double value, double msf) {
  if (msf == 0.0 || !std::isfinite(msf)) throw QuiltorError("map scale factor MSF is zero");
  return RoundHalfEvenToInt(value / msf);
}

bool IsBorderIndex(std::int32_t index) { return index >= 1 && index <= kMaxBorderPoints; }

void ReadProjectionLine(ReadState& s, const std::string& line) {
  s.record.projectionName = CsvField(line, 2, "");
  s.record.polyCal = ToUpperAscii(CsvField(line, 4, "No")) == "YES";
}

void ReadSetupLine(ReadState& s, const std::string& line) {
  auto& setup = s.record.setup;
  double* reals[] = {&setup.lat0, &setup.lon0, &setup.k0, &setup.x0, &setup.y0, &setup.lat1, &setup.lat2, &setup.height};
  int field = 2;
  for (double* value : reals) *value = MapReal(line, field++, geodesy::kParameterNotSet);
  setup.spareA = CsvInt(line, 10, 777);
  setup.spareB = CsvInt(line, 11, 777);
}

void ScalePointPixels(CalibrationPoint& point, double msf) {
  if (msf == 1.0) return;
  for (const auto column : {CalibrationColumn::pixelX, CalibrationColumn::pixelY}) {
    if (const auto value = TryParseInt(point[column])) point.Set(column, FormatInt(ScalePixel(*value, msf)));
  }
}

void ReadPointLine(ReadState& s, const std::string& line, const std::string& field1) {
  // "Point01".."Point30": the number is in characters 6 and 7 of field 1.
  const auto number = TryParseInt(field1.substr(5, 2));
  if (!number) throw QuiltorError("calibration point line without a number: " + field1);
  if (*number < 1 || *number > kMaxCalibrationPoints) return;  // beyond the table: ignored
  if (ToUpperAscii(CsvField(line, 2, "")) != "XY") return;
  CalibrationPoint& point = s.points.point(*number);
  for (int field = 3; field <= 17; ++field) {
    const auto column = CalibrationColumnOfField(field);
    if (!column) continue;
    const char* fallback = "";
    if (*column == CalibrationColumn::latHemisphere || *column == CalibrationColumn::gridHemisphere) fallback = "N";
    if (*column == CalibrationColumn::lonHemisphere) fallback = "W";
    point.Set(*column, CsvField(line, field, fallback));
  }
  point.include = CsvField(line, 5, "") != "ex";
  const bool pixelsBlank = IsBlank(point[CalibrationColumn::pixelX]) && IsBlank(point[CalibrationColumn::pixelY]);
  if (!IsBlank(point[CalibrationColumn::pixelX]) && !IsBlank(point[CalibrationColumn::pixelY])) {
    ScalePointPixels(point, s.msf);
  }
  if (pixelsBlank) {
    for (const auto column : {CalibrationColumn::latDegrees, CalibrationColumn::latMinutes, CalibrationColumn::lonDegrees,
                              CalibrationColumn::lonMinutes, CalibrationColumn::gridEasting,
                              CalibrationColumn::gridNorthing}) {
      point.Set(column, "");
    }
  }
}

void DefaultBorderCount(ReadState& s) {
  if (s.borderCountGiven) return;
  s.borderCount = 4;
  s.borderCountGiven = true;
}

void ReadBorderCountLine(ReadState& s, const std::string& line) {
  const std::int32_t count = CsvInt(line, 2, 4);
  if (!IsBorderIndex(count)) return;  // a count the border arrays cannot hold: ignored
  s.borderCount = count;
  s.borderCountGiven = true;
}

void ReadBorderPixelLine(ReadState& s, const std::string& line) {
  const std::int32_t index = CsvInt(line, 2, 1);
  if (!IsBorderIndex(index)) return;
  DefaultBorderCount(s);
  const auto k = static_cast<std::size_t>(index - 1);
  s.border[k].x = ScalePixel(CsvInt(line, 3, 0), s.msf);
  s.border[k].y = ScalePixel(CsvInt(line, 4, 0), s.msf);
}

void ReadBorderLatLonLine(ReadState& s, const std::string& line) {
  const std::int32_t index = CsvInt(line, 2, 1);
  if (!IsBorderIndex(index)) return;
  DefaultBorderCount(s);
  double lon = BorderCoordinate(line, 3, "longitude");
  double lat = BorderCoordinate(line, 4, "latitude");
  geodesy::ConvertDatum(s.record.datum, s.record.wgs84Datum, lat, lon);
  const auto k = static_cast<std::size_t>(index - 1);
  s.borderPlaced[k] = true;
  s.border[k].latitude = RoundToMultiple(lat, 0.000001);
  s.border[k].longitude = RoundToMultiple(lon, 0.000001);
}

void ReadCornersLine(ReadState& s, const std::string& line) {
  s.borderCount = 4;
  // Corner k from its longitude field and the latitude field after it.
  const int lonFields[] = {2, 4, 8, 6};
  for (std::size_t k = 0; k < 4; ++k) {
    double lon = BorderCoordinate(line, lonFields[k], "longitude");
    double lat = BorderCoordinate(line, lonFields[k] + 1, "latitude");
    geodesy::ConvertDatum(s.record.datum, s.record.wgs84Datum, lat, lon);
    s.borderPlaced[k] = true;
    s.border[k].latitude = lat;
    s.border[k].longitude = lon;
  }
}

void ReadKeywordLine(ReadState& s, const std::string& line) {
  const std::string field1 = CsvField(line, 1, "");
  if (Contains(field1, "Map Projection")) ReadProjectionLine(s, line);
  if (Contains(field1, "Projection Setup")) ReadSetupLine(s, line);
  if (field1.compare(0, 5, "Point") == 0) ReadPointLine(s, line, field1);
  if (Contains(field1, "MMPNUM")) ReadBorderCountLine(s, line);
  if (Contains(field1, "MMPXY")) ReadBorderPixelLine(s, line);
  if (Contains(field1, "MMPLL")) ReadBorderLatLonLine(s, line);
  if (Contains(field1, "MM1C")) ReadCornersLine(s, line);
  if (Contains(field1, "MM1B")) s.record.metresPerPixel = MapReal(line, 2, 99999) * s.msf;
}

// A UTM map's central meridian: from the zone of point 1 when that point is
// the image origin, otherwise from the mean longitude of the border.
void CompleteUtmSetup(ReadState& s) {
  auto& setup = s.record.setup;
  setup.utmlon0 = geodesy::kUtmMeridianPending;
  const CalibrationPoint& first = s.points.point(1);
  if (first[CalibrationColumn::pixelX] == "0" && first[CalibrationColumn::pixelY] == "0" &&
      !IsBlank(first[CalibrationColumn::gridZone])) {
    if (const auto zone = UtmZoneNumber(first[CalibrationColumn::gridZone])) {
      if (*zone < 1 || *zone > 60)
        throw QuiltorError("UTM zone \"" + first[CalibrationColumn::gridZone] + "\" is outside 1..60");
      setup.utmlon0 = *zone * 6.0 - 183.0;
    }
  }
  if (setup.utmlon0 == geodesy::kUtmMeridianPending) {
    const auto& border = s.record.border;
    if (border.empty()) throw QuiltorError("UTM map without border points has no central meridian");
    double sum = 0;
    for (const BorderPoint& p : border) sum += p.longitude;
    setup.utmlon0 = std::floor(sum / static_cast<double>(border.size()) / 6.0) * 6.0 + 3.0;
  }
  setup.lon0 = setup.utmlon0;
  setup.lat0 = 0;
  setup.k0 = 0.9996;
  setup.x0 = 0;
  setup.y0 = 0;
}

// Every point of the border placed, at least three of them, and on the globe.
void CheckBorder(const ReadState& s) {
  if (s.borderCount < 3) throw QuiltorError("the border has fewer than three points");
  for (std::size_t k = 0; k < static_cast<std::size_t>(s.borderCount); ++k) {
    const std::string number = FormatInt(static_cast<std::int64_t>(k) + 1);
    if (!s.borderPlaced[k])
      throw QuiltorError("border point " + number + " has no latitude and longitude (an MMPLL line is missing)");
    const double lat = s.border[k].latitude, lon = s.border[k].longitude;
    if (!(lat <= 90 && lat >= -90 && lon <= 180 && lon >= -180))
      throw QuiltorError("border point " + number + " is off the globe (" + FormatShortest(lat) + ", " +
                         FormatShortest(lon) + ")");
  }
}

void ProjectBorder(Map_record& r) {
  // A point the map's own projection cannot show has no plane position.
  constexpr double kNoPlanePosition = std::numeric_limits<double>::quiet_NaN();
  for (BorderPoint& p : r.border) {
    const std::optional<geodesy::EastingNorthing> en = r.projWGS84.Forward({p.latitude, p.longitude});
    p.easting = en ? en->easting : kNoPlanePosition;
    p.northing = en ? en->northing : kNoPlanePosition;
  }
}

void ResolveImage(Map_record& r, const std::string& writtenPath, const MapReadContext& context) {
  r.imageFile = FindMapImage(writtenPath, r.mapFile, context.imageSearch);
  if (IsBlank(r.imageFile)) {
    r.imageFile = writtenPath;
    r.status = kMapImageNotFound;
  }
  // A FIFO or a device is never opened as an image: it would block the read.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(r.imageFile, ec) && r.status == kMapUsable) r.status = kMapImageNotFound;
  const int check = context.images.checkExtension ? context.images.checkExtension(r.imageFile) : 0;
  if (check == 1) r.status = kMapFormatUnsupported;
  if (check == 2) r.status = kMapProtectedImage;
}

void CompleteRecord(Map_record& r, const MapReadContext& context) {
  ComputeScale(r);
  r.width = 0;
  r.height = 0;
  r.pixelMode = 1;
  std::error_code ec;
  if (context.images.queryInfo && std::filesystem::is_regular_file(r.imageFile, ec)) {
    std::int32_t w = 0, h = 0, mode = 1;
    if (context.images.queryInfo(r.imageFile, w, h, mode) && w > 0 && h > 0) {
      r.width = w;
      r.height = h;
      r.pixelMode = mode;
    } else if (r.status == kMapUsable) {
      r.status = kMapImageUnreadable;  // listed, but it has no pixels to merge
    }
  }
  r.thumbnail.reset();
  r.highlighted = false;
  r.selected = false;
}

// Steps after line 1; throws QuiltorError (or anything else) with the reason
// of a map that must be reported.
void ReadBody(ReadState& s, MapLineReader& lines) {
  Map_record& r = s.record;
  const MapReadContext& context = s.context;
  r.title = ValidUtf8(lines.NextOrEmpty());
  ResolveImage(r, TrimSpaces(lines.NextOrEmpty(MapLineReader::Keep::End)), context);
  lines.NextOrEmpty();  // map code
  r.datum = geodesy::FindDatum(CsvField(lines.NextOrEmpty(), 1, "WGS 84"));
  r.wgs84Datum = geodesy::WGS84Datum();
  const std::string msfLine = lines.NextOrEmpty();
  if (Contains(msfLine, "MSF")) s.msf = MapReal(msfLine, 2, 1.0);
  while (const auto line = lines.Next()) ReadKeywordLine(s, *line);
  CheckBorder(s);
  r.border.assign(s.border.begin(), s.border.begin() + s.borderCount);

  r.shortProjection = geodesy::ShortProjectionName(r.projectionName);
  if (geodesy::ProjectionKind(r.projectionName).IsUtm()) CompleteUtmSetup(s);
  r.projectionIndex = context.catalogue.FindProjection(r.projectionName);
  r.projWGS84 = geodesy::Projection::Create(context.catalogue, r.projectionName, r.setup, r.wgs84Datum);
  r.projMapDatum = geodesy::Projection::Create(context.catalogue, r.projectionName, r.setup, r.datum);
  ProjectBorder(r);
  std::string calibrationFailure;
  if (!CalibrateMap(r, s.points, context.catalogue, &calibrationFailure))
    throw QuiltorError("the calibration failed: " + calibrationFailure);
  if (r.method == kMethodNone) throw QuiltorError("fewer than two usable calibration points");
  CompleteRecord(r, context);
  if (!(r.metresPerPixel > 0) || !std::isfinite(r.metresPerPixel))
    throw QuiltorError("the calibration gives no scale at the map's centre");
}

}  // namespace

int ReadMapFile(const std::string& mapPath, Map_record& record, int mapNumber, int mapTotal,
                const MapReadContext& context) {
  WorkerHost& host = context.host;
  host.SetProgressLabel(1, "Loading Map - " + FileNamePart(mapPath));
  host.SetProgressLabel(2, "Map " + FormatInt(mapNumber) + " of " + FormatInt(mapTotal));
  record = Map_record{};
  record.status = kMapUsable;
  record.mapFile = mapPath;

  // A FIFO or a device would block the read (or never end); only regular
  // files are map files. One that exists is named with the reason.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(mapPath, ec)) {
    record = Map_record{};
    if (std::filesystem::exists(mapPath, ec)) host.AppendMapError(mapPath, "not a regular file");
    return kMapNotLoaded;
  }
  MapLineReader lines(mapPath);
  if (!lines.opened()) {
    record = Map_record{};
    return kMapNotLoaded;
  }
  const auto first = lines.Next();
  if (!first || !Contains(*first, "Tervane")) {
    record = Map_record{};
    return kMapNotLoaded;
  }
  std::string failure;
  try {
    ReadState state{record, context, {}, 1.0, false};
    ReadBody(state, lines);
  } catch (const std::exception& e) {
    failure = e.what();
    if (failure.empty()) failure = "the map file could not be read";
  }
  if (!failure.empty()) {
    record = Map_record{};
    host.AppendMapError(mapPath, failure);
    return kMapNotLoaded;
  }
  if (context.buildThumbnail) {
    try {
      context.buildThumbnail(record);
    } catch (const std::exception&) {
      // a map without a thumbnail is still usable
    }
  }
  host.SetProgressLabel(3, "");
  return kMapLoaded;
}

}  // namespace quiltor
