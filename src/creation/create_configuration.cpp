#include "creation/create_configuration.h"

#include <algorithm>

#include "common/text.h"
#include "geodesy/projection_catalogue.h"
#include "settings/settings_file.h"

namespace quiltor::creation {

std::string DestinationProjectionAt(int index) {
  const auto& list = geodesy::DestinationProjections();
  if (index < 0 || index >= static_cast<int>(list.size())) index = 1;
  return list[static_cast<std::size_t>(index)].displayName;
}

CreateConfiguration DefaultCreateConfiguration(const std::string& programFolder) {
  CreateConfiguration c;
  geodesy::DestinationSettings& d = c.destination;
  d.mapProjection = DestinationProjectionAt(1);
  d.mapDatum = "WGS 84";
  d.metersPerPixel = "100";
  d.zone = d.latOrigin = d.centralMeridian = d.latitude1 = d.latitude2 = "";
  d.scaleFactor = "1";
  d.falseEasting = d.falseNorthing = "";
  c.configure.tempFolder = programFolder;
  c.configure.destinationFolder = programFolder;
  return c;
}

CreateConfiguration LoadCreateConfiguration(const std::filesystem::path& file, const std::string& programFolder) {
  CreateConfiguration c = DefaultCreateConfiguration(programFolder);
  geodesy::DestinationSettings& d = c.destination;
  const auto text = [&file](const char* section, const char* key, const std::string& fallback) {
    return IniReadString(file, section, key, fallback);
  };
  const char* dest = "Destination Image";
  d.metersPerPixel = text(dest, "Meters per Pixel", d.metersPerPixel);
  d.mapProjection = DestinationProjectionAt(IniReadInteger(file, dest, "Map Projection", 1));
  d.mapDatum = text(dest, "Map Datum", d.mapDatum);
  d.zone = text(dest, "Zone", d.zone);
  d.latOrigin = text(dest, "Latitude of Origin", d.latOrigin);
  d.centralMeridian = text(dest, "Central Meridian", d.centralMeridian);
  d.latitude1 = text(dest, "Latitude1", d.latitude1);
  d.latitude2 = text(dest, "Latitude2", d.latitude2);
  d.scaleFactor = text(dest, "Scale Factor", d.scaleFactor);
  d.falseEasting = text(dest, "False Easting", d.falseEasting);
  d.falseNorthing = text(dest, "False Northing", d.falseNorthing);

  ConfigureSettings& k = c.configure;
  k.tempFolder = TrimSpaces(text("Folders", "Temp Folder", k.tempFolder));
  k.destinationFolder = TrimSpaces(text("Folders", "Destination Folder", k.destinationFolder));
  k.maxLoadedMaps = text("System", "Max Loaded Maps", k.maxLoadedMaps);
  if (ParseDecimal(k.maxLoadedMaps) < 5) k.maxLoadedMaps = "5";
  k.numberOfColors = std::clamp(IniReadInteger(file, "System", "Number of Colors", 256), 8, 256);
  k.resizePercent = std::clamp(IniReadInteger(file, "System", "ReSize", 100), 1, 100);
  return c;
}

}  // namespace quiltor::creation
