#include "geodesy/projection.h"

#include "geodesy/datum.h"

namespace quiltor::geodesy {

namespace {

constexpr std::string_view kLatLonShortName = "Latit";
constexpr std::string_view kSwissShortName = "(SUI)";
constexpr std::string_view kUtmShortName = "(UTM)";
constexpr std::string_view kMercatorShortName = "Merca";

}  // namespace

ProjectionKind::ProjectionKind(std::string_view displayName) {
  const std::string shortName = ShortProjectionName(displayName);
  if (shortName == kLatLonShortName) family_ = ProjectionFamily::LatitudeLongitude;
  if (shortName == kSwissShortName) family_ = ProjectionFamily::SwissGrid;
  utm_ = shortName == kUtmShortName;
  mercator_ = shortName == kMercatorShortName;
}

struct Projection::State {
  ProjectionKind kind;
  std::string displayName;
  std::string shortName;
  int row = 0;
  ProjectionSetup setup;
  std::int32_t datum = 0;
  // The Swiss grid works on the ellipsoid alone; taken once here so that a
  // point costs no table look-up.
  Ellipsoid ellipsoid{};
  ProjectionHandle handle;
};

Projection::Projection() {
  static const std::shared_ptr<const State> kNone = std::make_shared<const State>();
  state_ = kNone;
}

Projection::Projection(std::shared_ptr<const State> state) : state_(std::move(state)) {}

Projection Projection::Create(const ProjectionCatalogue& catalogue, std::string_view displayName,
                              const ProjectionSetup& setup, std::int32_t datum, const MessageSink& sink) {
  auto state = std::make_shared<State>();
  state->kind = ProjectionKind(displayName);
  state->displayName = std::string(displayName);
  state->shortName = ShortProjectionName(displayName);
  state->row = catalogue.FindProjection(displayName);
  state->setup = setup;
  state->datum = datum;
  state->ellipsoid = EllipsoidOfDatum(datum);
  state->handle = CreateProjection(catalogue, state->row, setup, datum, sink);
  return Projection(std::move(state));
}

const ProjectionKind& Projection::Kind() const { return state_->kind; }
const std::string& Projection::DisplayName() const { return state_->displayName; }
const std::string& Projection::ShortName() const { return state_->shortName; }
int Projection::Row() const { return state_->row; }
const ProjectionSetup& Projection::Setup() const { return state_->setup; }
std::int32_t Projection::Datum() const { return state_->datum; }
const ProjectionHandle& Projection::Handle() const { return state_->handle; }

bool Projection::CanProject() const { return Family() != ProjectionFamily::Library || state_->handle.Valid(); }

std::optional<EastingNorthing> Projection::Forward(LatLon point) const {
  switch (state_->kind.Family()) {
    case ProjectionFamily::LatitudeLongitude: return EastingNorthing{point.longitude, point.latitude};
    case ProjectionFamily::SwissGrid: return SwissForward(state_->ellipsoid, point.latitude, point.longitude);
    case ProjectionFamily::Library: break;
  }
  return state_->handle.Forward(point);
}

std::optional<LatLon> Projection::Inverse(EastingNorthing point) const {
  switch (state_->kind.Family()) {
    case ProjectionFamily::LatitudeLongitude: return LatLon{point.northing, point.easting};
    case ProjectionFamily::SwissGrid: return SwissInverse(state_->ellipsoid, point.easting, point.northing);
    case ProjectionFamily::Library: break;
  }
  return state_->handle.Inverse(point);
}

}  // namespace quiltor::geodesy
