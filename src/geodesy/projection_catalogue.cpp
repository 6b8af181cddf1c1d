#include "geodesy/projection_catalogue.h"

#include <fstream>
#include <iterator>

#include "common/text.h"

// The built-in list, generated at build time from data/projections.txt.
extern const char kQuiltorBuiltInProjectionList[];
extern const std::size_t kQuiltorBuiltInProjectionListSize;

namespace quiltor::geodesy {

std::array<double, 12> ProjectionSetup::Values() const {
  return {reserved, utmlon0, lat0, lon0, k0, x0, y0, lat1, lat2, height, spareA, spareB};
}

ProjectionSetup ProjectionSetup::FromValues(const std::array<double, 12>& v) {
  return {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]};
}

namespace {

// The n-th (1-based) comma field of a line, spaces trimmed, empty when the
// line has fewer fields.
std::string Field(std::string_view line, int n) { return CsvField(line, n, ""); }

std::string_view WithoutByteOrderMark(std::string_view text) {
  // Windows editors save text with a UTF-8 mark; without this the first row
  // of a hand-edited list would silently vanish.
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (text.substr(0, kMark.size()) == kMark) text.remove_prefix(kMark.size());
  return text;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
  } catch (const std::exception&) {
    return false;  // a read error inside the stream
  }
}

}  // namespace

ProjectionCatalogue ProjectionCatalogue::Parse(std::string_view text) {
  ProjectionCatalogue catalogue;
  text = WithoutByteOrderMark(text);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsBlank(line) || Field(line, 1) != "pg1") continue;

    Tmapprojection_record row;
    const auto gp = TryParseInt(Field(line, 2));
    row.gp = gp.value_or(99);
    row.GridCode = Field(line, 3);
    row.Name = Field(line, 4);
    row.ProjCode = Field(line, 5);
    row.ppars = Field(line, 6);
    row.pstr = Field(line, 7);
    catalogue.rows_.push_back(std::move(row));
  }
  return catalogue;
}

int ProjectionCatalogue::FindProjection(std::string_view displayName) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].ProjCode == displayName) return static_cast<int>(i);
  }
  return 0;
}

const Tmapprojection_record& ProjectionCatalogue::Row(int index) const {
  static const Tmapprojection_record kNoRow;
  if (rows_.empty()) return kNoRow;
  if (index < 0 || index >= Count()) index = 0;
  return rows_[static_cast<std::size_t>(index)];
}

std::string_view BuiltInProjectionListText() {
  return {kQuiltorBuiltInProjectionList, kQuiltorBuiltInProjectionListSize};
}

const ProjectionCatalogue& BuiltInProjectionCatalogue() {
  static const ProjectionCatalogue catalogue = ProjectionCatalogue::Parse(BuiltInProjectionListText());
  return catalogue;
}

ProjectionCatalogue LoadProjectionCatalogue(const std::filesystem::path& replacement, const MessageSink& sink) {
  std::error_code ec;
  if (replacement.empty() || !std::filesystem::exists(replacement, ec)) return BuiltInProjectionCatalogue();

  const auto fallBack = [&](const std::string& why) {
    if (sink) sink(why + " - using the built-in projection list.");
    return BuiltInProjectionCatalogue();
  };
  std::string text;
  if (!ReadWholeFile(replacement, text)) {
    return fallBack("The projection list \"" + replacement.string() + "\" cannot be read");
  }
  ProjectionCatalogue catalogue = ProjectionCatalogue::Parse(text);
  if (catalogue.Empty()) {
    return fallBack("The projection list \"" + replacement.string() + "\" holds no \"pg1\" row");
  }
  return catalogue;
}

std::string ShortProjectionName(std::string_view displayName) {
  return TrimSpaces(displayName.substr(0, 5));
}

// ---------------------------------------------------------------------------

namespace {

using F = ParameterField;
constexpr ParameterFieldSet kNone{};
constexpr ParameterFieldSet kTransverseMercator{F::LatitudeOrigin, F::CentralMeridian, F::ScaleFactor,
                                                F::FalseEasting, F::FalseNorthing};
constexpr ParameterFieldSet kZone{F::Zone};
// The conics take their two standard parallels; Lambert and the equidistant
// conic have no latitude of origin in their set-up.
constexpr ParameterFieldSet kConic{F::CentralMeridian, F::Latitude1, F::Latitude2};
constexpr ParameterFieldSet kAlbers{F::LatitudeOrigin, F::CentralMeridian, F::Latitude1, F::Latitude2};
constexpr ParameterFieldSet kMeridian{F::CentralMeridian};
constexpr ParameterFieldSet kOriginAndMeridian{F::LatitudeOrigin, F::CentralMeridian};

const std::array<DestinationProjection, 28> kDestinationProjections = {{
    {"Latitude/Longitude", kNone},
    {"Mercator", kNone},
    {"Transverse Mercator", kTransverseMercator},
    {"(UTM) Universal Transverse Mercator", kZone},
    {"(BNG) British National Grid", kNone},
    {"(IG) Irish Grid", kNone},
    {"(NZG) New Zealand Grid", kNone},
    {"(NZTM2) New Zealand TM 2000", kNone},
    {"(SG) Swedish Grid", kNone},
    {"(SUI) Swiss Grid", kNone},
    {"(I) France Zone I", kNone},
    {"(II) France Zone II", kNone},
    {"(III) France Zone III", kNone},
    {"(IV) France Zone IV", kNone},
    {"Lambert Conformal Conic", kConic},
    {"(A)Lambert Azimuthual Equal Area", kOriginAndMeridian},
    {"(EQC) Equidistant Conic", kConic},
    {"Sinusoidal", kMeridian},
    {"Polyconic (American)", kMeridian},
    {"Albers Equal Area", kAlbers},
    {"Van Der Grinten", kMeridian},
    {"(WIV) Wagner IV", kMeridian},
    {"Bonne", kOriginAndMeridian},
    {"(MT0) Montana State Plane Zone 2500", kNone},
    {"(ITA1) Italy Grid Zone 1", kNone},
    {"(ITA2) Italy Grid Zone 2", kNone},
    {"(VICMAP-TM) Victoria Aust.(pseudo AMG)", kNone},
    {"(VICGRID) Victoria Australia", kNone},
}};

}  // namespace

const std::array<DestinationProjection, 28>& DestinationProjections() { return kDestinationProjections; }

ParameterFieldSet DestinationParameterFields(std::string_view displayName) {
  for (const auto& p : kDestinationProjections) {
    if (displayName == p.displayName) return p.fields;
  }
  return kNone;
}

const char* DefaultFieldText(ParameterField field) {
  switch (field) {
    case F::Zone: return "56";
    case F::LatitudeOrigin: return "0";
    case F::CentralMeridian: return "100";
    case F::Latitude1: return "-20";
    case F::Latitude2: return "-30";
    case F::ScaleFactor: return "1";
    case F::FalseEasting: return "0";
    case F::FalseNorthing: return "0";
  }
  return "";
}

const char* FieldLabel(ParameterField field) {
  switch (field) {
    case F::Zone: return "Zone";
    case F::LatitudeOrigin: return "Latitude Origin (Deg)";
    case F::CentralMeridian: return "Central Meridian (Deg)";
    case F::Latitude1: return "Latitude 1 (Deg)";
    case F::Latitude2: return "Latitude 2 (Deg)";
    case F::ScaleFactor: return "Scale Factor";
    case F::FalseEasting: return "False Easting";
    case F::FalseNorthing: return "False Northing";
  }
  return "";
}

}  // namespace quiltor::geodesy
