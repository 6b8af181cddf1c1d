#pragma once
// Datums and ellipsoids: the fixed table of named geodetic datums, each tied
// to an ellipsoid and a three-parameter translation to WGS 84, its extension
// file "datums.dat", lookup by name and the conversion of latitude/longitude
// between any two datums of the table.
//
// Thread safety: a DatumTable is filled only while it is being built (the
// constructor and LoadDatumFile) and is read-only afterwards; every const
// member may run on any thread at the same time. The program's own table is
// Datums(): built once, on first use, from the built-in rows plus the
// optional datum file, and never changed again (a function-local static
// const, so its construction is itself thread-safe).
//
// Units: latitude and longitude in decimal degrees, north and east positive;
// axes and shifts in metres.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quiltor::geodesy {

// A datum index into the DatumTable. NoDatum (1000) means "this point has
// no datum": ConvertDatum then leaves coordinates unchanged.
constexpr std::int32_t NoDatum = 1000;

// Row capacity: rows 0..122 built in, 123..132 free for the datum file.
constexpr std::int32_t kBuiltinDatumCount = 123;
constexpr std::int32_t kDatumCapacity = 133;
// The WGS 84 ellipsoid row; also what an unusable ellipsoid index becomes.
constexpr std::int32_t kWgs84Ellipsoid = 20;

struct ellipsoid_record {
  const char* name;
  double a;   // semi-major axis, metres
  double rf;  // inverse flattening 1/f
};

// The 30 built-in ellipsoids, indexed from 0 (Airy 1830 ... Hayford 1924).
const std::array<ellipsoid_record, 30>& EllipsoidTable();

// Derived ellipsoid values, as the projection formulas use them.
struct Ellipsoid {
  double a;   // semi-major axis, metres
  double b;   // semi-minor axis a*sqrt(1 - e2), metres
  double e2;  // first eccentricity squared, 2f - f*f
};

// Derived values of one EllipsoidTable row; an index outside 0..29 gives WGS 84.
Ellipsoid EllipsoidFromTable(std::int32_t ellipsoidIndex);

struct datum_record {
  std::string name;                 // the datum's identity, at most 40 characters
  std::int32_t ellipsoid = kWgs84Ellipsoid;  // index into EllipsoidTable, 0..29
  std::int32_t dX = 0, dY = 0, dZ = 0;       // local -> WGS 84 translation, whole metres
};

// Receives one message text (e.g. a WorkerHost's ShowMessage).
using MessageSink = std::function<void(const std::string&)>;

class DatumTable {
 public:
  // The built-in table: rows 0..122, LastDatum 122, WGS84Datum 120.
  DatumTable();

  // Appends the datum file's rows to the free slots 123..132 and finds
  // WGS84Datum again. Call only while the table is being set up, before
  // anyone else reads it. A missing file is silently ignored; a file that
  // exists but cannot be read is reported through `report` and the table
  // stays as it was. Returns true when the file was read.
  bool LoadDatumFile(const std::filesystem::path& file, const MessageSink& report);

  // Adds the rows of datum file text (one datum per line, comma-separated:
  // name, ellipsoid index, dX, dY, dZ). Lines beyond the free slots are
  // ignored. Ellipsoid indices outside 0..29 become 20 (WGS 84).
  void AddDatumLines(std::string_view text);

  // The first row 0..LastDatum whose name equals `name` ignoring ASCII case,
  // compared whole (no trimming, no partial match); WGS84Datum when none.
  std::int32_t FindDatum(std::string_view name) const;

  // True when some row's name equals `name` exactly as FindDatum compares.
  bool HasDatum(std::string_view name) const;

  // Up to `count` datum names (rows 1..LastDatum) closest to `name`, for a
  // "did you mean" list: names containing it first, then by edit distance.
  std::vector<std::string> CloseNames(std::string_view name, std::size_t count) const;

  // The names offered to the user for a destination map: rows 1..LastDatum.
  std::vector<std::string> OfferedNames() const;

  // The ellipsoid of a datum. An index that is not a row of the table
  // (NoDatum included) gives the WGS 84 ellipsoid.
  Ellipsoid EllipsoidOfDatum(std::int32_t datum) const;

  // One step between `datum` and WGS 84 (toWGS84 true: datum -> WGS 84),
  // lat/lon in degrees, in place. No change for the WGS 84 row or for an
  // index that is not a row of the table.
  void ShiftDatum(bool toWGS84, double& lat, double& lon, std::int32_t datum) const;

  // Converts lat/lon (degrees, in place) from one datum to another through
  // WGS 84. Unchanged when: lat and lon are both exactly 0, either datum is
  // NoDatum, the datums are equal, |lat| > 85 or |lon| > 179. Row 0 ("Auto
  // Shift .....") behaves as WGS 84 without any shift.
  void ConvertDatum(std::int32_t fromDatum, std::int32_t toDatum, double& lat, double& lon) const;

  std::int32_t LastDatum() const { return lastDatum_; }
  std::int32_t WGS84Datum() const { return wgs84Datum_; }
  // Row `index` (0..LastDatum); the WGS 84 row for any other index.
  const datum_record& Row(std::int32_t index) const;

 private:
  bool IsRow(std::int32_t index) const { return index >= 0 && index <= lastDatum_; }

  std::array<datum_record, kDatumCapacity> rows_;
  std::int32_t lastDatum_ = kBuiltinDatumCount - 1;
  std::int32_t wgs84Datum_ = 120;
};

// The folders searched for "datums.dat", in order: beside the executable,
// then ConfigFolder(). The first file that exists is read.
std::vector<std::filesystem::path> DatumFileCandidates();

// Builds a table from the built-in rows plus the first existing candidate
// file; problems reading it go to `report`.
DatumTable LoadStartupDatums(const std::vector<std::filesystem::path>& candidates, const MessageSink& report);

// The program's datum table, built once on first use from
// DatumFileCandidates(). Call DatumStartupMessages() at start-up to show
// what went wrong while the datum file was read (normally nothing).
const DatumTable& Datums();
const std::vector<std::string>& DatumStartupMessages();

// Shorthands on Datums().
inline std::int32_t FindDatum(std::string_view name) { return Datums().FindDatum(name); }
inline std::int32_t WGS84Datum() { return Datums().WGS84Datum(); }
inline Ellipsoid EllipsoidOfDatum(std::int32_t datum) { return Datums().EllipsoidOfDatum(datum); }
inline void ConvertDatum(std::int32_t fromDatum, std::int32_t toDatum, double& lat, double& lon) {
  Datums().ConvertDatum(fromDatum, toDatum, lat, lon);
}

}  // namespace quiltor::geodesy
