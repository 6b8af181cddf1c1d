#pragma once
// The destination map's projection as the Destination Map tab defines it:
// the field texts are read into a ProjectionSetup (only the fields the
// chosen projection uses; the others stay 777), UTM is completed from its
// zone, and a fresh Projection is made.
//
// The tab itself is not seen here: whoever reads the definition (the
// creation thread, the view, thumbnails, the command line) passes a
// DestinationSettings snapshot of the field texts.
#include <array>
#include <cstdint>
#include <string>

#include "geodesy/projection_catalogue.h"
#include "geodesy/projection.h"

namespace quiltor::geodesy {

// The field texts of the Destination Map tab and its two lists, as typed.
// Defaults are the texts the tab shows before any setting is loaded.
struct DestinationSettings {
  std::string mapProjection = "Latitude/Longitude";  // cMapProjection: a display name
  std::string mapDatum = "WGS 84";                    // cMapDatum: a datum name
  std::string metersPerPixel = "100";                 // cMpp
  std::string zone = "56";                            // cZone
  std::string latOrigin = "0";                        // cLatOrigin, degrees
  std::string centralMeridian = "100";                // cCentralMeridian, degrees
  std::string latitude1 = "-20";                      // cLatitude1, degrees
  std::string latitude2 = "-30";                      // cLatitude2, degrees
  std::string scaleFactor = "1";                      // cScaleFactor
  std::string falseEasting = "0";                     // cFalseEasting, metres
  std::string falseNorthing = "0";                    // cFalseNorthing, metres

  // The text of one parameter field.
  const std::string& FieldText(ParameterField field) const;
  std::string& FieldText(ParameterField field);

  bool operator==(const DestinationSettings&) const = default;
};

// The set-up alone: every parameter field is read with ParseDecimal (an
// empty field reads 0), then every slot but those of the projection's used
// fields (DestinationParameterFields) is set to 777, the height slot
// included. For "(UTM) Universal Transverse Mercator" the setup is then
// completed from the zone: central meridian = zone * 6 - 183 (in lon0 and
// utmlon0), latitude of origin 0, scale 0.9996, false easting and northing 0.
ProjectionSetup MaskedDestinationSetup(const DestinationSettings& settings);

// ReadDestinationProjection: the chosen projection with the set-up as above,
// made on `datum` (the destination works on WGS 84, which is the default).
// The caller replaces its previous destination Projection with the result,
// which releases the old handle once no copy holds it. A refused definition
// is reported through `sink` ("proj = nil").
Projection ReadDestinationProjection(const DestinationSettings& settings, const ProjectionCatalogue& catalogue,
                                     std::int32_t datum, const MessageSink& sink = {});
Projection ReadDestinationProjection(const DestinationSettings& settings, const ProjectionCatalogue& catalogue,
                                     const MessageSink& sink = {});

}  // namespace quiltor::geodesy
