#pragma once
// A map projection as the rest of the program uses it: what kind of
// projection it is, the setup and datum it was made with, and the forward
// and inverse conversions.
//
// Three families compute differently:
//  - latitude/longitude ("Latitude/Longitude"): points pass through, easting
//    is the longitude and northing the latitude, in degrees;
//  - the Swiss grid ("(SUI) Swiss Grid"): the built-in Swiss oblique
//    Mercator on the ellipsoid of the datum, without the library;
//  - every other projection: the library, through a ProjectionHandle.
//
// A Projection is a small shared value: copies share the same library
// handle, whose per-thread objects let any number of threads project with
// one Projection at the same time. After a thread's first call, projecting
// a point allocates nothing.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "geodesy/builtin_formulas.h"  // EastingNorthing, LatLon
#include "geodesy/projection_catalogue.h"
#include "geodesy/projection_engine.h"

namespace quiltor::geodesy {

enum class ProjectionFamily : std::uint8_t { LatitudeLongitude, SwissGrid, Library };

// What a projection's display name says about it. The program tells
// projections apart by their ShortProjectionName, so a replacement list may
// rename a projection but keeps its first five characters.
class ProjectionKind {
 public:
  ProjectionKind() = default;  // a library projection that is neither UTM nor Mercator
  explicit ProjectionKind(std::string_view displayName);

  ProjectionFamily Family() const { return family_; }
  bool IsLatLon() const { return family_ == ProjectionFamily::LatitudeLongitude; }
  bool IsSwissGrid() const { return family_ == ProjectionFamily::SwissGrid; }
  // "(UTM) Universal Transverse Mercator": its setup comes from a zone.
  bool IsUtm() const { return utm_; }
  // "Mercator": its scale grows with the latitude.
  bool IsMercator() const { return mercator_; }

 private:
  ProjectionFamily family_ = ProjectionFamily::Library;
  bool utm_ = false;
  bool mercator_ = false;
};

class Projection {
 public:
  // No projection: a library projection without a handle, every point fails.
  Projection();

  // The projection of catalogue row FindProjection(displayName) with `setup`
  // on `datum` (a row of Datums()). When the library refuses the definition
  // `sink` receives "proj = nil"; the result then projects only if it is of
  // the latitude/longitude or Swiss family.
  static Projection Create(const ProjectionCatalogue& catalogue, std::string_view displayName,
                           const ProjectionSetup& setup, std::int32_t datum, const MessageSink& sink = {});

  const ProjectionKind& Kind() const;
  ProjectionFamily Family() const { return Kind().Family(); }
  bool IsLatLon() const { return Kind().IsLatLon(); }
  bool IsSwissGrid() const { return Kind().IsSwissGrid(); }
  bool IsUtm() const { return Kind().IsUtm(); }
  bool IsMercator() const { return Kind().IsMercator(); }

  const std::string& DisplayName() const;
  const std::string& ShortName() const;  // ShortProjectionName of the display name
  int Row() const;                       // catalogue row
  const ProjectionSetup& Setup() const;
  std::int32_t Datum() const;
  const ProjectionHandle& Handle() const;  // none when the library refused the definition

  // True when points can be projected at all: latitude/longitude and the
  // Swiss grid always, every other projection when the library accepted its
  // definition.
  bool CanProject() const;

  // Latitude/longitude (degrees, on the datum) to easting/northing (metres,
  // false origin included; degrees for latitude/longitude). Latitudes of 90
  // or more (-90 or less) are projected at 89.99999 (-89.99999). Nothing
  // when the point cannot be projected (no handle, outside the Swiss grid,
  // the library has no finite answer).
  std::optional<EastingNorthing> Forward(LatLon point) const;

  // Easting/northing back to latitude/longitude; nothing when the point has
  // no position (no handle, no finite answer, no convergence).
  std::optional<LatLon> Inverse(EastingNorthing point) const;

 private:
  struct State;
  explicit Projection(std::shared_ptr<const State> state);
  std::shared_ptr<const State> state_;
};

}  // namespace quiltor::geodesy
