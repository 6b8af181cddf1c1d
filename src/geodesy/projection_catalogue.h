#pragma once
// The projection catalogue: the fixed vocabulary of map projections the
// program knows by display name ("(UTM) Universal Transverse Mercator" ...),
// each tied to how grid references of calibration points are read, which
// parameters the projection takes and the start of its PROJ definition.
//
// The list is a small comma-separated text. The built-in one is
// data/projections.txt, compiled into the program; a file
// "MapProjections_Res.dat" in the current folder replaces it entirely.
//
// Also here: ProjectionSetup, the twelve projection parameters every map
// carries, and the table of parameter fields the Destination Map tab offers
// for each destination projection.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/datum.h"  // MessageSink

namespace quiltor::geodesy {

// "Not set" in a ProjectionSetup field.
inline constexpr double kParameterNotSet = 777.0;
// UTM central meridian not yet known while a calibration file is read.
inline constexpr double kUtmMeridianPending = 7777.0;

// One map's projection parameters. Angles in decimal degrees, distances in
// metres. 777 in a field means "not given".
struct ProjectionSetup {
  double reserved = 0.0;                 // carried, never read
  double utmlon0 = kParameterNotSet;     // UTM central meridian (zone * 6 - 183)
  double lat0 = kParameterNotSet;        // latitude of origin
  double lon0 = kParameterNotSet;        // central meridian
  double k0 = kParameterNotSet;          // scale factor on the central meridian
  double x0 = kParameterNotSet;          // false easting
  double y0 = kParameterNotSet;          // false northing
  double lat1 = kParameterNotSet;        // first standard parallel
  double lat2 = kParameterNotSet;        // second standard parallel
  double height = kParameterNotSet;      // perspective viewpoint height; never given to PROJ
  double spareA = kParameterNotSet;      // carried from the calibration file, never read
  double spareB = kParameterNotSet;

  // The twelve values in their stored order (reserved first).
  std::array<double, 12> Values() const;
  static ProjectionSetup FromValues(const std::array<double, 12>& values);
  bool operator==(const ProjectionSetup&) const = default;
};

// One catalogue row, fields in the order of the list's columns 2 to 7.
struct Tmapprojection_record {
  std::int32_t gp = 99;    // group number; carried, never read
  std::string GridCode;    // "utm", "bng", "ig" or "pj": how grid references are read
  std::string Name;        // PROJ's short name ("tmerc"), empty for national grids
  std::string ProjCode;    // the display name: the projection's identity
  std::string ppars;       // parameter keywords appended to the definition
  std::string pstr;        // start of the PROJ definition ("+proj=...")
};

class ProjectionCatalogue {
 public:
  // Parses the catalogue text: one row per line (CR LF or LF), fields split
  // at commas. Only lines whose first field is "pg1" become rows; a comma
  // inside a definition ends it there. Never fails; may give no rows.
  static ProjectionCatalogue Parse(std::string_view text);

  // Index of the first row whose display name equals `displayName` exactly
  // (case-sensitive, no trimming); 0 (the first row) when none matches.
  int FindProjection(std::string_view displayName) const;

  // Row by index. An index outside the catalogue gives row 0.
  const Tmapprojection_record& Row(int index) const;

  const std::vector<Tmapprojection_record>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }
  bool Empty() const { return rows_.empty(); }

 private:
  std::vector<Tmapprojection_record> rows_;
};

// The name of the replacement list looked up in the current folder.
inline constexpr const char* kReplacementListName = "MapProjections_Res.dat";

// The built-in list text, byte for byte as compiled in.
std::string_view BuiltInProjectionListText();

// The built-in catalogue (30 rows), parsed once; immutable.
const ProjectionCatalogue& BuiltInProjectionCatalogue();

// The catalogue the program runs with: the rows of `replacement` when that
// file exists, otherwise the built-in list (silently). A replacement that
// cannot be read, or holds no "pg1" row, would leave the program without any
// projection: the built-in list is used instead and `sink` is told why.
ProjectionCatalogue LoadProjectionCatalogue(const std::filesystem::path& replacement = kReplacementListName,
                                            const MessageSink& sink = {});

// The first five characters of a display name with surrounding spaces
// removed: "(UTM)", "Latit", "Trans", "(IG)", "(I) F". ProjectionKind
// (projection.h) tells the kinds of projection apart by it.
std::string ShortProjectionName(std::string_view displayName);

// ---------------------------------------------------------------------------
// Parameter fields of the Destination Map tab.

enum class ParameterField : std::uint8_t {
  Zone,
  LatitudeOrigin,
  CentralMeridian,
  Latitude1,
  Latitude2,
  ScaleFactor,
  FalseEasting,
  FalseNorthing,
};
inline constexpr int kParameterFieldCount = 8;

// A set of parameter fields, one bit per ParameterField.
class ParameterFieldSet {
 public:
  constexpr ParameterFieldSet() = default;
  constexpr ParameterFieldSet(std::initializer_list<ParameterField> fields) {
    for (const ParameterField f : fields) bits_ |= Bit(f);
  }
  constexpr bool Has(ParameterField f) const { return (bits_ & Bit(f)) != 0; }
  constexpr bool None() const { return bits_ == 0; }
  constexpr bool operator==(const ParameterFieldSet&) const = default;

 private:
  static constexpr std::uint8_t Bit(ParameterField f) { return static_cast<std::uint8_t>(1u << static_cast<int>(f)); }
  std::uint8_t bits_ = 0;
};

// A projection the destination map may use, with the parameter fields whose
// values enter its set-up (and which the tab therefore enables).
struct DestinationProjection {
  const char* displayName;
  ParameterFieldSet fields;
};

// The 28 destination projections in list order (every catalogue row but
// "Vertical Near-Sided Perspective" and "(VG94) VICGRID94 Victoria
// Australia").
const std::array<DestinationProjection, 28>& DestinationProjections();

// The parameter fields used by a destination projection; none for a name
// that is not in the destination list.
ParameterFieldSet DestinationParameterFields(std::string_view displayName);

// The default texts of the parameter fields (Zone "56", Latitude Origin "0",
// Central Meridian "100", Latitude 1 "-20", Latitude 2 "-30", Scale Factor
// "1", False Easting "0", False Northing "0").
const char* DefaultFieldText(ParameterField field);

// The field's label on the tab ("Latitude Origin (Deg)").
const char* FieldLabel(ParameterField field);

}  // namespace quiltor::geodesy
