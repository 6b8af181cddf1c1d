#pragma once
// One source map as a create sees it: its image, size, scale and border,
// and the conversions the row loop needs. Every function may be called from
// several row workers at once; `open` gives each caller its own reader.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "creation/destination_map.h"
#include "raster/raster_reader.h"

namespace quiltor::creation {

struct CreationSource {
  std::string imageFile;  // full path, for the open and the log lines
  std::int32_t width = 0;   // image size of the calibrated record
  std::int32_t height = 0;
  double metresPerPixel = 0;
  GeoOutline outline;       // WGS 84 border
  // The sorted border crossings of an image row; read in pairs they are the
  // inside spans, both ends included. Computed when asked for; the job keeps
  // the rows it used last.
  std::function<std::vector<std::int32_t>(std::int32_t row)> rowSpans;
  // WGS 84 latitude/longitude to the map's pixel column and row (not rounded).
  std::function<void(double lat, double lon, double& column, double& row)> toPixel;
  // Opens the image; throws QuiltorError or returns null when it cannot.
  std::function<std::unique_ptr<RasterReader>()> open;
};

}  // namespace quiltor::creation
