#pragma once
// The projection engine: the PROJ side of latitude/longitude to the
// easting/northing of a map's projection and back. Projection (projection.h)
// builds on it and routes the Swiss grid to the built-in Swiss oblique
// Mercator.
//
// A ProjectionHandle is built once from a catalogue row, a ProjectionSetup
// and a datum, and is then used from any number of threads at the same time
// (the view, the scan worker and the creation thread share handles). PROJ
// objects belong to one thread, so the handle gives each thread its own PROJ
// context and object, made on that thread's first call and released with
// the handle or when the thread ends. After that first call, projecting a
// point allocates nothing.
//
// Units: latitude/longitude in decimal degrees on the ellipsoid of the datum
// the handle was made with; easting/northing in metres with the false origin
// included; for a geographic handle ("Latitude/Longitude") easting is the
// longitude and northing the latitude, in degrees. A point that cannot be
// projected gives no result; nothing here throws.
//
// The rest of the program projects through Projection (projection.h), which
// adds the families computed without the library.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "geodesy/builtin_formulas.h"  // EastingNorthing, LatLon
#include "geodesy/datum.h"
#include "geodesy/projection_catalogue.h"

namespace quiltor::geodesy {

class SharedProjection;  // the per-thread PROJ objects behind a handle

// An initialised projection, or none. Move-only; the PROJ objects are
// released when the handle is destroyed or reset.
class ProjectionHandle {
 public:
  ProjectionHandle();
  ~ProjectionHandle();
  ProjectionHandle(ProjectionHandle&&) noexcept;
  ProjectionHandle& operator=(ProjectionHandle&&) noexcept;
  ProjectionHandle(const ProjectionHandle&) = delete;
  ProjectionHandle& operator=(const ProjectionHandle&) = delete;

  bool Valid() const { return shared_ != nullptr; }
  explicit operator bool() const { return Valid(); }

  // True for a geographic projection ("+proj=latlong"): points pass
  // through unchanged.
  bool IsGeographic() const;

  // The definition as built from the catalogue and the setup, and the one
  // PROJ was given (see LibraryDefinition). Empty for no handle.
  const std::string& Definition() const;
  const std::string& GivenToLibrary() const;

  // Releases the PROJ objects; the handle becomes none.
  void Reset();

  // How many threads currently hold a PROJ object of this handle. A thread's
  // object is released when the thread ends, or with the handle.
  std::size_t ThreadObjectCount() const;

  // Latitude/longitude (degrees) to easting/northing through PROJ; a
  // geographic handle passes the point through. Latitudes of 90 or more
  // (-90 or less) are projected at 89.99999 (-89.99999). Nothing for no
  // handle or when PROJ has no finite answer.
  std::optional<EastingNorthing> Forward(LatLon point) const;
  // Easting/northing to latitude/longitude (degrees); nothing for no handle
  // or when PROJ has no finite answer.
  std::optional<LatLon> Inverse(EastingNorthing point) const;

 private:
  friend ProjectionHandle CreateProjectionFromDefinition(const std::string&, const MessageSink&);
  explicit ProjectionHandle(std::shared_ptr<SharedProjection> shared);
  // Shared only with the ending of threads that hold one of its objects.
  std::shared_ptr<SharedProjection> shared_;
};

// The PROJ definition of a catalogue row with a setup, on an ellipsoid:
// the row's pstr, then one parameter per ppars keyword (7 decimals), then
// " +a=" and " +b=" of the ellipsoid (5 decimals). "." is always the decimal
// point. For example "Transverse Mercator" with lon0 100, lat0 0, k0 1,
// x0 0, y0 0 on WGS 84 gives "+proj=tmerc +lon_0=100.0000000
// +lat_0=0.0000000 +k_0=1.0000000 +x_0=0.0000000 +y_0=0.0000000
// +a=6378137.00000 +b=6356752.31425".
std::string ProjectionDefinition(const Tmapprojection_record& row, const ProjectionSetup& setup,
                                 const Ellipsoid& ellipsoid);

// What PROJ is given for a definition. The projection calls this program
// was designed around applied only the projection itself, so "+towgs84=..."
// (a datum shift, which moves the France zones by hundreds of metres) and
// "+pm=..." (a prime meridian, which moves France Zone I by 178 km) are
// removed; datums are converted separately. A Bonne definition without a
// standard parallel, which PROJ refuses, gets its latitude of origin as
// " +lat_1=". Everything else stays exactly as written.
std::string LibraryDefinition(std::string_view definition);

// Makes the handle of catalogue row `row` with `setup` on `datum` (a row of
// Datums()). When PROJ refuses the definition, `sink` receives "proj = nil"
// and the result is no handle.
ProjectionHandle CreateProjection(const ProjectionCatalogue& catalogue, int row, const ProjectionSetup& setup,
                                  std::int32_t datum, const MessageSink& sink = {});

// The same from a complete definition (cleaned by LibraryDefinition first).
ProjectionHandle CreateProjectionFromDefinition(const std::string& definition, const MessageSink& sink = {});

// Releases a handle (the same as handle.Reset()).
void FreeProjection(ProjectionHandle& handle);

// The message shown when PROJ refuses a definition.
inline constexpr const char* kProjectionRefusedMessage = "proj = nil";

}  // namespace quiltor::geodesy
