#include "geodesy/destination_setup.h"

#include <cmath>

#include "common/text.h"

namespace quiltor::geodesy {

const std::string& DestinationSettings::FieldText(ParameterField field) const {
  switch (field) {
    case ParameterField::Zone: return zone;
    case ParameterField::LatitudeOrigin: return latOrigin;
    case ParameterField::CentralMeridian: return centralMeridian;
    case ParameterField::Latitude1: return latitude1;
    case ParameterField::Latitude2: return latitude2;
    case ParameterField::ScaleFactor: return scaleFactor;
    case ParameterField::FalseEasting: return falseEasting;
    case ParameterField::FalseNorthing: return falseNorthing;
  }
  return zone;
}

std::string& DestinationSettings::FieldText(ParameterField field) {
  return const_cast<std::string&>(static_cast<const DestinationSettings&>(*this).FieldText(field));
}

ProjectionSetup MaskedDestinationSetup(const DestinationSettings& settings) {
  const ParameterFieldSet used = DestinationParameterFields(settings.mapProjection);
  const auto value = [&](ParameterField field) {
    return used.Has(field) ? ParseDecimal(settings.FieldText(field)) : kParameterNotSet;
  };
  ProjectionSetup setup;  // every slot starts unset
  setup.lat0 = value(ParameterField::LatitudeOrigin);
  setup.lon0 = value(ParameterField::CentralMeridian);
  setup.k0 = value(ParameterField::ScaleFactor);
  setup.x0 = value(ParameterField::FalseEasting);
  setup.y0 = value(ParameterField::FalseNorthing);
  setup.lat1 = value(ParameterField::Latitude1);
  setup.lat2 = value(ParameterField::Latitude2);

  if (ProjectionKind(settings.mapProjection).IsUtm()) {
    // The zone field takes whole numbers only; a fraction is cut off.
    const double zone = std::trunc(ParseDecimal(settings.zone));
    setup.lon0 = zone * 6.0 - 183.0;
    setup.utmlon0 = setup.lon0;
    setup.lat0 = 0.0;
    setup.k0 = 0.9996;
    setup.x0 = 0.0;
    setup.y0 = 0.0;
  }
  return setup;
}

Projection ReadDestinationProjection(const DestinationSettings& settings, const ProjectionCatalogue& catalogue,
                                     std::int32_t datum, const MessageSink& sink) {
  return Projection::Create(catalogue, settings.mapProjection, MaskedDestinationSetup(settings), datum, sink);
}

Projection ReadDestinationProjection(const DestinationSettings& settings, const ProjectionCatalogue& catalogue,
                                     const MessageSink& sink) {
  return ReadDestinationProjection(settings, catalogue, WGS84Datum(), sink);
}

}  // namespace quiltor::geodesy
