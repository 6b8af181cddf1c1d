#include "catalogue/raster_image_queries.h"

#include <exception>

#include "raster/raster_source.h"

namespace quiltor {

MapImageQueries RasterImageQueries() {
  MapImageQueries queries;
  queries.checkExtension = [](const std::string& imageFile) {
    try {
      return CheckRasterExtension(imageFile);
    } catch (const std::exception&) {
      // A tiled image whose header cannot even be read is not one of the
      // protected kind; the size query reports it as unreadable instead.
      return 0;
    }
  };
  queries.queryInfo = [](const std::string& imageFile, std::int32_t& width, std::int32_t& height,
                         std::int32_t& pixelMode) {
    try {
      return QueryRasterInfo(imageFile, width, height, pixelMode);
    } catch (const std::exception&) {
      width = height = 0;
      return false;
    }
  };
  return queries;
}

}  // namespace quiltor
